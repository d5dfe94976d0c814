// Number text, Unix-time and date display conversions, and the hex-text codec.
#include "core/TextConversions.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

TEST(TextConversions, TextToInt64ReadsTheLeadingNumberAndNeverFails) {
    EXPECT_EQ(TextToInt64(QStringLiteral("123abc")), 123);
    EXPECT_EQ(TextToInt64(QString()), 0);
    EXPECT_EQ(TextToInt64(QStringLiteral("")), 0);
    EXPECT_EQ(TextToInt64(QStringLiteral("abc")), 0);
    EXPECT_EQ(TextToInt64(QStringLiteral("-5")), -5);
    EXPECT_EQ(TextToInt64(QStringLiteral("+7")), 7);
    EXPECT_EQ(TextToInt64(QStringLiteral("-")), 0);
    EXPECT_EQ(TextToInt64(QStringLiteral("  42 ")), 42);
    EXPECT_EQ(TextToInt64(QStringLiteral("12.9")), 12);
    EXPECT_EQ(TextToInt64(QStringLiteral("1 2")), 1);
    EXPECT_EQ(TextToInt64(QStringLiteral("007")), 7);
    // Non-ASCII digits are not decimal digits here.
    EXPECT_EQ(TextToInt64(QStringLiteral("1\u0663")), 1);
}

TEST(TextConversions, TextToInt64SaturatesBeyondTheRange) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    EXPECT_EQ(TextToInt64(QStringLiteral("9223372036854775807")), max);
    EXPECT_EQ(TextToInt64(QStringLiteral("9223372036854775808")), max);
    EXPECT_EQ(TextToInt64(QStringLiteral("99999999999999999999999")), max);
    EXPECT_EQ(TextToInt64(QStringLiteral("-9223372036854775808")), min);
    EXPECT_EQ(TextToInt64(QStringLiteral("-9223372036854775809")), min);
    EXPECT_EQ(TextToInt64(QStringLiteral("-99999999999999999999999x")), min);
}

TEST(TextConversions, Int64ToTextRoundTripsTheWholeRange) {
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    EXPECT_EQ(Int64ToText(min), QStringLiteral("-9223372036854775808"));
    EXPECT_EQ(Int64ToText(std::numeric_limits<qint64>::max()), QStringLiteral("9223372036854775807"));
    EXPECT_EQ(Int64ToText(0), QStringLiteral("0"));
    EXPECT_EQ(Int64ToText(-5), QStringLiteral("-5"));
    EXPECT_EQ(Int64ToText(1234567), QStringLiteral("1234567")); // no grouping
    for (qint64 v : {min, qint64(-1), qint64(0), qint64(1699999999), std::numeric_limits<qint64>::max()}) {
        EXPECT_EQ(TextToInt64(Int64ToText(v)), v);
    }
}

TEST(TextConversions, UnixTimesAndDayCounts) {
    EXPECT_DOUBLE_EQ(DateTimeFromUnixTime32(0), 25569.0);
    const QDateTime epoch = DateTimeToQDateTime(DateTimeFromUnixTime32(0));
    EXPECT_EQ(epoch.date(), QDate(1970, 1, 1));
    EXPECT_EQ(epoch.time(), QTime(0, 0, 0));
    const QDateTime lastSecond = DateTimeToQDateTime(DateTimeFromUnixTime32(86399));
    EXPECT_EQ(lastSecond.date(), QDate(1970, 1, 1));
    EXPECT_EQ(lastSecond.time(), QTime(23, 59, 59));
    EXPECT_DOUBLE_EQ(DateTimeFromUnixTime32(-86400), 25568.0);

    EXPECT_EQ(UnixTimeFromDateTime(25569.0), 0);
    EXPECT_EQ(UnixTimeFromDateTime(DateTimeFromUnixTime(1700000000)), 1700000000);
    // Rounded to the nearest second, not cut off.
    EXPECT_EQ(UnixTimeFromDateTime(25569.0 + 10.6 / 86400), 11);
    EXPECT_EQ(UnixTimeFromDateTime(25569.0 + 10.4 / 86400), 10);
    EXPECT_EQ(UnixTimeFromDateTime(25569.0 - 10.6 / 86400), -11);
}

TEST(TextConversions, WholeSecondsBetweenCutsFractionsAndIgnoresOrder) {
    const double a = DateTimeFromUnixTime(1700000000);
    const double b = DateTimeFromUnixTime(1700000061);
    EXPECT_EQ(WholeSecondsBetween(a, b), 61);
    EXPECT_EQ(WholeSecondsBetween(b, a), 61);
    EXPECT_EQ(WholeSecondsBetween(a, a + 1.9 / 86400), 1);
    EXPECT_EQ(WholeSecondsBetween(a, a), 0);
}

TEST(TextConversions, QDateTimeConversionsKeepLocalWallClock) {
    const QDateTime value(QDate(2024, 7, 15), QTime(13, 45, 30, 250));
    const double days = QDateTimeToDateTime(value);
    EXPECT_DOUBLE_EQ(days, 45488.0 + (13 * 3600 + 45 * 60 + 30.25) / 86400);
    EXPECT_EQ(DateTimeToQDateTime(days), value);
    // "Now" as a day count is today's local wall clock.
    const double now = NowDateTime();
    EXPECT_EQ(DateTimeToQDateTime(now).date(), QDate::currentDate());
}

TEST(TextConversions, DisplayTextHasAFourDigitYearAndReadsBack) {
    const QLocale saved;
    for (const char* name : {"en_US", "de_DE", "ru_RU", "C"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        SCOPED_TRACE(name);
        const double value = QDateTimeToDateTime(QDateTime(QDate(2031, 3, 4), QTime(5, 6, 7)));
        const QString text = DateTimeToDisplayText(value);
        EXPECT_TRUE(text.contains(QStringLiteral("2031"))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral(" 05:06:07"))) << text.toStdString();
        const auto back = DisplayTextToDateTime(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_EQ(UnixTimeFromDateTime(*back), UnixTimeFromDateTime(value));
        EXPECT_FALSE(DisplayTextToDateTime(QStringLiteral("not a date")).has_value());
    }
    QLocale::setDefault(saved);
}

// The status tick reads thousands of these texts: the reader that skips the locale's parser must
// give the same date-time for every month name and day, and refuse an impossible date.
TEST(TextConversions, DisplayTextReadsBackEveryMonthAndRefusesImpossibleDates) {
    const QLocale saved;
    for (const char* name : {"en_US", "de_DE", "ru_RU", "C"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        SCOPED_TRACE(name);
        for (int month = 1; month <= 12; ++month)
            for (int day : {1, 9, 28}) {
                const double value =
                    QDateTimeToDateTime(QDateTime(QDate(2027, month, day), QTime(23, 9, 59)));
                const QString text = DateTimeToDisplayText(value);
                const auto back = DisplayTextToDateTime(text);
                ASSERT_TRUE(back.has_value()) << text.toStdString();
                EXPECT_EQ(UnixTimeFromDateTime(*back), UnixTimeFromDateTime(value)) << text.toStdString();
            }
        // Leap days, century years and dates before day zero give the very same value.
        for (const QDate date :
             {QDate(1899, 12, 30), QDate(1899, 12, 29), QDate(1900, 2, 28), QDate(1900, 3, 1),
              QDate(2000, 2, 29), QDate(2024, 2, 29), QDate(1601, 1, 1), QDate(9999, 12, 31)}) {
            const double value = QDateTimeToDateTime(QDateTime(date, QTime(12, 34, 56)));
            const QString text = DateTimeToDisplayText(value);
            EXPECT_EQ(DisplayTextToDateTime(text), value) << text.toStdString();
        }
        for (const QDate date : {QDate(2027, 2, 28), QDate(1900, 2, 28)}) {
            QString impossible = DateTimeToDisplayText(QDateTimeToDateTime(QDateTime(date, QTime(1, 2, 3))));
            impossible.replace(QStringLiteral("28"),
                               date.year() == 1900 ? QStringLiteral("29") : QStringLiteral("30"));
            EXPECT_FALSE(DisplayTextToDateTime(impossible).has_value()) << impossible.toStdString();
        }
    }
    QLocale::setDefault(saved);
}

TEST(TextConversions, HexTextCodec) {
    const QByteArray bytes("\x00\x1f\xab\xff", 4);
    EXPECT_EQ(BytesToHexText(bytes), QStringLiteral("001FABFF"));
    EXPECT_EQ(HexTextToBytes(QStringLiteral("001FABFF")), bytes);
    EXPECT_EQ(HexTextToBytes(QStringLiteral("001fabff")), bytes);
    // Stops at the first pair that is not two digits; an odd last digit is ignored.
    EXPECT_EQ(HexTextToBytes(QStringLiteral("41G142")), QByteArray("A"));
    EXPECT_EQ(HexTextToBytes(QStringLiteral("414")), QByteArray("A"));
    EXPECT_TRUE(HexTextToBytes(QString()).isEmpty());
}
