// Check-engine overhead per host and pass with instant fake probes (grid steps, synchronous
// calls onto the GUI thread and SQL, no network), at 1,000 and 10,000 hosts. Prints figures.
#include "bench/BenchEngineOwner.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
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
    TPingOutcome Ping(const std::string&, int) override { return {"", 1}; }
    std::string HttpProbe(const std::string&, int) override { return "200 OK"; }
    std::string SnmpGet(const std::string&, const std::string&, const std::string&) override { return "box"; }
    void CancelAll() override {}
    void ResetCancel() override {}
};

double Run(int HostCount) {
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
    InstantProbes probes;
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    db.StartTransaction();
    // One warm-up pass, then timed passes.
    const int passes = 3;
    owner.Start(2000);
    owner.WaitPasses(1, 600000);
    QElapsedTimer clock;
    clock.start();
    owner.WaitPasses(1 + passes, 600000);
    double ms = double(clock.nsecsElapsed()) / 1e6;
    owner.Stop();
    db.CommitTransaction();
    std::printf("engine overhead, %6d hosts: %8.1f ms per pass, %6.2f us per host and pass "
                "(echo, HTTP and SNMP on, instant probes; passes back to back, one look at the "
                "countdown gate each)\n",
                HostCount, ms / passes, ms * 1000.0 / passes / HostCount);
    std::string cleanup = std::string("rm -rf ") + folder;
    std::system(cleanup.c_str());
    return ms / passes;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    double small = Run(1000);
    double large = Run(10000);
    // The difference of the two sizes leaves only what each host costs.
    std::printf("engine overhead per additional host: %.2f us\n", (large - small) * 1000.0 / 9000.0);
    return 0;
}
