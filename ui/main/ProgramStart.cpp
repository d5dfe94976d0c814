// The program block and the termination-signal bridge (self-pipe read by the event loop, so no
// work is done inside the signal handler).
#include "ui/main/ProgramStart.h"

#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/InstanceLock.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/SettingsModel.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "net/pingsend.h"
#include "platform/MessageBox.h"
#include "platform/TerminationSignals.h"
#include "ui/dialogs/About_form.h"
#include "ui/dialogs/Calendar_f.h"
#include "ui/dialogs/DisableSoundForm.h"
#include "ui/dialogs/Email_settings.h"
#include "ui/dialogs/GroupSelectForm.h"
#include "ui/dialogs/Log_s.h"
#include "ui/dialogs/Multi_Host_edit.h"
#include "ui/dialogs/ToolChartPages.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/dialogs/date_time_select_form.h"
#include "ui/dialogs/m_tasks_add.h"
#include "ui/dialogs/tasks_add.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/BigHint.h"
#include "ui/main/MessagingEvents.h"
#include "ui/main/OnlinePage.h"
#include "ui/main/Progress_form.h"
#include "ui/main/SoundControls.h"
#include "ui/main/StartupTrace.h"
#include "ui/main/StatusView.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct CreatedForm {
    std::unique_ptr<QWidget> form;
    std::function<void()> clearPointer;
};

std::vector<CreatedForm>& CreatedForms() {
    static std::vector<CreatedForm> forms;
    return forms;
}

// The services the windows share: made before the first window, gone after the last.
std::unique_ptr<TMonitorServices>& Services() {
    static std::unique_ptr<TMonitorServices> services;
    return services;
}

// What a window is told of the others before its creation handler runs: the roles it plays are
// registered (and withdrawn, nullptr, with its global), the tray learns the main window.
void ConnectWindow(TForm1* Form) {
    Services()->Roles().SetShell(Form);
}
void ConnectWindow(TProgress_Form* Form) {
    Services()->Roles().SetProgress(Form);
}
void ConnectWindow(TPing_tracert_form* Form) {
    Services()->Roles().SetTools(Form);
}
void ConnectWindow(TAlert_window* Form) {
    Services()->Roles().SetPopupTest(Form);
}
void ConnectWindow(TAbout_f* Form) {
    Services()->Roles().SetAbout(Form);
}
void ConnectWindow(TAdd_M_hosts* Form) {
    Services()->Roles().SetAddMany(Form);
}
void ConnectWindow(TLogs* Form) {
    Services()->Roles().SetLogsDialog(Form);
}
void ConnectWindow(TAlert_window_up* Form) {
    if (Form) {
        Form->SetDownPopup(Alert_window);
    }
}
void ConnectWindow(TMultiple_hosts_edit_form* Form) {
    Services()->Roles().SetMultiEdit(Form);
}
void ConnectWindow(TEmail_settings_form* Form) {
    Services()->Roles().SetNotifications(Form);
}
void ConnectWindow(TGroup_Select_Form* Form) {
    Services()->Roles().SetGroupPicker(Form);
}
void ConnectWindow(TTasks_form* Form) {
    Services()->Roles().SetHostDialog(Form);
}
void ConnectWindow(TTypes_form* Form) {
    Services()->Roles().SetHostTypes(Form);
}
void ConnectWindow(TSoundDisableForm* Form) {
    if (Form1) {
        Form1->SoundControls().SetSoundOffDialog(Form);
    }
}
void ConnectWindow(TCalendar_form* Form) {
    Services()->Roles().SetCalendar(Form);
}
void ConnectWindow(TSelect_date_Form* Form) {
    if (Ping_tracert_form) {
        Ping_tracert_form->Charts().SetDateDialog(Form);
    }
}
void ConnectWindow(TColumn_Form* Form) {
    Services()->Roles().SetColumns(Form);
}
void ConnectWindow(TBig_hint_form* Form) {
    Services()->Roles().SetTray(Form);
    if (!Form) {
        return;
    }
    if (Form1) {
        Form1->StatusView().SetTray(Form);
    }
    // The main window exists already (it is created first): the icon shows it and the menu ends it.
    if (Form1) {
        Form->SetMainWindow(Form1, [] { ApplyWindowStateCode(*Form1, Form1->WindowStateCode); });
        Form->SetExitAction(Form1->Exit2);
    }
    Form->SetAboutHandler([] {
        if (About_f)
            About_f->exec();
    });
}

// Like the toolkit's form creation: the global pointer is set before the creation handler runs,
// so the handler (and anything it calls) can already reach the window through it.
template <class T> void CreateForm(T*& pointer, const char* className) {
    auto form = std::make_unique<T>(*Services());
    pointer = form.get();
    CreatedForms().push_back({std::move(form), [&pointer] {
                                  ConnectWindow(static_cast<T*>(nullptr));
                                  pointer = nullptr;
                              }});
    ConnectWindow(pointer);
    const QString step = QString::fromLatin1(className) + QStringLiteral(".FormCreate");
    TraceStartupStep(step);
    Guarded(step.toLatin1().constData(), [&pointer] { pointer->FormCreate(); });
}

struct StartStep {
    QString name;
    std::function<void()> run;
};

template <class T> StartStep FormStep(T*& pointer, const char* className) {
    return {QString::fromLatin1(className) + QStringLiteral(".FormCreate"), [&pointer, className] {
                CreateForm(pointer, className);
            }};
}

// A service step: runs guarded, so a failing step is reported and the start goes on.
StartStep ServiceStep(const char* name, std::function<void()> run) {
    return {QString::fromLatin1(name), [name, run = std::move(run)] {
                Guarded(name, run);
            }};
}

QString IcmpEchoRefusedText() {
    return QStringLiteral("ICMP echo is not permitted: neither ICMP datagram sockets nor raw sockets can be "
                          "opened. Echo checks are skipped until echo requests can be sent (give the program "
                          "cap_net_raw, or open net.ipv4.ping_group_range to its group).");
}

// The database loader: open, schema, both group trees (the main window's and the group picker's,
// made before it), the host load; then the word on echo rights.
void LoadDatabase() {
    TDatabaseLoadContext context;
    context.Progress = Services()->Roles().Progress();
    context.ShowMessage = [](const QString& Text) {
        ShowMessageBoxLater(Text);
    };
    Services()->LoadDatabase(std::move(context));
    if (!IcmpEchoAvailable()) {
        const QString text = IcmpEchoRefusedText();
        AddProgramLog(text);
        ShowMessageBoxLater(text);
    }
}

// The remote commands read the main window's group tree and online page while it exists.
TMessagingParts MainWindowMessagingParts() {
    TMessagingParts parts;
    parts.GroupTree = []() -> const TGroupTree& {
        static const TGroupTree noNodes;
        return Form1 ? Form1->GroupNodes : noNodes;
    };
    parts.HostGrid = [] {
        return &Services()->DataGrid1();
    };
    parts.DownGrid = []() -> TDataGrid* {
        return Form1 && Form1->OnlinePage() ? Form1->OnlinePage()->DownGrid.get() : nullptr;
    };
    parts.RefreshDownGrid = [] {
        if (Form1 && Form1->OnlinePage()) {
            Form1->OnlinePage()->BitBtn35->click();
        }
    };
    parts.NotificationEnabled = [] {
        return Services()->Settings().Snapshot()->ICQ_CheckBox;
    };
    parts.Database = &Services()->Database();
    return parts;
}

// The messaging client joins the services once every window it reads exists, then signs on when
// the option is on.
void StartMessaging() {
    Services()->SetMessaging(std::make_unique<TMessagingService>(MainWindowMessagingParts()));
    const TSettingsSnapshot values = Services()->Settings().Snapshot();
    if (values->ICQ_CheckBox) {
        Services()->Messaging()->StartupSignOn(TextToInt64(values->ICQ_UIN_Edit), values->ICQ_Password_Edit);
    }
}

// The start-up in its fixed order: each window's creation handler where the window is made, and
// the services' starts where the loading order puts them (the database once the main window,
// both group trees and the progress window exist; the settings, the syslog server and the
// messaging sign-on once the notification settings are read and every window exists).
std::vector<StartStep> StartSteps() {
    return {
        FormStep(Form1, "TForm1"),
        FormStep(Alert_window, "TAlert_window"),
        FormStep(Progress_Form, "TProgress_Form"),
        FormStep(About_f, "TAbout_f"),
        FormStep(Add_M_hosts, "TAdd_M_hosts"),
        FormStep(Logs, "TLogs"),
        FormStep(Alert_window_up, "TAlert_window_up"),
        FormStep(Multiple_hosts_edit_form, "TMultiple_hosts_edit_form"),
        FormStep(Email_settings_form, "TEmail_settings_form"),
        FormStep(Big_hint_form, "TBig_hint_form"),
        FormStep(Group_Select_Form, "TGroup_Select_Form"),
        FormStep(Ping_tracert_form, "TPing_tracert_form"),
        ServiceStep("LoadDatabase", [] { LoadDatabase(); }),
        ServiceStep("StartBackupTimer", [] { Services()->StartBackupTimer(); }),
        FormStep(Tasks_form, "TTasks_form"),
        FormStep(Types_form, "TTypes_form"),
        FormStep(SoundDisableForm, "TSoundDisableForm"),
        FormStep(Calendar_form, "TCalendar_form"),
        FormStep(Select_date_Form, "TSelect_date_Form"),
        FormStep(Column_Form, "TColumn_Form"),
        ServiceStep("LoadStartupSettings",
                    [] {
                        if (Column_Form) {
                            Column_Form->LoadStartupSettings();
                        }
                    }),
        // Idempotent: a server the options already started goes on.
        ServiceStep("StartSyslogServer",
                    [] {
                        if (Form1) {
                            Form1->StartSyslogServer();
                        }
                    }),
        ServiceStep("SignOnMessaging", [] { StartMessaging(); }),
    };
}

// Termination signals write one byte into a pipe (whichever thread takes the signal); the event
// loop reads it. The close a signal asks for is never run where the loop happens to be (a modal
// dialog, a pumping wait, a start-up step): the signal ends every running loop, nested ones too,
// and the close sequence runs once the program block's loop has returned.
int signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t rc = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

class TerminationSignals {
public:
    TerminationSignals() {
        if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            ReleaseTerminationSignals();
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] { OnSignalByte(); });
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
        installed_ = true;
        // A signal held since the start is delivered now, into the pipe.
        ReleaseTerminationSignals();
    }

    ~TerminationSignals() {
        if (!installed_) {
            return;
        }
        // The close has run and the process ends next: a later signal has nothing left to ask for,
        // and the default action would end the process by the signal instead. The pipe stays open
        // until the process ends, so a handler still running on another thread never writes into
        // a reused descriptor.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGTERM, &ignore, nullptr);
        ::sigaction(SIGINT, &ignore, nullptr);
        notifier_.reset();
    }

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Called first thing in the message loop. The loops a signal ended during the start were the
    // start's own; the main loop begins after them and must end too. So must a loop whose close
    // already ran during the start (Exit while a start-up step waited), which nothing ends else.
    static void MessageLoopStarted() {
        if (requested || (Form1 && Form1->Closing())) {
            QCoreApplication::exit(0);
        }
    }

private:
    static void OnSignalByte() {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        // Remembered for MessageLoopStarted; exit() (unlike quit()) is never refused by a window
        // and ends the loop even when it is not the program block's.
        requested = true;
        QCoreApplication::exit(0);
    }

    static inline bool requested = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
};

} // namespace

QStringList FormCreationOrder() {
    const QString suffix = QStringLiteral(".FormCreate");
    QStringList classes;
    for (const QString& name : StartupStepNames()) {
        if (name.endsWith(suffix)) {
            classes << name.chopped(suffix.size());
        }
    }
    return classes;
}

QStringList StartupStepNames() {
    QStringList names;
    for (const StartStep& step : StartSteps()) {
        names << step.name;
    }
    return names;
}

void CreateForms() {
    Services() = std::make_unique<TMonitorServices>(MonitorDatabase, DataFolder());
    for (const StartStep& step : StartSteps()) {
        step.run();
    }
}

void ApplyStartVisibility(bool trayAvailable) {
    if (!Form1) {
        return;
    }
    // Only ever shows: a window the first start has shown stays shown with a tray too.
    if (!trayAvailable) {
        Form1->show();
    }
}

void CloseProgram() {
    if (Form1) {
        Form1->ExitProgram();
    }
}

void DestroyForms() {
    // No thread runs on the windows while they go: every service thread is stopped and joined.
    if (Services()) {
        Services()->Stop();
    }
    auto& forms = CreatedForms();
    // The main window goes last: other windows may still refer to it while they are destroyed.
    while (!forms.empty()) {
        CreatedForm last = std::move(forms.back());
        forms.pop_back();
        last.form.reset();
        last.clearPointer();
    }
    Services().reset();
}

int RunProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(ApplicationTitle));
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Without a screen nobody could answer a modal box: its text goes to standard error.
        SetMessageBoxHandler([](const QString& caption, const QString& text) {
            std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        });
    }
    EnsureDataFolder();
    // A second copy on a Data folder in use ends before it touches the database.
    TInstanceLock instanceLock;
    if (instanceLock.Acquire(DataFolder()) == TInstanceLock::HeldElsewhere) {
        // Nothing to close yet: a signal may end this copy while its message is shown.
        ReleaseTerminationSignals();
        ShowMessageBox(InstanceRunningText(DataFolder()));
        return 1;
    }
    InstallProgramLogSink();
    TerminationSignals terminationSignals;
    CreateForms();
    if (Form1) {
        // exit(), not quit(): quit() is refused while a visible window refuses its close event.
        QObject::connect(Form1, &TForm1::ProgramClosed, &app, [] { QCoreApplication::exit(0); });
    }
    ApplyStartVisibility(Big_hint_form ? Big_hint_form->TrayAvailable()
                                       : QSystemTrayIcon::isSystemTrayAvailable());
    QTimer::singleShot(0, &app, [] { TerminationSignals::MessageLoopStarted(); });
    const int rc = QApplication::exec();
    // However the loop ended (a termination signal ends it first), the workers stop and the close
    // sequence runs before any window goes.
    if (Form1 && !Form1->Closing()) {
        CloseProgram();
    }
    // exit() closes no window: the other windows still open get their close handlers, as the tools
    // window's, which empties its real-time samples.
    QApplication::closeAllWindows();
    // From here on no worker may run code on the windows that are about to go.
    SetSynchronizeClosed(true);
    DestroyForms();
    return rc;
}
