#include <gtest/gtest.h>

#include <QLocale>

#include "support/formats.h"

using namespace vrn;

namespace {
QString g() { return QLocale::system().groupSeparator(); }
QString d() { return QLocale::system().decimalPoint(); }
}  // namespace

TEST(NumberFormats, SizeHasNoLeadingZerosAndZeroIsEmpty) {
  EXPECT_EQ(formatNumber(qint64(0), "#,###,###"), QString());
  EXPECT_EQ(formatNumber(qint64(7), "#,###,###"), QStringLiteral("7"));
  EXPECT_EQ(formatNumber(qint64(999), "#,###,###"), QStringLiteral("999"));
  EXPECT_EQ(formatNumber(qint64(1000), "#,###,###"), "1" + g() + "000");
  EXPECT_EQ(formatNumber(qint64(5368709120LL), "#,###,###"), "5" + g() + "368" + g() + "709" + g() + "120");
  EXPECT_EQ(formatNumber(1234.6, "#,###,###"), "1" + g() + "235");  // rounded, not cut
}

TEST(NumberFormats, PaddedPatternsKeepTextOrderEqualToNumberOrder) {
  EXPECT_EQ(formatNumber(qint64(1234), "0#,###,###0"), "000" + g() + "001" + g() + "234");
  EXPECT_EQ(formatNumber(qint64(0), "0#,###,###0"), "000" + g() + "000" + g() + "000");
  EXPECT_EQ(formatNumber(qint64(1234567890), "0#,###,###0"), "1" + g() + "234" + g() + "567" + g() + "890");
  EXPECT_EQ(formatNumber(qint64(12), "0#######"), QStringLiteral("00000012"));
  EXPECT_EQ(formatNumber(qint64(123456789), "0#######"), QStringLiteral("123456789"));
  EXPECT_LT(formatNumber(qint64(99), "0#######"), formatNumber(qint64(100), "0#######"));
}

TEST(NumberFormats, SizeTextIsReformattedAndOtherTextLeftAlone) {
  const QString size = formatNumber(qint64(1234), "#,###,###");
  EXPECT_EQ(formatNumberText(size, "0#,###,###0"), "000" + g() + "001" + g() + "234");
  EXPECT_EQ(formatNumberText(formatNumber(qint64(5368709120LL), "#,###,###"), "0#,###,###0"),
            "5" + g() + "368" + g() + "709" + g() + "120");
  EXPECT_EQ(formatNumberText(QString(), "0#,###,###0"), QString());  // a zero-byte file
  EXPECT_EQ(formatNumberText(QStringLiteral("abc"), "0#,###,###0"), QStringLiteral("abc"));
  EXPECT_EQ(formatNumberText(QStringLiteral("12abc"), "0#,###,###0"), QStringLiteral("12abc"));
  EXPECT_EQ(formatNumberText(g(), "0#,###,###0"), g());
  EXPECT_EQ(formatNumberText(QStringLiteral("-12"), "0#######"), QStringLiteral("-00000012"));
  // Where the user groups with a space, any of the usual spaces reads as one.
  if (g() == QString(QChar(0x202F)) || g() == QString(QChar(0x00A0))) {
    EXPECT_EQ(formatNumberText(QStringLiteral("1 234"), "0#,###,###0"), "000" + g() + "001" + g() + "234");
  }
}

TEST(NumberFormats, PercentShowsTwoDecimalsWithTheUserSeparator) {
  EXPECT_EQ(formatNumber(0.5, "###.#0%"), "50" + d() + "00%");
  EXPECT_EQ(formatNumber(1.0, "###.#0%"), "100" + d() + "00%");
  EXPECT_EQ(formatNumber(0.125, "###.#0%"), "12" + d() + "50%");
  EXPECT_EQ(formatNumber(1.0 / 3.0, "###.#0%"), "33" + d() + "33%");
  EXPECT_EQ(formatNumber(0.0, "###.#0%"), d() + "00%");  // no integer digit is required
}

TEST(ElapsedTime, HoursMinutesSecondsOfADay) {
  EXPECT_EQ(formatElapsed(0), QStringLiteral("00:00:00"));
  EXPECT_EQ(formatElapsed(3725), QStringLiteral("01:02:05"));
  EXPECT_EQ(formatElapsed(59.6), QStringLiteral("00:01:00"));
  EXPECT_EQ(formatElapsed(86399), QStringLiteral("23:59:59"));
  // A scan from 23:59:30 to 00:00:30: the time of day went back.
  EXPECT_EQ(formatElapsed(30 - 86370), QStringLiteral("00:01:00"));
}

TEST(NumberFormats, GroupedDigitsAsThePatternsWriteThem) {
  const NumberPattern size(QStringLiteral("#,###,###"));
  const NumberPattern column(QStringLiteral("0#,###,###0"));
  for (quint64 v : {1ULL, 7ULL, 999ULL, 1000ULL, 1234ULL, 999999ULL, 1000000ULL, 123456789ULL, 1234567890ULL,
                    5368709120ULL, 9223372036854775807ULL}) {
    std::string plain, padded;
    appendGroupedNumber(plain, v, 0);
    appendGroupedNumber(padded, v, 9);
    EXPECT_EQ(QString::fromStdString(plain), size.format(qint64(v))) << v;
    EXPECT_EQ(QString::fromStdString(padded), column.format(qint64(v))) << v;
    EXPECT_EQ(QString::fromStdString(padded), formatNumberText(size.format(qint64(v)), QStringLiteral("0#,###,###0")))
        << v;
  }
  std::string zero;
  appendGroupedNumber(zero, 0, 0);
  EXPECT_EQ(zero, "");  // a size of 0 has an empty text
}
