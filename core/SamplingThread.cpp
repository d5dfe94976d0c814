// The sampling loop, the interface counters and the latency samples.
#include "core/SamplingThread.h"

#include "core/CheckRules.h"
#include "core/ExceptionGuard.h"
#include "core/HostGridColumns.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QElapsedTimer>
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

void TPort_Monitoring_Thread::Execute() {
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
            for (int row = 0; row < grid.RowCount(); ++row) {
                if (!grid.Cell(Enabled, row).GetAsBoolean()) {
                    continue;
                }
                hosts.push_back({grid.Cell(Port_check, row).GetAsBoolean(),
                                 grid.Cell(SPing_check, row).GetAsBoolean(), grid.Cell(IP, row).GetAsString(),
                                 grid.Cell(Comunity, row).GetAsString(), grid.Cell(Kod_, row).GetAsString()});
            }
        })) {
        return false;
    }
    QElapsedTimer sinceRestart;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (!MonitoringActive.load()) {
            return false;
        }
        // Every enabled host restarts the one-minute window; restarts less than a second apart
        // change nothing, so they are left out except after the last host.
        bool restart = !sinceRestart.isValid() || sinceRestart.elapsed() >= 1000 || i + 1 == hosts.size();
        if (!SampleHost(hosts[i], restart)) {
            return false;
        }
        if (restart) {
            sinceRestart.start();
        }
    }
    return true;
}

bool TPort_Monitoring_Thread::SampleHost(const TSampledHost& Host, bool RestartWindow) {
    // A failure while sampling one host ends only that host's sampling for this walk.
    Guarded("traffic sampling", [&] {
        if (!Host.PortCheck) {
            return;
        }
        auto ports = FStore.SelectSampledPorts(Host.Kod);
        for (; !ports->AtEnd() && MonitoringActive.load(); ports->NextRow()) {
            if (ports->FieldTextOrEmpty(3) != QLatin1String("-1")) {
                continue;
            }
            SampleInterface(Host.IP, Host.Community, ports->FieldTextOrEmpty(0), ports->FieldTextOrEmpty(1),
                            TextToInt64(ports->FieldTextOrEmpty(4)));
        }
    });
    if (RestartWindow && !OnGuiThread([&] { FOwner.RestartSamplingWindow(); })) {
        return false;
    }
    if (!Host.PingCheck || !MonitoringActive.load()) {
        return true;
    }
    TPingOutcome outcome = FOwner.Probes().Ping(Host.IP.toStdString(), 5000);
    if (!MonitoringActive.load()) {
        return false; // an echo cut short by stop is no sample
    }
    if (outcome.Skipped) {
        return true; // nor is one that could not be sent
    }
    // No reply: the sample is Timeout_Spin as it is now.
    int ms =
        outcome.ErrorDesc.empty() && outcome.TimeMs >= 0 ? outcome.TimeMs : FOwner.Settings()->Timeout_Spin;
    RunDatabaseStep("storing a latency sample", [&] {
        FOwner.Database().ExecuteStatement(
            QStringLiteral("insert into Ping_data (ID_h,timeout,date_time) values(?,?,?)"),
            {Host.Kod, QString::number(ms), Int64ToText(Now())});
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

void TPort_Monitoring_Thread::SampleInterface(const QString& Host, const QString& Community,
                                              const QString& PortId, const QString& Index, qint64 SpeedMbit) {
    const QString inOid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.") + Index;
    const QString outOid = QStringLiteral("1.3.6.1.2.1.2.2.1.16.") + Index;
    TSQLiteDatabase& db = FOwner.Database();
    const QString newest =
        QStringLiteral("select T_in,T_out,date_time from traf_p where ID_p=? order by id desc limit 1");
    if (db.OpenResultTable(newest, {PortId})->AtEnd()) {
        qint64 in = ReadCounter(Host, Community, inOid);
        qint64 out = ReadCounter(Host, Community, outOid);
        // A read cut short by stop is no answer of the device: store nothing.
        if (!MonitoringActive.load()) {
            return;
        }
        InsertTrafficSample(db, PortId, in, out, 0, 0);
    }
    qint64 lastIn = 0, lastOut = 0, lastTime = Now();
    auto last = db.OpenResultTable(newest, {PortId});
    if (!last->AtEnd()) {
        ParseCounter(last->FieldTextOrEmpty(0), lastIn);
        ParseCounter(last->FieldTextOrEmpty(1), lastOut);
        lastTime = TextToInt64(last->FieldTextOrEmpty(2));
    }
    qint64 seconds = Now() - lastTime;
    qint64 in = ReadCounter(Host, Community, inOid);
    qint64 out = ReadCounter(Host, Community, outOid);
    if (!MonitoringActive.load()) {
        return;
    }
    qint64 inRate = TrafficRate(in, lastIn, seconds, SpeedMbit, PreviousRate(PortId, "curr_traf_in"));
    qint64 outRate = TrafficRate(out, lastOut, seconds, SpeedMbit, PreviousRate(PortId, "curr_traf_out"));
    InsertTrafficSample(db, PortId, in, out, inRate, outRate);
}
