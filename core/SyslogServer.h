// The syslog server: a UDP listener on its own thread that hands each datagram through a bounded
// queue to a storing thread, which writes one syslog row per message through the database layer,
// and the sender of the test message.
#pragma once

#include "core/SQLiteDb.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TNetCancel;

// Bounds of the queue between receiving and storing, and of what one stop may still store.
struct TSyslogServerLimits {
    std::size_t QueueMessages = 500000;
    // What the queued items hold in memory, their bookkeeping included.
    std::size_t QueueBytes = 64u << 20;
    // Receive buffer asked of the kernel (the system may grant less).
    int ReceiveBufferBytes = 8 << 20;
    // Stop stores what is queued for at most this long; the rest counts as cut off at stop.
    int StopDrainMs = 2000;
    // When the open transaction's page cache passes this, the storing thread commits it (and opens
    // the next at once), so a flood of large messages cannot grow memory without bound.
    std::int64_t TransactionCacheBytes = 64 << 20;
    // Losses are reported at most once in this period, and what is left unreported once at stop.
    int ReportIntervalMs = 60000;
};

// Outcome of a start: Error is the socket error number (10048 port in use, 10013 no permission, ...),
// Reason the text the program log and a message box show.
struct TSyslogStartResult {
    bool Ok = false;
    int Error = 0;
    QString Reason;
};

// Counts since construction, for the loss report, tests and benchmarks.
struct TSyslogCounters {
    std::uint64_t Received = 0;    // datagrams read from the socket
    std::uint64_t Ignored = 0;     // read while storing was off
    std::uint64_t Stored = 0;      // rows inserted
    std::uint64_t QueueDrops = 0;  // lost to a full queue
    std::uint64_t StopDrops = 0;   // still queued when the stop's drain time ran out
    std::uint64_t KernelDrops = 0; // lost in the socket's receive buffer before they were read
    std::uint64_t StoreFailures = 0;
};

class TSyslogServer {
public:
    static constexpr int DefaultPort = 514;

    explicit TSyslogServer(TSQLiteDatabase& Database = MonitorDatabase, TSyslogServerLimits Limits = {});
    ~TSyslogServer();
    TSyslogServer(const TSyslogServer&) = delete;
    TSyslogServer& operator=(const TSyslogServer&) = delete;

    // Listens on Address ("" = every local IPv4 and IPv6 address) and Port (0: any free port, for
    // tests). Idempotent: while listening on the same address and port it only answers success;
    // another address or port restarts the listener. A failure writes one program-log line with the
    // reason and leaves the server stopped.
    TSyslogStartResult Start(const std::string& Address = std::string(), int Port = DefaultPort);
    // Ends both threads (storing what is queued, bounded by StopDrainMs) and closes the socket.
    // Safe to call at any time and more than once.
    void Stop();
    bool Active() const;
    // The port listened on (the one chosen for Port 0); 0 while stopped.
    int BoundPort() const;
    // The receive buffer the kernel granted (as it reports it); 0 while stopped.
    int ReceiveBufferSize() const;

    // The "Enable Syslog Server" option: while clear, datagrams are read and dropped unstored.
    void SetEnabled(bool Value) { FEnabled.store(Value); }
    bool Enabled() const { return FEnabled.load(); }

    TSyslogCounters Counters() const;
    // Messages waiting in the queue.
    std::size_t QueuedMessages() const;

private:
    struct TDatagram {
        qint64 Time = 0;
        std::string Bytes;
        std::string Sender;
    };

    void StopLocked();
    void ReceiveLoop(int Socket, int WakeFd);
    void StoreLoop();
    // Queues Items (emptied) as far as the bounds allow; the rest count as queue drops.
    void Enqueue(std::vector<TDatagram>& Items);
    static std::size_t HeldBytes(const TDatagram& Item);
    void StoreOne(const TDatagram& Item);
    // Stores Items in multi-row inserts under one hold of the database; the number stored (fewer
    // only when the stop's drain ran out).
    std::size_t StoreMany(const std::vector<TDatagram>& Items);
    bool DrainOver() const;
    void NoteKernelDrops(std::uint32_t Total);
    void ReportLosses(bool Force);

    TSQLiteDatabase& FDatabase;
    const TSyslogServerLimits FLimits;
    std::atomic<bool> FEnabled{false};

    // Start and Stop are serialised by this; the threads never take it.
    mutable std::mutex FControl;
    int FSocket = -1;
    std::shared_ptr<TNetCancel> FWake;
    std::atomic<bool> FReceiveStop{false};
    std::string FAddress;
    int FPort = -1;
    int FBoundPort = 0;
    int FReceiveBuffer = 0;
    std::thread FReceiver;
    std::thread FStorer;

    mutable std::mutex FQueueLock;
    std::condition_variable FQueueWake;
    std::deque<TDatagram> FQueue;
    std::size_t FQueueBytes = 0;
    bool FClosing = false;
    // While stopping: when storing gives up (steady milliseconds); 0 otherwise. Read mid-batch too.
    std::atomic<std::int64_t> FDrainUntilMs{0};

    std::atomic<std::uint64_t> FReceived{0};
    std::atomic<std::uint64_t> FIgnored{0};
    std::atomic<std::uint64_t> FStored{0};
    std::atomic<std::uint64_t> FQueueDrops{0};
    std::atomic<std::uint64_t> FStopDrops{0};
    std::atomic<std::uint64_t> FKernelDrops{0};
    std::atomic<std::uint64_t> FStoreFailures{0};
    // The socket's running drop count as last seen (it grows per socket from 0).
    std::uint32_t FKernelDropMark = 0;
    // Storing thread only: what the last loss report covered, and when it was written.
    std::uint64_t FReportedQueueDrops = 0;
    std::uint64_t FReportedStopDrops = 0;
    std::uint64_t FReportedKernelDrops = 0;
    std::uint64_t FReportedFailures = 0;
    std::int64_t FLastReportMs = 0;
    bool FReportedOnce = false;
    QString FLastStoreError;
};

// The loss report's line: "Syslog server: N messages lost (queue full: Q, receive buffer full: K)"
// (with ", cut off at stop: S" inside the brackets when the stop's drain left S unstored), and/or
// "F messages not stored (<error>)", joined by ", ".
QString SyslogLossText(std::uint64_t QueueDrops, std::uint64_t KernelDrops, std::uint64_t StoreFailures,
                       const QString& StoreError, std::uint64_t StopDrops = 0);

// The test message: "hello world" with facility 1 and severity 7 in an RFC 3164 datagram carrying the
// local time and host name, sent to Host:Port. Returns 0 or the socket error number.
int SendSyslogTestMessage(const std::string& Host = "127.0.0.1", int Port = TSyslogServer::DefaultPort);
// The datagram SendSyslogTestMessage sends at the local date-time DateTime.
std::string SyslogTestDatagram(double DateTime, const std::string& HostName);
