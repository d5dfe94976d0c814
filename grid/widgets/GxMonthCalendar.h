// The two date controls: the month calendar that shows one month sheet with Today and None,
// and the date picker, a pop-up edit whose drop-down is that sheet.
#pragma once

#include "grid/widgets/GxButtonEdit.h"
#include "grid/widgets/GxCalendarSheet.h"

class TGxMonthCalendar : public QWidget {
    Q_OBJECT
public:
    explicit TGxMonthCalendar(QWidget* parent = nullptr);

    int Day() const { return FSheet.Day; }
    void SetDay(int value) { FSheet.Day = value; } // only stored
    int Month() const { return FSheet.Month; }
    void SetMonth(int value);
    int Year() const { return FSheet.Year; }
    void SetYear(int value);
    // Days since 1899-12-30; 0 is no date.
    double SelectedDate() const { return FSelectedDate; }
    // A different value is stored and fires OnChange; the shown month stays.
    void SetSelectedDate(double value);
    // Shows and selects a date without OnChange (the buttons and construction use it); 0
    // clears the selection and keeps the month.
    void SelectDate(double value);
    const QStringList& DayNames() const { return FSheet.DayNames; }
    void SetDayNames(const QStringList& value);
    const QStringList& MonthNames() const { return FSheet.MonthNames; }
    void SetMonthNames(const QStringList& value);
    QString TodayCaption() const { return FButtons.Today().Caption(); }
    void SetTodayCaption(const QString& value) { FButtons.Today().SetCaption(value); }
    QString NoneCaption() const { return FButtons.None().Caption(); }
    void SetNoneCaption(const QString& value) { FButtons.None().SetCaption(value); }
    bool ShowNoneButton() const { return FShowNoneButton; }
    void SetShowNoneButton(bool value);
    TStartDayOfWeek StartDay() const { return FSheet.StartDay; }
    void SetStartDay(TStartDayOfWeek value);
    bool MondayRule() const { return FSheet.MondayRule(); }
    const TGxCalendarSheet& Sheet() const { return FSheet; }
    TGxCalendarButtons& Buttons() { return FButtons; }

    std::function<void(TGxMonthCalendar* sender)> OnChange;
    std::function<void(TGxMonthCalendar* sender)> OnDayClick;
    std::function<void(TGxMonthCalendar* sender, int day, QFont& font)> OnDayFont;

    QSize sizeHint() const override { return QSize(CalendarWidth, CalendarHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SelectCell(const QPoint& point);
    TGxCalendarSheet FSheet;
    TGxCalendarButtons FButtons;
    double FSelectedDate = 0;
    bool FShowNoneButton = false;
    bool FPressed = false;
};

// A drop-down date edit: Date is its text, the drop-down the calendar sheet. While the sheet
// is open PageUp/PageDown step a month (a year with Shift), Left/Right a day (a month with
// Shift), Up/Down a week.
class TGxDatePicker : public TGxPopupEdit {
    Q_OBJECT
public:
    explicit TGxDatePicker(QWidget* parent = nullptr);

    // The text as a date-time: an empty text or "0" gives today, a text that does not parse 0.
    double Date() const;
    // The text becomes the date-time in the locale's short form.
    void SetDate(double value);
    const QStringList& DayNames() const { return FDayNames; }
    void SetDayNames(const QStringList& value) { FDayNames = value; }
    const QStringList& MonthNames() const { return FMonthNames; }
    void SetMonthNames(const QStringList& value) { FMonthNames = value; }
    const QString& EmptyText() const { return FEmptyText; }
    void SetEmptyText(const QString& value);
    const QString& NoneCaption() const { return FNoneCaption; }
    void SetNoneCaption(const QString& value) { FNoneCaption = value; }
    const QString& TodayCaption() const { return FTodayCaption; }
    void SetTodayCaption(const QString& value) { FTodayCaption = value; }
    bool ShowNoneButton() const { return FShowNoneButton; }
    void SetShowNoneButton(bool value) { FShowNoneButton = value; }
    TStartDayOfWeek StartDay() const { return FStartDay; }
    void SetStartDay(TStartDayOfWeek value) { FStartDay = value; }
    TGxDatePopup* DatePopup();

    void ApplySetup(const TEditorSetup& setup) override;

protected:
    TGxPopupControl* CreatePopup() override;
    void PreparePopup(TGxPopupControl& popup) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void EditChanged(TEditChange change) override;

private:
    void StepDate(const QDate& date);
    QStringList FDayNames;
    QStringList FMonthNames;
    QString FEmptyText;
    QString FNoneCaption = QStringLiteral("None");
    QString FTodayCaption = QStringLiteral("Today");
    bool FShowNoneButton = true;
    TStartDayOfWeek FStartDay = dwSunday;
    QLocale FTextLocale; // the locale the text was written in
};
