// The check engine with many hosts in flight: for the same answers, one host at a time and a
// window of 256 store the same rows and queue the same events; no host is probed twice in a pass,
// no answer reaches another host; stop and shut-down end every probe worker promptly.
#include "core/HostGridColumns.h"
#include "core/MonitorState.h"
#include "tests/core/engine_fixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows Texts(const std::vector<std::vector<QString>>& Rows) {
    ::Rows texts;
    for (const auto& row : Rows) {
        texts.emplace_back();
        for (const QString& cell : row) {
            texts.back().push_back(cell.toStdString());
        }
    }
    return texts;
}

// A reproducible number of a host, a probe kind and a pass.
unsigned Mix(const std::string& Host, int Kind, int Pass) {
    unsigned h = 2166136261u;
    for (char c : Host) {
        h = (h ^ unsigned(char(c))) * 16777619u;
    }
    h = (h ^ unsigned(Kind)) * 16777619u;
    h = (h ^ unsigned(Pass)) * 16777619u;
    return h ^ (h >> 13);
}

// Answers that depend only on the host and on how often it was asked before, each after a delay
// of its own so that hosts further on often end before the ones ahead of them. Every answer
// names its host, so an answer applied to another host shows.
class ScriptedProbes : public IHostProbes {
public:
    // How a host behaves by its last address byte: up, down, flapping in runs of 4, or at random.
    static bool Answers(const std::string& Host, int Kind, int Pass) {
        const int last = std::stoi(Host.substr(Host.rfind('.') + 1));
        switch (last % 4) {
        case 0:
            return true;
        case 1:
            return false;
        case 2:
            return (Pass / 4) % 2 == 0;
        default:
            return Mix(Host, Kind, Pass) % 3 != 0;
        }
    }

    // Silent hosts never answer an echo: every 50th of the list from the seventh on. With Held,
    // their echo ends only once the hosts up to 200 after them (or to the last) have started their
    // probes: a walk that stalls behind them never sees it end.
    bool SpreadSilent = false;
    bool Held = false;
    int LastProbed = 0;

    static int IndexOf(const std::string& Host) {
        int third = 0, fourth = 0;
        std::sscanf(Host.c_str(), "127.0.%d.%d", &third, &fourth);
        return (third - 50) * 200 + fourth - 1;
    }
    bool Silent(const std::string& Host) const { return SpreadSilent && IndexOf(Host) % 50 == 7; }

    void PingAsync(const std::string& Host, int TimeoutMs,
                   std::function<void(const TPingOutcome&)> Done) override {
        if (!Held || !Silent(Host)) {
            Done(Ping(Host, TimeoutMs));
            return;
        }
        const int pass = Next(Host, 0);
        const int until = std::min(IndexOf(Host) + 200, LastProbed);
        std::thread([this, Host, pass, until, Done] {
            for (int i = 0; FMaxStarted[pass].load() < until; ++i) {
                if (i == 5000) {
                    ADD_FAILURE() << Host << " held for 5 s: the walk stalled behind it";
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            Done({"Request timed out " + Host, -1});
        }).detach();
    }

    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override {
        (void)TimeoutMs;
        const int pass = Next(Host, 0);
        if (Silent(Host)) {
            return {"Request timed out " + Host, -1};
        }
        if (Answers(Host, 0, pass)) {
            return {"", int(Mix(Host, 9, pass) % 50)};
        }
        return {"Request timed out " + Host, -1};
    }
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override {
        (void)TimeoutMs;
        const int pass = Next(Host, 1);
        return Answers(Host, 1, pass) ? "200 OK " + Host : "0 ";
    }
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override {
        (void)Community;
        (void)OID;
        const int pass = Next(Host, 2);
        return Answers(Host, 2, pass) ? "agent of " + Host : "";
    }
    void CancelAll() override {}
    void ResetCancel() override {}

    // The calls of each kind per host; a host asked twice in one pass has more than the passes.
    std::map<std::string, int> Calls(int Kind) {
        std::lock_guard g(FLock);
        return FCalls[Kind];
    }
    int MostInFlight() const { return FMost.load(); }

private:
    int Next(const std::string& Host, int Kind) {
        int pass = 0;
        {
            std::lock_guard g(FLock);
            pass = FCalls[Kind][Host]++;
        }
        const int index = IndexOf(Host);
        int started = FMaxStarted[pass].load();
        while (index > started && !FMaxStarted[pass].compare_exchange_weak(started, index)) {
        }
        const int now = ++FInFlight;
        int most = FMost.load();
        while (now > most && !FMost.compare_exchange_weak(most, now)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(Mix(Host, Kind + 3, pass) % 400));
        --FInFlight;
        return pass;
    }

    std::mutex FLock;
    std::map<std::string, int> FCalls[3];
    std::atomic<int> FInFlight{0};
    std::atomic<int> FMost{0};
    // Per pass, the furthest host of the list whose probes have started.
    std::atomic<int> FMaxStarted[64] = {};
};

struct TStoredRun {
    Rows Log;
    Rows HostRows;
    Rows Queue;
    std::vector<std::string> ProgramLog;
    std::map<std::string, int> Calls[3];
    int MostInFlight = 0;
};

constexpr int ScaleHosts = 300;
constexpr int ScalePasses = 20;

std::string AddressOf(int Index) {
    return "127.0." + std::to_string(50 + Index / 200) + "." + std::to_string(1 + Index % 200);
}

// ScalePasses passes over the same hosts and answers with Bound hosts in flight.
TStoredRun RunScripted(int Bound, bool SpreadSilent = false) {
    // The probes outlive the fixture, which stops the threads when it goes.
    ScriptedProbes probes;
    probes.SpreadSilent = SpreadSilent;
    probes.Held = SpreadSilent && Bound > 1;
    EngineFixture f;
    f.Owner.UseProbes(probes);
    f.Owner.Bound = Bound;
    f.SetThreshold(3);
    f.SetPingTimeout(100);
    f.Database.StartTransaction();
    for (int i = 0; i < ScaleHosts; ++i) {
        HostSpec spec;
        spec.Host = QStringLiteral("host %1").arg(i);
        spec.IP = QString::fromStdString(AddressOf(i));
        spec.Ping = i % 5 != 4;
        spec.Http = i % 3 == 0;
        spec.Snmp = i % 7 < 3;
        spec.Comunity = i % 7 == 2 ? QString() : QStringLiteral("public");
        spec.Enabled = i % 29 != 28;
        probes.LastProbed = spec.Enabled && spec.Ping ? i : probes.LastProbed;
        f.AddHost(spec);
    }
    f.Database.CommitTransaction();
    // The passes run inside one transaction, as the program's do; the stop commits it.
    f.Database.StartTransaction();
    TStoredRun run;
    // The queue as each dispatch sees it, its time column aside.
    f.Owner.Dispatch = [&] {
        namespace Q = QueueColumn;
        for (int r = 0; r < f.DownHostGrid.RowCount(); ++r) {
            std::vector<std::string> row;
            for (const char* column : {Q::Host_name, Q::Description_, Q::State, Q::ID_, Q::IP_D, Q::Email_e,
                                       Q::ICQ_e, Q::Sound_e, Q::Alarm_sound, Q::Loop_s}) {
                row.push_back(f.DownHostGrid.Cell(column, r).GetAsString().toStdString());
            }
            // The host cell starts with the time of the event.
            row[0] = row[0].substr(row[0].find(" - ") + 3);
            row.push_back(std::to_string(f.DownHostGrid.Cell(Q::State, r).Color()));
            run.Queue.push_back(row);
        }
        f.DownHostGrid.ClearRows();
    };
    EXPECT_TRUE(f.RunPasses(ScalePasses, 120000));
    EXPECT_EQ(f.PassCount(), ScalePasses);
    run.Log = Texts(f.Rows(QStringLiteral("select L_Status,Stat_D,ID_h_d from log order by id")));
    // The time of the last state change differs from run to run; everything else must not.
    f.Database.ExecuteStatement(QStringLiteral("update hosts set Date_Pod=NULL"));
    run.HostRows = Texts(f.Rows(QStringLiteral("select * from hosts order by id")));
    for (const QString& line : ProgramLogLines(f.Database)) {
        run.ProgramLog.push_back(line.toStdString());
    }
    for (int kind = 0; kind < 3; ++kind) {
        run.Calls[kind] = probes.Calls(kind);
    }
    run.MostInFlight = probes.MostInFlight();
    return run;
}

} // namespace

// Bound 256 has every host of the list in flight at once; at bound 16 finished hosts wait behind
// a slow one for their turn while the hosts after them start.
TEST(CheckEngineScale, OneHostAtATimeAndManyInFlightStoreTheSameRowsAndEvents) {
    ResetMonitorState();
    const TStoredRun serial = RunScripted(1);
    const TStoredRun wide = RunScripted(256);
    const TStoredRun sliding = RunScripted(16);
    // The wide runs had probes out side by side (how many depends on the machine's pace), never
    // more than the bound's workers; the serial one never more than one.
    EXPECT_EQ(serial.MostInFlight, 1);
    EXPECT_GT(wide.MostInFlight, 1);
    EXPECT_LE(wide.MostInFlight, 256 * 3);
    EXPECT_GT(sliding.MostInFlight, 1);
    EXPECT_LE(sliding.MostInFlight, 16 * 3);

    EXPECT_GT(serial.Log.size(), 100u);
    EXPECT_EQ(serial.Queue.size(), serial.Log.size());
    for (const TStoredRun* run : {&wide, &sliding}) {
        EXPECT_EQ(serial.Log, run->Log);
        EXPECT_EQ(serial.HostRows, run->HostRows);
        EXPECT_EQ(serial.Queue, run->Queue);
        EXPECT_EQ(serial.ProgramLog, run->ProgramLog);
    }

    // Every host was probed exactly once per pass and check, in every run.
    for (const TStoredRun* run : {&serial, &wide, &sliding}) {
        for (int kind = 0; kind < 3; ++kind) {
            for (const auto& [host, calls] : run->Calls[kind]) {
                EXPECT_EQ(calls, ScalePasses) << host << " kind " << kind;
            }
        }
    }
    // Each event that quotes an answer quotes its own host's address.
    int quoted = 0;
    for (const auto& row : wide.Log) {
        const std::size_t at = row[0].find("127.0.");
        if (at == std::string::npos) {
            continue;
        }
        ++quoted;
        EXPECT_EQ(row[0].substr(at), AddressOf(std::stoi(row[2]) - 1)) << row[0];
    }
    EXPECT_GT(quoted, 20);

    // Silent hosts spread over the list, each holding its echo until hosts well after it have
    // started: those start meanwhile (at bound 16 too), and the rows are still the serial ones.
    const TStoredRun serialSilent = RunScripted(1, true);
    for (int bound : {16, 1024}) {
        const TStoredRun run = RunScripted(bound, true);
        EXPECT_EQ(serialSilent.Log, run.Log) << bound;
        EXPECT_EQ(serialSilent.HostRows, run.HostRows) << bound;
        EXPECT_EQ(serialSilent.Queue, run.Queue) << bound;
        EXPECT_EQ(serialSilent.ProgramLog, run.ProgramLog) << bound;
    }
}

// A host whose probes have ended waits behind a slower one; when it is deleted or disabled
// meanwhile, its turn skips it, and the host after it is applied as usual.
TEST(CheckEngineScale, HostDeletedOrDisabledWhileWaitingForItsTurnIsSkipped) {
    EngineFixture f;
    f.Owner.Bound = 16;
    f.SetThreshold(2);
    HostSpec slow;
    slow.IP = QStringLiteral("127.0.60.1");
    const int slowId = f.AddHost(slow);
    std::vector<int> failing;
    for (int i = 2; i <= 4; ++i) {
        HostSpec spec;
        spec.IP = QStringLiteral("127.0.60.%1").arg(i);
        failing.push_back(f.AddHost(spec));
        f.Probes.SetPing(spec.IP.toStdString(), "Request timed out");
    }
    f.Probes.SetLatched("127.0.60.1");
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    // The hosts behind the slow one have been probed and wait for their turn.
    ASSERT_TRUE(f.WaitFor(
        [&] { return f.Probes.Waiting("127.0.60.1") && f.Probes.PingCalls("127.0.60.4") == 1; }, 5000));
    f.Hosts.Cell("Enabled", f.RowOf(failing[0])).SetAsBoolean(false);
    f.Hosts.DeleteRow(f.RowOf(failing[1]));
    f.Probes.Release("127.0.60.1");
    ASSERT_TRUE(f.WaitFor([&] { return f.PassCount() >= 1; }, 5000));
    ASSERT_TRUE(f.WaitEnded());
    EXPECT_EQ(f.Cell(slowId, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(failing[0], "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(failing[0], "Status"), "OK");
    EXPECT_EQ(f.Cell(failing[2], "ICMP_kol_vo_p"), "1");
    EXPECT_EQ(f.Cell(failing[2], "Status"), "Packet loss");
}
