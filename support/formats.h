#pragma once
// Number and elapsed-time patterns as the program writes them in texts:
// "0" a digit or a zero, "#" a digit or nothing, "," groups thousands with the
// user's separator, "." the user's decimal separator, "%" multiplies by 100.
// Any other character of a pattern is copied as it is.
#include <QString>
#include <string>

namespace vrn {

// A pattern parsed once, for callers that format many values with it.
class NumberPattern {
 public:
  explicit NumberPattern(const QString& pattern);
  QString format(qint64 value) const;
  QString format(double value) const;

 private:
  QString formatScaled(quint64 magnitude, bool negative) const;

  QString prefix_;        // literal text before the first placeholder
  QString suffix_;        // literal text after the last placeholder
  int minIntDigits_ = 0;  // placeholders from the first "0" of the integer part on
  bool grouped_ = false;
  bool hasPoint_ = false;
  int maxDecimals_ = 0;
  int minDecimals_ = 0;  // up to the last "0" of the fraction
  bool percent_ = false;
};

QString formatNumber(double value, const QString& pattern);
QString formatNumber(qint64 value, const QString& pattern);
inline QString formatNumber(int value, const QString& pattern) { return formatNumber(qint64(value), pattern); }

// A text that reads as a number in the user's format (group separators
// allowed) is formatted with the pattern; any other text, the empty text
// included, comes back unchanged.
QString formatNumberText(const QString& text, const QString& pattern);

// Seconds as "hh:mm:ss" (a time of day, so hours wrap at 24); a negative
// value is a span that crossed midnight and counts from the day before.
QString formatElapsed(double seconds);

// The digits of v grouped by three with the user's separator, at least
// minDigits of them (leading zeros), appended as UTF-8: what a pattern
// "0#,###,###0" (minDigits 9) or "#,###,###" (0: nothing for 0) writes.
void appendGroupedNumber(std::string& out, quint64 v, int minDigits);

// The user's separators, read once from the system locale.
const QString& userGroupSeparator();
const QString& userDecimalSeparator();

}  // namespace vrn
