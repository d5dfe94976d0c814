// The host grid: its 41 columns, the host load with the progress window above 1500 hosts, cells
// that do not convert, the load counters and the first group's visibility and numbering.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class TRecordingProgress : public IHostLoadProgress {
public:
    void SetMaximum(int Maximum) override { this->Maximum = Maximum; }
    void ShowProgress() override { Shown = true; }
    void SetPosition(int Position) override {
        LastPosition = Position;
        ++Positions;
    }
    void SetCaption(const QString& Caption) override { Captions.append(Caption); }
    void ProcessMessages() override { ++Pumps; }
    void CloseProgress() override { Closed = true; }
    int Maximum = -100;
    bool Shown = false;
    bool Closed = false;
    int LastPosition = -1;
    int Positions = 0;
    int Pumps = 0;
    QStringList Captions;
};

class TNullTreeSink : public IGroupTreeSink {
public:
    void ShowGroupTree(const TGroupTree& Nodes) override { Count = int(Nodes.size()); }
    void RestoreTreeExpansion() override {}
    int Count = -1;
};

// Inserts a host with the given (column, value) pairs; the other columns stay NULL.
void AddHost(TSQLiteDatabase& Db, const std::vector<std::pair<QString, QVariant>>& Values) {
    QStringList names, marks;
    QVariantList values;
    for (const auto& [name, value] : Values) {
        names.append(name);
        marks.append("?");
        values.append(value);
    }
    Db.ExecuteStatement("insert into hosts (" + names.join(',') + ") values (" + marks.join(',') + ")",
                        values);
}

void AddHosts(TSQLiteDatabase& Db, int Count) {
    Db.StartTransaction();
    for (int i = 0; i < Count; ++i)
        AddHost(Db, {{"host", QString("h%1").arg(i)}, {"Enabled", "-1"}, {"N_group", 1}});
    Db.CommitTransaction();
}

class HostGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        Db.Open(Q(Dir.file("dbm.db")));
        CreateMissingTables(Db);
        CreateHostGridColumns(Grid);
    }
    QString Text(const char* Column, int Row) { return Grid.Cell(QLatin1String(Column), Row).GetAsString(); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    TDataGrid Grid;
    TRecordingProgress Progress;
};

} // namespace

TEST_F(HostGridTest, ColumnsFollowTheStoredOrderAroundKod) {
    const QStringList names = HostGridColumnNames();
    ASSERT_EQ(names.size(), 41);
    ASSERT_EQ(Grid.ColumnCount(), 41);
    const QStringList stored = HostsColumnNames();
    EXPECT_EQ(names[0], "number_");
    EXPECT_EQ(names[16], "Kod_");
    for (int i = 1; i <= 15; ++i)
        EXPECT_EQ(names[i].toLower(), stored[i].toLower());
    for (int i = 16; i < 40; ++i)
        EXPECT_EQ(names[i + 1], stored[i]);
    EXPECT_EQ(HostGridColumnOfStored(0), 16);
    EXPECT_EQ(HostGridColumnOfStored(15), 15);
    EXPECT_EQ(HostGridColumnOfStored(16), 17);
    EXPECT_EQ(HostGridColumnOfStored(39), 40);
    EXPECT_EQ(Grid.ColumnIndex(u"Number_"), 0);
    EXPECT_EQ(Grid.ColumnIndex(u"Http_Status"), 40);
    auto kind = [&](const char* name) {
        return Grid.Columns().ColumnByName(QLatin1String(name))->CellKind();
    };
    EXPECT_EQ(kind("number_"), ckInteger);
    EXPECT_EQ(kind("HType"), ckInteger);
    EXPECT_EQ(kind("HType2"), ckInteger);
    EXPECT_EQ(kind("Enabled"), ckBoolean);
    EXPECT_EQ(kind("Http_check"), ckBoolean);
    EXPECT_EQ(kind("Sound_alarm_enabled"), ckBoolean);
    EXPECT_EQ(kind("Host"), ckString);
    EXPECT_EQ(kind("Kod_"), ckString);
    EXPECT_EQ(kind("N_group"), ckString);
}

TEST_F(HostGridTest, ValuesLoadExactlyAndABadCellSpoilsOnlyItself) {
    const QString quoted = QString::fromUtf8("He said \"hi\"");
    const QString cyrillic = QString::fromUtf8("Маршрутизатор");
    AddHost(Db, {{"host", quoted},
                 {"HType", "3"},
                 {"HType2", "4"},
                 {"IP", "IP"},
                 {"Enabled", "-1"},
                 {"Kol_vo_p", 5},
                 {"N_group", 2},
                 {"Comunity", cyrillic},
                 {"Note_", "Host"},
                 {"TimeDown", "99"},
                 {"Http_check", "-1"},
                 {"Http_Kol_vo", 7},
                 {"Http_Status", "OK"}});
    // Enabled NULL and HType not a number: every other cell still loads.
    AddHost(Db, {{"host", "second"},
                 {"HType", "abc"},
                 {"IP", "127.0.0.2"},
                 {"Enabled", QVariant()},
                 {"Alarm_en", "0"},
                 {"N_group", 2},
                 {"Http_Status", "Down"}});
    AddHost(Db, {{"host", "third"}, {"Enabled", "0"}, {"N_group", 2}});
    EXPECT_EQ(LoadHostsIntoGrid(Db, Grid, &Progress, "Loading"), 3);
    ASSERT_EQ(Grid.RowCount(), 3);
    EXPECT_EQ(Text("Kod_", 0), "1");
    EXPECT_EQ(Text("Host", 0), quoted);
    EXPECT_EQ(Grid.Cell(u"HType", 0).GetAsInteger(), 3);
    EXPECT_EQ(Grid.Cell(u"HType2", 0).GetAsInteger(), 4);
    EXPECT_EQ(Text("IP", 0), "IP");
    EXPECT_TRUE(Grid.Cell(u"Enabled", 0).GetAsBoolean());
    EXPECT_EQ(Text("Kol_vo_p", 0), "5");
    EXPECT_EQ(Text("N_group", 0), "2");
    EXPECT_EQ(Text("Comunity", 0), cyrillic);
    EXPECT_EQ(Text("Note_", 0), "Host");
    EXPECT_EQ(Text("TimeDown", 0), ""); // never loaded
    EXPECT_TRUE(Grid.Cell(u"Http_check", 0).GetAsBoolean());
    EXPECT_EQ(Text("Http_Kol_vo", 0), "7");
    EXPECT_EQ(Text("Http_Status", 0), "OK");

    EXPECT_EQ(Text("Kod_", 1), "2");
    EXPECT_EQ(Text("Host", 1), "second");
    EXPECT_EQ(Grid.Cell(u"HType", 1).GetAsInteger(), 0);
    EXPECT_EQ(Text("IP", 1), "127.0.0.2");
    EXPECT_FALSE(Grid.Cell(u"Enabled", 1).GetAsBoolean());
    EXPECT_FALSE(Grid.Cell(u"Alarm_en", 1).GetAsBoolean());
    EXPECT_EQ(Text("N_group", 1), "2");
    EXPECT_EQ(Text("Http_Status", 1), "Down");
    EXPECT_EQ(Text("Http_Kol_vo", 1), "0"); // NULL read as an integer field

    EXPECT_EQ(Text("Host", 2), "third");
    EXPECT_FALSE(Grid.Cell(u"Enabled", 2).GetAsBoolean());
    EXPECT_EQ(HostLoadCounters.LastRow.load(), 2);
    EXPECT_EQ(HostLoadCounters.FilledRow.load(), 2);
    EXPECT_FALSE(Progress.Shown);
    EXPECT_EQ(Progress.Maximum, 2);
    EXPECT_EQ(Progress.Captions,
              QStringList({"Zorvanite Tarnequill Pro - Loading 0%", "Zorvanite Tarnequill Pro - Loading 50%",
                           "Zorvanite Tarnequill Pro - Loading 100%"}));
}

TEST_F(HostGridTest, EmptyTableEndsWithCountersAtMinusOne) {
    EXPECT_EQ(LoadHostsIntoGrid(Db, Grid, &Progress, "Loading"), 0);
    EXPECT_EQ(Grid.RowCount(), 0);
    EXPECT_EQ(HostLoadCounters.LastRow.load(), -1);
    EXPECT_EQ(HostLoadCounters.FilledRow.load(), -1);
    EXPECT_FALSE(Progress.Shown);
    EXPECT_EQ(HostLoadCaption("x", 0, 0), "Zorvanite Tarnequill Pro - x 100%");
    EXPECT_EQ(HostLoadCaption("x", 1, 3), "Zorvanite Tarnequill Pro - x 33%");
    EXPECT_EQ(HostLoadCaption("x", 1, 8), "Zorvanite Tarnequill Pro - x 13%");
}

TEST_F(HostGridTest, ProgressWindowAppearsAbove1500Hosts) {
    AddHosts(Db, 1500);
    LoadHostsIntoGrid(Db, Grid, &Progress, "Loading");
    EXPECT_FALSE(Progress.Shown);
    AddHosts(Db, 1);
    TDataGrid second;
    CreateHostGridColumns(second);
    TRecordingProgress progress;
    LoadHostsIntoGrid(Db, second, &progress, "Loading");
    EXPECT_TRUE(progress.Shown);
    EXPECT_TRUE(progress.Closed);
    EXPECT_EQ(progress.Maximum, 1500);
    EXPECT_EQ(progress.LastPosition, 1500);
    // The bar moves once per percentage (and to the last row at the end), and the window's
    // messages run at breaks in the load rather than once per row.
    EXPECT_EQ(progress.Positions, 102);
    EXPECT_GE(progress.Pumps, 1);
    EXPECT_LT(progress.Pumps, 100);
    EXPECT_EQ(progress.Captions.size(), 101);
    EXPECT_EQ(progress.Captions.last(), "Zorvanite Tarnequill Pro - Loading 100%");
    EXPECT_EQ(second.RowCount(), 1501);
    EXPECT_TRUE(HostLoadCounters.Finished());
}

TEST_F(HostGridTest, FirstGroupIsShownAndNumbered) {
    for (int group : {1, 2, 1, 3, 1})
        AddHost(Db, {{"host", QString("g%1").arg(group)}, {"N_group", group}});
    Db.ExecuteStatement("insert into list_group (Name, N_group, parent_id) values ('First', 1, '')");
    Db.ExecuteStatement("insert into list_group (Name, N_group, parent_id) values ('Second', 2, '')");
    Db.Close();
    TNullTreeSink sink;
    TDatabaseLoadContext context;
    context.DataFolder = Q(Dir.path() + "/");
    context.HostGrid = &Grid;
    context.GroupTree = &sink;
    context.Progress = &Progress;
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_EQ(result.HostRows, 5);
    EXPECT_EQ(result.SelectedGroup, 1);
    ASSERT_EQ(Grid.RowCount(), 5);
    const bool visible[] = {true, false, true, false, true};
    const int numbers[] = {1, 0, 2, 0, 3};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(Grid.GetRowVisible(row), visible[row]) << row;
        if (visible[row]) {
            EXPECT_EQ(Grid.Cell(u"Number_", row).GetAsInteger(), numbers[row]) << row;
        }
    }
    EXPECT_TRUE(HostLoadCounters.Finished());
    EXPECT_EQ(Db.OpenResultTable("select Status from program_log")->FieldText(0),
              "Zorvanite Tarnequill Pro has been started");
}

TEST_F(HostGridTest, ATableOfAnotherShapeLoadsWhatItHas) {
    Db.ExecuteStatement("drop table hosts");
    Db.ExecuteStatement("create table hosts (id INTEGER PRIMARY KEY, host TEXT, HType TEXT)");
    Db.ExecuteStatement("insert into hosts (host, HType) values ('short', '2')");
    EXPECT_EQ(LoadHostsIntoGrid(Db, Grid, &Progress, "Loading"), 1);
    EXPECT_EQ(Text("Host", 0), "short");
    EXPECT_EQ(Grid.Cell(u"HType", 0).GetAsInteger(), 2);
    EXPECT_EQ(Text("IP", 0), "");
    EXPECT_TRUE(HostLoadCounters.Finished());
}

TEST_F(HostGridTest, AFailingHostLoadStillFinishesAndLogsTheStart) {
    Db.ExecuteStatement("drop table hosts");
    Db.ExecuteStatement("create table gone (id INTEGER)");
    Db.ExecuteStatement("create view hosts as select * from gone");
    Db.ExecuteStatement("drop table gone");
    Db.Close();
    HostLoadCounters.Reset();
    TDatabaseLoadContext context;
    context.DataFolder = Q(Dir.path() + "/");
    context.HostGrid = &Grid;
    context.Progress = &Progress;
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_EQ(result.HostRows, 0);
    EXPECT_EQ(Grid.RowCount(), 0);
    EXPECT_EQ(Grid.UpdateCount(), 0);
    EXPECT_TRUE(HostLoadCounters.Finished());
    auto log = Db.OpenResultTable("select Status from program_log order by ID");
    ASSERT_EQ(log->RowCount(), 2);
    EXPECT_TRUE(log->FieldText(0).startsWith("Error! Failed to load the hosts: "));
    log->NextRow();
    EXPECT_EQ(log->FieldText(0), "Zorvanite Tarnequill Pro has been started");
}

TEST_F(HostGridTest, StoredStatusWordsTakeTheirColoursAtLoad) {
    const QStringList words = {"OK", "Packet loss", "Down", "Disabled", "Unknown", "", "something else"};
    for (const QString& word : words)
        AddHost(Db, {{"host", word}, {"Status", word}, {"Enabled", "-1"}});
    ASSERT_EQ(LoadHostsIntoGrid(Db, Grid, nullptr, QString()), int(words.size()));
    const TColor untouched = Grid.Cell(u"Host", 0).Color(); // a cell nothing colours
    const std::vector<TColor> expected = {clLime, clYellow, clRed, clGray, clWhite, untouched, untouched};
    for (int row = 0; row < int(words.size()); ++row)
        EXPECT_EQ(Grid.Cell(u"Status", row).Color(), expected[size_t(row)]) << words[row].toStdString();
}
