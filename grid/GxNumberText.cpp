// Rules of the number editor that need no display.
#include "grid/GxNumberText.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsSign(QChar c) {
    return c == u'+' || c == u'-';
}

bool HasSign(QStringView text) {
    return text.contains(u'+') || text.contains(u'-');
}

QString WithSeparator(QString text, QChar decimal) {
    const qsizetype point = text.indexOf(u'.');
    if (point >= 0)
        text[point] = decimal;
    return text;
}

QString Selected(const TNumberCaret& caret) {
    return caret.Text.mid(caret.SelStart, caret.SelLength);
}

QString Outside(const TNumberCaret& caret) {
    return caret.Text.left(caret.SelStart) + caret.Text.mid(caret.SelStart + caret.SelLength);
}

} // namespace

QChar DecimalSeparator(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.at(0);
}

QString PlainNumberText(double value, QChar decimal) {
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");
    // 15 significant digits written out in full, then trailing zeros dropped.
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::clamp(14 - magnitude, 0, 340);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text == u"-0")
        text = QStringLiteral("0");
    return WithSeparator(text, decimal);
}

QString FixedNumberText(double value, int decimals, QChar decimal) {
    if (!std::isfinite(value))
        value = 0;
    decimals = std::clamp(decimals, 0, 18);
    // A value that rounds to zero is written without a sign.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0;
    return WithSeparator(QString::number(value, 'f', decimals), decimal);
}

std::optional<double> ParsePlainNumber(const QString& text, QChar decimal) {
    const QString t = text.trimmed();
    QString ascii;
    ascii.reserve(t.size());
    bool digit = false;
    bool point = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (IsDigit(c)) {
            digit = true;
            ascii += c;
        } else if (c == decimal && !point) {
            point = true;
            ascii += u'.';
        } else if (IsSign(c) && i == 0) {
            ascii += c;
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    bool ok = false;
    const double value = ascii.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool NumberCharAccepted(QChar key, const TNumberCaret& caret, TGxNumberEditOptions options, QChar decimal) {
    if (options & eoDisableTyping)
        return false;
    if (options & eoAllowAll)
        return true;
    if (key == QChar(8) || key == QChar(13) || IsDigit(key))
        return true;
    if (key == decimal) {
        if (!(options & eoAllowFloat))
            return false;
        return !caret.Text.contains(decimal) || Selected(caret).contains(decimal);
    }
    if (IsSign(key)) {
        if (!(options & eoAllowSigns))
            return false;
        return (caret.SelStart == 0 && !HasSign(caret.Text)) || HasSign(Selected(caret));
    }
    return false;
}

QString CleanNumberChars(const QString& text, bool allowFloat, bool allowSigns, QChar decimal) {
    QString out;
    out.reserve(text.size());
    bool point = false;
    for (QChar c : text) {
        if (IsDigit(c)) {
            out += c;
        } else if (c == decimal) {
            if (allowFloat && !point)
                out += c;
            point = true;
        } else if (IsSign(c) && allowSigns && out.isEmpty()) {
            out += c;
        }
    }
    return out;
}

double LimitToRange(double value, double min, double max) {
    if (max == 0 && min == 0)
        return value;
    if (value > max)
        value = max;
    if (value < min)
        value = min;
    return value;
}

QString CleanNumberText(const QString& text, bool allowFloat, bool allowSigns, double min, double max,
                        QChar decimal) {
    const QString chars = CleanNumberChars(text, allowFloat, allowSigns, decimal);
    if (chars.isEmpty())
        return PlainNumberText(min, decimal);
    const double value = ParsePlainNumber(chars, decimal).value_or(0.0);
    return PlainNumberText(LimitToRange(value, min, max), decimal);
}

std::optional<QString> NumberPasteText(const QString& clipboard, const TNumberCaret& caret,
                                       TGxNumberEditOptions options, double min, double max, QChar decimal) {
    if (options & eoDisablePaste)
        return std::nullopt;
    if (options & eoAllowAll)
        return clipboard;
    const QString rest = Outside(caret);
    const bool allowFloat = (options & eoAllowFloat) && !rest.contains(decimal);
    const bool allowSigns = (options & eoAllowSigns) && caret.SelStart == 0 && !HasSign(rest);
    return CleanNumberText(clipboard, allowFloat, allowSigns, min, max, decimal);
}

double NumberValueOfText(const QString& text, const TNumberFormat& format, QChar decimal, double& lastGood) {
    if (!format.NullText.isEmpty() && text == format.NullText) {
        lastGood = 0;
        return 0;
    }
    if (text.isEmpty())
        return format.Min;
    const QString chars =
        CleanNumberChars(text, format.Options & eoAllowFloat, format.Options & eoAllowSigns, decimal);
    if (chars.isEmpty())
        return format.Min;
    const auto parsed = ParsePlainNumber(chars, decimal);
    if (!parsed)
        return lastGood;
    lastGood = LimitToRange(*parsed, format.Min, format.Max);
    return lastGood;
}

QString NumberTextOfValue(double value, const TNumberFormat& format, QChar decimal) {
    if (value == 0 && !format.NullText.isEmpty())
        return format.NullText;
    QString number;
    if (!(format.Options & eoAllowFloat))
        number = FixedNumberText(value, 0, decimal);
    else if (format.Precision <= 0)
        number = PlainNumberText(value, decimal);
    else
        number = FixedNumberText(value, format.Precision, decimal);
    return format.TextBefore + number + format.TextAfter;
}

std::optional<double> SpinTarget(double value, bool up, double increment, const TNumberFormat& format) {
    const bool ranged = format.Max != 0 || format.Min != 0;
    if (up) {
        if (ranged && value + increment > format.Max)
            return std::nullopt;
        return value + increment;
    }
    const bool signs = format.Options & eoAllowSigns;
    if (!signs && value <= 0)
        return std::nullopt;
    if (ranged && value - increment < format.Min)
        return std::nullopt;
    // Without signs the edit cannot show a negative value: the step ends at 0.
    return signs ? value - increment : std::max(0.0, value - increment);
}
