// SNMP agents for the tools' tests: the simulator from Debian (tests/peers/snmpsim.sh) with one of
// its fixed tables on a free loopback port, and a device that takes requests and never answers.
#pragma once

#include "net/SnmpQuery.h"
#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace zt::test {

class SnmpsimPeer {
public:
    // Table: "three", "numeric" or "many:N" (see the script).
    explicit SnmpsimPeer(const std::string& Table, int ReadyLimitMs = 30000) : Port_(FreeUdpPort()) {
        if (!HaveProgram("snmpsimd"))
            return;
        Process_ = PeerProcess({"bash", PeerScript("snmpsim.sh"), Dir_.path(), std::to_string(Port_), Table});
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ReadyLimitMs);
        while (!Ready_ && std::chrono::steady_clock::now() < limit && Process_.running()) {
            std::string value;
            SnmpQuery("127.0.0.1", "vorpal", "1.3.6.1.2.1.2.2.1.1.1", 160, value, PortText(), 200);
            Ready_ = value == "1";
            if (!Ready_)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    bool Ready() const { return Ready_; }
    std::string PortText() const { return std::to_string(Port_); }

private:
    TempDir Dir_;
    int Port_;
    PeerProcess Process_;
    bool Ready_ = false;
};

// A UDP socket on 127.0.0.1 that takes datagrams and never answers.
class SilentUdpAgent {
public:
    SilentUdpAgent() {
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(Fd_, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
        socklen_t length = sizeof sin;
        getsockname(Fd_, reinterpret_cast<sockaddr*>(&sin), &length);
        Port_ = ntohs(sin.sin_port);
    }
    ~SilentUdpAgent() { close(Fd_); }
    SilentUdpAgent(const SilentUdpAgent&) = delete;
    SilentUdpAgent& operator=(const SilentUdpAgent&) = delete;
    std::string PortText() const { return std::to_string(Port_); }

private:
    int Fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    int Port_ = 0;
};

} // namespace zt::test
