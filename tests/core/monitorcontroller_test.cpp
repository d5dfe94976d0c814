// The monitor controller: start and stop, the threads' lifetime, shut-down, the status panels it
// writes by name, and the options it hands the engine from the settings model.
#include "core/AlarmChannels.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/ProgramLogSink.h"
#include "core/SettingsModel.h"
#include "core/Synchronize.h"
#include "tests/core/engine_fixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <mutex>

namespace {

// The engine fixture's host table, queue, database and probes under a real controller.
class ControllerFixture : public EngineFixture {
public:
    ControllerFixture() {
        Channels.SetStatusPanels(&Panels);
        Controller =
            std::make_unique<TMonitorController>(Hosts, DownHostGrid, Database, Settings, Probes, Channels);
        Controller->Timer_time_to_ping.setInterval(40);
        Controller->SetDispatcher([this] { DownHostGrid.ClearRows(); });
        QObject::connect(Controller.get(), &TMonitorController::StartStopEnabledChanged,
                         [this](bool Enabled) { StartStopEnabled = Enabled; });
    }
    ~ControllerFixture() { Controller.reset(); }

    TSettingsModel Settings;
    TAlarmChannels Channels;
    RecordingPanels Panels;
    bool StartStopEnabled = true;
    std::unique_ptr<TMonitorController> Controller;
};

} // namespace

TEST(MonitorController, StopDuringLongPauseEndsThreadsQuicklyAndStartWaitsForThem) {
    ControllerFixture f;
    f.Settings.Update([](TSettings& s) { s.Delay_spin = 60; });
    f.AddHost({});
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    EXPECT_EQ(f.Panels.Texts[TStatusPanel::MonitoringState], LangText(LangLine::MonitoringActiveText));
    EXPECT_EQ(f.Panels.Colours[TStatusPanel::MonitoringState], PanelColourBlack);
    ASSERT_TRUE(f.WaitFor([&] { return f.Controller->PassCount() >= 1; }, 5000));
    EXPECT_EQ(PassPauseMs.load(), 60000);
    QElapsedTimer clock;
    clock.start();
    f.Controller->BitBtn7Click();
    EXPECT_FALSE(MonitoringActive.load());
    EXPECT_EQ(f.Panels.Texts[TStatusPanel::MonitoringState], "Program now is NOT active");
    EXPECT_EQ(f.Panels.Colours[TStatusPanel::MonitoringState], PanelColourRed);
    // Start right after stop is refused while the old threads end.
    if (f.Controller->ThreadsRunning()) {
        EXPECT_FALSE(f.Controller->BitBtn7Click());
        EXPECT_FALSE(f.StartStopEnabled);
    }
    ASSERT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 1000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(f.WaitFor([&] { return f.StartStopEnabled; }, 1000));
    EXPECT_LE(f.Controller->RunningCheckThreads(), 0);
}

TEST(MonitorController, StopThenImmediateStartNeverRunsTwoCheckThreads) {
    ControllerFixture f;
    f.AddHost({});
    int most = 0;
    for (int i = 0; i < 20; ++i) {
        f.Controller->BitBtn7Click();
        most = std::max(most, f.Controller->RunningCheckThreads());
        f.Controller->BitBtn7Click();
        f.Controller->BitBtn7Click();
        most = std::max(most, f.Controller->RunningCheckThreads());
        f.WaitFor([&] { return false; }, 3);
        most = std::max(most, f.Controller->RunningCheckThreads());
        if (MonitoringActive.load()) {
            f.Controller->BitBtn7Click();
        }
        ASSERT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 5000));
    }
    EXPECT_EQ(most, 1);
}

TEST(MonitorController, ShutdownCancelsHangingCheckWithinLimit) {
    ControllerFixture f;
    f.AddHost({});
    f.Probes.SetHanging("127.0.0.1");
    f.Controller->StartTimers();
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    ASSERT_TRUE(f.WaitFor([&] { return f.Probes.PingCalls("127.0.0.1") > 0; }, 5000));
    QElapsedTimer clock;
    clock.start();
    f.Controller->Shutdown(2000);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(f.Controller->ThreadsRunning());
    // Closed for good: no timer can start a pass or a transaction after the close has committed.
    EXPECT_FALSE(f.Controller->Timer4.isActive());
    EXPECT_FALSE(f.Controller->Timer10.isActive());
    EXPECT_FALSE(f.Controller->BitBtn7Click());
    EXPECT_FALSE(MonitoringActive.load());
}

// The options a host's steps use are taken when its probes start: a host already in flight when
// the operator changes them keeps the old ones, every host whose probes start later takes the new.
TEST(MonitorController, TimeoutSpinChangedInTheModelIsSeenByEveryProbeStartedAfterTheChange) {
    ControllerFixture f;
    f.Settings.Update([](TSettings& s) { s.Timeout_Spin = 100; });
    // A small bound keeps the test light; the contract is the same for the program's own.
    EXPECT_GE(f.Controller->ProbeBound(), 256);
    f.Controller->SetProbeBound(16);
    const int window = 16 * WindowPerHostInFlight;
    // A window of hosts and two more; the probes of the hosts after the first bound's can only
    // start once one of those has ended, and none ends before the change.
    std::vector<std::string> addresses;
    for (int i = 0; i < window + 2; ++i) {
        HostSpec spec;
        spec.IP = QStringLiteral("127.0.%1.%2").arg(30 + i / 200).arg(1 + i % 200);
        spec.Http = true;
        f.AddHost(spec);
        addresses.push_back(spec.IP.toStdString());
    }
    // The operator changes the option while the first host's HTTP probe runs; the other probes
    // started with it wait for the change.
    std::atomic<bool> changed{false};
    f.Probes.OnHttp = [&](const std::string& Host) {
        if (Host == addresses.front()) {
            Synchronize([&] { f.Settings.Update([](TSettings& s) { s.Timeout_Spin = 300; }); });
            changed = true;
        }
        for (int i = 0; i < 5000 && !changed.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    ASSERT_TRUE(f.WaitFor([&] { return f.Controller->PassCount() >= 1; }, 10000));
    f.Controller->BitBtn7Click();
    ASSERT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 5000));
    f.Probes.OnHttp = nullptr;
    // HTTP waits 5 x Timeout_Spin as it was when the host's probes started; the echo keeps the
    // run's time-out.
    EXPECT_EQ(f.Probes.HttpTimeout(addresses.front()), 500);
    for (int i = 1; i < window; ++i) {
        const int timeout = f.Probes.HttpTimeout(addresses[i]);
        EXPECT_TRUE(timeout == 500 || timeout == 1500) << addresses[i] << " " << timeout;
    }
    for (int i = window; i < window + 2; ++i) {
        EXPECT_EQ(f.Probes.HttpTimeout(addresses[i]), 1500) << addresses[i];
    }
    for (const std::string& address : addresses) {
        EXPECT_EQ(f.Probes.LastPingTimeout(address), 100) << address;
    }
    // The next start takes the new echo time-out.
    ASSERT_TRUE(f.WaitFor([&] { return f.Controller->BitBtn7Click(); }, 2000));
    ASSERT_TRUE(f.WaitFor([&] { return f.Controller->PassCount() >= 2; }, 10000));
    f.Controller->BitBtn7Click();
    ASSERT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 5000));
    EXPECT_EQ(f.Probes.LastPingTimeout(addresses.back()), 300);
}

TEST(MonitorController, CountdownAndSoundStateGoToTheirPanels) {
    ControllerFixture f;
    f.Settings.Update([](TSettings& s) { s.Delay_spin = 3; });
    f.Controller->StartPassCountdown();
    EXPECT_EQ(f.Controller->PassCountdownTag(), 4);
    f.Controller->Timer_time_to_pingTimer();
    EXPECT_EQ(f.Panels.Texts[TStatusPanel::Progress],
              LangText(LangLine::NextCheckIn) + " 3 " + LangText(LangLine::SecondsUnit));
    f.Controller->Timer4Timer();
    EXPECT_EQ(f.Panels.Texts[TStatusPanel::SoundState], LangText(LangLine::SoundOn));
    f.Controller->Timer_time_to_ping.stop();
}

// Shut-down's wait for the worker threads is bounded: a worker stuck in a call that cannot be
// cancelled is given up on after the limit, with one program-log line, and the close goes on.
TEST(MonitorController, WorkerStuckInAnUncancellableCallIsGivenUpOnAfterTheLimit) {
    ControllerFixture f;
    f.AddHost({});
    f.Probes.SetStubborn("127.0.0.1", 4000);
    QStringList lines;
    std::mutex linesLock;
    SetProgramLogSink([&](const QString& Line) {
        std::lock_guard g(linesLock);
        lines.append(Line);
    });
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    ASSERT_TRUE(f.WaitFor([&] { return f.Probes.PingCalls("127.0.0.1") > 0; }, 5000));
    QElapsedTimer clock;
    clock.start();
    f.Controller->Shutdown(300);
    const qint64 took = clock.elapsed();
    EXPECT_LT(took, 2000) << "the close waited " << took << " ms for the stuck worker";
    EXPECT_TRUE(f.Controller->ThreadsRunning());
    {
        std::lock_guard g(linesLock);
        ASSERT_EQ(lines.size(), 1) << lines.join('|').toStdString();
        EXPECT_EQ(lines[0],
                  "Error! 1 monitoring thread(s) did not end within 800 ms; the program closes without "
                  "waiting for them.");
    }
    // A second call gives up at once and says nothing more.
    clock.restart();
    f.Controller->Shutdown(300);
    EXPECT_LT(clock.elapsed(), 200);
    // The worker ends by itself once its call returns; only then does the fixture go.
    EXPECT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 10000));
    SetProgramLogSink({});
    EXPECT_EQ(lines.size(), 1);
}

TEST(MonitorController, WorkWithMonitoringPausedRunsBetweenStopAndOneRestart) {
    ControllerFixture f;
    f.Settings.Update([](TSettings& s) { s.Delay_spin = 60; });
    f.AddHost({});
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    ASSERT_TRUE(f.WaitFor([&] { return f.Controller->PassCount() >= 1; }, 5000));
    bool ranStopped = false;
    ASSERT_TRUE(f.Controller->RunWithMonitoringPaused([&] { ranStopped = !MonitoringActive.load(); }));
    EXPECT_TRUE(ranStopped);
    int most = 0;
    ASSERT_TRUE(f.WaitFor(
        [&] {
            most = std::max(most, f.Controller->RunningCheckThreads());
            return MonitoringActive.load() && !f.Controller->RestartPending();
        },
        5000));
    EXPECT_LE(most, 1);
    EXPECT_EQ(f.Panels.Texts[TStatusPanel::MonitoringState], LangText(LangLine::MonitoringActiveText));

    // Monitoring off: the work runs and nothing starts.
    f.Controller->BitBtn7Click();
    ASSERT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 5000));
    bool ran = false;
    ASSERT_TRUE(f.Controller->RunWithMonitoringPaused([&] { ran = true; }));
    EXPECT_TRUE(ran);
    f.WaitFor([] { return false; }, 200);
    EXPECT_FALSE(MonitoringActive.load());
}
