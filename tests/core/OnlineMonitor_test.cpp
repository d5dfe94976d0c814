// The online page's refresh on grid models: which hosts are listed with which cells and colours,
// the last-down order by date, the group icons of a tree with sub-groups, and the chosen row
// found again by host id.
#include "core/OnlineMonitor.h"

#include "core/HostGrid.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>

namespace {

const TOnlineStatusWords Words{"OK", "Down", "Disabled", "Packet loss"};

class OnlineRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        CreateHostGridColumns(Hosts);
        CreateDownGridColumns(Down);
        // Groups: 1 "Office" with sub-group 2 "Lab"; 3 "Store".
        Tree.push_back(Node(-1, "Office", "1", ""));
        Tree.push_back(Node(0, "Lab", "2", "1"));
        Tree.push_back(Node(-1, "Store", "3", ""));
    }
    static TGroupTreeNode Node(int Parent, const char* Name, const char* Group, const char* ParentGroup) {
        auto record = std::make_shared<TGroupNodeRecord>();
        record->Name = Name;
        record->Group = Group;
        record->ParentGroup = ParentGroup;
        return {Parent, Name, record};
    }
    int AddHost(const char* Kod, const char* Name, const char* Status, const char* Group,
                const QString& LastDown) {
        const int row = Hosts.AddRow();
        Hosts.Cell(u"Kod_", row).SetAsString(Kod);
        Hosts.Cell(u"Host", row).SetAsString(Name);
        Hosts.Cell(u"IP", row).SetAsString(QStringLiteral("192.0.2.%1").arg(row + 1));
        Hosts.Cell(u"Status", row).SetAsString(Status);
        Hosts.Cell(u"N_group", row).SetAsString(Group);
        Hosts.Cell(u"Date_Pod", row).SetAsString(LastDown);
        Hosts.Cell(u"Kol_vo_p", row).SetAsString("4");
        Hosts.Cell(u"Log", row).SetAsString("log text");
        Hosts.Cell(u"Comunity", row).SetAsString("public");
        Hosts.Cell(u"Note_", row).SetAsString(QStringLiteral("note %1").arg(Name));
        Hosts.Cell(u"TimeDown", row).SetAsString("00:05:00");
        Hosts.Cell(u"Alarm", row).SetAsString("not copied");
        return row;
    }
    static QString Day(int Year, int Month, int DayOfMonth) {
        return DateTimeToDisplayText(
            QDateTimeToDateTime(QDateTime(QDate(Year, Month, DayOfMonth), QTime(8, 0))));
    }
    QString Text(int Col, int Row) { return Down.CellText(Col, Row); }

    TDataGrid Hosts;
    TDataGrid Down;
    TGroupTree Tree;
};

TEST_F(OnlineRefresh, NothingNotOkGivesAnEmptyGridAndEveryIconZero) {
    AddHost("1", "a", "OK", "1", Day(2026, 1, 1));
    AddHost("2", "b", "OK", "2", Day(2026, 1, 1));
    Down.AddRow(3); // rows of an earlier refresh go
    EXPECT_EQ(RefreshOnlineGrid(Hosts, Down, Tree, Words), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Down.RowCount(), 0);
}

TEST_F(OnlineRefresh, ListedHostsCarryTheirCellsAndStatusColours) {
    AddHost("1", "up", "OK", "3", Day(2026, 1, 1));
    AddHost("2", "gone", "Down", "3", Day(2026, 1, 3));
    AddHost("3", "off", "Disabled", "3", Day(2026, 1, 2));
    AddHost("4", "lossy", "Packet loss", "3", Day(2026, 1, 1));
    AddHost("5", "odd", "Unknown", "3", QString());
    RefreshOnlineGrid(Hosts, Down, Tree, Words);
    ASSERT_EQ(Down.RowCount(), 4);
    // Newest last-down first; a row without a date last.
    EXPECT_EQ(Text(OnlineColumn::Host, 0), "gone");
    EXPECT_EQ(Text(OnlineColumn::Host, 1), "off");
    EXPECT_EQ(Text(OnlineColumn::Host, 2), "lossy");
    EXPECT_EQ(Text(OnlineColumn::Host, 3), "odd");
    EXPECT_EQ(Down.Cell(OnlineColumn::Status, 0).Color(), 0x0000FFu);
    EXPECT_EQ(Down.Cell(OnlineColumn::Status, 1).Color(), 0x808080u);
    EXPECT_EQ(Down.Cell(OnlineColumn::Status, 2).Color(), 0x00FFFFu);
    EXPECT_EQ(Down.Cell(OnlineColumn::Status, 3).Color(), Down.Cell(OnlineColumn::Host, 3).Color());
    // Copied: 1, 4, 5, 8, 9, 12, 13, 15, 16, 18, 19; not copied: 7 (Alarm).
    EXPECT_EQ(Text(4, 0), "192.0.2.2");
    EXPECT_EQ(Text(5, 0), "Down");
    EXPECT_EQ(Text(8, 0), "log text");
    EXPECT_EQ(Down.Cell(9, 0).GetAsInteger(), 4);
    EXPECT_EQ(Text(12, 0), Day(2026, 1, 3));
    EXPECT_EQ(Text(13, 0), "3");
    EXPECT_EQ(Text(15, 0), "public");
    EXPECT_EQ(Text(16, 0), "2");
    EXPECT_EQ(Text(18, 0), "note gone");
    EXPECT_EQ(Text(19, 0), "00:05:00");
    EXPECT_EQ(Text(7, 0), "");
    // Numbered in the order shown.
    EXPECT_EQ(Text(0, 0), "1");
    EXPECT_EQ(Text(0, 3), "4");
}

TEST_F(OnlineRefresh, LastDownSortsAsADateNotAsText) {
    // As text, 10.01 would come before 09.02 in a day-first locale; by date it is the other way.
    AddHost("1", "january", "Down", "1", Day(2026, 1, 10));
    AddHost("2", "february", "Down", "1", Day(2026, 2, 9));
    AddHost("3", "last year", "Down", "1", Day(2025, 12, 31));
    RefreshOnlineGrid(Hosts, Down, Tree, Words);
    ASSERT_EQ(Down.RowCount(), 3);
    EXPECT_EQ(Text(OnlineColumn::Host, 0), "february");
    EXPECT_EQ(Text(OnlineColumn::Host, 1), "january");
    EXPECT_EQ(Text(OnlineColumn::Host, 2), "last year");
}

TEST_F(OnlineRefresh, OnlyAGroupsOwnDownHostsLightItsIcon) {
    AddHost("1", "lab-switch", "Down", "2", Day(2026, 1, 1)); // in the sub-group only
    AddHost("2", "store-printer", "Packet loss", "3", Day(2026, 1, 1));
    AddHost("3", "store-pc", "Disabled", "3", Day(2026, 1, 1));
    EXPECT_EQ(RefreshOnlineGrid(Hosts, Down, Tree, Words), (std::vector<int>{0, 1, 0}));
    AddHost("4", "office-pc", "Down", "1", Day(2026, 1, 1));
    EXPECT_EQ(RefreshOnlineGrid(Hosts, Down, Tree, Words), (std::vector<int>{1, 1, 0}));
    // A node without a record never lights.
    Tree.push_back({-1, "loose", nullptr});
    EXPECT_EQ(RefreshOnlineGrid(Hosts, Down, Tree, Words), (std::vector<int>{1, 1, 0, 0}));
}

TEST_F(OnlineRefresh, ColumnsAndTheChosenRowByHostId) {
    QStringList shown;
    for (int col = 0; col < Down.Columns().ColumnCount(); ++col)
        if (Down.Columns().GetColumn(col)->Visible())
            shown << QString::number(col);
    EXPECT_EQ(Down.Columns().ColumnCount(), 20);
    EXPECT_EQ(shown.join(','), "0,1,4,5,9,12,16,18,19");
    EXPECT_EQ(Down.Columns().GetColumn(16)->Name(), "Kod_");
    EXPECT_EQ(Down.Columns().GetColumn(16)->Header().Caption(), "ID");
    EXPECT_TRUE(Down.HasOption(goMultiSelect));
    EXPECT_TRUE(Down.HasOption(goSelectFullRow));

    AddHost("21", "a", "Down", "1", Day(2026, 1, 1));
    AddHost("22", "b", "Down", "1", Day(2026, 1, 2));
    RefreshOnlineGrid(Hosts, Down, Tree, Words);
    EXPECT_EQ(FindOnlineRowByKod(Down, "21"), 1);
    // Host 22 comes back up: host 21 moves to row 0.
    Hosts.Cell(u"Status", 1).SetAsString("OK");
    RefreshOnlineGrid(Hosts, Down, Tree, Words);
    EXPECT_EQ(FindOnlineRowByKod(Down, "21"), 0);
    EXPECT_EQ(FindOnlineRowByKod(Down, "22"), -1);
    EXPECT_EQ(FindOnlineRowByKod(Down, ""), -1);
}

TEST(OnlineResize, DescriptionTakesTheRestLessTwenty) {
    EXPECT_EQ(OnlineDescriptionWidth(100, 900, 700), 280);
    EXPECT_EQ(OnlineDescriptionWidth(280, 900, 880), 280); // stable once it fits
}

} // namespace
