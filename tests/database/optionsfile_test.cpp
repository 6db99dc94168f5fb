// affp.aff: the default record, flags to and from the option texts, and the
// record read and written on its channel.
#include <QDir>
#include <QFile>

#include "database/dbfolder.h"
#include "database/optionsfile.h"
#include "platform/recordfile.h"
#include "tests/testing/fixture.h"

using namespace vrn;
using namespace vrn::testing;

class OptionsFileTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    QDir().mkpath(dbDir());
  }
  QString affp() const { return dbDir() + "/affp.aff"; }
};

TEST(OptionsRecord, DefaultRecordFlagByFlag) {
  const QByteArray record = defaultOptionsRecord();
  ASSERT_EQ(record.size(), 30);
  EXPECT_EQ(record, QByteArray("01111111111011") + QByteArray("0000000000000000"));
}

TEST(OptionsRecord, FlagsAreTheFirstCharacterOfEachTextOneByteEach) {
  std::array<QString, kNbOptions + 1> par{};
  par[0] = "ignored";
  par[1] = "1";
  par[2] = "0";
  par[3] = "";                      // never set: a blank
  par[4] = QString(QChar(0));       // a zero byte read from an empty file
  par[5] = "10";                    // only the first character
  par[6] = QString(QChar(0xE9));    // a byte of another code page
  par[7] = QString(QChar(0x20AC));  // nothing a byte can hold
  par[8] = "x";
  const QByteArray record = optionsRecord(par);
  ASSERT_EQ(record.size(), 30);
  EXPECT_EQ(record.left(8), QByteArray("10 \0001\xE9?x", 8));
  EXPECT_EQ(record.mid(8, 6), QByteArray(6, ' ')) << "flags 9 to 14 never set";
  EXPECT_EQ(record.mid(14), QByteArray(16, '0'));
}

TEST(OptionsRecord, EveryByteReadIsWrittenBackUnchanged) {
  for (int b = 0; b < 256; b += 14) {
    QByteArray read(30, '0');
    std::array<QString, kNbOptions + 1> par{};
    for (int k = 1; k <= kNbOptions; ++k) {
      read[k - 1] = char(b + k - 1 < 256 ? b + k - 1 : 0);
      par[size_t(k)] = flagText(read, k);
      ASSERT_EQ(par[size_t(k)].size(), 1);
    }
    EXPECT_EQ(optionsRecord(par).left(14), read.left(14)) << b;
  }
  EXPECT_EQ(flagText(QByteArray(30, '\0'), 1), QString(QChar(0)));
  EXPECT_EQ(flagText(QByteArray("1"), 1), "1");
  EXPECT_EQ(flagText(QByteArray("1"), 2), QString(QChar(0))) << "past the record reads as zero";
}

TEST_F(OptionsFileTest, AMissingFileIsCreatedEmptyAndReadsAsZeros) {
  const auto record = readOptionsRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, QByteArray(30, '\0'));
  ASSERT_TRUE(QFile::exists(affp()));
  EXPECT_EQ(QFile(affp()).size(), 0);
  EXPECT_FALSE(fileChannel(kOptionsChannel).isOpen()) << "the channel is closed after the read";
}

TEST_F(OptionsFileTest, WritingReplacesRecordOneOnly) {
  ASSERT_TRUE(writeOptionsRecord(defaultOptionsRecord()));
  EXPECT_EQ(readFile(affp()), defaultOptionsRecord());
  EXPECT_FALSE(fileChannel(kOptionsChannel).isOpen());

  // A longer file keeps what follows record 1; a short record is blank-padded.
  writeFile(affp(), QByteArray(45, 'z'));
  ASSERT_TRUE(writeOptionsRecord("1010"));
  EXPECT_EQ(readFile(affp()), QByteArray("1010") + QByteArray(26, ' ') + QByteArray(15, 'z'));
  const auto record = readOptionsRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, QByteArray("1010") + QByteArray(26, ' '));

  // A short file reads as its bytes, then zeros.
  writeFile(affp(), "11");
  EXPECT_EQ(*readOptionsRecord(), QByteArray("11") + QByteArray(28, '\0'));
}

TEST_F(OptionsFileTest, AFileThatCannotBeOpenedIsReportedToTheCaller) {
  ASSERT_TRUE(QDir().mkpath(affp()));  // a folder in the file's place
  EXPECT_FALSE(readOptionsRecord());
  EXPECT_FALSE(writeOptionsRecord(defaultOptionsRecord()));
  EXPECT_TRUE(QFileInfo(affp()).isDir());
}
