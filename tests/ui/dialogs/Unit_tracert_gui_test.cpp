// The tools window's pages 0-3 offscreen: controls under their names with their defaults and
// captions, the menus' entry points, the ping toggle and a loopback ping, Enter in each field,
// the selection buttons and the saved selection, lookups, closing, clicks and screenshots.
#include "core/MonitorServices.h"
#include "ui/dialogs/Unit_tracert.h"

#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/InterfaceWalk.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "core/ToolPing.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "net/pingsend.h"
#include "tests/core/snmpsim_peer.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStackedWidget>
#include <gtest/gtest.h>

namespace {

// Processes events (and so the workers' steps) until Done or LimitMs.
bool WaitFor(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < LimitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

void PressEnter(QWidget* Field) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Field, &press);
}

class ToolsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        CreateMissingTables(Db);
        CreateHostGridColumns(Hosts);
        Hosts.AddRow(2);
        Hosts.Cell(u"Kod_", 0).SetAsString("7");
        Hosts.Cell(u"Host", 0).SetAsString("switch");
        Hosts.Cell(u"IP", 0).SetAsString("10.9.9.9");
        Hosts.Cell(u"Kod_", 1).SetAsString("8");
        Hosts.Cell(u"IP", 1).SetAsString("host-8");
        Hosts.SetSelectedRow(1); // the main grid's current row is another host
        Form.SetDatabase(&Db);
        Form.SetHostGrid(&Hosts);
        Form.SnmpPort = QString::fromStdString(Silent.PortText());
    }
    void TearDown() override {
        Form.FormCloseQuery();
        EXPECT_TRUE(Form.WaitForTools(3000));
    }
    void AddListed(const char* Index, const char* Name, bool Up, const char* Speed) {
        const int row = Form.DataGrid2->AddRow();
        Form.DataGrid2->Cell(1, row).SetAsString(Index);
        TInterfaceRow data;
        data.Name = Name;
        data.InOctets = "100";
        data.OutOctets = "200";
        data.Oper = InterfaceStatusOf(Up ? "1" : "2", false);
        data.Speed = Speed;
        data.Admin = InterfaceStatusOf("1", true);
        WriteInterfaceRow(*Form.DataGrid2, row, data);
    }
    std::vector<std::vector<std::string>> Ports() {
        std::vector<std::vector<std::string>> rows;
        auto table = Db.OpenResultTable("select ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,"
                                        "in_value_pers,out_value_per,speed from m_port order by id");
        for (; !table->AtEnd(); table->NextRow()) {
            std::vector<std::string> row;
            for (int i = 0; i < table->ColumnCount(); ++i)
                row.push_back(table->FieldTextOrEmpty(i).toStdString());
            rows.push_back(row);
        }
        return rows;
    }
    static bool IcmpPossible() { return IcmpSocketKindFor(AF_INET) != ISK_None; }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db{QString::fromStdString(Dir.file("t.db"))};
    TDataGrid Hosts;
    zt::test::SilentUdpAgent Silent;
    TMonitorServices Services{Db, QString::fromStdString(Dir.path())};
    TPing_tracert_form Form{Services};
};

} // namespace

TEST_F(ToolsWindow, ControlsUnderTheirNamesWithTheirDefaults) {
    const char* const names[] = {
        "PageControl1",  "edAddr",          "sedCount",       "btnStart",   "CheckBox1",    "memShowTracert",
        "Edit1",         "Edit2",           "Button1",        "Button2",    "Edit3",        "Button3",
        "Memo1",         "Host_snmp_Edit2", "com_snmp_Edit2", "DataGrid2",  "BitBtn3",      "BitBtn4",
        "BitBtn7",       "BitBtn8",         "BitBtn9",        "BitBtn10",   "ProgressBar2", "Host_snmp_Edit",
        "com_snmp_Edit", "Mib_snmp_Edit",   "Button7",        "BitBtn1",    "Button5",      "BitBtn2",
        "Memo5",         "DataGrid1",       "ProgressBar1",   "PopupMenu1", "GroupBox1",    "GroupBox2",
        "GroupBox3",     "GroupBox4",       "GroupBox5"};
    for (const char* name : names)
        EXPECT_NE(Form.findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    for (int page = 1; page <= 9; ++page)
        EXPECT_NE(Form.findChild<QWidget*>(QStringLiteral("TabSheet%1").arg(page)), nullptr) << page;
    EXPECT_EQ(Form.PageControl1->count(), 9);
    EXPECT_EQ(Form.objectName(), "Ping_tracert_form");
    EXPECT_EQ(Form.sedCount->value(), 32);
    EXPECT_EQ(Form.edAddr->text(), "localhost");
    EXPECT_EQ(Form.Edit3->text(), "localhost");
    EXPECT_EQ(Form.com_snmp_Edit->text(), "vorpal");
    EXPECT_EQ(Form.com_snmp_Edit2->text(), "vorpal");
    QStringList items;
    for (int i = 0; i < Form.Mib_snmp_Edit->count(); ++i)
        items << Form.Mib_snmp_Edit->itemText(i);
    EXPECT_EQ(items, (QStringList{"1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.1.0", "1.3.6.1.4.1.9.1.1",
                                  "1.3.6.1.2.1.2.1.0", "1.3.6.1.2.1.2.2.1.2.1"}));
    EXPECT_EQ(Form.Mib_snmp_Edit->currentText(), "1.3.6.1.2.1.1.3.0");
    EXPECT_TRUE(Form.Mib_snmp_Edit->isEditable());
    EXPECT_EQ(Form.Timer1.interval(), 1000);
    EXPECT_FALSE(Form.Timer1.isActive());
    EXPECT_TRUE(Form.BitBtn2->isHidden());
    EXPECT_TRUE(Form.BitBtn7->isHidden());
    EXPECT_FALSE(Form.Button5->isHidden());
    for (QPushButton* button : Form.findChildren<QPushButton*>())
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    EXPECT_EQ(Form.SnmpUtilPduType, 160);
}

TEST_F(ToolsWindow, EnglishCaptions) {
    EXPECT_EQ(Form.windowTitle(), "TraceRoute");
    const std::pair<QWidget*, const char*> captions[] = {
        {Form.GroupBox1, "Traceroute the host"},
        {Form.btnStart, "Traceroute"},
        {Form.CheckBox1, "Get host name from IP"},
        {Form.Button1, "Get host name from IP"},
        {Form.Button2, "Get IP from host name"},
        {Form.GroupBox2, "Host name from IP address / IP address from host name"},
        {Form.GroupBox3, "Ping the host"},
        {Form.Button3, "Ping"},
        {Form.GroupBox4, "Traffic monitoring"},
        {Form.BitBtn3, "Get interfaces"},
        {Form.BitBtn4, "OK"},
        {Form.BitBtn8, "Deselect all"},
        {Form.BitBtn9, "Select all"},
        {Form.BitBtn10, "Invert"},
        {Form.GroupBox5, "SNMP"},
        {Form.Button7, "Test"},
        {Form.BitBtn1, "Get interfaces"},
        {Form.Button5, "Traffic monitoring"}};
    for (const auto& [widget, text] : captions) {
        QString shown;
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            shown = box->title();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = button->text();
        EXPECT_EQ(shown, text) << widget->objectName().toStdString();
    }
    const std::pair<QLabel*, const char*> labels[] = {
        {Form.Label1, "Host:"},       {Form.Label2, "Max hops"},
        {Form.Label3, "IP address:"}, {Form.Label4, "Host name:"},
        {Form.Label5, "Host:"},       {Form.Label6, "Select interfaces what you want monitoring"},
        {Form.Label7, "Host:"},       {Form.Label8, "Community:"},
        {Form.Label9, "Host:"},       {Form.Label10, "Community:"},
        {Form.Label11, "OID:"}};
    for (const auto& [label, text] : labels)
        EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
    EXPECT_EQ(Form.Enableport1->text(), "Enable port");
    EXPECT_EQ(Form.Disableport1->text(), "Disable port");
    const QStringList headers = {"", "Port",   "Interface name", "Traffic in",   "Traffic out",
                                 "", "Status", "Speed(Mbit/s)",  "Admin status", "#"};
    for (TDataGrid* grid : {Form.DataGrid1.get(), Form.DataGrid2.get()})
        for (int col = 0; col < headers.size(); ++col)
            EXPECT_EQ(grid->Columns().GetColumn(col)->Header().Caption(), headers[col]) << col;
}

TEST_F(ToolsWindow, TranslateCaptionsFollowsTheCurrentLanguage) {
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(zt::test::SourcePath("Data")), "German"));
    Form.Button3Click(); // pinging: the button shows the stop word
    Form.TranslateCaptions();
    EXPECT_EQ(Form.windowTitle(), "Routenverfolgung");
    EXPECT_EQ(Form.btnStart->text(), "Verfolgen");
    EXPECT_EQ(Form.Button3->text(), "Stopp");
    EXPECT_EQ(Form.BitBtn8->text(), "Alle abwählen");
    EXPECT_EQ(Form.DataGrid2->Columns().GetColumn(2)->Header().Caption(), "Schnittstellenname");
    EXPECT_EQ(Form.Label11->text(), "OID:");
    Form.Button3Click();
    LangTexts::UseBuiltInEnglish();
    Form.TranslateCaptions();
    EXPECT_EQ(Form.btnStart->text(), "Traceroute");
}

TEST_F(ToolsWindow, EntryPointsOfTheMenus) {
    Form.OpenPing("127.0.0.1", "srv");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 1);
    EXPECT_EQ(Form.windowTitle(), "Ping the host");
    EXPECT_EQ(Form.GroupBox3->title(), "Ping srv");
    EXPECT_EQ(Form.Edit3->text(), "127.0.0.1");
    EXPECT_TRUE(Form.Timer1.isActive());
    Form.OpenPing("127.0.0.2", "srv2"); // a second call keeps pinging
    EXPECT_TRUE(Form.Timer1.isActive());
    EXPECT_EQ(Form.Button3->text(), "Stop");
    Form.FormCloseQuery();

    Form.OpenSnmpCheck("127.0.0.1", "public");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 3);
    EXPECT_EQ(Form.windowTitle(), "SNMP tool");
    EXPECT_EQ(Form.GroupBox5->title(), "SNMP check tool");
    EXPECT_EQ(Form.Host_snmp_Edit->text(), "127.0.0.1");
    EXPECT_EQ(Form.com_snmp_Edit->text(), "public");
    EXPECT_EQ(Form.Mib_snmp_Edit->currentText(), "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(Form.SnmpUtilOid, "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(Form.SnmpUtilCommunity, "public");
    // Test and Get interfaces are running against a silent agent: both wait, disabled.
    EXPECT_FALSE(Form.Button7->isEnabled());
    EXPECT_FALSE(Form.BitBtn1->isEnabled());
    QElapsedTimer clock;
    clock.start();
    Form.reject();
    EXPECT_TRUE(Form.Button7->isEnabled());
    EXPECT_TRUE(Form.BitBtn1->isEnabled());
    EXPECT_TRUE(Form.WaitForTools(1000));
    EXPECT_LT(clock.elapsed(), 1000);

    Form.DataGrid2->AddRow();
    Form.OpenInterfaceSelection("7", "switch", "127.0.0.1", "public");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 2);
    EXPECT_EQ(Form.windowTitle(), "Traffic monitoring: switch");
    EXPECT_EQ(Form.Host_snmp_Edit2->text(), "127.0.0.1");
    EXPECT_EQ(Form.com_snmp_Edit2->text(), "public");
    EXPECT_EQ(Form.DataGrid2->RowCount(), 0);

    Form.OpenTraceRouteTool("Trace route");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 0);
    EXPECT_EQ(Form.windowTitle(), "Trace route tool");
    EXPECT_EQ(Form.GroupBox1->title(), "Trace route");
    Form.OpenPingTool();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 1);
    EXPECT_EQ(Form.windowTitle(), "Ping tool");
    EXPECT_EQ(Form.GroupBox3->title(), "Ping a host");
    Form.OpenSnmpTool();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 3);
    EXPECT_EQ(Form.windowTitle(), "SNMP tool");
    EXPECT_EQ(Form.GroupBox5->title(), "SNMP check tool");
    Form.Button5->click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 2);
    Form.BitBtn2Click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 2);
}

TEST_F(ToolsWindow, TraceOverLoopbackFromTheHostMenu) {
    if (!IcmpPossible())
        GTEST_SKIP() << "no ICMP echo possible here";
    Form.OpenTraceRoute("127.0.0.1", "srv");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 0);
    EXPECT_EQ(Form.windowTitle(), "Trace route tool");
    EXPECT_EQ(Form.GroupBox1->title(), "Trace route to srv");
    EXPECT_FALSE(Form.btnStart->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return Form.btnStart->isEnabled(); }, 10000));
    const QStringList lines = Form.memShowTracert->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 5) << Form.memShowTracert->toPlainText().toStdString();
    EXPECT_EQ(lines[0], "Tracing route to 127.0.0.1 [127.0.0.1]");
    EXPECT_EQ(lines[1], "over of maximum 32 hops:");
    EXPECT_TRUE(QRegularExpression("^  1:( +\\d+ ms){3}  127\\.0\\.0\\.1$").match(lines[2]).hasMatch());
    EXPECT_EQ(lines[3], "Trace complete.");
}

TEST_F(ToolsWindow, AnUnresolvableTraceGivesTheButtonBack) {
    Form.edAddr->clear();
    Form.btnStartClick();
    ASSERT_TRUE(WaitFor([&] { return Form.btnStart->isEnabled(); }, 5000));
    EXPECT_EQ(Form.memShowTracert->toPlainText(), "Host not found\n");
}

TEST_F(ToolsWindow, PingToggleAndFiveSecondsOfLoopback) {
    if (!IcmpPossible())
        GTEST_SKIP() << "no ICMP echo possible here";
    Form.Memo1->setPlainText("old");
    Form.Edit3->setText("127.0.0.1");
    Form.Button3->click();
    EXPECT_TRUE(Form.Timer1.isActive());
    EXPECT_EQ(Form.Button3->text(), "Stop");
    EXPECT_EQ(Form.Memo1->toPlainText(), "");
    WaitFor([] { return false; }, 5000);
    Form.Button3->click();
    EXPECT_FALSE(Form.Timer1.isActive());
    EXPECT_EQ(Form.Button3->text(), "Ping");
    EXPECT_TRUE(Form.WaitForTools(3000));
    const QStringList lines = Form.Memo1->toPlainText().split('\n');
    EXPECT_GE(lines.size(), 4);
    EXPECT_LE(lines.size(), 6);
    const QRegularExpression shape("^(.+) Reply from 127\\.0\\.0\\.1 bytes=32 time=\\d+ ms$");
    for (const QString& line : lines) {
        const auto match = shape.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_TRUE(DisplayTextToDateTime(match.captured(1)).has_value()) << line.toStdString();
    }
}

TEST_F(ToolsWindow, EachPingTakesItsTargetWhenTheTickStartsIt) {
    if (!IcmpPossible())
        GTEST_SKIP() << "no ICMP echo possible here";
    Form.Edit3->setText("127.0.0.1");
    Form.Timer1Timer();
    Form.Edit3->setText(""); // changed while the echo is under way
    EXPECT_TRUE(Form.WaitForTools(5000));
    EXPECT_TRUE(Form.Memo1->toPlainText().endsWith(" Reply from 127.0.0.1 bytes=32 time=0 ms") ||
                Form.Memo1->toPlainText().contains(" Reply from 127.0.0.1 bytes=32 time="))
        << Form.Memo1->toPlainText().toStdString();
}

TEST_F(ToolsWindow, ClosingStopsPingingAndIsAlwaysAllowed) {
    Form.Button3Click();
    Form.show();
    EXPECT_TRUE(Form.close());
    EXPECT_FALSE(Form.isVisible());
    EXPECT_FALSE(Form.Timer1.isActive());
    EXPECT_EQ(Form.Button3->text(), "Ping");
}

TEST_F(ToolsWindow, EnterActsOnTheFieldsOwnPage) {
    Form.Edit3->setText("");
    PressEnter(Form.Edit3);
    EXPECT_TRUE(Form.Timer1.isActive());
    EXPECT_TRUE(Form.btnStart->isEnabled());
    EXPECT_EQ(Form.memShowTracert->toPlainText(), "");
    PressEnter(Form.Edit3);
    EXPECT_FALSE(Form.Timer1.isActive());

    for (QLineEdit* field : {Form.Host_snmp_Edit, Form.com_snmp_Edit}) {
        Form.Host_snmp_Edit->setText("127.0.0.1");
        PressEnter(field);
        EXPECT_FALSE(Form.Button7->isEnabled());
        EXPECT_TRUE(Form.BitBtn3->isEnabled());
        EXPECT_TRUE(Form.btnStart->isEnabled());
        Form.FormCloseQuery();
    }
    for (QLineEdit* field : {Form.Host_snmp_Edit2, Form.com_snmp_Edit2}) {
        Form.Host_snmp_Edit2->setText("127.0.0.1");
        PressEnter(field);
        EXPECT_FALSE(Form.BitBtn3->isEnabled());
        EXPECT_FALSE(Form.BitBtn4->isEnabled()) << "no save of a half-listed device";
        EXPECT_TRUE(Form.Button7->isEnabled());
        EXPECT_TRUE(Form.btnStart->isEnabled());
        Form.FormCloseQuery();
    }
    Form.edAddr->setText("");
    PressEnter(Form.edAddr);
    ASSERT_TRUE(WaitFor([&] { return Form.btnStart->isEnabled(); }, 5000));
    EXPECT_EQ(Form.memShowTracert->toPlainText(), "Host not found\n");
    EXPECT_FALSE(Form.Timer1.isActive());
}

TEST_F(ToolsWindow, SelectDeselectInvert) {
    AddListed("1", "a", true, "1");
    AddListed("2", "b", false, "1");
    AddListed("3", "c", false, "1");
    auto ticks = [&] {
        QString t;
        for (int r = 0; r < Form.DataGrid2->RowCount(); ++r)
            t += Form.DataGrid2->Cell(0, r).GetAsBoolean() ? '1' : '0';
        return t;
    };
    EXPECT_EQ(ticks(), "100"); // the walk ticked the interface that is up
    Form.BitBtn10->click();
    EXPECT_EQ(ticks(), "011");
    Form.BitBtn9->click();
    EXPECT_EQ(ticks(), "111");
    Form.BitBtn8->click();
    EXPECT_EQ(ticks(), "000");
}

TEST_F(ToolsWindow, OkSavesForTheHostTheWindowWasOpenedFor) {
    int requests = 0;
    QObject::connect(&Form, &TPing_tracert_form::Portmonitoring2Requested, [&] { ++requests; });
    Form.OpenInterfaceSelection("7", "switch", "198.18.30.1", "public");
    AddListed("1", "eth0 - uplink", true, "1000");
    AddListed("2", "eth1", false, "0");
    Form.BitBtn4->click();
    EXPECT_EQ(requests, 1);
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(Ports(), (Rows{{"7", "1", "eth0 - uplink", "-1", "0", "0", "70", "70", "1000"},
                             {"7", "2", "eth1", "0", "0", "0", "70", "70", "100"}}));
    EXPECT_EQ(Hosts.CellText(Hosts.ColumnIndex(u"IP"), 0), "198.18.30.1");
    EXPECT_EQ(Hosts.CellText(Hosts.ColumnIndex(u"Comunity"), 0), "public");
    EXPECT_TRUE(Hosts.Cell(u"Port_check", 0).GetAsBoolean());
    EXPECT_EQ(Hosts.CellText(Hosts.ColumnIndex(u"IP"), 1), "host-8");
    EXPECT_FALSE(Hosts.Cell(u"Port_check", 1).GetAsBoolean());
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4); // on to the host's monitored interfaces

    // A failing save keeps the stored rows and the host row as they were.
    Form.OpenInterfaceSelection("7", "switch", "198.18.30.1", "public");
    AddListed("1", "eth0 - uplink", true, "1000");
    AddListed("2", "eth1", false, "0");
    Db.ExecuteStatement("create trigger refuse before insert on m_port begin select raise(abort, 'no'); end");
    Hosts.Cell(u"Port_check", 0).SetAsBoolean(false);
    Form.BitBtn10->click();
    Form.BitBtn4->click();
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(Ports().size(), 2u);
    EXPECT_EQ(Ports()[0][3], "-1");
    EXPECT_FALSE(Hosts.Cell(u"Port_check", 0).GetAsBoolean());
    Db.ExecuteStatement("drop trigger refuse");

    // The host was deleted meanwhile: nothing is saved.
    Form.OpenInterfaceSelection("7", "switch", "198.18.30.1", "public");
    AddListed("1", "eth0 - uplink", true, "1000");
    AddListed("2", "eth1", false, "0");
    Hosts.DeleteRow(0);
    Form.BitBtn10->click();
    Form.BitBtn4->click();
    EXPECT_EQ(requests, 3);
    EXPECT_EQ(Ports()[0][3], "-1");
    EXPECT_EQ(Ports()[1][3], "0");

    // Opened without a host (the Tools menu): nothing is saved either.
    Form.OpenSnmpTool();
    Form.Button5->click();
    Form.BitBtn4->click();
    EXPECT_EQ(Ports().size(), 2u);
}

TEST_F(ToolsWindow, LookupsBothWays) {
    Form.Edit1->setText("127.0.0.1");
    Form.Button1->click();
    EXPECT_FALSE(Form.Button1->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return Form.Button1->isEnabled(); }, 5000));
    EXPECT_EQ(Form.Edit2->text(), "localhost");
    Form.Edit1->clear();
    Form.Button2->click();
    ASSERT_TRUE(WaitFor([&] { return Form.Button2->isEnabled(); }, 5000));
    EXPECT_EQ(Form.Edit1->text(), "127.0.0.1");
    // A name that is empty resolves to nothing and leaves the address field alone.
    Form.Edit2->clear();
    Form.Button2->click();
    ASSERT_TRUE(WaitFor([&] { return Form.Button2->isEnabled(); }, 5000));
    EXPECT_EQ(Form.Edit1->text(), "127.0.0.1");
    Form.Edit1->setText("no address");
    Form.Button1->click();
    ASSERT_TRUE(WaitFor([&] { return Form.Button1->isEnabled(); }, 5000));
    EXPECT_EQ(Form.Edit2->text(), "");
}

TEST_F(ToolsWindow, ClicksInTheInterfaceLists) {
    Form.resize(780, 560);
    Form.PageControl1->setCurrentIndex(2);
    Form.show();
    AddListed("1", "a", false, "1");
    AddListed("2", "b", false, "1");
    QApplication::processEvents();
    auto click = [](TGxGridView* view, int col, int row, Qt::MouseButton button) {
        const QPoint at = view->CellRect(col, row).center();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), view->viewport()->mapToGlobal(QPointF(at)),
                          button, button, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
    };
    click(Form.DataGrid2View, 0, 1, Qt::LeftButton);
    EXPECT_TRUE(Form.DataGrid2->Cell(0, 1).GetAsBoolean());
    EXPECT_FALSE(Form.DataGrid2->Cell(0, 0).GetAsBoolean());
    EXPECT_EQ(Form.DataGrid2->SelectedRow(), 1);
    click(Form.DataGrid2View, 2, 0, Qt::LeftButton);
    EXPECT_FALSE(Form.DataGrid2->Cell(0, 0).GetAsBoolean());
    EXPECT_EQ(Form.DataGrid2->SelectedRow(), 0);

    Form.PageControl1->setCurrentIndex(3);
    for (const char* index : {"4", "5"}) {
        const int row = Form.DataGrid1->AddRow();
        Form.DataGrid1->Cell(1, row).SetAsString(index);
    }
    QApplication::processEvents();
    click(Form.DataGrid1View, 2, 1, Qt::RightButton);
    EXPECT_EQ(Form.DataGrid1->SelectedRow(), 1);
    EXPECT_TRUE(Form.PopupMenu1->isVisible());
    Form.PopupMenu1->hide();
    // "Disable port" works on the selected row: the SET is under way, the items wait for it.
    Form.Disableport1->trigger();
    EXPECT_FALSE(Form.Disableport1->isEnabled());
    Form.FormCloseQuery();
    EXPECT_TRUE(Form.Disableport1->isEnabled());
    Form.hide();
}

TEST_F(ToolsWindow, PortSwitchWithoutARowDoesNothing) {
    Form.Enableport1Click();
    Form.Disableport1Click();
    Form.DataGrid1CellClick(10, 0);
    EXPECT_EQ(Form.RunningTools(), 0);
    EXPECT_TRUE(Form.Enableport1->isEnabled());
}

TEST_F(ToolsWindow, Screenshots) {
    Form.resize(780, 560);
    Form.show();
    Form.memShowTracert->setPlainText(
        "Tracing route to trace-target [198.18.43.2]\nover of maximum 32 hops:\n"
        "  1:      0 ms      0 ms      0 ms  hop-one[198.18.41.1]\n"
        "  2:     *         1 ms     *      [198.18.42.2]\n"
        "  3:      0 ms      0 ms      0 ms  trace-target[198.18.43.2]\n"
        "Trace complete.");
    Form.Edit1->setText("127.0.0.1");
    Form.Edit2->setText("localhost");
    Form.Memo1->setPlainText(DatedPingLine(NowDateTime(), "Reply from 127.0.0.1 bytes=32 time=0 ms") + "\n" +
                             DatedPingLine(NowDateTime(), "Destination host unreachable."));
    Form.Host_snmp_Edit2->setText("127.0.0.1");
    AddListed("1", "eth0 - Intel Ethernet - uplink", true, "1000");
    AddListed("2", "eth1 - backup", false, "0");
    AddListed("10001", "Loopback interface", false, "10");
    Form.Host_snmp_Edit->setText("127.0.0.1");
    Form.Memo5->setPlainText("Simulated switch");
    for (const char* name : {"eth0", "eth1"}) {
        const int row = Form.DataGrid1->AddRow();
        Form.DataGrid1->Cell(1, row).SetAsString(QString::number(row + 1));
        TInterfaceRow data;
        data.Name = name;
        data.Oper = InterfaceStatusOf(row ? "2" : "1", false);
        data.Admin = InterfaceStatusOf("1", true);
        data.Speed = "100";
        WriteInterfaceRow(*Form.DataGrid1, row, data);
    }
    for (int page = 0; page < 4; ++page) {
        Form.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        const QImage shot = Form.grab().toImage();
        EXPECT_EQ(shot.size(), Form.size());
        const QString path = QDir::tempPath() + QStringLiteral("/zt_tools_page%1.png").arg(page);
        shot.save(path);
        std::printf("screenshot: %s\n", qPrintable(path));
        // No caption is cut: every shown label and button is as wide as its text needs.
        for (QWidget* widget : Form.PageControl1->currentWidget()->findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            if (auto* button = qobject_cast<QPushButton*>(widget))
                EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 8)
                    << button->objectName().toStdString();
            if (auto* label = qobject_cast<QLabel*>(widget))
                EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                    << label->objectName().toStdString();
        }
    }
    Form.hide();
}
