// The alert popups fed by the alarm dispatcher, offscreen: up and down events of one pass and of a
// later pass in one list, newest on top; an event during the slide-out slides the popup in again;
// clicks find their host by id after the host table was sorted and shrunk, and a deleted host
// changes nothing; the host label opens the newest event's host.
#include "core/AlertFlags.h"
#include "core/AlertPopupLogic.h"
#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"
#include "ui/main/AlertPopups.h"
#include "ui/main/HostActions.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PopupsFromTheDispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        CreateMissingTables(Database);
        DownAlertVisible = false;
        UpAlertVisible = false;
        Alert_window = &Down;
        Alert_window_up = &Up;
        Down.FormCreate();
        Up.SetDownPopup(&Down);
        Up.FormCreate();
        Down.SetOtherPopup(&Up);
        Up.SetOtherPopup(&Down);
        Services.Channels().SetPopups(&Popups);
        HostActions() = THostActions{};
        HostActions().ShowHost = [this](const QString& Kod, bool SelectGroup) {
            Shown << Kod;
            const std::optional<int> group = ShowOnlyHost(Hosts(), Kod);
            if (group && SelectGroup)
                SelectedGroup = *group;
            return group.has_value();
        };
        const char* const kods[] = {"11", "12", "13"};
        const char* const names[] = {"charlie", "alpha", "bravo"};
        const char* const groups[] = {"1", "2", "3"};
        Hosts().AddRow(3);
        for (int r = 0; r < 3; ++r) {
            Hosts().Cell(u"Kod_", r).SetAsString(kods[r]);
            Hosts().Cell(u"Host", r).SetAsString(names[r]);
            Hosts().Cell(u"N_group", r).SetAsString(groups[r]);
        }
    }
    void TearDown() override {
        Down.hide();
        Up.hide();
        QApplication::processEvents();
        Services.Channels().SetPopups(nullptr);
        HostActions() = THostActions{};
        Alert_window = nullptr;
        Alert_window_up = nullptr;
        DownAlertVisible = false;
        UpAlertVisible = false;
    }
    TDataGrid& Hosts() { return Services.DataGrid1(); }
    void Queue(const QString& Name, const QString& State, int Colour, int HostRow) {
        TDataGrid& queue = Services.DownHostGrid();
        const int r = queue.AddRow();
        queue.Cell("Host_name", r).SetAsString(Name);
        queue.Cell("State", r).SetAsString(State);
        queue.Cell("State", r).SetCellColor(Colour);
        queue.Cell("ID_", r).SetAsString(QString::number(HostRow));
        queue.Cell("Time_d", r).SetAsString(QStringLiteral("09.12.2026 07:30:0%1").arg(r));
    }
    // Runs the slide-in until the popup rests; bounded in ticks.
    static void WaitUntilResting(TSlidePopup& Popup) {
        for (int i = 0; i < 1000 && (!Popup.isVisible() || Popup.Timer2.isActive()); ++i)
            QTest::qWait(5);
    }
    QString Listed(int Row) { return Down.ShowGrid->CellText(Down.ShowGrid->ColumnIndex(u"Host"), Row); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Database{QString::fromStdString(Dir.file("p.db"))};
    TMonitorServices Services{Database, QString::fromStdString(Dir.path())};
    TAlert_window Down{Services};
    TAlert_window_up Up{Services};
    TAlertPopups Popups{Down, Up};
    QStringList Shown;
    int SelectedGroup = -1;
};

} // namespace

TEST_F(PopupsFromTheDispatcher, UpAndDownOfOnePassAndOfTheNextInOneListNewestOnTop) {
    Queue("alpha up", "OK", EventColourLime, 1);
    Queue("bravo down", "Down", EventColourRed, 2);
    Services.Dispatcher().DispatchAlarms();
    WaitUntilResting(Down);
    ASSERT_TRUE(Down.isVisible());
    ASSERT_EQ(Down.ShowGrid->RowCount(), 2);
    EXPECT_EQ(Listed(0), "bravo down");
    EXPECT_EQ(Listed(1), "alpha up");
    EXPECT_FALSE(Up.isVisible());
    EXPECT_EQ(Down.Label1->text(), "bravo down");
    EXPECT_EQ(Services.DownHostGrid().RowCount(), 0);

    Queue("charlie down", "Down", EventColourRed, 0);
    Services.Dispatcher().DispatchAlarms();
    ASSERT_EQ(Down.ShowGrid->RowCount(), 3);
    EXPECT_EQ(Listed(0), "charlie down");
    EXPECT_EQ(Listed(2), "alpha up");
    EXPECT_EQ(Down.Label1->text(), "charlie down");
    // Two events of these three give the heading and one line each.
    EXPECT_EQ(Down.ClipboardText().split('\n').size(), 4);
    EXPECT_EQ(Down.ClipboardText().split('\n').first(), "Warning!");
}

TEST_F(PopupsFromTheDispatcher, AnEventDuringTheSlideOutSlidesThePopupInAgain) {
    Queue("bravo down", "Down", EventColourRed, 2);
    Services.Dispatcher().DispatchAlarms();
    WaitUntilResting(Down);
    const int rest = Down.y();
    Down.Label3Click();
    ASSERT_TRUE(Down.Timer4.isActive());
    for (int tick = 0; tick < 5; ++tick)
        Down.Timer4Timer();
    EXPECT_GT(Down.y(), rest);
    Queue("charlie down", "Down", EventColourRed, 0);
    Services.Dispatcher().DispatchAlarms();
    EXPECT_FALSE(Down.Timer4.isActive());
    WaitUntilResting(Down);
    EXPECT_TRUE(Down.isVisible());
    EXPECT_EQ(Down.y(), rest);
    ASSERT_GE(Down.ShowGrid->RowCount(), 1);
    EXPECT_EQ(Listed(0), "charlie down");
    EXPECT_TRUE(DownAlertVisible);
}

TEST_F(PopupsFromTheDispatcher, ClicksFindTheirHostByIdAfterASortAndADelete) {
    Queue("bravo down", "Down", EventColourRed, 2); // host 13, row 2 when listed
    Queue("alpha down", "Down", EventColourRed, 1); // host 12
    Services.Dispatcher().DispatchAlarms();
    WaitUntilResting(Down);
    Hosts().SortColumn(Hosts().Columns().GetColumn(Hosts().ColumnIndex(u"Host")), true);
    Hosts().DeleteRow(FindHostRowByKod(Hosts(), "11")); // another host goes
    ASSERT_EQ(Listed(1), "bravo down");
    Down.ShowGridCellClick(1, 1);
    EXPECT_EQ(Shown, QStringList{"13"});
    EXPECT_EQ(SelectedGroup, 3);
    for (int r = 0; r < Hosts().RowCount(); ++r)
        EXPECT_EQ(Hosts().GetRowVisible(r), Hosts().CellText(Hosts().ColumnIndex(u"Kod_"), r) == "13") << r;

    // The event's host is deleted: the click changes nothing.
    for (int r = 0; r < Hosts().RowCount(); ++r)
        Hosts().SetRowVisible(r, true);
    Hosts().DeleteRow(FindHostRowByKod(Hosts(), "12"));
    SelectedGroup = -1;
    Down.ShowGridCellClick(1, 0);
    EXPECT_EQ(Shown.last(), "12");
    EXPECT_EQ(SelectedGroup, -1);
    EXPECT_TRUE(Hosts().GetRowVisible(0));
    EXPECT_EQ(Hosts().RowCount(), 1);
}

TEST_F(PopupsFromTheDispatcher, TheHostLabelOpensTheNewestEventsHost) {
    Queue("alpha down", "Down", EventColourRed, 1);
    Queue("charlie down", "Down", EventColourRed, 0);
    Services.Dispatcher().DispatchAlarms();
    WaitUntilResting(Down);
    EXPECT_EQ(Down.Label1->text(), "charlie down");
    Hosts().SortColumn(Hosts().Columns().GetColumn(Hosts().ColumnIndex(u"Host")), true);
    Down.Label1Click();
    EXPECT_EQ(Shown, QStringList{"11"});
    EXPECT_EQ(SelectedGroup, 1);
    EXPECT_TRUE(Down.Timer4.isActive());
}
