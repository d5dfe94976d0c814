// Name resolution failures, inside a network namespace the test makes (unshare), where no resolver can
// be reached: the destination, the proxy and, without the resolve flag, the proxied destination each
// give "Could not resolve host".
#include "messaging/ICQWorks.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

std::string SelfPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The first error a connection attempt reports, as "kind|text".
std::string FirstFailure(TProxyType Kind, const QString& Host, const QString& ProxyHost) {
    TICQNet net;
    TNetRecorder rec(net);
    net.ProxyType = Kind;
    net.ProxyHost = ProxyHost;
    net.ProxyPort = 1080;
    net.Host = Host;
    net.Port = 5190;
    net.Connect();
    if (!WaitFor([&] { return rec.Failed(); }, 20000))
        return "none";
    const auto& failure = rec.Errors.empty() ? rec.ConnectErrors.front() : rec.Errors.front();
    return std::string(rec.Errors.empty() ? "connect:" : "error:") + std::to_string(failure.first) + "|" +
           failure.second.toStdString();
}

} // namespace

// Run by UnresolvableNames inside the namespace; skipped otherwise.
TEST(MessagingNetnsChild, Resolve) {
    if (!std::getenv("ZT_MSG_NETNS_CHILD"))
        GTEST_SKIP() << "runs only as the child of MessagingNetns.UnresolvableNames";
    const QString missing = "no-such-host.zt-test.invalid";
    std::printf("CHILD plain=[%s]\n", FirstFailure(P_NONE, missing, QString()).c_str());
    std::printf("CHILD proxy=[%s]\n", FirstFailure(P_SOCKS5, "127.0.0.1", missing).c_str());
    std::printf("CHILD target=[%s]\n", FirstFailure(P_SOCKS4, missing, "127.0.0.1").c_str());
    std::fflush(stdout);
}

TEST(MessagingNetns, UnresolvableNames) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("unshare"))
        GTEST_SKIP() << "needs root and unshare";
    int rc = -1;
    const std::string out = zt::test::RunCommand("ZT_MSG_NETNS_CHILD=1 unshare --net " + SelfPath() +
                                                     " --gtest_filter=MessagingNetnsChild.Resolve 2>&1",
                                                 &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("CHILD plain=[error:0|Could not resolve host]"), std::string::npos) << out;
    EXPECT_NE(out.find("CHILD proxy=[error:0|Could not resolve host]"), std::string::npos) << out;
    EXPECT_NE(out.find("CHILD target=[error:0|Could not resolve host]"), std::string::npos) << out;
}
