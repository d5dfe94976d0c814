// The SNMP simulator from Debian (tests/peers/snmpsim.sh) with one of its fixed tables, on a free
// loopback port; stopped when the object goes away.
#pragma once

#include "net/SnmpQuery.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <string>
#include <thread>

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

} // namespace zt::test
