// The real-probe monitor fixture and the peers of the engine's end-to-end tests.
#include "tests/core/engine_peer_fixture.h"

#include "net/SnmpQuery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <climits>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

PeerEngineFixture::PeerEngineFixture() {
    // The base's owner checks through the fake probes; this one checks the real network.
    Owner.UseProbes(NetProbes);
}

PeerEngineFixture::~PeerEngineFixture() {
    // The threads use NetProbes, which goes before the base.
    WaitEnded();
    Owner.UseProbes(Probes);
}

std::vector<std::string> PeerEngineFixture::CliRows(const std::string& SQL) {
    const std::string script = Dir.file("cli.sql");
    zt::test::WriteFile(script, ".separator |\n" + SQL + ";\n");
    int rc = -1;
    std::string out =
        zt::test::RunCommand("sqlite3 -batch '" + Dir.file("dbm.db") + "' < '" + script + "'", &rc);
    std::vector<std::string> rows;
    if (rc != 0) {
        ADD_FAILURE() << "sqlite3 failed (" << rc << "): " << out;
        return rows;
    }
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
    return rows;
}

bool PeerEngineFixture::RunUntil(const std::function<bool()>& Done, int Passes, int LimitMs) {
    // Passes run freely until the condition holds, then Passes more.
    Owner.PassesAllowed = INT_MAX;
    if (!Start()) {
        return false;
    }
    bool done = WaitFor(Done, LimitMs);
    const int target = Owner.PassCount + Passes;
    done = done && WaitFor([&] { return Owner.PassCount >= target; }, LimitMs);
    bool ended = WaitEnded(LimitMs);
    Owner.PassesAllowed = Owner.PassCount;
    return done && ended;
}

WebPeer::WebPeer(const std::string& Dir, int Port) : FDir(Dir), FPort(Port) {
    zt::test::RunCommand("mkdir -p '" + FDir + "/www'");
    zt::test::WriteFile(FDir + "/www/index.html", "<html><body>up</body></html>\n");
}

bool WebPeer::Start() {
    FProcess =
        zt::test::PeerProcess({"sh", zt::test::PeerScript("lighttpd.sh"), FDir, std::to_string(FPort)});
    return zt::test::WaitForTcpPort("127.0.0.1", FPort);
}

CounterAgent::CounterAgent(const std::string& Dir, int Port) : FDir(Dir), FPort(Port) {
    zt::test::RunCommand("mkdir -p '" + FDir + "/counters'");
}

bool CounterAgent::Start() {
    FProcess = zt::test::PeerProcess(
        {"sh", zt::test::PeerScript("snmp-counters.sh"), "agent", FDir, std::to_string(FPort)});
    for (int attempt = 0; attempt < 50 && FProcess.running(); ++attempt) {
        std::string reply;
        SnmpQuery("127.0.0.1", "public", "1.3.6.1.2.1.1.1.0", 160, reply, Port(), 200);
        if (!reply.empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void CounterAgent::SetCounter(const std::string& Direction, int Index, std::uint64_t Value) {
    // Written beside and renamed, so the agent never reads half a number.
    const std::string name = FDir + "/counters/" + Direction + "." + std::to_string(Index);
    zt::test::WriteFile(name + ".tmp", std::to_string(Value) + "\n");
    std::rename((name + ".tmp").c_str(), name.c_str());
}

void CounterAgent::RemoveCounter(const std::string& Direction, int Index) {
    std::remove((FDir + "/counters/" + Direction + "." + std::to_string(Index)).c_str());
}

OneAnswerHttpServer::OneAnswerHttpServer(std::string Answer) : FAnswer(std::move(Answer)) {
    FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(FListen, 16) != 0 ||
        getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot listen on loopback";
        return;
    }
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
}

OneAnswerHttpServer::~OneAnswerHttpServer() {
    FStop = true;
    if (FThread.joinable()) {
        FThread.join();
    }
    if (FListen >= 0) {
        close(FListen);
    }
}

void OneAnswerHttpServer::Serve() {
    while (!FStop.load()) {
        pollfd wait{FListen, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0) {
            continue;
        }
        int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ++FConnections;
        Answer(fd);
        close(fd);
    }
}

void OneAnswerHttpServer::Answer(int Fd) {
    // Reads the request head (at most 2 s and 64 KiB), then answers and closes.
    std::string head;
    for (int round = 0; round < 40 && head.find("\r\n\r\n") == std::string::npos && head.size() < 65536;
         ++round) {
        pollfd wait{Fd, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0) {
            if (FStop.load()) {
                return;
            }
            continue;
        }
        char buffer[4096];
        ssize_t got = recv(Fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return;
        }
        head.append(buffer, std::size_t(got));
    }
    if (FAnswer.empty()) {
        // A server that never answers keeps the connection until it stops.
        while (!FStop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return;
    }
    send(Fd, FAnswer.data(), FAnswer.size(), MSG_NOSIGNAL);
    shutdown(Fd, SHUT_WR);
}

std::int64_t LocalUnixNow() {
    QDateTime now = QDateTime::currentDateTime();
    return (now.toMSecsSinceEpoch() + 500) / 1000 + now.offsetFromUtc();
}
