// Helpers of the ICMP echo tests: running code inside a network namespace from a thread of the test,
// and the namespaces of tests/peers/netns-ping.sh for the lifetime of one object.
#pragma once

#include "tests/support/TestSupport.h"

#include <functional>
#include <string>

namespace zt::test {

// The client, router and target namespaces of netns-ping.sh under a prefix unique to this process,
// deleted again on destruction (also when a test failed).
class PingNetns {
public:
    PingNetns();
    ~PingNetns();
    PingNetns(const PingNetns&) = delete;
    PingNetns& operator=(const PingNetns&) = delete;

    bool Ready() const { return FReady; }
    // The filter targets (port unreachable, host prohibited, IPv6 address unreachable) need nft.
    bool HaveFilter() const { return FFilter; }
    const std::string& Prefix() const { return FPrefix; }
    // The client that may only use raw sockets ("-c") or that may use datagram sockets ("-d").
    std::string RawClient() const { return FPrefix + "-c"; }
    std::string DatagramClient() const { return FPrefix + "-d"; }
    std::string Router() const { return FPrefix + "-r"; }
    std::string Output() const { return FOutput; }

private:
    std::string FPrefix;
    std::string FOutput;
    bool FReady = false;
    bool FFilter = false;
};

} // namespace zt::test
