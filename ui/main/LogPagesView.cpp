// The log pages' widgets and handlers; statements, windows and deletes live in core/LogPages.
#include "ui/main/LogPagesView.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/LogGrids.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/MessageBox.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/Calendar_f.h"
#include "ui/main/SettingsBinding.h"
#include "ui/main/StatusView.h"
#include "ui/main/main_form.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QPushButton* MakeButton(const char* Name, const QString& Caption, QWidget* Parent, QHBoxLayout* Row) {
    auto* button = ::MakeButton(Name, Caption, Parent);
    Row->addWidget(button);
    return button;
}

void SetHeaders(TDataGrid& Grid, std::initializer_list<std::pair<int, QString>> Headers) {
    for (const auto& [col, caption] : Headers)
        Grid.Columns().GetColumn(col)->Header().SetCaption(caption);
}

void SetWidths(TDataGrid& Grid, std::initializer_list<int> Widths) {
    int col = 0;
    for (int width : Widths)
        Grid.Columns().GetColumn(col++)->SetWidth(width);
}

// Even rows that are not selected take the alternate colour.
void AlternateRows(TDataGrid& Grid) {
    Grid.OnCellColoring = [](QObject*, int, int Row, TColor& CellColor, TColor&, TCellState State) {
        if ((State & csEmpty) == 0 && LogRowAlternates(Row, (State & csSelected) != 0))
            CellColor = LogAlternateRowColor;
    };
}

} // namespace

TLogPagesView::TLogPagesView(TMonitorServices& Services, TLogPagesParts Parts, QObject* parent)
    : QObject(parent), FParts(std::move(Parts)), FServices(&Services),
      FLogsGrid(std::make_unique<TDataGrid>()), FSyslogGrid(std::make_unique<TDataGrid>()),
      FProgramGrid(std::make_unique<TDataGrid>()) {
    setObjectName(QStringLiteral("LogPages"));
    Now = [] {
        return CurrentLocalUnixTime();
    };
    AskSaveFileName = [this] {
        return QFileDialog::getSaveFileName(FParts.TabSheet2, QString(), QString(), QStringLiteral("*.txt"));
    };
    ShowCalendar = [this] {
        if (ICalendarDialog* calendar = FServices->Roles().Calendar())
            calendar->ExecCalendar(&Logs_grid(), &Sys_log_grid(), &Program_log_Grid());
    };
    CreateEventPage();
    CreateSyslogPage();
    CreateProgramLogPage();
    // OnShow of the logs page and of its three pages.
    connect(FParts.PageControl1, &QTabWidget::currentChanged, this, [this](int Index) {
        if (FParts.PageControl1->widget(Index) == FParts.TabSheet2 &&
            FParts.PageControl2->currentIndex() == 0)
            Guarded("TForm1.TabSheet2Show", [this] { TabSheet2Show(); });
    });
    connect(FParts.PageControl2, &QTabWidget::currentChanged, this, [this](int Index) {
        QWidget* page = FParts.PageControl2->widget(Index);
        if (page == FParts.TabSheet4)
            Guarded("TForm1.TabSheet2Show", [this] { TabSheet2Show(); });
        else if (page == FParts.TabSheet5)
            Guarded("TForm1.TabSheet5Show", [this] { TabSheet5Show(); });
        else if (page == FParts.TabSheet6)
            Guarded("TForm1.TabSheet6Show", [this] { TabSheet6Show(); });
    });
}

TLogPagesView::~TLogPagesView() = default;

TGxGridView* TLogPagesView::CreateGridView(TDataGrid& Grid, const char* Name, QWidget* Parent) {
    Grid.setObjectName(QLatin1String(Name));
    Grid.SetOptions(Grid.Options() | goGrid | goSelectFullRow);
    Grid.SetReadOnly(true);
    auto* view = new TGxGridView(&Grid, Parent);
    view->setObjectName(QLatin1String(Name));
    return view;
}

TDataGrid& TLogPagesView::GridOf(TLogKind Kind) {
    switch (Kind) {
    case lkSyslog:
        return *FSyslogGrid;
    case lkProgramLog:
        return *FProgramGrid;
    default:
        return *FLogsGrid;
    }
}

void TLogPagesView::CreateEventPage() {
    QWidget* page = FParts.TabSheet4;
    auto* layout = new QVBoxLayout(page);
    CreateEventLogGridColumns(*FLogsGrid);
    SetHeaders(*FLogsGrid, {{0, QStringLiteral("#")},
                            {1, LangText(95)},
                            {2, LangText(96)},
                            {3, LangText(97)},
                            {4, LangText(98)}});
    SetWidths(*FLogsGrid, {40, 140, 160, 150, 320, 0, 0});
    FLogsGrid->Columns().GetColumn(5)->SetVisible(false);
    FLogsGrid->Columns().GetColumn(6)->SetVisible(false);
    Logs_gridView = CreateGridView(*FLogsGrid, "Logs_grid", page);
    layout->addWidget(Logs_gridView, 1);
    auto* row = new QHBoxLayout;
    BitBtn33 = MakeButton("BitBtn33", QStringLiteral("<<"), page, row);
    BitBtn34 = MakeButton("BitBtn34", QStringLiteral(">>"), page, row);
    BitBtn13 = MakeButton("BitBtn13", LangText(102), page, row);
    BitBtn15 = MakeButton("BitBtn15", LangText(103), page, row);
    BitBtn38 = MakeButton("BitBtn38", LangText(104), page, row);
    BitBtn16 = MakeButton("BitBtn16", LangText(105), page, row);
    BitBtn32 = MakeButton("BitBtn32", LangText(106), page, row);
    row->addStretch(1);
    layout->addLayout(row);
    connect(BitBtn33, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn33Click", [this] { BitBtn33Click(); }); });
    connect(BitBtn34, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn34Click", [this] { BitBtn34Click(); }); });
    connect(BitBtn13, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn13Click", [this] { SaveLogToFile(lkEvents); }); });
    connect(BitBtn15, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn15Click", [this] { ClearCurrentLogClick(lkEvents); }); });
    connect(BitBtn38, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn38Click", [this] { ClearAllLogsClick(lkEvents); }); });
    connect(BitBtn16, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn16Click", [this] { ViewOtherLogsClick(lkEvents); }); });
    connect(BitBtn32, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn32Click", [this] { BitBtn32Click(); }); });
}

void TLogPagesView::CreateSyslogPage() {
    QWidget* page = FParts.TabSheet5;
    auto* layout = new QVBoxLayout(page);
    CreateSyslogGridColumns(*FSyslogGrid);
    SetHeaders(*FSyslogGrid,
               {{0, QStringLiteral("#")}, {1, LangText(95)}, {2, LangText(99)}, {3, LangText(100)}});
    SetWidths(*FSyslogGrid, {40, 140, 480, 160});
    AlternateRows(*FSyslogGrid);
    FSyslogGrid->OnCellDblClick = [this](QObject*, int Col, int Row) {
        Guarded("TForm1.Sys_log_gridCellDblClick", [&] { Sys_log_gridCellDblClick(Col, Row); });
    };
    SyslogListenState = new QLabel(page);
    SyslogListenState->setObjectName(QStringLiteral("SyslogListenState"));
    SyslogListenState->setWordWrap(true);
    SyslogListenState->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    SyslogListenState->hide();
    // Above the grid, so the row of buttons below keeps the width the languages need.
    auto* top = new QHBoxLayout;
    top->addWidget(SyslogListenState, 1);
    // Says what it adds, in any language.
    SyslogMore = new QPushButton(QStringLiteral("+%1").arg(SyslogPageRows), page);
    SyslogMore->setObjectName(QStringLiteral("SyslogMore"));
    SyslogMore->setEnabled(false);
    top->addWidget(SyslogMore, 0, Qt::AlignRight | Qt::AlignTop);
    layout->addLayout(top);
    Sys_log_gridView = CreateGridView(*FSyslogGrid, "Sys_log_grid", page);
    layout->addWidget(Sys_log_gridView, 1);
    auto* row = new QHBoxLayout;
    SysLog_CheckBox = new QCheckBox(LangText(108), page);
    SysLog_CheckBox->setObjectName(QStringLiteral("SysLog_CheckBox"));
    row->addWidget(SysLog_CheckBox);
    BitBtn17 = MakeButton("BitBtn17", QStringLiteral("test"), page, row);
    BitBtn21 = MakeButton("BitBtn21", LangText(107), page, row);
    BitBtn19 = MakeButton("BitBtn19", LangText(102), page, row);
    BitBtn18 = MakeButton("BitBtn18", LangText(103), page, row);
    BitBtn39 = MakeButton("BitBtn39", LangText(104), page, row);
    BitBtn20 = MakeButton("BitBtn20", LangText(105), page, row);
    row->addStretch(1);
    layout->addLayout(row);
    // Released, not toggled: loading the settings sets the box without switching anything.
    connect(SysLog_CheckBox, &QCheckBox::clicked, this,
            [this] { Guarded("TForm1.SysLog_CheckBoxMouseUp", [this] { SysLog_CheckBoxMouseUp(); }); });
    connect(BitBtn17, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn17Click", [this] { BitBtn17Click(); }); });
    connect(BitBtn21, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn21Click", [this] { BitBtn21Click(); }); });
    connect(BitBtn19, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn19Click", [this] { SaveLogToFile(lkSyslog); }); });
    connect(BitBtn18, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn18Click", [this] { ClearCurrentLogClick(lkSyslog); }); });
    connect(BitBtn39, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn39Click", [this] { ClearAllLogsClick(lkSyslog); }); });
    connect(BitBtn20, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn20Click", [this] { ViewOtherLogsClick(lkSyslog); }); });
    connect(SyslogMore, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.SyslogMoreClick", [this] { SyslogMoreClick(); }); });
}

void TLogPagesView::CreateProgramLogPage() {
    QWidget* page = FParts.TabSheet6;
    auto* layout = new QVBoxLayout(page);
    CreateProgramLogGridColumns(*FProgramGrid);
    SetHeaders(*FProgramGrid, {{0, QStringLiteral("#")}, {1, LangText(95)}, {2, LangText(101)}});
    SetWidths(*FProgramGrid, {40, 140, 600});
    AlternateRows(*FProgramGrid);
    Program_log_GridView = CreateGridView(*FProgramGrid, "Program_log_Grid", page);
    layout->addWidget(Program_log_GridView, 1);
    auto* row = new QHBoxLayout;
    BitBtn24 = MakeButton("BitBtn24", LangText(102), page, row);
    BitBtn26 = MakeButton("BitBtn26", LangText(103), page, row);
    BitBtn40 = MakeButton("BitBtn40", LangText(104), page, row);
    BitBtn27 = MakeButton("BitBtn27", LangText(105), page, row);
    row->addStretch(1);
    layout->addLayout(row);
    connect(BitBtn24, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn24Click", [this] { SaveLogToFile(lkProgramLog); }); });
    connect(BitBtn26, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn26Click", [this] { ClearCurrentLogClick(lkProgramLog); }); });
    connect(BitBtn40, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn40Click", [this] { ClearAllLogsClick(lkProgramLog); }); });
    connect(BitBtn27, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn27Click", [this] { ViewOtherLogsClick(lkProgramLog); }); });
}

void TLogPagesView::FormCreate() {
    BindCheckBox(*SysLog_CheckBox, FServices->Settings(), &TSettings::SysLog_CheckBox);
}

TSyslogServer& TLogPagesView::Server() {
    return FServices->SyslogServer();
}

void TLogPagesView::TabSheet2Show() {
    LoadLogGrid(lkEvents, EventDays.Shown(Now()), *FLogsGrid);
}

void TLogPagesView::TabSheet5Show() {
    LoadSyslogPage(Last24HoursStatement(lkSyslog, Now()));
}

void TLogPagesView::LoadSyslogPage(const TLogStatement& Statement) {
    LoadLogGrid(lkSyslog, Statement, *FSyslogGrid);
    SyslogMore->setEnabled(SyslogRowsHeldBack(*FSyslogGrid));
}

void TLogPagesView::SyslogMoreClick() {
    LoadMoreSyslogRows(*FSyslogGrid);
    SyslogMore->setEnabled(SyslogRowsHeldBack(*FSyslogGrid));
}

void TLogPagesView::TabSheet6Show() {
    LoadLogGrid(lkProgramLog, Last24HoursStatement(lkProgramLog, Now()), *FProgramGrid);
}

void TLogPagesView::BitBtn33Click() {
    FLogsGrid->ClearRows();
    LoadLogGrid(lkEvents, EventDays.Back(Now()), *FLogsGrid);
}

void TLogPagesView::BitBtn34Click() {
    FLogsGrid->ClearRows();
    LoadLogGrid(lkEvents, EventDays.Forward(Now()), *FLogsGrid);
}

void TLogPagesView::SaveLogToFile(TLogKind Kind) {
    const QString file = AskSaveFileName();
    if (file.isEmpty())
        return;
    GridOf(Kind).SaveToTextFile(file, u',', 1, u'|');
}

void TLogPagesView::ClearCurrentLogClick(TLogKind Kind) {
    ClearCurrentLog(Kind, GridOf(Kind), Now());
}

void TLogPagesView::ClearAllLogsClick(TLogKind Kind) {
    ClearAllLogs(Kind, GridOf(Kind));
}

void TLogPagesView::ViewOtherLogsClick(TLogKind Kind) {
    CalendarMode = Kind;
    ShowCalendar();
    // The day picker may have filled the syslog grid with a day's first page.
    SyslogMore->setEnabled(SyslogRowsHeldBack(*FSyslogGrid));
}

void TLogPagesView::BitBtn32Click() {
    CopyWideTextToClipboard(EventLogClipboardText(*FLogsGrid));
}

void TLogPagesView::BitBtn21Click() {
    LoadSyslogPage(SyslogShowAllStatement());
}

void TLogPagesView::Sys_log_gridCellDblClick(int Col, int Row) {
    KeepSyslogSender(*FSyslogGrid, Col, Row);
}

void TLogPagesView::LookSyslog1Click() {
    TDataGrid& hosts = FServices->DataGrid1();
    const int row = hosts.SelectedRow();
    if (row < 0 || row >= hosts.RowCount())
        return;
    ShowHostSyslog(hosts.Cell(u"IP", row).GetAsString());
}

void TLogPagesView::ShowHostSyslog(const QString& Address) {
    // Showing the pages loads their 24 hours first; the host's rows replace them.
    FParts.PageControl1->setCurrentWidget(FParts.TabSheet2);
    FParts.PageControl2->setCurrentWidget(FParts.TabSheet5);
    LoadSyslogPage(HostSyslogStatement(Address));
}

void TLogPagesView::SysLog_CheckBoxMouseUp() {
    if (FParts.SaveSettings)
        FParts.SaveSettings();
    const TSyslogStartResult result = StartSyslogServer();
    if (!result.Ok)
        ShowMessageBox(result.Reason);
}

TSyslogStartResult TLogPagesView::StartSyslogServer() {
    const bool on = SysLog_CheckBox->isChecked();
    Server().SetEnabled(on);
    TSyslogStartResult result{true, 0, QString()};
    if (on)
        result = Server().Start(FAddress, FPort);
    else
        Server().Stop();
    ShowListenState(result);
    return result;
}

void TLogPagesView::ShowListenState(const TSyslogStartResult& Result) {
    SyslogListenState->setText(Result.Reason);
    SyslogListenState->setVisible(!Result.Ok);
}

void TLogPagesView::StopSyslogServer() {
    Server().Stop();
}

void TLogPagesView::SetSyslogEndpoint(const std::string& Address, int Port) {
    FAddress = Address;
    FPort = Port;
}

void TLogPagesView::BitBtn17Click() {
    // Port 0 (tests) means the port the listener was given.
    SendSyslogTestMessage("127.0.0.1", FPort == 0 ? Server().BoundPort() : FPort);
}

// The main window's side: the view is built with the pages.
void TForm1::CreateLogPages() {
    TLogPagesParts parts;
    parts.PageControl1 = PageControl1;
    parts.TabSheet2 = TabSheet2;
    parts.PageControl2 = PageControl2;
    parts.TabSheet4 = TabSheet4;
    parts.TabSheet5 = TabSheet5;
    parts.TabSheet6 = TabSheet6;
    parts.SaveSettings = [this] {
        SaveSettings();
    };
    FLogPages = std::make_unique<TLogPagesView>(*FServices, std::move(parts));
}

void TForm1::StartSyslogServer() {
    const TSyslogStartResult result = FLogPages->StartSyslogServer();
    if (!result.Ok)
        FStatus->ShowSyslogListenFailure(result.Reason);
}
