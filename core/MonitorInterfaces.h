// What the check engine and the sampler need from the rest of the program: the network checks,
// and the side that owns the threads (host table, database, settings, the pass countdown, the
// dispatcher and the progress text). The monitor controller is that side in the program; tests
// use implementations of their own.
#pragma once

#include "core/SettingsModel.h"

#include <QString>

#include <functional>
#include <string>

class TDataGrid;
class TSQLiteDatabase;

// The outcome of one ICMP echo.
struct TPingOutcome {
    std::string ErrorDesc; // empty on success
    int TimeMs = -1;       // round-trip time, -1 without a reply
    // Nothing was sent: the program may open neither kind of ICMP socket. The echo is no answer and
    // no failure either.
    bool Skipped = false;
};

// The network side of a check. Called on the worker threads; CancelAll() may come from any thread
// and ends every call in flight at once (stop and shut-down never wait for a time-out).
class IHostProbes {
public:
    virtual ~IHostProbes() = default;
    virtual TPingOutcome Ping(const std::string& Host, int TimeoutMs) = 0;
    // Starts one echo without holding a thread while it waits. Done runs exactly once, either
    // inside this call or later on a thread of the probes' own, with what Ping would return.
    // CancelAll ends the echoes in flight at once (Done still runs, with a cancelled outcome).
    virtual void PingAsync(const std::string& Host, int TimeoutMs,
                           std::function<void(const TPingOutcome&)> Done) {
        Done(Ping(Host, TimeoutMs));
    }
    // "code reason" of one HTTP GET of Host ("0 " without an answer).
    virtual std::string HttpProbe(const std::string& Host, int TimeoutMs) = 0;
    // The value text of one SNMPv1 GET, empty on any failure.
    virtual std::string SnmpGet(const std::string& Host, const std::string& Community,
                                const std::string& OID) = 0;
    // Hands a blocking job to a worker of the caller's; any thread may call it.
    using TRunBlocking = std::function<void(std::function<void()>)>;
    // HttpProbe and SnmpGet without holding a thread while a silent host keeps them waiting: what
    // must block goes to Run. Done runs exactly once (inside this call, on a worker or on a thread of
    // the probes' own) with what the blocking call would return; CancelAll ends the waits at once.
    virtual void HttpProbeAsync(const std::string& Host, int TimeoutMs, TRunBlocking Run,
                                std::function<void(const std::string&)> Done) {
        Run([this, Host, TimeoutMs, Done] { Done(HttpProbe(Host, TimeoutMs)); });
    }
    virtual void SnmpGetAsync(const std::string& Host, const std::string& Community, const std::string& OID,
                              TRunBlocking Run, std::function<void(const std::string&)> Done) {
        Run([this, Host, Community, OID, Done] { Done(SnmpGet(Host, Community, OID)); });
    }
    virtual void CancelAll() = 0;
    // Makes the probes usable again after CancelAll (before the next start).
    virtual void ResetCancel() = 0;
};

// The side that runs TNewThread and TPort_Monitoring_Thread.
class IEngineOwner {
public:
    virtual ~IEngineOwner() = default;

    // Any thread.
    virtual TSQLiteDatabase& Database() = 0;
    virtual IHostProbes& Probes() = 0;
    // The options as they are now; the engine takes one snapshot per host.
    virtual TSettingsSnapshot Settings() const = 0;
    // The check thread's progress text (status panel 6); never waits for the GUI.
    virtual void ShowCheckProgress(const QString& Text) = 0;

    // GUI thread only: the engine calls these inside its synchronous calls.
    virtual TDataGrid& Hosts() = 0;        // DataGrid1, the host table
    virtual TDataGrid& DownHostGrid() = 0; // the pass's event queue
    virtual bool PassCountdownRunning() const = 0;
    virtual void StartPassCountdown() = 0;
    virtual void ClearEventQueue() = 0;
    // The traffic sampling window: a tag below 1 means a sampling walk is due.
    virtual int SamplingTag() const = 0;
    virtual void RestartSamplingWindow() = 0;
    virtual void DispatchAlarms() = 0;
    // Any thread: how many hosts the check thread may probe at once (1 probes one after another).
    virtual int ProbeBound() const { return 1; }
};
