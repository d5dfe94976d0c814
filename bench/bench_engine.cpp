// Check-engine overhead per host and pass with instant fake probes (grid steps, synchronous
// calls onto the GUI thread and SQL, no network), at 1,000 and 10,000 hosts, with every host
// answering and with every host failing, probed one at a time and with the program's window of
// hosts in flight. Prints figures.
#include "bench/BenchEngineOwner.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class InstantProbes : public IHostProbes {
public:
    explicit InstantProbes(bool Fail) : FFail(Fail) {}
    TPingOutcome Ping(const std::string&, int) override {
        return FFail ? TPingOutcome{"Request timed out", -1} : TPingOutcome{"", 1};
    }
    std::string HttpProbe(const std::string&, int) override { return FFail ? "0 " : "200 OK"; }
    std::string SnmpGet(const std::string&, const std::string&, const std::string&) override {
        return FFail ? "" : "box";
    }
    void CancelAll() override {}
    void ResetCancel() override {}

private:
    bool FFail;
};

double Run(int HostCount, bool Fail, int Bound) {
    char folder[] = "/tmp/zt-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        return 0;
    }
    TSQLiteDatabase db(QString::fromLatin1(folder) + "/dbm.db");
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    CreateHostGridColumns(hosts);
    CreateDownHostGridColumns(queue);
    hosts.BeginUpdate();
    for (int i = 0; i < HostCount; ++i) {
        int r = hosts.AddRow();
        hosts.Cell("Kod_", r).SetAsString(QString::number(i + 1));
        hosts.Cell("Host", r).SetAsString(QStringLiteral("host%1").arg(i));
        hosts.Cell("IP", r).SetAsString(QStringLiteral("127.0.%1.%2").arg(i / 250).arg(i % 250 + 1));
        hosts.Cell("Status", r).SetAsString("OK");
        for (const char* flag : {"Enabled", "ping_check", "Http_check", "SNMP_check"}) {
            hosts.Cell(flag, r).SetAsBoolean(true);
        }
        hosts.Cell("Comunity", r).SetAsString("public");
    }
    hosts.EndUpdate();
    InstantProbes probes(Fail);
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    owner.Bound = Bound;
    db.StartTransaction();
    // Warm-up passes (failing hosts are down after the third), then timed passes.
    const int warmUp = 3;
    const int passes = 3;
    owner.Start(2000);
    owner.WaitPasses(warmUp, 600000);
    QElapsedTimer clock;
    clock.start();
    owner.WaitPasses(warmUp + passes, 600000);
    double ms = double(clock.nsecsElapsed()) / 1e6;
    owner.Stop();
    db.CommitTransaction();
    std::printf("engine overhead, %6d hosts %s, bound %4d: %8.1f ms per pass, %6.2f us per host and pass\n",
                HostCount, Fail ? "all failing " : "all answering", Bound, ms / passes,
                ms * 1000.0 / passes / HostCount);
    std::string cleanup = std::string("rm -rf ") + folder;
    std::system(cleanup.c_str());
    return ms / passes;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    // "bench_engine HOSTS answering|failing BOUND" runs that one configuration (for profiling).
    if (argc == 4) {
        Run(std::atoi(argv[1]), std::string(argv[2]) == "failing", std::atoi(argv[3]));
        return 0;
    }
    std::printf("echo, HTTP and SNMP on, instant fake probes, N = 3, passes back to back inside one "
                "transaction; bound 1 probes on the check thread, bound %d on the probe pool\n",
                HostsInFlightBound());
    for (bool fail : {false, true}) {
        for (int bound : {1, HostsInFlightBound()}) {
            double small = Run(1000, fail, bound);
            double large = Run(10000, fail, bound);
            // The difference of the two sizes leaves only what each host costs.
            std::printf("  per additional host (%s, bound %d): %.2f us\n", fail ? "failing" : "answering",
                        bound, (large - small) * 1000.0 / 9000.0);
        }
    }
    return 0;
}
