// Helpers of the messaging transport tests: waiting on the Qt event loop, a FLAP server of our own that
// sends its hello at once, an HTTP gateway of our own, a recorder of TICQNet's callbacks and the
// proxy peers of tests/peers/.
#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "messaging/ICQWorks.h"
#include "tests/support/TestSupport.h"

namespace zt::msgtest {

// Bytes from hex text ("2A 01 00 01" or "2a010001").
QByteArray Hex(const char* Text);
// Hex text of bytes, blank separated (for readable failures).
std::string HexOf(const QByteArray& Bytes);
std::string HexOf(const TRawPacket& Pkt);

// Runs the event loop until Done() or the limit passed; returns Done().
bool WaitFor(const std::function<bool()>& Done, int LimitMs = 5000);
// Runs the event loop for a while.
void Pump(int Ms);

// The hello a server sends when a client connects: channel 1, sequence 1, payload 00 00 00 01.
QByteArray ServerHello();

// A TCP server on 127.0.0.1 that greets each connection with Greeting and records what arrives.
class TFlapServer {
public:
    explicit TFlapServer(QByteArray Greeting = ServerHello());
    ~TFlapServer();
    TFlapServer(const TFlapServer&) = delete;
    TFlapServer& operator=(const TFlapServer&) = delete;

    quint16 Port() const { return FPort; }
    int Connections() const;
    // What the last connection sent so far; ClosedCount() counts connections the client closed.
    QByteArray Received() const;
    int ClosedCount() const;
    void SendToLast(const QByteArray& Bytes);
    // Closes the last connection gracefully.
    void CloseLast();
    // Runs the event loop until the last connection has sent at least Count bytes.
    bool WaitReceived(int Count, int LimitMs = 5000) const;

private:
    void Run();
    struct TClient {
        int Fd = -1;
        QByteArray Bytes;
        bool Closed = false;
    };
    QByteArray FGreeting;
    int FListen = -1;
    int FWake[2] = {-1, -1};
    quint16 FPort = 0;
    mutable std::mutex FLock;
    std::vector<TClient> FClients;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// An HTTP gateway of our own: /hello answers with a session (type-2 frame), /data takes the login
// frame (type 3, then it connects to the named server) and data frames (type 5, forwarded), /monitor
// waits up to a second for bytes of the server and answers with data frames. Every request is kept.
class TGatewayServer {
public:
    TGatewayServer();
    ~TGatewayServer();
    TGatewayServer(const TGatewayServer&) = delete;
    TGatewayServer& operator=(const TGatewayServer&) = delete;

    quint16 Port() const { return FPort; }
    // The sid the hello reply hands out (16 bytes; its text is their lower-case hex).
    static QByteArray SidBytes();
    std::vector<QByteArray> Requests() const;
    // From now on /monitor answers with a close frame.
    void CloseOnMonitor() { FCloseOnMonitor = true; }

private:
    void Accept();
    void Serve(int Fd);
    void Upstream(int Fd);
    QByteArray MonitorBody();
    int FListen = -1;
    quint16 FPort = 0;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FCloseOnMonitor{false};
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<QByteArray> FRequests;
    QByteArray FPending; // server bytes waiting for a monitor request
    int FUpstream = -1;
    std::vector<int> FOpen;
    std::vector<std::thread> FThreads;
    std::thread FAcceptor;
};

// What a TICQNet reported, in order.
struct TNetRecorder {
    explicit TNetRecorder(TICQNet& Net);
    struct TFrame {
        TFlapHeader Header;
        QByteArray Payload;
    };
    std::vector<TFrame> Frames;
    std::vector<std::pair<TErrorType, QString>> Errors;
    std::vector<std::pair<TErrorType, QString>> ConnectErrors;
    std::vector<QByteArray> DumpsIn;
    std::vector<QByteArray> DumpsOut;
    int Disconnects = 0;
    bool Failed() const { return !Errors.empty() || !ConnectErrors.empty(); }
};

// Sends a login frame over Net, which the server must receive byte for byte; then Reply, sent by the
// server, must come back as the next frame.
void ExpectRoundTrip(TICQNet& Net, TNetRecorder& Rec, TFlapServer& Server, const QByteArray& Reply,
                     int LimitMs = 10000);

// A proxy of tests/peers/ on a free port; Ready when it accepts connections.
struct TProxyPeer {
    TProxyPeer(const std::string& Program, const std::string& Script,
               const std::vector<std::string>& Extra = {});
    zt::test::TempDir Dir;
    zt::test::PeerProcess Process;
    int Port = 0;
    bool Ready = false;
};

} // namespace zt::msgtest
