// Test peers for the SNMP client: a scripted UDP agent written on POSIX sockets, and the real agent
// from Debian started by tests/peers/snmpd.sh on a private loopback port.
#pragma once

#include "tests/support/TestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace zt::snmptest {

// A UDP socket on 127.0.0.1 (port chosen by the system) whose script runs in its own thread. The
// script gets the socket; Receive/Answer help it talk to the one client.
class ScriptedAgent {
public:
    explicit ScriptedAgent(std::function<void(ScriptedAgent& Agent)> Script);
    ~ScriptedAgent();
    ScriptedAgent(const ScriptedAgent&) = delete;
    ScriptedAgent& operator=(const ScriptedAgent&) = delete;

    std::string PortText() const { return std::to_string(Port_); }
    // One datagram within TimeoutMs (empty on time-out or when the agent is being stopped).
    std::string Receive(int TimeoutMs = 5000);
    // Sends to the sender of the last datagram received.
    void Answer(const std::string& Bytes);
    // Blocks the script until the test ends (or TimeoutMs); used by silent agents.
    void StayQuiet(int TimeoutMs);
    // Waits for the script to end, so what it recorded may be read.
    void Join();

private:
    int Fd_ = -1;
    int Wake_[2] = {-1, -1};
    int Port_ = 0;
    std::string Peer_; // sockaddr bytes of the last sender
    std::thread Thread_;
};

// A v1/v2c GetResponse answering Request (a decoded query) with one binding.
std::string ResponseFor(const std::string& QueryBytes, int RequestIdDelta, int ErrorStatus,
                        const std::string& Value, int ValueType);

// The agent from Debian on 127.0.0.1 at a free port; Ready() is false when it did not come up.
class SnmpdPeer {
public:
    SnmpdPeer();
    bool Ready() const { return Ready_; }
    std::string PortText() const { return std::to_string(Port_); }
    // Runs an oracle tool (snmpget, snmpset, ...) with MIB loading off; its output, trimmed.
    std::string Tool(const std::string& Args, int* Rc = nullptr) const;

private:
    zt::test::TempDir Dir_;
    int Port_ = 0;
    zt::test::PeerProcess Process_;
    bool Ready_ = false;
};

} // namespace zt::snmptest
