// The check engine with the real echo client inside a network namespace of its own: hosts that
// answer, a blackholed host and a host that stops answering mid-run and comes back. Needs root.
#include "tests/core/engine_peer_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Namespaces made by tests/peers/netns-engine.sh (its Setup mode, under a prefix of this
// process's own), deleted again on destruction.
class EngineScriptNamespaces {
public:
    EngineScriptNamespaces(const std::string& Prefix, const char* Setup) : FPrefix(Prefix) {
        int rc = -1;
        std::string out = zt::test::RunCommand(Script() + " " + Setup + " " + FPrefix + " 2>&1", &rc);
        FReady = rc == 0 && out.find("ready") != std::string::npos;
        if (!FReady) {
            ADD_FAILURE() << "namespace setup failed: " << out;
        }
    }
    ~EngineScriptNamespaces() { zt::test::RunCommand(Script() + " teardown " + FPrefix); }
    EngineScriptNamespaces(const EngineScriptNamespaces&) = delete;
    EngineScriptNamespaces& operator=(const EngineScriptNamespaces&) = delete;

    bool Ready() const { return FReady; }

protected:
    const std::string& Prefix() const { return FPrefix; }
    bool Run(const char* Mode, const std::string& Address) {
        int rc = -1;
        std::string out =
            zt::test::RunCommand(Script() + " " + Mode + " " + FPrefix + " " + Address + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << out;
        return rc == 0;
    }

private:
    static std::string Script() { return "bash " + zt::test::PeerScript("netns-engine.sh"); }

    std::string FPrefix;
    bool FReady = false;
};

// A client namespace and a target namespace.
class EngineNamespaces : public EngineScriptNamespaces {
public:
    EngineNamespaces() : EngineScriptNamespaces("zte" + std::to_string(getpid()), "setup") {}

    std::string Client() const { return Prefix() + "-c"; }
    // The target stops answering from Address, or answers again.
    bool Silence(const std::string& Address) { return Run("silence", Address); }
    bool Answer(const std::string& Address) { return Run("answer", Address); }
};

// The loopback namespace: every 127.x address answers echo except the silent range 127.2.0.0/16
// and what the test drops meanwhile.
class LoopbackNamespace : public EngineScriptNamespaces {
public:
    LoopbackNamespace() : EngineScriptNamespaces("ztl" + std::to_string(getpid()), "loopback") {}

    std::string Name() const { return Prefix() + "-l"; }
    bool Drop(const std::string& Address) { return Run("drop", Address); }
    bool Undrop(const std::string& Address) { return Run("undrop", Address); }
};

// Moves the calling thread into a named network namespace and back on destruction. Threads it
// creates meanwhile (the monitor's workers) start inside the namespace.
class ThreadInNamespace {
public:
    explicit ThreadInNamespace(const std::string& Name) {
        FOriginal = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        int target = open(("/run/netns/" + Name).c_str(), O_RDONLY | O_CLOEXEC);
        FEntered = FOriginal >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) {
            close(target);
        }
    }
    ~ThreadInNamespace() {
        if (FEntered && setns(FOriginal, CLONE_NEWNET) != 0) {
            // Staying in the test namespace would send every later test's traffic there.
            std::abort();
        }
        if (FOriginal >= 0) {
            close(FOriginal);
        }
    }
    ThreadInNamespace(const ThreadInNamespace&) = delete;
    ThreadInNamespace& operator=(const ThreadInNamespace&) = delete;
    bool Entered() const { return FEntered; }

private:
    int FOriginal = -1;
    bool FEntered = false;
};

// The inode of the network namespace a new thread of the caller starts in.
ino_t NewThreadNamespace() {
    ino_t inode = 0;
    std::thread probe([&] {
        struct stat info {};
        if (stat("/proc/thread-self/ns/net", &info) == 0) {
            inode = info.st_ino;
        }
    });
    probe.join();
    return inode;
}

ino_t NamedNamespace(const std::string& Name) {
    struct stat info {};
    return stat(("/run/netns/" + Name).c_str(), &info) == 0 ? info.st_ino : 0;
}

HostSpec EchoHost(const QString& Name, const QString& Address) {
    HostSpec spec;
    spec.Host = Name;
    spec.IP = Address;
    return spec;
}

} // namespace

TEST(EngineNetns, EchoUpBlackholedAndSilencedMidRunHostsInTheirOwnNamespace) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("ip")) {
        GTEST_SKIP() << "needs root and iproute2";
    }
    EngineNamespaces spaces;
    ASSERT_TRUE(spaces.Ready());
    PeerEngineFixture f;
    f.SetThreshold(2);
    f.SetPingTimeout(300);
    int gateway = f.AddHost(EchoHost(QStringLiteral("gateway"), QStringLiteral("198.18.40.2")));
    int server = f.AddHost(EchoHost(QStringLiteral("server"), QStringLiteral("198.18.40.3")));
    int flaky = f.AddHost(EchoHost(QStringLiteral("flaky"), QStringLiteral("198.18.40.4")));
    int black = f.AddHost(EchoHost(QStringLiteral("black"), QStringLiteral("198.18.41.1")));
    // A web server behind the blackhole: the connect never completes, the probe times out.
    HostSpec web = EchoHost(QStringLiteral("web"), QStringLiteral("198.18.41.2:8080"));
    web.Ping = false;
    web.Http = true;
    int webBlack = f.AddHost(web);
    for (int id : {gateway, black}) {
        f.Hosts.Cell("SPing_check", f.RowOf(id)).SetAsBoolean(true);
    }
    // One sampling walk: the test owner opens the window once per start.

    ThreadInNamespace inside(spaces.Client());
    ASSERT_TRUE(inside.Entered());
    // The workers must send from inside: 198.18.x addresses exist nowhere else.
    ASSERT_NE(NamedNamespace(spaces.Client()), ino_t(0));
    ASSERT_EQ(NewThreadNamespace(), NamedNamespace(spaces.Client()));

    // Two passes (and the sampler's echoes, 5 s for the silent one): the blackholed host goes
    // down at N = 2, the others stay up.
    auto latencyRows = [&] {
        return f.Rows("select ID_h,timeout from Ping_data order by ID_h");
    };
    ASSERT_TRUE(f.RunUntil([&] { return latencyRows().size() >= 2; }, 2, 20000));
    EXPECT_EQ(f.EventCodes(black), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(black, "ICMP_Status"), "ICMP check failed! Requested Timed out.");
    EXPECT_EQ(f.Cell(black, "Status"), "Down");
    EXPECT_EQ(f.EventCodes(webBlack), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(webBlack, "Http_Status"), "HTTP check failed! ");
    EXPECT_EQ(f.Cell(webBlack, "Status"), "Down");
    for (int id : {gateway, server, flaky}) {
        EXPECT_TRUE(f.EventCodes(id).empty()) << id;
        EXPECT_EQ(f.Cell(id, "ICMP_kol_vo_p"), "0") << id;
        EXPECT_EQ(f.Cell(id, "Status"), "OK") << id;
    }
    // The answering host's echo time, the silent host's Timeout_Spin.
    auto latency = latencyRows();
    ASSERT_EQ(latency.size(), 2u);
    EXPECT_EQ(latency[0][0], QString::number(gateway));
    EXPECT_LT(latency[0][1].toInt(), 300);
    EXPECT_EQ(latency[1], (std::vector<QString>{QString::number(black), "300"}));

    // The flaky host stops answering mid-run: Packet loss after one pass, down after two.
    ASSERT_TRUE(spaces.Silence("198.18.40.4"));
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(flaky, "Status"), "Packet loss");
    EXPECT_EQ(f.Cell(flaky, "ICMP_kol_vo_p"), "1");
    EXPECT_TRUE(f.EventCodes(flaky).empty());
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(flaky), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(flaky, "Status"), "Down");
    EXPECT_EQ(
        f.Rows(QStringLiteral("select ICMP_Status,ICMP_kol_vo_p,Status,Kol_vo_p from hosts where id=%1")
                   .arg(flaky)),
        (std::vector<std::vector<QString>>{{"ICMP check failed! Requested Timed out.", "2", "Down", "2"}}));

    // It answers again: "IU", counters back to 0; the blackholed host stays down without events.
    ASSERT_TRUE(spaces.Answer("198.18.40.4"));
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(flaky), (std::vector<QString>{"ID", "IU"}));
    EXPECT_EQ(f.Cell(flaky, "ICMP_Status"), "ICMP check OK");
    EXPECT_EQ(f.Cell(flaky, "Status"), "OK");
    EXPECT_EQ(f.Rows(QStringLiteral("select ICMP_Status,ICMP_kol_vo_p,Status,Kol_vo_p from hosts where id=%1")
                         .arg(flaky)),
              (std::vector<std::vector<QString>>{{"ICMP check OK", "0", "OK", "0"}}));
    EXPECT_EQ(f.EventCodes(black), (std::vector<QString>{"ID"}));
    EXPECT_EQ(
        f.CliRows("select L_Status,Stat_D,ID_h_d from log order by id"),
        (std::vector<std::string>{"ICMP check failed! Requested Timed out.|ID|4", "HTTP check failed! |ID|5",
                                  "ICMP check failed! Requested Timed out.|ID|3", "ICMP check OK|IU|3"}));
}

TEST(EngineNetns, StopDuringTheSamplersEchoStoresNoLatencySample) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("ip")) {
        GTEST_SKIP() << "needs root and iproute2";
    }
    EngineNamespaces spaces;
    ASSERT_TRUE(spaces.Ready());
    PeerEngineFixture f;
    f.SetPingTimeout(300);
    HostSpec spec = EchoHost(QStringLiteral("black"), QStringLiteral("198.18.41.1"));
    spec.Ping = false; // only the sampler's echo, which waits up to 5 s for the silent host
    spec.SPingCheck = true;
    f.AddHost(spec);

    ThreadInNamespace inside(spaces.Client());
    ASSERT_TRUE(inside.Entered());
    ASSERT_EQ(NewThreadNamespace(), NamedNamespace(spaces.Client()));
    ASSERT_TRUE(f.Start());
    // Well inside the 5 s echo, then stop: the cancelled echo measured nothing.
    f.WaitFor([] { return false; }, 1000);
    ASSERT_TRUE(f.WaitEnded(10000));
    EXPECT_EQ(f.Rows("select ID_h,timeout from Ping_data"), (std::vector<std::vector<QString>>{}));
}

// Two thousand hosts in flight at once: the host that stops answering goes down on its third
// failing pass and up on its first answer, exactly once each, as with one host at a time; the
// silent range goes down once, and no answering host records anything.
TEST(EngineNetns, ThirdFailingPassRecordsDownOnceAmongTwoThousandHostsInFlight) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("ip") || !zt::test::HaveProgram("nft")) {
        GTEST_SKIP() << "needs root, iproute2 and nftables";
    }
    LoopbackNamespace space;
    ASSERT_TRUE(space.Ready());
    PeerEngineFixture f;
    f.Owner.Bound = 2000;
    f.SetThreshold(3);
    f.SetPingTimeout(300);
    constexpr int Total = 2000;
    constexpr int Silent = 100;
    std::vector<int> silent;
    int flaky = 0;
    f.Database.StartTransaction();
    for (int i = 0; i < Total; ++i) {
        QString address = QStringLiteral("127.1.%1.%2").arg(i / 250).arg(1 + i % 250);
        if (i % (Total / Silent) == 7) {
            address = QStringLiteral("127.2.0.%1").arg(1 + int(silent.size()));
        }
        if (i == Total / 2) {
            address = QStringLiteral("127.3.0.1");
        }
        const int id = f.AddHost(EchoHost(QStringLiteral("host %1").arg(i), address));
        if (address.startsWith(QStringLiteral("127.2."))) {
            silent.push_back(id);
        }
        if (i == Total / 2) {
            flaky = id;
        }
    }
    f.Database.CommitTransaction();
    ASSERT_EQ(int(silent.size()), Silent);

    ThreadInNamespace inside(space.Name());
    ASSERT_TRUE(inside.Entered());
    ASSERT_EQ(NewThreadNamespace(), NamedNamespace(space.Name()));
    ASSERT_TRUE(f.RunPasses(1, 20000));
    EXPECT_EQ(f.Cell(flaky, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(silent.front(), "ICMP_kol_vo_p"), "1");

    ASSERT_TRUE(space.Drop("127.3.0.1"));
    ASSERT_TRUE(f.RunPasses(2, 20000));
    EXPECT_TRUE(f.EventCodes(flaky).empty());
    EXPECT_EQ(f.Cell(flaky, "ICMP_kol_vo_p"), "2");
    EXPECT_EQ(f.Cell(flaky, "Status"), "Packet loss");
    ASSERT_TRUE(f.RunPasses(1, 20000));
    EXPECT_EQ(f.EventCodes(flaky), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(flaky, "Status"), "Down");
    ASSERT_TRUE(f.RunPasses(1, 20000));
    EXPECT_EQ(f.EventCodes(flaky), (std::vector<QString>{"ID"}));

    ASSERT_TRUE(space.Undrop("127.3.0.1"));
    ASSERT_TRUE(f.RunPasses(1, 20000));
    EXPECT_EQ(f.EventCodes(flaky), (std::vector<QString>{"ID", "IU"}));
    EXPECT_EQ(
        f.Rows(QStringLiteral("select ICMP_Status,ICMP_kol_vo_p,Status from hosts where id=%1").arg(flaky)),
        (std::vector<std::vector<QString>>{{"ICMP check OK", "0", "OK"}}));
    // Each silent host went down once, on the third pass; nobody else recorded anything.
    EXPECT_EQ(
        f.Rows(QStringLiteral("select count(*), count(distinct ID_h_d) from log where Stat_D='ID'")),
        (std::vector<std::vector<QString>>{{QString::number(Silent + 1), QString::number(Silent + 1)}}));
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from log")),
              (std::vector<std::vector<QString>>{{QString::number(Silent + 2)}}));
    for (int id : {silent.front(), silent.back()}) {
        EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"ID"})) << id;
        EXPECT_EQ(f.Cell(id, "ICMP_kol_vo_p"), "6") << id;
    }
}
