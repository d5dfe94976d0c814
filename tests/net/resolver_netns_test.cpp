// Name resolution against a DNS server that never answers, in a namespace of tests/peers/netns-dns.sh:
// each check ends within its time-out, a cancel ends a wait at once, and a lookup in flight is shared.
// The checks run in a child process started with "ip netns exec", which gives it the namespace's
// resolver configuration. Needs root.
#include "net/SnmpQuery.h"
#include "net/httpsend.h"
#include "net/netresolve.h"
#include "net/pingsend.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

const std::string kName = "never-answered.example";

std::string SelfPath() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

template <class TCall> long MillisecondsOf(TCall&& Call) {
    const auto start = std::chrono::steady_clock::now();
    Call();
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

} // namespace

// Run by UnansweredNamesEndWithinTheirTimeOuts inside the namespace; skipped otherwise.
TEST(ResolverNetnsChild, ChecksOfAnUnansweredName) {
    if (!std::getenv("ZT_DNS_CHILD"))
        GTEST_SKIP() << "runs only as the child of ResolverNetns.UnansweredNamesEndWithinTheirTimeOuts";
    // The checks' time-outs cover the name: 300 ms each, with room for a loaded machine.
    std::string http;
    EXPECT_LT(MillisecondsOf([&] { http = HttpProbe("http://" + kName + "/", 300, nullptr); }), 1300);
    EXPECT_EQ(http, "500 ") << "no connection was made";

    TPINGSend ping;
    ping.Timeout = 300;
    bool answered = true;
    EXPECT_LT(MillisecondsOf([&] { answered = ping.Ping(kName); }), 1300);
    EXPECT_FALSE(answered);
    EXPECT_EQ(ping.ReplyErrorDesc(), "Unknown error");
    EXPECT_EQ(ping.LastError(), 10060);

    std::string value = "unchanged";
    EXPECT_LT(MillisecondsOf(
                  [&] { SnmpQuery(kName, "public", "1.3.6.1.2.1.1.1.0", 160, value, "161", 300, nullptr); }),
              1300);
    EXPECT_EQ(value, "");

    // Stop and Exit raise the shared cancel signal: a long wait ends at once.
    auto cancel = std::make_shared<TNetCancel>();
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel->Raise();
    });
    EXPECT_LT(MillisecondsOf([&] { http = HttpProbe("http://" + kName + ":8080/", 60000, cancel); }), 2000);
    raiser.join();
    EXPECT_EQ(http, "500 ") << "no connection was made";

    // The lookups still wait on the resolver; asking again joins them instead of adding workers.
    const int pending = PendingLookups();
    EXPECT_GE(pending, 1);
    EXPECT_LE(pending, 4);
    for (int i = 0; i < 5; ++i)
        HttpProbe("http://" + kName + "/", 50, nullptr);
    EXPECT_LE(PendingLookups(), pending);
    std::printf("CHILD done pending=%d\n", PendingLookups());
    std::fflush(stdout);
}

TEST(ResolverNetns, UnansweredNamesEndWithinTheirTimeOuts) {
    if (!zt::test::IsRoot())
        GTEST_SKIP() << "needs root";
    zt::test::SilentDnsNetns netns;
    ASSERT_TRUE(netns.Ready()) << netns.Output();
    int rc = -1;
    const std::string out = zt::test::RunCommand("ZT_DNS_CHILD=1 ip netns exec " + netns.Name() + " " +
                                                     SelfPath() + " --gtest_filter=ResolverNetnsChild.* 2>&1",
                                                 &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("CHILD done"), std::string::npos) << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}
