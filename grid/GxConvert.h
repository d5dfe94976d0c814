// Text conversions of the typed cells: Booleans, integers, floats, date-times and GUIDs, each
// with its exact error text. Locale-dependent forms take the locale as a parameter.
#pragma once

#include <QLocale>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>

// Date-times are doubles counting days since 1899-12-30; the fraction is the time of day.
inline constexpr double MinDateTimeValue = -657434.0;     // 0100-01-01
inline constexpr double MaxDateTimeValue = 2958465.99999; // 9999-12-31 23:59:59

QString BoolToText(bool value); // "True" / "False"
// "True"/"False" in any case, or any number (non-zero is true); else raises
// "'%s' is not a valid boolean value".
bool TextToBool(const QString& text, const QLocale& locale);

// Optional sign and decimal digits (blanks around allowed), within 32 bits; else raises
// "'%s' is not a valid integer value".
int32_t TextToInt(const QString& text);
std::optional<int32_t> TryTextToInt(const QString& text);

// Number in the locale's form (no grouping, no "nan"/"inf"); else raises
// "'%s' is not a valid floating point value".
double TextToFloat(const QString& text, const QLocale& locale);
std::optional<double> TryTextToFloat(const QString& text, const QLocale& locale);
// Shortest general text with 15 significant digits, exponent as "1E20".
QString FloatToText(double value, const QLocale& locale);

// Rounds to the nearest integer, halves to even; a value outside 32 bits (or not a number)
// raises the integer conversion error naming the value's text.
int32_t RoundToInt(double value, const QLocale& locale);
// Integer part of a date-time or float, with the same range rule.
int32_t TruncToInt(double value, const QLocale& locale);

// The locale's short date with a four-digit year; time as hh:mm:ss after a blank, left out
// at midnight when omitMidnight is set.
QString DateTimeToText(double value, const QLocale& locale, bool omitMidnight = true);
QString DateFormatFourDigits(const QLocale& locale);
// Date, date and time, or time alone in the forms DateTimeToText writes.
std::optional<double> TryTextToDateTime(const QString& text, const QLocale& locale);
// As above, raising "'%s' is not a valid date and time".
double TextToDateTime(const QString& text, const QLocale& locale);

double DateTimeFromQDateTime(const QDateTime& value);
QDateTime QDateTimeFromDateTime(double value);
double TodayDate(); // today at midnight

// Registry form: braces, 8-4-4-4-12 upper-case hex digits.
QString GuidToText(const QUuid& value);
// Parses the registry form only; else raises "'%s' is not a valid GUID value".
QUuid TextToGuid(const QString& text);
