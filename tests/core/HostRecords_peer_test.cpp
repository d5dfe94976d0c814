// What the host dialogs write, read by other programs: the sqlite3 shell reads hosts and the
// picker's list_group, Python's csv module reads t_config.cnfg, and file names the formats.
#include "core/GroupPickerTree.h"
#include "core/HostGrid.h"
#include "core/HostRecords.h"
#include "core/HostTypes.h"
#include "grid/GxGrid.h"
#include "tests/core/store_fixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zt::test;

namespace {

class HostRecordsPeerTest : public StoreFixture {
protected:
    void SetUp() override {
        if (!HaveProgram("sqlite3"))
            GTEST_SKIP() << "sqlite3 shell not installed";
        StoreFixture::SetUp();
        CreateHostGridColumns(Grid);
    }
    std::string Shell(const std::string& SQL) {
        int rc = -1;
        const std::string out =
            RunCommand("sqlite3 -separator '|' '" + Dir.file("dbm.db") + "' \"" + SQL + "\"", &rc);
        EXPECT_EQ(rc, 0);
        return out;
    }
    TDataGrid Grid;
};

} // namespace

TEST_F(HostRecordsPeerTest, TheShellReadsWhatAddEditAndBulkAddStored) {
    THostDialogValues v;
    v.Host = QStringLiteral("He said \"hi\"");
    v.IP = "127.0.0.1";
    v.Note = "IP";
    v.Comunity = QString::fromUtf8("сообщество");
    v.Group = 2;
    v.TypeIndex = 3;
    AddHostRow(Grid, Store, v);
    v.Host = "edited";
    AddHostRow(Grid, Store, v);
    v.Email_alarm_enabled = true;
    v.Email_contacts_list = "ops@example.org";
    EditHostRow(Grid, Store, 1, v);
    AddBulkHosts(Grid, Store, ExpandHostRange(127, 0, 0, 10, 5, "New Host"), TBulkHostDefaults{}, 2);
    EXPECT_EQ(
        Shell("select id, host, IP, Note_, Comunity, N_group, HType, HType2, Enabled from hosts order by id"),
        "1|He said \"hi\"|127.0.0.1|IP|сообщество|2|3|3|-1\n"
        "2|edited|127.0.0.1|IP|сообщество|2|3|3|-1\n"
        "3|New Host_5|127.0.0.5||vorpal|0|-1|-1|-1\n");
    EXPECT_EQ(Shell("select Email_alarm_enabled, Email_contacts_list, Sound_alarm_enabled, Alarm from hosts "
                    "where id=2"),
              "-1|ops@example.org|-1|\n");
    EXPECT_EQ(Shell("select typeof(Enabled), typeof(HType), typeof(Avarage_Latency) from hosts where id=3"),
              "integer|text|null\n");
}

TEST_F(HostRecordsPeerTest, ThePickerReadsGroupsTheShellStored) {
    Shell("insert into list_group (Name, N_group, parent_id) values ('Servers', 1, NULL), ('Printers', 3, "
          "'2'), "
          "('Office', 2, '1'), ('Printers', 4, '2'), ('Laser', 5, '4')");
    const TGroupTree tree = BuildGroupPickerTree(Store);
    QStringList paths;
    for (int i = 0; i < int(tree.size()); ++i)
        paths << GroupPickerPath(tree, i);
    EXPECT_EQ(paths, QStringList({"Servers", "Servers\\Office", "Servers\\Office\\Printers",
                                  "Servers\\Office\\Printers\\Laser"}));
}

TEST(HostTypesPeer, PythonsCsvReadsTheTypeListAndFileNamesTheFormats) {
    if (!HaveProgram("python3") || !HaveProgram("file"))
        GTEST_SKIP() << "python3 or file not installed";
    TempDir dir;
    TDataGrid types;
    CreateHostTypeColumns(types);
    const QString folder = QString::fromStdString(dir.path());
    ASSERT_EQ(AddHostType(types, folder, "Server", {}), "");
    ASSERT_EQ(AddHostType(types, folder, "Core, edge", {}), "");
    ASSERT_EQ(AddHostType(types, folder, QString::fromUtf8("Коммутатор"), {}), "");
    const std::string cnfg = dir.file("t_config.cnfg");
    int rc = -1;
    const std::string rows = RunCommand(
        "python3 -c \"import csv,sys; r=csv.reader(open(sys.argv[1], encoding='utf-16', newline=''));"
        " [print('/'.join(row)) for row in r]\" '" +
            cnfg + "'",
        &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(rows, "1/Server/0/Data\\Types\\Server.bmp\n"
                    "2/Core, edge/1/Data\\Types\\Core, edge.bmp\n"
                    "3/Коммутатор/2/Data\\Types\\Коммутатор.bmp\n");
    EXPECT_NE(RunCommand("file -e csv -b '" + cnfg + "'")
                  .find("UTF-16, little-endian text, with CRLF line terminators"),
              std::string::npos);
    const std::string shipped = std::string(ZT_SOURCE_DIR) + "/Data/Types/";
    for (const char* name : {"Server", "Router", "Switch", "Printer", "Workstation"}) {
        const std::string kind = RunCommand("file -b '" + shipped + name + ".bmp'");
        EXPECT_EQ(kind.rfind("PC bitmap", 0), 0u) << kind;
        EXPECT_NE(kind.find("100 x 85"), std::string::npos) << kind;
    }
    EXPECT_NE(RunCommand("file -e csv -b '" + shipped + "t_config.cnfg'").find("UTF-16, little-endian"),
              std::string::npos);
}
