// A monitor on a temporary database with fake network probes and a recording main window, so the
// check engine, the sampler and the dispatcher run for real without a network or a display.
#pragma once

#include "core/MonitorController.h"
#include "core/MonitorInterfaces.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Answers per address, changeable between passes; counts the calls.
class FakeProbes : public IHostProbes {
public:
    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override;
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override;
    std::string SnmpGet(const std::string& Host, const std::string& Community, const std::string& OID) override;
    void CancelAll() override;
    void ResetCancel() override { FCancelled = false; }

    void SetPing(const std::string& Host, const std::string& Error, int TimeMs = 1);
    // Echo of this host cannot be sent (no right to open an ICMP socket).
    void SetPingSkipped(const std::string& Host);
    void SetHttp(const std::string& Host, const std::string& Result);
    void SetSnmp(const std::string& Host, const std::string& OID, const std::string& Value);
    // Every call on this host blocks until cancelled (or 30 s pass).
    void SetHanging(const std::string& Host) { std::lock_guard g(FLock); FHanging[Host] = true; }
    // Every echo of this host takes Ms, and cancelling does not shorten it (a call that cannot be
    // interrupted).
    void SetStubborn(const std::string& Host, int Ms) { std::lock_guard g(FLock); FStubborn[Host] = Ms; }
    // The next echo of this host waits until Release (or a cancel); Waiting tells that it does.
    void SetLatched(const std::string& Host);
    bool Waiting(const std::string& Host);
    void Release(const std::string& Host);
    int PingCalls(const std::string& Host);
    int LastPingTimeout(const std::string& Host);
    int LastHttpTimeout() const { return FLastHttpTimeout.load(); }
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
    std::atomic<bool> FCancelled{false};
    std::atomic<int> FLastHttpTimeout{0};
    std::atomic<int> FCalls{0};
};

class FakeWindow : public IMonitorWindow {
public:
    int ThresholdN() const override { return N; }
    int PingTimeoutMs() const override { return PingTimeout; }
    int DelaySeconds() const override { return Delay; }
    QString UpSoundText() const override { return UpSound; }
    void ShowStatusPanel(int Panel, const QString& Text, bool Red) override {
        Panels[Panel] = Text;
        PanelRed[Panel] = Red;
    }
    void SetStartStopEnabled(bool Enabled) override { StartStopEnabled = Enabled; }

    int N = 3;
    int PingTimeout = 2000;
    int Delay = 0;
    QString UpSound = QStringLiteral("up.wav");
    std::map<int, QString> Panels;
    std::map<int, bool> PanelRed;
    bool StartStopEnabled = true;
};

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

class EngineFixture {
public:
    EngineFixture();
    ~EngineFixture();

    // Adds the host to table hosts and to the grid; returns its id.
    int AddHost(const HostSpec& Spec);
    int RowOf(int Id);
    QString Cell(int Id, const char* Column);
    // Runs monitoring until Passes more passes have completed, then stops and waits for the
    // threads to end. False when that took longer than the limit.
    bool RunPasses(int Passes, int LimitMs = 15000);
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
    FakeWindow Window;
    std::unique_ptr<TMonitorController> Controller;
    std::vector<int> DispatchedQueueSizes;

private:
    int FNextId = 1;
};
