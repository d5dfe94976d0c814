// The main window's skeleton: creation, the Exit command and the close sequence.
#include "ui/main/main_form.h"

#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "core/ProgramLog.h"
#include "core/PumpDelay.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "ui/main/StartupTrace.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>

TForm1* Form1 = nullptr;

namespace {

// How long the close waits for worker threads; their waits and network calls are interruptible,
// so this only bounds a worker stuck in an uncancellable call.
constexpr int workerStopLimitMs = 5000;

// The message-pumping wait at the very end of the close.
constexpr int closePumpMs = 150;

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Exit1 = File1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit2 = new QAction(QStringLiteral("Exit"), this);
    Exit2->setObjectName(QStringLiteral("Exit2"));
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Exit2, &QAction::triggered, this, &TForm1::Exit2Click);
}

void TForm1::FormCreate() {
    // The tray hint lines and the audio start-up join here.
    LoadSettings();
}

void TForm1::LoadSettings() {
    // Filled by the settings files.
}

void TForm1::SaveSettings() {
    // Filled by the settings files.
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
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        // The close box sends the window to the notification area; the program goes on.
        event->ignore();
        hide();
        return;
    }
    Guarded("TForm1.FormCloseQuery", [this] { FormCloseQuery(); });
    event->accept();
    emit ProgramClosed();
}

template <class F> void TForm1::CloseStep(const char* name, F&& step) {
    TraceStartupStep(QString::fromLatin1(name));
    Guarded(name, std::forward<F>(step));
}

void TForm1::FormCloseQuery() {
    CloseStep("StopWorkerThreads", [this] { StopWorkerThreads(); });
    CloseStep("SaveSettings", [this] { SaveSettings(); });
    CloseStep("FreeAudio", [this] { FreeAudio(); });
    CloseStep("AddProgramLog", [this] { AddProgramLog(LangText(334)); });
    CloseStep("CommitOpenTransaction", [this] { CommitOpenTransaction(); });
    CloseStep("SaveTreeExpansion", [this] { SaveTreeExpansion(); });
    CloseStep("SignOffMessaging", [this] { SignOffMessaging(); });
    CloseStep("PumpDelay", [this] { PumpDelay(closePumpMs); });
}

void TForm1::StopWorkerThreads() {
    // Workers end at their next look at the flags; until they have, their synchronous calls
    // are still served so none of them waits on this thread forever.
    MonitoringActive = false;
    RequestShutdown();
    WaitServingSynchronize([] { return RunningWorkerThreads() == 0; }, workerStopLimitMs);
}

void TForm1::FreeAudio() {
    // Stub until the audio layer lands.
}

void TForm1::CommitOpenTransaction() {
    if (MonitorDatabase.InTransaction()) {
        CommitLongTransaction(MonitorDatabase);
    }
}

void TForm1::SaveTreeExpansion() {
    // Stub until the group tree lands.
}

void TForm1::SignOffMessaging() {
    // Stub until the messaging client lands.
}

void TForm1::PumpDelay(int ms) {
    ::PumpDelay(ms);
}

void TForm1::AddProgramLog(const QString& text) {
    ::AddProgramLog(text);
}
