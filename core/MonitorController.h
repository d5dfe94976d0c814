// Starting and stopping monitoring and the timers around it: the first start after 5 s, the pass
// countdown, the traffic sampling window and the commit timer of the long transaction. Owns the
// check thread and the sampling thread; lives on the GUI thread and never blocks on them.
#pragma once

#include "core/MonitorInterfaces.h"
#include "core/StatusPanels.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TAlarmChannels;
class TDataGrid;
class TSQLiteDatabase;
class TSettingsModel;

// The program's side of the engine (IEngineOwner): the threads run on what the controller holds.
class TMonitorController : public QObject, public IEngineOwner {
    Q_OBJECT
public:
    // Channels gives the status panels; the options come from Settings.
    TMonitorController(TDataGrid& Hosts, TDataGrid& DownHostGrid, TSQLiteDatabase& Database,
                       TSettingsModel& Settings, IHostProbes& Probes, TAlarmChannels& Channels,
                       QObject* Parent = nullptr);
    ~TMonitorController() override;

    // The end-of-pass dispatcher, run on the GUI thread when events were queued.
    void SetDispatcher(std::function<void()> Dispatch) { FDispatch = std::move(Dispatch); }

    // Start/stop toggle (BitBtn7). Refused while old worker threads are still ending; deferred
    // while the dispatcher runs. Returns whether it toggled now.
    bool BitBtn7Click();
    // Stops monitoring and the timers for good and waits (serving the workers' synchronous
    // calls) until both threads have ended, at most LimitMs and a last 500 ms; beyond that it writes
    // one program-log line and returns without them. The caller commits.
    void Shutdown(int LimitMs = 2000);

    // Starts Timer4 (first pass after 5 s) and Timer10 (first commit after 7.5 s). The long
    // transaction itself is open before: the start-up load opens it, and every start of
    // monitoring opens it when none is open.
    void StartTimers();

    // GUI thread: monitoring is on. The controller alone sets the workers' stop flag.
    bool MonitoringOn() const;
    bool ThreadsRunning() const { return FRunningThreads.load() > 0; }
    int RunningCheckThreads() const { return FRunningCheckThreads.load(); }
    int RunningThreads() const { return FRunningThreads.load(); }
    bool IsDispatching() const { return FDispatching; }
    // Work that must not run beside a pass (deleting hosts, saving options): stops monitoring when
    // it runs, runs Work, and starts monitoring again once the stopped threads have ended (never a
    // second check thread beside the first; the GUI is not blocked meanwhile). When monitoring was
    // off Work just runs. Returns false when Work did not run (shut-down).
    bool RunWithMonitoringPaused(const std::function<void()>& Work);
    // A start is waiting for the old threads to end.
    bool RestartPending() const { return FRestartPending; }

    // Runs Action now, or as soon as the dispatcher has finished.
    void RunWhenDispatcherIdle(std::function<void()> Action);

    // IEngineOwner: used by the worker threads, the grid steps through synchronous calls.
    TSQLiteDatabase& Database() override { return FDatabase; }
    IHostProbes& Probes() override { return FProbes; }
    TSettingsSnapshot Settings() const override;
    void ShowCheckProgress(const QString& Text) override;
    TDataGrid& Hosts() override { return FHosts; }
    TDataGrid& DownHostGrid() override { return FDownHostGrid; }
    bool PassCountdownRunning() const override { return Timer_time_to_ping.isActive(); }
    void StartPassCountdown() override;
    void ClearEventQueue() override;
    int SamplingTag() const override { return FSamplingTag; }
    void RestartSamplingWindow() override;
    void DispatchAlarms() override;
    int ProbeBound() const override;
    // Hosts in flight for the next start; 0 (the default) takes the process's bound.
    void SetProbeBound(int Bound) { FProbeBound = Bound; }

    // The timers, named as the main window knows them.
    QTimer Timer4;             // 5000 ms, once: the first start
    QTimer Timer_time_to_ping; // 1000 ms: the countdown to the next pass
    QTimer Timer10;            // 7500 ms first, then 35000 ms: commit and reopen
    QTimer timer_pm;           // 1000 ms: the traffic sampling window
    int PassCountdownTag() const { return FPassCountdownTag; }
    // Passes completed since the program started.
    int PassCount() const { return FPassCount; }

    void Timer4Timer();
    void Timer_time_to_pingTimer();
    void Timer10Timer();
    void timer_pmTimer();

signals:
    // The Start/Stop command may be used (false while old worker threads are still ending).
    void StartStopEnabledChanged(bool Enabled);
    // Each second of the traffic window while it runs, with the seconds left (chart refresh).
    void TrafficWindowTick(int SecondsLeft);

private:
    void ShowPanel(TStatusPanel Panel, const QString& Text, int Colour = PanelColourBlack);
    void StartMonitoring();
    void StopMonitoring();
    void WatchWorkers();
    void JoinEnded();
    template <class TBody> void Launch(std::thread& Thread, bool Check, TBody Body);

    TDataGrid& FHosts;
    TDataGrid& FDownHostGrid;
    TSQLiteDatabase& FDatabase;
    TSettingsModel& FSettings;
    IHostProbes& FProbes;
    TAlarmChannels& FChannels;
    std::function<void()> FDispatch;

    std::thread FCheckThread;
    std::thread FSamplingThread;
    std::atomic<int> FRunningThreads{0};
    std::atomic<int> FRunningCheckThreads{0};
    bool FDispatching = false;
    bool FShutDown = false;
    bool FRestartPending = false;
    bool FGaveUpOnWorkers = false;
    std::vector<std::function<void()>> FAfterDispatch;
    int FPassCountdownTag = 0;
    int FSamplingTag = 0;
    int FPassCount = 0;
    int FProbeBound = 0;
    std::mutex FProgressLock;
    QString FProgressText;
    bool FProgressChanged = false;
    QTimer FWorkerWatch;
};
