// A monitor on a temporary database with fake network probes and a recording main window, so the
// check engine, the sampler and the dispatcher run for real without a network or a display.
#pragma once

#include "core/AlarmChannels.h"
#include "core/MonitorInterfaces.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Answers per address, changeable between passes; counts the calls.
class FakeProbes : public IHostProbes {
public:
    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override;
    // Echoes that wait (latched, hanging, stubborn) answer on a thread of their own, as real ones
    // do; held ones (counted in Calls) wait on no thread until CancelAll hands them back.
    void PingAsync(const std::string& Host, int TimeoutMs,
                   std::function<void(const TPingOutcome&)> Done) override;
    void HoldEchoes() { FHoldEchoes = true; }
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override;
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override;
    void CancelAll() override;
    void ResetCancel() override { FCancelled = false; }

    void SetPing(const std::string& Host, const std::string& Error, int TimeMs = 1);
    void SetPingOutcome(const std::string& Host, const TPingOutcome& Outcome);
    // Echo of this host cannot be sent (no right to open an ICMP socket).
    void SetPingSkipped(const std::string& Host);
    void SetHttp(const std::string& Host, const std::string& Result);
    void SetSnmp(const std::string& Host, const std::string& OID, const std::string& Value);
    // Every call on this host blocks until cancelled (or 30 s pass).
    void SetHanging(const std::string& Host) {
        std::lock_guard g(FLock);
        FHanging[Host] = true;
    }
    // Every echo of this host takes Ms, and cancelling does not shorten it (a call that cannot be
    // interrupted).
    void SetStubborn(const std::string& Host, int Ms) {
        std::lock_guard g(FLock);
        FStubborn[Host] = Ms;
    }
    // The next echo of this host waits until Release (or a cancel); Waiting tells that it does.
    void SetLatched(const std::string& Host);
    bool Waiting(const std::string& Host);
    void Release(const std::string& Host);
    int PingCalls(const std::string& Host);
    int LastPingTimeout(const std::string& Host);
    int LastHttpTimeout() const { return FLastHttpTimeout.load(); }
    int HttpTimeout(const std::string& Host);
    // Called at the start of every HTTP probe, on the calling thread.
    std::function<void(const std::string& Host)> OnHttp;
    int Calls() const { return FCalls.load(); }

private:
    bool HangIfAsked(const std::string& Host);
    void WaitIfLatched(const std::string& Host);

    std::mutex FLock;
    std::map<std::string, TPingOutcome> FPing;
    std::map<std::string, std::string> FHttp;
    std::map<std::string, std::string> FSnmp;
    std::map<std::string, bool> FHanging;
    std::map<std::string, int> FLatch; // 1 latched, 2 waiting
    std::map<std::string, int> FStubborn;
    std::map<std::string, int> FPingCalls;
    std::map<std::string, int> FPingTimeout;
    std::map<std::string, int> FHttpTimeout;
    std::atomic<bool> FCancelled{false};
    std::atomic<int> FLastHttpTimeout{0};
    std::atomic<int> FCalls{0};
    bool FHoldEchoes = false;
    std::vector<std::function<void(const TPingOutcome&)>> FHeld;
};

// The engine's owner in tests, without a controller: the fixture's host table, queue, database,
// probes and options. Its countdown gate lets the check thread run exactly the passes a test
// allows, each after a short countdown as in the program; its sampling window opens at start
// and, unless RepeatSampling, once only.
class TestEngineOwner : public IEngineOwner {
public:
    TestEngineOwner(TDataGrid& Hosts, TDataGrid& Queue, TSQLiteDatabase& Database, IHostProbes& Probes)
        : FHosts(Hosts), FQueue(Queue), FDatabase(Database), FProbes(&Probes) {}

    TSQLiteDatabase& Database() override { return FDatabase; }
    IHostProbes& Probes() override { return *FProbes; }
    TSettingsSnapshot Settings() const override;
    void ShowCheckProgress(const QString& Text) override;
    TDataGrid& Hosts() override { return FHosts; }
    TDataGrid& DownHostGrid() override { return FQueue; }
    bool PassCountdownRunning() const override;
    void StartPassCountdown() override;
    void ClearEventQueue() override;
    int SamplingTag() const override { return FSamplingTag; }
    void RestartSamplingWindow() override { FSamplingTag = RepeatSampling ? 0 : 60; }
    void DispatchAlarms() override;
    int ProbeBound() const override { return Bound.load(); }

    void UseProbes(IHostProbes& Probes) { FProbes = &Probes; }
    // Any thread; the engine sees the change from its next host on.
    void SetOptions(const std::function<void(TSettings&)>& Change);
    TSettings Options() const { return *Settings(); }
    void OpenSamplingWindow() { FSamplingTag = 0; }
    void CloseSamplingWindow() { FSamplingTag = 60; }
    QString LastProgress();

    // GUI thread only, like every call of the engine that reaches them.
    int PassCount = 0;
    // Hosts the check thread probes at once; set before a start.
    std::atomic<int> Bound{1};
    int PassesAllowed = 0;
    bool RepeatSampling = false;
    // Runs as the dispatcher; when empty the queue is recorded and cleared.
    std::function<void()> Dispatch;
    std::vector<int> DispatchedQueueSizes;

private:
    TDataGrid& FHosts;
    TDataGrid& FQueue;
    TSQLiteDatabase& FDatabase;
    IHostProbes* FProbes;
    int FSamplingTag = 0;
    QElapsedTimer FCountdown;
    mutable std::mutex FLock;
    TSettingsSnapshot FSettings = std::make_shared<const TSettings>();
    QString FProgress;
};

// Channels the tests register: status panels that record, and an event pump that never waits.
class RecordingPanels : public IStatusPanels {
public:
    void SetPanelText(TStatusPanel Panel, const QString& Text, int Colour) override {
        Texts[Panel] = Text;
        Colours[Panel] = Colour;
    }
    std::map<TStatusPanel, QString> Texts;
    std::map<TStatusPanel, int> Colours;
};

class InstantPump : public IEventPump {
public:
    void PumpDelay(int Ms) override { Pumped += Ms; }
    void ProcessMessages() override {}
    int Pumped = 0;
};

// The program-wide state a test starts from: English texts, monitoring off, no shut-down asked,
// no popup showing, sounds on.
void ResetMonitorState();

// Processes events (serving the workers' synchronous calls) until Done() or the limit.
bool ProcessEventsUntil(const std::function<bool()>& Done, int LimitMs);
// The texts of program_log, oldest first.
std::vector<QString> ProgramLogLines(TSQLiteDatabase& Database);
bool HasLine(const std::vector<QString>& Lines, const QString& Line);

// The values of one host; unset fields take the defaults of a new host with only echo on.
struct HostSpec {
    QString Host = QStringLiteral("router");
    QString IP = QStringLiteral("127.0.0.1");
    QString Note;
    bool Enabled = true;
    bool Ping = true;
    bool Http = false;
    bool Snmp = false;
    bool SPingAlarm = false;
    bool SPingCheck = false;
    bool PortCheck = false;
    bool AlarmEn = true;
    QString Comunity;
    int SpingKolVo = 100;
    QString Status = QStringLiteral("OK");
};

// The check thread and the sampling thread on a test owner, on a database made for each test.
class EngineFixture {
public:
    EngineFixture();
    ~EngineFixture();

    // Adds the host to table hosts and to the grid; returns its id.
    int AddHost(const HostSpec& Spec);
    int RowOf(int Id);
    QString Cell(int Id, const char* Column);
    void SetThreshold(int N);
    void SetPingTimeout(int Ms);

    // Starts both threads as monitoring does (the echo time-out taken now, no pause after a
    // pass); false while threads of the last start still run.
    bool Start();
    // Stops monitoring as the Stop command does: the flag cleared, every wait woken, every
    // probe cancelled, the open transaction committed. The threads end at their next look.
    void Stop();
    bool ThreadsRunning() const { return FRunning.load() > 0; }
    int PassCount() const { return Owner.PassCount; }
    // Starts, lets Passes more passes run, stops and waits for the threads to end. False when
    // that took longer than the limit.
    bool RunPasses(int Passes, int LimitMs = 15000);
    // Stops and waits until the threads have ended, serving their calls meanwhile.
    bool WaitEnded(int LimitMs = 10000);
    // Processes events until Done() or the limit.
    bool WaitFor(const std::function<bool()>& Done, int LimitMs);
    // Rows of a query as texts.
    std::vector<std::vector<QString>> Rows(const QString& SQL);
    // Codes of table log for the host, oldest first.
    std::vector<QString> EventCodes(int Id);

    zt::test::TempDir Dir;
    TSQLiteDatabase Database;
    TDataGrid Hosts;
    TDataGrid DownHostGrid;
    FakeProbes Probes;
    TestEngineOwner Owner;

private:
    void Join();

    int FNextId = 1;
    std::atomic<int> FRunning{0};
    std::thread FCheckThread;
    std::thread FSamplingThread;
};
