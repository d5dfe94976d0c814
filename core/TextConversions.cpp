// Implementation of the shared conversions.
#include "core/TextConversions.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double secondsPerDay = 86400.0;
constexpr qint64 msPerDay = 86400000;

// The day the date-time type counts from, as a UTC stamp so that adding milliseconds never
// meets a daylight-saving jump; the result is read back as local wall-clock fields.
QDateTime DayZeroUtc() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0), QTimeZone::utc());
}

QString DisplayDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    // Four-digit years only: widen a lone "yy" (never touch an existing "yyyy").
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

QString DisplayFormat() {
    return DisplayDateFormat() + QStringLiteral(" hh:mm:ss");
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    return -1;
}

} // namespace

QString Int64ToText(qint64 value) {
    return QString::number(value);
}

qint64 TextToInt64(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulate towards the sign's side so that the smallest value fits exactly.
    const qint64 limit = negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            break;
        }
        const int digit = c - u'0';
        if (!negative) {
            if (value > (limit - digit) / 10) {
                return limit;
            }
            value = value * 10 + digit;
        } else {
            if (value < (limit + digit) / 10) {
                return limit;
            }
            value = value * 10 - digit;
        }
    }
    return value;
}

double DateTimeFromUnixTime32(qint32 seconds) {
    return seconds / secondsPerDay + UnixDateDelta;
}

double DateTimeFromUnixTime(qint64 seconds) {
    return static_cast<double>(seconds) / secondsPerDay + UnixDateDelta;
}

qint64 UnixTimeFromDateTime(double dateTime) {
    return std::llround((dateTime - UnixDateDelta) * secondsPerDay);
}

qint64 WholeSecondsBetween(double a, double b) {
    // Through whole milliseconds first, so 0.999999 of a second from double rounding counts as one.
    const qint64 ms = std::llround(std::fabs(a - b) * msPerDay);
    return ms / 1000;
}

QDateTime DateTimeToQDateTime(double dateTime) {
    const QDateTime wall = DayZeroUtc().addMSecs(std::llround(dateTime * msPerDay));
    return QDateTime(wall.date(), wall.time());
}

double QDateTimeToDateTime(const QDateTime& value) {
    const QDateTime local = value.toLocalTime();
    const QDateTime wall(local.date(), local.time(), QTimeZone::utc());
    return static_cast<double>(DayZeroUtc().msecsTo(wall)) / msPerDay;
}

double NowDateTime() {
    return QDateTimeToDateTime(QDateTime::currentDateTime());
}

QString DateTimeToDisplayText(double dateTime) {
    return QLocale().toString(DateTimeToQDateTime(dateTime), DisplayFormat());
}

namespace {

// The display format taken apart once per locale, for a reader that needs no locale call: only
// formats made of numeric fields (d, dd, M, MM, yyyy, hh, mm, ss), month names (MMM, MMMM) and
// plain separators qualify.
struct TNumericFormat {
    struct TField {
        char16_t Letter = 0; // 0: a literal
        int Count = 0;
        QChar Literal;
    };
    QLocale Locale;
    QString Format;
    bool Numeric = false;
    std::vector<TField> Fields;
    QString MonthNames[2][12]; // short, long
};

TNumericFormat MakeNumericFormat(const QLocale& Locale, const QString& Format) {
    TNumericFormat result{Locale, Format, true, {}, {}};
    for (qsizetype i = 0; i < Format.size();) {
        const QChar c = Format[i];
        qsizetype n = 1;
        while (i + n < Format.size() && Format[i + n] == c)
            ++n;
        const char16_t u = c.unicode();
        if (u == u'M' && (n == 3 || n == 4)) {
            // Month names, as the locale writes them (Jan, January).
            result.Fields.push_back({u, int(n), QChar()});
        } else if (u == u'd' || u == u'M' || u == u'h' || u == u'm' || u == u's') {
            if (n > 2)
                result.Numeric = false;
            result.Fields.push_back({u, int(n), QChar()});
        } else if (u == u'y') {
            if (n != 4)
                result.Numeric = false;
            result.Fields.push_back({u, int(n), QChar()});
        } else if (c.isLetter() || u == u'\'' || c.isDigit()) {
            result.Numeric = false;
        } else {
            for (qsizetype k = 0; k < n; ++k)
                result.Fields.push_back({0, 0, c});
        }
        i += n;
    }
    for (int month = 1; month <= 12; ++month) {
        result.MonthNames[0][month - 1] = Locale.monthName(month, QLocale::ShortFormat);
        result.MonthNames[1][month - 1] = Locale.monthName(month, QLocale::LongFormat);
    }
    return result;
}

// The month whose name (short for 3 letters, long for 4) starts Text at At; the longest match.
int ReadMonthName(const TNumericFormat& Format, int Count, QStringView Text, qsizetype& At) {
    int month = 0;
    qsizetype length = 0;
    const QStringView rest = Text.mid(At);
    for (int m = 0; m < 12; ++m) {
        const QString& name = Format.MonthNames[Count == 4 ? 1 : 0][m];
        // The first letter rules out most names without a library call.
        if (!name.isEmpty() && name.size() > length && !rest.isEmpty() && rest.front() == name.front() &&
            rest.startsWith(name)) {
            month = m + 1;
            length = name.size();
        }
    }
    At += length;
    return month;
}

const TNumericFormat& CurrentNumericFormat() {
    thread_local std::optional<TNumericFormat> cached;
    const QLocale locale;
    if (!cached || cached->Locale != locale)
        cached = MakeNumericFormat(locale, DisplayFormat());
    return *cached;
}

// Days from 1899-12-30 to a proleptic Gregorian date (civil-calendar arithmetic, no date objects:
// the status tick reads thousands of dates at once).
qint64 DaysFromDayZero(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr qint64 unixDayOfDayZero = -25569; // 1899-12-30 counted from 1970-01-01
    return qint64(era) * 146097 + dayOfEra - 719468 - unixDayOfDayZero;
}

bool ValidDate(int year, int month, int day) {
    static constexpr int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year == 0 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= monthDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// Reads Text by a numeric format into milliseconds from day zero (wall-clock fields as written);
// nothing when it does not match, so the locale's own reader decides.
std::optional<qint64> ReadNumeric(const TNumericFormat& Format, QStringView Text) {
    int values[128] = {};
    qsizetype at = 0;
    for (const TNumericFormat::TField& field : Format.Fields) {
        if (field.Letter == 0) {
            if (at >= Text.size() || Text[at] != field.Literal)
                return std::nullopt;
            ++at;
            continue;
        }
        if (field.Letter == u'M' && field.Count >= 3) {
            values[u'M'] = ReadMonthName(Format, field.Count, Text, at);
            if (values[u'M'] == 0)
                return std::nullopt;
            continue;
        }
        const int most = field.Letter == u'y' ? 4 : 2;
        const int least = field.Letter == u'y' ? 4 : 1;
        int value = 0;
        int digits = 0;
        while (digits < most && at < Text.size() && Text[at].unicode() >= u'0' &&
               Text[at].unicode() <= u'9') {
            value = value * 10 + (Text[at].unicode() - u'0');
            ++digits;
            ++at;
        }
        if (digits < least)
            return std::nullopt;
        values[field.Letter] = value;
    }
    if (at != Text.size())
        return std::nullopt;
    if (!ValidDate(values[u'y'], values[u'M'], values[u'd']) || values[u'h'] > 23 || values[u'm'] > 59 ||
        values[u's'] > 59)
        return std::nullopt;
    return DaysFromDayZero(values[u'y'], values[u'M'], values[u'd']) * msPerDay +
           ((values[u'h'] * 60 + values[u'm']) * 60 + values[u's']) * qint64(1000);
}

} // namespace

std::optional<double> DisplayTextToDateTime(QStringView text) {
    const TNumericFormat& numeric = CurrentNumericFormat();
    if (numeric.Numeric) {
        if (const std::optional<qint64> ms = ReadNumeric(numeric, text.trimmed()))
            return static_cast<double>(*ms) / msPerDay;
    }
    const QLocale locale = QLocale();
    const QString format = numeric.Format;
    const QDateTime value = locale.toDateTime(text.trimmed().toString(), format);
    if (!value.isValid()) {
        return std::nullopt;
    }
    // Read the wall-clock fields as written, even inside a daylight-saving gap.
    const QDateTime wall(value.date(), value.time(), QTimeZone::utc());
    return static_cast<double>(DayZeroUtc().msecsTo(wall)) / msPerDay;
}

QString BytesToHexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray HexTextToBytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size() / 2);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            break;
        }
        out.append(static_cast<char>(high * 16 + low));
    }
    return out;
}
