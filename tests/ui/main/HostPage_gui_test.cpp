// The hosts page on a real database: deletes with monitoring running, group editing, the filters,
// Enabled, the host menu and its commands, the drag onto a group (scripted drag backend) and the
// tree files.
#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostDialogPreset.h"
#include "core/HostPage.h"
#include "core/HostTypes.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "desktop/ScriptedDragDrop.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/m_tasks_add.h"
#include "ui/dialogs/tasks_add.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/HostPageView.h"
#include "ui/main/LogPagesView.h"
#include "ui/main/main_form.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace ztt = ::zt::test;

namespace {

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

// Every echo answers at once.
class InstantProbes : public IHostProbes {
public:
    TPingOutcome Ping(const std::string&, int) override { return {{}, 1, false}; }
    std::string HttpProbe(const std::string&, int) override { return "200 OK"; }
    std::string SnmpGet(const std::string&, const std::string&, const std::string&) override { return {}; }
    void CancelAll() override {}
    void ResetCancel() override {}
};

bool WaitFor(const std::function<bool()>& Condition, int LimitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!Condition() && clock.elapsed() < LimitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return Condition();
}

// Groups: 1 Servers (with sub-group 3 Web), 2 Office, 5 Printers. Hosts: ten of group 2
// (h0..h9, ids 1-10), two of group 5 (p0, p1), one of group 1 (s0).
class HostPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        SetDataFolder(Q(Dir.path()));
        SetMessageBoxHandler([this](const QString&, const QString& Text) { Boxes << Text; });
        MonitorDatabase.Open(Q(Dir.file("dbm.db")));
        CreateMissingTables(MonitorDatabase);
        const char* groups[][3] = {{"Servers", "1", nullptr},
                                   {"Office", "2", nullptr},
                                   {"Web", "3", "1"},
                                   {"Printers", "5", nullptr}};
        for (const auto& g : groups) {
            MonitorDatabase.ExecuteStatement(
                "insert into list_group (Name, N_group, parent_id) values (?,?,?)",
                {QString::fromLatin1(g[0]), QString::fromLatin1(g[1]),
                 g[2] ? QVariant(QString::fromLatin1(g[2])) : QVariant()});
        }
        for (int i = 0; i < 10; ++i) {
            AddHost(QStringLiteral("h%1").arg(i), QStringLiteral("127.0.0.%1").arg(10 + i), "2",
                    i % 2 ? "OK" : "Down");
        }
        AddHost("p0", "127.0.1.1", "5", "OK");
        AddHost("p1", "127.0.1.2", "5", "Down");
        AddHost("s0", "127.0.2.1", "1", "OK");
        Form = std::make_unique<TForm1>(*Services);
        Form->FormCreate();
        Load();
        ApplyColumnVisibility(Hosts(), TSettings{});
        Page().OpenHostDialog = [this](const THostDialogPreset& Preset) {
            Presets.push_back(Preset);
        };
        Form->resize(1000, 600);
    }
    void TearDown() override {
        Form.reset();
        Services.reset();
        MonitorDatabase.Close();
        SetMessageBoxHandler({});
        SetInputBoxHandler({});
        SetShellOpenHandler({});
        SetDataFolder(QString());
    }
    void AddHost(const QString& Name, const QString& IP, const char* Group, const char* Status) {
        MonitorDatabase.ExecuteStatement(
            "insert into hosts (Host, IP, N_group, Status, Enabled, HType, Note_) values (?,?,?,?,?,?,?)",
            {Name, IP, QString::fromLatin1(Group), QString::fromLatin1(Status), QStringLiteral("-1"), 0,
             QStringLiteral("note of ") + Name});
    }
    void Load() {
        TDatabaseLoadContext context;
        context.DataFolder = Q(Dir.path()) + u'/';
        context.HostGrid = &Services->DataGrid1();
        context.GroupTree = Form.get();
        context.ProgressText = QStringLiteral("Loading");
        SetHostViewFromLoad(LoadDatabaseAtStart(MonitorDatabase, context));
    }
    THostPageView& Page() { return Form->HostPage(); }
    TDataGrid& Hosts() { return Services->DataGrid1(); }
    QString Cell(const char* Column, int Row) {
        return Hosts().CellText(Hosts().ColumnIndex(QLatin1String(Column)), Row);
    }
    int RowOf(const QString& Host) {
        for (int r = 0; r < Hosts().RowCount(); ++r) {
            if (Cell("Host", r) == Host) {
                return r;
            }
        }
        return -1;
    }
    // Shown hosts as "name#number".
    QStringList Shown() {
        QStringList out;
        for (int r = 0; r < Hosts().RowCount(); ++r) {
            if (Hosts().GetRowVisible(r)) {
                out << Cell("Host", r) + u'#' + Cell("number_", r);
            }
        }
        return out;
    }
    QString One(const QString& SQL, const TSQLiteValues& Values = {}) {
        auto t = MonitorDatabase.OpenResultTable(SQL, Values);
        return t->AtEnd() ? QStringLiteral("<none>") : t->FieldTextOrEmpty(0);
    }
    QTreeWidgetItem* Node(const char* Group) { return Page().NodeOfGroup(QString::fromLatin1(Group)); }
    void Choose(const char* Group) {
        Page().TreeView1->setCurrentItem(Node(Group));
        Page().TreeView1Click();
    }
    void Select(std::initializer_list<const char*> Names) {
        for (int r = 0; r < Hosts().RowCount(); ++r) {
            Hosts().SetRowSelected(r, false);
        }
        for (const char* name : Names) {
            Hosts().SetRowSelected(RowOf(QString::fromLatin1(name)), true);
        }
    }

    ztt::TempDir Dir;
    // Before the window: the tree registers its drop target with the backend in use.
    TScopedScriptedBackend Backend;
    std::unique_ptr<TMonitorServices> Services =
        std::make_unique<TMonitorServices>(MonitorDatabase, Q(Dir.path()), std::make_unique<InstantProbes>());
    std::unique_ptr<TForm1> Form;
    std::vector<THostDialogPreset> Presets;
    QStringList Boxes;
};

} // namespace

TEST_F(HostPageTest, DeletingThreeOfTenShownKeepsAHiddenSelectedRowAndNumbersTheRest) {
    Choose("2");
    ASSERT_EQ(Shown().size(), 10);
    const QString kod = Cell("Kod_", RowOf("h1"));
    const qint64 port = MonitorDatabase.ExecuteInsert("insert into m_port (ID_h) values (?)", {kod});
    MonitorDatabase.ExecuteStatement("insert into log (ID_h_d) values (?)", {kod});
    MonitorDatabase.ExecuteStatement("insert into Ping_data (ID_h) values (?)", {kod});
    MonitorDatabase.ExecuteStatement("insert into traf_p (ID_p) values (?)", {port});
    Select({"h1", "h4", "h8", "p0"}); // p0 is of another group: hidden, so it stays
    Page().Delete_bClick();
    EXPECT_EQ(Shown(), (QStringList{"h0#1", "h2#2", "h3#3", "h5#4", "h6#5", "h7#6", "h9#7"}));
    EXPECT_GE(RowOf("p0"), 0);
    EXPECT_EQ(One("select count(*) from hosts"), "10");
    EXPECT_EQ(One("select count(*) from hosts where Host in ('h1','h4','h8')"), "0");
    for (const char* sql :
         {"select count(*) from m_port where ID_h=?", "select count(*) from log where ID_h_d=?",
          "select count(*) from Ping_data where ID_h=?"}) {
        EXPECT_EQ(One(QString::fromLatin1(sql), {kod}), "0") << sql;
    }
    EXPECT_EQ(One("select count(*) from traf_p where ID_p=?", {port}), "1");

    // Nothing selected: nothing happens.
    Select({});
    Page().Delete_bClick();
    EXPECT_EQ(One("select count(*) from hosts"), "10");
    // Delete all takes every shown row, here the two printers.
    Choose("5");
    Page().DeleteAll_bClick();
    EXPECT_EQ(Shown(), QStringList{});
    EXPECT_EQ(One("select count(*) from hosts where N_group='5'"), "0");
}

TEST_F(HostPageTest, ADeleteDuringMonitoringRestartsOnceAndRefusalsLeaveItRunning) {
    SetMessageBoxHandler([this](const QString&, const QString& Text) { Boxes << Text; });
    TMonitorController& monitor = Services->Controller();
    ASSERT_TRUE(monitor.BitBtn7Click());
    ASSERT_TRUE(WaitFor([&] { return monitor.PassCount() >= 1; }));
    Choose("2");
    Select({"h0", "h1"});
    Page().Delete_bClick();
    int most = 0;
    ASSERT_TRUE(WaitFor([&] {
        most = std::max(most, monitor.RunningCheckThreads());
        return MonitoringActive.load() && !monitor.RestartPending();
    }));
    EXPECT_LE(most, 1);
    EXPECT_EQ(One("select count(*) from hosts where Host in ('h0','h1')"), "0");

    // A group with sub-groups, then the only group: refused, monitoring untouched.
    Choose("1");
    Page().Deletegroup1Click();
    EXPECT_TRUE(MonitoringActive.load());
    EXPECT_FALSE(monitor.RestartPending());
    EXPECT_EQ(Boxes, QStringList{LangText(325)});
    EXPECT_EQ(One("select count(*) from list_group"), "4");
    EXPECT_EQ(One("select count(*) from hosts where N_group='1'"), "1");

    monitor.BitBtn7Click();
    ASSERT_TRUE(WaitFor([&] { return !monitor.ThreadsRunning(); }));
}

TEST_F(HostPageTest, GroupsAreNumberedFromTheMaximumAndNamesRoundTrip) {
    std::vector<QStringList> asked;
    QStringList answers{QStringLiteral("He said \"hi\""), QStringLiteral("Серверы"), QStringLiteral("Name")};
    SetInputBoxHandler(
        [&](const QString& Caption, const QString& Prompt, const QString& Value) -> std::optional<QString> {
            asked.push_back({Caption, Prompt, Value});
            if (answers.isEmpty()) {
                return std::nullopt;
            }
            return answers.takeFirst();
        });
    Page().Createnewgroup1Click();
    EXPECT_EQ(asked.back(), (QStringList{"Input name of new group", "Name of new group", "New group"}));
    EXPECT_EQ(One("select N_group from list_group where Name=?", {QStringLiteral("He said \"hi\"")}), "6");
    EXPECT_EQ(One("select parent_id is null from list_group where N_group=6"), "1");

    Choose("5");
    Page().Createsubgroup1Click();
    EXPECT_EQ(asked.back(), (QStringList{LangText(326), LangText(327), LangText(328)}));
    EXPECT_EQ(
        One("select N_group || '|' || parent_id from list_group where Name=?", {QStringLiteral("Серверы")}),
        "7|5");
    ASSERT_NE(Node("7"), nullptr);
    EXPECT_EQ(Node("7")->parent(), Node("5"));

    // Rename the quoted group to a plain name and back; the box starts from the current name.
    Page().TreeView1->setCurrentItem(Node("6"));
    Page().Renamegroup1Click();
    EXPECT_EQ(asked.back()[2], "He said \"hi\"");
    EXPECT_EQ(One("select Name from list_group where N_group=6"), "Name");
    answers = {QStringLiteral("He said \"hi\"")};
    Page().Renamegroup1Click();
    EXPECT_EQ(One("select Name from list_group where N_group=6"), "He said \"hi\"");
    EXPECT_EQ(Node("6")->text(0), "He said \"hi\"");
    answers = {QStringLiteral("Принтеры «A»")};
    Page().TreeView1->setCurrentItem(Node("7"));
    Page().Renamegroup1Click();
    EXPECT_EQ(One("select Name from list_group where N_group=7"), QStringLiteral("Принтеры «A»"));
    answers = {QStringLiteral("Серверы")};
    Page().Renamegroup1Click();
    EXPECT_EQ(One("select Name from list_group where N_group=7"), QStringLiteral("Серверы"));
    Page().TreeView1->setCurrentItem(Node("6"));
    // Cancel and an empty name change nothing.
    Page().Renamegroup1Click();
    answers = {QString()};
    Page().Createnewgroup1Click();
    EXPECT_EQ(One("select count(*) from list_group"), "6");

    // group_list.cnfg: one node per line, indented by depth; lg_2.cnfg is the grid's text file.
    QFile list(Q(Dir.file("group_list.cnfg")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(list.readAll()),
              "Servers\r\n  Web\r\nOffice\r\nPrinters\r\n  Серверы\r\nHe said \"hi\"\r\n");
    QFile grid(Q(Dir.file("lg_2.cnfg")));
    ASSERT_TRUE(grid.open(QIODevice::ReadOnly));
    EXPECT_TRUE(grid.readAll().startsWith("\xFF\xFE"));
    // The window's tree for the other users (remote commands) follows.
    EXPECT_EQ(Form->GroupNodes.size(), 6u);
}

TEST_F(HostPageTest, DeletingAGroupTakesItsHostsThenTheGroup) {
    Choose("5");
    Page().Deletegroup1Click();
    EXPECT_EQ(Node("5"), nullptr);
    EXPECT_EQ(One("select count(*) from list_group where N_group=5"), "0");
    EXPECT_EQ(One("select count(*) from hosts where N_group='5'"), "0");
    EXPECT_EQ(RowOf("p0"), -1);
    EXPECT_EQ(One("select count(*) from hosts"), "11");

    // Down to the only group: refused with 324, nothing changes.
    SetMessageBoxHandler([this](const QString&, const QString& Text) { Boxes << Text; });
    for (const char* group : {"2", "3"}) {
        Page().TreeView1->setCurrentItem(Node(group));
        Page().Deletegroup1Click();
    }
    EXPECT_TRUE(Boxes.isEmpty());
    Page().TreeView1->setCurrentItem(Node("1"));
    Page().Deletegroup1Click();
    EXPECT_EQ(Boxes, QStringList{LangText(324)});
    EXPECT_EQ(One("select group_concat(Name) from list_group"), "Servers");
    EXPECT_EQ(One("select group_concat(Host) from hosts"), "s0");
    EXPECT_NE(Node("1"), nullptr);
}

TEST_F(HostPageTest, MovingGroupsSwapsTheirRowsSoAReloadKeepsOrderAndHosts) {
    auto topNames = [this] {
        QStringList names;
        for (int i = 0; i < Page().TreeView1->topLevelItemCount(); ++i) {
            names << Page().TreeView1->topLevelItem(i)->text(0);
        }
        return names;
    };
    Page().TreeView1->setCurrentItem(Node("5"));
    Page().BitBtn28Click();
    EXPECT_EQ(topNames(), (QStringList{"Servers", "Printers", "Office"}));
    Page().TreeView1->setCurrentItem(Node("1"));
    Page().BitBtn29Click();
    EXPECT_EQ(topNames(), (QStringList{"Printers", "Servers", "Office"}));
    // The first node moves up nowhere, the last down nowhere.
    Page().TreeView1->setCurrentItem(Node("5"));
    Page().BitBtn28Click();
    Page().TreeView1->setCurrentItem(Node("2"));
    Page().BitBtn29Click();
    EXPECT_EQ(topNames(), (QStringList{"Printers", "Servers", "Office"}));
    EXPECT_EQ(Node("3")->parent(), Node("1"));

    const TGroupTree tree = BuildGroupTree(MonitorDatabase);
    QStringList loaded;
    for (const TGroupTreeNode& node : tree) {
        loaded << node.Caption + u'=' + node.Record->Group + u'<' + node.Record->ParentGroup;
    }
    EXPECT_EQ(loaded, (QStringList{"Printers=5<", "Servers=1<", "Office=2<", "Web=3<1"}));
    EXPECT_EQ(One("select count(*) from hosts where N_group='5'"), "2");
}

TEST_F(HostPageTest, FiltersUnderShowAllAndTheStatusWords) {
    Choose("2");
    Page().BitBtn12Click();
    EXPECT_TRUE(HostView.ShowAllHosts);
    EXPECT_EQ(Page().GroupBox3->title(), LangText(329));
    EXPECT_EQ(Shown().size(), 13);
    // The IP filter acts on every row.
    Page().Edit2->setText(QStringLiteral("127.0.1."));
    EXPECT_EQ(Shown(), (QStringList{"p0#1", "p1#2"}));
    Page().Edit2->clear();
    EXPECT_EQ(Shown().size(), 13);
    // The name filter only on the last chosen group (2): p0 and s0 keep their flags.
    Page().Edit1->setText(QStringLiteral("H3"));
    EXPECT_EQ(Shown(), (QStringList{"h3#1", "p0#2", "p1#3", "s0#4"}));
    Page().Edit1->clear();

    Choose("2");
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + QStringLiteral(": Office"));
    // Not Up hides the OK rows of every group; All shows every group.
    Page().ComboBox2->setCurrentIndex(5);
    EXPECT_EQ(Shown(), (QStringList{"h0#1", "h2#2", "h4#3", "h6#4", "h8#5", "p1#6"}));
    EXPECT_EQ(HostView.StatusFilterWord, "5");
    Page().ComboBox2->setCurrentIndex(6);
    EXPECT_EQ(Shown().size(), 13);
    EXPECT_EQ(Services->Settings().Snapshot()->StatusFilterWord, "6");

    Choose("1");
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + QStringLiteral(": Servers"));
    Page().TreeView1->setCurrentItem(Node("3"));
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + QStringLiteral(": Servers\\Web"));
    EXPECT_EQ(HostView.SelectedGroup, 3);
    EXPECT_EQ(Page().Label12->text(), "3 Web 1");
}

TEST_F(HostPageTest, EnabledIsStoredPerFlippedRowAndAClickSetsTheStatus) {
    Choose("2");
    Select({"h2", "h3"});
    Page().BitBtn8Click();
    const QString h2 = Cell("Kod_", RowOf("h2"));
    EXPECT_EQ(One("select Enabled from hosts where ID=?", {h2}), "0");
    EXPECT_EQ(One("select count(*) from hosts where Enabled='0'"), "2");
    // A restart reads what was stored.
    Hosts().ClearRows();
    Load();
    EXPECT_FALSE(Hosts().Cell(u"Enabled", RowOf("h2")).GetAsBoolean());
    EXPECT_TRUE(Hosts().Cell(u"Enabled", RowOf("h1")).GetAsBoolean());

    // The check box's click: the new value decides the status word and colour.
    const int row = RowOf("h2");
    const int enabled = Hosts().ColumnIndex(u"Enabled");
    Hosts().SetSelectedRow(row);
    Hosts().Cell(enabled, row).SetAsBoolean(true);
    Page().DataGrid1CellClick(enabled, row);
    EXPECT_EQ(Cell("Status", row), LangText(399));
    EXPECT_EQ(Hosts().Cell(u"Status", row).Color(), clWhite);
    EXPECT_EQ(One("select Enabled from hosts where ID=?", {h2}), "-1");
    Hosts().Cell(enabled, row).SetAsBoolean(false);
    Page().DataGrid1CellClick(enabled, row);
    EXPECT_EQ(Cell("Status", row), LangText(281));
    EXPECT_EQ(Hosts().Cell(u"Status", row).Color(), clGray);
    EXPECT_EQ(One("select Enabled from hosts where ID=?", {h2}), "0");
    // Another column, or a row that is not current, does nothing.
    Page().DataGrid1CellClick(enabled, RowOf("h5"));
    EXPECT_EQ(Cell("Status", RowOf("h5")), "OK");
}

TEST_F(HostPageTest, AddAndEditHandTheDialogItsPreset) {
    Page().TreeView1->setCurrentItem(nullptr);
    Page().Add_bClick();
    EXPECT_TRUE(Presets.empty()); // no chosen group: nothing opens
    Choose("3");
    Page().Add_bClick();
    ASSERT_EQ(Presets.size(), 1u);
    EXPECT_EQ(Presets[0].Mode, THostDialogPreset::TMode::Add);
    EXPECT_EQ(Presets[0].Caption, LangText(285));
    EXPECT_EQ(Presets[0].GroupPath, "Servers\\Web");
    EXPECT_EQ(Presets[0].GroupNumber, 3);
    EXPECT_EQ(Presets[0].Fields.value("Host"), LangText(284));

    Choose("2");
    Select({});
    Page().Edit_bClick();
    EXPECT_EQ(Presets.size(), 1u); // nothing selected: nothing opens
    EXPECT_EQ(Boxes, (QStringList{LangText(405), LangText(406)}));
    Select({"h3", "p0"}); // p0 is hidden: one shown selected row
    Page().Edit_bClick();
    ASSERT_EQ(Presets.size(), 2u);
    EXPECT_EQ(Presets[1].Mode, THostDialogPreset::TMode::Edit);
    EXPECT_EQ(Presets[1].Caption, LangText(287) + QStringLiteral(" h3"));
    EXPECT_EQ(Presets[1].Row, RowOf("h3"));
    EXPECT_EQ(Presets[1].Fields.value("IP"), "127.0.0.13");
    EXPECT_EQ(Presets[1].Fields.value("Note_"), "note of h3");
    EXPECT_EQ(Presets[1].Fields.size(), 19);
    Select({"h3", "h4"});
    Page().Edit_bClick();
    ASSERT_EQ(Presets.size(), 3u);
    EXPECT_EQ(Presets[2].Caption, LangText(288));
    EXPECT_EQ(Presets[2].SelectedRows, (std::vector<int>{RowOf("h3"), RowOf("h4")}));
}

TEST_F(HostPageTest, AddManyHostsGoIntoTheChosenGroupAndItsRangeIsKept) {
    TAdd_M_hosts dialog(*Services);
    dialog.FormCreate();
    Services->Roles().SetAddMany(&dialog);
    Services->Settings().Update([](TSettings& S) { S.IPN_1 = 127, S.IPN_2 = 0, S.IPN_3 = 0; });
    Choose("5");
    QTimer::singleShot(0, &dialog, [&] {
        dialog.IPN_3->setValue(1), dialog.IPN_4->setValue(10), dialog.IPK_4->setValue(20);
        dialog.BitBtn1->click();
    });
    Page().BitBtn1Click();
    Services->Roles().SetAddMany(nullptr);
    EXPECT_EQ(One("select count(*) from hosts where N_group = 5 and IP like '127.0.1.__'"), "11");
    EXPECT_EQ(QString::fromStdString(ztt::ReadFile(Dir.file("Settings.cnfg"))).split("\r\n").mid(31, 3),
              (QStringList{"127", "0", "1"}));
}

TEST_F(HostPageTest, RenamingTheChosenGroupRenamesTheCaption) {
    SetInputBoxHandler([](auto&&...) { return std::optional<QString>("Lab"); });
    Page().Renamegroup1Click();
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + ": Lab");
}

TEST_F(HostPageTest, TreeAndCaptionFollowTheGroupTheHostDialogListed) {
    Page().ShowGroupOfDialog(5);
    EXPECT_EQ(Page().TreeView1->currentItem(), Node("5"));
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + ": Printers");
}

TEST_F(HostPageTest, TheLanguageLoadedAtStartKeepsTheListOnTheChosenGroup) {
    Page().LanguageApplied();
    EXPECT_EQ(Page().GroupBox3->title(), LangText(10) + ": Servers");
    EXPECT_EQ(Shown(), QStringList{"s0#1"});
}

TEST_F(HostPageTest, ANewHostTypeIsInTheTypeFilterAtOnceAndTheListKeepsItsGroup) {
    TTypes_form types(*Services);
    QDir().mkpath(types.TypesFolder);
    ASSERT_EQ(AddHostType(*types.DataGrid1, types.TypesFolder, "Camera", {}), QString());
    types.LoadHostTypes();
    EXPECT_EQ(Page().ComboBox1->itemText(0), "Camera");
    EXPECT_EQ(Shown(), QStringList{"s0#1"});
}

TEST_F(HostPageTest, TheHostDialogsSoundListHoldsEveryFileOfSounds) {
    QDir().mkpath(Q(Dir.file("Sounds")));
    ztt::WriteFile(Dir.file("Sounds/a.mp3"), "x"), ztt::WriteFile(Dir.file("Sounds/b.wav"), "x");
    Page().Add_bClick();
    TTasks_form dialog(*Services);
    dialog.PrepareHost(Presets.at(0));
    EXPECT_EQ(dialog.Edit4->count(), 2);
}

TEST_F(HostPageTest, HostMenuCaptionsAndItsCommands) {
    SetMessageBoxHandler([this](const QString&, const QString& Text) { Boxes << Text; });
    Choose("5");
    // No current row: the first shown row (row 0 is hidden here).
    Hosts().SetSelectedRow(-1);
    Page().PopupMenu2Popup();
    EXPECT_EQ(Page().N1->text(), LangText(330) + QStringLiteral(" p0"));
    EXPECT_EQ(Page().raceroute1->text(), LangText(331) + QStringLiteral(" p0"));
    EXPECT_EQ(Hosts().SelectedRow(), RowOf("p0"));
    // No tools window in this test: its items wait for it.
    EXPECT_FALSE(Page().N1->isEnabled());

    std::vector<QUrl> opened;
    SetShellOpenHandler([&](const QUrl& Url) {
        opened.push_back(Url);
        return true;
    });
    Hosts().Cell(u"IP", RowOf("p0")).SetAsString(QStringLiteral("fe80::1"));
    Page().Explorehost1Click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), "http://[fe80::1]");

    // A stub terminal on PATH records its arguments.
    const std::string bin = Dir.file("bin");
    ztt::RunCommand("mkdir -p " + bin);
    ztt::WriteFile(bin + "/x-terminal-emulator",
                   "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + Dir.file("argv") +
                       ".part\nmv " + Dir.file("argv") + ".part " + Dir.file("argv") + "\n");
    ztt::RunCommand("chmod +x " + bin + "/x-terminal-emulator");
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    Hosts().Cell(u"IP", RowOf("p0")).SetAsString(QStringLiteral("127.0.0.9"));
    Page().CMDPing1Click();
    EXPECT_TRUE(WaitFor([&] { return !ztt::ReadFile(Dir.file("argv")).empty(); }, 5000));
    EXPECT_EQ(ztt::ReadFile(Dir.file("argv")), "-e\nping\n127.0.0.9\n");
    std::remove(Dir.file("argv").c_str());
    Page().elnet1Click();
    EXPECT_TRUE(WaitFor([&] { return !ztt::ReadFile(Dir.file("argv")).empty(); }, 5000));
    EXPECT_EQ(ztt::ReadFile(Dir.file("argv")), "-e\ntelnet\n127.0.0.9\n");
    std::remove(Dir.file("argv").c_str());
    // An address that would read as an option, or holds a blank, is refused.
    for (const char* address : {"-x", "127.0.0.9 -f", "a\tb"}) {
        Hosts().Cell(u"IP", RowOf("p0")).SetAsString(QString::fromLatin1(address));
        Boxes.clear();
        Page().CMDPing1Click();
        EXPECT_EQ(Boxes.size(), 1) << address;
    }
    // No terminal at all gives a message.
    setenv("PATH", Dir.file("nothing").c_str(), 1);
    Hosts().Cell(u"IP", RowOf("p0")).SetAsString(QStringLiteral("127.0.0.9"));
    Boxes.clear();
    Page().CMDPing1Click();
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].contains("x-terminal-emulator"));
    QApplication::processEvents();
    EXPECT_TRUE(ztt::ReadFile(Dir.file("argv")).empty());

    // An empty table gives the fallback captions.
    Page().DeleteAll_bClick();
    Page().BitBtn12Click();
    Page().DeleteAll_bClick();
    ASSERT_EQ(Hosts().RowCount(), 0);
    Page().PopupMenu2Popup();
    EXPECT_EQ(Page().N1->text(), LangText(332));
    EXPECT_EQ(Page().raceroute1->text(), LangText(333));
    Boxes.clear();
    Page().CMDPing1Click();
    Page().Explorehost1Click();
    EXPECT_EQ(Boxes, QStringList(2, LangText(406)));
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(HostPageTest, ALogEventsDoubleClickShowsOnlyItsHost) {
    TDataGrid& events = Form->LogPages().Logs_grid();
    const int row = events.AddRow();
    events.Cell(u"ID_h_d", row).SetAsString(Cell("Kod_", RowOf("p1")));
    Choose("2");
    events.OnCellDblClick(nullptr, 1, row);
    EXPECT_EQ(Shown(), QStringList{"p1#1"});
    EXPECT_EQ(HostView.SelectedGroup, 5);
}

TEST_F(HostPageTest, AHostDraggedOntoGroup5IsStoredThereAndHidden) {
    Form->show();
    Form->PageControl1->setCurrentWidget(Form->TabSheet1);
    Choose("2");
    QApplication::processEvents();
    TGxGridView& view = *Page().HostGridView;
    auto press = [&](int Row) {
        return view.CellRect(Hosts().ColumnIndex(u"Host"), Row).center();
    };
    auto node = [&](const char* Group) {
        QTreeWidget* tree = Page().TreeView1;
        return tree->viewport()->mapToGlobal(tree->visualItemRect(Node(Group)).center());
    };
    auto drag = [&](int Row, QPoint To) {
        Backend->SetTime(0);
        Backend->SetInput(
            {{TScriptedInput::siMove, 250, view.viewport()->mapToGlobal(press(Row)) + QPoint(30, 0)}});
        Backend->SetDragScript(
            {TDragStep::Move(To), TDragStep::Move(To + QPoint(1, 1)), TDragStep::Release()});
        return Page().DataGrid1MouseDown(press(Row));
    };
    const int h3 = RowOf("h3");
    const QString kod = Cell("Kod_", h3);
    ASSERT_TRUE(drag(h3, node("5")));
    ASSERT_EQ(Backend->Drags().size(), 1u);
    EXPECT_EQ(Backend->Drags()[0].OkEffects, DROPEFFECT_COPY);
    EXPECT_EQ(One("select N_group from hosts where ID=?", {kod}), "5");
    EXPECT_FALSE(Hosts().GetRowVisible(h3));
    EXPECT_EQ(Cell("N_group", h3), "5");
    EXPECT_EQ(Shown().size(), 9);
    EXPECT_EQ(Shown().last(), "h9#9");

    // Sorted by name, descending: the row under the pointer is the one that goes.
    Hosts().SortColumn(Hosts().Columns().ColumnByName("Host"), false);
    QApplication::processEvents();
    ASSERT_EQ(Cell("Host", 0), "s0");
    const int h9 = RowOf("h9");
    ASSERT_TRUE(drag(h9, node("5")));
    EXPECT_EQ(One("select N_group from hosts where Host='h9'"), "5");
    EXPECT_FALSE(Hosts().GetRowVisible(h9));

    // Off every node, and foreign texts: nothing changes.
    const QString before = One("select group_concat(N_group) from hosts");
    QTreeWidget* tree = Page().TreeView1;
    ASSERT_TRUE(drag(RowOf("h0"), tree->viewport()->mapToGlobal(QPoint(20, tree->viewport()->height() - 5))));
    for (const char* text : {"999|0", "abc", "|3"}) {
        TStaticDataObject foreign;
        const QString value = QString::fromLatin1(text);
        foreign.Put(CF_UNICODETEXT,
                    QByteArray(reinterpret_cast<const char*>(value.utf16()), value.size() * 2 + 2));
        uint32_t effect = 0;
        Backend->RunForeignDrag(&foreign, DROPEFFECT_COPY, {TDragStep::Move(node("5")), TDragStep::Release()},
                                &effect);
    }
    EXPECT_EQ(One("select group_concat(N_group) from hosts"), before);
    EXPECT_EQ(Shown().size(), 8);

    // Under Show all hosts the moved row stays shown.
    Page().BitBtn12Click();
    const int h0 = RowOf("h0");
    ASSERT_TRUE(drag(h0, node("1")));
    EXPECT_EQ(Cell("N_group", h0), "1");
    EXPECT_TRUE(Hosts().GetRowVisible(h0));
    Form->hide();
}

TEST_F(HostPageTest, TreeExpansionIsWrittenAtCloseAndAShortFileLeavesLaterNodes) {
    Node("1")->setExpanded(true);
    Node("5")->setExpanded(false);
    Form->FormCloseQuery();
    EXPECT_EQ(ztt::ReadFile(Dir.file("tr_ex.cnfg")), "-1\r\n0\r\n0\r\n0\r\n");
    // Saved settings carry the view state.
    Choose("5");
    Form->SaveSettings();
    const QStringList lines = QString::fromStdString(ztt::ReadFile(Dir.file("Settings.cnfg"))).split("\r\n");
    ASSERT_GT(lines.size(), 36);
    EXPECT_EQ(lines[35], "5");
    EXPECT_EQ(lines[36], "0");

    ztt::WriteFile(Dir.file("tr_ex.cnfg"), "0\r\n");
    Node("1")->setExpanded(true);
    Node("3")->setExpanded(true);
    Page().RestoreTreeExpansion();
    EXPECT_FALSE(Node("1")->isExpanded());
    EXPECT_TRUE(Node("3")->isExpanded());
}

TEST_F(HostPageTest, ThePageShownWithItsControls) {
    Form->PageControl1->setCurrentWidget(Form->TabSheet1);
    Choose("2");
    Form->show();
    QApplication::processEvents();
    QWidget* const widgets[] = {Page().Add_b, Page().Delete_b,  Page().BitBtn12,
                                Page().Edit1, Page().ComboBox2, Page().TreeView1};
    for (QWidget* w : widgets) {
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
    }
    EXPECT_EQ(Page().ComboBox2->currentIndex(), 6);
    EXPECT_NE(Form->findChild<QMenu*>("ools1"), nullptr);
    EXPECT_NE(Form->findChild<QMenu*>("Help1"), nullptr);
    // The host menu opens where the list was right-clicked, with the host's captions.
    const QPoint at = Page().HostGridView->viewport()->mapToGlobal(QPoint(60, 30));
    emit Page().HostGridView->customContextMenuRequested(QPoint(60, 30));
    QApplication::processEvents();
    EXPECT_TRUE(Page().PopupMenu2->isVisible());
    EXPECT_EQ(Page().PopupMenu2->pos(), at);
    EXPECT_EQ(Page().N1->text(), LangText(330) + QStringLiteral(" h0"));
    if (const char* dir = std::getenv("ZT_SCREENSHOTS")) {
        Form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/HostPage.png"));
        Page().PopupMenu2->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/HostMenu.png"));
    }
    Page().PopupMenu2->hide();
    Form->hide();
}

TEST_F(HostPageTest, ClickAndCtrlClickSelectTheRowsADeleteTakes) {
    Form->PageControl1->setCurrentWidget(Form->TabSheet1);
    Choose("2");
    Form->show();
    QApplication::processEvents();
    TGxGridView& view = *Page().HostGridView;
    const int host = Hosts().ColumnIndex(u"Host");
    // Each press is let go at 100 ms: a click, never a drag.
    auto click = [&](const char* Name, Qt::KeyboardModifiers Keys) {
        Backend->SetTime(0);
        Backend->SetInput({{TScriptedInput::siButtonUp, 100, QPoint()}});
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Keys, view.CellRect(host, RowOf(Name)).center());
    };
    click("h2", {});
    click("h5", Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(Hosts().GetRowSelected(RowOf("h2")));
    EXPECT_TRUE(Hosts().GetRowSelected(RowOf("h5")));
    EXPECT_FALSE(Hosts().GetRowSelected(RowOf("h3")));
    EXPECT_TRUE(Backend->Drags().empty());
    Page().Delete_b->click();
    EXPECT_EQ(Shown(), (QStringList{"h0#1", "h1#2", "h3#3", "h4#4", "h6#5", "h7#6", "h8#7", "h9#8"}));
    Form->hide();
}

TEST_F(HostPageTest, HostNamesWidenWhereThereIsRoomAndALongDescriptionScrollsSideways) {
    AddHost("charlieprinter-floor2", "127.0.1.9", "1", "OK");
    MonitorDatabase.ExecuteStatement("update hosts set Note_ = ?", {QString(200, u'n')});
    Load();
    Form->resize(1100, 600);
    Form->show();
    QApplication::processEvents();
    TGxGridView& view = *Page().HostGridView;
    const int host = Hosts().ColumnIndex(QStringLiteral("Host"));
    EXPECT_EQ(Hosts().Columns().GetColumn(host)->Width(), view.BestFitWidth(host));
    TSettings settings;
    settings.CheckBox_note = true;
    ApplyColumnVisibility(Hosts(), settings);
    Page().DataGrid1Resize();
    const int note = Hosts().ColumnIndex(QStringLiteral("Note_"));
    EXPECT_EQ(Hosts().Columns().GetColumn(note)->Width(), view.BestFitWidth(note)); // not cut at the edge
    EXPECT_TRUE(view.HorzScrollBar().Visible());
}
