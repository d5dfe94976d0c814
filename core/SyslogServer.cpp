// Syslog server threads. The receiving thread only reads, stamps and queues, so a burst is taken off
// the socket as fast as it arrives; the storing thread decodes and inserts at the database's pace.
// Nothing here touches a widget.
#include "core/SyslogServer.h"

#include "core/ProgramLog.h"
#include "core/TextConversions.h"
#include "net/blcksock.h"
#include "net/netsock.h"
#include "net/syslogmessage.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Room for the largest datagram the kernel can hand out.
constexpr std::size_t DatagramBufferSize = 65536;
// Items the storing thread takes from the queue under one lock, and their bytes at most (one more
// item may pass it).
constexpr std::size_t StoreBatch = 2048;
constexpr std::size_t StoreBatchBytes = 1u << 20;
// Rows one insert statement carries.
constexpr int RowsPerInsert = 64;
// During a flood the receiving thread looks for a stop after at most this many batches.
constexpr int StopCheckEvery = 64;

// "insert into syslog (Date_time,Status,IP)values(?, ?, ?)" with Rows value lists.
QString MultiRowInsert(int Rows) {
    QString sql = QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)");
    for (int i = 1; i < Rows; ++i)
        sql += QStringLiteral(",(?, ?, ?)");
    return sql;
}

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The sender's address as the grid shows it: an IPv4 sender on the dual-stack socket without the
// IPv6 mapping prefix.
std::string SenderText(const sockaddr_storage& From) {
    TVarSin sin{};
    std::memcpy(&sin.storage, &From, sizeof From);
    if (From.ss_family == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&sin.sin6.sin6_addr)) {
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_port = sin.sin6.sin6_port;
        std::memcpy(&v4.sin_addr, &sin.sin6.sin6_addr.s6_addr[12], 4);
        ClearSin(sin);
        sin.sin = v4;
    }
    return GetSinIP(sin);
}

QString ListenFailureText(const std::string& Address, int Port, int Error) {
    const QString where = Address.empty()
                              ? QString::number(Port)
                              : QString::fromStdString(Address) + QLatin1Char(':') + QString::number(Port);
    return QStringLiteral("Syslog server cannot listen on UDP %1: %2 (%3)")
        .arg(where, QString::fromStdString(SocketErrorText(Error)), QString::number(Error));
}

// The socket address to bind: every IPv4 and IPv6 address on one dual-stack socket for "", else the
// address given.
int ListenAddress(const std::string& Address, int Port, TVarSin& Sin, bool& DualStack) {
    ClearSin(Sin);
    DualStack = Address.empty();
    if (!DualStack)
        return ResolveSockAddr(Sin, Address, std::to_string(Port), true, SOCK_DGRAM, IPPROTO_UDP, AF_UNSPEC);
    Sin.sin6.sin6_family = AF_INET6;
    Sin.sin6.sin6_addr = in6addr_any;
    Sin.sin6.sin6_port = htons(static_cast<uint16_t>(Port));
    return 0;
}

void SetSocketOptions(int Socket, bool DualStack, int ReceiveBytes) {
    const int off = 0;
    const int on = 1;
    if (DualStack)
        ::setsockopt(Socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    // Each datagram then carries the socket's running count of datagrams the kernel had to drop.
    ::setsockopt(Socket, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    // Above the system's limit only with CAP_NET_ADMIN; otherwise as much as the limit allows.
    if (::setsockopt(Socket, SOL_SOCKET, SO_RCVBUFFORCE, &ReceiveBytes, sizeof ReceiveBytes) != 0)
        ::setsockopt(Socket, SOL_SOCKET, SO_RCVBUF, &ReceiveBytes, sizeof ReceiveBytes);
    // No SO_REUSEADDR: a second listener on the port must be refused, not share it.
}

// A bound, non-blocking UDP socket, or -1 with Error set.
int OpenListener(const std::string& Address, int Port, int ReceiveBytes, int& BoundPort, int& Error) {
    TVarSin sin{};
    bool dualStack = false;
    Error = ListenAddress(Address, Port, sin, dualStack);
    if (Error != 0)
        return -1;
    int fd = ::socket(SinFamily(sin), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0 && dualStack && errno == EAFNOSUPPORT) {
        // No IPv6 on this system: every IPv4 address.
        ClearSin(sin);
        sin.sin.sin_family = AF_INET;
        sin.sin.sin_addr.s_addr = htonl(INADDR_ANY);
        sin.sin.sin_port = htons(static_cast<uint16_t>(Port));
        dualStack = false;
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    }
    if (fd < 0) {
        Error = SocketErrorFromErrno(errno);
        return -1;
    }
    SetSocketOptions(fd, dualStack, ReceiveBytes);
    if (::bind(fd, &sin.sa, SizeOfVarSin(sin)) != 0) {
        Error = SocketErrorFromErrno(errno);
        ::close(fd);
        return -1;
    }
    TVarSin bound{};
    socklen_t length = sizeof bound.storage;
    ::getsockname(fd, &bound.sa, &length);
    BoundPort = GetSinPort(bound);
    return fd;
}

// Datagrams taken off the socket in one system call.
class TReceiveBatch {
public:
    static constexpr int Size = 32;

    TReceiveBatch() : FBuffers(std::size_t(Size) * DatagramBufferSize) {}

    // Datagrams read (at most Size), 0 when none is waiting.
    int Receive(int Socket) {
        for (int i = 0; i < Size; ++i) {
            FIo[i] = {FBuffers.data() + std::size_t(i) * DatagramBufferSize, DatagramBufferSize};
            msghdr& h = FMessages[i].msg_hdr;
            h = msghdr{};
            h.msg_name = &FFrom[i];
            h.msg_namelen = sizeof FFrom[i];
            h.msg_iov = &FIo[i];
            h.msg_iovlen = 1;
            h.msg_control = FControl[i].Bytes;
            h.msg_controllen = sizeof FControl[i].Bytes;
            FMessages[i].msg_len = 0;
        }
        const int count = ::recvmmsg(Socket, FMessages, Size, MSG_DONTWAIT, nullptr);
        return count < 0 ? 0 : count;
    }
    std::string Bytes(int I) const {
        return std::string(FBuffers.data() + std::size_t(I) * DatagramBufferSize,
                           std::min<std::size_t>(FMessages[I].msg_len, DatagramBufferSize));
    }
    const sockaddr_storage& From(int I) const { return FFrom[I]; }
    // The kernel's running drop count from the SO_RXQ_OVFL control message, when the datagram has one.
    bool DropCount(int I, std::uint32_t& Count) {
        msghdr& h = FMessages[I].msg_hdr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(&h, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL &&
                c->cmsg_len >= CMSG_LEN(sizeof(std::uint32_t))) {
                std::memcpy(&Count, CMSG_DATA(c), sizeof Count);
                return true;
            }
        }
        return false;
    }

private:
    struct TControl {
        alignas(cmsghdr) char Bytes[CMSG_SPACE(sizeof(std::uint32_t))];
    };
    std::vector<char> FBuffers;
    iovec FIo[Size];
    mmsghdr FMessages[Size];
    sockaddr_storage FFrom[Size];
    TControl FControl[Size];
};

// CurrentLocalUnixTime for every datagram of a flood: the wall clock read cheaply, the local
// offset looked up again only when the second changes.
class TLocalClock {
public:
    qint64 Now() {
        timespec utc{};
        ::clock_gettime(CLOCK_REALTIME, &utc);
        // Rounded to the nearest second, as UnixTimeFromDateTime rounds.
        const std::int64_t second = utc.tv_sec + (utc.tv_nsec >= 500000000 ? 1 : 0);
        if (second != FSecond) {
            const time_t at = static_cast<time_t>(second);
            tm local{};
            ::localtime_r(&at, &local);
            FSecond = second;
            FOffset = local.tm_gmtoff;
        }
        return FSecond + FOffset;
    }

private:
    std::int64_t FSecond = INT64_MIN;
    std::int64_t FOffset = 0;
};

// A flood comes from few senders: the address text of the last one is kept.
class TSenderNames {
public:
    const std::string& Name(const sockaddr_storage& From) {
        if (!FValid || std::memcmp(&From, &FLast, sizeof From) != 0) {
            FLast = From;
            FName = SenderText(From);
            FValid = true;
        }
        return FName;
    }

private:
    bool FValid = false;
    sockaddr_storage FLast{};
    std::string FName;
};

} // namespace

TSyslogServer::TSyslogServer(TSQLiteDatabase& Database, TSyslogServerLimits Limits)
    : FDatabase(Database), FLimits(Limits) {}

TSyslogServer::~TSyslogServer() {
    Stop();
}

TSyslogStartResult TSyslogServer::Start(const std::string& Address, int Port) {
    std::lock_guard control(FControl);
    if (FSocket >= 0 && Address == FAddress && Port == FPort)
        return {true, 0, QString()};
    StopLocked();

    TSyslogStartResult result;
    int bound = 0;
    const int fd = OpenListener(Address, Port, FLimits.ReceiveBufferBytes, bound, result.Error);
    if (fd < 0) {
        result.Reason = ListenFailureText(Address, Port, result.Error);
        AddProgramLog(FDatabase, result.Reason);
        return result;
    }
    auto wake = std::make_shared<TNetCancel>();
    {
        std::lock_guard queue(FQueueLock);
        FClosing = false;
        FDrainUntilMs = 0;
    }
    FSocket = fd;
    FWake = wake;
    FAddress = Address;
    FPort = Port;
    FBoundPort = bound;
    int granted = 0;
    socklen_t size = sizeof granted;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &size);
    FReceiveBuffer = granted;
    FKernelDropMark = 0;
    FReceiveStop = false;
    try {
        FReceiver = std::thread([this, fd, wake] { ReceiveLoop(fd, wake->Handle()); });
        FStorer = std::thread([this] { StoreLoop(); });
    } catch (const std::system_error&) {
        StopLocked();
        result.Error = WSAENOBUFS;
        result.Reason = ListenFailureText(Address, Port, result.Error);
        AddProgramLog(FDatabase, result.Reason);
        return result;
    }
    result.Ok = true;
    return result;
}

void TSyslogServer::Stop() {
    std::lock_guard control(FControl);
    StopLocked();
}

void TSyslogServer::StopLocked() {
    if (FSocket < 0)
        return;
    FReceiveStop = true;
    FWake->Raise();
    if (FReceiver.joinable())
        FReceiver.join();
    {
        std::lock_guard queue(FQueueLock);
        FClosing = true;
        FDrainUntilMs = SteadyMs() + FLimits.StopDrainMs;
    }
    FQueueWake.notify_all();
    if (FStorer.joinable())
        FStorer.join();
    ::close(FSocket);
    FSocket = -1;
    FWake.reset();
    FAddress.clear();
    FPort = -1;
    FBoundPort = 0;
    FReceiveBuffer = 0;
}

bool TSyslogServer::Active() const {
    std::lock_guard control(FControl);
    return FSocket >= 0;
}

int TSyslogServer::BoundPort() const {
    std::lock_guard control(FControl);
    return FBoundPort;
}

int TSyslogServer::ReceiveBufferSize() const {
    std::lock_guard control(FControl);
    return FReceiveBuffer;
}

TSyslogCounters TSyslogServer::Counters() const {
    TSyslogCounters counters;
    counters.Received = FReceived.load();
    counters.Ignored = FIgnored.load();
    counters.Stored = FStored.load();
    counters.QueueDrops = FQueueDrops.load();
    counters.StopDrops = FStopDrops.load();
    counters.KernelDrops = FKernelDrops.load();
    counters.StoreFailures = FStoreFailures.load();
    return counters;
}

std::size_t TSyslogServer::QueuedMessages() const {
    std::lock_guard queue(FQueueLock);
    return FQueue.size();
}

void TSyslogServer::ReceiveLoop(int Socket, int WakeFd) {
    TReceiveBatch batch;
    TLocalClock clock;
    TSenderNames senders;
    std::vector<TDatagram> items;
    items.reserve(TReceiveBatch::Size);
    pollfd fds[2] = {{Socket, POLLIN, 0}, {WakeFd, POLLIN, 0}};
    while (!FReceiveStop.load()) {
        // The wake descriptor ends the wait at once; the time-out only backs it up.
        if (::poll(fds, 2, 500) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        for (int round = 0; round < StopCheckEvery; ++round) {
            const int count = batch.Receive(Socket);
            if (count <= 0)
                break; // EAGAIN: back to the wait (which also sees a stop)
            const qint64 now = clock.Now();
            items.clear();
            for (int i = 0; i < count; ++i) {
                ++FReceived;
                std::uint32_t drops = 0;
                if (batch.DropCount(i, drops))
                    NoteKernelDrops(drops);
                if (!FEnabled.load()) {
                    ++FIgnored;
                    continue;
                }
                TDatagram item;
                item.Time = now;
                item.Bytes = batch.Bytes(i);
                item.Sender = senders.Name(batch.From(i));
                items.push_back(std::move(item));
            }
            Enqueue(items);
        }
    }
}

void TSyslogServer::NoteKernelDrops(std::uint32_t Total) {
    // The count only grows (modulo 2^32), so the difference is what was lost since the last look.
    const std::uint32_t added = Total - FKernelDropMark;
    FKernelDropMark = Total;
    if (added > 0) {
        FKernelDrops += added;
        FQueueWake.notify_one();
    }
}

std::size_t TSyslogServer::HeldBytes(const TDatagram& Item) {
    // The strings' heap blocks and the item itself: small messages cost more than their text.
    return sizeof(TDatagram) + Item.Bytes.capacity() + 1 + Item.Sender.capacity() + 1;
}

void TSyslogServer::Enqueue(std::vector<TDatagram>& Items) {
    if (Items.empty())
        return;
    bool wasEmpty = false;
    {
        // One hold of the lock for a whole receive batch.
        std::lock_guard queue(FQueueLock);
        wasEmpty = FQueue.empty();
        for (TDatagram& item : Items) {
            const std::size_t held = HeldBytes(item);
            if (FQueue.size() >= FLimits.QueueMessages || FQueueBytes + held > FLimits.QueueBytes) {
                ++FQueueDrops;
                continue;
            }
            FQueueBytes += held;
            FQueue.push_back(std::move(item));
        }
    }
    Items.clear();
    // The storing thread only waits on an empty queue (its wait checks the queue under the lock).
    if (wasEmpty)
        FQueueWake.notify_one();
}

void TSyslogServer::StoreLoop() {
    std::vector<TDatagram> batch;
    batch.reserve(StoreBatch);
    for (;;) {
        {
            std::unique_lock queue(FQueueLock);
            FQueueWake.wait_for(queue, std::chrono::seconds(1),
                                [this] { return !FQueue.empty() || FClosing; });
            if (FClosing && FQueue.empty())
                break;
            if (DrainOver()) {
                FStopDrops += FQueue.size();
                FQueue.clear();
                FQueueBytes = 0;
                break;
            }
            // Bounded in bytes too, so a batch of large messages holds the database only briefly.
            std::size_t bytes = 0;
            while (!FQueue.empty() && batch.size() < StoreBatch && bytes < StoreBatchBytes) {
                bytes += FQueue.front().Bytes.size();
                FQueueBytes -= HeldBytes(FQueue.front());
                batch.push_back(std::move(FQueue.front()));
                FQueue.pop_front();
            }
        }
        const std::size_t done = StoreMany(batch);
        FStopDrops += batch.size() - done;
        batch.clear();
        FDatabase.CycleTransactionAbove(FLimits.TransactionCacheBytes);
        // While stopping, the one report at the end covers everything.
        if (FDrainUntilMs.load() == 0)
            ReportLosses(false);
    }
    ReportLosses(true);
}

bool TSyslogServer::DrainOver() const {
    const std::int64_t until = FDrainUntilMs.load();
    return until != 0 && SteadyMs() > until;
}

std::size_t TSyslogServer::StoreMany(const std::vector<TDatagram>& Items) {
    static const TSyslogParser parser;
    static const QString whole = MultiRowInsert(RowsPerInsert);
    // Decoded before the database is taken: one value list per statement.
    std::vector<TSQLiteValues> statements((Items.size() + RowsPerInsert - 1) / RowsPerInsert);
    for (std::size_t i = 0; i < Items.size(); ++i) {
        TSQLiteValues& values = statements[i / RowsPerInsert];
        if (values.isEmpty())
            values.reserve(int(std::min<std::size_t>(RowsPerInsert, Items.size() - i)) * 3);
        const TSyslogMessage message = parser.Parse(Items[i].Bytes);
        values << QString::number(Items[i].Time) << QString::fromStdString(message.Text)
               << QString::fromStdString(SyslogSenderName(message, Items[i].Sender));
    }
    std::size_t stored = 0;
    try {
        FDatabase.RunInSavepoint([&](TSQLiteBatch& Batch) {
            for (const TSQLiteValues& values : statements) {
                if (DrainOver())
                    break;
                const int rows = int(values.size() / 3);
                Batch.ExecuteStatement(rows == RowsPerInsert ? whole : MultiRowInsert(rows), values);
                stored += std::size_t(rows);
            }
        });
    } catch (const ESQLiteException&) {
        // The savepoint undid the batch: each row on its own, so one bad row costs only itself.
        stored = 0;
        for (; stored < Items.size() && !DrainOver(); ++stored)
            StoreOne(Items[stored]);
        return stored;
    }
    FStored += stored;
    return stored;
}

void TSyslogServer::StoreOne(const TDatagram& Item) {
    static const TSyslogParser parser;
    const TSyslogMessage message = parser.Parse(Item.Bytes);
    try {
        FDatabase.ExecuteStatement(QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)"),
                                   {QString::number(Item.Time), QString::fromStdString(message.Text),
                                    QString::fromStdString(SyslogSenderName(message, Item.Sender))});
        ++FStored;
    } catch (const ESQLiteException& e) {
        ++FStoreFailures;
        FLastStoreError = e.Message();
    }
}

void TSyslogServer::ReportLosses(bool Force) {
    const std::uint64_t queueDrops = FQueueDrops.load();
    const std::uint64_t stopDrops = FStopDrops.load();
    const std::uint64_t kernelDrops = FKernelDrops.load();
    const std::uint64_t failures = FStoreFailures.load();
    if (queueDrops == FReportedQueueDrops && kernelDrops == FReportedKernelDrops &&
        failures == FReportedFailures && stopDrops == FReportedStopDrops)
        return;
    const std::int64_t now = SteadyMs();
    if (!Force && FReportedOnce && now - FLastReportMs < FLimits.ReportIntervalMs)
        return;
    AddProgramLog(FDatabase, SyslogLossText(queueDrops - FReportedQueueDrops,
                                            kernelDrops - FReportedKernelDrops, failures - FReportedFailures,
                                            FLastStoreError, stopDrops - FReportedStopDrops));
    FReportedQueueDrops = queueDrops;
    FReportedStopDrops = stopDrops;
    FReportedKernelDrops = kernelDrops;
    FReportedFailures = failures;
    FLastReportMs = now;
    FReportedOnce = true;
}

QString SyslogLossText(std::uint64_t QueueDrops, std::uint64_t KernelDrops, std::uint64_t StoreFailures,
                       const QString& StoreError, std::uint64_t StopDrops) {
    QStringList parts;
    if (QueueDrops + KernelDrops + StopDrops > 0) {
        QString lost = QStringLiteral("%1 messages lost (queue full: %2, receive buffer full: %3")
                           .arg(QString::number(QueueDrops + KernelDrops + StopDrops),
                                QString::number(QueueDrops), QString::number(KernelDrops));
        if (StopDrops > 0)
            lost += QStringLiteral(", cut off at stop: %1").arg(QString::number(StopDrops));
        parts << lost + QLatin1Char(')');
    }
    if (StoreFailures > 0)
        parts
            << QStringLiteral("%1 messages not stored (%2)").arg(QString::number(StoreFailures), StoreError);
    return QStringLiteral("Syslog server: ") + parts.join(QStringLiteral(", "));
}

std::string SyslogTestDatagram(double DateTime, const std::string& HostName) {
    const QDateTime local = DateTimeToQDateTime(DateTime);
    TSyslogTimeStamp stamp;
    stamp.Present = true;
    stamp.Month = local.date().month();
    stamp.Day = local.date().day();
    stamp.Hour = local.time().hour();
    stamp.Minute = local.time().minute();
    stamp.Second = local.time().second();
    // RFC 3164 wants the host name without its domain.
    return BuildSyslog3164(1, 7, stamp, HostName.substr(0, HostName.find('.')), "hello world");
}

int SendSyslogTestMessage(const std::string& Host, int Port) {
    TUDPBlockSocket socket;
    socket.Connect(Host, std::to_string(Port));
    if (socket.LastError() != 0)
        return socket.LastError();
    socket.SendString(SyslogTestDatagram(NowDateTime(), LocalHostName()));
    return socket.LastError();
}
