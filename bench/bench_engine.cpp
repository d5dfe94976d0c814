// Check-engine overhead per host and pass with instant fake probes (grid steps, synchronous
// calls onto the GUI thread and SQL, no network), at 1,000 and 10,000 hosts, with every host
// answering and with every host failing, probed one at a time and with the program's window of
// hosts in flight; beside it, the host rows' cells read by name against by resolved indexes and
// into the host record.
// Prints figures.
#include "bench/BenchEngineOwner.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostGridColumns.h"
#include "core/HostRecord.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

void FillHosts(TDataGrid& hosts, int HostCount) {
    CreateHostGridColumns(hosts);
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
}

// The 18 cells the walk reads of every host row each pass: by name for every cell (the anchor,
// as the walk once read them) and by indexes resolved once per block of 256 rows (as it reads
// them now), over the same grid in the same run; the best of five rounds each.
void ReadRows(int HostCount) {
    TDataGrid hosts;
    FillHosts(hosts, HostCount);
    const char* const names[] = {
        HostColumn::Enabled,     HostColumn::Ping_check,  HostColumn::Http_check,   HostColumn::SNMP_check,
        HostColumn::SPing_alarm, HostColumn::Port_check,  HostColumn::IP,           HostColumn::Host,
        HostColumn::Comunity,    HostColumn::Kod_,        HostColumn::Sping_kol_vo, HostColumn::ICMP_kol_vo_p,
        HostColumn::ICMP_Status, HostColumn::Http_Kol_vo, HostColumn::Http_Status,  HostColumn::SNMP_kol_vo_p,
        HostColumn::SNMP_Status, HostColumn::Status};
    qint64 sink = 0;
    auto best = [&](const auto& Walk) {
        qint64 least = -1;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer clock;
            clock.start();
            Walk();
            const qint64 ns = clock.nsecsElapsed();
            least = least < 0 ? ns : std::min(least, ns);
        }
        return double(least) / 1e6;
    };
    const double byName = best([&] {
        for (int r = 0; r < HostCount; ++r) {
            for (const char* name : names) {
                sink += hosts.Cell(name, r).GetAsString().size();
            }
        }
    });
    const double byIndex = best([&] {
        std::optional<THostColumnIndexes> columns;
        for (int r = 0; r < HostCount; ++r) {
            if (r % 256 == 0) {
                columns.emplace(hosts);
            }
            const THostColumnIndexes& c = *columns;
            for (int column :
                 {c.Enabled, c.Ping_check, c.Http_check, c.SNMP_check, c.SPing_alarm, c.Port_check, c.IP,
                  c.Host, c.Comunity, c.Kod_, c.Sping_kol_vo, c.ICMP_kol_vo_p, c.ICMP_Status, c.Http_Kol_vo,
                  c.Http_Status, c.SNMP_kol_vo_p, c.SNMP_Status, c.Status}) {
                sink += hosts.Cell(column, r).GetAsString().size();
            }
        }
    });
    // The same 18 cells as the walk takes them: into its host record, by the same indexes.
    const double byRecord = best([&] {
        std::optional<THostColumnIndexes> columns;
        THostRecord record;
        for (int r = 0; r < HostCount; ++r) {
            if (r % 256 == 0) {
                columns.emplace(hosts);
            }
            ReadHostRecord(hosts, *columns, r, HostField::Pass, record);
            sink += record.IP.size() + record.Host.size() + record.Comunity.size() + record.Kod.size() +
                    record.Status.size();
        }
    });
    std::printf("reading 18 cells of %d host rows: %.2f ms by name per cell (anchor), %.2f ms by "
                "indexes resolved once per 256 rows, %.2fx, %.2f ms into the host record by the same "
                "indexes (checksum %lld)\n",
                HostCount, byName, byIndex, byName / byIndex, byRecord, static_cast<long long>(sink));
}

double Run(int HostCount, bool Fail, int Bound) {
    char folder[] = "/tmp/zt-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        return 0;
    }
    TSQLiteDatabase db(QString::fromLatin1(folder) + "/dbm.db");
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    FillHosts(hosts, HostCount);
    CreateDownHostGridColumns(queue);
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
    ReadRows(100000);
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
