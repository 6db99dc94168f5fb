#include <gtest/gtest.h>

#include "support/ModeFileInfoVRN.h"

using namespace vrn;

TEST(AttributeLetters, SingleValuesAndTheirSpecialCases) {
  EXPECT_EQ(TexteAttributs(128), QStringLiteral("N"));
  EXPECT_EQ(TexteAttributs(0), QStringLiteral("None"));
  EXPECT_EQ(TexteAttributs(33), QStringLiteral("AR"));
  EXPECT_EQ(TexteAttributs(6), QStringLiteral("SH"));
  EXPECT_EQ(TexteAttributs(16), QStringLiteral("D"));
  EXPECT_EQ(TexteAttributs(8224), QStringLiteral("A"));  // 8192 is dropped without a letter
  EXPECT_EQ(TexteAttributs(8192), QString());
}

TEST(AttributeLetters, LettersFollowTheBitsFromTheHighestDown) {
  const qint32 every = 32768 | 16384 | 8192 | 4096 | 2048 | 1024 | 512 | 256 | 32 | 16 | 4 | 2 | 1;
  EXPECT_EQ(TexteAttributs(every), QStringLiteral("LEOCR-PS-FTADSHR"));
  EXPECT_EQ(TexteAttributs(kAttrReparsePoint | kAttrHidden), QStringLiteral("R-PH"));
  EXPECT_EQ(TexteAttributs(kAttrEncrypted | kAttrCompressed | kAttrArchive), QStringLiteral("ECA"));
}

TEST(AttributeLetters, AnyUnknownBitMakesTheWholeTextAnError) {
  const QString error = QStringLiteral("Erreur d'attribut");
  EXPECT_EQ(TexteAttributs(64), error);
  EXPECT_EQ(TexteAttributs(160), error);  // 128 with another bit
  EXPECT_EQ(TexteAttributs(8 | 32), error);
  EXPECT_EQ(TexteAttributs(65536 | 32), error);
  EXPECT_EQ(TexteAttributs(-1), error);
  EXPECT_EQ(TexteAttributs(qint32(0x80000020u)), error);
}
