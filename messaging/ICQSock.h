// Outgoing TCP connections of the messaging client, run on the GUI thread so every event reaches its
// owner there: the locked send queue, the socket classes (plain, SOCKS4/4a, SOCKS5, HTTP CONNECT, the
// HTTP gateway's requests), their handshakes and the gateway's wire as codecs without I/O, and a few
// network utilities.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "messaging/ICQLang.h"
#include "net/sockshandshake.h"

class QHostInfo;
class QTcpSocket;

enum TProxyType { P_NONE, P_SOCKS4, P_SOCKS5, P_HTTPS, P_HTTP };

// ---------------------------------------------------------------------------------------------------
// Send queue

// Most data bytes one chunk holds.
constexpr int NetChunkSize = 65535;

// A queue of outgoing bytes in chunks of at most NetChunkSize. Every operation takes the lock itself;
// Lock/Unlock (recursive) bracket several operations that must see one state, as a drain does. Any
// thread may append while the socket's thread peeks, advances and pops.
class TNetBuffer {
public:
    void Lock();
    void Unlock();
    // A new chunk for each call; more than NetChunkSize bytes fill several chunks, nothing is dropped.
    void Append(const char* Data, int Length);
    // Copies the unsent rest of the first chunk to Dest (room for NetChunkSize bytes); 0 when empty.
    int Peek(char* Dest);
    // Marks N more bytes of the first chunk sent; true when it is now sent whole.
    bool Advance(int N);
    // Drops the first chunk.
    void Pop();
    void Clear();
    // The sum of the chunks' lengths (sent parts of the first one included).
    qint64 Total();
    int ChunkCount();
    // Up to Max unsent bytes, in order, taken off the queue under one lock.
    QByteArray Take(int Max);

private:
    struct TChunk {
        std::vector<char> Data;
        quint16 Sent = 0;
    };
    std::recursive_mutex FLock;
    std::deque<TChunk> FChunks;
};

// ---------------------------------------------------------------------------------------------------
// Utilities

// Process-wide port range of the direct-connection listener (constructor values 3000 and 50000).
extern std::atomic<quint16> PortRangeFirst;
extern std::atomic<quint16> PortRangeLast;

// The first port of PortRangeFirst..PortRangeLast that a fresh stream socket binds on any address; 0
// when the range is empty (no probing then) or none binds.
quint16 FindFreePort();
// The last IPv4 address this computer's own name resolves to (host order); -1 when the lookup fails.
qint64 GetLocalIP();
// Dotted text of an IPv4 address given in host order (0x7F000001 is 127.0.0.1).
QString IPToText(quint32 Address);
// Base64 with "=" padding, three bytes at a time.
QByteArray Base64Encode(const QByteArray& Text);
// The text after the first blank of the first line ("407 Proxy Authentication Required").
QByteArray HTTPStatusText(const QByteArray& Lines);
// The status code of the first line ("HTTP/1.0 200 Connection established" gives 200); -1 when it has
// none.
int HTTPStatusCode(const QByteArray& Lines);

// ---------------------------------------------------------------------------------------------------
// Proxy handshakes without I/O

// Where a proxy is asked to connect, and how.
struct TProxyTarget {
    QByteArray Host;     // destination host name (sent with Resolve)
    quint16 Port = 0;    // destination port
    quint32 Address = 0; // destination IPv4 in host order (sent without Resolve)
    QByteArray UserID;   // SOCKS4 user id / user name for SOCKS5 and Basic authentication
    QByteArray Password;
    bool Auth = false;
    bool Resolve = false; // the proxy resolves the host name
};

enum class THandshakeState { Running, Done, Failed };

// One handshake with a proxy: Start() gives the first bytes once the TCP connection stands; Feed()
// takes what the proxy sent and gives what to send next. Done: TakeRest() holds the bytes that came
// after the reply (the server's first bytes). Failed: ErrorNumber() is the language text's number and
// ErrorDetail() what follows it.
class TProxyHandshake {
public:
    explicit TProxyHandshake(TProxyTarget Target) : FTarget(std::move(Target)) {}
    virtual ~TProxyHandshake() = default;
    TProxyHandshake(const TProxyHandshake&) = delete;
    TProxyHandshake& operator=(const TProxyHandshake&) = delete;

    virtual QByteArray Start() = 0;
    QByteArray Feed(const char* Data, int Length);

    THandshakeState State() const { return FState; }
    int ErrorNumber() const { return FErrorNumber; }
    const QByteArray& ErrorDetail() const { return FErrorDetail; }
    QByteArray TakeRest();
    // The proxy closed before its reply was complete.
    void Closed() { Fail(ClosedTextNumber()); }
    // The language text of a failure, with its detail.
    QString ErrorText(TICQLangType Language) const;

protected:
    // Looks at FReply; consumes what it used, may send, finish or fail.
    virtual QByteArray Parse() = 0;
    // The text of a proxy that closes during this step.
    virtual int ClosedTextNumber() const = 0;
    void Finish(int Consumed);
    void Fail(int TextNumber, const QByteArray& Detail = QByteArray());

    TProxyTarget FTarget;
    QByteArray FReply;

private:
    THandshakeState FState = THandshakeState::Running;
    int FErrorNumber = 0;
    QByteArray FErrorDetail;
    QByteArray FRest;
};

// SOCKS4/4a and SOCKS5 on the socket layer's one handshake (net/sockshandshake.h). SOCKS4 sends the
// user id only with Auth; SOCKS5 offers user and password alone with Auth. A failure is text 15
// (SOCKS4), or 16, 17, 18 by the SOCKS5 step that failed (method, authentication, connect).
class TSocksProxyHandshake : public TProxyHandshake {
public:
    TSocksProxyHandshake(TProxyTarget Target, bool Version4);
    QByteArray Start() override;

protected:
    QByteArray Parse() override;
    int ClosedTextNumber() const override;

private:
    bool FVersion4;
    TSocksHandshake FSocks;
};

class TSocks4Handshake : public TSocksProxyHandshake {
public:
    explicit TSocks4Handshake(TProxyTarget Target) : TSocksProxyHandshake(std::move(Target), true) {}
};

class TSocks5Handshake : public TSocksProxyHandshake {
public:
    explicit TSocks5Handshake(TProxyTarget Target) : TSocksProxyHandshake(std::move(Target), false) {}
};

// Bytes of the reply collected at most by CONNECT (and per gateway reply header).
constexpr int HttpReplyArea = 8192;

// CONNECT host:port HTTP/1.0 with the user agent and Basic authentication; the reply is collected up
// to its empty line; status code 200 succeeds whatever the reason phrase.
class THttpConnectHandshake : public TProxyHandshake {
public:
    using TProxyHandshake::TProxyHandshake;
    QByteArray Start() override;

protected:
    QByteArray Parse() override;
    int ClosedTextNumber() const override { return 19; }
};

// The handshake for a proxy kind (SOCKS4, SOCKS5, HTTPS); none for the others.
std::unique_ptr<TProxyHandshake> MakeProxyHandshake(TProxyType Kind, const TProxyTarget& Target);

// ---------------------------------------------------------------------------------------------------
// HTTP gateway wire without I/O

constexpr quint16 GatewayVersion = 0x0443;
// Length word, version, type and the two 32-bit words before a frame's payload.
constexpr int GatewayHeaderSize = 14;
// Bytes one gateway reply may hold (header and body).
constexpr int GatewayReplyArea = 65536;
// The most queued bytes one data frame carries, so its length word stays within 12..8192.
constexpr int GatewayDataMax = 8192 - 12;

enum TGatewayFrameType : quint16 {
    GW_HELLO_REPLY = 2,
    GW_LOGIN = 3,
    GW_DATA = 5,
    GW_CLOSE = 7,
};

// One frame of a gateway body, from its length word on.
struct TGatewayFrame {
    quint16 Type = 0;
    QByteArray Bytes;
};

// Cuts a body into frames: a BE 16-bit length from 12 to 8192, then that many bytes; cutting stops at
// the first length outside that range or a frame that is not all there.
QList<TGatewayFrame> CutGatewayFrames(const QByteArray& Body);
// A frame to send: length (payload + 12), version, Type, BE 4 0, BE 4 1, Payload.
QByteArray GatewayFrame(quint16 Type, const QByteArray& Payload);
// "http://" Host, ":" Port unless it is 80, then Path.
QByteArray GatewayUrl(const QByteArray& Host, quint16 Port, const QByteArray& Path);

// One HTTP reply, collected until the peer closes or its content-length is reached.
class THttpReply {
public:
    enum TState { Incomplete, Complete, Overflow };
    // Appends received bytes; Overflow once more than GatewayReplyArea bytes came.
    TState Feed(const char* Data, int Length);
    // The peer closed: a reply with its header block is complete.
    TState Finish();
    TState State() const { return FState; }
    int Code() const;
    QByteArray StatusText() const;
    QByteArray Body() const;

private:
    TState Check();
    QByteArray FBytes;
    int FHeaderEnd = -1;
    qint64 FContentLength = -1;
    TState FState = Incomplete;
};

// The client side of one gateway session: the request texts, the sid, the request counter and the
// pending login frame. THTTPSocket sends the requests; TICQNet drives the session.
class TGatewaySession {
public:
    struct TSettings {
        QByteArray GatewayHost;
        quint16 GatewayPort = 80;
        QByteArray Destination; // the messaging server the gateway connects to
        quint16 DestinationPort = 0;
        QByteArray UserID;
        QByteArray Password;
        bool Auth = false;
    };
    // What one reply body asks for.
    struct TOutcome {
        QByteArray FlapData;  // the payloads of its data frames, in order
        bool Started = false; // a hello reply came: open the data connection
        bool Closed = false;  // a close frame came
    };

    void Reset(const TSettings& Settings);
    QByteArray HelloRequest() const;
    QByteArray MonitorRequest() const;
    // The next data request: the login frame while it is pending, else a data frame of Queued.
    QByteArray DataRequest(const QByteArray& Queued);
    TOutcome HandleBody(const QByteArray& Body);

    bool HasSid() const { return !FSid.isEmpty(); }
    bool LoginPending() const { return FLoginPending; }
    const QByteArray& Sid() const { return FSid; }
    quint32 Seq() const { return FSeq; }
    // The host and port requests go to: the gateway, then the data host its hello reply named.
    const QByteArray& Host() const { return FHost; }
    quint16 HostPort() const { return FHostPort; }

    // One request: method, URL, HTTP/1.0 and the header lines in their fixed order.
    QByteArray Request(const QByteArray& Method, const QByteArray& Url, const QByteArray& Body) const;

private:
    TSettings FSettings;
    QByteArray FHost;
    quint16 FHostPort = 80;
    QByteArray FSid;
    quint32 FSeq = 0;
    bool FLoginPending = false;
};

// ---------------------------------------------------------------------------------------------------
// Sockets

// One TCP connection on the GUI thread (a QTcpSocket). Every event runs on the GUI thread through the
// virtual operations, which the subclasses turn into events or handshakes. Send() with buffered
// sending may be called from any thread; everything else belongs to the GUI thread.
class TCustomSocket : public QObject {
    Q_OBJECT
public:
    explicit TCustomSocket(QObject* Parent = nullptr);
    ~TCustomSocket() override;

    // Resolves and connects once while not active.
    void Connect();
    // Takes an accepted descriptor (no connecting); false when it is not usable.
    bool Adopt(qintptr Handle);
    void Send(const char* Data, int Length);
    void SendText(const QByteArray& Text) { Send(Text.constData(), static_cast<int>(Text.size())); }
    // Writes what is queued and closes; no event follows.
    void Disconnect();

    QString Host;
    quint16 Port = 0;
    TICQLangType Language = LANG_EN;
    bool BufferedSend = true;

    bool Active() const { return FActive; }
    bool Connected() const { return FConnected; }
    bool Connecting() const { return FConnecting; }
    int LastError() const { return FLastError; }
    const QString& LastErrorText() const { return FLastErrorText; }
    // The descriptor, -1 when none.
    qintptr Handle() const;

protected:
    // The operations the connection raises, in their fixed order. The base versions of error,
    // connect-failed and disconnected close the connection.
    virtual void DoError(int Code, const QString& Text);
    virtual void DoConnected() {}
    virtual void DoConnectFailed();
    virtual void DoDisconnected();
    virtual void DoDataAvailable(const char* Data, int Length);
    virtual void DoDataSent() {}
    virtual void DoThreadException(const QString& Text);

    // Where the TCP connection goes.
    virtual QString ConnectHost() const { return Host; }
    virtual quint16 ConnectPort() const { return Port; }
    // The lookups before the TCP connect; the base resolves ConnectHost().
    virtual void StartLookups();
    // Name resolution: Lookup() ends in Resolved() with an IPv4 address (host order) or in the error
    // event with text 11.
    void Lookup(const QString& Name);
    virtual void Resolved(quint32 Address);
    // Whether queued bytes may go out now (a proxy handshake holds them back).
    virtual bool ReadyForData() const { return FConnected; }

    // Writes at once, past the queue (handshakes).
    void WriteRaw(const QByteArray& Bytes);
    // Stores the error and its language text (with Detail) and raises the error event.
    void RaiseError(int Code, int TextNumber, const QString& Detail = QString());
    // Stores the error and its text and raises connect-failed.
    void RaiseConnectFailed(int Code, const QString& Text);
    void ScheduleFlush();
    // Acknowledges what was received at once (TCP_QUICKACK).
    void QuickAck();
    void Close(bool Graceful);
    // Counts closes, so a loop over received data stops once its connection went away.
    quint32 Generation() const { return FGeneration; }

private slots:
    void SocketConnected();
    void SocketReadyRead();
    void SocketError(QAbstractSocket::SocketError Error);
    void SocketDisconnected();
    void SocketBytesWritten();
    void Flush();
    void LookupDone(const QHostInfo& Info);

private:
    void Hook();
    void DrainReceived();
    void RaiseDisconnected();
    bool Guard(const char* Where, const std::function<void()>& Body);

    QTcpSocket* FSocket = nullptr;
    TNetBuffer FQueue;
    std::vector<char> FReceiveArea;
    std::vector<char> FSendArea;
    bool FDrained = true; // guarded by FQueue's lock
    std::atomic<bool> FFlushPending{false};
    bool FActive = false;
    bool FConnecting = false;
    bool FConnected = false;
    bool FClosedRaised = false;
    int FLastError = 0;
    QString FLastErrorText;
    int FLookupId = -1;
    quint32 FGeneration = 0;
};

// The proxy settings a connection is given (the server connection copies its own to each socket).
struct TProxySettings {
    QString ProxyHost;
    quint16 ProxyPort = 0;
    QString ProxyUserID;
    QString ProxyPass;
    bool ProxyAuth = false;
    bool ProxyResolve = false;
};

// Adds the proxy settings and the destination's resolved address.
class TProxySocket : public TCustomSocket, public TProxySettings {
    Q_OBJECT
public:
    using TCustomSocket::TCustomSocket;

    void SetProxy(const TProxySettings& Settings) { static_cast<TProxySettings&>(*this) = Settings; }
    quint32 ResolvedAddress() const { return FResolvedAddress; }

protected:
    QString ConnectHost() const override { return ProxyHost.isEmpty() ? Host : ProxyHost; }
    quint16 ConnectPort() const override { return ProxyHost.isEmpty() ? Port : ProxyPort; }
    // True for the proxies that are sent the destination's address.
    virtual bool NeedsDestinationAddress() const { return false; }
    void StartLookups() override;
    void Resolved(quint32 Address) override;
    TProxyTarget Target() const;

private:
    bool FDestinationResolved = false;
    quint32 FResolvedAddress = 0;
};

// Turns every operation into an event for the owner. A proxy subclass runs its handshake first (not
// direct) and then behaves as a plain connection; bytes that came with the proxy's reply are passed on
// as data.
class TEventSocket : public TProxySocket {
    Q_OBJECT
public:
    explicit TEventSocket(QObject* Parent = nullptr);

    std::function<void()> OnConnect;
    std::function<void(int Code, const QString& Text)> OnError;
    std::function<void()> OnDisconnect;
    std::function<void()> OnConnectError;
    std::function<void(const char* Data, int Length)> OnDataAvailable;
    std::function<void()> OnDataSent;
    std::function<void(const QString& Text)> OnThreadException;

    bool Direct() const { return FDirect; }

protected:
    void DoError(int Code, const QString& Text) override;
    void DoConnected() override;
    void DoConnectFailed() override;
    void DoDisconnected() override;
    void DoDataAvailable(const char* Data, int Length) override;
    void DoDataSent() override;
    void DoThreadException(const QString& Text) override;
    bool ReadyForData() const override;
    // The handshake of this kind; none for a plain connection.
    virtual std::unique_ptr<TProxyHandshake> MakeHandshake() const { return nullptr; }

private:
    void HandshakeStep(const char* Data, int Length);
    std::unique_ptr<TProxyHandshake> FHandshake;
    bool FDirect = true;
};

class TSOCKSSocket : public TEventSocket {
    Q_OBJECT
public:
    using TEventSocket::TEventSocket;

protected:
    bool NeedsDestinationAddress() const override { return !ProxyResolve; }
};

class TSOCKS4Socket : public TSOCKSSocket {
    Q_OBJECT
public:
    using TSOCKSSocket::TSOCKSSocket;

protected:
    std::unique_ptr<TProxyHandshake> MakeHandshake() const override;
};

class TSOCKS5Socket : public TSOCKSSocket {
    Q_OBJECT
public:
    using TSOCKSSocket::TSOCKSSocket;

protected:
    std::unique_ptr<TProxyHandshake> MakeHandshake() const override;
};

// HTTP CONNECT through a web proxy.
class THTTPSSocket : public TEventSocket {
    Q_OBJECT
public:
    using TEventSocket::TEventSocket;

protected:
    bool NeedsDestinationAddress() const override { return !ProxyResolve; }
    std::unique_ptr<TProxyHandshake> MakeHandshake() const override;
};

// One gateway request on its own connection (through the proxy when one is set, else straight to
// Host:Port): sends Request once connected, collects the reply, and on its end raises
// OnDataAvailable with the body of a status-200 reply followed by OnDisconnect; another status (text
// 19 and the status) or an overfull reply (text 20) raises OnConnectError instead.
class THTTPSocket : public TEventSocket {
    Q_OBJECT
public:
    using TEventSocket::TEventSocket;
    QByteArray Request;

protected:
    void DoConnected() override;
    void DoDataAvailable(const char* Data, int Length) override;
    void DoDisconnected() override;

private:
    void Deliver();
    THttpReply FReply;
    bool FDelivered = false;
};

// ---------------------------------------------------------------------------------------------------
// Listening server and the socket wrappers

class QSocketNotifier;

// A listening TCP socket on every IPv4 address, served by the GUI thread's event loop: each accepted
// descriptor goes to DoAccept there. A full descriptor table (or no kernel memory) pauses accepting
// for AcceptPauseMs, with one program-log line per episode; any other failed accept ends the server
// with text 21 and the error event, unless it was stopped.
class TTCPServer : public QObject {
    Q_OBJECT
public:
    explicit TTCPServer(QObject* Parent = nullptr);
    ~TTCPServer() override;

    quint16 Port = 0;
    TICQLangType Language = LANG_EN;

    // Creates the socket (text 14), binds any address at Port (text 22) and listens with a backlog
    // of 5 (text 23); a failure raises the error event and gives false.
    bool Start();
    // Closes the listening socket; no event follows.
    void Stop();
    bool Active() const { return FFd >= 0; }
    // Listening, but waiting for descriptors to come free before the next accept.
    bool Paused() const { return FPaused; }
    int LastError() const { return FLastError; }
    int AcceptPauseMs = 1000;
    const QString& LastErrorText() const { return FLastErrorText; }

protected:
    // Takes ownership of an accepted descriptor; the base closes it.
    virtual void DoAccept(qintptr Handle);
    virtual void DoError(int Code, const QString& Text);

private:
    void Fail(int Errno, int TextNumber);
    void Readable();
    void Pause(int Errno);
    void Resume();
    int FFd = -1;
    bool FPaused = false;
    bool FPauseLogged = false;
    QSocketNotifier* FNotifier = nullptr;
    int FLastError = 0;
    QString FLastErrorText;
};

class TServerSocket : public TTCPServer {
    Q_OBJECT
public:
    using TTCPServer::TTCPServer;

    std::function<void(qintptr Handle)> OnAccept;
    std::function<void(int Code, const QString& Text)> OnError;

protected:
    void DoAccept(qintptr Handle) override;
    void DoError(int Code, const QString& Text) override;
};

// Owns one TEventSocket: an outgoing connection, or an accepted one adopted in direct mode. Not to be
// destroyed from inside one of its socket's events.
class TMySocket {
public:
    TMySocket();
    ~TMySocket();
    TMySocket(const TMySocket&) = delete;
    TMySocket& operator=(const TMySocket&) = delete;

    TEventSocket& Socket() { return *FSocket; }
    // Takes an accepted descriptor (closed here when it is not usable).
    bool Adopt(qintptr Handle);
    void Send(const char* Data, int Length) { FSocket->Send(Data, Length); }
    void Disconnect() { FSocket->Disconnect(); }
    // Connected, or adopted and not closed since (its connected event may still be on its way).
    bool Connected() const { return FSocket->Connected() || (FSocket->Active() && !FSocket->Connecting()); }
    // The peer's IPv4 address (host order) and port of an adopted connection; 0 when unknown.
    quint32 PeerAddress() const { return FPeerAddress; }
    quint16 PeerPort() const { return FPeerPort; }

private:
    std::unique_ptr<TEventSocket> FSocket;
    quint32 FPeerAddress = 0;
    quint16 FPeerPort = 0;
};

// Owns the listening server and turns each accepted descriptor into a TMySocket for its owner.
class TSrvSocket {
public:
    TSrvSocket();
    ~TSrvSocket();
    TSrvSocket(const TSrvSocket&) = delete;
    TSrvSocket& operator=(const TSrvSocket&) = delete;

    bool Start(quint16 Port, TICQLangType Language);
    void Stop();
    bool Active() const { return FServer->Active(); }
    quint16 Port() const { return FServer->Port; }
    TServerSocket& Server() { return *FServer; }

    std::function<void(std::unique_ptr<TMySocket> Socket)> OnClientConnected;
    std::function<void(int Code, const QString& Text)> OnError;

private:
    std::unique_ptr<TServerSocket> FServer;
};
