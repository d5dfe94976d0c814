// The month calendar and the date picker: the sheet's cells under both week rules, the
// buttons' places, selection without moving the month, hit tests on the painted cells only,
// month and year steps that keep the day in the month, the date picker's text, keys and
// drop-down, and both date controls edited in place in a grid.
#include "grid/GxConvert.h"
#include "grid/widgets/GxMonthCalendar.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);

double Day(int y, int m, int d) {
    return DateTimeOfDate(QDate(y, m, d));
}

void Press(QWidget& widget, const QPoint& at) {
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, at);
}

QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(CalendarSheet, March2024UnderTheSundayAndTheMondayRule) {
    TGxCalendarSheet sheet;
    sheet.Locale = English;
    sheet.ShowDate(QDate(2024, 3, 15));
    sheet.StartDay = dwSunday;
    EXPECT_EQ(sheet.CellDate(0), QDate(2024, 2, 25));
    EXPECT_EQ(sheet.CellDate(5), QDate(2024, 3, 1));
    EXPECT_EQ(sheet.CellDate(41), QDate(2024, 4, 6));
    EXPECT_EQ(sheet.DayLetter(0), "S");
    EXPECT_EQ(sheet.DayLetter(1), "M");
    sheet.StartDay = dwMonday;
    EXPECT_EQ(sheet.CellDate(0), QDate(2024, 2, 26));
    EXPECT_EQ(sheet.CellDate(4), QDate(2024, 3, 1));
    EXPECT_EQ(sheet.DayLetter(0), "M");
    EXPECT_EQ(sheet.DayLetter(6), "S");
    // A month starting on the first weekday begins with its own day 1.
    sheet.ShowDate(QDate(2024, 4, 10));
    EXPECT_EQ(sheet.CellDate(0), QDate(2024, 4, 1));
    EXPECT_EQ(sheet.Title(), "April 2024");
    sheet.DayNames = QStringList{"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
    sheet.MonthNames =
        QStringList{"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    EXPECT_EQ(sheet.DayLetter(1), "D");
    EXPECT_EQ(sheet.Title(), "Apr 2024");
    sheet.DayNames.removeLast(); // six names are too few: the locale's again
    EXPECT_EQ(sheet.DayLetter(1), "T");
}

TEST(CalendarSheet, HitTestsUseThePaintedCells) {
    // Cells (15 + 17c, 38 + 15r), 17 x 15.
    EXPECT_EQ(TGxCalendarSheet::CellRect(0), QRect(15, 38, 17, 15));
    EXPECT_EQ(TGxCalendarSheet::CellRect(41), QRect(117, 113, 17, 15));
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(15, 38)), 0);
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(133, 40)), 6); // the last column's last pixel
    for (int x : {134, 135, 136})
        EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(x, 40)), -1) << x; // never the next week
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(14, 40)), -1);
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(20, 127)), 35);
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(20, 128)), -1); // below the sixth week
    EXPECT_EQ(TGxCalendarSheet::CellAt(QPoint(20, 140)), -1);
}

TEST(CalendarSheet, StepsKeepTheDayInTheMonthAndTheDatesInRange) {
    EXPECT_EQ(AddCalendarMonths(QDate(2024, 1, 31), 1), QDate(2024, 2, 29));
    EXPECT_EQ(AddCalendarYears(QDate(2024, 2, 29), -1), QDate(2023, 2, 28));
    EXPECT_EQ(AddCalendarYears(QDate(2024, 2, 29), 1), QDate(2025, 2, 28));
    EXPECT_EQ(AddCalendarDays(QDate(9999, 12, 31), 1), QDate(9999, 12, 31));
    EXPECT_EQ(AddCalendarMonths(QDate(100, 1, 15), -1), QDate(100, 1, 1));
    EXPECT_EQ(AddCalendarYears(QDate(9999, 6, 1), 1), QDate(9999, 12, 31));
    EXPECT_EQ(DateTimeOfDate(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(DateTimeOfDate(QDate(2024, 3, 1)), 45352);
    EXPECT_EQ(DateOfDateTime(45352.75), QDate(2024, 3, 1));
    TGxCalendarSheet sheet;
    sheet.ShowDate(QDate(2024, 1, 31));
    sheet.StepMonth(-1);
    EXPECT_EQ(QDate(sheet.Year, sheet.Month, sheet.Day), QDate(2023, 12, 31));
    sheet.StepMonth(2);
    EXPECT_EQ(QDate(sheet.Year, sheet.Month, sheet.Day), QDate(2024, 2, 29));
}

TEST(CalendarSheet, AutomaticStartDayFollowsTheLocalesFirstDay) {
    EXPECT_FALSE(CalendarMondayRule(dwAutomatic, QLocale(QLocale::Arabic, QLocale::Egypt))); // Saturday
    EXPECT_TRUE(CalendarMondayRule(dwAutomatic, QLocale(QLocale::German, QLocale::Germany)));
    EXPECT_FALSE(CalendarMondayRule(dwAutomatic, English));
    EXPECT_TRUE(CalendarMondayRule(dwMonday, English));
    EXPECT_FALSE(CalendarMondayRule(dwSunday, QLocale(QLocale::German, QLocale::Germany)));
    TGxMonthCalendar calendar;
    calendar.setLocale(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_FALSE(calendar.MondayRule());
    calendar.setLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(calendar.MondayRule());
}

TEST(MonthCalendar, SizeButtonsAndTodayCentredWithoutNone) {
    TGxMonthCalendar calendar;
    EXPECT_EQ(calendar.size(), QSize(151, 163));
    EXPECT_EQ(calendar.SelectedDate(), TodayDate());
    EXPECT_EQ(calendar.Month(), QDate::currentDate().month());
    EXPECT_FALSE(calendar.ShowNoneButton());
    EXPECT_EQ(calendar.Buttons().Today().geometry(), QRect(52, 133, 47, 20)); // (151 - 47) div 2
    EXPECT_TRUE(calendar.Buttons().None().isHidden());
    EXPECT_EQ(calendar.TodayCaption(), "Today");
    EXPECT_EQ(calendar.NoneCaption(), "None");
    calendar.SetShowNoneButton(true);
    EXPECT_EQ(calendar.Buttons().Today().geometry(), QRect(20, 133, 47, 20));
    EXPECT_EQ(calendar.Buttons().None().geometry(), QRect(82, 133, 47, 20));
    EXPECT_FALSE(calendar.Buttons().None().isHidden());
}

TEST(MonthCalendar, SelectionFiresOnChangeAndKeepsTheShownMonth) {
    TGxMonthCalendar calendar;
    calendar.setLocale(English);
    calendar.SetStartDay(dwSunday);
    int changes = 0, clicks = 0;
    calendar.OnChange = [&](TGxMonthCalendar*) {
        ++changes;
    };
    calendar.OnDayClick = [&](TGxMonthCalendar*) {
        ++clicks;
    };
    calendar.SelectDate(Day(2024, 3, 15)); // no OnChange
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(calendar.Year(), 2024);
    EXPECT_EQ(calendar.Month(), 3);
    EXPECT_EQ(calendar.Day(), 15);
    calendar.SetSelectedDate(Day(2024, 7, 4));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(calendar.Month(), 3); // the shown month stays
    calendar.SetSelectedDate(Day(2024, 7, 4));
    EXPECT_EQ(changes, 1); // the same value fires nothing

    calendar.show();
    // Cell 36 of March 2024 under the Sunday rule is the grey 1 April.
    Press(calendar, TGxCalendarSheet::CellRect(36).center());
    EXPECT_EQ(calendar.SelectedDate(), Day(2024, 4, 1));
    EXPECT_EQ(calendar.Month(), 3);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(clicks, 1);
    // The strip right of the cells, the gap at x 14 and below the sixth week select nothing.
    for (const QPoint& at : {QPoint(135, 60), QPoint(14, 60), QPoint(40, 135)})
        Press(calendar, at);
    EXPECT_EQ(calendar.SelectedDate(), Day(2024, 4, 1));
    EXPECT_EQ(changes, 2);
    // Dragging with the button held follows the pointer.
    QTest::mousePress(&calendar, Qt::LeftButton, Qt::NoModifier, TGxCalendarSheet::CellRect(10).center());
    QMouseEvent move(QEvent::MouseMove, QPointF(TGxCalendarSheet::CellRect(11).center()),
                     QPointF(calendar.mapToGlobal(TGxCalendarSheet::CellRect(11).center())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&calendar, &move);
    QTest::mouseRelease(&calendar, Qt::LeftButton, Qt::NoModifier, TGxCalendarSheet::CellRect(11).center());
    EXPECT_EQ(calendar.SelectedDate(), Day(2024, 3, 7));
}

TEST(MonthCalendar, ArrowsWrapTheYearAndTheButtonsSelect) {
    TGxMonthCalendar calendar;
    calendar.SetShowNoneButton(true);
    calendar.show();
    calendar.SelectDate(Day(2024, 1, 31));
    Press(calendar, QPoint(5, 5));
    EXPECT_EQ(calendar.Year(), 2023);
    EXPECT_EQ(calendar.Month(), 12);
    Press(calendar, QPoint(146, 5));
    Press(calendar, QPoint(146, 5));
    EXPECT_EQ(calendar.Year(), 2024);
    EXPECT_EQ(calendar.Month(), 2);
    EXPECT_EQ(calendar.SelectedDate(), Day(2024, 1, 31)); // arrows only show
    int changes = 0;
    calendar.OnChange = [&](TGxMonthCalendar*) {
        ++changes;
    };
    Press(calendar, QPoint(100, 140)); // None
    EXPECT_EQ(calendar.SelectedDate(), 0);
    EXPECT_EQ(calendar.Month(), 2);
    Press(calendar, QPoint(40, 140)); // Today
    EXPECT_EQ(calendar.SelectedDate(), TodayDate());
    EXPECT_EQ(calendar.Month(), QDate::currentDate().month());
    EXPECT_EQ(changes, 0);
}

TEST(MonthCalendar, PaintsTheSelectionTodayAndTheGreyDays) {
    TGxMonthCalendar calendar;
    calendar.setLocale(English);
    calendar.SetStartDay(dwSunday);
    int fontCalls = 0;
    calendar.OnDayFont = [&](TGxMonthCalendar*, int day, QFont& font) {
        ++fontCalls;
        font.setBold(day == 15);
    };
    calendar.SelectDate(Day(2024, 3, 15));
    QImage themed = Shot(calendar);
    SaveShot(themed, "month_calendar");
    EXPECT_EQ(fontCalls, 31); // the shown month's days only
    const QRect selected = TGxCalendarSheet::CellRect(19);
    EXPECT_EQ(At(themed, selected.left(), selected.top()), Rgb(251, 230, 148));
    EXPECT_EQ(At(themed, 0, 0), Expect(ColorToQColor(clGrayText, calendar.palette())));
    {
        ClassicDrawing classic;
        const QImage plain = Shot(calendar);
        SaveShot(plain, "month_calendar_classic");
        EXPECT_EQ(At(plain, selected.left(), selected.top()), Rgb(192, 192, 192));
        EXPECT_EQ(At(plain, 20, 6), Expect(calendar.palette().color(QPalette::Button)));
    }
    calendar.SelectDate(TodayDate());
    const QRect today = TGxCalendarSheet::CellRect(calendar.Sheet().CellOfDate(QDate::currentDate()));
    const QImage now = Shot(calendar);
    EXPECT_EQ(At(now, today.left(), today.top() + 5), Rgb(128, 0, 0));
}

TEST(DatePicker, DateTextEmptyTextAndTheRewriteOnLeaving) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* picker = new TGxDatePicker;
    picker->SetLocale(English);
    auto* other = new QLineEdit;
    layout->addWidget(picker);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(picker->Date(), TodayDate());
    EXPECT_EQ(picker->ShowNoneButton(), true);
    EXPECT_EQ(picker->StartDay(), dwSunday);
    picker->setText("");
    EXPECT_EQ(picker->Date(), TodayDate());
    picker->setText("0");
    EXPECT_EQ(picker->Date(), TodayDate());
    picker->setText("xyz");
    EXPECT_EQ(picker->Date(), 0);
    picker->SetDate(Day(2024, 3, 1));
    EXPECT_EQ(picker->text(), "3/1/2024");
    picker->SetDate(Day(2024, 3, 1) + 0.5);
    EXPECT_EQ(picker->text(), "3/1/2024 12:00:00");
    // Leaving rewrites a text that does not parse as today, and an empty one stays empty.
    picker->setFocus();
    picker->setText("xyz");
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(picker->text(), DateTimeToText(TodayDate(), English, true));
    picker->setText("");
    picker->SetEmptyText("no date");
    const QImage empty = Shot(*picker);
    SaveShot(empty, "date_picker_empty");
    bool gray = false;
    for (int x = 0; x < empty.width() && !gray; ++x)
        for (int y = 0; y < empty.height() && !gray; ++y)
            gray = At(empty, x, y) == Expect(ColorToQColor(clGrayText, picker->palette()));
    EXPECT_TRUE(gray);
}

TEST(DatePicker, KeysWithTheDropDownOpenMoveTheDateAndThePopupFollows) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* picker = new TGxDatePicker;
    picker->SetLocale(English);
    layout->addWidget(picker);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    picker->setFocus();
    picker->SetDate(Day(2024, 2, 29));
    picker->SetShowNoneButton(false);
    QTest::keyClick(picker, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(picker->DroppedDown());
    TGxDatePopup* popup = picker->DatePopup();
    EXPECT_EQ(popup->size(), QSize(151, 163));
    EXPECT_EQ(popup->SelectedDate(), Day(2024, 2, 29));
    EXPECT_EQ(popup->Month(), 2);
    EXPECT_EQ(popup->Buttons().Today().geometry().left(), 52);
    EXPECT_TRUE(popup->Buttons().None().isHidden());
    QApplication::processEvents();
    SaveShot(popup->grab().toImage(), "date_popup");

    QTest::keyClick(picker, Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 28));
    QTest::keyClick(picker, Qt::Key_Left);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 27));
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 20));
    QTest::keyClick(picker, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(picker->Date(), Day(2025, 3, 20));
    QTest::keyClick(picker, Qt::Key_PageUp);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 20));
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 27));
    EXPECT_EQ(popup->SelectedDate(), Day(2025, 2, 27));
    EXPECT_EQ(popup->Year(), 2025);
    EXPECT_EQ(popup->Month(), 2);
    EXPECT_EQ(popup->Day(), 27);
    // Esc closes without a change; Enter closes too.
    QTest::keyClick(picker, Qt::Key_Escape);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(picker->Date(), Day(2025, 2, 27));
    // Closed, the arrows are the edit's again.
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->Date(), Day(2025, 2, 27));
}

TEST(DatePicker, AReleaseOnADayOrAButtonSetsTheText) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* picker = new TGxDatePicker;
    picker->SetLocale(English);
    layout->addWidget(picker);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    picker->setFocus();
    picker->SetDate(Day(2024, 3, 15));
    int selects = 0, closes = 0;
    picker->OnSelect = [&](TGxPopupEdit*) {
        ++selects;
    };
    picker->OnCloseUp = [&](TGxPopupEdit*) {
        ++closes;
    };
    picker->DropDown();
    TGxDatePopup* popup = picker->DatePopup();
    QWidget* sheet = popup->viewport();
    QTest::mouseClick(sheet, Qt::LeftButton, Qt::NoModifier, TGxCalendarSheet::CellRect(36).center());
    EXPECT_EQ(picker->text(), "4/1/2024");
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(picker->DroppedDown());
    picker->DropDown();
    QTest::mouseClick(sheet, Qt::LeftButton, Qt::NoModifier, QPoint(135, 60)); // no cell: stays open
    EXPECT_TRUE(picker->DroppedDown());
    QTest::mouseClick(sheet, Qt::LeftButton, Qt::NoModifier, QPoint(100, 140)); // None
    EXPECT_EQ(picker->text(), "");
    picker->DropDown();
    QTest::mouseClick(sheet, Qt::LeftButton, Qt::NoModifier, QPoint(40, 140)); // Today
    EXPECT_EQ(picker->Date(), TodayDate());
    EXPECT_EQ(selects, 3);
}

TEST(DatePicker, DateAndListColumnsEditInPlace) {
    auto grid = std::make_unique<TDataGrid>();
    grid->SetLocale(English);
    auto& date = grid->AddColumn<TGxDateColumn>(QStringLiteral("When"));
    auto& list = grid->AddColumn<TGxListColumn>(QStringLiteral("Kind"));
    list.SetItems(QStringList{"Server", "Router", "Switch"});
    for (TGxCustomColumn* column :
         {static_cast<TGxCustomColumn*>(&date), static_cast<TGxCustomColumn*>(&list)})
        column->SetOptions(column->Options() | coEditing);
    QStringList heard;
    list.OnCloseUp = [&](TGxCustomColumn* sender) {
        heard << "close " + sender->Name();
    };
    list.OnSelect = [&](TGxCustomColumn* sender) {
        heard << "select " + sender->Name();
    };
    grid->AddRow(3);
    grid->Cell(0, 1).SetAsDateTime(Day(2024, 3, 15));
    grid->Cell(1, 1).SetAsInteger(1);
    auto view = MakeView(*grid);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));

    ASSERT_TRUE(grid->EditCell(1, 1));
    auto* combo = dynamic_cast<TGxComboBox*>(view->EditorWidget());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->text(), "Router");
    EXPECT_EQ(combo->Style(), dsDropDownList);
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo->DroppedDown());
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Return); // chooses the row and keeps editing
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_TRUE(grid->Editing());
    EXPECT_EQ(combo->text(), "Switch");
    EXPECT_EQ(heard, (QStringList{"select Kind", "close Kind"}));
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->Cell(1, 1).GetAsInteger(), 2);
    // A key that begins an item starts the edit on that item.
    ASSERT_TRUE(grid->EditCellByKey(1, 2, u'r'));
    combo = dynamic_cast<TGxComboBox*>(view->EditorWidget());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->text(), "Router");
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(grid->Cell(1, 2).GetAsInteger(), 1);

    ASSERT_TRUE(grid->EditCell(0, 1));
    auto* picker = dynamic_cast<TGxDatePicker*>(view->EditorWidget());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->Date(), Day(2024, 3, 15));
    QTest::keyClick(picker, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(picker->DroppedDown());
    QTest::keyClick(picker, Qt::Key_PageDown); // the drop-down's key, not the grid's page
    QTest::keyClick(picker, Qt::Key_Escape);   // closes the drop-down only
    EXPECT_TRUE(grid->Editing());
    QTest::keyClick(picker, Qt::Key_Return);
    EXPECT_FALSE(grid->Editing());
    EXPECT_EQ(grid->Cell(0, 1).GetAsDateTime(), Day(2024, 4, 15));
}

TEST(MonthCalendar, SettersStoreWhatTheyMayAndRepaint) {
    TGxMonthCalendar calendar;
    calendar.SelectDate(Day(2024, 3, 15));
    calendar.SetMonth(13);
    EXPECT_EQ(calendar.Month(), 3);
    calendar.SetMonth(5);
    calendar.SetYear(99);
    EXPECT_EQ(calendar.Year(), 2024);
    calendar.SetYear(2030);
    calendar.SetDay(31); // only stored
    EXPECT_EQ(calendar.Day(), 31);
    EXPECT_EQ(calendar.Sheet().CellDate(0).month(), 4); // May 2030 starts on a Wednesday
    EXPECT_EQ(calendar.SelectedDate(), Day(2024, 3, 15));
    calendar.SetDayNames(QStringList{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"});
    calendar.SetMonthNames(
        QStringList{"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"});
    calendar.SetStartDay(dwSunday);
    EXPECT_EQ(calendar.Sheet().Title(), "V 2030");
    EXPECT_EQ(calendar.Sheet().DayLetter(1), "M");
    calendar.SetTodayCaption("Heute");
    EXPECT_EQ(calendar.Buttons().Today().Caption(), "Heute");
    calendar.SelectDate(0);
    EXPECT_EQ(calendar.SelectedDate(), 0);
    EXPECT_EQ(calendar.Month(), 5); // no date keeps the month
}
