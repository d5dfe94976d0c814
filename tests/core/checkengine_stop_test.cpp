// Stop and shut-down with hundreds of real probes in flight: HTTP probes to a loopback listener
// that accepts and never answers. Every probe ends at once, no worker thread or socket outlives
// the run, and the rows written before the close are committed.
#include "core/AlarmChannels.h"
#include "core/DatabaseTransaction.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/NetHostProbes.h"
#include "core/ProbePool.h"
#include "core/SettingsModel.h"
#include "tests/core/engine_fixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_THREAD__)
// Threads start slowly under ThreadSanitizer: fewer probes in flight, the same contract.
constexpr int InFlight = 100;
#else
constexpr int InFlight = 500;
#endif

using Rows = std::vector<std::vector<QString>>;

// Entries of a /proc/self folder: the process's threads or its open descriptors.
int CountEntries(const char* Folder) {
    DIR* dir = opendir(Folder);
    if (!dir) {
        return -1;
    }
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(dir);
    return count - (std::string(Folder) == "/proc/self/fd" ? 1 : 0); // the folder's own descriptor
}

int Threads() {
    return CountEntries("/proc/self/task");
}

// The threads a test leaves: none of its own. The thread sanitizer's runtime starts a background
// thread of its own at some point of the run, which is not the program's.
void ExpectNoThreadLeft(int Before) {
#if defined(__SANITIZE_THREAD__)
    EXPECT_LE(Threads(), Before + 1);
#else
    EXPECT_EQ(Threads(), Before);
#endif
}

int Descriptors() {
    return CountEntries("/proc/self/fd");
}

// A loopback port whose connections the kernel completes and nobody ever answers.
class SilentListener {
public:
    SilentListener() {
        FSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(FSocket, 4096) != 0 ||
            getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "no listener";
        }
        FPort = ntohs(address.sin_port);
    }
    ~SilentListener() { close(FSocket); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(FPort); }

private:
    int FSocket = -1;
    int FPort = 0;
};

// A loopback port nobody listens on: every connection is refused at once.
QString RefusingAddress() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(s, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
}

HostSpec HttpOnly(int Index, const QString& Address) {
    HostSpec spec;
    spec.Host = QStringLiteral("web %1").arg(Index);
    spec.IP = Address;
    spec.Ping = false;
    spec.Http = true;
    return spec;
}

} // namespace

TEST(CheckEngineStop, StopWithHundredsOfProbesInFlightEndsBothThreadsAndLeavesNoWorkerOrSocket) {
    // The probes outlive the fixture, which stops the threads when it goes.
    TNetHostProbes probes;
    EngineFixture f;
    SilentListener silent;
    f.Owner.UseProbes(probes);
    f.Owner.Bound = InFlight + 12;
    f.SetPingTimeout(2000); // HTTP waits 10 s: only the stop ends these probes
    f.Database.StartTransaction();
    for (int i = 0; i < InFlight; ++i) {
        f.AddHost(HttpOnly(i, silent.Address()));
    }
    f.Database.CommitTransaction();
    // Helper threads of the runtime (a sanitizer's) start with the first thread, not with ours.
    std::thread([] {}).join();
    const int threadsBefore = Threads();
    const int descriptorsBefore = Descriptors();
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    // Every worker's probe runs, its connection open, waiting for the answer, while the other hosts
    // in flight wait for a worker: the threads stay the capped workers, the check thread and the
    // sampling thread, whatever the number of hosts.
    const int workers = int(MaxProbeWorkers);
    ASSERT_TRUE(f.WaitFor(
        [&] {
            return Threads() >= threadsBefore + workers + 2 && Descriptors() >= descriptorsBefore + workers;
        },
        20000))
        << Threads() - threadsBefore << " threads, " << Descriptors() - descriptorsBefore << " descriptors";
    EXPECT_LE(Threads(), threadsBefore + workers + 3); // a sanitizer's runtime may add one
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(f.WaitEnded(5000));
    const qint64 ended = clock.elapsed();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Hundreds of threads end several times slower under a sanitizer's runtime.
    EXPECT_LT(ended, 3000);
#else
    EXPECT_LT(ended, 1000);
#endif
    std::printf("stop with %d probes in flight: threads ended after %lld ms\n", InFlight,
                static_cast<long long>(ended));
    ExpectNoThreadLeft(threadsBefore);
    EXPECT_EQ(Descriptors(), descriptorsBefore);
    // A probe cut short by stop counts as nothing.
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from log")), (Rows{{"0"}}));
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from hosts where Http_Kol_vo<>'0'")), (Rows{{"0"}}));
}

// A thousand echo-checked hosts on 127.0.0.0/8, stored in one transaction.
static void AddThousandLoopbackHosts(EngineFixture& f) {
    f.Database.StartTransaction();
    for (int i = 0; i < 1000; ++i) {
        HostSpec spec;
        spec.IP = QStringLiteral("127.0.%1.%2").arg(i / 200).arg(1 + i % 200);
        f.AddHost(spec);
    }
    f.Database.CommitTransaction();
}

// A thousand echoes in flight hold no thread; stop hands them all back and both threads end.
TEST(CheckEngineStop, StopWithAThousandEchoesInFlightEndsBothThreadsWithinTwoSeconds) {
    EngineFixture f;
    f.Probes.HoldEchoes();
    f.Owner.Bound = 1024;
    AddThousandLoopbackHosts(f);
    const int threadsBefore = Threads();
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    ASSERT_TRUE(f.WaitFor([&] { return f.Probes.Calls() == 1000; }, 20000)) << f.Probes.Calls();
    EXPECT_LE(Threads(), threadsBefore + 3); // the check and sampling threads, and a sanitizer's
    ASSERT_TRUE(f.WaitEnded(2000));
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from log")), (Rows{{"0"}}));
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from hosts where ICMP_kol_vo_p<>'0'")), (Rows{{"0"}}));
}

// Echo-only hosts hold no socket: silent ones are not held to the socket-derived bound of 64, so
// the whole list has its echoes out while none has answered.
TEST(CheckEngineStop, EchoOnlyHostsAreNotHeldToTheSocketBound) {
    EngineFixture f;
    f.Probes.HoldEchoes();
    f.Owner.Bound = 64;
    AddThousandLoopbackHosts(f);
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    EXPECT_TRUE(f.WaitFor([&] { return f.Probes.Calls() == 1000; }, 20000)) << f.Probes.Calls();
    ASSERT_TRUE(f.WaitEnded(2000));
}

TEST(CheckEngineStop, ShutdownDuringAPassWithSilentHostsEndsWithinTwoSecondsWithTheRowsCommitted) {
    EngineFixture f;
    SilentListener silent;
    TNetHostProbes probes;
    TSettingsModel settings;
    settings.Update([](TSettings& s) {
        s.Timeout_Spin = 400; // HTTP waits 2 s
        s.ploss_spin = 2;
        s.Delay_spin = 1;
    });
    TAlarmChannels channels;
    RecordingPanels panels;
    channels.SetStatusPanels(&panels);
    // Refused hosts first (down in the second pass), then hosts that never answer.
    const QString refusing = RefusingAddress();
    f.Database.StartTransaction();
    const int refused = InFlight / 5;
    for (int i = 0; i < refused; ++i) {
        f.AddHost(HttpOnly(i, refusing));
    }
    // Two waves of the capped workers' probes wait out their time-out in each pass.
    const int silentHosts = 2 * int(MaxProbeWorkers);
    for (int i = refused; i < refused + silentHosts; ++i) {
        f.AddHost(HttpOnly(i, silent.Address()));
    }
    f.Database.CommitTransaction();
    // The refused hosts' rows lie in the long transaction when the program closes.
    f.Database.StartTransaction();
    const int threadsBefore = Threads();
    {
        TMonitorController controller(f.Hosts, f.DownHostGrid, f.Database, settings, probes, channels);
        controller.SetDispatcher([&] { f.DownHostGrid.ClearRows(); });
        controller.Timer_time_to_ping.setInterval(40);
        ASSERT_TRUE(controller.BitBtn7Click());
        // The second pass has recorded the refused hosts' events; the silent hosts' probes of
        // that pass have just started.
        ASSERT_TRUE(f.WaitFor(
            [&] {
                return f.Rows(QStringLiteral("select count(*) from log")) == Rows{{QString::number(refused)}};
            },
            20000));
        QElapsedTimer clock;
        clock.start();
        controller.Shutdown(2000);
        const qint64 ended = clock.elapsed();
        EXPECT_LT(ended, 2000);
        std::printf("shut-down with %d silent hosts in flight: %lld ms\n", silentHosts,
                    static_cast<long long>(ended));
        EXPECT_FALSE(controller.ThreadsRunning());
        ASSERT_TRUE(CommitLongTransaction(f.Database));
    }
    ExpectNoThreadLeft(threadsBefore);
    // Another connection sees the committed events and host rows.
    TSQLiteDatabase reader(f.Database.FileName());
    auto table = reader.OpenResultTable(QStringLiteral("select count(*), min(Stat_D), max(Stat_D) from log"));
    EXPECT_EQ(table->FieldText(0), QString::number(refused));
    EXPECT_EQ(table->FieldText(1), "ID");
    EXPECT_EQ(table->FieldText(2), "ID");
    table = reader.OpenResultTable(
        QStringLiteral("select count(*) from hosts where Status='Down' and Kol_vo_p='2'"));
    EXPECT_EQ(table->FieldText(0), QString::number(refused));
}
