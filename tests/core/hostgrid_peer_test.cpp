// The start-up load of databases prepared by the sqlite3 shell, as another program would write them:
// NULLs, quotes, values equal to column names, groups stored before their parents, 1500 and 1501 hosts.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zt::test;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class TTreeRecorder : public IGroupTreeSink {
public:
    void ShowGroupTree(const TGroupTree& Nodes) override { Tree = Nodes; }
    void RestoreTreeExpansion() override {}
    TGroupTree Tree;
};

class TProgressRecorder : public IHostLoadProgress {
public:
    void SetMaximum(int) override {}
    void ShowProgress() override { Shown = true; }
    void SetPosition(int) override {}
    void SetCaption(const QString& Caption) override { Last = Caption; }
    void ProcessMessages() override {}
    void CloseProgress() override {}
    bool Shown = false;
    QString Last;
};

class HostGridPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("sqlite3"))
            GTEST_SKIP() << "sqlite3 shell not installed";
        Path = Dir.file("dbm.db");
        // The program's own table formats, written out by the shell.
        std::string script;
        for (const TTableSchema& table : DatabaseTables())
            script += CreateTableStatement(table).toStdString() + ";\n";
        WriteFile(Dir.file("schema.sql"), script);
        Shell(".read " + Dir.file("schema.sql"));
        CreateHostGridColumns(Grid);
    }
    void Shell(const std::string& Sql) {
        WriteFile(Dir.file("run.sql"), Sql + "\n");
        int rc = 0;
        const std::string out =
            RunCommand("sqlite3 '" + Path + "' < '" + Dir.file("run.sql") + "' 2>&1", &rc);
        ASSERT_EQ(rc, 0) << out;
    }
    TDatabaseLoadResult Load(const QString& ProgressText = "Loading hosts") {
        TDatabaseLoadContext context;
        context.DataFolder = Q(Dir.path() + "/");
        context.HostGrid = &Grid;
        context.GroupTree = &Tree;
        context.Progress = &Progress;
        context.ProgressText = ProgressText;
        return LoadDatabaseAtStart(Db, context);
    }
    void InsertHosts(int Count) {
        Shell("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
              std::to_string(Count) +
              ") INSERT INTO hosts (host, IP, Enabled, N_group) SELECT 'h' || i, '127.0.0.1', -1, 1 FROM n;");
    }

    TempDir Dir;
    std::string Path;
    TSQLiteDatabase Db;
    TDataGrid Grid;
    TTreeRecorder Tree;
    TProgressRecorder Progress;
};

} // namespace

TEST_F(HostGridPeerTest, ShellWrittenHostsAndGroupsLoadExactly) {
    Shell("INSERT INTO list_group (Name, N_group, parent_id) VALUES ('Child of \"core\"', 5, '3');"
          "INSERT INTO list_group (Name, N_group, parent_id) VALUES ('Сеть', 1, '');"
          "INSERT INTO list_group (Name, N_group, parent_id) VALUES ('Core', 3, '1');"
          "INSERT INTO hosts (host, HType, IP, Enabled, N_group, Note_, Comunity, Http_check) VALUES "
          "('He said \"hi\"', '2', 'IP', -1, 1, 'Host', 'публичный', -1);"
          "INSERT INTO hosts (host, HType, IP, Enabled, N_group, Note_) VALUES ('null enabled', '1', "
          "'127.0.0.9', "
          "NULL, 1, 'still here');"
          "INSERT INTO hosts (host, IP, Enabled, N_group) VALUES ('other group', '127.0.0.3', 0, 3);");
    const TDatabaseLoadResult result = Load();
    ASSERT_EQ(Tree.Tree.size(), 3u);
    EXPECT_EQ(Tree.Tree[0].Caption, QString::fromUtf8("Сеть"));
    EXPECT_EQ(Tree.Tree[1].Caption, "Core");
    EXPECT_EQ(Tree.Tree[1].ParentIndex, 0);
    EXPECT_EQ(Tree.Tree[2].Caption, "Child of \"core\"");
    EXPECT_EQ(Tree.Tree[2].ParentIndex, 1);
    EXPECT_EQ(result.SelectedGroup, 1);
    ASSERT_EQ(Grid.RowCount(), 3);
    EXPECT_EQ(Grid.Cell(u"Host", 0).GetAsString(), "He said \"hi\"");
    EXPECT_EQ(Grid.Cell(u"IP", 0).GetAsString(), "IP");
    EXPECT_EQ(Grid.Cell(u"Note_", 0).GetAsString(), "Host");
    EXPECT_EQ(Grid.Cell(u"Comunity", 0).GetAsString(), QString::fromUtf8("публичный"));
    EXPECT_TRUE(Grid.Cell(u"Enabled", 0).GetAsBoolean());
    EXPECT_TRUE(Grid.Cell(u"Http_check", 0).GetAsBoolean());
    EXPECT_EQ(Grid.Cell(u"HType", 0).GetAsInteger(), 2);
    // The NULL Enabled stays empty; the cells after it load.
    EXPECT_EQ(Grid.Cell(u"Host", 1).GetAsString(), "null enabled");
    EXPECT_FALSE(Grid.Cell(u"Enabled", 1).GetAsBoolean());
    EXPECT_EQ(Grid.Cell(u"N_group", 1).GetAsString(), "1");
    EXPECT_EQ(Grid.Cell(u"Note_", 1).GetAsString(), "still here");
    EXPECT_TRUE(Grid.GetRowVisible(0));
    EXPECT_TRUE(Grid.GetRowVisible(1));
    EXPECT_FALSE(Grid.GetRowVisible(2));
    EXPECT_EQ(Grid.Cell(u"number_", 1).GetAsInteger(), 2);
    EXPECT_TRUE(HostLoadCounters.Finished());
    Db.Close();
    int rc = 0;
    EXPECT_EQ(RunCommand("sqlite3 '" + Path + "' 'PRAGMA integrity_check'", &rc), "ok\n");
    EXPECT_EQ(RunCommand("sqlite3 '" + Path + "' 'select Status from program_log'"),
              "Zorvanite Tarnequill Pro has been started\n");
}

TEST_F(HostGridPeerTest, Exactly1500HostsLoadWithoutTheProgressWindow) {
    InsertHosts(1500);
    Load();
    EXPECT_EQ(Grid.RowCount(), 1500);
    EXPECT_FALSE(Progress.Shown);
    EXPECT_EQ(Grid.Cell(u"number_", 1499).GetAsInteger(), 1500);
}

TEST_F(HostGridPeerTest, Host1501ShowsTheProgressWindow) {
    InsertHosts(1501);
    Load();
    EXPECT_EQ(Grid.RowCount(), 1501);
    EXPECT_TRUE(Progress.Shown);
    EXPECT_EQ(Progress.Last, "Zorvanite Tarnequill Pro - Loading hosts 100%");
    EXPECT_EQ(HostLoadCounters.LastRow.load(), 1500);
    EXPECT_EQ(HostLoadCounters.FilledRow.load(), 1500);
}

TEST_F(HostGridPeerTest, TheLoadCaptionSaysItIsLoadingInTheLanguageWithoutAWarning) {
    InsertHosts(1501);
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(SourcePath("Data/")), "German"));
    Load(QString());
    LangTexts::UseBuiltInEnglish();
    EXPECT_EQ(Progress.Last, "Zorvanite Tarnequill Pro - Hosts werden geladen... 100%");
}
