// Rows of the host dialogs without a display: the add's insert and its Kod_, the edit's update, the
// bulk edit and the bulk add, the picker's tree and the type shift, checked in table hosts.
#include "core/GroupPickerTree.h"
#include "core/HostGrid.h"
#include "core/HostRecords.h"
#include "core/HostTypes.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "tests/core/store_fixture.h"

#include <gtest/gtest.h>

namespace {

class HostRecordsTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        CreateHostGridColumns(Grid);
    }
    QString Text(const char* Column, int Row) {
        return Grid.CellText(Grid.ColumnIndex(QLatin1String(Column)), Row);
    }
    QString Stored(const char* Column, const QString& Id) {
        return One(QStringLiteral("select %1 from hosts where id=?").arg(QLatin1String(Column)), {Id});
    }
    THostDialogValues Sample(const QString& Name) {
        THostDialogValues v;
        v.Host = Name;
        v.IP = QStringLiteral("127.0.0.7");
        v.TypeIndex = 2;
        v.Note = QStringLiteral("rack 4");
        v.Group = 7;
        v.Comunity = QStringLiteral("public");
        v.SnmpCheck = true;
        v.PingCheck = false;
        v.HttpCheck = true;
        v.Alarm = QStringLiteral("siren.wav");
        v.Loop_sound = true;
        v.Sound_alarm_enabled = false;
        v.ICQ_alarm_enabled = true;
        v.ICQ_contacts_list = QStringLiteral("12345");
        v.Email_alarm_enabled = true;
        v.Email_contacts_list = QStringLiteral("ops@example.org,noc@example.org");
        return v;
    }
    TDataGrid Grid;
};

} // namespace

TEST(HostRecordColumns, AreTheThirtyEightOfTheInsertAndTheBulkEditsThirtyFive) {
    const QStringList& columns = HostRecordColumns();
    ASSERT_EQ(columns.size(), 38);
    EXPECT_EQ(columns.first(), "host");
    EXPECT_EQ(columns[3], "IP");
    EXPECT_FALSE(columns.contains("Avarage_Latency"));
    EXPECT_FALSE(columns.contains("id"));
    EXPECT_EQ(columns.last(), "Http_Status");
    const QStringList& multi = MultiEditColumns();
    ASSERT_EQ(multi.size(), 35);
    EXPECT_FALSE(multi.contains("P_lost_Status"));
    EXPECT_EQ(multi.last(), "Http_check");
}

TEST_F(HostRecordsTest, TheFirstHostGetsKodOneAndNumberOneAndEveryControlIsStored) {
    const int row = AddHostRow(Grid, Store, Sample("first"));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(Text("Kod_", 0), "1");
    EXPECT_EQ(Text("number_", 0), "1");
    const QString id = "1";
    EXPECT_EQ(Stored("host", id), "first");
    EXPECT_EQ(Stored("IP", id), "127.0.0.7");
    EXPECT_EQ(Stored("HType", id), "2");
    EXPECT_EQ(Stored("HType2", id), "2");
    EXPECT_EQ(Stored("Enabled", id), "-1");
    EXPECT_EQ(Stored("Ping_check", id), "0");
    EXPECT_EQ(Stored("SNMP_check", id), "-1");
    EXPECT_EQ(Stored("Http_check", id), "-1");
    EXPECT_EQ(Stored("Alarm", id), "siren.wav");
    EXPECT_EQ(Stored("Loop_sound", id), "-1");
    EXPECT_EQ(Stored("N_group", id), "7");
    EXPECT_EQ(Stored("Comunity", id), "public");
    EXPECT_EQ(Stored("Note_", id), "rack 4");
    EXPECT_EQ(Stored("Date_Pod", id), "");
    // The Alerts tab is stored at the add too.
    EXPECT_EQ(Stored("Sound_alarm_enabled", id), "0");
    EXPECT_EQ(Stored("ICQ_alarm_enabled", id), "-1");
    EXPECT_EQ(Stored("ICQ_contacts_list", id), "12345");
    EXPECT_EQ(Stored("Email_alarm_enabled", id), "-1");
    EXPECT_EQ(Stored("Email_contacts_list", id), "ops@example.org,noc@example.org");
    EXPECT_EQ(Stored("Avarage_Latency", id), "");
    // It shows a state before its first pass, so the rules start from Unknown.
    EXPECT_EQ(Stored("Status", id), "Unknown");
    THostDialogValues off = Sample("off");
    off.Enabled = false;
    AddHostRow(Grid, Store, off);
    EXPECT_EQ(Stored("Status", "2"), "Disabled");
}

TEST_F(HostRecordsTest, KodIsTheInsertsIdAfterASortAndAfterTheHighestIdWent) {
    AddHostRow(Grid, Store, Sample("charlie"));
    AddHostRow(Grid, Store, Sample("alpha"));
    AddHostRow(Grid, Store, Sample("bravo"));
    // Sorted by name the last row is charlie (id 1); then the highest id (bravo, 3) is deleted.
    Grid.SortColumn(Grid.Columns().GetColumn(Grid.ColumnIndex(u"host")), true);
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Text("host", row) == "bravo") {
            Store.DeleteHost(Text("Kod_", row));
            Grid.DeleteRow(row);
            break;
        }
    }
    ASSERT_EQ(Text("host", Grid.RowCount() - 1), "charlie");
    const int row = AddHostRow(Grid, Store, Sample("delta"));
    const QString id = One("select id from hosts where host=?", {"delta"});
    EXPECT_EQ(Text("Kod_", row), id);
    EXPECT_EQ(One("select count(*) from hosts where id=?", {Text("Kod_", row)}), "1");
    // Each row's Kod_ names its own host.
    for (int r = 0; r < Grid.RowCount(); ++r)
        EXPECT_EQ(Stored("host", Text("Kod_", r)), Text("host", r));
}

TEST_F(HostRecordsTest, QuotedNameColumnNamedNoteAndCyrillicCommunityRoundTrip) {
    THostDialogValues v = Sample(QStringLiteral("He said \"hi\""));
    v.Note = QStringLiteral("IP");
    v.Comunity = QString::fromUtf8("сообщество");
    AddHostRow(Grid, Store, v);
    TDataGrid reloaded;
    CreateHostGridColumns(reloaded);
    ASSERT_EQ(LoadHostsIntoGrid(Db, reloaded, nullptr, QString()), 1);
    auto text = [&](const char* c) {
        return reloaded.CellText(reloaded.ColumnIndex(QLatin1String(c)), 0);
    };
    EXPECT_EQ(text("host"), "He said \"hi\"");
    EXPECT_EQ(text("Note_"), "IP");
    EXPECT_EQ(text("Comunity"), QString::fromUtf8("сообщество"));
    EXPECT_EQ(text("IP"), "127.0.0.7");
}

TEST_F(HostRecordsTest, AFailedInsertRemovesTheNewRowAndRaises) {
    AddHostRow(Grid, Store, Sample("kept"));
    Db.ExecuteStatement("drop table hosts");
    EXPECT_THROW(AddHostRow(Grid, Store, Sample("lost")), ESQLiteException);
    ASSERT_EQ(Grid.RowCount(), 1);
    EXPECT_EQ(Text("host", 0), "kept");
}

TEST_F(HostRecordsTest, EditStoresTheRowByKodAndAFailedUpdateKeepsTheRow) {
    AddHostRow(Grid, Store, Sample("one"));
    AddHostRow(Grid, Store, Sample("two"));
    THostDialogValues v = Sample("renamed");
    v.IP = "127.0.0.9";
    v.Enabled = false;
    v.Email_contacts_list = "x@example.org";
    v.Group = 3;
    ASSERT_TRUE(EditHostRow(Grid, Store, 1, v));
    EXPECT_EQ(Stored("host", "2"), "renamed");
    EXPECT_EQ(Stored("IP", "2"), "127.0.0.9");
    EXPECT_EQ(Stored("Enabled", "2"), "0");
    EXPECT_EQ(Stored("Email_contacts_list", "2"), "x@example.org");
    EXPECT_EQ(Stored("N_group", "2"), "3");
    EXPECT_EQ(Stored("host", "1"), "one");
    // A row whose host row is gone: the grid keeps the new values, nothing else is written.
    Store.DeleteHost("1");
    EXPECT_FALSE(EditHostRow(Grid, Store, 0, Sample("ghost")));
    EXPECT_EQ(Text("host", 0), "ghost");
    EXPECT_EQ(One("select count(*) from hosts"), "1");
}

TEST_F(HostRecordsTest, BulkEditCopiesTickedFieldsToShownSelectedRowsOnly) {
    for (const char* name : {"a", "b", "c", "d"})
        AddHostRow(Grid, Store, Sample(name));
    Grid.SetRowSelected(0, true);
    Grid.SetRowSelected(1, true);
    Grid.SetRowSelected(2, true);
    Grid.SetRowVisible(2, false); // selected but hidden: untouched
    THostDialogValues v = Sample("same");
    v.IP = "127.0.0.99";
    v.HttpCheck = false;
    int steps = 0;
    const int stored = ApplyMultiEdit(Grid, Store, v, {TMultiEditField::Host, TMultiEditField::Http_check},
                                      [&](int) { ++steps; });
    EXPECT_EQ(stored, 2);
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(Stored("host", "1"), "same");
    EXPECT_EQ(Stored("host", "2"), "same");
    EXPECT_EQ(Stored("host", "3"), "c");
    EXPECT_EQ(Stored("host", "4"), "d");
    // Unticked: the address stays; the HTTP check box's change is stored and survives a reload.
    EXPECT_EQ(Stored("IP", "1"), "127.0.0.7");
    EXPECT_EQ(Stored("Http_check", "1"), "0");
    EXPECT_EQ(Stored("Http_check", "3"), "-1");
    TDataGrid reloaded;
    CreateHostGridColumns(reloaded);
    LoadHostsIntoGrid(Db, reloaded, nullptr, QString());
    EXPECT_FALSE(reloaded.GetCellObject(reloaded.ColumnIndex(u"Http_check"), 0).GetAsBoolean());
    EXPECT_TRUE(reloaded.GetCellObject(reloaded.ColumnIndex(u"Http_check"), 2).GetAsBoolean());
}

TEST_F(HostRecordsTest, BulkAddNumbersOnFromTheShownRowsWithTheDialogsFields) {
    AddHostRow(Grid, Store, Sample("existing"));
    TBulkHostDefaults d;
    d.TypeIndex = 1;
    d.AlertEnabled = false;
    d.Http_check = true;
    d.Group = 5;
    const auto entries = ExpandHostRange(127, 0, 0, 10, 5, "New Host");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(AddBulkHosts(Grid, Store, entries, d, ShownRowCount(Grid)), 1);
    ASSERT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Text("host", 1), "New Host_5");
    EXPECT_EQ(Text("IP", 1), "127.0.0.5");
    EXPECT_EQ(Text("number_", 1), "2");
    EXPECT_EQ(Text("Kod_", 1), "2");
    EXPECT_EQ(Stored("host", "2"), "New Host_5");
    EXPECT_EQ(Stored("Comunity", "2"), "vorpal");
    EXPECT_EQ(Stored("Alarm", "2"), "magic-wand-1.mp3");
    EXPECT_EQ(Stored("Alarm_en", "2"), "-1");
    EXPECT_EQ(Stored("Sound_alarm_enabled", "2"), "0");
    EXPECT_EQ(Stored("Http_check", "2"), "-1");
    EXPECT_EQ(Stored("Enabled", "2"), "-1");
    EXPECT_EQ(Stored("Ping_check", "2"), "-1");
    EXPECT_EQ(Stored("SNMP_check", "2"), "0");
    EXPECT_EQ(Stored("HType", "2"), "1");
    EXPECT_EQ(Stored("N_group", "2"), "5");

    const auto list = ExpandHostList({"127.0.0.1", "", "127.0.0.3"}, {"first"}, "New Host");
    EXPECT_EQ(AddBulkHosts(Grid, Store, list, d, ShownRowCount(Grid)), 2);
    EXPECT_EQ(Text("host", 2), "New Host_0");
    EXPECT_EQ(Text("Note_", 2), "first");
    EXPECT_EQ(Text("host", 3), "New Host_2");
    EXPECT_EQ(Stored("Note_", Text("Kod_", 3)), "");
    EXPECT_EQ(Text("number_", 3), "4");
}

TEST_F(HostRecordsTest, BulkAddPassesOverAHostWhoseInsertFails) {
    Db.ExecuteStatement("create trigger refuse before insert on hosts when new.IP='127.0.0.2' "
                        "begin select raise(abort, 'refused'); end");
    const auto list = ExpandHostList({"127.0.0.1", "127.0.0.2", "127.0.0.3"}, {}, "h");
    EXPECT_EQ(AddBulkHosts(Grid, Store, list, TBulkHostDefaults{}, 0), 2);
    ASSERT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Text("IP", 1), "127.0.0.3");
    EXPECT_EQ(Text("number_", 1), "2");
    EXPECT_EQ(Stored("IP", Text("Kod_", 1)), "127.0.0.3");
}

TEST_F(HostRecordsTest, PickerTreeGivesPathsAndLeavesOutAGroupWhoseParentComesLater) {
    Store.InsertGroup("Servers", 1);
    Store.InsertGroup("Printers", 3, "2"); // its parent's row comes later
    Store.InsertGroup("Office", 2, "1");
    Store.InsertGroup("Printers", 4, "2");
    Store.InsertGroup("Odd", 5, "1 or 1=1"); // the parent look-up is bound: no such group
    const TGroupTree tree = BuildGroupPickerTree(Store);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(GroupPickerPath(tree, 0), "Servers");
    EXPECT_EQ(GroupPickerPath(tree, 1), "Servers\\Office");
    EXPECT_EQ(GroupPickerPath(tree, 2), "Servers\\Office\\Printers");
    EXPECT_EQ(tree[2].Record->Group, "4");
    EXPECT_EQ(tree[2].Record->ParentGroup, "2");
}

TEST_F(HostRecordsTest, DeletingATypeMovesHostsOfLaterTypesDownAsNumbers) {
    for (int type : {0, 1, 2, 10}) {
        THostDialogValues v = Sample(QString::number(type));
        v.TypeIndex = type;
        AddHostRow(Grid, Store, v);
    }
    ASSERT_TRUE(ShiftHostTypes(Grid, Store, 0));
    EXPECT_EQ(Text("HType", 1), "0");
    EXPECT_EQ(Text("HType2", 2), "1");
    EXPECT_EQ(Text("HType", 3), "9");
    EXPECT_EQ(Text("HType", 0), "0");
    EXPECT_EQ(Stored("HType", "2"), "0");
    EXPECT_EQ(Stored("HType2", "3"), "1");
    EXPECT_EQ(Stored("HType", "4"), "9");
    EXPECT_EQ(Stored("HType2", "4"), "9");
    EXPECT_EQ(Stored("HType", "1"), "0");
}
