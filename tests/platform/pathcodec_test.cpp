#include <gtest/gtest.h>

#include <QList>

#include "platform/pathcodec.h"

using namespace vrn;

TEST(PathCodec, EveryByteStringSurvivesTheRoundTrip) {
  const QList<QByteArray> samples = {
      QByteArray("/home/u/plain.txt"),
      QByteArray("/tmp/\xc3\xa9t\xc3\xa9.jpg"),  // valid UTF-8
      QByteArray("/tmp/bad\xff\xfe name"),       // invalid bytes
      QByteArray("/tmp/\xed\xa0\x80surrogate"),  // encoded surrogate is invalid UTF-8
      QByteArray("/tmp/cut\xc3"),                // truncated sequence at the end
      QByteArray("/tmp/\xf0\x9f\x98\x80"
                 "emoji"),                              // outside the BMP
      QByteArray("/tmp/\xf0\x90\x82\x80lowsurrogate"),  // U+10080: low surrogate in the escape range
  };
  for (const QByteArray& b : samples) EXPECT_EQ(encodePath(decodePath(b)), b) << b.toHex().constData();
  // Overlong forms and code points past U+10FFFF are not UTF-8: a decoder
  // that accepted them would give back the short form ("/") or another text.
  const QList<QByteArray> notUtf8 = {
      QByteArray("a\xc0\xaf"
                 "b"),
      QByteArray("a\xc1\xbf"
                 "b"),
      QByteArray("a\xe0\x80\xaf"
                 "b"),
      QByteArray("a\xf0\x80\x80\xaf"
                 "b"),
      QByteArray("a\xf4\x90\x80\x80"
                 "b"),
  };
  for (const QByteArray& b : notUtf8) {
    const QString text = decodePath(b);
    EXPECT_EQ(encodePath(text), b) << b.toHex().constData();
    EXPECT_FALSE(text.contains(u'/')) << b.toHex().constData();
    EXPECT_EQ(text.size(), b.size()) << "each byte kept on its own: " << b.toHex().constData();
  }
  // The same for overlong forms of characters beyond ASCII (U+0080, U+07FF,
  // U+FFFF): each of their bytes stays an escaped raw byte, never a real
  // character (nor the replacement character), and encodes back exactly.
  const QList<QByteArray> overlong = {
      QByteArray("a\xe0\x82\x80"
                 "b"),
      QByteArray("a\xe0\x9f\xbf"
                 "b"),
      QByteArray("a\xf0\x8f\xbf\xbf"
                 "b"),
      QByteArray("\xe0\x82\x80\xe0\x9f\xbf\xf0\x8f\xbf\xbf"),
  };
  for (const QByteArray& b : overlong) {
    const QString text = decodePath(b);
    EXPECT_EQ(encodePath(text), b) << b.toHex().constData();
    ASSERT_EQ(text.size(), b.size()) << b.toHex().constData();
    for (qsizetype i = 0; i < b.size(); ++i) {
      const auto byte = static_cast<unsigned char>(b[i]);
      EXPECT_EQ(text[i].unicode(), byte < 0x80 ? byte : 0xDC00 + byte) << b.toHex().constData() << " at " << i;
    }
  }
  QByteArray all;
  for (int i = 1; i < 256; ++i) all.append(char(i));
  EXPECT_EQ(encodePath(decodePath(all)), all);
}

TEST(PathCodec, ValidTextDecodesAsText) {
  EXPECT_EQ(decodePath(QByteArray("/tmp/\xc3\xa9t\xc3\xa9")), QString::fromUtf8("/tmp/été"));
  EXPECT_EQ(encodePath(QString::fromUtf8("été")), QByteArray("\xc3\xa9t\xc3\xa9"));
}

TEST(PathCodec, CutNeverSplitsACharacter) {
  const QByteArray s(
      "ab\xc3\xa9"
      "cd");  // a b é c d: é is two bytes
  EXPECT_EQ(cutAtCharBoundary(s, 3), QByteArray("ab"));
  EXPECT_EQ(cutAtCharBoundary(s, 4), QByteArray("ab\xc3\xa9"));
  EXPECT_EQ(cutAtCharBoundary(s, 2), QByteArray("ab"));
  EXPECT_EQ(cutAtCharBoundary(s, 10), s);
  // An invalid lone continuation byte is a byte of its own and may be cut.
  EXPECT_EQ(cutAtCharBoundary(QByteArray("a\x80\x80z"), 2), QByteArray("a\x80"));
}
