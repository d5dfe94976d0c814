// Helpers of the ICMP echo tests: namespace threads and the netns-ping.sh namespaces.
#include "tests/net/ping_helpers.h"

#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace zt::test {

PingNetns::PingNetns() : FPrefix("ztp" + std::to_string(::getpid())) {
    if (!IsRoot() || !HaveProgram("ip"))
        return;
    int Rc = -1;
    FOutput = RunCommand(PeerScript("netns-ping.sh") + " setup " + FPrefix + " 2>&1", &Rc);
    FReady = Rc == 0 && FOutput.find("ready") != std::string::npos;
    FFilter = FOutput.find("nft=yes") != std::string::npos;
}

PingNetns::~PingNetns() {
    RunCommand(PeerScript("netns-ping.sh") + " teardown " + FPrefix + " 2>&1");
}

} // namespace zt::test
