// Number edit rules: the typed-key filter, cleaning of typed and pasted text, the range, the
// texts a value is written as (no exponent, ASCII digits, the locale's separator), NullText and
// the spin step.
#include "grid/GxNumberText.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TNumberCaret At(const QString& text, int selStart, int selLength = 0) {
    return TNumberCaret{text, selStart, selLength};
}

constexpr TGxNumberEditOptions kDefault = eoAllowFloat | eoAllowSigns;
const QChar kPoint(u'.');

} // namespace

TEST(NumberKeyFilter, SignsPassOnlyAtTheStartOfAnUnsignedText) {
    EXPECT_FALSE(NumberCharAccepted(u'-', At("12", 1), kDefault, kPoint)); // after the 1
    EXPECT_TRUE(NumberCharAccepted(u'-', At("12", 0), kDefault, kPoint));
    EXPECT_TRUE(NumberCharAccepted(u'+', At("12", 0), kDefault, kPoint));
    EXPECT_FALSE(NumberCharAccepted(u'-', At("-12", 0), kDefault, kPoint));   // already signed
    EXPECT_TRUE(NumberCharAccepted(u'-', At("-12", 0, 1), kDefault, kPoint)); // the sign is selected
    EXPECT_FALSE(NumberCharAccepted(u'-', At("12", 0), eoAllowFloat, kPoint));
}

TEST(NumberKeyFilter, OneSeparatorUnlessTheFirstIsSelected) {
    EXPECT_TRUE(NumberCharAccepted(u'.', At("12", 2), kDefault, kPoint));
    EXPECT_FALSE(NumberCharAccepted(u'.', At("1.2", 3), kDefault, kPoint));
    EXPECT_TRUE(NumberCharAccepted(u'.', At("1.2", 1, 1), kDefault, kPoint));
    EXPECT_FALSE(NumberCharAccepted(u'.', At("12", 2), eoAllowSigns, kPoint)); // no floats
    EXPECT_FALSE(NumberCharAccepted(u',', At("12", 2), kDefault, kPoint));     // not the separator
    EXPECT_TRUE(NumberCharAccepted(u',', At("12", 2), kDefault, u','));
}

TEST(NumberKeyFilter, DigitsBackspaceEnterPassOthersDropUnlessAllowAllOrDisabled) {
    for (QChar c : QStringLiteral("0123456789"))
        EXPECT_TRUE(NumberCharAccepted(c, At("", 0), kDefault, kPoint)) << int(c.unicode());
    EXPECT_TRUE(NumberCharAccepted(QChar(8), At("1", 1), kDefault, kPoint));
    EXPECT_TRUE(NumberCharAccepted(QChar(13), At("1", 1), kDefault, kPoint));
    for (QChar c : QStringLiteral("aZe E$ "))
        EXPECT_FALSE(NumberCharAccepted(c, At("1", 1), kDefault, kPoint)) << int(c.unicode());
    EXPECT_TRUE(NumberCharAccepted(u'x', At("1", 1), eoAllowAll, kPoint));
    EXPECT_FALSE(NumberCharAccepted(u'1', At("1", 1), kDefault | eoDisableTyping, kPoint));
    EXPECT_FALSE(NumberCharAccepted(u'x', At("1", 1), eoAllowAll | eoDisableTyping, kPoint));
}

TEST(NumberCleaning, KeepsDigitsOneSeparatorAndALeadingSign) {
    EXPECT_EQ(CleanNumberChars("a1b2", true, true, kPoint), "12");
    EXPECT_EQ(CleanNumberChars("1E-5", true, true, kPoint), "15"); // why no value is written so
    EXPECT_EQ(CleanNumberChars("-1.2.3", true, true, kPoint), "-1.23");
    EXPECT_EQ(CleanNumberChars("-1.2", false, true, kPoint), "-12");
    EXPECT_EQ(CleanNumberChars("-1.2", true, false, kPoint), "1.2");
    EXPECT_EQ(CleanNumberChars("$ -5", true, true, kPoint), "-5");
    EXPECT_EQ(CleanNumberText("a1b2", true, true, 0, 0, kPoint), "12");
    EXPECT_EQ(CleanNumberText("-", true, true, 0, 0, kPoint), "0");
    EXPECT_EQ(CleanNumberText("+", true, true, 3, 9, kPoint), "3"); // 0, then the range
    EXPECT_EQ(CleanNumberText("abc", true, true, 4, 9, kPoint), "4");
    EXPECT_EQ(CleanNumberText("15", true, true, 0, 10, kPoint), "10");
}

TEST(NumberRange, AppliesOnlyWithALimitMaxFirstThenMin) {
    EXPECT_EQ(LimitToRange(-7, 0, 0), -7);
    EXPECT_EQ(LimitToRange(15, 0, 10), 10);
    EXPECT_EQ(LimitToRange(-1, 0, 10), 0);
    EXPECT_EQ(LimitToRange(3, 5, 0), 5); // Max 0 and Min above 0: every value is Min
    EXPECT_EQ(LimitToRange(-3, 5, 0), 5);
}

TEST(NumberPaste, CleansWithTheRulesOfTheCaret) {
    EXPECT_EQ(NumberPasteText("a1b2", At("", 0), kDefault, 0, 0, kPoint), QString("12"));
    // A separator only when the rest of the text holds none, a sign only at the start.
    EXPECT_EQ(NumberPasteText("1.5", At("2.0", 3), kDefault, 0, 0, kPoint), QString("15"));
    EXPECT_EQ(NumberPasteText("1.5", At("2.0", 1, 2), kDefault, 0, 0, kPoint), QString("1.5"));
    EXPECT_EQ(NumberPasteText("-4", At("12", 1), kDefault, 0, 0, kPoint), QString("4"));
    EXPECT_EQ(NumberPasteText("-4", At("12", 0), kDefault, 0, 0, kPoint), QString("-4"));
    EXPECT_EQ(NumberPasteText("-4", At("-12", 0), kDefault, 0, 0, kPoint), QString("4"));
    EXPECT_FALSE(NumberPasteText("1", At("", 0), kDefault | eoDisablePaste, 0, 0, kPoint).has_value());
    EXPECT_EQ(NumberPasteText("x y", At("", 0), eoAllowAll, 0, 0, kPoint), QString("x y"));
}

TEST(NumberTexts, GeneralFormHasNoExponentAndReadsBackUnchanged) {
    EXPECT_EQ(PlainNumberText(0.00001, kPoint), "0.00001");
    EXPECT_EQ(PlainNumberText(1e20, kPoint), "100000000000000000000");
    EXPECT_EQ(PlainNumberText(-2.5, u','), "-2,5");
    EXPECT_EQ(PlainNumberText(1.0 / 3.0, kPoint), "0.333333333333333");
    EXPECT_EQ(PlainNumberText(-0.0, kPoint), "0");
    TNumberFormat format;
    format.Precision = 0;
    for (double v : {0.00001, -0.000123, 1e20, 123456.789, -42.0, 0.1, 7e-9}) {
        double lastGood = 0;
        const QString text = NumberTextOfValue(v, format, kPoint);
        const double back = NumberValueOfText(text, format, kPoint, lastGood);
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << text.toStdString();
    }
}

TEST(NumberTexts, PrecisionSeparatorAndDigitsFollowTheLocale) {
    TNumberFormat format;
    format.Min = 0;
    format.Max = 10;
    format.Precision = 2;
    double lastGood = 0;
    const double value = NumberValueOfText("15", format, kPoint, lastGood);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(NumberTextOfValue(value, format, kPoint), "10.00");
    EXPECT_EQ(NumberTextOfValue(value, format, DecimalSeparator(QLocale(QLocale::German, QLocale::Germany))),
              "10,00");
    // Arabic (Egypt): its own separator, ASCII digits.
    const QChar arabic = DecimalSeparator(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_EQ(arabic, QChar(0x066B));
    format.Max = 0;
    EXPECT_EQ(NumberTextOfValue(2.5, format, arabic), QString("2") + QChar(0x066B) + "50");
    EXPECT_EQ(NumberValueOfText(QString("3") + QChar(0x066B) + "25", format, arabic, lastGood), 3.25);
    EXPECT_TRUE(NumberCharAccepted(arabic, At("3", 1), kDefault, arabic));
    format.Options = eoAllowSigns; // no floats: no decimals whatever the precision
    EXPECT_EQ(NumberTextOfValue(2.4, format, kPoint), "2");
    format.Options = kDefault;
    format.TextBefore = "$ ";
    format.TextAfter = " USD";
    EXPECT_EQ(NumberTextOfValue(4, format, kPoint), "$ 4.00 USD");
    EXPECT_EQ(NumberValueOfText("$ 4.00 USD", format, kPoint, lastGood), 4);
}

TEST(NumberTexts, NullTextEmptyTextAndTextThatDoesNotParse) {
    TNumberFormat format;
    format.Min = 2;
    format.Max = 9;
    double lastGood = 7;
    EXPECT_EQ(NumberValueOfText("", format, kPoint, lastGood), 2); // empty gives Min
    // An empty NullText never matches: the empty text is still Min.
    EXPECT_EQ(NumberValueOfText("", format, kPoint, lastGood), 2);
    EXPECT_EQ(NumberValueOfText(".", format, kPoint, lastGood), 7); // the last good value
    EXPECT_EQ(NumberValueOfText("5", format, kPoint, lastGood), 5);
    EXPECT_EQ(lastGood, 5);
    format.NullText = "none";
    EXPECT_EQ(NumberValueOfText("none", format, kPoint, lastGood), 0);
    EXPECT_EQ(NumberTextOfValue(0, format, kPoint), "none");
    format.NullText.clear();
    EXPECT_EQ(NumberTextOfValue(0, format, kPoint), "0.00");
}

TEST(NumberSpin, StopsAtTheRangeAndWithoutSignsAtZero) {
    TNumberFormat format;
    format.Options = eoAllowFloat;
    EXPECT_FALSE(SpinTarget(0, false, 1, format).has_value());
    EXPECT_EQ(SpinTarget(0.5, false, 1, format), 0.0); // the step ends at 0
    EXPECT_EQ(SpinTarget(0, true, 1, format), 1.0);
    format.Options = kDefault;
    EXPECT_EQ(SpinTarget(0, false, 1, format), -1.0);
    format.Min = -1;
    format.Max = 3;
    EXPECT_FALSE(SpinTarget(-1, false, 1, format).has_value());
    EXPECT_FALSE(SpinTarget(2.5, true, 1, format).has_value());
    EXPECT_EQ(SpinTarget(2, true, 1, format), 3.0);
}
