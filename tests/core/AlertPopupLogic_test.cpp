// The alert popups' decisions without a display: resting places on a 1280 x 1024 screen alone and
// stacked, the slide-out's end, the clipboard lines, the web address of an address, and hosts found
// by id after the host table was sorted or shrunk.
#include "core/AlertPopupLogic.h"

#include "core/HostGrid.h"
#include "grid/GxGrid.h"

#include <gtest/gtest.h>

namespace {

const QRect Screen(0, 0, 1280, 1024);

// Runs slide-in ticks from Top until the popup rests; bounded.
int RestingTop(int Top, const QRect& WorkArea, int Offset) {
    for (int tick = 0; tick < 1000; ++tick) {
        const std::optional<int> next = AlertSlideInStep(Top, AlertPopupHeight, WorkArea, Offset);
        if (!next)
            return Top;
        Top = *next;
    }
    ADD_FAILURE() << "never came to rest";
    return Top;
}

TEST(AlertPopupPlaces, RestAloneAndStackedOnA1280x1024Screen) {
    const QPoint start = AlertStartPosition(Screen, AlertPopupWidth);
    EXPECT_EQ(start, QPoint(985, 1024));
    // Alone: the bottom 3 pixels below the work area's bottom (874 + 152 = 1026).
    EXPECT_EQ(RestingTop(start.y(), Screen, AlertStackOffset(false, false, AlertPopupHeight)), 874);
    // Above the other popup, which shows and is not itself stacked: offset 150.
    const int offset = AlertStackOffset(true, false, AlertPopupHeight);
    EXPECT_EQ(offset, 150);
    EXPECT_EQ(RestingTop(start.y(), Screen, offset), 724);
    // The other one is stacked above this one: no offset.
    EXPECT_EQ(AlertStackOffset(true, true, AlertPopupHeight), 0);
    // A work area that leaves a 30 pixel panel at the bottom.
    EXPECT_EQ(RestingTop(start.y(), QRect(0, 0, 1280, 994), 0), 844);
    // A screen placed right of another one: its own origin counts.
    EXPECT_EQ(AlertStartPosition(QRect(1280, 0, 1024, 768), AlertPopupWidth), QPoint(1280 + 1024 - 295, 768));
    EXPECT_EQ(RestingTop(768, QRect(1280, 0, 1024, 768), 0), 618);
}

TEST(AlertPopupPlaces, SlideOutEndsTenPixelsBelowTheScreen) {
    int top = 874;
    int ticks = 0;
    for (std::optional<int> next = AlertSlideOutStep(top, Screen); next && ticks < 1000;
         next = AlertSlideOutStep(top, Screen), ++ticks)
        top = *next;
    EXPECT_EQ(top, 1036);
    EXPECT_EQ(ticks, 27);
    EXPECT_FALSE(AlertSlideOutStep(1034, Screen));
    EXPECT_EQ(AlertSlideOutStep(1033, Screen), 1039);
}

TEST(AlertPopupTexts, ClipboardLinesOfBothPopups) {
    TDataGrid down;
    CreateAlertGridColumns(down, true);
    down.AddRow(2);
    down.Cell(AlertColumn::Host, 0).SetAsString("router");
    down.Cell(AlertColumn::Time_d, 0).SetAsString("10.03.2026 12:00:05");
    down.Cell(AlertColumn::State_, 0).SetAsString("Down");
    down.Cell(AlertColumn::Host, 1).SetAsString(QStringLiteral("сервер"));
    down.Cell(AlertColumn::Time_d, 1).SetAsString("10.03.2026 11:59:00");
    down.Cell(AlertColumn::State_, 1).SetAsString("OK");
    EXPECT_EQ(DownAlertClipboardText("Warning!", down), QStringLiteral("Warning!\n"
                                                                       "router, 10.03.2026 12:00:05 - Down\n"
                                                                       "сервер, 10.03.2026 11:59:00 - OK"));
    TDataGrid up;
    CreateAlertGridColumns(up, false);
    up.AddRow();
    up.Cell(AlertColumn::Host, 0).SetAsString(QStringLiteral("Drucker Büro"));
    up.Cell(AlertColumn::Description_, 0).SetAsString("2nd floor");
    up.Cell(AlertColumn::Time_d, 0).SetAsString("10.03.2026 12:01:00");
    EXPECT_EQ(UpAlertClipboardText("The next hosts is UP:", up),
              QStringLiteral("The next hosts is UP:\nDrucker Büro, 2nd floor - 10.03.2026 12:01:00"));
    TDataGrid empty;
    CreateAlertGridColumns(empty, true);
    EXPECT_EQ(DownAlertClipboardText("Warning!", empty), "Warning!");
}

TEST(AlertPopupTexts, ColumnsOfBothLists) {
    TDataGrid down;
    CreateAlertGridColumns(down, true);
    QStringList names, shown;
    for (int col = 0; col < down.Columns().ColumnCount(); ++col) {
        names << down.Columns().GetColumn(col)->Name();
        if (down.Columns().GetColumn(col)->Visible())
            shown << down.Columns().GetColumn(col)->Name();
    }
    EXPECT_EQ(names.join(','),
              "Num_k,Host,Description_,ID_,Time_d,State_,ICQ_,Email_,Email_e,ICQ_e,Sound_,Kod_");
    EXPECT_EQ(shown.join(','), "Num_k,Host,Description_,ID_,Time_d,State_");
    TDataGrid up;
    CreateAlertGridColumns(up, false);
    shown.clear();
    for (int col = 0; col < up.Columns().ColumnCount(); ++col)
        if (up.Columns().GetColumn(col)->Visible())
            shown << up.Columns().GetColumn(col)->Name();
    EXPECT_EQ(shown.join(','), "Num_k,Host,Description_,Time_d");
}

TEST(AlertPopupTexts, WebAddressAndCommandLineArguments) {
    EXPECT_EQ(ExploreUrl("fe80::1"), "http://[fe80::1]");
    EXPECT_EQ(ExploreUrl("2001:db8::10"), "http://[2001:db8::10]");
    EXPECT_EQ(ExploreUrl("192.0.2.7"), "http://192.0.2.7");
    EXPECT_EQ(ExploreUrl("www.example.org"), "http://www.example.org");
    // The file-name part: after the last backslash or colon.
    EXPECT_EQ(ExploreUrl("\\\\fileserver\\share"), "http://share");
    EXPECT_EQ(ExploreUrl("smb:printer"), "http://printer");
    EXPECT_EQ(ExploreUrl("-oProxyCommand=x"), "");
    EXPECT_EQ(ExploreUrl("a:-x"), "");
    EXPECT_EQ(ExploreUrl(""), "");
    EXPECT_EQ(SafeHostArgument(" host-1 "), "host-1");
    EXPECT_EQ(SafeHostArgument("-l root"), "");
    EXPECT_EQ(SafeHostArgument(""), "");
}

TEST(AlertPopupHosts, FoundByIdAfterASortAndADelete) {
    TDataGrid hosts;
    CreateHostGridColumns(hosts);
    hosts.AddRow(3);
    const char* const kods[] = {"11", "12", "13"};
    const char* const names[] = {"charlie", "alpha", "bravo"};
    const char* const groups[] = {"1", "2", "3"};
    for (int r = 0; r < 3; ++r) {
        hosts.Cell(u"Kod_", r).SetAsString(kods[r]);
        hosts.Cell(u"Host", r).SetAsString(names[r]);
        hosts.Cell(u"N_group", r).SetAsString(groups[r]);
    }
    // Listed while host 13 was row 2.
    TDataGrid popup;
    CreateAlertGridColumns(popup, true);
    popup.AddRow(2);
    popup.Cell(AlertColumn::ID_, 0).SetAsString("2");
    popup.Cell(AlertColumn::ID_, 1).SetAsString("7"); // no such row
    FillAlertKods(popup, hosts);
    EXPECT_EQ(popup.CellText(popup.ColumnIndex(AlertColumn::Kod_), 0), "13");
    EXPECT_EQ(popup.CellText(popup.ColumnIndex(AlertColumn::Kod_), 1), "");

    hosts.SortColumn(hosts.Columns().GetColumn(hosts.ColumnIndex(u"Host")), true);
    hosts.DeleteRow(FindHostRowByKod(hosts, "12"));
    ASSERT_EQ(FindHostRowByKod(hosts, "13"), 0);
    const std::optional<int> group = ShowOnlyHost(hosts, "13");
    ASSERT_TRUE(group);
    EXPECT_EQ(*group, 3);
    EXPECT_TRUE(hosts.GetRowVisible(0));
    EXPECT_FALSE(hosts.GetRowVisible(1));
    EXPECT_EQ(hosts.CellText(hosts.ColumnIndex(u"number_"), 0), "1");
    EXPECT_EQ(hosts.CellText(hosts.ColumnIndex(u"Host"), 0), "bravo");

    // A deleted host changes nothing.
    hosts.SetRowVisible(1, true);
    EXPECT_FALSE(ShowOnlyHost(hosts, "12"));
    EXPECT_TRUE(hosts.GetRowVisible(0));
    EXPECT_TRUE(hosts.GetRowVisible(1));
    EXPECT_EQ(FindHostRowByKod(hosts, ""), -1);
}

} // namespace
