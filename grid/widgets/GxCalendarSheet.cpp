// The month sheet shared by the month calendar and the calendar drop-down.
#include "grid/widgets/GxCalendarSheet.h"
#include "grid/GxConvert.h"
#include "grid/widgets/GxSharedDraw.h"

#include <QDateTime>
#include <QPainter>
#include <QWidget>

namespace {

const QDate FirstDate(100, 1, 1);
const QDate LastDate(9999, 12, 31);
const QDate DayZero(1899, 12, 30);

// A filled triangle 8 pixels high whose tip points left or right.
void DrawMonthArrow(QPainter& canvas, int tipX, int centerY, bool left, const QColor& color) {
    for (int i = 0; i < 5; ++i) {
        const int x = left ? tipX + i : tipX - i;
        const int half = std::min(i, 4);
        canvas.fillRect(QRect(x, centerY - half, 1, 2 * half), color);
    }
}

} // namespace

QDate ClampCalendarDate(const QDate& date) {
    if (!date.isValid())
        return date;
    return date < FirstDate ? FirstDate : date > LastDate ? LastDate : date;
}

QDate AddCalendarMonths(const QDate& date, int months) {
    const QDate moved = date.addMonths(months);
    return moved.isValid() ? ClampCalendarDate(moved) : date;
}

QDate AddCalendarYears(const QDate& date, int years) {
    const QDate moved = date.addYears(years);
    return moved.isValid() ? ClampCalendarDate(moved) : date;
}

QDate AddCalendarDays(const QDate& date, int days) {
    return ClampCalendarDate(date.addDays(days));
}

QDate DateOfDateTime(double value) {
    return DayZero.addDays(qint64(std::floor(value)));
}

double DateTimeOfDate(const QDate& date) {
    return double(DayZero.daysTo(date));
}

bool CalendarMondayRule(TStartDayOfWeek startDay, const QLocale& locale) {
    switch (startDay) {
    case dwMonday:
        return true;
    case dwSunday:
        return false;
    case dwAutomatic:
        break;
    }
    return locale.firstDayOfWeek() == Qt::Monday;
}

int CalendarTodayButtonLeft(int width, bool showNone) {
    return showNone ? CalendarTodayLeft : (width - CalendarButtonWidth) / 2;
}

int TGxCalendarSheet::WeekdayNumber(const QDate& date) const {
    const int iso = date.dayOfWeek(); // Monday 1 .. Sunday 7
    return MondayRule() ? iso : iso % 7 + 1;
}

QDate TGxCalendarSheet::CellDate(int index) const {
    const QDate first = FirstOfMonth();
    return first.addDays(index - (WeekdayNumber(first) - 1));
}

int TGxCalendarSheet::CellOfDate(const QDate& date) const {
    if (!date.isValid())
        return -1;
    const qint64 index = CellDate(0).daysTo(date);
    return index >= 0 && index < 42 ? int(index) : -1;
}

QRect TGxCalendarSheet::CellRect(int index) {
    const int column = index % 7;
    const int row = index / 7;
    return QRect(CalendarCellLeft + CalendarCellWidth * column, CalendarCellTop + CalendarCellHeight * row,
                 CalendarCellWidth, CalendarCellHeight);
}

int TGxCalendarSheet::CellAt(const QPoint& point) {
    const int x = point.x() - CalendarCellLeft;
    const int y = point.y() - CalendarCellTop;
    if (x < 0 || y < 0)
        return -1;
    const int column = x / CalendarCellWidth;
    const int row = y / CalendarCellHeight;
    if (column > 6 || row > 5)
        return -1;
    return column + 7 * row;
}

QString TGxCalendarSheet::DayLetter(int column) const {
    // Weekday of the column, Sunday 0 .. Saturday 6.
    const int sundayBased = MondayRule() ? (column + 1) % 7 : column;
    if (DayNames.size() >= 7) {
        const QString& name = DayNames[MondayRule() ? column : sundayBased];
        return name.left(1);
    }
    const int qtDay = sundayBased == 0 ? 7 : sundayBased;
    return Locale.dayName(qtDay, QLocale::ShortFormat).left(1);
}

QString TGxCalendarSheet::MonthName() const {
    if (MonthNames.size() >= 12)
        return MonthNames[Month - 1];
    return Locale.standaloneMonthName(Month, QLocale::LongFormat);
}

void TGxCalendarSheet::StepMonth(int delta) {
    ShowDate(
        AddCalendarMonths(QDate(Year, Month, std::min(Day, QDate(Year, Month, 1).daysInMonth())), delta));
}

void TGxCalendarSheet::ShowDate(const QDate& date) {
    if (!date.isValid())
        return;
    Year = date.year();
    Month = date.month();
    Day = date.day();
}

void TGxCalendarSheet::Paint(QPainter& canvas, const QWidget* window, const QDate& selected,
                             const std::function<void(int day, QFont& font)>& dayFont) const {
    const QPalette palette = window ? window->palette() : QPalette();
    const bool themed = ThemesActive();
    const QColor gray = ColorToQColor(clGrayText, palette);
    const QColor text = ColorToQColor(clWindowText, palette);
    canvas.fillRect(QRect(0, 0, Width, Height), ColorToQColor(clWindow, palette));
    Draw3DFrame(canvas, QRect(0, 0, Width, Height), gray, gray);

    // Title band with the month arrows.
    const QRect band = GxRect(5, 5, Width - 5, 21);
    const TColor bandColor =
        themed ? Blend(ColorToRGB(clGradientInactiveCaption, palette), ColorToRGB(clWindow, palette), 249)
               : ColorToRGB(clBtnFace, palette);
    canvas.fillRect(band, ColorToQColor(bandColor, palette));
    const QFont base = window ? window->font() : QFont();
    canvas.setFont(base);
    canvas.setPen(text);
    canvas.drawText(band, Qt::AlignCenter, Title());
    DrawMonthArrow(canvas, 11, 13, true, text);
    DrawMonthArrow(canvas, Width - 11, 13, false, text);

    // Day letters and the two separators.
    for (int c = 0; c < 7; ++c)
        canvas.drawText(QRect(CalendarCellLeft + CalendarCellWidth * c, 22, 15, 14), Qt::AlignCenter,
                        DayLetter(c));
    GxLine(canvas, 15, 36, Width - 17, 36, gray);
    GxLine(canvas, 15, 128, Width - 17, 128, gray);

    const QDate today = QDate::currentDate();
    const QDate first = CellDate(0);
    for (int i = 0; i < 42; ++i) {
        const QDate date = first.addDays(i);
        const QRect cell = CellRect(i);
        if (date == selected)
            canvas.fillRect(cell, themed ? QColor(251, 230, 148) : ColorToQColor(clSilver, palette));
        if (date == today) {
            const QColor frame =
                themed ? ColorToQColor(clMaroon, palette) : ColorToQColor(clHighlight, palette);
            Draw3DFrame(canvas, cell, frame, frame);
        }
        QFont font = base;
        const bool own = date.month() == Month && date.year() == Year;
        if (own && dayFont)
            dayFont(date.day(), font);
        canvas.setFont(font);
        canvas.setPen(own ? text : gray);
        canvas.drawText(cell, Qt::AlignCenter, QString::number(date.day()));
    }
    canvas.setFont(base);
}
