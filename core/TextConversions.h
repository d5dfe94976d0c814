// Number, time and text conversions shared by the whole program: 64-bit numbers and Unix times
// as decimal text, date-times as days since 1899-12-30 (local time), the one date display format
// and a hexadecimal text codec.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <optional>

// Days from 1899-12-30 to 1970-01-01.
inline constexpr double UnixDateDelta = 25569.0;

// Decimal text, "-" for negative values, no padding or grouping.
QString Int64ToText(qint64 value);

// The value of the decimal number at the start of text (after blanks, with an optional sign);
// never fails: reading stops at the first other character, an empty text gives 0, and a number
// beyond the 64-bit range gives the nearest end of that range.
qint64 TextToInt64(const QString& text);

// seconds / 86400 + 25569.
double DateTimeFromUnixTime32(qint32 seconds);
double DateTimeFromUnixTime(qint64 seconds);
// The Unix seconds of a date-time, rounded to the nearest second. No time-zone shift: stored
// Unix times count local wall-clock seconds.
qint64 UnixTimeFromDateTime(double dateTime);
// Whole seconds between two date-times (never negative, fractions cut off).
qint64 WholeSecondsBetween(double a, double b);

// The local wall clock now, as a date-time.
double NowDateTime();
// Between date-times and local QDateTime values (milliseconds kept).
QDateTime DateTimeToQDateTime(double dateTime);
double QDateTimeToDateTime(const QDateTime& value);

// The one display form of a date-time: the locale's short date with a four-digit year, a blank
// and hh:mm:ss (24 hours).
QString DateTimeToDisplayText(double dateTime);
// Reads what DateTimeToDisplayText writes; nothing for any other text.
std::optional<double> DisplayTextToDateTime(QStringView text);

// Each byte as two upper-case hexadecimal digits.
QString BytesToHexText(const QByteArray& bytes);
// Two digits at a time back to bytes; stops at the first pair that is not two hex digits.
QByteArray HexTextToBytes(const QString& text);
