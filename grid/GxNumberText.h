// Rules of the number editor that need no display: the typed-key filter, cleaning of typed and
// pasted text, the range, the texts a value is shown as and the spin step. Number texts use
// ASCII digits, no grouping and no exponent, with the locale's decimal separator.
#pragma once

#include "grid/GxColumns.h"

#include <QLocale>
#include <QString>
#include <optional>

// The locale's decimal separator (one character).
QChar DecimalSeparator(const QLocale& locale);

// Shortest text of up to 15 significant digits, without exponent ("0.00001", "1E20" never).
QString PlainNumberText(double value, QChar decimal);
// Fixed with the given count of decimals (at most 18 significant digits are meaningful).
QString FixedNumberText(double value, int decimals, QChar decimal);
// An optional sign, ASCII digits and at most one separator; nothing else.
std::optional<double> ParsePlainNumber(const QString& text, QChar decimal);

// Where a typed character would go in the edit.
struct TNumberCaret {
    QString Text;
    int SelStart = 0; // the caret when nothing is selected
    int SelLength = 0;
};
// The key filter for one typed character (Backspace is 8, Enter 13). Copy, cut, paste and Tab
// are decided by the control before it asks.
bool NumberCharAccepted(QChar key, const TNumberCaret& caret, TGxNumberEditOptions options, QChar decimal);

// Keeps digits, one separator (only with allowFloat) and a sign at the first position (only
// with allowSigns).
QString CleanNumberChars(const QString& text, bool allowFloat, bool allowSigns, QChar decimal);
// Limits apply only when Max or Min is not 0: above Max becomes Max, then below Min becomes Min.
double LimitToRange(double value, double min, double max);
// The cleaned text as a number, limited and written back in the general form; a lone sign
// counts as 0 and an empty result gives Min.
QString CleanNumberText(const QString& text, bool allowFloat, bool allowSigns, double min, double max,
                        QChar decimal);
// What a paste inserts in place of the selection: nothing under eoDisablePaste (nullopt), the
// clipboard text unchanged under eoAllowAll, else the cleaned text, with a separator only when
// the rest of the text holds none and a sign only at the start of a text without one.
std::optional<QString> NumberPasteText(const QString& clipboard, const TNumberCaret& caret,
                                       TGxNumberEditOptions options, double min, double max, QChar decimal);

// Settings of a number edit that decide its value and its text.
struct TNumberFormat {
    TGxNumberEditOptions Options = eoAllowFloat | eoAllowSigns;
    double Min = 0;
    double Max = 0;
    int Precision = 2;
    QString NullText;
    QString TextBefore;
    QString TextAfter;
};
// Value of a text: 0 for the (non-empty) NullText, Min for an empty text, else the cleaned text
// parsed and limited; lastGood answers a text that does not parse and remembers a good value.
double NumberValueOfText(const QString& text, const TNumberFormat& format, QChar decimal, double& lastGood);
// Text of a value: NullText for 0 when it is set; else TextBefore + number + TextAfter, the
// number in the general form (float, Precision <= 0), with Precision decimals (float) or with
// none (no float).
QString NumberTextOfValue(double value, const TNumberFormat& format, QChar decimal);
// The value one spin moves to, or nullopt when it does not move: up stops at Max, down at Min
// (with a range) and, without signs, at 0.
std::optional<double> SpinTarget(double value, bool up, double increment, const TNumberFormat& format);
