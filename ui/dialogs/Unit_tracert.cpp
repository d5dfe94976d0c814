// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#include "ui/dialogs/Unit_tracert.h"

#include "core/ExceptionGuard.h"
#include "core/HostLookup.h"
#include "core/InterfaceSelection.h"
#include "core/InterfaceWalk.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/SnmpUtility.h"
#include "core/Synchronize.h"
#include "core/ToolPing.h"
#include "core/TraceRoute.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "net/SnmpQuery.h"
#include "net/pingsend.h"
#include "platform/MessageBox.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/ToolChartPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextCursor>
#include <QVBoxLayout>

TPing_tracert_form* Ping_tracert_form = nullptr;

namespace {

// Default target of the trace and ping pages: answers on every machine without leaving it.
const char* const DefaultTarget = "localhost";
const char* const SysDescrOid = "1.3.6.1.2.1.1.1.0";

// Header lines of both interface lists: column, language line.
const int HeaderLines[][2] = {{1, 207}, {2, 208}, {3, 209}, {4, 210}, {6, 211}, {7, 212}, {8, 213}};

QPlainTextEdit* MakeMemo(const char* Name, QWidget* Parent) {
    auto* memo = Make<QPlainTextEdit>(Name, Parent);
    memo->setReadOnly(true);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

// A page of PageControl1: group boxes one above the other.
QWidget* MakePage(const char* Name) {
    auto* page = new QWidget;
    page->setObjectName(QLatin1String(Name));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return page;
}

QGroupBox* AddBox(QWidget* Page, const char* Name, QGridLayout*& Grid, int Stretch = 0) {
    auto* box = Make<QGroupBox>(Name, Page);
    Grid = new QGridLayout(box);
    static_cast<QVBoxLayout*>(Page->layout())->addWidget(box, Stretch);
    return box;
}

// A copy with its own buffer, for a worker: a text shared with a widget would have its reference
// count changed on two threads, one of them inside the toolkit.
QString OwnCopy(const QString& Text) {
    return QString(Text.constData(), Text.size());
}

} // namespace

TPing_tracert_form::TPing_tracert_form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Ping_tracert_form"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, [this] { Guarded("Timer1", [this] { Timer1Timer(); }); });
    CreatePages();
    TranslateCaptions();
    // The selection's OK goes on to the host's list of monitored interfaces, as the host menu's
    // "Traffic monitoring" shows it.
    connect(this, &TPing_tracert_form::Portmonitoring2Requested, this, [this] {
        Guarded("Portmonitoring2Click", [this] {
            if (!FSelectionHostId.isEmpty())
                OpenTrafficMonitoring(FSelectionHostId);
        });
    });
    resize(780, 560);
}

TPing_tracert_form::~TPing_tracert_form() {
    // The jobs reach this window: they end (or are past reaching it) before it goes.
    Workers().CancelAll();
    Workers().WaitIdle(5000);
}

void TPing_tracert_form::FormCreate() {
    TMonitorServices& Services = *FServices;
    // The sampling countdown's tick redraws the open traffic chart.
    connect(&Services.Controller(), &TMonitorController::TrafficWindowTick, this,
            &TPing_tracert_form::TrafficWindowTick);
}

TToolWorkers& TPing_tracert_form::Workers() {
    return FServices->ToolWorkers();
}

void TPing_tracert_form::FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID,
                                       int PDUType, QString& Result) {
    FormSnmpQuery(Host, Community, OID, PDUType, Result, QStringLiteral("161"), nullptr);
}

void TPing_tracert_form::FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID,
                                       int PDUType, QString& Result, const QString& Port,
                                       std::shared_ptr<TNetCancel> Cancel) {
    std::string value;
    SnmpQuery(Host.toStdString(), Community.toStdString(), OID.toStdString(), PDUType, value,
              Port.toStdString(), 5000, std::move(Cancel));
    Result = QString::fromStdString(value);
}

// ---------------------------------------------------------------------------------------------------
// Building the pages

void TPing_tracert_form::CreatePages() {
    PageControl1 = Make<QStackedWidget>("PageControl1", this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(PageControl1);
    TabSheet1 = CreateTracePage();
    TabSheet2 = CreatePingPage();
    TabSheet3 = CreateSelectionPage();
    TabSheet4 = CreateSnmpPage();
    // The chart pages are filled by their own unit.
    TabSheet5 = MakePage("TabSheet5");
    TabSheet6 = MakePage("TabSheet6");
    TabSheet7 = MakePage("TabSheet7");
    TabSheet8 = MakePage("TabSheet8");
    TabSheet9 = MakePage("TabSheet9");
    for (QWidget* page :
         {TabSheet1, TabSheet2, TabSheet3, TabSheet4, TabSheet5, TabSheet6, TabSheet7, TabSheet8, TabSheet9})
        PageControl1->addWidget(page);
    for (QLineEdit* field : {edAddr, Edit3, Host_snmp_Edit, com_snmp_Edit, Host_snmp_Edit2, com_snmp_Edit2})
        field->installEventFilter(this);
    DataGrid1View->viewport()->installEventFilter(this);
    DataGrid2View->viewport()->installEventFilter(this);
    FCharts = std::make_unique<TToolChartPages>(*this);
    FCharts->Build();
}

QWidget* TPing_tracert_form::CreateTracePage() {
    QWidget* page = MakePage("TabSheet1");
    QGridLayout* trace = nullptr;
    GroupBox1 = AddBox(page, "GroupBox1", trace, 1);
    Label1 = Make<QLabel>("Label1", GroupBox1);
    edAddr = Make<QLineEdit>("edAddr", GroupBox1);
    edAddr->setText(QLatin1String(DefaultTarget));
    Label2 = Make<QLabel>("Label2", GroupBox1);
    sedCount = Make<QSpinBox>("sedCount", GroupBox1);
    sedCount->setRange(1, 255);
    sedCount->setValue(32);
    btnStart = MakeButton("btnStart", QString(), GroupBox1);
    CheckBox1 = Make<QCheckBox>("CheckBox1", GroupBox1);
    memShowTracert = MakeMemo("memShowTracert", GroupBox1);
    trace->addWidget(Label1, 0, 0);
    trace->addWidget(edAddr, 0, 1);
    trace->addWidget(Label2, 0, 2);
    trace->addWidget(sedCount, 0, 3);
    trace->addWidget(btnStart, 0, 4);
    trace->addWidget(CheckBox1, 1, 1, 1, 4);
    trace->addWidget(memShowTracert, 2, 0, 1, 5);
    trace->setColumnStretch(1, 1);

    QGridLayout* lookup = nullptr;
    GroupBox2 = AddBox(page, "GroupBox2", lookup);
    Label3 = Make<QLabel>("Label3", GroupBox2);
    Edit1 = Make<QLineEdit>("Edit1", GroupBox2);
    Label4 = Make<QLabel>("Label4", GroupBox2);
    Edit2 = Make<QLineEdit>("Edit2", GroupBox2);
    Button1 = MakeButton("Button1", QString(), GroupBox2);
    Button2 = MakeButton("Button2", QString(), GroupBox2);
    lookup->addWidget(Label3, 0, 0);
    lookup->addWidget(Edit1, 0, 1);
    lookup->addWidget(Button1, 0, 2);
    lookup->addWidget(Label4, 1, 0);
    lookup->addWidget(Edit2, 1, 1);
    lookup->addWidget(Button2, 1, 2);
    lookup->setColumnStretch(1, 1);

    BindClick(btnStart, "btnStart", this, [this] { btnStartClick(); });
    BindClick(Button1, "Button1", this, [this] { Button1Click(); });
    BindClick(Button2, "Button2", this, [this] { Button2Click(); });
    return page;
}

QWidget* TPing_tracert_form::CreatePingPage() {
    QWidget* page = MakePage("TabSheet2");
    QGridLayout* ping = nullptr;
    GroupBox3 = AddBox(page, "GroupBox3", ping);
    Label5 = Make<QLabel>("Label5", GroupBox3);
    Edit3 = Make<QLineEdit>("Edit3", GroupBox3);
    Edit3->setText(QLatin1String(DefaultTarget));
    Button3 = MakeButton("Button3", QString(), GroupBox3);
    Memo1 = MakeMemo("Memo1", GroupBox3);
    ping->addWidget(Label5, 0, 0);
    ping->addWidget(Edit3, 0, 1);
    ping->addWidget(Button3, 0, 2);
    ping->addWidget(Memo1, 1, 0, 1, 3);
    ping->setColumnStretch(1, 1);
    BindClick(Button3, "Button3", this, [this] { Button3Click(); });
    return page;
}

TGxGridView* TPing_tracert_form::CreateInterfaceList(std::unique_ptr<TDataGrid>& Grid, bool SnmpPage,
                                                     QWidget* Parent) {
    Grid = std::make_unique<TDataGrid>();
    Grid->setObjectName(QLatin1String(SnmpPage ? "DataGrid1" : "DataGrid2"));
    CreateInterfaceGridColumns(*Grid, SnmpPage);
    Grid->SetOptions(Grid->Options() | goGrid | goSelectFullRow);
    Grid->SetReadOnly(true);
    const int widths[] = {24, 48, 180, 80, 80, 10, 80, 96, 90, 34, 20};
    for (int col = 0; col < Grid->ColumnCount(); ++col)
        Grid->Columns().GetColumn(col)->SetWidth(widths[col]);
    Grid->Columns().GetColumn(9)->Header().SetCaption(QStringLiteral("#"));
    auto* view = new TGxGridView(Grid.get(), Parent);
    view->setObjectName(Grid->objectName());
    view->setMinimumHeight(120);
    return view;
}

QWidget* TPing_tracert_form::CreateSelectionPage() {
    QWidget* page = MakePage("TabSheet3");
    QGridLayout* box = nullptr;
    GroupBox4 = AddBox(page, "GroupBox4", box);
    Label6 = Make<QLabel>("Label6", GroupBox4);
    Label7 = Make<QLabel>("Label7", GroupBox4);
    Host_snmp_Edit2 = Make<QLineEdit>("Host_snmp_Edit2", GroupBox4);
    Label8 = Make<QLabel>("Label8", GroupBox4);
    com_snmp_Edit2 = Make<QLineEdit>("com_snmp_Edit2", GroupBox4);
    com_snmp_Edit2->setText(QStringLiteral("vorpal"));
    BitBtn3 = MakeButton("BitBtn3", QString(), GroupBox4);
    DataGrid2View = CreateInterfaceList(DataGrid2, false, GroupBox4);
    BitBtn8 = MakeButton("BitBtn8", QString(), GroupBox4);
    BitBtn9 = MakeButton("BitBtn9", QString(), GroupBox4);
    BitBtn10 = MakeButton("BitBtn10", QString(), GroupBox4);
    BitBtn4 = MakeButton("BitBtn4", QString(), GroupBox4);
    BitBtn7 = MakeButton("BitBtn7", QString(), GroupBox4);
    BitBtn7->setVisible(false);
    ProgressBar2 = Make<QProgressBar>("ProgressBar2", GroupBox4);
    ProgressBar2->setRange(0, 1);
    ProgressBar2->setValue(0);

    box->addWidget(Label6, 0, 0, 1, 6);
    box->addWidget(Label7, 1, 0);
    box->addWidget(Host_snmp_Edit2, 1, 1);
    box->addWidget(Label8, 1, 2);
    box->addWidget(com_snmp_Edit2, 1, 3);
    box->addWidget(BitBtn3, 1, 4, 1, 2);
    box->addWidget(DataGrid2View, 2, 0, 1, 6);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn8);
    buttons->addWidget(BitBtn9);
    buttons->addWidget(BitBtn10);
    buttons->addWidget(ProgressBar2, 1);
    buttons->addWidget(BitBtn4);
    buttons->addWidget(BitBtn7);
    box->addLayout(buttons, 3, 0, 1, 6);
    box->setColumnStretch(1, 2);
    box->setColumnStretch(3, 1);
    box->setRowStretch(2, 1);

    BindClick(BitBtn3, "BitBtn3", this, [this] { BitBtn3Click(); });
    BindClick(BitBtn4, "BitBtn4", this, [this] { BitBtn4Click(); });
    BindClick(BitBtn8, "BitBtn8", this, [this] { BitBtn8Click(); });
    BindClick(BitBtn9, "BitBtn9", this, [this] { BitBtn9Click(); });
    BindClick(BitBtn10, "BitBtn10", this, [this] { BitBtn10Click(); });
    return page;
}

QWidget* TPing_tracert_form::CreateSnmpPage() {
    QWidget* page = MakePage("TabSheet4");
    QGridLayout* box = nullptr;
    GroupBox5 = AddBox(page, "GroupBox5", box);
    Label9 = Make<QLabel>("Label9", GroupBox5);
    Host_snmp_Edit = Make<QLineEdit>("Host_snmp_Edit", GroupBox5);
    Label10 = Make<QLabel>("Label10", GroupBox5);
    com_snmp_Edit = Make<QLineEdit>("com_snmp_Edit", GroupBox5);
    com_snmp_Edit->setText(QStringLiteral("vorpal"));
    Label11 = Make<QLabel>("Label11", GroupBox5);
    Mib_snmp_Edit = Make<QComboBox>("Mib_snmp_Edit", GroupBox5);
    Mib_snmp_Edit->setEditable(true);
    Mib_snmp_Edit->addItems({QStringLiteral("1.3.6.1.2.1.1.3.0"), QStringLiteral("1.3.6.1.2.1.1.1.0"),
                             QStringLiteral("1.3.6.1.4.1.9.1.1"), QStringLiteral("1.3.6.1.2.1.2.1.0"),
                             QStringLiteral("1.3.6.1.2.1.2.2.1.2.1")});
    Mib_snmp_Edit->setCurrentIndex(0);
    Button7 = MakeButton("Button7", QString(), GroupBox5);
    BitBtn1 = MakeButton("BitBtn1", QString(), GroupBox5);
    Button5 = MakeButton("Button5", QString(), GroupBox5);
    BitBtn2 = MakeButton("BitBtn2", QString(), GroupBox5);
    BitBtn2->setVisible(false);
    Memo5 = MakeMemo("Memo5", GroupBox5);
    Memo5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo5->setMaximumHeight(90);
    DataGrid1View = CreateInterfaceList(DataGrid1, true, GroupBox5);
    ProgressBar1 = Make<QProgressBar>("ProgressBar1", GroupBox5);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Enableport1 = PopupMenu1->addAction(QString());
    Enableport1->setObjectName(QStringLiteral("Enableport1"));
    Disableport1 = PopupMenu1->addAction(QString());
    Disableport1->setObjectName(QStringLiteral("Disableport1"));

    box->addWidget(Label9, 0, 0);
    box->addWidget(Host_snmp_Edit, 0, 1);
    box->addWidget(Label10, 0, 2);
    box->addWidget(com_snmp_Edit, 0, 3);
    box->addWidget(Button7, 0, 4);
    box->addWidget(Label11, 1, 0);
    box->addWidget(Mib_snmp_Edit, 1, 1, 1, 3);
    box->addWidget(BitBtn1, 1, 4);
    box->addWidget(Memo5, 2, 0, 1, 5);
    box->addWidget(DataGrid1View, 3, 0, 1, 5);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ProgressBar1, 1);
    bottom->addWidget(Button5);
    bottom->addWidget(BitBtn2);
    box->addLayout(bottom, 4, 0, 1, 5);
    box->setColumnStretch(1, 2);
    box->setColumnStretch(3, 1);
    box->setRowStretch(3, 1);

    BindClick(Button7, "Button7", this, [this] { Button7Click(); });
    BindClick(BitBtn1, "BitBtn1", this, [this] { BitBtn1Click(); });
    BindClick(Button5, "Button5", this, [this] { Button5Click(); });
    BindClick(BitBtn2, "BitBtn2", this, [this] { BitBtn2Click(); });
    connect(Enableport1, &QAction::triggered, this,
            [this] { Guarded("Enableport1", [this] { Enableport1Click(); }); });
    connect(Disableport1, &QAction::triggered, this,
            [this] { Guarded("Disableport1", [this] { Disableport1Click(); }); });
    return page;
}

void TPing_tracert_form::ToolsLanguageApplied() {
    TranslateCaptions();
    Charts().FillPeriodBox();
}

void TPing_tracert_form::TranslateCaptions() {
    if (FCharts)
        FCharts->TranslateCaptions();
    setWindowTitle(LangText(188));
    GroupBox1->setTitle(LangText(189));
    Label1->setText(LangText(190));
    Label2->setText(LangText(191));
    btnStart->setText(LangText(192));
    CheckBox1->setText(LangText(193));
    Button1->setText(LangText(193));
    Button2->setText(LangText(194));
    GroupBox2->setTitle(LangText(195));
    Label3->setText(LangText(196));
    Label4->setText(LangText(197));

    GroupBox3->setTitle(LangText(200));
    Label5->setText(LangText(190));
    Button3->setText(LangText(Timer1.isActive() ? 199 : 198));

    GroupBox4->setTitle(LangText(257));
    Label6->setText(LangText(201));
    Label7->setText(LangText(190));
    Label8->setText(LangText(202));
    BitBtn3->setText(LangText(203));
    BitBtn8->setText(LangText(204));
    BitBtn9->setText(LangText(205));
    BitBtn10->setText(LangText(206));
    BitBtn4->setText(LangText(136));
    BitBtn7->setText(QStringLiteral("BitBtn7"));

    GroupBox5->setTitle(LangText(214));
    Label9->setText(LangText(190));
    Label10->setText(LangText(202));
    Label11->setText(LangText(215));
    Button7->setText(LangText(73));
    BitBtn1->setText(LangText(203));
    // It leads to the interface selection of the traffic monitoring.
    Button5->setText(LangText(257));
    BitBtn2->setText(QStringLiteral("BitBtn2"));
    Enableport1->setText(LangText(216));
    Disableport1->setText(LangText(217));

    for (TDataGrid* grid : {DataGrid1.get(), DataGrid2.get()})
        for (const auto& header : HeaderLines)
            grid->Columns().GetColumn(header[0])->Header().SetCaption(LangText(header[1]));
}

// ---------------------------------------------------------------------------------------------------
// Entry points of the menus

void TPing_tracert_form::OpenTraceRoute(const QString& Address, const QString& HostName) {
    FSelectionHostId.clear();
    PageControl1->setCurrentIndex(0);
    setWindowTitle(LangText(335));
    edAddr->setText(Address);
    GroupBox1->setTitle(LangText(319) + QLatin1Char(' ') + HostName);
    btnStart->click();
}

void TPing_tracert_form::OpenPing(const QString& Address, const QString& HostName) {
    FSelectionHostId.clear();
    setWindowTitle(LangText(332));
    Edit3->setText(Address);
    PageControl1->setCurrentIndex(1);
    GroupBox3->setTitle(LangText(321) + QLatin1Char(' ') + HostName);
    // The menu means "ping now": a ping still running from before starts over.
    if (Timer1.isActive())
        Button3Click();
    Button3Click();
}

void TPing_tracert_form::OpenSnmpCheck(const QString& Address, const QString& Community) {
    FSelectionHostId.clear();
    PageControl1->setCurrentIndex(3);
    setWindowTitle(LangText(338));
    GroupBox5->setTitle(LangText(339));
    Host_snmp_Edit->setText(Address);
    com_snmp_Edit->setText(Community);
    Mib_snmp_Edit->setCurrentText(QLatin1String(SysDescrOid));
    Button7->click();
    BitBtn1->click();
}

void TPing_tracert_form::OpenInterfaceSelection(const QString& HostId, const QString& HostName,
                                                const QString& Address, const QString& Community) {
    DataGrid2->ClearRows();
    FSelectionHostId = HostId;
    PageControl1->setCurrentIndex(2);
    setWindowTitle(LangText(345) + QLatin1Char(' ') + HostName);
    Host_snmp_Edit2->setText(Address);
    com_snmp_Edit2->setText(Community);
}

void TPing_tracert_form::OpenTrafficMonitoring(const QString& HostId) {
    FCharts->OpenTrafficMonitoring(HostId);
}

void TPing_tracert_form::OpenLatencyMonitoring(const QString& HostId) {
    FCharts->OpenLatency(HostId);
}

void TPing_tracert_form::TrafficWindowTick(int Tag) {
    Guarded("TrafficWindowTick", [&] { FCharts->TrafficWindowTick(Tag); });
}

void TPing_tracert_form::OpenTraceRouteTool(const QString& BoxCaption) {
    FSelectionHostId.clear();
    PageControl1->setCurrentIndex(0);
    setWindowTitle(LangText(335));
    GroupBox1->setTitle(BoxCaption);
}

void TPing_tracert_form::OpenPingTool() {
    FSelectionHostId.clear();
    PageControl1->setCurrentIndex(1);
    setWindowTitle(LangText(336));
    GroupBox3->setTitle(LangText(337));
}

void TPing_tracert_form::OpenSnmpTool() {
    FSelectionHostId.clear();
    PageControl1->setCurrentIndex(3);
    setWindowTitle(LangText(338));
    GroupBox5->setTitle(LangText(339));
}

// ---------------------------------------------------------------------------------------------------
// Traceroute, lookup and ping

void TPing_tracert_form::AppendTrace(const QString& Text) {
    QTextCursor cursor(memShowTracert->document());
    cursor.movePosition(QTextCursor::End);
    QString plain = Text;
    plain.remove(QLatin1Char('\r'));
    cursor.insertText(plain);
    memShowTracert->verticalScrollBar()->setValue(memShowTracert->verticalScrollBar()->maximum());
}

void TPing_tracert_form::btnStartClick() {
    btnStart->setEnabled(false);
    memShowTracert->clear();
    TTraceParams params;
    params.Target = OwnCopy(edAddr->text().trimmed());
    params.MaxHops = sedCount->value();
    params.LookupNames = CheckBox1->isChecked();
    Workers().Start([this, params](TToolJob& Job) {
        TTraceThread trace(params, [&](const QString& Text) { return Job.Gui([&] { AppendTrace(Text); }); });
        trace.Execute(Job.Cancel().get());
        Job.Gui([this] { btnStart->setEnabled(true); });
    });
}

void TPing_tracert_form::Button1Click() {
    Button1->setEnabled(false);
    const QString ip = OwnCopy(Edit1->text());
    Workers().Start([this, ip](TToolJob& Job) {
        QString name;
        ReverseLookup(ip, name);
        Job.Gui([&] {
            Edit2->setText(OwnCopy(name));
            Button1->setEnabled(true);
        });
    });
}

void TPing_tracert_form::Button2Click() {
    Button2->setEnabled(false);
    const QString name = OwnCopy(Edit2->text());
    Workers().Start([this, name](TToolJob& Job) {
        QString ip;
        const bool found = ResolveHostToIp(name, ip);
        Job.Gui([&] {
            if (found)
                Edit1->setText(OwnCopy(ip));
            Button2->setEnabled(true);
        });
    });
}

void TPing_tracert_form::Button3Click() {
    if (Timer1.isActive()) {
        Timer1.stop();
        Button3->setText(LangText(198));
        return;
    }
    Memo1->clear();
    Button3->setText(LangText(199));
    Timer1.start();
}

void TPing_tracert_form::Timer1Timer() {
    const TPingThread ping(OwnCopy(Edit3->text().trimmed()));
    Workers().Start([this, ping](TToolJob& Job) {
        const QString line = ping.Execute(Job.Cancel().get());
        if (!line.isEmpty())
            Job.Gui([&] { Memo1->appendPlainText(line); });
    });
}

void TPing_tracert_form::edAddrKeyPress(QWidget* Sender) {
    if (Sender == edAddr)
        btnStart->click();
    else if (Sender == Edit3)
        Button3->click();
    else if (Sender == Host_snmp_Edit || Sender == com_snmp_Edit)
        Button7->click();
    else if (Sender == Host_snmp_Edit2 || Sender == com_snmp_Edit2)
        BitBtn3->click();
}

// ---------------------------------------------------------------------------------------------------
// SNMP utility and interface lists

void TPing_tracert_form::Button7Click() {
    SnmpUtilHost = Host_snmp_Edit->text().trimmed();
    SnmpUtilCommunity = com_snmp_Edit->text();
    SnmpUtilOid = Mib_snmp_Edit->currentText().trimmed();
    SnmpUtilPduType = 160;
    Button7->setEnabled(false);
    TSnmpAgent agent{SnmpUtilHost.toStdString(), SnmpUtilCommunity.toStdString(), SnmpPort.toStdString()};
    const std::string oid = SnmpUtilOid.toStdString();
    const int pdu = SnmpUtilPduType;
    Workers().Start([this, agent, oid, pdu](TToolJob& Job) {
        TSNMP_util_Thread test(
            agent, oid, pdu, [this] { Memo5->clear(); },
            [this](const QString& Line) { Memo5->appendPlainText(Line); });
        test.Execute(Job);
        Job.Gui([this] { Button7->setEnabled(true); });
    });
}

void TPing_tracert_form::StartWalk(TDataGrid& Grid, QPushButton* Button, QProgressBar* Progress,
                                   const QString& Host, const QString& Community) {
    Button->setEnabled(false);
    // Saving half a list would drop the interfaces not listed yet.
    const bool selectionPage = &Grid == DataGrid2.get();
    if (selectionPage)
        BitBtn4->setEnabled(false);
    TSnmpAgent agent{Host.trimmed().toStdString(), Community.toStdString(), SnmpPort.toStdString()};
    Workers().Start([this, agent, &Grid, Button, Progress, selectionPage](TToolJob& Job) {
        TGet_interfacesThread walk(agent, Grid, [Progress](int Found, int Filled) {
            Progress->setRange(0, std::max(1, Found));
            Progress->setValue(Filled);
        });
        walk.Execute(Job);
        Job.Gui([&] {
            Button->setEnabled(true);
            if (selectionPage)
                BitBtn4->setEnabled(true);
        });
    });
}

void TPing_tracert_form::BitBtn1Click() {
    StartWalk(*DataGrid1, BitBtn1, ProgressBar1, Host_snmp_Edit->text(), com_snmp_Edit->text());
}

void TPing_tracert_form::BitBtn3Click() {
    StartWalk(*DataGrid2, BitBtn3, ProgressBar2, Host_snmp_Edit2->text(), com_snmp_Edit2->text());
}

void TPing_tracert_form::SetPortAdminStatus(const QString& Index, bool Report, bool Enable) {
    if (Index.trimmed().isEmpty())
        return;
    TSnmpAgent agent{Host_snmp_Edit->text().trimmed().toStdString(), com_snmp_Edit->text().toStdString(),
                     SnmpPort.toStdString()};
    Enableport1->setEnabled(false);
    Disableport1->setEnabled(false);
    const QString index = OwnCopy(Index.trimmed());
    Workers().Start([this, agent, index, Report, Enable](TToolJob& Job) {
        const bool accepted = SetInterfaceAdminStatus(agent, index, Enable, Job.Cancel());
        Job.Gui([&] {
            Enableport1->setEnabled(true);
            Disableport1->setEnabled(true);
            if (!Report)
                return;
            // Shown from the event loop, so the worker is not held while the box is open.
            const QString message = PortSwitchMessage(Enable, accepted);
            PostToGui(this, "port message", [message] { ShowMessageBox(message); });
        });
    });
}

void TPing_tracert_form::Enableport1Click() {
    const int row = DataGrid1->SelectedRow();
    if (row >= 0 && row < DataGrid1->RowCount())
        SetPortAdminStatus(DataGrid1->CellText(1, row), true, true);
}

void TPing_tracert_form::Disableport1Click() {
    const int row = DataGrid1->SelectedRow();
    if (row >= 0 && row < DataGrid1->RowCount())
        SetPortAdminStatus(DataGrid1->CellText(1, row), true, false);
}

void TPing_tracert_form::DataGrid1CellClick(int Col, int Row) {
    if (Col == 10 && Row >= 0 && Row < DataGrid1->RowCount())
        SetPortAdminStatus(DataGrid1->CellText(1, Row), false, true);
}

void TPing_tracert_form::Button5Click() {
    PageControl1->setCurrentIndex(2);
}

void TPing_tracert_form::BitBtn2Click() {}

void TPing_tracert_form::SetAllSelected(int Mode) {
    DataGrid2->BeginUpdate();
    for (int row = 0; row < DataGrid2->RowCount(); ++row) {
        TCell& cell = DataGrid2->Cell(0, row);
        cell.SetAsBoolean(Mode == 2 ? !cell.GetAsBoolean() : Mode == 1);
    }
    DataGrid2->EndUpdate();
}

void TPing_tracert_form::BitBtn8Click() {
    SetAllSelected(0);
}

void TPing_tracert_form::BitBtn9Click() {
    SetAllSelected(1);
}

void TPing_tracert_form::BitBtn10Click() {
    SetAllSelected(2);
}

void TPing_tracert_form::BitBtn4Click() {
    TDataGrid* hosts = HostGrid();
    const int kod = hosts ? hosts->ColumnIndex(u"Kod_") : -1;
    int hostRow = -1;
    for (int row = 0; kod >= 0 && !FSelectionHostId.isEmpty() && row < hosts->RowCount(); ++row)
        if (hosts->CellText(kod, row) == FSelectionHostId)
            hostRow = row;
    if (hostRow >= 0) {
        std::vector<TListedInterface> listed;
        for (int row = 0; row < DataGrid2->RowCount(); ++row)
            listed.push_back({DataGrid2->CellText(1, row), DataGrid2->CellText(2, row),
                              DataGrid2->Cell(0, row).GetAsBoolean(), DataGrid2->CellText(7, row)});
        try {
            SaveInterfaceSelection(Database(), FSelectionHostId, listed);
            // An emptied field keeps the host's address and community.
            if (!Host_snmp_Edit2->text().trimmed().isEmpty())
                hosts->Cell(u"IP", hostRow).SetAsString(Host_snmp_Edit2->text().trimmed());
            if (!com_snmp_Edit2->text().isEmpty())
                hosts->Cell(u"Comunity", hostRow).SetAsString(com_snmp_Edit2->text());
            hosts->Cell(u"Port_check", hostRow).SetAsBoolean(true);
        } catch (const ESQLiteException& error) {
            AddProgramLog(Database(),
                          QStringLiteral("The interface selection was not saved: ") + error.Message());
        }
    }
    emit Portmonitoring2Requested();
}

// ---------------------------------------------------------------------------------------------------
// Closing, keys and clicks

void TPing_tracert_form::ToolsIdle() {
    for (QPushButton* button : {btnStart, Button1, Button2, Button7, BitBtn1, BitBtn3, BitBtn4})
        button->setEnabled(true);
    Enableport1->setEnabled(true);
    Disableport1->setEnabled(true);
}

void TPing_tracert_form::FormCloseQuery() {
    Guarded("FormCloseQuery", [this] {
        Workers().CancelAll();
        Timer1.stop();
        if (FCharts)
            FCharts->CloseSteps();
        Button3->setText(LangText(198));
        ToolsIdle();
    });
}

void TPing_tracert_form::reject() {
    FormCloseQuery();
    QDialog::reject();
}

bool TPing_tracert_form::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        auto* field = qobject_cast<QLineEdit*>(Watched);
        if (field && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            Guarded("edAddrKeyPress", [&] { edAddrKeyPress(field); });
            return true;
        }
    }
    if (Event->type() == QEvent::MouseButtonPress) {
        for (TGxGridView* view : {DataGrid1View, DataGrid2View})
            if (view && Watched == view->viewport()) {
                bool handled = false;
                Guarded("interface list",
                        [&] { handled = InterfaceListClick(view, static_cast<QMouseEvent*>(Event)); });
                return handled;
            }
    }
    return QDialog::eventFilter(Watched, Event);
}

bool TPing_tracert_form::InterfaceListClick(TGxGridView* View, QMouseEvent* Event) {
    TDataGrid& grid = View->Grid();
    const QPoint at = Event->position().toPoint();
    const QRect body = View->BodyRect();
    for (int row = std::max(0, grid.FirstRow()); row < grid.RowCount() && View->RowTop(row) < body.bottom();
         ++row) {
        for (int col = 0; col < grid.ColumnCount(); ++col) {
            if (!grid.Columns().GetColumn(col)->Visible() || !View->CellRect(col, row).contains(at))
                continue;
            grid.SelectCell(col, row);
            if (Event->button() == Qt::RightButton && View == DataGrid1View) {
                PopupMenu1->popup(View->viewport()->mapToGlobal(at));
            } else if (Event->button() == Qt::LeftButton) {
                if (View == DataGrid2View && col == 0)
                    grid.ApplyPlay(col, row);
                if (View == DataGrid1View)
                    DataGrid1CellClick(col, row);
            }
            return true;
        }
    }
    return false;
}

TSQLiteDatabase& TPing_tracert_form::Database() const {
    if (FDatabase)
        return *FDatabase;
    return FServices->Database();
}

TDataGrid* TPing_tracert_form::HostGrid() const {
    if (FHostGrid)
        return FHostGrid;
    return &FServices->DataGrid1();
}
