// Outgoing connections of the messaging client: send queue, handshakes, the gateway's wire, and the
// socket classes on QTcpSocket. Handshake bytes are our own; Qt's proxy support is never used.
#include "messaging/ICQSock.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <exception>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/ProgramLogSink.h"
#include "core/Synchronize.h"
#include "net/netcode.h"
#include "net/netsock.h"
#include "net/netutil.h"

// ---------------------------------------------------------------------------------------------------
// TNetBuffer

void TNetBuffer::Lock() {
    FLock.lock();
}
void TNetBuffer::Unlock() {
    FLock.unlock();
}

void TNetBuffer::Append(const char* Data, int Length) {
    if (!Data || Length <= 0)
        return;
    std::lock_guard guard(FLock);
    for (int at = 0; at < Length; at += NetChunkSize) {
        const int count = std::min(NetChunkSize, Length - at);
        FChunks.push_back(TChunk{std::vector<char>(Data + at, Data + at + count), 0});
    }
}

int TNetBuffer::Peek(char* Dest) {
    std::lock_guard guard(FLock);
    if (FChunks.empty())
        return 0;
    const TChunk& first = FChunks.front();
    const int count = static_cast<int>(first.Data.size()) - first.Sent;
    std::memcpy(Dest, first.Data.data() + first.Sent, static_cast<std::size_t>(count));
    return count;
}

bool TNetBuffer::Advance(int N) {
    std::lock_guard guard(FLock);
    if (FChunks.empty())
        return false;
    TChunk& first = FChunks.front();
    const int size = static_cast<int>(first.Data.size());
    first.Sent = static_cast<quint16>(std::clamp(first.Sent + N, 0, size));
    return first.Sent == size;
}

void TNetBuffer::Pop() {
    std::lock_guard guard(FLock);
    if (!FChunks.empty())
        FChunks.pop_front();
}

void TNetBuffer::Clear() {
    std::lock_guard guard(FLock);
    FChunks.clear();
}

qint64 TNetBuffer::Total() {
    std::lock_guard guard(FLock);
    qint64 total = 0;
    for (const TChunk& chunk : FChunks)
        total += static_cast<qint64>(chunk.Data.size());
    return total;
}

int TNetBuffer::ChunkCount() {
    std::lock_guard guard(FLock);
    return static_cast<int>(FChunks.size());
}

QByteArray TNetBuffer::Take(int Max) {
    std::lock_guard guard(FLock);
    QByteArray out;
    while (!FChunks.empty() && out.size() < Max) {
        TChunk& first = FChunks.front();
        const int rest = static_cast<int>(first.Data.size()) - first.Sent;
        const int count = std::min(rest, Max - static_cast<int>(out.size()));
        out.append(first.Data.data() + first.Sent, count);
        if (Advance(count))
            Pop();
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Utilities

std::atomic<quint16> PortRangeFirst{3000};
std::atomic<quint16> PortRangeLast{50000};

quint16 FindFreePort() {
    const int first = PortRangeFirst.load();
    const int last = PortRangeLast.load();
    for (int port = first; port <= last; ++port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return 0;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (bound)
            return static_cast<quint16>(port);
    }
    return 0;
}

qint64 GetLocalIP() {
    const QHostInfo info = QHostInfo::fromName(QHostInfo::localHostName());
    qint64 found = -1;
    for (const QHostAddress& address : info.addresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            found = address.toIPv4Address();
    return found;
}

QString IPToText(quint32 Address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(Address >> 24)
        .arg((Address >> 16) & 0xFF)
        .arg((Address >> 8) & 0xFF)
        .arg(Address & 0xFF);
}

QByteArray Base64Encode(const QByteArray& Text) {
    return QByteArray::fromStdString(EncodeBase64(Text.toStdString()));
}

QByteArray HTTPStatusText(const QByteArray& Lines) {
    qsizetype end = Lines.indexOf('\n');
    QByteArray first = end < 0 ? Lines : Lines.left(end);
    if (first.endsWith('\r'))
        first.chop(1);
    const qsizetype blank = first.indexOf(' ');
    return blank < 0 ? QByteArray() : first.mid(blank + 1);
}

int HTTPStatusCode(const QByteArray& Lines) {
    const QByteArray status = HTTPStatusText(Lines);
    if (status.size() < 3 || (status.size() > 3 && status[3] != ' '))
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (status[i] < '0' || status[i] > '9')
            return -1;
        code = code * 10 + (status[i] - '0');
    }
    return code;
}

namespace {

void AppendBE16(QByteArray& Out, quint32 Value) {
    Out.append(static_cast<char>((Value >> 8) & 0xFF));
    Out.append(static_cast<char>(Value & 0xFF));
}

void AppendBE32(QByteArray& Out, quint32 Value) {
    AppendBE16(Out, Value >> 16);
    AppendBE16(Out, Value & 0xFFFF);
}

quint32 ByteAt(const QByteArray& Bytes, qsizetype At) {
    return static_cast<quint8>(Bytes[At]);
}

quint32 BE16At(const QByteArray& Bytes, qsizetype At) {
    return ByteAt(Bytes, At) << 8 | ByteAt(Bytes, At + 1);
}

const QByteArray UserAgent = "Mozilla/4.08 [en] (WinNT; U ;Nav)";

QByteArray BasicCredentials(const QByteArray& User, const QByteArray& Password) {
    return Base64Encode(User + ':' + Password);
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Handshakes

QByteArray TProxyHandshake::Feed(const char* Data, int Length) {
    if (FState != THandshakeState::Running || !Data || Length <= 0)
        return QByteArray();
    FReply.append(Data, Length);
    // One read may hold several replies (a method choice and the connect reply).
    QByteArray out;
    for (;;) {
        const qsizetype before = FReply.size();
        out += Parse();
        if (FState != THandshakeState::Running || FReply.size() == before)
            return out;
    }
}

QByteArray TProxyHandshake::TakeRest() {
    QByteArray rest;
    rest.swap(FRest);
    return rest;
}

QString TProxyHandshake::ErrorText(TICQLangType Language) const {
    return GetICQErrorText(Language, FErrorNumber) + QString::fromLatin1(FErrorDetail);
}

void TProxyHandshake::Finish(int Consumed) {
    FRest = FReply.mid(Consumed);
    FReply.clear();
    FState = THandshakeState::Done;
}

void TProxyHandshake::Fail(int TextNumber, const QByteArray& Detail) {
    FState = THandshakeState::Failed;
    FErrorNumber = TextNumber;
    FErrorDetail = Detail;
    FReply.clear();
}

namespace {

TSocksRequest SocksRequestFor(const TProxyTarget& Target, bool Version4) {
    TSocksRequest request;
    request.Version4 = Version4;
    request.Port = Target.Port;
    if (Target.Resolve)
        request.Name = Target.Host.toStdString();
    else
        request.Address = CodeLongInt(Target.Address);
    if (Target.Auth) {
        request.UserID = Target.UserID.toStdString();
        request.Password = Target.Password.toStdString();
    }
    request.Auth = Target.Auth && !Version4;
    return request;
}

} // namespace

TSocksProxyHandshake::TSocksProxyHandshake(TProxyTarget Target, bool Version4)
    : TProxyHandshake(std::move(Target)), FVersion4(Version4), FSocks(SocksRequestFor(FTarget, Version4)) {}

int TSocksProxyHandshake::ClosedTextNumber() const {
    return FVersion4 ? 15 : 16 + static_cast<int>(FSocks.Step());
}

QByteArray TSocksProxyHandshake::Start() {
    const std::string out = FSocks.Start();
    if (FSocks.State() == TSocksHandshake::TState::Failed)
        Fail(ClosedTextNumber());
    return QByteArray::fromStdString(out);
}

QByteArray TSocksProxyHandshake::Parse() {
    if (FReply.isEmpty())
        return QByteArray();
    const std::string out = FSocks.Feed(FReply.constData(), static_cast<std::size_t>(FReply.size()));
    FReply.clear();
    if (FSocks.State() == TSocksHandshake::TState::Done) {
        FReply = QByteArray::fromStdString(FSocks.TakeRest());
        Finish(0);
    } else if (FSocks.State() == TSocksHandshake::TState::Failed) {
        Fail(ClosedTextNumber());
    }
    return QByteArray::fromStdString(out);
}

QByteArray THttpConnectHandshake::Start() {
    const QByteArray host = FTarget.Resolve ? FTarget.Host : IPToText(FTarget.Address).toLatin1();
    QByteArray out = "CONNECT " + host + ':' + QByteArray::number(FTarget.Port) + " HTTP/1.0\r\n";
    out += "User-Agent: " + UserAgent + "\r\n";
    if (FTarget.Auth)
        out += "Proxy-Authorization: Basic " + BasicCredentials(FTarget.UserID, FTarget.Password) + "\r\n";
    out += "\r\n";
    return out;
}

QByteArray THttpConnectHandshake::Parse() {
    const qsizetype end = FReply.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > HttpReplyArea) {
        if (end >= 0 || FReply.size() >= HttpReplyArea)
            Fail(20);
        return QByteArray();
    }
    const QByteArray header = FReply.left(end);
    if (HTTPStatusCode(header) == 200)
        Finish(static_cast<int>(end + 4));
    else
        Fail(19, HTTPStatusText(header));
    return QByteArray();
}

std::unique_ptr<TProxyHandshake> MakeProxyHandshake(TProxyType Kind, const TProxyTarget& Target) {
    switch (Kind) {
    case P_SOCKS4:
        return std::make_unique<TSocks4Handshake>(Target);
    case P_SOCKS5:
        return std::make_unique<TSocks5Handshake>(Target);
    case P_HTTPS:
        return std::make_unique<THttpConnectHandshake>(Target);
    default:
        return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------------
// Gateway wire

QList<TGatewayFrame> CutGatewayFrames(const QByteArray& Body) {
    QList<TGatewayFrame> frames;
    qsizetype at = 0;
    while (at + 2 <= Body.size()) {
        const qsizetype length = BE16At(Body, at);
        if (length < 12 || length > 8192 || at + 2 + length > Body.size())
            break;
        frames.append(TGatewayFrame{static_cast<quint16>(BE16At(Body, at + 4)), Body.mid(at, 2 + length)});
        at += 2 + length;
    }
    return frames;
}

QByteArray GatewayFrame(quint16 Type, const QByteArray& Payload) {
    QByteArray out;
    AppendBE16(out, static_cast<quint32>(Payload.size() + 12));
    AppendBE16(out, GatewayVersion);
    AppendBE16(out, Type);
    AppendBE32(out, 0);
    AppendBE32(out, 1);
    return out + Payload;
}

QByteArray GatewayUrl(const QByteArray& Host, quint16 Port, const QByteArray& Path) {
    QByteArray url = "http://" + Host;
    if (Port != 80)
        url += ':' + QByteArray::number(Port);
    return url + Path;
}

THttpReply::TState THttpReply::Feed(const char* Data, int Length) {
    if (FState != Incomplete || !Data || Length <= 0)
        return FState;
    if (FBytes.size() + Length > GatewayReplyArea) {
        FState = Overflow;
        return FState;
    }
    FBytes.append(Data, Length);
    return Check();
}

THttpReply::TState THttpReply::Check() {
    if (FHeaderEnd < 0) {
        const qsizetype end = FBytes.indexOf("\r\n\r\n");
        if (end < 0)
            return FState;
        FHeaderEnd = static_cast<int>(end + 4);
        for (const QByteArray& line : FBytes.left(end).split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.toLower().startsWith("content-length:"))
                FContentLength = trimmed.mid(15).trimmed().toLongLong();
        }
    }
    if (FContentLength >= 0 && FBytes.size() - FHeaderEnd >= FContentLength)
        FState = Complete;
    return FState;
}

THttpReply::TState THttpReply::Finish() {
    if (FState == Incomplete && FHeaderEnd >= 0)
        FState = Complete;
    return FState;
}

int THttpReply::Code() const {
    return HTTPStatusCode(FHeaderEnd < 0 ? FBytes : FBytes.left(FHeaderEnd));
}

QByteArray THttpReply::StatusText() const {
    return HTTPStatusText(FHeaderEnd < 0 ? FBytes : FBytes.left(FHeaderEnd));
}

QByteArray THttpReply::Body() const {
    if (FHeaderEnd < 0)
        return QByteArray();
    return FBytes.mid(FHeaderEnd, FContentLength >= 0 ? FContentLength : -1);
}

void TGatewaySession::Reset(const TSettings& Settings) {
    FSettings = Settings;
    FHost = Settings.GatewayHost;
    FHostPort = Settings.GatewayPort;
    FSid.clear();
    FSeq = 0;
    FLoginPending = false;
}

QByteArray TGatewaySession::Request(const QByteArray& Method, const QByteArray& Url,
                                    const QByteArray& Body) const {
    QByteArray out = Method + ' ' + Url + " HTTP/1.0\r\n";
    out += "user-agent: " + UserAgent + "\r\n";
    if (!Body.isEmpty())
        out += "content-length: " + QByteArray::number(Body.size()) + "\r\n";
    if (FSettings.Auth)
        out +=
            "Proxy-Authorization: Basic " + BasicCredentials(FSettings.UserID, FSettings.Password) + "\r\n";
    out += "cache-control: no-store, no-cache\r\n";
    out += "host: " + FHost + (FHostPort != 80 ? ':' + QByteArray::number(FHostPort) : QByteArray()) + "\r\n";
    out += "connection: close\r\n";
    out += "pragma: no-cache\r\n\r\n";
    return out + Body;
}

QByteArray TGatewaySession::HelloRequest() const {
    return Request("GET", GatewayUrl(FHost, FHostPort, "/hello"), QByteArray());
}

QByteArray TGatewaySession::MonitorRequest() const {
    return Request("GET", GatewayUrl(FHost, FHostPort, "/monitor?sid=" + FSid), QByteArray());
}

QByteArray TGatewaySession::DataRequest(const QByteArray& Queued) {
    ++FSeq;
    QByteArray body;
    if (FLoginPending) {
        QByteArray login;
        AppendBE16(login, static_cast<quint32>(FSettings.Destination.size()));
        login += FSettings.Destination;
        AppendBE16(login, FSettings.DestinationPort);
        body = GatewayFrame(GW_LOGIN, login);
        FLoginPending = false;
    } else {
        body = GatewayFrame(GW_DATA, Queued.left(GatewayDataMax));
    }
    const QByteArray path = "/data?sid=" + FSid + "&seq=" + QByteArray::number(FSeq);
    return Request("POST", GatewayUrl(FHost, FHostPort, path), body);
}

TGatewaySession::TOutcome TGatewaySession::HandleBody(const QByteArray& Body) {
    TOutcome outcome;
    for (const TGatewayFrame& frame : CutGatewayFrames(Body)) {
        const QByteArray& bytes = frame.Bytes;
        if (frame.Type == GW_CLOSE) {
            outcome.Closed = true;
            break;
        }
        if (frame.Type == GW_DATA) {
            outcome.FlapData += bytes.mid(GatewayHeaderSize);
            continue;
        }
        // The hello reply: six bytes, the sid as four 32-bit values, the data host, its port (LE).
        if (frame.Type != GW_HELLO_REPLY || bytes.size() < 6 + 16 + 2)
            continue;
        const qsizetype hostLength = BE16At(bytes, 22);
        if (bytes.size() < 24 + hostLength + 2)
            continue;
        FSid = bytes.mid(6, 16).toHex();
        FHost = bytes.mid(24, hostLength);
        FHostPort =
            static_cast<quint16>(ByteAt(bytes, 24 + hostLength) | ByteAt(bytes, 25 + hostLength) << 8);
        FSeq = 0;
        FLoginPending = true;
        outcome.Started = true;
    }
    return outcome;
}

// ---------------------------------------------------------------------------------------------------
// TCustomSocket

namespace {

// The socket error number of a Qt socket error.
int SocketErrorCode(QAbstractSocket::SocketError Error) {
    switch (Error) {
    case QAbstractSocket::ConnectionRefusedError:
        return WSAECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
        return WSAECONNRESET;
    case QAbstractSocket::HostNotFoundError:
        return WSAHOST_NOT_FOUND;
    case QAbstractSocket::SocketAccessError:
        return WSAEACCES;
    case QAbstractSocket::SocketResourceError:
        return WSAENOBUFS;
    case QAbstractSocket::SocketTimeoutError:
        return WSAETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return WSAENETUNREACH;
    case QAbstractSocket::AddressInUseError:
        return WSAEADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return WSAEADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return WSAEOPNOTSUPP;
    default:
        return WSAEINVAL;
    }
}

// Bytes handed to QTcpSocket ahead of the wire; the queue keeps the rest.
constexpr qint64 FlushHighWater = 256 * 1024;

} // namespace

TCustomSocket::TCustomSocket(QObject* Parent)
    : QObject(Parent), FReceiveArea(NetChunkSize), FSendArea(NetChunkSize) {}

TCustomSocket::~TCustomSocket() {
    Close(false);
}

qintptr TCustomSocket::Handle() const {
    return FSocket ? FSocket->socketDescriptor() : -1;
}

bool TCustomSocket::Guard(const char* Where, const std::function<void()>& Body) {
    try {
        Body();
        return true;
    } catch (const std::exception& e) {
        DoThreadException(QString::fromUtf8(e.what()));
    } catch (...) {
        DoThreadException(QString::fromLatin1(Where));
    }
    return false;
}

void TCustomSocket::Hook() {
    connect(FSocket, &QTcpSocket::connected, this, &TCustomSocket::SocketConnected);
    connect(FSocket, &QTcpSocket::readyRead, this, &TCustomSocket::SocketReadyRead);
    connect(FSocket, &QTcpSocket::errorOccurred, this, &TCustomSocket::SocketError);
    connect(FSocket, &QTcpSocket::disconnected, this, &TCustomSocket::SocketDisconnected);
    connect(FSocket, &QTcpSocket::bytesWritten, this, &TCustomSocket::SocketBytesWritten);
}

void TCustomSocket::Connect() {
    if (FActive)
        return;
    FActive = true;
    FConnecting = true;
    FConnected = false;
    FClosedRaised = false;
    FLastError = 0;
    FLastErrorText.clear();
    FSocket = new QTcpSocket(this);
    Hook();
    StartLookups();
}

bool TCustomSocket::Adopt(qintptr Handle) {
    if (FActive)
        return false;
    FSocket = new QTcpSocket(this);
    if (!FSocket->setSocketDescriptor(Handle)) {
        FSocket->deleteLater();
        FSocket = nullptr;
        return false;
    }
    Hook();
    FActive = true;
    FConnecting = false;
    FClosedRaised = false;
    // Raised from the event loop, so the owner can hook its events first.
    PostToGui(this, "TCustomSocket.SocketConnected", [this] { SocketConnected(); });
    return true;
}

void TCustomSocket::StartLookups() {
    Lookup(ConnectHost());
}

void TCustomSocket::Lookup(const QString& Name) {
    QHostAddress literal;
    if (literal.setAddress(Name)) {
        if (literal.protocol() == QAbstractSocket::IPv4Protocol)
            Resolved(literal.toIPv4Address());
        else
            RaiseError(WSAHOST_NOT_FOUND, 11);
        return;
    }
    if (Name.isEmpty()) {
        RaiseError(WSAHOST_NOT_FOUND, 11);
        return;
    }
    // The slot by name: the result crosses threads inside Qt alone.
    FLookupId = QHostInfo::lookupHost(Name, this, SLOT(LookupDone(QHostInfo)));
}

void TCustomSocket::LookupDone(const QHostInfo& Info) {
    if (Info.lookupId() != FLookupId)
        return;
    FLookupId = -1;
    Guard("name lookup", [&] {
        for (const QHostAddress& address : Info.addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                Resolved(address.toIPv4Address());
                return;
            }
        }
        RaiseError(WSAHOST_NOT_FOUND, 11);
    });
}

void TCustomSocket::Resolved(quint32 Address) {
    if (FSocket)
        FSocket->connectToHost(QHostAddress(Address), ConnectPort());
}

void TCustomSocket::SocketConnected() {
    if (!FSocket)
        return;
    FConnecting = false;
    FConnected = true;
    // Handshakes and frames are small writes that wait for an answer: no coalescing delay.
    FSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const quint32 generation = FGeneration;
    Guard("connected", [&] { DoConnected(); });
    if (generation == FGeneration)
        ScheduleFlush();
}

void TCustomSocket::SocketReadyRead() {
    Guard("receive", [&] { DrainReceived(); });
}

void TCustomSocket::DrainReceived() {
    const quint32 generation = FGeneration;
    while (FSocket && generation == FGeneration && FSocket->bytesAvailable() > 0) {
        const qint64 count = FSocket->read(FReceiveArea.data(), NetChunkSize);
        if (count <= 0)
            break;
        DoDataAvailable(FReceiveArea.data(), static_cast<int>(count));
    }
}

void TCustomSocket::SocketError(QAbstractSocket::SocketError Error) {
    if (!FSocket)
        return;
    Guard("socket error", [&] {
        const int code = SocketErrorCode(Error);
        if (FConnecting) {
            if (Error == QAbstractSocket::SocketResourceError ||
                Error == QAbstractSocket::UnsupportedSocketOperationError)
                RaiseError(code, 14);
            else
                RaiseConnectFailed(code, GetICQErrorText(Language, 12));
            return;
        }
        // A graceful close and a reset or abort by the peer end the connection without an error.
        if (Error == QAbstractSocket::RemoteHostClosedError || code == WSAECONNABORTED ||
            code == WSAECONNRESET) {
            RaiseDisconnected();
            return;
        }
        RaiseError(code, 13);
    });
}

void TCustomSocket::SocketDisconnected() {
    if (!FSocket || FConnecting)
        return;
    Guard("disconnected", [&] { RaiseDisconnected(); });
}

void TCustomSocket::RaiseDisconnected() {
    if (FClosedRaised)
        return;
    // Bytes that came with the close are still data.
    const quint32 generation = FGeneration;
    DrainReceived();
    if (generation != FGeneration || FClosedRaised)
        return;
    FClosedRaised = true;
    DoDisconnected();
}

void TCustomSocket::SocketBytesWritten() {
    Flush();
}

void TCustomSocket::Send(const char* Data, int Length) {
    if (!Data || Length <= 0)
        return;
    if (!BufferedSend) {
        if (!FSocket || !FConnected || FSocket->write(Data, Length) != Length)
            RaiseError(FSocket ? SocketErrorCode(FSocket->error()) : WSAENOTCONN, 10);
        return;
    }
    FQueue.Lock();
    FQueue.Append(Data, Length);
    FDrained = false;
    FQueue.Unlock();
    ScheduleFlush();
}

void TCustomSocket::WriteRaw(const QByteArray& Bytes) {
    if (!FSocket || Bytes.isEmpty())
        return;
    if (FSocket->write(Bytes) != Bytes.size())
        RaiseError(SocketErrorCode(FSocket->error()), 10);
}

void TCustomSocket::QuickAck() {
    const qintptr handle = Handle();
    const int one = 1;
    if (handle >= 0)
        ::setsockopt(static_cast<int>(handle), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

void TCustomSocket::ScheduleFlush() {
    if (!FFlushPending.exchange(true))
        // Send may come from another thread: the flush runs on the socket's.
        PostToGui(this, "TCustomSocket.Flush", [this] { Flush(); });
}

void TCustomSocket::Flush() {
    FFlushPending = false;
    if (!FSocket || !ReadyForData())
        return;
    while (FSocket->bytesToWrite() < FlushHighWater) {
        FQueue.Lock();
        const int count = FQueue.Peek(FSendArea.data());
        if (count == 0) {
            FQueue.Unlock();
            break;
        }
        const qint64 written = FSocket->write(FSendArea.data(), count);
        if (written < 0) {
            FQueue.Unlock();
            Guard("send", [&] { RaiseError(SocketErrorCode(FSocket->error()), 10); });
            return;
        }
        if (FQueue.Advance(static_cast<int>(written)))
            FQueue.Pop();
        FQueue.Unlock();
    }
    FQueue.Lock();
    const bool drained = !FDrained && FQueue.ChunkCount() == 0 && FSocket->bytesToWrite() == 0;
    if (drained)
        FDrained = true;
    FQueue.Unlock();
    if (drained)
        Guard("data sent", [&] { DoDataSent(); });
}

void TCustomSocket::RaiseError(int Code, int TextNumber, const QString& Detail) {
    FLastError = Code;
    FLastErrorText = GetICQErrorText(Language, TextNumber) + Detail;
    DoError(Code, FLastErrorText);
}

void TCustomSocket::RaiseConnectFailed(int Code, const QString& Text) {
    FLastError = Code;
    FLastErrorText = Text;
    DoConnectFailed();
}

void TCustomSocket::Disconnect() {
    Close(true);
}

void TCustomSocket::Close(bool Graceful) {
    ++FGeneration;
    if (FLookupId >= 0) {
        QHostInfo::abortHostLookup(FLookupId);
        FLookupId = -1;
    }
    // Queued bytes go out only on a connection that takes data (not in a proxy handshake).
    const bool writeQueue = Graceful && FConnected && ReadyForData();
    FActive = false;
    FConnecting = false;
    FConnected = false;
    QTcpSocket* socket = FSocket;
    FSocket = nullptr;
    if (!socket) {
        FQueue.Clear();
        return;
    }
    socket->disconnect(this);
    if (writeQueue && socket->state() == QAbstractSocket::ConnectedState) {
        // What the owner queued still goes out; the socket frees itself once it is written.
        while (FQueue.ChunkCount() > 0)
            socket->write(FQueue.Take(NetChunkSize));
        socket->setParent(QCoreApplication::instance());
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(5000, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
    } else {
        socket->abort();
        socket->deleteLater();
    }
    FQueue.Clear();
}

void TCustomSocket::DoError(int, const QString&) {
    Close(false);
}
void TCustomSocket::DoConnectFailed() {
    Close(false);
}
void TCustomSocket::DoDisconnected() {
    Close(false);
}
void TCustomSocket::DoDataAvailable(const char*, int) {}
void TCustomSocket::DoThreadException(const QString&) {
    Close(false);
}

// ---------------------------------------------------------------------------------------------------
// TProxySocket

void TProxySocket::StartLookups() {
    FDestinationResolved = false;
    FResolvedAddress = 0;
    if (NeedsDestinationAddress() && !ProxyHost.isEmpty())
        Lookup(Host);
    else
        Lookup(ConnectHost());
}

void TProxySocket::Resolved(quint32 Address) {
    if (NeedsDestinationAddress() && !ProxyHost.isEmpty() && !FDestinationResolved) {
        FDestinationResolved = true;
        FResolvedAddress = Address;
        Lookup(ConnectHost());
        return;
    }
    TCustomSocket::Resolved(Address);
}

TProxyTarget TProxySocket::Target() const {
    TProxyTarget target;
    target.Host = Host.toUtf8();
    target.Port = Port;
    target.Address = FResolvedAddress;
    target.UserID = ProxyUserID.toUtf8();
    target.Password = ProxyPass.toUtf8();
    target.Auth = ProxyAuth;
    target.Resolve = ProxyResolve;
    return target;
}

// ---------------------------------------------------------------------------------------------------
// TEventSocket and the proxies

TEventSocket::TEventSocket(QObject* Parent) : TProxySocket(Parent) {}

bool TEventSocket::ReadyForData() const {
    return Connected() && FDirect;
}

void TEventSocket::DoConnected() {
    FHandshake = ProxyHost.isEmpty() ? nullptr : MakeHandshake();
    if (!FHandshake) {
        FDirect = true;
        if (OnConnect)
            OnConnect();
        return;
    }
    FDirect = false;
    const QByteArray first = FHandshake->Start();
    if (FHandshake->State() == THandshakeState::Failed) {
        RaiseConnectFailed(0, FHandshake->ErrorText(Language));
        return;
    }
    WriteRaw(first);
}

void TEventSocket::HandshakeStep(const char* Data, int Length) {
    // A proxy may hold the server's first bytes back until its reply is acknowledged (Nagle on its
    // side); acknowledging at once spares the delayed-ACK wait.
    QuickAck();
    const QByteArray out = FHandshake->Feed(Data, Length);
    const quint32 generation = Generation();
    if (FHandshake->State() != THandshakeState::Failed)
        WriteRaw(out);
    if (generation != Generation())
        return;
    switch (FHandshake->State()) {
    case THandshakeState::Running:
        return;
    case THandshakeState::Failed:
        RaiseConnectFailed(0, FHandshake->ErrorText(Language));
        return;
    case THandshakeState::Done:
        break;
    }
    const QByteArray rest = FHandshake->TakeRest();
    FHandshake.reset();
    FDirect = true;
    if (OnConnect)
        OnConnect();
    if (generation != Generation())
        return;
    ScheduleFlush();
    if (!rest.isEmpty() && OnDataAvailable)
        OnDataAvailable(rest.constData(), static_cast<int>(rest.size()));
}

void TEventSocket::DoDataAvailable(const char* Data, int Length) {
    if (!FDirect && FHandshake) {
        HandshakeStep(Data, Length);
        return;
    }
    if (OnDataAvailable)
        OnDataAvailable(Data, Length);
}

void TEventSocket::DoError(int Code, const QString& Text) {
    TProxySocket::DoError(Code, Text);
    if (OnError)
        OnError(Code, Text);
}

void TEventSocket::DoConnectFailed() {
    TProxySocket::DoConnectFailed();
    if (OnConnectError)
        OnConnectError();
}

void TEventSocket::DoDisconnected() {
    // A proxy that closes during its handshake refused the connection.
    if (!FDirect && FHandshake) {
        FHandshake->Closed();
        RaiseConnectFailed(0, FHandshake->ErrorText(Language));
        return;
    }
    TProxySocket::DoDisconnected();
    if (OnDisconnect)
        OnDisconnect();
}

void TEventSocket::DoDataSent() {
    if (OnDataSent)
        OnDataSent();
}

void TEventSocket::DoThreadException(const QString& Text) {
    TProxySocket::DoThreadException(Text);
    if (OnThreadException)
        OnThreadException(Text);
}

std::unique_ptr<TProxyHandshake> TSOCKS4Socket::MakeHandshake() const {
    return std::make_unique<TSocks4Handshake>(Target());
}

std::unique_ptr<TProxyHandshake> TSOCKS5Socket::MakeHandshake() const {
    return std::make_unique<TSocks5Handshake>(Target());
}

std::unique_ptr<TProxyHandshake> THTTPSSocket::MakeHandshake() const {
    return std::make_unique<THttpConnectHandshake>(Target());
}

// ---------------------------------------------------------------------------------------------------
// THTTPSocket

void THTTPSocket::DoConnected() {
    FReply = THttpReply();
    FDelivered = false;
    WriteRaw(Request);
    TEventSocket::DoConnected();
}

void THTTPSocket::DoDataAvailable(const char* Data, int Length) {
    if (FDelivered)
        return;
    const THttpReply::TState state = FReply.Feed(Data, Length);
    if (state == THttpReply::Overflow) {
        FDelivered = true;
        RaiseConnectFailed(0, GetICQErrorText(Language, 20));
    } else if (state == THttpReply::Complete) {
        Deliver();
    }
}

void THTTPSocket::DoDisconnected() {
    if (FDelivered)
        return;
    FReply.Finish();
    Deliver();
}

void THTTPSocket::Deliver() {
    FDelivered = true;
    if (FReply.State() != THttpReply::Complete || FReply.Code() != 200) {
        RaiseConnectFailed(0, GetICQErrorText(Language, 19) + QString::fromLatin1(FReply.StatusText()));
        return;
    }
    const QByteArray body = FReply.Body();
    Close(false);
    const quint32 generation = Generation();
    if (OnDataAvailable)
        OnDataAvailable(body.constData(), static_cast<int>(body.size()));
    if (generation == Generation() && OnDisconnect)
        OnDisconnect();
}

// ---------------------------------------------------------------------------------------------------
// Listening server

namespace {

// Accepts taken per readiness, so a flood of peers never starves the event loop.
constexpr int AcceptsPerWake = 64;

// Errors of one accepted connection that leave the listening socket usable.
// No descriptor or memory for one more connection: the listening socket is still fine.
bool ResourceAcceptError(int Errno) {
    return Errno == EMFILE || Errno == ENFILE || Errno == ENOBUFS || Errno == ENOMEM;
}

bool TransientAcceptError(int Errno) {
    return Errno == EAGAIN || Errno == EWOULDBLOCK || Errno == EINTR || Errno == ECONNABORTED ||
           Errno == EPROTO || Errno == ENETDOWN || Errno == ENOPROTOOPT || Errno == EHOSTDOWN ||
           Errno == ENONET || Errno == EHOSTUNREACH || Errno == EOPNOTSUPP || Errno == ENETUNREACH;
}

} // namespace

TTCPServer::TTCPServer(QObject* Parent) : QObject(Parent) {}

TTCPServer::~TTCPServer() {
    Stop();
}

void TTCPServer::Fail(int Errno, int TextNumber) {
    Stop();
    FLastError = SocketErrorFromErrno(Errno);
    FLastErrorText = GetICQErrorText(Language, TextNumber);
    DoError(FLastError, FLastErrorText);
}

bool TTCPServer::Start() {
    Stop();
    FLastError = 0;
    FLastErrorText.clear();
    FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FFd < 0) {
        Fail(errno, 14);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(Port);
    if (::bind(FFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail(errno, 22);
        return false;
    }
    if (::listen(FFd, 5) != 0) {
        Fail(errno, 23);
        return false;
    }
    FNotifier = new QSocketNotifier(FFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTCPServer::Readable);
    return true;
}

void TTCPServer::Stop() {
    FPaused = false;
    if (FNotifier) {
        FNotifier->setEnabled(false);
        FNotifier->deleteLater();
        FNotifier = nullptr;
    }
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

void TTCPServer::Readable() {
    for (int i = 0; i < AcceptsPerWake && FFd >= 0; ++i) {
        const int fd = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            FPauseLogged = false;
            DoAccept(fd);
            continue;
        }
        const int error = errno;
        if (ResourceAcceptError(error)) {
            Pause(error);
            return;
        }
        if (TransientAcceptError(error)) {
            if (error == EAGAIN || error == EWOULDBLOCK)
                return;
            continue;
        }
        Fail(error, 21);
        return;
    }
}

void TTCPServer::Pause(int Errno) {
    // The pending peer stays in the backlog; accepting again at once would only spin.
    FPaused = true;
    FNotifier->setEnabled(false);
    if (!FPauseLogged) {
        FPauseLogged = true;
        WriteProgramLogSink(QStringLiteral("Direct connections on port %1: cannot accept a peer (%2); "
                                           "accepting again in %3 ms")
                                .arg(Port)
                                .arg(QString::fromLocal8Bit(std::strerror(Errno)))
                                .arg(AcceptPauseMs));
    }
    QTimer::singleShot(AcceptPauseMs, FNotifier, [this] { Resume(); });
}

void TTCPServer::Resume() {
    if (!FPaused || FFd < 0 || !FNotifier)
        return;
    FPaused = false;
    FNotifier->setEnabled(true);
    Readable();
}

void TTCPServer::DoAccept(qintptr Handle) {
    ::close(static_cast<int>(Handle));
}

void TTCPServer::DoError(int, const QString&) {}

void TServerSocket::DoAccept(qintptr Handle) {
    if (OnAccept)
        OnAccept(Handle);
    else
        TTCPServer::DoAccept(Handle);
}

void TServerSocket::DoError(int Code, const QString& Text) {
    if (OnError)
        OnError(Code, Text);
}

// ---------------------------------------------------------------------------------------------------
// TMySocket and TSrvSocket

TMySocket::TMySocket() : FSocket(std::make_unique<TEventSocket>()) {}

TMySocket::~TMySocket() {
    FSocket->OnConnect = nullptr;
    FSocket->OnError = nullptr;
    FSocket->OnDisconnect = nullptr;
    FSocket->OnConnectError = nullptr;
    FSocket->OnDataAvailable = nullptr;
    FSocket->OnDataSent = nullptr;
    FSocket->OnThreadException = nullptr;
}

bool TMySocket::Adopt(qintptr Handle) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(static_cast<int>(Handle), reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
        peer.sin_family == AF_INET) {
        FPeerAddress = ntohl(peer.sin_addr.s_addr);
        FPeerPort = ntohs(peer.sin_port);
    }
    if (FSocket->Adopt(Handle))
        return true;
    ::close(static_cast<int>(Handle));
    return false;
}

TSrvSocket::TSrvSocket() : FServer(std::make_unique<TServerSocket>()) {
    FServer->OnAccept = [this](qintptr Handle) {
        auto socket = std::make_unique<TMySocket>();
        if (!socket->Adopt(Handle))
            return;
        if (OnClientConnected)
            OnClientConnected(std::move(socket));
    };
    FServer->OnError = [this](int Code, const QString& Text) {
        if (OnError)
            OnError(Code, Text);
    };
}

TSrvSocket::~TSrvSocket() {
    FServer->OnAccept = nullptr;
    FServer->OnError = nullptr;
    FServer->Stop();
}

bool TSrvSocket::Start(quint16 Port, TICQLangType Language) {
    FServer->Port = Port;
    FServer->Language = Language;
    return FServer->Start();
}

void TSrvSocket::Stop() {
    FServer->Stop();
}
