// Syslog server threads. The receiving thread only reads, stamps and queues, so a burst is taken off
// the socket as fast as it arrives; the storing thread decodes and inserts at the database's pace.
// Nothing here touches a widget.
#include "core/SyslogServer.h"

#include "core/ProgramLog.h"
#include "core/TextConversions.h"
#include "net/blcksock.h"
#include "net/netsock.h"
#include "net/syslogmessage.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Largest datagram the kernel can hand out; MSG_TRUNC tells when one was longer.
constexpr std::size_t ReceiveBufferSize = 65536;
// Items the storing thread takes from the queue under one lock.
constexpr std::size_t StoreBatch = 512;
// The receiving thread looks at the stop flag at least this often during a flood.
constexpr int StopCheckEvery = 256;

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

// The kernel's drop count from the SO_RXQ_OVFL control message, when the datagram carries one.
bool DropCount(msghdr& Header, std::uint32_t& Count) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&Header); c; c = CMSG_NXTHDR(&Header, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL &&
            c->cmsg_len >= CMSG_LEN(sizeof(std::uint32_t))) {
            std::memcpy(&Count, CMSG_DATA(c), sizeof Count);
            return true;
        }
    }
    return false;
}

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
    }
    FSocket = fd;
    FWake = wake;
    FAddress = Address;
    FPort = Port;
    FBoundPort = bound;
    FKernelDropMark = 0;
    FReceiver = std::thread([this, fd, wake] { ReceiveLoop(fd, wake->Handle()); });
    FStorer = std::thread([this] { StoreLoop(); });
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
}

bool TSyslogServer::Active() const {
    std::lock_guard control(FControl);
    return FSocket >= 0;
}

int TSyslogServer::BoundPort() const {
    std::lock_guard control(FControl);
    return FBoundPort;
}

TSyslogCounters TSyslogServer::Counters() const {
    TSyslogCounters counters;
    counters.Received = FReceived.load();
    counters.Ignored = FIgnored.load();
    counters.Stored = FStored.load();
    counters.QueueDrops = FQueueDrops.load();
    counters.KernelDrops = FKernelDrops.load();
    counters.StoreFailures = FStoreFailures.load();
    return counters;
}

std::size_t TSyslogServer::QueuedMessages() const {
    std::lock_guard queue(FQueueLock);
    return FQueue.size();
}

void TSyslogServer::ReceiveLoop(int Socket, int WakeFd) {
    std::string buffer(ReceiveBufferSize, '\0');
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    pollfd fds[2] = {{Socket, POLLIN, 0}, {WakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        for (int n = 0; n < StopCheckEvery; ++n) {
            sockaddr_storage from{};
            iovec io{buffer.data(), buffer.size()};
            msghdr header{};
            header.msg_name = &from;
            header.msg_namelen = sizeof from;
            header.msg_iov = &io;
            header.msg_iovlen = 1;
            header.msg_control = control;
            header.msg_controllen = sizeof control;
            const ssize_t size = ::recvmsg(Socket, &header, MSG_TRUNC);
            if (size < 0)
                break; // EAGAIN: back to the wait (which also sees a stop)
            ++FReceived;
            std::uint32_t drops = 0;
            if (DropCount(header, drops))
                NoteKernelDrops(drops);
            if (!FEnabled.load()) {
                ++FIgnored;
                continue;
            }
            TDatagram item;
            item.Time = CurrentLocalUnixTime();
            item.Bytes.assign(buffer.data(),
                              std::min<std::size_t>(static_cast<std::size_t>(size), buffer.size()));
            item.Sender = SenderText(from);
            Enqueue(std::move(item));
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

void TSyslogServer::Enqueue(TDatagram&& Item) {
    {
        std::lock_guard queue(FQueueLock);
        if (FQueue.size() >= FLimits.QueueMessages || FQueueBytes + Item.Bytes.size() > FLimits.QueueBytes) {
            ++FQueueDrops;
            return;
        }
        FQueueBytes += Item.Bytes.size();
        FQueue.push_back(std::move(Item));
    }
    FQueueWake.notify_one();
}

void TSyslogServer::StoreLoop() {
    std::vector<TDatagram> batch;
    batch.reserve(StoreBatch);
    for (;;) {
        bool closing = false;
        std::int64_t drainUntil = 0;
        {
            std::unique_lock queue(FQueueLock);
            FQueueWake.wait_for(queue, std::chrono::seconds(1),
                                [this] { return !FQueue.empty() || FClosing; });
            closing = FClosing;
            drainUntil = FDrainUntilMs;
            if (closing && FQueue.empty())
                break;
            if (closing && SteadyMs() > drainUntil) {
                FQueueDrops += FQueue.size();
                FQueue.clear();
                FQueueBytes = 0;
                break;
            }
            while (!FQueue.empty() && batch.size() < StoreBatch) {
                FQueueBytes -= FQueue.front().Bytes.size();
                batch.push_back(std::move(FQueue.front()));
                FQueue.pop_front();
            }
        }
        std::size_t done = 0;
        for (; done < batch.size(); ++done) {
            if (closing && SteadyMs() > drainUntil)
                break;
            StoreOne(batch[done]);
        }
        FQueueDrops += batch.size() - done;
        batch.clear();
        ReportLosses(false);
    }
    ReportLosses(true);
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
    const std::uint64_t kernelDrops = FKernelDrops.load();
    const std::uint64_t failures = FStoreFailures.load();
    if (queueDrops == FReportedQueueDrops && kernelDrops == FReportedKernelDrops &&
        failures == FReportedFailures)
        return;
    const std::int64_t now = SteadyMs();
    if (!Force && FReportedOnce && now - FLastReportMs < FLimits.ReportIntervalMs)
        return;
    AddProgramLog(FDatabase,
                  SyslogLossText(queueDrops - FReportedQueueDrops, kernelDrops - FReportedKernelDrops,
                                 failures - FReportedFailures, FLastStoreError));
    FReportedQueueDrops = queueDrops;
    FReportedKernelDrops = kernelDrops;
    FReportedFailures = failures;
    FLastReportMs = now;
    FReportedOnce = true;
}

QString SyslogLossText(std::uint64_t QueueDrops, std::uint64_t KernelDrops, std::uint64_t StoreFailures,
                       const QString& StoreError) {
    QStringList parts;
    if (QueueDrops + KernelDrops > 0)
        parts << QStringLiteral("%1 messages lost (queue full: %2, receive buffer full: %3)")
                     .arg(QString::number(QueueDrops + KernelDrops), QString::number(QueueDrops),
                          QString::number(KernelDrops));
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
