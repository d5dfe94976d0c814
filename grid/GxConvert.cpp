// Conversions between cell texts and typed values.
#include "grid/GxConvert.h"
#include "grid/GxTypes.h"

#include <QDateTime>
#include <cmath>
#include <limits>

namespace {

[[noreturn]] void Raise(const char* pattern, const QString& text) {
    throw EGridError(GxFormat(QString::fromLatin1(pattern), {text}));
}

const QDate& BaseDate() {
    static const QDate base(1899, 12, 30);
    return base;
}

bool IsAsciiDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Text forms that a number parser of the locale would take but that are not numbers here.
bool LooksNonFinite(const QString& t) {
    const QString l = t.trimmed().toLower();
    return l.contains(u"nan") || l.contains(u"inf");
}

QString TimeFormat() {
    return QStringLiteral("hh:mm:ss");
}

} // namespace

QString BoolToText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool TextToBool(const QString& text, const QLocale& locale) {
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    if (auto n = TryTextToFloat(text, locale))
        return *n != 0.0;
    Raise("'%s' is not a valid boolean value", text);
}

std::optional<int32_t> TryTextToInt(const QString& text) {
    QStringView s = QStringView(text).trimmed();
    bool negative = false;
    if (!s.isEmpty() && (s[0] == u'+' || s[0] == u'-')) {
        negative = s[0] == u'-';
        s = s.mid(1);
    }
    if (!IsAsciiDigits(s))
        return std::nullopt;
    int64_t v = 0;
    for (QChar c : s) {
        v = v * 10 + (c.unicode() - u'0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return int32_t(v);
}

int32_t TextToInt(const QString& text) {
    if (auto v = TryTextToInt(text))
        return *v;
    Raise("'%s' is not a valid integer value", text);
}

std::optional<double> TryTextToFloat(const QString& text, const QLocale& locale) {
    const QString t = text.trimmed();
    if (t.isEmpty() || LooksNonFinite(t))
        return std::nullopt;
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = strict.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double TextToFloat(const QString& text, const QLocale& locale) {
    if (auto v = TryTextToFloat(text, locale))
        return *v;
    Raise("'%s' is not a valid floating point value", text);
}

QString FloatToText(double value, const QLocale& locale) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = plain.toString(value, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (e < 0)
        return s;
    // Exponent as E followed by the bare number: 1E20, 1E-5.
    QString mantissa = s.left(e);
    QString exponent = s.mid(e + 1);
    QString sign;
    if (exponent.startsWith(u'+') || exponent.startsWith(u'-')) {
        if (exponent.startsWith(u'-'))
            sign = QStringLiteral("-");
        exponent.remove(0, 1);
    }
    while (exponent.size() > 1 && exponent.startsWith(u'0'))
        exponent.remove(0, 1);
    return mantissa + QLatin1Char('E') + sign + exponent;
}

int32_t RoundToInt(double value, const QLocale& locale) {
    const double r = std::nearbyint(value);
    if (!std::isfinite(r) || r > std::numeric_limits<int32_t>::max() ||
        r < std::numeric_limits<int32_t>::min())
        Raise("'%s' is not a valid integer value", FloatToText(value, locale));
    return int32_t(r);
}

int32_t TruncToInt(double value, const QLocale& locale) {
    const double r = std::trunc(value);
    if (!std::isfinite(r) || r > std::numeric_limits<int32_t>::max() ||
        r < std::numeric_limits<int32_t>::min())
        Raise("'%s' is not a valid integer value", FloatToText(value, locale));
    return int32_t(r);
}

QString DateFormatFourDigits(const QLocale& locale) {
    QString f = locale.dateFormat(QLocale::ShortFormat);
    if (f.contains(u"yyyy"))
        return f;
    if (f.contains(u"yy"))
        return f.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return f + QStringLiteral(" yyyy");
}

double DateTimeFromQDateTime(const QDateTime& value) {
    const double days = double(BaseDate().daysTo(value.date()));
    const double time = value.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the base date the fraction still counts forward from midnight of that day.
    return days >= 0 ? days + time : days - time;
}

QDateTime QDateTimeFromDateTime(double value) {
    if (!std::isfinite(value) || value < MinDateTimeValue - 1 || value > MaxDateTimeValue + 1)
        value = 0;
    const double whole = std::trunc(value);
    double frac = std::fabs(value - whole);
    qint64 ms = qint64(std::llround(frac * 86400000.0));
    qint64 dayShift = 0;
    if (ms >= 86400000) {
        ms -= 86400000;
        dayShift = value < 0 ? -1 : 1;
    }
    const QDate date = BaseDate().addDays(qint64(whole) + dayShift);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

double TodayDate() {
    return double(BaseDate().daysTo(QDate::currentDate()));
}

QString DateTimeToText(double value, const QLocale& locale, bool omitMidnight) {
    const QDateTime dt = QDateTimeFromDateTime(value);
    QString s = locale.toString(dt.date(), DateFormatFourDigits(locale));
    if (omitMidnight && dt.time() == QTime(0, 0))
        return s;
    return s + QLatin1Char(' ') + dt.time().toString(TimeFormat());
}

std::optional<double> TryTextToDateTime(const QString& text, const QLocale& locale) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QString df = DateFormatFourDigits(locale);
    for (const QString& tf : {QStringLiteral("hh:mm:ss"), QStringLiteral("hh:mm"), QStringLiteral("h:mm:ss"),
                              QStringLiteral("h:mm")}) {
        const QDateTime dt = locale.toDateTime(t, df + QLatin1Char(' ') + tf);
        if (dt.isValid())
            return DateTimeFromQDateTime(dt);
    }
    const QDate d = locale.toDate(t, df);
    if (d.isValid())
        return double(BaseDate().daysTo(d));
    for (const QString& tf : {QStringLiteral("hh:mm:ss"), QStringLiteral("hh:mm"), QStringLiteral("h:mm:ss"),
                              QStringLiteral("h:mm")}) {
        const QTime tm = QTime::fromString(t, tf);
        if (tm.isValid())
            return tm.msecsSinceStartOfDay() / 86400000.0;
    }
    return std::nullopt;
}

double TextToDateTime(const QString& text, const QLocale& locale) {
    if (auto v = TryTextToDateTime(text, locale))
        return *v;
    Raise("'%s' is not a valid date and time", text);
}

QString GuidToText(const QUuid& value) {
    return value.toString(QUuid::WithBraces).toUpper();
}

QUuid TextToGuid(const QString& text) {
    static const int hyphens[] = {9, 14, 19, 24};
    bool ok = text.size() == 38 && text.front() == u'{' && text.back() == u'}';
    for (qsizetype i = 1; ok && i < 37; ++i) {
        const QChar c = text[i];
        const bool hyphenSlot =
            std::find(std::begin(hyphens), std::end(hyphens), int(i)) != std::end(hyphens);
        if (hyphenSlot)
            ok = c == u'-';
        else
            ok = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }
    const QUuid id = ok ? QUuid::fromString(text) : QUuid();
    if (!ok || (id.isNull() && text != QStringLiteral("{00000000-0000-0000-0000-000000000000}")))
        Raise("'%s' is not a valid GUID value", text);
    return id;
}
