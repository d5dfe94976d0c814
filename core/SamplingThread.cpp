// The sampling loop, the interface counters and the latency samples.
#include "core/SamplingThread.h"

#include "core/CheckRules.h"
#include "core/ExceptionGuard.h"
#include "core/HostGridColumns.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QElapsedTimer>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace {

qint64 Now() {
    return UnixTimeFromDateTime(NowDateTime());
}

// A counter text that is a whole decimal number, else nothing.
bool ParseCounter(const QString& Text, qint64& Value) {
    bool ok = false;
    qulonglong v = Text.trimmed().toULongLong(&ok);
    if (!ok) {
        return false;
    }
    Value = qint64(v & 0xFFFFFFFFull);
    return true;
}

} // namespace

void InsertTrafficSample(TSQLiteDatabase& Database, const QString& PortId, qint64 InCounter,
                         qint64 OutCounter, qint64 InRate, qint64 OutRate) {
    // A sample that cannot be stored is skipped.
    RunDatabaseStep("storing a traffic sample", [&] {
        Database.ExecuteStatement(QStringLiteral("insert into traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,"
                                                 "curr_traf_out) values(?,?,?,?,?,?)"),
                                  {PortId, Int64ToText(InCounter), Int64ToText(OutCounter),
                                   Int64ToText(Now()), Int64ToText(InRate), Int64ToText(OutRate)});
    });
}

TPort_Monitoring_Thread::TPort_Monitoring_Thread(IEngineOwner& Owner)
    : FOwner(Owner), FStore(Owner.Database()) {}

TPort_Monitoring_Thread::~TPort_Monitoring_Thread() = default;

struct TPort_Monitoring_Thread::TReadsDone {
    std::mutex Lock;
    std::condition_variable Changed;
};

void TPort_Monitoring_Thread::Execute() {
    FBound = std::max(1, FOwner.ProbeBound());
    if (FBound > 1) {
        // A host's counter reads and its echo run side by side.
        FPool =
            std::make_unique<TProbePool>(std::min<std::size_t>(std::size_t(FBound) * 2, MaxSamplerWorkers));
    }
    // The workers end with this call; the stop that ended it cancelled their reads.
    struct TPoolEnd {
        std::unique_ptr<TProbePool>& Pool;
        ~TPoolEnd() { Pool.reset(); }
    } poolEnd{FPool};
    while (MonitoringActive.load()) {
        if (!WorkerDelay(50)) {
            return;
        }
        for (;;) {
            int tag = 0;
            if (!OnGuiThread([&] { tag = FOwner.SamplingTag(); })) {
                return;
            }
            if (tag >= 1 || !MonitoringActive.load()) {
                break;
            }
            if (!WorkerDelay(50) || !Walk()) {
                return;
            }
        }
    }
}

bool TPort_Monitoring_Thread::Walk() {
    // The walk reads what it needs of every enabled host in one call onto the GUI thread.
    std::vector<TSampledHost> hosts;
    if (!OnGuiThread([&] {
            using namespace HostColumn;
            TDataGrid& grid = FOwner.Hosts();
            hosts.reserve(std::size_t(grid.RowCount()));
            // Columns found once, not per cell; a host with neither check only restarts the window,
            // so its texts are not copied.
            const int enabled = grid.ColumnIndex(Enabled), portCheck = grid.ColumnIndex(Port_check),
                      pingCheck = grid.ColumnIndex(SPing_check), ip = grid.ColumnIndex(IP),
                      community = grid.ColumnIndex(Comunity), kod = grid.ColumnIndex(Kod_);
            for (int row = 0; row < grid.RowCount(); ++row) {
                if (!grid.GetCellObject(enabled, row).GetAsBoolean()) {
                    continue;
                }
                const bool ports = grid.GetCellObject(portCheck, row).GetAsBoolean();
                const bool echo = grid.GetCellObject(pingCheck, row).GetAsBoolean();
                if (!ports && !echo) {
                    hosts.push_back({false, false, {}, {}, {}});
                    continue;
                }
                hosts.push_back({ports, echo, grid.GetCellObject(ip, row).GetAsString(),
                                 grid.GetCellObject(community, row).GetAsString(),
                                 grid.GetCellObject(kod, row).GetAsString()});
            }
        })) {
        return false;
    }
    // Only the hosts in flight wait for their turn, never the whole list.
    std::deque<std::shared_ptr<THostSample>> window;
    auto done = std::make_shared<TReadsDone>();
    QElapsedTimer sinceRestart;
    std::size_t next = 0;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (!MonitoringActive.load()) {
            return false;
        }
        while (next < hosts.size() &&
               (window.empty() || (FPool && window.size() < std::size_t(FBound) * WindowPerHostInFlight))) {
            auto sample = std::make_shared<THostSample>();
            sample->Host = hosts[next++];
            window.push_back(sample);
            if (FPool) {
                StartReads(sample, done);
                continue;
            }
            // A failure while reading one host ends only that host's sampling for this walk.
            Guarded("traffic sampling", [&] { ReadPorts(*sample); });
            if (MonitoringActive.load()) {
                ReadEcho(*sample);
            }
        }
        std::shared_ptr<THostSample> first = window.front();
        window.pop_front();
        if (FPool) {
            std::unique_lock<std::mutex> lock(done->Lock);
            while (first->Pending > 0) {
                if (!MonitoringActive.load()) {
                    return false;
                }
                done->Changed.wait_for(lock, std::chrono::milliseconds(20));
            }
        }
        // Every enabled host restarts the one-minute window; restarts less than a second apart
        // change nothing, so they are left out except after the last host.
        bool restart = !sinceRestart.isValid() || sinceRestart.elapsed() >= 1000 || i + 1 == hosts.size();
        if (!StoreHost(*first, restart)) {
            return false;
        }
        if (restart) {
            sinceRestart.start();
        }
    }
    return true;
}

void TPort_Monitoring_Thread::StartReads(const std::shared_ptr<THostSample>& Sample,
                                         const std::shared_ptr<TReadsDone>& Done) {
    const bool ports = Sample->Host.PortCheck;
    const bool echo = Sample->Host.PingCheck;
    Sample->Pending = int(ports) + int(echo);
    // Each read writes only its own fields of the sample; the count tells when both have ended.
    auto ended = [Sample, Done] {
        std::lock_guard<std::mutex> guard(Done->Lock);
        if (--Sample->Pending == 0) {
            Done->Changed.notify_all();
        }
    };
    if (ports) {
        FPool->Submit([this, Sample, ended] {
            Guarded("traffic sampling", [&] {
                if (MonitoringActive.load()) {
                    ReadPorts(*Sample);
                }
            });
            ended();
        });
    }
    if (!echo) {
        return;
    }
    // The echo holds no worker while it waits; its outcome comes back on a thread of the probes.
    bool started = false;
    Guarded("traffic sampling", [&] {
        FOwner.Probes().PingAsync(Sample->Host.IP.toStdString(), 5000,
                                  [Sample, ended](const TPingOutcome& Outcome) {
                                      Sample->Echo = Outcome;
                                      Sample->Echoed = MonitoringActive.load();
                                      ended();
                                  });
        started = true;
    });
    if (!started) {
        ended(); // no sample of this host's echo
    }
}

void TPort_Monitoring_Thread::ReadPorts(THostSample& Sample) {
    const TSampledHost& host = Sample.Host;
    if (!host.PortCheck) {
        return;
    }
    const QString newest =
        QStringLiteral("select T_in,T_out,date_time from traf_p where ID_p=? order by id desc limit 1");
    auto ports = FStore.SelectSampledPorts(host.Kod);
    for (; !ports->AtEnd() && MonitoringActive.load(); ports->NextRow()) {
        if (ports->FieldTextOrEmpty(3) != QLatin1String("-1")) {
            continue;
        }
        TSampledPort port;
        port.Id = ports->FieldTextOrEmpty(0);
        port.SpeedMbit = TextToInt64(ports->FieldTextOrEmpty(4));
        const QString index = ports->FieldTextOrEmpty(1);
        const QString inOid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.") + index;
        const QString outOid = QStringLiteral("1.3.6.1.2.1.2.2.1.16.") + index;
        // Only this host's turn stores rows for its interfaces, so the answer holds until then.
        port.Baseline = FOwner.Database().OpenResultTable(newest, {port.Id})->AtEnd();
        if (port.Baseline) {
            port.BaseIn = ReadCounter(host.IP, host.Community, inOid);
            port.BaseOut = ReadCounter(host.IP, host.Community, outOid);
        }
        port.In = ReadCounter(host.IP, host.Community, inOid);
        port.Out = ReadCounter(host.IP, host.Community, outOid);
        // A read cut short by stop is no answer of the device: nothing of it is stored.
        if (!MonitoringActive.load()) {
            return;
        }
        Sample.Ports.push_back(std::move(port));
    }
}

void TPort_Monitoring_Thread::ReadEcho(THostSample& Sample) {
    if (!Sample.Host.PingCheck) {
        return;
    }
    Sample.Echo = FOwner.Probes().Ping(Sample.Host.IP.toStdString(), 5000);
    Sample.Echoed = MonitoringActive.load();
}

bool TPort_Monitoring_Thread::StoreHost(const THostSample& Sample, bool RestartWindow) {
    // A failure while storing one host's traffic ends only that host's traffic for this walk.
    Guarded("traffic sampling", [&] {
        for (const TSampledPort& port : Sample.Ports) {
            if (!MonitoringActive.load()) {
                return;
            }
            StoreInterface(port);
        }
    });
    if (!MonitoringActive.load()) {
        return false;
    }
    if (RestartWindow && !OnGuiThread([&] { FOwner.RestartSamplingWindow(); })) {
        return false;
    }
    if (!Sample.Host.PingCheck) {
        return true;
    }
    if (!Sample.Echoed || !MonitoringActive.load()) {
        return false; // an echo cut short by stop is no sample
    }
    if (Sample.Echo.Skipped) {
        return true; // nor is one that could not be sent
    }
    // No reply: the sample is Timeout_Spin as it is now.
    const TPingOutcome& outcome = Sample.Echo;
    int ms =
        outcome.ErrorDesc.empty() && outcome.TimeMs >= 0 ? outcome.TimeMs : FOwner.Settings()->Timeout_Spin;
    RunDatabaseStep("storing a latency sample", [&] {
        FOwner.Database().ExecuteStatement(
            QStringLiteral("insert into Ping_data (ID_h,timeout,date_time) values(?,?,?)"),
            {Sample.Host.Kod, QString::number(ms), Int64ToText(Now())});
    });
    return true;
}

qint64 TPort_Monitoring_Thread::ReadCounter(const QString& Host, const QString& Community,
                                            const QString& Oid) {
    std::string reply =
        FOwner.Probes().SnmpGet(Host.toStdString(), Community.toStdString(), Oid.toStdString());
    qint64 value = 0;
    return ParseCounter(QString::fromStdString(reply), value) ? value : 0;
}

qint64 TPort_Monitoring_Thread::PreviousRate(const QString& PortId, const char* Column) {
    auto table = FOwner.Database().OpenResultTable(
        QStringLiteral("select ") + QLatin1String(Column) +
            QStringLiteral(" from traf_p where ID_p=? order by id desc limit 1"),
        {PortId});
    return table->AtEnd() ? 0 : TextToInt64(table->FieldTextOrEmpty(0));
}

void TPort_Monitoring_Thread::StoreInterface(const TSampledPort& Port) {
    TSQLiteDatabase& db = FOwner.Database();
    if (Port.Baseline) {
        InsertTrafficSample(db, Port.Id, Port.BaseIn, Port.BaseOut, 0, 0);
    }
    qint64 lastIn = 0, lastOut = 0, lastTime = Now();
    auto last = db.OpenResultTable(
        QStringLiteral("select T_in,T_out,date_time from traf_p where ID_p=? order by id desc limit 1"),
        {Port.Id});
    if (!last->AtEnd()) {
        ParseCounter(last->FieldTextOrEmpty(0), lastIn);
        ParseCounter(last->FieldTextOrEmpty(1), lastOut);
        lastTime = TextToInt64(last->FieldTextOrEmpty(2));
    }
    qint64 seconds = Now() - lastTime;
    qint64 inRate =
        TrafficRate(Port.In, lastIn, seconds, Port.SpeedMbit, PreviousRate(Port.Id, "curr_traf_in"));
    qint64 outRate =
        TrafficRate(Port.Out, lastOut, seconds, Port.SpeedMbit, PreviousRate(Port.Id, "curr_traf_out"));
    InsertTrafficSample(db, Port.Id, Port.In, Port.Out, inRate, outRate);
}
