// The online monitoring page offscreen: controls under their names, the timers and the auto-update
// box, the group tree's icons, the chosen host kept by id through a refresh for the menu and the
// double click, and the menu's actions with the host's own address.
#include "ui/main/OnlinePage.h"

#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/OnlineMonitor.h"
#include "core/SettingsModel.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "ui/main/HostActions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class OnlinePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        HostActions() = THostActions{};
        CreateHostGridColumns(Hosts);
        Tree.push_back(Node(-1, "Office", "1"));
        Tree.push_back(Node(0, "Lab", "2"));
        auto* layout = new QVBoxLayout(&Window);
        TreeView1 = new QTreeWidget(&Window);
        layout->addWidget(TreeView1);
        Page = new QWidget(&Window);
        layout->addWidget(Page, 1);
        auto* office = new QTreeWidgetItem(TreeView1, {"Office"});
        office->setData(0, Qt::UserRole, 0);
        auto* lab = new QTreeWidgetItem(office, {"Lab"});
        lab->setData(0, Qt::UserRole, 1);
        Online = std::make_unique<TOnlinePage>(
            *Page, TOnlinePage::TParts{&Hosts, [this]() -> const TGroupTree& { return Tree; }, TreeView1,
                                       [this] {
                                           ++Popups;
                                       }});
        Online->FormCreate(Settings);
        Window.resize(1000, 500);
    }
    void TearDown() override {
        Online.reset();
        HostActions() = THostActions{};
    }
    static TGroupTreeNode Node(int Parent, const char* Name, const char* Group) {
        auto record = std::make_shared<TGroupNodeRecord>();
        record->Name = Name;
        record->Group = Group;
        return {Parent, Name, record};
    }
    int AddHost(const char* Kod, const char* Name, const char* Address, const char* Status, const char* Group,
                int Day) {
        const int row = Hosts.AddRow();
        Hosts.Cell(u"Kod_", row).SetAsString(Kod);
        Hosts.Cell(u"Host", row).SetAsString(Name);
        Hosts.Cell(u"IP", row).SetAsString(Address);
        Hosts.Cell(u"Status", row).SetAsString(Status);
        Hosts.Cell(u"N_group", row).SetAsString(Group);
        Hosts.Cell(u"Comunity", row).SetAsString("public");
        Hosts.Cell(u"Date_Pod", row)
            .SetAsString(
                DateTimeToDisplayText(QDateTimeToDateTime(QDateTime(QDate(2026, 3, Day), QTime(9, 0)))));
        return row;
    }
    int Image(QTreeWidgetItem* Item) { return Item->data(0, Qt::UserRole + 1).toInt(); }
    QString Listed(int Row) { return Online->DownGrid->CellText(OnlineColumn::Host, Row); }

    TDataGrid Hosts;
    TGroupTree Tree;
    TSettingsModel Settings;
    QWidget Window;
    QTreeWidget* TreeView1 = nullptr;
    QWidget* Page = nullptr;
    std::unique_ptr<TOnlinePage> Online;
    int Popups = 0;
};

} // namespace

TEST_F(OnlinePageTest, ControlsTimersAndCaptions) {
    for (const char* name : {"GroupBox5", "DownGrid", "AutoUpdate_CheckBox1", "SpinEdit1", "Label19",
                             "BitBtn35", "PopupMenu1", "MenuItem1", "MenuItem2", "MenuItem3", "MenuItem4",
                             "MenuItem5", "MenuItem6", "MenuItem7", "MenuItem8"})
        EXPECT_NE(Page->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(Online->GroupBox5->title(), "Not Up:");
    EXPECT_EQ(Online->AutoUpdate_CheckBox1->text(), "Auto update every");
    EXPECT_TRUE(Online->AutoUpdate_CheckBox1->isChecked());
    EXPECT_EQ(Online->SpinEdit1->value(), 30);
    EXPECT_EQ(Online->BitBtn35->text(), "Refresh now");
    EXPECT_EQ(Online->MenuItem1->text(), "Edit");
    EXPECT_EQ(Online->MenuItem2->text(), "Explore the host");
    EXPECT_EQ(Online->MenuItem6->text(), "Connect by telnet");
    EXPECT_EQ(Online->MenuItem8->text(), "View Syslog");
    EXPECT_TRUE(Online->Timer7.isActive());
    EXPECT_EQ(Online->Timer7.interval(), 30000);
    EXPECT_TRUE(Online->Timer8.isActive());
    EXPECT_EQ(Online->Timer8.interval(), 5000);
    // The settings drive both controls.
    Settings.Update([](TSettings& S) {
        S.SpinEdit1 = 12;
        S.AutoUpdate_CheckBox1 = false;
    });
    EXPECT_EQ(Online->SpinEdit1->value(), 12);
    EXPECT_FALSE(Online->AutoUpdate_CheckBox1->isChecked());
    Online->BitBtn35->click();
    EXPECT_EQ(Online->Timer7.interval(), 12000);
    Online->PopupMenu1->popup(QPoint(10, 10));
    EXPECT_EQ(Popups, 1);
    Online->PopupMenu1->hide();
}

TEST_F(OnlinePageTest, RefreshListsHostsAndLightsTheTreeIcons) {
    AddHost("1", "lab-switch", "192.0.2.1", "Down", "2", 3);
    AddHost("2", "office-pc", "192.0.2.2", "Disabled", "1", 2);
    AddHost("3", "office-ok", "192.0.2.3", "OK", "1", 1);
    Online->BitBtn35->click();
    ASSERT_EQ(Online->DownGrid->RowCount(), 2);
    EXPECT_EQ(Listed(0), "lab-switch");
    EXPECT_EQ(Listed(1), "office-pc");
    EXPECT_EQ(Online->DownGrid->Cell(OnlineColumn::Status, 1).Color(), 0x808080u);
    QTreeWidgetItem* office = TreeView1->topLevelItem(0);
    QTreeWidgetItem* lab = office->child(0);
    EXPECT_EQ(Image(office), 0); // its only down host sits in the sub-group
    EXPECT_EQ(Image(lab), 1);
    EXPECT_FALSE(lab->icon(0).isNull());
    Window.show();
    QApplication::processEvents();
    const char* dir = std::getenv("ZT_SCREENSHOTS");
    const QString path =
        (dir ? QString::fromLocal8Bit(dir) : QDir::tempPath()) + QStringLiteral("/zt_online_page.png");
    Window.grab().save(path);
    std::printf("screenshot: %s\n", qPrintable(path));
    // The description column takes the rest of the width.
    const int visible = Online->DownGrid->Columns().TotalVisibleWidth();
    const int room = Online->DownGridView->viewport()->width();
    EXPECT_LE(visible, room - 20);
    EXPECT_GE(visible, room - 40);
    EXPECT_GT(Online->DownGrid->Columns().GetColumn(OnlineColumn::Description)->Width(), 60);
    Window.hide();

    Hosts.Cell(u"Status", 0).SetAsString("OK");
    Hosts.Cell(u"Status", 1).SetAsString("OK");
    Online->Timer7Timer();
    EXPECT_EQ(Online->DownGrid->RowCount(), 0);
    EXPECT_EQ(Image(office), 0);
    EXPECT_EQ(Image(lab), 0);
}

TEST_F(OnlinePageTest, ClearingAutoUpdateStopsRefreshesAndRefreshNowStillWorks) {
    Online->SpinEdit1->setValue(1);
    Online->Timer8.setInterval(5000);
    Online->BitBtn35->click(); // takes the 1 s interval
    AddHost("1", "a", "192.0.2.1", "Down", "1", 1);
    QTest::qWait(1500);
    EXPECT_EQ(Online->DownGrid->RowCount(), 1); // the timer refreshed
    Online->AutoUpdate_CheckBox1->setChecked(false);
    QTest::qWait(5200);
    EXPECT_FALSE(Online->Timer7.isActive());
    AddHost("2", "b", "192.0.2.2", "Down", "1", 2);
    QTest::qWait(1500);
    EXPECT_EQ(Online->DownGrid->RowCount(), 1);
    Online->BitBtn35->click();
    EXPECT_EQ(Online->DownGrid->RowCount(), 2);
    // Ticked again: the next Timer8 tick starts the refreshes again.
    Online->AutoUpdate_CheckBox1->setChecked(true);
    Online->Timer8Timer();
    EXPECT_TRUE(Online->Timer7.isActive());
}

TEST_F(OnlinePageTest, TheChosenHostSurvivesARefreshForTheMenuAndTheDoubleClick) {
    QString logs, url, shown, telnet, ping, syslog, snmp;
    bool selectGroup = false;
    HostActions().OpenLogs = [&](const QString& Kod) {
        logs = Kod;
    };
    HostActions().OpenUrl = [&](const QString& Url) {
        url = Url;
    };
    HostActions().ShowHost = [&](const QString& Kod, bool Select) {
        shown = Kod;
        selectGroup = Select;
        return true;
    };
    HostActions().Telnet = [&](const QString& Address) {
        telnet = Address;
    };
    HostActions().PingHost = [&](const QString& Address, const QString& Name) {
        ping = Address + " " + Name;
    };
    HostActions().ViewSyslog = [&](const QString& Address) {
        syslog = Address;
    };
    HostActions().SnmpCheck = [&](const QString& Address, const QString& Community) {
        snmp = Address + " " + Community;
    };
    AddHost("31", "v6-router", "fe80::1", "Down", "1", 5);
    AddHost("32", "older", "192.0.2.32", "Down", "1", 4);
    Online->BitBtn35->click();
    ASSERT_EQ(Listed(0), "v6-router");
    // Right-click on the row of "v6-router" chooses it.
    Window.show();
    QApplication::processEvents();
    const QRect cell = Online->DownGridView->CellRect(OnlineColumn::Host, 0);
    emit Online->DownGridView->customContextMenuRequested(cell.center());
    Online->PopupMenu1->hide();
    EXPECT_EQ(Online->DownGridRow, "31");
    // A newer host goes down: the refresh puts it on top, the chosen host moves.
    AddHost("33", "newest", "192.0.2.33", "Down", "1", 6);
    Online->Timer7Timer();
    ASSERT_EQ(Listed(0), "newest");
    EXPECT_EQ(Online->DownGridRow, "31");
    EXPECT_EQ(Online->DownGrid->SelectedRow(), 1);
    Online->MenuItem7->trigger();
    EXPECT_EQ(logs, "31");
    logs.clear();
    Online->MenuItem1->trigger(); // "Edit": the same host's log
    EXPECT_EQ(logs, "31");
    Online->MenuItem2->trigger();
    EXPECT_EQ(url, "http://[fe80::1]");
    Online->MenuItem6->trigger();
    EXPECT_EQ(telnet, "fe80::1");
    Online->MenuItem3->trigger();
    EXPECT_EQ(ping, "fe80::1 v6-router");
    Online->MenuItem5->trigger();
    EXPECT_EQ(snmp, "fe80::1 public");
    Online->MenuItem8->trigger();
    EXPECT_EQ(syslog, "fe80::1");
    // The double click shows the clicked row's host with its group.
    Online->DownGridCellDblClick(1, 2);
    EXPECT_EQ(shown, "32");
    EXPECT_TRUE(selectGroup);
    Window.hide();

    // The chosen host comes back up: the menu does nothing rather than act on another host.
    Online->DownGridSelectCell(0, 1);
    ASSERT_EQ(Online->DownGridRow, "31");
    Hosts.Cell(u"Status", 0).SetAsString("OK");
    Online->Timer7Timer();
    logs.clear();
    url.clear();
    Online->MenuItem7->trigger();
    Online->MenuItem2->trigger();
    EXPECT_EQ(logs, "");
    EXPECT_EQ(url, "");
}

TEST_F(OnlinePageTest, AnAddressThatReadsAsAnOptionReachesNoCommand) {
    QString telnet = "untouched", url = "untouched";
    HostActions().Telnet = [&](const QString& Address) {
        telnet = Address;
    };
    HostActions().OpenUrl = [&](const QString& Url) {
        url = Url;
    };
    AddHost("41", "evil", "-oProxyCommand=x", "Down", "1", 1);
    Online->BitBtn35->click();
    Online->DownGridSelectCell(0, 0);
    Online->MenuItem2->trigger();
    EXPECT_EQ(url, "untouched");
    Online->MenuItem6->trigger();
    EXPECT_EQ(telnet, "untouched");
}
