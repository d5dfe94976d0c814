// Start/stop of monitoring, the worker threads' lifetime and the monitoring timers.
#include "core/MonitorController.h"

#include "core/AlarmChannels.h"
#include "core/AlertFlags.h"
#include "core/CheckEngine.h"
#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/SamplingThread.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"

#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Workers run one step below normal priority, so the GUI stays responsive.
void LowerThisThreadPriority() {
    pid_t tid = pid_t(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, id_t(tid), 1);
}

} // namespace

TMonitorController::TMonitorController(TDataGrid& Hosts, TDataGrid& DownHostGrid, TSQLiteDatabase& Database,
                                       TSettingsModel& Settings, IHostProbes& Probes,
                                       TAlarmChannels& Channels, QObject* Parent)
    : QObject(Parent), FHosts(Hosts), FDownHostGrid(DownHostGrid), FDatabase(Database), FSettings(Settings),
      FProbes(Probes), FChannels(Channels) {
    Timer4.setInterval(5000);
    Timer4.setSingleShot(true);
    Timer_time_to_ping.setInterval(1000);
    Timer10.setInterval(7500);
    timer_pm.setInterval(1000);
    connect(&Timer4, &QTimer::timeout, this, [this] { Guarded("Timer4", [this] { Timer4Timer(); }); });
    connect(&Timer_time_to_ping, &QTimer::timeout, this,
            [this] { Guarded("Timer_time_to_ping", [this] { Timer_time_to_pingTimer(); }); });
    connect(&Timer10, &QTimer::timeout, this, [this] { Guarded("Timer10", [this] { Timer10Timer(); }); });
    connect(&timer_pm, &QTimer::timeout, this, [this] { Guarded("timer_pm", [this] { timer_pmTimer(); }); });
    // The workers never post to the GUI themselves: this timer shows their progress text and
    // notices when they have ended.
    FWorkerWatch.setInterval(50);
    connect(&FWorkerWatch, &QTimer::timeout, this,
            [this] { Guarded("worker watch", [this] { WatchWorkers(); }); });
}

TMonitorController::~TMonitorController() {
    Shutdown(2000);
    // A worker that outlived the hard limit ends with the process, which ends next.
    for (std::thread* thread : {&FCheckThread, &FSamplingThread}) {
        if (thread->joinable()) {
            thread->detach();
        }
    }
}

TSettingsSnapshot TMonitorController::Settings() const {
    return FSettings.Snapshot();
}

void TMonitorController::ShowPanel(TStatusPanel Panel, const QString& Text, int Colour) {
    FChannels.StatusPanels().SetPanelText(Panel, Text, Colour);
}

void TMonitorController::StartTimers() {
    Timer4.start();
    Timer10.start();
}

void TMonitorController::RunWhenDispatcherIdle(std::function<void()> Action) {
    if (FDispatching) {
        FAfterDispatch.push_back(std::move(Action));
        return;
    }
    Action();
}

bool TMonitorController::MonitoringOn() const {
    return MonitoringActive.load();
}

bool TMonitorController::BitBtn7Click() {
    if (FShutDown) {
        return false;
    }
    if (FDispatching) {
        // Start/Stop never runs inside the dispatcher's message pumping.
        FAfterDispatch.push_back([this] { BitBtn7Click(); });
        return false;
    }
    if (!MonitoringActive.load() && ThreadsRunning()) {
        // The previous run's threads have not ended yet: no second check thread beside the first.
        return false;
    }
    if (MonitoringActive.load()) {
        StopMonitoring();
    } else {
        StartMonitoring();
    }
    return true;
}

bool TMonitorController::RunWithMonitoringPaused(const std::function<void()>& Work) {
    if (FShutDown) {
        return false;
    }
    const bool wasOn = MonitoringActive.load() || FRestartPending;
    if (MonitoringActive.load()) {
        StopMonitoring();
    }
    Work();
    if (!wasOn || FShutDown) {
        return true;
    }
    if (ThreadsRunning()) {
        // WatchWorkers starts again once the old threads have reported that they ended.
        FRestartPending = true;
        FWorkerWatch.start();
    } else {
        FRestartPending = false;
        StartMonitoring();
    }
    return true;
}

template <class TBody> void TMonitorController::Launch(std::thread& Thread, bool Check, TBody Body) {
    FRunningThreads.fetch_add(1);
    if (Check) {
        FRunningCheckThreads.fetch_add(1);
    }
    Thread = std::thread([this, Check, Body]() mutable {
        {
            WorkerThreadScope scope;
            LowerThisThreadPriority();
            Guarded(Check ? "check thread" : "sampling thread", Body);
        }
        if (Check) {
            FRunningCheckThreads.fetch_sub(1);
        }
        FRunningThreads.fetch_sub(1);
    });
}

void TMonitorController::StartMonitoring() {
    JoinEnded();
    // The pass's writes go into the long transaction from the first one: a Stop committed it,
    // and a commit per status write would make the first pass the slowest.
    Guarded("transaction at start", [this] {
        if (FDatabase.IsOpen())
            OpenLongTransaction(FDatabase);
    });
    FProbes.ResetCancel();
    MonitoringActive.store(true);
    const TSettingsSnapshot settings = FSettings.Snapshot();
    PassPauseMs.store(settings->Delay_spin * 1000);
    ShowPanel(TStatusPanel::MonitoringState, LangText(LangLine::MonitoringActiveText));
    int pause = PassPauseMs.load();
    int timeout = settings->Timeout_Spin;
    Launch(FCheckThread, true, [this, pause, timeout] { TNewThread(*this, pause, timeout).Execute(); });
    Launch(FSamplingThread, false, [this] { TPort_Monitoring_Thread(*this).Execute(); });
    FWorkerWatch.start();
}

void TMonitorController::StopMonitoring() {
    MonitoringActive.store(false);
    PassPauseMs.store(FSettings.Snapshot()->Delay_spin * 1000);
    WakeAllWorkerWaits();
    FProbes.CancelAll();
    ShowPanel(TStatusPanel::MonitoringState, QStringLiteral("Program now is NOT active"), PanelColourRed);
    if (ThreadsRunning()) {
        emit StartStopEnabledChanged(false);
    }
    Guarded("commit at stop", [this] {
        if (FDatabase.IsOpen() && FDatabase.InTransaction()) {
            CommitLongTransaction(FDatabase);
        }
    });
}

void TMonitorController::JoinEnded() {
    for (std::thread* thread : {&FCheckThread, &FSamplingThread}) {
        if (thread->joinable() && !ThreadsRunning()) {
            thread->join();
        }
    }
}

void TMonitorController::WatchWorkers() {
    QString text;
    bool changed = false;
    {
        std::lock_guard<std::mutex> guard(FProgressLock);
        changed = FProgressChanged;
        FProgressChanged = false;
        text.swap(FProgressText);
    }
    if (changed) {
        ShowPanel(TStatusPanel::Progress, text);
    }
    if (ThreadsRunning()) {
        return;
    }
    FWorkerWatch.stop();
    JoinEnded();
    if (FRestartPending && !FShutDown) {
        FRestartPending = false;
        if (!MonitoringActive.load()) {
            StartMonitoring();
        }
    }
    emit StartStopEnabledChanged(true);
}

void TMonitorController::Shutdown(int LimitMs) {
    // Nothing starts again once the program closes: no first start, no countdown, no new
    // transaction after the close has committed.
    FShutDown = true;
    FRestartPending = false;
    for (QTimer* timer : {&Timer4, &Timer_time_to_ping, &Timer10, &timer_pm}) {
        timer->stop();
    }
    MonitoringActive.store(false);
    WakeAllWorkerWaits();
    FProbes.CancelAll();
    // Once a worker has been given up on, later calls do not wait for it again.
    const int limit = FGaveUpOnWorkers ? 0 : LimitMs;
    if (ThreadsRunning() && !WaitServingSynchronize([this] { return !ThreadsRunning(); }, limit)) {
        // Release any worker still waiting for the GUI, then give it a last moment to finish.
        SetSynchronizeClosed(true);
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(FGaveUpOnWorkers ? 0 : 500);
        while (ThreadsRunning() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SetSynchronizeClosed(false);
    }
    if (ThreadsRunning()) {
        // The hard limit: a worker stuck in a call that cannot be cancelled does not hold the close.
        if (!FGaveUpOnWorkers) {
            WriteProgramLogSink(QStringLiteral("Error! %1 monitoring thread(s) did not end within %2 ms; the "
                                               "program closes without waiting for them.")
                                    .arg(RunningThreads())
                                    .arg(LimitMs + 500));
        }
        FGaveUpOnWorkers = true;
        FWorkerWatch.stop();
        return;
    }
    for (std::thread* thread : {&FCheckThread, &FSamplingThread}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
    FWorkerWatch.stop();
}

void TMonitorController::StartPassCountdown() {
    ++FPassCount;
    FPassCountdownTag = FSettings.Snapshot()->Delay_spin + 1;
    Timer_time_to_ping.start();
}

void TMonitorController::ClearEventQueue() {
    if (!DownAlertVisible) {
        FDownHostGrid.ClearRows();
    }
}

void TMonitorController::RestartSamplingWindow() {
    FSamplingTag = 60;
    timer_pm.start();
}

void TMonitorController::DispatchAlarms() {
    if (!FDispatch) {
        FDownHostGrid.ClearRows();
        return;
    }
    FDispatching = true;
    Guarded("DispatchAlarms", [this] { FDispatch(); });
    FDispatching = false;
    std::vector<std::function<void()>> after;
    after.swap(FAfterDispatch);
    for (auto& action : after) {
        PostToGui(this, "deferred command", action);
    }
}

int TMonitorController::ProbeBound() const {
    return FProbeBound > 0 ? FProbeBound : HostsInFlightBound();
}

void TMonitorController::ShowCheckProgress(const QString& Text) {
    // Display only: the check thread leaves the text here and the worker watch shows the latest,
    // so a fast pass neither waits for the status bar nor floods it.
    // A copy of its own, so no text storage is shared between the threads.
    QString copy(Text.constData(), Text.size());
    std::lock_guard<std::mutex> guard(FProgressLock);
    FProgressText.swap(copy);
    FProgressChanged = true;
}

void TMonitorController::Timer4Timer() {
    ShowPanel(TStatusPanel::SoundState, LangText(SoundMuted ? LangLine::SoundOff : LangLine::SoundOn));
    if (FHosts.RowCount() > 0 && !MonitoringActive.load()) {
        BitBtn7Click();
    }
    Timer4.stop();
}

void TMonitorController::Timer_time_to_pingTimer() {
    --FPassCountdownTag;
    ShowPanel(TStatusPanel::Progress, LangText(LangLine::NextCheckIn) + ' ' +
                                          QString::number(FPassCountdownTag) + ' ' +
                                          LangText(LangLine::SecondsUnit));
    if (FPassCountdownTag <= 0) {
        Timer_time_to_ping.stop();
    }
}

void TMonitorController::Timer10Timer() {
    if (FDatabase.IsOpen()) {
        CycleLongTransaction(FDatabase);
    }
    Timer10.setInterval(35000);
}

void TMonitorController::timer_pmTimer() {
    --FSamplingTag;
    if (FSamplingTag <= 0) {
        FSamplingTag = 0;
        timer_pm.stop();
    }
    emit TrafficWindowTick(FSamplingTag);
}
