// The main window's skeleton: creation, the Exit command and the close sequence.
#include "ui/main/main_form.h"

#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/ProgramLog.h"
#include "core/PumpDelay.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/SoundQueue.h"
#include "core/Synchronize.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/Autostart.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/BigHint.h"
#include "ui/main/HostActions.h"
#include "ui/main/HostPageView.h"
#include "ui/main/LogPagesView.h"
#include "ui/main/OnlinePage.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/SettingsBinding.h"
#include "ui/main/SoundControls.h"
#include "ui/main/StartupTrace.h"
#include "ui/main/StatusView.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

TForm1* Form1 = nullptr;

namespace {

// How long the close waits for worker threads; their waits and network calls are interruptible,
// so this only bounds a worker stuck in an uncancellable call.
constexpr int workerStopLimitMs = 5000;

// The message-pumping wait at the very end of the close.
constexpr int closePumpMs = 150;

} // namespace

TForm1::TForm1(TMonitorServices& Services, QWidget* parent) : QMainWindow(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Form1"));
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Exit1 = File1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit2 = new QAction(QStringLiteral("Exit"), this);
    Exit2->setObjectName(QStringLiteral("Exit2"));
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Exit2, &QAction::triggered, this, &TForm1::Exit2Click);

    CreatePages();
    CreateLogPages();
    CreateHostPage();
    CreateOptionControls();
    CreateStatusBar();
    InstallWindowPlacement();
    // Room for every status panel until a saved placement says otherwise.
    resize(1100, 720);
    sound_timer = new QTimer(this);
    sound_timer->setObjectName(QStringLiteral("sound_timer"));
    sound_timer->setInterval(1000);
    // A coarse timer may fire 50 ms late; the queue's next sound should not.
    sound_timer->setTimerType(Qt::PreciseTimer);
}

TForm1::~TForm1() {
    delete FActivationFilter;
    // The hooks point at this window.
    HostActions() = THostActions{};
    MonitorDatabase.SetWriteStateHook({});
    // The workers end before the window goes; what it registered is withdrawn.
    FServices->Controller().Shutdown(2000);
    FServices->Channels().SetStatusPanels(nullptr);
    FServices->Channels().SetSound(nullptr);
    FServices->SetGroupTree(nullptr);
    FSound.reset();
}

TMonitorController& TForm1::Monitor() {
    return FServices->Controller();
}

// The sound queue plays the services' queue grid; made once the window has its services.
void TForm1::CreateSoundControls() {
    TSoundControlParts parts;
    parts.BitBtn3 = BitBtn3;
    parts.BitBtn6 = BitBtn6;
    parts.CheckBox_soundalarm = FOptions->CheckBox_soundalarm;
    parts.Up_Sound_Edit = FOptions->Up_Sound_Edit;
    parts.Play_sound_button = FOptions->Play_sound_button;
    parts.Browse_BitBtn = FOptions->Browse_BitBtn;
    parts.SetStatusPanel = [this](TStatusPanel Panel, const QString& Text, int Colour) {
        SetPanelText(Panel, Text, Colour);
    };
    parts.SaveSettings = [this] {
        SaveSettings();
    };
    FSound = std::make_unique<TSoundControls>(parts, *Sound_down_grid, *sound_timer, PlatformSoundChannel());
    FSound->ShowSoundsOnLook();
}

void TForm1::sound_timerTimer() {
    FSound->sound_timerTimer();
}
void TForm1::BitBtn6Click() {
    FSound->BitBtn6Click();
}
void TForm1::BitBtn3Click() {
    FSound->BitBtn3Click();
}
void TForm1::CheckBox_soundalarmClick() {
    FSound->CheckBox_soundalarmClick();
}
void TForm1::Play_sound_buttonClick() {
    FSound->Play_sound_buttonClick();
}
void TForm1::Browse_BitBtnClick() {
    FSound->Browse_BitBtnClick();
}

void TForm1::CreatePages() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto page = [](QTabWidget* control, const char* name, int captionLine) {
        auto* sheet = new QWidget(control);
        sheet->setObjectName(QString::fromLatin1(name));
        control->addTab(sheet, LangText(captionLine));
        return sheet;
    };
    TabSheet1 = page(PageControl1, "TabSheet1", 10);
    TabSheet7 = page(PageControl1, "TabSheet7", 11);
    TabSheet3 = page(PageControl1, "TabSheet3", 12);
    TabSheet2 = page(PageControl1, "TabSheet2", 13);
    auto* logs = new QVBoxLayout(TabSheet2);
    PageControl2 = new QTabWidget(TabSheet2);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    logs->addWidget(PageControl2);
    TabSheet4 = page(PageControl2, "TabSheet4", 21);
    TabSheet5 = page(PageControl2, "TabSheet5", 22);
    TabSheet6 = page(PageControl2, "TabSheet6", 23);
    setCentralWidget(PageControl1);
}

void TForm1::CreateHostPage() {
    THostPageView::TParts parts;
    parts.Page = TabSheet1;
    parts.MenuBar = menuBar();
    parts.GroupTreeChanged = [this](const TGroupTree& Nodes) {
        GroupNodes = Nodes;
    };
    parts.SaveSettings = [this] {
        SaveSettings();
    };
    FHostPage = std::make_unique<THostPageView>(*FServices, parts);
    TreeView1 = FHostPage->TreeView1;
}

// The view needs the services' host table, so it is made in FormCreate.
void TForm1::CreateHostGridView() {
    FHostPage->FormCreate(BitBtn3, BitBtn6, &FLogPages->Logs_grid());
    // The types dialog fills the host type filter ("All" last); the filter exists from here on.
    ComboBox1 = FHostPage->ComboBox1;
    TTypes_form::SetMainTypeCombo(ComboBox1);
    HostGridView = FHostPage->HostGridView;
}

void TForm1::CreateOptionControls() {
    // "Sound off" and "Mute"; the host page places them beside the host list.
    BitBtn6 = new QPushButton(LangText(34), TabSheet1);
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn3 = new QPushButton(LangText(36), TabSheet1);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    // The page's own controls; ranges and values come from the settings model once bound.
    FOptions = new TOptionsPage(*TabSheet3);
    BitBtn7 = new QPushButton(QStringLiteral("Test now"), TabSheet3);
    BitBtn7->setObjectName(QStringLiteral("BitBtn7"));
    BitBtn7->hide();
    connect(BitBtn7, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn7Click", [this] { BitBtn7Click(); }); });
}

void TForm1::BindOptionControls() {
    FOptions->Bind(OptionsPageParts());
}

void TForm1::CreateStatusBar() {
    FStatus = std::make_unique<TStatusView>(this);
    StatusBar1 = FStatus->StatusBar1;
    BitBtn2 = FStatus->BitBtn2;
    // The bar sits under the pages.
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("MainBody"));
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(takeCentralWidget(), 1);
    column->addWidget(StatusBar1);
    setCentralWidget(body);
    FHostPage->PlaceStartStop(BitBtn2);
    // Reported on the writing thread; shown on this one, while the window still exists.
    MonitorDatabase.SetWriteStateHook([form = QPointer<TForm1>(this)](const QString& Line, bool Failing) {
        if (form)
            PostToGui(form, "ShowDatabaseWriteState", [form, Line, Failing] {
                if (form)
                    form->ShowDatabaseWriteState(Line, Failing);
            });
    });
}

void TForm1::ShowDatabaseWriteState(const QString& Line, bool Failing) {
    FStatus->ShowDatabaseWriteState(Line, Failing);
}

QString TForm1::DatabaseWriteState() const {
    return FStatus->DatabaseWriteState();
}

void TForm1::SetPanelText(TStatusPanel Panel, const QString& Text, int Colour) {
    FStatus->SetStatusPanel(Panel, Text, Colour);
}

QString TForm1::StatusPanel(TStatusPanel Panel) const {
    return FStatus->StatusPanel(Panel);
}

void TForm1::BitBtn2Click() {
    FStatus->BitBtn2Click();
}

void TForm1::Timer9Timer() {
    FStatus->Timer9Timer();
}

void TForm1::Timer22Timer() {
    FStatus->Timer22Timer();
}

void TForm1::BitBtn7Click() {
    Monitor().BitBtn7Click();
}

void TForm1::ShowGroupTree(const TGroupTree& Nodes) {
    GroupNodes = Nodes;
    FHostPage->ShowGroupTree(Nodes);
}

void TForm1::RestoreTreeExpansion() {
    FHostPage->RestoreTreeExpansion();
}

void TForm1::FormCreate() {
    TMonitorServices& Services = *FServices;
    DataGrid1 = &Services.DataGrid1();
    DownHostGrid = &Services.DownHostGrid();
    UpHostGrid = &Services.UpHostGrid();
    Sound_down_grid = &Services.Sound_down_grid();
    CreateHostGridView();
    BindOptionControls();
    Services.Channels().SetStatusPanels(this);
    Services.SetGroupTree(this);
    connect(&Services.Controller(), &TMonitorController::StartStopEnabledChanged, BitBtn7,
            &QWidget::setEnabled);
    FStatus->FormCreate(*DataGrid1, Services.Controller(), *BitBtn7);
    CreateSoundControls();
    Services.Channels().SetSound(FSound.get());
    FSound->StartAudio();
    FLogPages->FormCreate();
    FOnline = std::make_unique<TOnlinePage>(
        *TabSheet7,
        TOnlinePage::TParts{DataGrid1, [this]() -> const TGroupTree& { return GroupNodes; }, TreeView1,
                            [this] {
                                FHostPage->PopupMenu2Popup();
                            }});
    FOnline->FormCreate(Services.Settings());
    InstallDefaultHostActions(*this);
    HostActions().OpenLogs = [this](const QString& Kod) {
        if (ILogsDialog* logs = FServices->Roles().LogsDialog()) {
            logs->ExecHostLogs(Kod);
        }
    };
    HostActions().ViewSyslog = [this](const QString& Address) {
        FLogPages->ShowHostSyslog(Address);
    };
    // The tray hint lines join here.
    LoadSettings();
    // After the message loop starts: the first pass after 5 s, the first transaction after 7.5 s.
    Monitor().StartTimers();
}

void TForm1::LoadSettings() {
    if (const auto bytes = ReadSettingsFile(DataFolder() + QStringLiteral("Settings.cnfg"))) {
        TSettings values = *FServices->Settings().Snapshot();
        ApplySettingsLines(FileTextToLines(*bytes), EarlySettingsLines(), values);
        FServices->Settings().Replace(values);
    }
    // The syslog server starts from the log page once it is built (it is idempotent there).
    if (DataGrid1) {
        HideEveryColumn(*DataGrid1);
        if (const auto layout = ReadSettingsFile(DataFolder() + QStringLiteral("GSettings.cnfg"))) {
            Guarded("TForm1.LoadSettings", [&] { DataGrid1->LoadLayoutFromIniBytes(*layout); });
        }
    }
}

void TForm1::FillLanguages(const QStringList& Names) {
    OptionsPage().FillLanguages(Names);
}

void TForm1::ApplyGridLines() {
    OptionsPage().ApplyGridLines();
}

void TForm1::SetUpSounds(const QStringList& Names) {
    OptionsPage().SetUpSoundList(Names);
    SoundControls().ApplyStartupState();
}

void TForm1::TitleHostFrame(const QString& Prefix) {
    if (FHostPage && FHostPage->GroupBox3 && TreeView1 && TreeView1->topLevelItemCount() > 0) {
        FHostPage->GroupBox3->setTitle(Prefix + QLatin1Char(' ') + TreeView1->topLevelItem(0)->text(0));
    }
}

void TForm1::SaveSettings() {
    TSettings values = *FServices->Settings().Snapshot();
    values.HostRowCount = DataGrid1 ? DataGrid1->RowCount() : 0;
    values.StatusFilterWord = HostView.StatusFilterWord;
    values.CurrentGroupText = HostView.CurrentGroupText;
    values.ShowAllHosts = HostView.ShowAllHosts;
    const QString data = DataFolder();
    WriteFileAtomic(data + QStringLiteral("Settings.cnfg"), LinesToFileText(SettingsFileLinesOf(values)));
    if (DataGrid1) {
        WriteFileAtomic(data + QStringLiteral("GSettings.cnfg"), DataGrid1->LayoutToIniBytes());
    }
    ApplyAutostart(values.CheckBox_start_with_system, RunningProgramPath());
    SaveWindowPlacement();
}

void TForm1::Exit1Click() {
    Guarded("TForm1.Exit1Click", [this] { ExitProgram(); });
}

void TForm1::Exit2Click() {
    Guarded("TForm1.Exit2Click", [this] { ExitProgram(); });
}

void TForm1::ExitProgram() {
    if (closing_) {
        return;
    }
    closing_ = true;
    // Run here, not from a close event: close() on a window whose platform window is gone reports
    // success without sending one, and the sequence would never run while this flag keeps every
    // later Exit and signal out.
    Guarded("TForm1.FormCloseQuery", [this] { FormCloseQuery(); });
    hide();
    emit ProgramClosed();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (closing_) {
        // The program is ending: nothing keeps the window.
        event->accept();
        return;
    }
    // The close box sends the window to the notification area; the program goes on. With no
    // notification area to come back from, it is minimised instead.
    event->ignore();
    if (ITrayIcon* tray = FServices->Roles().Tray(); tray && !tray->TrayAvailable()) {
        showMinimized();
    } else {
        hide();
    }
}

template <class F> void TForm1::CloseStep(const char* name, F&& step) {
    TraceStartupStep(QString::fromLatin1(name));
    Guarded(name, std::forward<F>(step));
}

void TForm1::FormCloseQuery() {
    CloseStep("StopWorkerThreads", [this] { StopWorkerThreads(); });
    CloseStep("SaveSettings", [this] { SaveSettings(); });
    CloseStep("FreeAudio", [this] { FreeAudio(); });
    CloseStep("AddProgramLog", [this] { AddProgramLog(LangText(LangLine::ProgramClosed)); });
    CloseStep("CommitOpenTransaction", [this] { CommitOpenTransaction(); });
    CloseStep("SaveTreeExpansion", [this] { SaveTreeExpansion(); });
    CloseStep("SignOffMessaging", [this] { SignOffMessaging(); });
    CloseStep("PumpDelay", [this] { PumpDelay(closePumpMs); });
}

void TForm1::StopWorkerThreads() {
    // Workers end at their next look at the flags; until they have, their synchronous calls
    // are still served so none of them waits on this thread forever.
    FServices->Controller().Shutdown(2000);
    FLogPages->StopSyslogServer();
    MonitoringActive = false;
    RequestShutdown();
    WaitServingSynchronize([] { return RunningWorkerThreads() == 0; }, workerStopLimitMs);
}

void TForm1::FreeAudio() {
    FSound->FreeAudio();
}

void TForm1::CommitOpenTransaction() {
    if (MonitorDatabase.InTransaction()) {
        CommitLongTransaction(MonitorDatabase);
    }
}

void TForm1::SaveTreeExpansion() {
    FHostPage->SaveTreeExpansion();
}

void TForm1::SignOffMessaging() {
    if (IMessagingService* messaging = FServices->Messaging()) {
        messaging->SignOff();
    }
}

void TForm1::PumpDelay(int ms) {
    ::PumpDelay(ms);
}

void TForm1::AddProgramLog(const QString& text) {
    ::AddProgramLog(text);
}
