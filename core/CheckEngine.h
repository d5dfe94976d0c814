// The check thread: passes over the host table, running per enabled host the echo, HTTP, SNMP,
// latency and traffic checks in that order, recording an event on every edge and updating the
// host's overall state; after each pass the alarm dispatcher and the countdown to the next pass.
//
// Network I/O and SQL run on this thread. Every grid step is a synchronous call onto the GUI
// thread that finds the host again by its row handle, so a host deleted or moved meanwhile is
// skipped or followed, never confused with another.
#pragma once

#include "core/HostGridColumns.h"
#include "core/HostRecord.h"
#include "core/HostStateMachine.h"
#include "core/HostStore.h"
#include "core/SettingsModel.h"

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IEngineOwner;

// What the engine reads of one host row at the start of its checks: the record's HostField::Pass
// fields, the row's state when read among them, to tell whether a pass can change anything.
struct THostSnapshot : THostRecord {
    // A host not found reads as off.
    THostSnapshot() { Enabled = PingCheck = false; }
    quint64 Handle = 0;
    bool Present = false; // the host was still in the table
};

struct TPingOutcome;

// The network answers of one host's echo, HTTP and SNMP probes, with the options they ran under.
struct THostProbeResults {
    TSettingsSnapshot Settings;
    QString HttpResult;
    QString HttpProbe; // the probe's text even when it counted as down
    QString PingError;
    bool PingSkipped = false; // the echo could not be sent at all
    QString SnmpReply;
    bool SnmpAsked = false;
};

class TProbePool;
struct TPoolJob;
struct TInFlightHost;
struct TProbesDone;

class TNewThread {
public:
    // PingTimeoutMs is the echo time-out for the whole run (Timeout_Spin at start); everything
    // else the checks read of the options comes from one settings snapshot per host.
    TNewThread(IEngineOwner& Owner, int PauseMs, int PingTimeoutMs);
    ~TNewThread();
    // The check loop; returns when monitoring stops or the program closes.
    void Execute();

private:
    bool MakeSpareSlots();
    bool WaitForCountdown();
    // Walks the hosts of one pass; false when monitoring stopped or the GUI closed.
    bool WalkHosts(const std::vector<quint64>& Handles);
    // On the GUI thread: the snapshot of one host, and of a block of hosts from From on.
    THostSnapshot ReadSnapshot(quint64 Handle, const THostColumnIndexes& Columns);
    void ReadAhead(const std::vector<quint64>& Handles, std::size_t From, std::deque<THostSnapshot>& Ahead);
    // The network probes of one enabled host: any thread, touching no state of the engine.
    void ProbeHost(const THostSnapshot& Host, THostProbeResults& Results);
    // The same side by side: the echo and, where the probes can, the waits for a silent host's HTTP
    // and SNMP without a worker; what blocks runs on a worker. The host is done when the last of them
    // ends. Adds the host's jobs to Jobs, which the walk hands to the pool a batch at a time.
    void QueueProbes(TInFlightHost& Slot, std::vector<TPoolJob>& Jobs);
    enum class TProbeKind { Http, Snmp };
    // Starts the host's HTTP or SNMP probe; it waits for a silent host without a worker where the
    // probes can, and what blocks goes to a worker.
    void StartAwaited(TProbeKind Kind, TInFlightHost& Slot);
    // Any thread: a blocking job of the host's to a worker (on the walk's thread while it queues, to
    // the batch; once the pool has gone, run right here).
    void HandToWorker(TInFlightHost& Slot, std::function<void()> Job);
    void LeaveAwaited();
    static void TakeAnswer(TProbeKind Kind, const std::string& Answer, THostProbeResults& Results);
    // The echo goes out without a worker; its outcome comes back on a thread of the probes.
    void StartEcho(TInFlightHost& Slot);
    // Any thread: one probe of the host ended (Echo: the one StartEcho began).
    void ProbeEnded(TInFlightHost& Slot, bool Echo);
    static void TakeEcho(const TPingOutcome& Outcome, THostProbeResults& Results);
    // Waits until the probes of some host have ended and takes the hosts that ended into Ended;
    // false when monitoring stopped meanwhile.
    bool AwaitEnded(std::vector<TInFlightHost*>& Ended);
    // Marks the hosts in Ended as ended (each leaving the count of its kind) and drops the records of those
    // with nothing to apply.
    void TakeEnded(std::vector<TInFlightHost*>& Ended, std::deque<std::unique_ptr<TInFlightHost>>& Window,
                   std::size_t HeadOrder, std::size_t& InFlight, std::size_t& EchoesInFlight);
    // A record for one more host in flight: a used one when there is one, so a pass allocates
    // records only up to the window, not per host.
    std::unique_ptr<TInFlightHost> TakeSlot();
    // Applies one host's probe results and runs its remaining checks, on the check thread.
    bool CheckHost(const THostSnapshot& Host, const THostProbeResults& Probed);
    // Takes a host's results into the thread's fields; false when its grid steps change nothing.
    bool TakeResults(const THostSnapshot& Host, const THostProbeResults& Probed);
    static bool NeedsGridSteps(const THostSnapshot& Host, const THostProbeResults& Probed);
    // On the GUI thread: the echo, HTTP and SNMP steps and (without a latency or traffic rule) the
    // overall state of the host's row; false when the host is gone or disabled.
    bool ApplyGridSteps(const THostSnapshot& Host, std::vector<THostWriteBack>& Writes,
                        std::optional<THostWriteBack>& Status);
    // Hosts without a latency or traffic rule whose probes have ended, in host order: their grid
    // steps in one call onto the GUI thread, then their SQL in the same order.
    bool ApplyReadyHosts(const std::vector<TInFlightHost*>& Ready);
    // Runs Step on the host's current row; false when the host is gone or the GUI closed.
    bool OnHostRow(quint64 Handle, const std::function<void(int Row)>& Step);
    void RunWrites(const std::vector<THostWriteBack>& Writes);
    // Any thread.
    void ShowProgress(int Line, const QString& Host);
    void Record(int Row, const QString& Text, int Colour, const char* Code,
                std::vector<THostWriteBack>& Writes);
    // The counter and edge rule that echo and HTTP share: a failure counts up; a success resets
    // the counter and records the up edge; reaching N records the down edge once.
    struct TCountedCheck {
        int StatusColumn;
        int CounterColumn;
        bool Failed;
        QString DownText;   // a status holding it is "down"
        QString UpStatus;   // the status after the up edge
        QString UpEvent;    // the up event's text
        QString DownStatus; // the status and event text of the down edge
    };
    void ApplyCountedCheck(int Row, const TCountedCheck& Check, std::vector<THostWriteBack>& Writes);
    void ProbeIcmp(const THostSnapshot& Host, THostProbeResults& Results);
    void ApplyIcmp(int Row, std::vector<THostWriteBack>& Writes);
    void ProbeHttp(const THostSnapshot& Host, THostProbeResults& Results);
    void ApplyHttp(int Row, std::vector<THostWriteBack>& Writes);
    // False when the SNMP check is skipped (no community or no address).
    bool ProbeSnmp(const THostSnapshot& Host, THostProbeResults& Results);
    void ApplySnmp(int Row, const THostSnapshot& Host, std::vector<THostWriteBack>& Writes);
    bool CheckLatency(quint64 Handle, const THostSnapshot& Host);
    bool CheckTraffic(quint64 Handle, const THostSnapshot& Host);
    bool CheckTrafficDirection(quint64 Handle, const QString& PortId, const QString& PortName, bool Inbound,
                               const QString& Threshold, const QString& Flag);
    void EndOfPass();

    IEngineOwner& FOwner;
    THostStore FStore;
    // The options for the host being checked, taken once when its checks begin.
    TSettingsSnapshot FSettings;
    // The thread's fields: the last results of the host being checked.
    QString FHttpResult;
    QString FHttpProbe; // the probe's text even when it counted as down
    QString FPingError;
    bool FPingSkipped = false; // the echo could not be sent at all
    QString FSnmpReply;
    bool FSnmpAsked = false;
    int FCurrentRow = -1;
    // The host table's columns, resolved at the start of each call onto the GUI thread that
    // applies hosts' grid steps.
    std::optional<THostColumnIndexes> FColumns;
    std::optional<THostStatusWords> FStatusWords;
    int FPingTimeoutMs;
    int FPauseMs;
    // When the next progress text is due, on FProgressClock.
    QElapsedTimer FProgressClock;
    std::atomic<qint64> FProgressDueMs{0};
    // Hosts whose probes may be in flight at once; 1 probes on the check thread itself.
    int FBound = 1;
    // The hosts started and not yet applied in host order, and used records to reuse. Jobs of the
    // pool and echoes in flight refer to these records, so they stay until those have ended.
    std::deque<std::unique_ptr<TInFlightHost>> FInFlight;
    std::vector<std::unique_ptr<TInFlightHost>> FSpareSlots;
    std::unique_ptr<TProbesDone> FDone;
    std::unique_ptr<TProbePool> FPool;
    // Guards FPool against jobs handed over from the probes' threads while the pool goes.
    std::mutex FPoolLock;
};
