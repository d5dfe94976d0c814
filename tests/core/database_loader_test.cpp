// Start-up load without the host grid: schema creation on a new folder, the start message, the
// group tree (including groups stored before their parents) and the database refresh cases.
#include "core/DatabaseBackup.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"

#include "tests/core/database_helpers.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class TRecordingTreeSink : public IGroupTreeSink {
public:
    void ShowGroupTree(const TGroupTree& Nodes) override {
        Tree = Nodes;
        ++Shown;
    }
    void RestoreTreeExpansion() override { ++Restored; }
    TGroupTree Tree;
    int Shown = 0;
    int Restored = 0;
};

// "name<parent" per node, parents resolved through the node list.
std::vector<std::string> Describe(const TGroupTree& Tree) {
    std::vector<std::string> out;
    for (const auto& node : Tree) {
        std::string text = node.Caption.toStdString();
        if (node.ParentIndex >= 0)
            text += "<" + Tree[node.ParentIndex].Caption.toStdString();
        out.push_back(text);
    }
    return out;
}

QStringList SettingsWith(const QString& Source, const QString& Synchronize) {
    QStringList settings;
    for (int i = 0; i < 49; ++i)
        settings.append(QStringLiteral("0"));
    settings[40] = Source;
    settings[41] = Synchronize;
    return settings;
}

QStringList ProgramLog(TSQLiteDatabase& Db) {
    QStringList lines;
    auto table = Db.OpenResultTable("select Status from program_log order by ID");
    for (int i = 0; i < table->RowCount(); ++i, table->NextRow())
        lines.append(table->FieldText(0));
    return lines;
}

// A small database with one marker row in program_log, as another copy of the program would leave.
void MakeMarkedDatabase(const std::string& Path, const QString& Marker) {
    TSQLiteDatabase db(Q(Path));
    CreateMissingTables(db);
    db.ExecuteStatement("insert into program_log (Date_time, Status) values ('1', ?)", {Marker});
}

class LoaderTest : public ::testing::Test {
protected:
    TDatabaseLoadContext Context() {
        TDatabaseLoadContext context;
        context.DataFolder = Q(Dir.path() + "/");
        context.GroupTree = &Sink;
        return context;
    }
    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    TRecordingTreeSink Sink;
};

} // namespace

TEST_F(LoaderTest, NewFolderGetsEveryTableAndTheStartMessage) {
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, Context());
    EXPECT_EQ(result.OpenedFile, Q(Dir.file("dbm.db")));
    EXPECT_FALSE(result.HasGroups);
    EXPECT_TRUE(Sink.Tree.empty());
    EXPECT_EQ(Sink.Shown, 1);
    EXPECT_EQ(Sink.Restored, 1);
    EXPECT_TRUE(HostLoadCounters.Finished());
    for (const TTableSchema& table : DatabaseTables()) {
        auto info = Db.OpenResultTable("select name, type, pk from pragma_table_info(?)", {table.Name});
        ASSERT_EQ(info->RowCount(), int(table.Columns.size())) << table.Name.toStdString();
        for (size_t i = 0; i < table.Columns.size(); ++i, info->NextRow()) {
            EXPECT_EQ(info->FieldText(0), table.Columns[i].first);
            const QString type = i == 0 ? QStringLiteral("INTEGER") : table.Columns[i].second;
            EXPECT_EQ(info->FieldText(1), type);
            EXPECT_EQ(info->FieldInt64(2), i == 0 ? 1 : 0);
        }
    }
    EXPECT_EQ(ProgramLog(Db), QStringList{"Zorvanite Tarnequill Pro has been started"});
    EXPECT_EQ(Db.OpenResultTable("PRAGMA auto_vacuum")->FieldInt64(0), 1);
    EXPECT_EQ(HostsColumnNames().size(), 40);
    EXPECT_EQ(CreateTableStatement(DatabaseTable("program_log")),
              "CREATE TABLE program_log (ID INTEGER PRIMARY KEY, Date_time TEXT, Status TEXT)");
}

TEST_F(LoaderTest, ExistingTablesAreNeverAltered) {
    {
        TSQLiteDatabase other(Q(Dir.file("dbm.db")));
        other.ExecuteStatement("CREATE TABLE LOG (ID INTEGER PRIMARY KEY, Extra TEXT)");
    }
    LoadDatabaseAtStart(Db, Context());
    auto info = Db.OpenResultTable("select name from pragma_table_info('log')");
    ASSERT_EQ(info->RowCount(), 2);
    info->NextRow();
    EXPECT_EQ(info->FieldText(0), "Extra");
    EXPECT_TRUE(Db.HasTable("realtime_traf_p"));
}

TEST_F(LoaderTest, NoDatabaseStillFinishesTheLoad) {
    TDatabaseLoadContext context = Context();
    context.DataFolder = Q(Dir.path() + "/missing/");
    HostLoadCounters.Reset();
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_TRUE(result.OpenedFile.isEmpty());
    EXPECT_FALSE(Db.IsOpen());
    EXPECT_TRUE(HostLoadCounters.Finished());
    EXPECT_EQ(Sink.Shown, 0);
}

TEST_F(LoaderTest, GroupTreeAttachesUntilNothingMoreAttaches) {
    Db.Open(Q(Dir.file("dbm.db")));
    CreateMissingTables(Db);
    const char* rows[][3] = {
        {"Grandchild", "5", "3"}, // stored before its parent and grandparent
        {"Top", "1", ""},           {"Child", "3", "1"},
        {"Second", "2", ""},        {"Orphan", "7", "99"}, // parent not stored at all
        {"Under orphan", "8", "7"}, {"Loop A", "10", "11"},
        {"Loop B", "11", "10"},     {"Группа", "12", "2"},
    };
    for (const auto& row : rows)
        Db.ExecuteStatement(
            "insert into list_group (Name, N_group, parent_id) values (?,?,?)",
            {QString::fromUtf8(row[0]), QString::fromUtf8(row[1]), QString::fromUtf8(row[2])});
    const TGroupTree tree = BuildGroupTree(Db);
    EXPECT_EQ(Describe(tree),
              (std::vector<std::string>{"Top", "Second", "Child<Top", "Группа<Second", "Grandchild<Child",
                                        "Orphan", "Under orphan<Orphan", "Loop A", "Loop B<Loop A"}));
    EXPECT_EQ(tree[0].Record->Group, "1");
    EXPECT_EQ(tree[0].Record->ParentGroup, "");
    EXPECT_EQ(tree[4].Record->ParentGroup, "3");
    EXPECT_EQ(tree[4].Record->Name, "Grandchild");
    Db.Close();
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, Context());
    EXPECT_TRUE(result.HasGroups);
    EXPECT_EQ(result.SelectedGroup, 1);
    EXPECT_EQ(result.FirstGroup, "1");
    EXPECT_EQ(Sink.Tree.size(), tree.size());
}

TEST_F(LoaderTest, RowsSharingANumberAreOneGroupAndAChildGoesUnderItOnce) {
    Db.Open(Q(Dir.file("dbm.db")));
    CreateMissingTables(Db);
    for (const auto& [name, group, parent] :
         {std::tuple{"A", "1", ""}, std::tuple{"A again", "1", ""}, std::tuple{"Kid", "4", "1"},
          std::tuple{"Kid again", "4", "1"}, std::tuple{"B", "2", ""}, std::tuple{"Under B", "5", "2"}})
        Db.ExecuteStatement("insert into list_group (Name, N_group, parent_id) values (?,?,?)",
                            {name, group, parent});
    const TGroupTree tree = BuildGroupTree(Db);
    EXPECT_EQ(Describe(tree), (std::vector<std::string>{"A", "B", "Kid<A", "Under B<B"}));
    EXPECT_EQ(tree[2].Record->Name, "Kid");
    EXPECT_EQ(tree[2].Record->ParentGroup, "1");
}

TEST_F(LoaderTest, PairsOfRowsSharingNumbersOnEveryLevelGiveOneNodePerLevel) {
    // Another program's table: two rows per group number, each level the child of the one before.
    // Hanging each child under every matching node would double the nodes on every level.
    Db.Open(Q(Dir.file("dbm.db")));
    CreateMissingTables(Db);
    const int levels = 12;
    for (int level = 1; level <= levels; ++level)
        for (int copy = 0; copy < 2; ++copy)
            Db.ExecuteStatement("insert into list_group (Name, N_group, parent_id) values (?,?,?)",
                                {QStringLiteral("Level %1 copy %2").arg(level).arg(copy), level,
                                 level == 1 ? QString() : QString::number(level - 1)});
    const TGroupTree tree = BuildGroupTree(Db);
    ASSERT_EQ(tree.size(), size_t(levels));
    for (int i = 0; i < levels; ++i) {
        EXPECT_EQ(tree[i].ParentIndex, i - 1);
        EXPECT_EQ(tree[i].Caption, QStringLiteral("Level %1 copy 0").arg(i + 1));
    }
}

TEST_F(LoaderTest, DamagedDatabaseIsReportedToTheOperatorAtStart) {
    MakeMarkedDatabase(Dir.file("dbm.db"), "marker");
    zt::dbtest::DamageTablePage(Dir.file("dbm.db"), "hosts");
    QStringList shown;
    TDatabaseLoadContext context = Context();
    context.ShowMessage = [&](const QString& Text) {
        shown.append(Text);
    };
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_EQ(result.OpenedFile, Q(Dir.file("dbm.db")));
    ASSERT_EQ(shown.size(), 1);
    const QString expectedStart =
        QStringLiteral("Error! The database \"%1\" is damaged: ").arg(Q(Dir.file("dbm.db")));
    EXPECT_TRUE(shown[0].startsWith(expectedStart)) << shown[0].toStdString();
    EXPECT_GT(shown[0].size(), expectedStart.size()) << "SQLite's words follow";
    // The same line once in the program log, before the start message.
    const QStringList log = ProgramLog(Db);
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0], "marker");
    EXPECT_EQ(log[1], shown[0]);
    EXPECT_EQ(log[2], "Zorvanite Tarnequill Pro has been started");
}

TEST_F(LoaderTest, SoundDatabaseShowsNoMessage) {
    MakeMarkedDatabase(Dir.file("dbm.db"), "marker");
    QStringList shown;
    TDatabaseLoadContext context = Context();
    context.ShowMessage = [&](const QString& Text) {
        shown.append(Text);
    };
    LoadDatabaseAtStart(Db, context);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(ProgramLog(Db), (QStringList{"marker", "Zorvanite Tarnequill Pro has been started"}));
}

TEST_F(LoaderTest, UnopenableDatabaseLogsTheReasonAfterTheSystemsText) {
    // A folder where dbm.db should be: the engine cannot open it.
    ASSERT_TRUE(QDir().mkpath(Q(Dir.file("dbm.db"))));
    QStringList lines;
    SetProgramLogSink([&](const QString& Line) { lines.append(Line); });
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, Context());
    SetProgramLogSink({});
    EXPECT_TRUE(result.OpenedFile.isEmpty());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Error! Failed to load database!");
    EXPECT_TRUE(lines[1].startsWith(
        QStringLiteral("The database \"%1\" could not be opened: ").arg(Q(Dir.file("dbm.db")))))
        << lines[1].toStdString();
}

TEST_F(LoaderTest, SettingsLinesChooseTheRefresh) {
    TDatabaseLoadContext context = Context();
    context.Settings = SettingsWith("/share/db.db", "not a boolean");
    TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_FALSE(result.SynchronizeDb);
    EXPECT_EQ(result.EditDb, ""); // the failing line 41 ends the step before line 40
    Db.Close();
    context.Settings = SettingsWith("/share/db.db", "0");
    result = LoadDatabaseAtStart(Db, context);
    EXPECT_FALSE(result.SynchronizeDb);
    EXPECT_EQ(result.EditDb, "/share/db.db");
    EXPECT_FALSE(result.Refreshed);
    bool value = false;
    EXPECT_TRUE(TextToBoolean("-1", value) && value);
    EXPECT_TRUE(TextToBoolean("True", value) && value);
    EXPECT_TRUE(TextToBoolean("0", value) && !value);
    EXPECT_FALSE(TextToBoolean("", value));
}

TEST_F(LoaderTest, RefreshFromAFileOpensTheCopy) {
    zt::test::TempDir share;
    MakeMarkedDatabase(share.file("shared.db"), "from the share");
    MakeMarkedDatabase(Dir.file("dbm.db"), "local");
    const auto before = zt::test::ReadFile(Dir.file("dbm.db"));
    TDatabaseLoadContext context = Context();
    context.Settings = SettingsWith(Q(share.file("shared.db")), "-1");
    const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
    EXPECT_TRUE(result.Refreshed);
    EXPECT_EQ(result.OpenedFile, Q(Dir.file("ndbm.db")));
    EXPECT_EQ(ProgramLog(Db).first(), "from the share");
    EXPECT_EQ(zt::test::ReadFile(Dir.file("dbm.db")), before);
    EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("ndbm.db.part"))));
    // The hourly copy is still taken of dbm.db.
    TDatabaseBackup backup;
    ASSERT_TRUE(backup.Start(context.DataFolder, Db));
    ASSERT_TRUE(backup.Wait().Ok);
    TSQLiteDatabase copy(Q(Dir.file("backup.db")));
    EXPECT_EQ(ProgramLog(copy), QStringList{"local"});
}

TEST_F(LoaderTest, FailedRefreshOpensDbmAndLogsWhy) {
    zt::test::TempDir share;
    zt::test::WriteFile(share.file("garbage.db"), std::string(4096, 'g'));
    // A corrupt file that still carries the header.
    zt::test::WriteFile(share.file("corrupt.db"),
                        std::string("SQLite format 3\0", 16) + std::string(4080, '\x7f'));
    MakeMarkedDatabase(Dir.file("dbm.db"), "local");
    for (const std::string& source :
         {share.file("garbage.db"), share.file("corrupt.db"), share.file("none.db")}) {
        zt::test::WriteFile(Dir.file("ndbm.db"), "stale");
        TDatabaseLoadContext context = Context();
        context.Settings = SettingsWith(Q(source), "-1");
        const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
        EXPECT_FALSE(result.Refreshed) << source;
        EXPECT_EQ(result.OpenedFile, Q(Dir.file("dbm.db")));
        const QStringList log = ProgramLog(Db);
        EXPECT_TRUE(
            log[log.size() - 2].startsWith("Error! Failed to refresh the database from " + Q(source) + ": "))
            << log.join('|').toStdString();
        EXPECT_EQ(log.last(), "Zorvanite Tarnequill Pro has been started");
        EXPECT_EQ(zt::test::ReadFile(Dir.file("ndbm.db")), "stale");
        EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("ndbm.db.part"))));
        Db.Close();
    }
}

TEST_F(LoaderTest, HttpRefreshNeedsStatus200AndASoundDatabase) {
    zt::test::TempDir share;
    MakeMarkedDatabase(share.file("good.db"), "fetched");
    MakeMarkedDatabase(Dir.file("dbm.db"), "local");
    struct TCase {
        int Status;
        std::string Body;
        bool Answered;
        bool Refreshed;
    };
    const TCase cases[] = {
        {200, zt::test::ReadFile(share.file("good.db")), true, true},
        {404, zt::test::ReadFile(share.file("good.db")), true, false},
        {200, "<html>not a database</html>", true, false},
        {0, "", false, false},
    };
    for (const TCase& c : cases) {
        TDatabaseLoadContext context = Context();
        context.Settings = SettingsWith("http://127.0.0.1:1/db", "-1");
        QString fetchedUrl;
        context.Fetch = [&](const QString& Url, const QString& Path, int& Status, QString& Error) {
            fetchedUrl = Url;
            zt::test::WriteFile(Path.toStdString(), c.Body);
            Status = c.Status;
            if (!c.Answered)
                Error = "connection refused";
            return c.Answered;
        };
        const TDatabaseLoadResult result = LoadDatabaseAtStart(Db, context);
        EXPECT_EQ(fetchedUrl, "http://127.0.0.1:1/db");
        EXPECT_EQ(result.Refreshed, c.Refreshed) << c.Status;
        EXPECT_EQ(ProgramLog(Db).first(), c.Refreshed ? "fetched" : "local");
        if (!c.Refreshed) {
            EXPECT_TRUE(
                ProgramLog(Db).join('|').contains("Error! Failed to refresh the database from http://"));
        }
        Db.Close();
        QFile::remove(Q(Dir.file("ndbm.db")));
    }
}
