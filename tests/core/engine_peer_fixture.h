// The monitor fixture with the real network probes, and the real peers its end-to-end tests check:
// the web server, an SNMP agent whose interface counters the test sets, and a one-answer HTTP server.
#pragma once

#include "core/NetHostProbes.h"
#include "tests/core/engine_fixture.h"
#include "tests/support/TestSupport.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// EngineFixture whose controller checks hosts through TNetHostProbes.
class PeerEngineFixture : public EngineFixture {
public:
    PeerEngineFixture();
    ~PeerEngineFixture();

    // The rows of a query as the sqlite3 program reads them from the database file: one text per
    // row, fields joined by "|". Empty with a failure message when the program failed.
    std::vector<std::string> CliRows(const std::string& SQL);
    // Runs monitoring until the condition holds and at least Passes more passes have completed
    // after that, then stops and waits for the threads. False when that took longer than the limit.
    bool RunUntil(const std::function<bool()>& Done, int Passes, int LimitMs = 20000);

    TNetHostProbes NetProbes;
};

// The web server on 127.0.0.1:Port serving Dir/www (an index page unless told otherwise).
class WebPeer {
public:
    WebPeer(const std::string& Dir, int Port);
    // Starts it and waits until it accepts connections; false when it did not come up.
    bool Start();
    void Stop() { FProcess.stop(); }
    // The host text the HTTP check uses: address and port.
    std::string HostText() const { return "127.0.0.1:" + std::to_string(FPort); }
    int Port() const { return FPort; }

private:
    std::string FDir;
    int FPort;
    zt::test::PeerProcess FProcess;
};

// The SNMP agent of tests/peers/snmp-counters.sh on 127.0.0.1:Port, community "public".
class CounterAgent {
public:
    CounterAgent(const std::string& Dir, int Port);
    // Starts it and waits until sysDescr answers; false when it did not come up.
    bool Start();
    void Stop() { FProcess.stop(); }
    // Sets ifInOctets.Index ("in") or ifOutOctets.Index ("out"); the next read answers it.
    void SetCounter(const std::string& Direction, int Index, std::uint64_t Value);
    void RemoveCounter(const std::string& Direction, int Index);
    std::string Port() const { return std::to_string(FPort); }

private:
    std::string FDir;
    int FPort;
    zt::test::PeerProcess FProcess;
};

// A loopback TCP server that answers every connection with the same bytes once the request's
// head has arrived, then closes it. For answers no real server gives (a bare "500"); an empty
// answer holds the connection silently until the server goes.
class OneAnswerHttpServer {
public:
    explicit OneAnswerHttpServer(std::string Answer);
    ~OneAnswerHttpServer();
    OneAnswerHttpServer(const OneAnswerHttpServer&) = delete;
    OneAnswerHttpServer& operator=(const OneAnswerHttpServer&) = delete;

    std::string HostText() const { return "127.0.0.1:" + std::to_string(FPort); }
    int Connections() const { return FConnections.load(); }

private:
    void Serve();
    void Answer(int Fd);

    std::string FAnswer;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    std::thread FThread;
};

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

// Unix seconds of the local time now, rounded to the nearest second as the database stores times.
std::int64_t LocalUnixNow();
