// The month sheet that the month calendar and the calendar drop-down both draw and hit-test:
// title band with month arrows, day letters, six weeks of 17 x 15 day cells, and the date
// steps that keep the day inside the target month.
#pragma once

#include "grid/GxTypes.h"

#include <QDate>
#include <QFont>
#include <QLocale>
#include <QRect>
#include <QStringList>
#include <functional>

class QPainter;
class QWidget;

inline constexpr int CalendarWidth = 151;
inline constexpr int CalendarHeight = 163;
inline constexpr int CalendarCellLeft = 15;
inline constexpr int CalendarCellTop = 38;
inline constexpr int CalendarCellWidth = 17;
inline constexpr int CalendarCellHeight = 15;
inline constexpr int CalendarButtonTop = 133;
inline constexpr int CalendarButtonWidth = 47;
inline constexpr int CalendarButtonHeight = 20;
inline constexpr int CalendarTodayLeft = 20;
inline constexpr int CalendarNoneLeft = 82;

// The dates a calendar reaches: 0100-01-01 to 9999-12-31.
QDate ClampCalendarDate(const QDate& date);
// Month and year steps keep the day inside the target month (31 Jan + 1 month = 29 Feb).
QDate AddCalendarMonths(const QDate& date, int months);
QDate AddCalendarYears(const QDate& date, int years);
QDate AddCalendarDays(const QDate& date, int days);
// Date-time values (days since 1899-12-30) and dates.
QDate DateOfDateTime(double value);
double DateTimeOfDate(const QDate& date);

// dwAutomatic takes the Monday rule when the locale's week starts on Monday.
bool CalendarMondayRule(TStartDayOfWeek startDay, const QLocale& locale);
// Today's left: 20 with None shown, else centred: (width - 47) div 2.
int CalendarTodayButtonLeft(int width, bool showNone);

class TGxCalendarSheet {
public:
    int Year = 1;
    int Month = 1;
    int Day = 1;
    TStartDayOfWeek StartDay = dwAutomatic;
    QStringList DayNames;
    QStringList MonthNames;
    QLocale Locale;
    int Width = CalendarWidth;
    int Height = CalendarHeight;

    bool MondayRule() const { return CalendarMondayRule(StartDay, Locale); }
    // Weekday number 1..7 of a date under the sheet's rule.
    int WeekdayNumber(const QDate& date) const;
    // The shown month's first day.
    QDate FirstOfMonth() const { return QDate(Year, Month, 1); }
    // The date in cell 0..41 (previous and next months' days around the shown month).
    QDate CellDate(int index) const;
    int CellOfDate(const QDate& date) const; // -1 when not on the sheet
    static QRect CellRect(int index);
    // The painted cell under a point, -1 between and beyond the cells.
    static int CellAt(const QPoint& point);
    // The press areas of the month arrows.
    QRect PrevArrowArea() const { return QRect(0, 0, 18, 18); }
    QRect NextArrowArea() const { return QRect(Width - 18, 0, 18, 18); }
    // The press area of the days: (14, 38)-(width - 14, height - 20).
    QRect DayArea() const { return QRect(14, 38, Width - 28, Height - 58); }

    QString DayLetter(int column) const;
    QString MonthName() const;
    QString Title() const { return MonthName() + u' ' + QString::number(Year); }
    // Shows a month; January back is December of the year before.
    void StepMonth(int delta);
    void ShowDate(const QDate& date);

    // Paints frame, title, arrows, letters, separators and days; selected gets the fill, today
    // the frame; dayFont may change the font of a day of the shown month.
    void Paint(QPainter& canvas, const QWidget* window, const QDate& selected,
               const std::function<void(int day, QFont& font)>& dayFont) const;
};
