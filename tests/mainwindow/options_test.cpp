// The fourteen option boxes: their flags, the mirror pair, the details label,
// the autostart value, and the options file loaded, saved and reset.
#include <QDir>
#include <QFile>

#include "platform/registry_xdg.h"
#include "tests/mainwindow/options_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {
const QByteArray kDefault = QByteArray("01111111111011") + QByteArray(16, '0');
QString nul() { return QString(QChar(0)); }
}  // namespace

class OptionsTest : public OptionsWindowTest {};

TEST_F(OptionsTest, DefaultsFromTheDesignStateAsOnAFirstStart) {
  Main2* w = startQuiet();
  QFile::remove(affp());
  const QString data = "\"" + exeDir() + "/Varnelo\"";

  w->MyButton13->click();
  EXPECT_EQ(readFile(affp()), kDefault);
  EXPECT_EQ(boxValues(w), (QList<int>{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1}));
  EXPECT_EQ(w->Check3->Value(), 0) << "the mirror follows the unticked list option";
  EXPECT_EQ(w->Label11->Caption(), "Afficher les Détails");
  EXPECT_EQ(autostartValue(), data);
  EXPECT_EQ(svc->registry.writes, 1);
  EXPECT_EQ(svc->registry.deletes, 0);
  // Boxes that changed rewrote their flag; those that kept their state keep
  // the character read: either way the array now matches the record.
  for (int k = 1; k <= 14; ++k) EXPECT_EQ(vrnVars().Par[size_t(k)], QString(QChar(kDefault[k - 1]))) << k;

  // Again while the autostart box is ticked: nothing to write.
  w->MyButton13_Click();
  EXPECT_EQ(svc->registry.writes, 1);
  EXPECT_EQ(svc->registry.deletes, 0);
  EXPECT_EQ(readFile(affp()), kDefault);
}

TEST_F(OptionsTest, AnEmptyOrMissingFileUnticksEveryBox) {
  Main2* w = startQuiet();
  w->Check14->setValue(1);
  ASSERT_FALSE(autostartValue().isEmpty());
  writeFile(affp(), QByteArray());

  w->ChargerAffichage();
  EXPECT_EQ(boxValues(w), QList<int>(14, 0));
  EXPECT_EQ(w->Check3->Value(), 0);
  EXPECT_TRUE(autostartValue().isEmpty()) << "the autostart box went off and deleted the value";
  EXPECT_EQ(svc->registry.deletes, 1);
  EXPECT_EQ(QFile(affp()).size(), 0) << "an empty file is not replaced";
  const VariablesVRN& v = vrnVars();
  EXPECT_EQ(v.Par[1], kOptionOff);
  EXPECT_EQ(v.Par[11], kOptionOff);
  EXPECT_EQ(v.Par[8], nul()) << "the details box was already off: the zero byte read stays";
  EXPECT_EQ(v.Par[13], nul());

  // Saving writes back what was read for the boxes that did not change.
  w->SauverAffichage();
  EXPECT_EQ(readFile(affp()), QByteArray("0000000\0"
                                         "000\0\0"
                                         "0",
                                         14) +
                                  QByteArray(16, '0'));

  // A missing file is created empty and reads the same.
  QFile::remove(affp());
  for (int k = 1; k <= 14; ++k) w->optionBox(k)->setValue(1);
  w->ChargerAffichage();
  EXPECT_EQ(boxValues(w), QList<int>(14, 0));
  ASSERT_TRUE(QFile::exists(affp()));
  EXPECT_EQ(QFile(affp()).size(), 0);
}

TEST_F(OptionsTest, OnlyOneTicksAndSavingWritesBackTheCharacterRead) {
  Main2* w = startQuiet();
  w->Check2->setValue(1);
  w->Check2->setValue(0);
  ASSERT_EQ(w->Label11->Caption(), "Ne pas Afficher les Détails");
  vrnVars().Par = {};
  // Flags: 1 "1" kept, 2 "x", 3 blank, 4 "1", 5 zero, 6-7 "1", 8 "1" (details
  // on), 9 "2", 10 "0", 11 "0", 12 "x" and 13 a Latin-1 byte on boxes already
  // off, 14 "1" kept; a filler of anything.
  const QByteArray stored(
      "1x 1\0"
      "111"
      "20"
      "0x\xE9"
      "1"
      "abcdefghijklmnop",
      30);
  writeFile(affp(), stored);

  w->ChargerAffichage();
  EXPECT_EQ(boxValues(w), (QList<int>{1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(w->Check3->Value(), 0) << "the list option kept its state: its handler did not run";
  EXPECT_EQ(w->Label11->Caption(), "Afficher les Détails");
  EXPECT_EQ(svc->registry.writes + svc->registry.deletes, 0) << "the autostart box kept its state";
  EXPECT_EQ(vrnVars().Par[12], "x");
  EXPECT_EQ(vrnVars().Par[13], QString(QChar(0xE9)));

  w->SauverAffichage();
  EXPECT_EQ(readFile(affp()), QByteArray("10010111000x\xE9"
                                         "1") +
                                  QByteArray(16, '0'));

  // A click changes the array, not the file, until the next save.
  w->Check13->click();
  EXPECT_EQ(vrnVars().Par[12], kOptionOn);
  EXPECT_EQ(readFile(affp()).at(11), 'x');
  w->SauverAffichage();
  EXPECT_EQ(readFile(affp()).at(11), '1');
}

TEST_F(OptionsTest, EachBoxKeepsItsOwnFlag) {
  Main2* w = startQuiet();
  QFile::remove(affp());
  for (int k = 1; k <= 14; ++k) {
    CheckBox* box = w->optionBox(k);
    box->click();  // a user's click toggles it
    EXPECT_EQ(vrnVars().Par[size_t(k)], box->Value() == 1 ? kOptionOn : kOptionOff) << k;
    for (int j = k + 1; j <= 14; ++j) EXPECT_EQ(vrnVars().Par[size_t(j)], "") << k << " touched " << j;
  }
  EXPECT_FALSE(QFile::exists(affp())) << "clicks never write the file";
  w->SauverAffichage();
  EXPECT_EQ(readFile(affp()), QByteArray("00000001001110") + QByteArray(16, '0'));
}

TEST_F(OptionsTest, TheListOptionAndItsMirrorFollowEachOther) {
  Main2* w = startQuiet();
  w->Check10->setValue(0);
  ASSERT_EQ(w->Check3->Value(), 0);

  w->Check3->setValue(1);  // from code
  EXPECT_EQ(w->Check10->Value(), 1);
  EXPECT_EQ(vrnVars().Par[1], kOptionOn);
  w->Check10->setValue(0);
  EXPECT_EQ(w->Check3->Value(), 0);
  EXPECT_EQ(vrnVars().Par[1], kOptionOff);
  w->Check10->click();  // the user
  EXPECT_EQ(w->Check3->Value(), 1);
  EXPECT_EQ(vrnVars().Par[1], kOptionOn);
  w->Check3->click();
  EXPECT_EQ(w->Check10->Value(), 0);
  EXPECT_EQ(vrnVars().Par[1], kOptionOff);

  // The details option names its state in the result panel.
  w->Check2->click();
  EXPECT_EQ(w->Label11->Caption(), "Afficher les Détails");
  EXPECT_EQ(vrnVars().Par[8], kOptionOn);
  w->Check2->click();
  EXPECT_EQ(w->Label11->Caption(), "Ne pas Afficher les Détails");
  EXPECT_EQ(vrnVars().Par[8], kOptionOff);
}

TEST_F(OptionsTest, TheAutostartEntryFollowsTheBoxAtOnce) {
  Main2* w = startQuiet();
  XdgRegistry xdg;
  services().registry = &xdg;
  const QString entry = autostartEntryPath();
  ASSERT_TRUE(entry.startsWith(configDir()));

  w->Check14->click();
  ASSERT_TRUE(QFile::exists(entry));
  EXPECT_TRUE(readFile(entry).contains("Exec=" + desktopExecValue(encodePath(exeDir() + "/Varnelo")) + "\n"));
  EXPECT_EQ(vrnVars().Par[11], kOptionOn);
  w->Check14->click();
  EXPECT_FALSE(QFile::exists(entry));
  EXPECT_EQ(vrnVars().Par[11], kOptionOff);
  w->Check14->setValue(0);  // no change: nothing runs
  EXPECT_EQ(vrnVars().Par[11], kOptionOff);

  // The defaults tick it and write the entry; unticking without saving
  // deletes it while the file still says "on", so the next load writes it again.
  w->MyButton13_Click();
  ASSERT_TRUE(QFile::exists(entry));
  w->Check14->click();
  EXPECT_FALSE(QFile::exists(entry));
  EXPECT_EQ(readFile(affp()).at(10), '1');
  w->ChargerAffichage();
  EXPECT_EQ(w->Check14->Value(), 1);
  EXPECT_TRUE(QFile::exists(entry));
  services().registry = &svc->registry;
}

TEST_F(OptionsTest, AnOptionsFileThatCannotBeOpenedChangesNothing) {
  Main2* w = startQuiet();
  QFile::remove(affp());
  ASSERT_TRUE(QDir().mkpath(affp()));
  const QList<int> before = boxValues(w);

  w->MyButton13->click();
  w->ChargerAffichage();
  w->SauverAffichage();
  EXPECT_EQ(boxValues(w), before);
  EXPECT_EQ(vrnVars().Par[1], "");
  EXPECT_EQ(svc->registry.writes, 0);
  EXPECT_TRUE(QFileInfo(affp()).isDir());
  EXPECT_TRUE(svc->dialogs.boxes.isEmpty()) << "file failures are silent";
}
