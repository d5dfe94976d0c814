// SNMP SET for real: the agent runs in a namespace of its own next to a veth pair; setting
// ifAdminStatus with the write community takes the link down and brings it up again, while the
// read-only community's SET is reported as a failure and changes nothing. Needs root.
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kAgentPort = "1161";
const std::string kAdminStatus = "1.3.6.1.2.1.2.2.1.7.";

// Creates the namespace and deletes it again, whatever happens in between.
class TestNamespace {
public:
    TestNamespace() : Name_("ztsnmp-" + std::to_string(getpid())) {
        int Rc = -1;
        zt::test::RunCommand("bash " + zt::test::PeerScript("netns-snmp.sh") + " setup " + Name_ + " 2>&1",
                             &Rc);
        Ok_ = Rc == 0;
    }
    ~TestNamespace() {
        zt::test::RunCommand("bash " + zt::test::PeerScript("netns-snmp.sh") + " teardown " + Name_);
    }
    TestNamespace(const TestNamespace&) = delete;
    TestNamespace& operator=(const TestNamespace&) = delete;
    bool Ok() const { return Ok_; }
    const std::string& Name() const { return Name_; }

private:
    std::string Name_;
    bool Ok_ = false;
};

// Runs Body on a thread that has entered the namespace, so every socket it makes lives there.
template <typename Fn> void InNamespace(const std::string& Name, Fn Body) {
    std::thread Worker([&]() {
        const int Fd = open(("/var/run/netns/" + Name).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(Fd, 0);
        const int Rc = setns(Fd, CLONE_NEWNET);
        close(Fd);
        ASSERT_EQ(Rc, 0);
        Body();
    });
    Worker.join();
}

std::string Query(const std::string& Ns, const std::string& Oid, int TimeoutMs = 2000) {
    std::string Result;
    InNamespace(
        Ns, [&]() { SnmpQuery("127.0.0.1", "public", Oid, PDUGetRequest, Result, kAgentPort, TimeoutMs); });
    return Result;
}

bool Set(const std::string& Ns, const std::string& Community, const std::string& Oid,
         const std::string& Value) {
    bool Ok = false;
    InNamespace(Ns, [&]() { Ok = SnmpSetValue(Oid, Community, "127.0.0.1", 2, Value, kAgentPort, 3000); });
    return Ok;
}

// The flags of the link as the kernel reports them, e.g. "BROADCAST,MULTICAST,UP,LOWER_UP".
std::string LinkFlags(const std::string& Ns, const std::string& Link) {
    const std::string Out = zt::test::RunCommand("ip -n " + Ns + " -o link show " + Link);
    const size_t Open = Out.find('<');
    const size_t Close = Out.find('>');
    return Open == std::string::npos || Close == std::string::npos ? ""
                                                                   : Out.substr(Open + 1, Close - Open - 1);
}

bool AdminUp(const std::string& Flags) {
    return ("," + Flags + ",").find(",UP,") != std::string::npos;
}

} // namespace

TEST(SnmpNetns, SetOfIfAdminStatusSwitchesTheLink) {
    if (!zt::test::IsRoot())
        GTEST_SKIP() << "needs root for network namespaces";
    if (!zt::test::HaveProgram("snmpd") || !zt::test::HaveProgram("ip"))
        GTEST_SKIP() << "snmpd or ip missing";

    TestNamespace Ns;
    ASSERT_TRUE(Ns.Ok());
    zt::test::TempDir Dir;
    zt::test::PeerProcess Agent(
        {"bash", zt::test::PeerScript("netns-snmp.sh"), "agent", Ns.Name(), Dir.path(), kAgentPort});

    std::string Descr;
    for (int I = 0; I < 50 && Descr.empty(); ++I)
        Descr = Query(Ns.Name(), "1.3.6.1.2.1.1.1.0", 200);
    ASSERT_EQ(Descr, "Test agent for the network monitor");

    const std::string Index =
        zt::test::RunCommand("ip -n " + Ns.Name() + " -o link show zts1 | cut -d: -f1 | tr -d ' \\n'");
    ASSERT_FALSE(Index.empty());
    EXPECT_EQ(Query(Ns.Name(), "1.3.6.1.2.1.2.2.1.2." + Index), "zts1");
    ASSERT_TRUE(AdminUp(LinkFlags(Ns.Name(), "zts1")));

    EXPECT_TRUE(Set(Ns.Name(), "vorpal", kAdminStatus + Index, "2"));
    EXPECT_FALSE(AdminUp(LinkFlags(Ns.Name(), "zts1")));
    EXPECT_EQ(Query(Ns.Name(), kAdminStatus + Index), "2");

    // The read-only community: the agent refuses, the client reports failure, the link stays down.
    EXPECT_FALSE(Set(Ns.Name(), "public", kAdminStatus + Index, "1"));
    EXPECT_FALSE(AdminUp(LinkFlags(Ns.Name(), "zts1")));

    EXPECT_TRUE(Set(Ns.Name(), "vorpal", kAdminStatus + Index, "1"));
    EXPECT_TRUE(AdminUp(LinkFlags(Ns.Name(), "zts1")));
    EXPECT_EQ(Query(Ns.Name(), kAdminStatus + Index), "1");

    // A SET of an interface that does not exist is refused as well.
    EXPECT_FALSE(Set(Ns.Name(), "vorpal", kAdminStatus + "999", "2"));
}
