// The check thread's pass loop and the five checks.
#include "core/CheckEngine.h"

#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QElapsedTimer>

#include <deque>
#include <exception>

namespace {

const char* const SysDescrOid = "1.3.6.1.2.1.1.1.0";

QString CellText(TDataGrid& Grid, const char* Column, int Row) { return Grid.Cell(Column, Row).GetAsString(); }

qint64 CellNumber(TDataGrid& Grid, const char* Column, int Row) {
    return TextToInt64(Grid.Cell(Column, Row).GetAsString());
}

void SetCellNumber(TDataGrid& Grid, const char* Column, int Row, qint64 Value) {
    Grid.Cell(Column, Row).SetAsString(Int64ToText(Value));
}

THostWriteBack Update(const QString& Column, const QString& Value, const QString& Kod) {
    return {QStringLiteral("UPDATE hosts SET ") + Column + QStringLiteral("= ? where ID=?"), {Value, Kod}};
}

THostSnapshot ReadHostRow(TDataGrid& Hosts, int Row, int ThresholdN, const QString& UpSound) {
    THostSnapshot host;
    host.Enabled = Hosts.Cell("Enabled", Row).GetAsBoolean();
    host.PingCheck = Hosts.Cell("ping_check", Row).GetAsBoolean();
    host.HttpCheck = Hosts.Cell("Http_check", Row).GetAsBoolean();
    host.SnmpCheck = Hosts.Cell("SNMP_check", Row).GetAsBoolean();
    host.SPingAlarm = Hosts.Cell("SPing_alarm", Row).GetAsBoolean();
    host.PortCheck = Hosts.Cell("Port_check", Row).GetAsBoolean();
    host.IP = CellText(Hosts, "IP", Row);
    host.Host = CellText(Hosts, "Host", Row);
    host.Comunity = CellText(Hosts, "Comunity", Row);
    host.Kod = CellText(Hosts, "Kod_", Row);
    host.SpingKolVo = CellNumber(Hosts, "Sping_kol_vo", Row);
    host.ThresholdN = ThresholdN;
    host.UpSound = UpSound;
    host.IcmpCount = CellNumber(Hosts, "ICMP_kol_vo_p", Row);
    host.IcmpStatus = CellText(Hosts, "ICMP_Status", Row);
    host.HttpCount = CellNumber(Hosts, "Http_Kol_vo", Row);
    host.HttpStatus = CellText(Hosts, "Http_Status", Row);
    host.SnmpCount = CellNumber(Hosts, "SNMP_kol_vo_p", Row);
    host.SnmpStatus = CellText(Hosts, "SNMP_Status", Row);
    host.Status = CellText(Hosts, "Status", Row);
    return host;
}

// Whether the grid steps of echo, HTTP, SNMP and the overall state could change anything for a
// host whose row held the snapshot's values: a failure, a counter not at 0, a status showing its
// down text, or an overall state other than OK.
bool MayChange(const THostSnapshot& Host, const THostPassResults& Results, bool SnmpAsked) {
    bool answered = false;
    if (Host.PingCheck) {
        if (!Results.PingError.isEmpty() || Host.IcmpCount != 0 || ContainsText(Host.IcmpStatus, LangText(291))) {
            return true;
        }
        answered = true;
    }
    if (Host.HttpCheck) {
        if (Results.HttpResult.isEmpty() || Host.HttpCount != 0 || ContainsText(Host.HttpStatus, LangText(294))) {
            return true;
        }
        answered = true;
    }
    if (SnmpAsked) {
        if (Results.SnmpReply.isEmpty() || Host.SnmpCount != 0 || ContainsText(Host.SnmpStatus, LangText(296))) {
            return true;
        }
        answered = true;
    }
    return !answered || Host.Status != LangText(277);
}

} // namespace

bool OnGuiThread(const std::function<void()>& Fn) {
    std::exception_ptr error;
    bool ran = Synchronize([&] {
        try {
            Fn();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error) {
        std::rethrow_exception(error);
    }
    return ran;
}

QString HttpProbeText(TMonitorController& Owner, const QString& Host, int PingTimeoutMs) {
    return QString::fromStdString(Owner.Probes().HttpProbe(Host.toStdString(), PingTimeoutMs * 5));
}

TNewThread::TNewThread(TMonitorController& Owner, int PauseMs, int PingTimeoutMs)
    : FOwner(Owner), FPingTimeoutMs(PingTimeoutMs), FPauseMs(PauseMs) {}

void TNewThread::Execute() {
    while (MonitoringActive.load()) {
        if (!WaitForCountdown()) {
            return;
        }
        // Clear the last pass's event queue and take the hosts of this pass in one call.
        std::vector<quint64> handles;
        if (!OnGuiThread([&] {
                if (FOwner.DownHostGrid().RowCount() > 0) {
                    FOwner.ClearEventQueue();
                }
                TDataGrid& hosts = FOwner.Hosts();
                handles.reserve(hosts.RowCount());
                for (int r = 0; r < hosts.RowCount(); ++r) {
                    handles.push_back(hosts.RowHandle(r));
                }
            })) {
            return;
        }
        if (!WalkHosts(handles)) {
            return;
        }
        if (!MonitoringActive.load()) {
            return;
        }
        EndOfPass();
        if (!WorkerDelay(FPauseMs)) {
            return;
        }
    }
}

bool TNewThread::WaitForCountdown() {
    for (;;) {
        bool running = false;
        if (!OnGuiThread([&] { running = FOwner.PassCountdownRunning(); })) {
            return false;
        }
        if (!running) {
            return MonitoringActive.load();
        }
        if (!WorkerDelay(50)) {
            return false;
        }
    }
}

void TNewThread::EndOfPass() {
    // A failure of the dispatcher or the countdown is reported; it never ends this thread.
    Guarded("end of pass", [&] {
        OnGuiThread([&] {
            if (FOwner.DownHostGrid().RowCount() > 0) {
                Guarded("alarm dispatch", [&] { FOwner.DispatchAlarms(); });
            }
            FOwner.StartPassCountdown();
        });
    });
}

bool TNewThread::OnHostRow(quint64 Handle, const std::function<void(int Row)>& Step) {
    bool found = false;
    if (!OnGuiThread([&] {
            int row = FOwner.Hosts().RowByHandle(Handle);
            if (row < 0) {
                return;
            }
            found = true;
            FCurrentRow = row;
            Step(row);
        })) {
        return false;
    }
    return found;
}

void TNewThread::RunWrites(const std::vector<THostWriteBack>& Writes) {
    for (const THostWriteBack& write : Writes) {
        RunHostWrites(FOwner.Database(), write);
    }
}

void TNewThread::ShowProgress(int Line, const QString& Host) {
    FProgressText = (Line < 0 ? QStringLiteral("Traffic check") : LangText(Line)) + QLatin1Char(' ') + Host;
    FOwner.ShowCheckProgress(FProgressText);
}

bool TNewThread::WalkHosts(const std::vector<quint64>& Handles) {
    // Hosts are read ahead in blocks with one call onto the GUI thread each; a block older than
    // a second is read again, so a host is never checked with settings much older than that.
    constexpr qint64 FreshMs = 1000;
    std::deque<THostSnapshot> ahead;
    QElapsedTimer age;
    for (std::size_t i = 0; i < Handles.size();) {
        if (!MonitoringActive.load()) {
            return false;
        }
        if (ahead.empty() || age.elapsed() > FreshMs) {
            ahead.clear();
            if (!OnGuiThread([&] { ReadAhead(Handles, i, ahead); })) {
                return false;
            }
            age.start();
        }
        THostSnapshot host = std::move(ahead.front());
        ahead.pop_front();
        ++i;
        if (!host.Present || !host.Enabled) {
            continue;
        }
        bool goOn = true;
        // One bad row is reported and the pass goes on with the next host.
        Guarded("check of one host", [&] { goOn = CheckHost(host); });
        if (!goOn) {
            return false;
        }
    }
    return MonitoringActive.load();
}

THostSnapshot TNewThread::ReadSnapshot(quint64 Handle) {
    THostSnapshot host;
    host.Handle = Handle;
    int row = FOwner.Hosts().RowByHandle(Handle);
    if (row < 0) {
        return host;
    }
    host = ReadHostRow(FOwner.Hosts(), row, FOwner.Window().ThresholdN(), FOwner.Window().UpSoundText());
    host.Handle = Handle;
    host.Present = true;
    return host;
}

void TNewThread::ReadAhead(const std::vector<quint64>& Handles, std::size_t From, std::deque<THostSnapshot>& Ahead) {
    constexpr std::size_t Block = 256;
    for (std::size_t i = From; i < Handles.size() && i - From < Block; ++i) {
        Ahead.push_back(ReadSnapshot(Handles[i]));
    }
}

bool TNewThread::CheckHost(const THostSnapshot& Host) {
    const quint64 Handle = Host.Handle;
    // A check that is off this pass is never judged by the previous host's answer.
    FHttpResult.clear();
    FPingError.clear();
    FPingSkipped = false;
    FSnmpReply.clear();
    FSnmpTarget.clear();
    // The network parts of echo, HTTP and SNMP first; their grid steps then run in that order in
    // one call onto the GUI thread, which keeps the engine's own cost per host small.
    bool snmpAsked = false;
    if (Host.PingCheck) {
        ProbeIcmp(Host);
    }
    if (Host.HttpCheck && MonitoringActive.load()) {
        ProbeHttp(Host);
    }
    if (Host.SnmpCheck && MonitoringActive.load()) {
        snmpAsked = ProbeSnmp(Host);
    }
    if (!MonitoringActive.load()) {
        return false;
    }
    const bool lateChecks = Host.SPingAlarm || Host.PortCheck;
    std::vector<THostWriteBack> writes;
    std::optional<THostWriteBack> status;
    THostPassResults results{FHttpResult, FPingError, FSnmpReply, FPingSkipped};
    // An echo that could not be sent is neither an answer nor a failure.
    const bool pingAsked = Host.PingCheck && !FPingSkipped;
    THostSnapshot asked = Host;
    asked.PingCheck = pingAsked;
    const bool nothingAsked = !pingAsked && !Host.HttpCheck && !Host.SnmpCheck && Host.PingCheck;
    // A host that answered everything and was already OK in every respect changes nothing: its
    // grid steps are left out, so a healthy host costs no call onto the GUI thread.
    if (!lateChecks && (nothingAsked || !MayChange(asked, results, snmpAsked))) {
        return true;
    }
    bool present = false;
    if (!OnGuiThread([&] {
            int row = FOwner.Hosts().RowByHandle(Handle);
            if (row >= 0) {
                present = true;
                FCurrentRow = row;
                if (pingAsked) {
                    ApplyIcmp(row, Host, writes);
                }
                if (Host.HttpCheck) {
                    ApplyHttp(row, Host, writes);
                }
                if (snmpAsked) {
                    ApplySnmp(row, Host, writes);
                }
                if (!lateChecks) {
                    status = UpdateHostStatus(FOwner.Hosts(), row, results, Host.ThresholdN);
                }
            }
        })) {
        return false;
    }
    RunWrites(writes);
    if (!present) {
        return MonitoringActive.load();
    }
    if (!lateChecks) {
        if (status) {
            RunHostWrites(FOwner.Database(), *status);
        }
        return true;
    }
    if (Host.SPingAlarm && !CheckLatency(Handle, Host)) {
        return MonitoringActive.load();
    }
    if (Host.PortCheck && MonitoringActive.load() && !CheckTraffic(Handle, Host)) {
        return MonitoringActive.load();
    }
    if (!MonitoringActive.load()) {
        return false;
    }
    if (!OnGuiThread([&] {
            int row = FOwner.Hosts().RowByHandle(Handle);
            if (row >= 0) {
                status = UpdateHostStatus(FOwner.Hosts(), row, results, Host.ThresholdN);
            }
        })) {
        return false;
    }
    if (status) {
        RunHostWrites(FOwner.Database(), *status);
    }
    return true;
}

void TNewThread::Record(int Row, const THostSnapshot& Host, const QString& Text, int Colour, const char* Code,
                        std::vector<THostWriteBack>& Writes) {
    THostEventWrites w = QueueHostEvent(FOwner.Hosts(), FOwner.DownHostGrid(), Row, Text, Colour, Code, Host.UpSound);
    Writes.push_back(w.LogInsert);
    Writes.push_back(w.HostsUpdate);
}

void TNewThread::ProbeIcmp(const THostSnapshot& Host) {
    ShowProgress(378, Host.Host);
    TPingOutcome outcome = FOwner.Probes().Ping(Host.IP.toStdString(), FPingTimeoutMs);
    FPingSkipped = outcome.Skipped;
    FPingError = QString::fromStdString(outcome.ErrorDesc);
    if (FPingError == QLatin1String("Unknown error")) {
        FPingError = LangText(289);
    }
}

void TNewThread::ApplyCountedCheck(int Row, const THostSnapshot& Host, const TCountedCheck& Check,
                                   std::vector<THostWriteBack>& Writes) {
    TDataGrid& hosts = FOwner.Hosts();
    TCell& status = hosts.Cell(Check.StatusColumn, Row);
    qint64 count = CellNumber(hosts, Check.CounterColumn, Row);
    if (Check.Failed) {
        SetCellNumber(hosts, Check.CounterColumn, Row, ++count);
    } else {
        if (count != 0) {
            SetCellNumber(hosts, Check.CounterColumn, Row, count = 0);
        }
        if (ContainsText(status.GetAsString(), Check.DownText)) {
            status.SetAsString(Check.UpStatus);
            Record(Row, Host, Check.UpEvent, EventColourLime, "IU", Writes);
        }
    }
    if (count >= Host.ThresholdN && !ContainsText(status.GetAsString(), Check.DownText)) {
        status.SetAsString(Check.DownStatus);
        Record(Row, Host, Check.DownStatus, EventColourRed, "ID", Writes);
    }
}

void TNewThread::ApplyIcmp(int Row, const THostSnapshot& Host, std::vector<THostWriteBack>& Writes) {
    const QString downText = LangText(291);
    ApplyCountedCheck(Row, Host,
                      {"ICMP_Status", "ICMP_kol_vo_p", !FPingError.isEmpty(), downText, LangText(290), LangText(290),
                       downText + QLatin1Char(' ') + FPingError},
                      Writes);
}

void TNewThread::ProbeHttp(const THostSnapshot& Host) {
    ShowProgress(292, Host.Host);
    FHttpProbe = HttpProbeText(FOwner, Host.IP, FPingTimeoutMs);
    FHttpResult = IsHttpDown(FHttpProbe) ? QString() : FHttpProbe;
}

void TNewThread::ApplyHttp(int Row, const THostSnapshot& Host, std::vector<THostWriteBack>& Writes) {
    const QString downText = LangText(294);
    ApplyCountedCheck(Row, Host,
                      {"Http_Status", "Http_Kol_vo", FHttpResult.isEmpty(), downText,
                       QStringLiteral("HTTP check ") + FHttpProbe, LangText(293) + FHttpProbe,
                       downText + QLatin1Char(' ') + FHttpResult},
                      Writes);
}

bool TNewThread::ProbeSnmp(const THostSnapshot& Host) {
    FSnmpTarget = Host.IP;
    if (Host.Comunity.isEmpty() || FSnmpTarget.isEmpty()) {
        return false;
    }
    ShowProgress(295, Host.Host);
    FSnmpReply = QString::fromStdString(
        FOwner.Probes().SnmpGet(FSnmpTarget.toStdString(), Host.Comunity.toStdString(), SysDescrOid));
    return true;
}

void TNewThread::ApplySnmp(int Row, const THostSnapshot& Host, std::vector<THostWriteBack>& Writes) {
    const QString downText = LangText(296);
    const QString upText = LangText(297);
    TDataGrid& hosts = FOwner.Hosts();
    TCell& status = hosts.Cell("SNMP_Status", Row);
    qint64 count = CellNumber(hosts, "SNMP_kol_vo_p", Row);
    if (!FSnmpReply.isEmpty()) {
        if (count != 0) {
            SetCellNumber(hosts, "SNMP_kol_vo_p", Row, count = 0);
        }
    } else {
        SetCellNumber(hosts, "SNMP_kol_vo_p", Row, ++count);
    }
    auto edge = [&](const QString& text, int colour, const char* code) {
        Record(Row, Host, text, colour, code, Writes);
        status.SetAsString(text);
        Writes.push_back(Update(QStringLiteral("SNMP_Status"), text, Host.Kod));
    };
    if (count >= Host.ThresholdN && !ContainsText(status.GetAsString(), downText)) {
        edge(downText, EventColourRed, "SD");
    }
    if (count == 0 && ContainsText(status.GetAsString(), downText)) {
        edge(upText, EventColourLime, "SU");
    }
}

bool TNewThread::CheckLatency(quint64 Handle, const THostSnapshot& Host) {
    std::vector<qint64> samples;
    auto table = FOwner.Database().OpenResultTable(
        QStringLiteral("select * from Ping_data where ID_h=? order by id desc LIMIT ?"),
        {Host.Kod, Host.ThresholdN});
    for (; !table->AtEnd(); table->NextRow()) {
        samples.push_back(TextToInt64(table->FieldTextOrEmpty(2)));
    }
    TLatencyVerdict verdict = JudgeLatency(samples, Host.SpingKolVo);
    const QString problem = LangText(298);
    auto eventText = [&](int wordLine) {
        return LangText(wordLine) + ' ' + LangText(300) + ' ' + QString::number(verdict.Samples) + ' ' +
               LangText(368) + ' ' + QString::number(verdict.Average) + ' ' + LangText(65);
    };
    const QString& upSound = Host.UpSound;
    std::vector<THostWriteBack> writes;
    bool present = OnHostRow(Handle, [&](int row) {
        TDataGrid& hosts = FOwner.Hosts();
        SetCellNumber(hosts, "Avarage_Latency", row, verdict.Average);
        writes.push_back(Update(QStringLiteral("Avarage_Latency"), QString::number(verdict.Average), Host.Kod));
        TCell& status = hosts.Cell("Latency_Status", row);
        auto record = [&](const QString& text, int colour, const char* code) {
            THostEventWrites w = QueueHostEvent(hosts, FOwner.DownHostGrid(), row, text, colour, code, upSound);
            writes.push_back(w.LogInsert);
            writes.push_back(w.HostsUpdate);
        };
        if (verdict.AllOver) {
            qint64 count = CellNumber(hosts, "Latency_kol_vo_p", row) + 1;
            SetCellNumber(hosts, "Latency_kol_vo_p", row, count);
            writes.push_back(Update(QStringLiteral("Latency_kol_vo_p"), Int64ToText(count), Host.Kod));
            if (count > Host.ThresholdN && !ContainsText(status.GetAsString(), problem)) {
                QString text = eventText(298);
                record(text, EventColourYellow, "LP");
                status.SetAsString(text);
                writes.push_back(Update(QStringLiteral("Latency_Status"), text, Host.Kod));
            }
            return;
        }
        SetCellNumber(hosts, "Latency_kol_vo_p", row, 0);
        if (ContainsText(status.GetAsString(), problem)) {
            QString text = eventText(299);
            status.SetAsString(text);
            record(text, EventColourLime, "LU");
        }
    });
    RunWrites(writes);
    return present;
}

bool TNewThread::CheckTraffic(quint64 Handle, const THostSnapshot& Host) {
    ShowProgress(-1, Host.Host);
    auto ports =
        FOwner.Database().OpenResultTable(QStringLiteral("Select * From m_port where ID_h=?"), {Host.Kod});
    for (; !ports->AtEnd(); ports->NextRow()) {
        if (ports->FieldTextOrEmpty(4) != QLatin1String("-1")) {
            continue;
        }
        const QString id = ports->FieldTextOrEmpty(0);
        const QString name = ports->FieldTextOrEmpty(3);
        if (ports->FieldTextOrEmpty(5) == QLatin1String("-1") &&
            !CheckTrafficDirection(Handle, Host, id, name, true, ports->FieldTextOrEmpty(7),
                                   ports->FieldTextOrEmpty(9))) {
            return false;
        }
        if (ports->FieldTextOrEmpty(6) == QLatin1String("-1") &&
            !CheckTrafficDirection(Handle, Host, id, name, false, ports->FieldTextOrEmpty(8),
                                   ports->FieldTextOrEmpty(10))) {
            return false;
        }
    }
    return true;
}

bool TNewThread::CheckTrafficDirection(quint64 Handle, const THostSnapshot& Host, const QString& PortId,
                                       const QString& PortName, bool Inbound, const QString& Threshold,
                                       const QString& Flag) {
    const QString rateColumn = Inbound ? QStringLiteral("Curr_traf_in") : QStringLiteral("Curr_traf_out");
    const QString flagColumn = Inbound ? QStringLiteral("in_notiffication") : QStringLiteral("out_notiffication");
    // Samples written within one second share a time; the id keeps their order.
    auto rates = FOwner.Database().OpenResultTable(QStringLiteral("Select ") + rateColumn +
                                                       QStringLiteral(" From traf_p where ID_p=? order by "
                                                                      "date_time desc, id desc limit 2"),
                                                   {PortId});
    qint64 newest = 0;
    qint64 previous = 0;
    if (!rates->AtEnd()) {
        newest = TextToInt64(rates->FieldTextOrEmpty(0));
        rates->NextRow();
        if (!rates->AtEnd()) {
            previous = TextToInt64(rates->FieldTextOrEmpty(0));
        }
    }
    qint64 threshold = TextToInt64(Threshold);
    if (previous == 0) {
        return true;
    }
    bool alarm = TrafficDropAlarm(previous, newest, threshold);
    const QString update = QStringLiteral("Update m_port set ") + flagColumn + QStringLiteral("=? where id=?");
    if (!alarm) {
        if (Flag != QLatin1String("0")) {
            RunHostWrites(FOwner.Database(), THostWriteBack{update, {QStringLiteral("0"), PortId}});
        }
        return true;
    }
    if (Flag == QLatin1String("-1")) {
        return true;
    }
    RunHostWrites(FOwner.Database(), THostWriteBack{update, {QStringLiteral("-1"), PortId}});
    QString text = LangText(Inbound ? 301 : 302) + ' ' + PortName + ' ' + LangText(303) + ' ' +
                   Int64ToText(threshold) + QStringLiteral("%!");
    const QString& upSound = Host.UpSound;
    THostEventWrites writes;
    bool present = OnHostRow(Handle, [&](int row) {
        writes = QueueHostEvent(FOwner.Hosts(), FOwner.DownHostGrid(), row, text, EventColourYellow, "LP", upSound);
    });
    if (present) {
        RunHostWrites(FOwner.Database(), writes);
    }
    return present;
}
