// The check engine's owner for the benchmarks: passes run back to back (no pause, the countdown
// gate open), the event queue is emptied at each pass's end, and the sampler walks once.
#pragma once

#include "core/CheckEngine.h"
#include "core/ExceptionGuard.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/SamplingThread.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <thread>

class TBenchEngineOwner : public IEngineOwner {
public:
    TBenchEngineOwner(TDataGrid& Hosts, TDataGrid& Queue, TSQLiteDatabase& Database, IHostProbes& Probes,
                      int ThresholdN)
        : FHosts(Hosts), FQueue(Queue), FDatabase(Database), FProbes(Probes) {
        TSettings values;
        values.ploss_spin = ThresholdN;
        FSettings = std::make_shared<const TSettings>(values);
    }
    ~TBenchEngineOwner() override { Stop(); }

    TSQLiteDatabase& Database() override { return FDatabase; }
    IHostProbes& Probes() override { return FProbes; }
    TSettingsSnapshot Settings() const override { return FSettings; }
    void ShowCheckProgress(const QString&) override {}
    TDataGrid& Hosts() override { return FHosts; }
    TDataGrid& DownHostGrid() override { return FQueue; }
    bool PassCountdownRunning() const override { return false; }
    void StartPassCountdown() override { ++PassCount; }
    void ClearEventQueue() override { FQueue.ClearRows(); }
    int SamplingTag() const override { return FSamplingTag; }
    void RestartSamplingWindow() override { FSamplingTag = 60; }
    void DispatchAlarms() override { FQueue.ClearRows(); }
    int ProbeBound() const override { return Bound; }

    // Hosts probed at once by the check thread.
    int Bound = 1;

    // Starts the check thread and the sampling thread with the given echo time-out.
    void Start(int PingTimeoutMs) {
        MonitoringActive = true;
        FRunning = 2;
        FCheck = std::thread([this, PingTimeoutMs] {
            Guarded("check thread", [&] { TNewThread(*this, 0, PingTimeoutMs).Execute(); });
            --FRunning;
        });
        FSampling = std::thread([this] {
            Guarded("sampling thread", [&] { TPort_Monitoring_Thread(*this).Execute(); });
            --FRunning;
        });
    }
    // Serves the threads' calls until Passes passes have completed; false after LimitMs. Sleeps
    // between calls as the program's event loop does, so it takes no processor from the probes.
    bool WaitPasses(int Passes, int LimitMs) {
        QElapsedTimer clock;
        clock.start();
        QTimer look; // wakes the loop to look at the limit when no call comes
        look.start(50);
        while (PassCount < Passes) {
            if (clock.elapsed() > LimitMs) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    // Stops both threads and waits for them, serving their calls meanwhile.
    void Stop() {
        MonitoringActive = false;
        WakeAllWorkerWaits();
        FProbes.CancelAll();
        WaitServingSynchronize([this] { return FRunning.load() == 0; }, 60000);
        for (std::thread* thread : {&FCheck, &FSampling}) {
            if (thread->joinable()) {
                thread->join();
            }
        }
    }

    int PassCount = 0; // GUI thread

private:
    TDataGrid& FHosts;
    TDataGrid& FQueue;
    TSQLiteDatabase& FDatabase;
    IHostProbes& FProbes;
    TSettingsSnapshot FSettings;
    int FSamplingTag = 0;
    std::atomic<int> FRunning{0};
    std::thread FCheck;
    std::thread FSampling;
};
