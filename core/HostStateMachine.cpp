// Event recording and the overall host state.
#include "core/HostStateMachine.h"

#include "core/CheckRules.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

namespace {

QString Text(TDataGrid& Grid, const char* Column, int Row) { return Grid.Cell(Column, Row).GetAsString(); }
bool Flag(TDataGrid& Grid, const char* Column, int Row) { return Grid.Cell(Column, Row).GetAsBoolean(); }

// The HTTP counter and status go with the others: left out, a restart would forget an HTTP outage
// and record it again (and its up event could never follow).
const QStringList& EventWriteBackColumns() {
    static const QStringList columns = {"SNMP_kol_vo_p", "Latency_kol_vo_p", "P_lost_kol_vo_p", "ICMP_kol_vo_p",
                                        "ICMP_Status",   "SNMP_Status",      "Latency_Status",  "P_lost_Status",
                                        "Http_Kol_vo",   "Http_Status"};
    return columns;
}

const QStringList& StatusWriteBackColumns() {
    static const QStringList columns = {"Status", "Log", "Kol_vo_p", "Date_Pod"};
    return columns;
}

THostWriteBack HostsUpdate(TDataGrid& Hosts, int Row, const QStringList& Columns, int Width,
                           const QString& Tail) {
    THostWriteBack write;
    write.SQL = QStringLiteral("UPDATE hosts SET ") + PaddedAssignments(Columns, Width) + Tail;
    for (const QString& column : Columns) {
        write.Values << Hosts.Cell(column, Row).GetAsString();
    }
    write.Values << Text(Hosts, "Kod_", Row);
    return write;
}

bool IsCheckBoxColumn(const QString& Name) {
    return Name == QLatin1String("ICQ_e") || Name == QLatin1String("Email_e") || Name == QLatin1String("Sound_e") ||
           Name == QLatin1String("Loop_s");
}

} // namespace

QStringList DownHostGridColumnNames() {
    return {"Num_k", "Host_name", "Description_", "Time_d", "State",   "ID_",         "IP_D",
            "Email", "Email_e",   "ICQ",          "ICQ_e",  "Sound_e", "Alarm_sound", "Loop_s"};
}

void CreateDownHostGridColumns(TDataGrid& Grid) {
    for (const QString& name : DownHostGridColumnNames()) {
        Grid.AddColumn(IsCheckBoxColumn(name) ? TGxColumnKind::CheckBox : TGxColumnKind::Text, name);
    }
}

THostEventWrites QueueHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, int Row, const QString& Text,
                                int Colour, const QString& Code, const QString& UpSoundText) {
    if (Flag(Hosts, "Alarm_en", Row)) {
        QString note = ::Text(Hosts, "Note_", Row);
        QString where = note.isEmpty() ? ::Text(Hosts, "IP", Row) : note;
        QString name = ClockText(NowDateTime()) + " - " + ::Text(Hosts, "Host", Row) + ", " + where;
        int q = DownHostGrid.AddRow();
        DownHostGrid.Cell("Host_name", q).SetAsString(name);
        DownHostGrid.Cell("ICQ", q).SetAsString(::Text(Hosts, "ICQ_contacts_list", Row));
        DownHostGrid.Cell("ICQ_e", q).SetAsBoolean(Flag(Hosts, "ICQ_alarm_enabled", Row));
        DownHostGrid.Cell("Email", q).SetAsString(::Text(Hosts, "Email_contacts_list", Row));
        DownHostGrid.Cell("Email_e", q).SetAsBoolean(Flag(Hosts, "Email_alarm_enabled", Row));
        bool soundOn = Flag(Hosts, "Sound_alarm_enabled", Row);
        DownHostGrid.Cell("Sound_e", q).SetAsBoolean(soundOn);
        if (soundOn) {
            bool alarm = Colour == EventColourRed || Colour == EventColourYellow;
            DownHostGrid.Cell("Alarm_sound", q).SetAsString(alarm ? ::Text(Hosts, "Alarm", Row) : UpSoundText);
        }
        DownHostGrid.Cell("Loop_s", q).SetAsBoolean(Flag(Hosts, "Loop_sound", Row));
        DownHostGrid.Cell("ID_", q).SetAsString(QString::number(Row));
        DownHostGrid.Cell("IP_D", q).SetAsString(::Text(Hosts, "IP", Row));
        TCell& state = DownHostGrid.Cell("State", q);
        state.SetAsString(Text);
        state.SetCellColor(Colour);
    }
    THostEventWrites writes;
    writes.LogInsert.SQL = QStringLiteral("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ? )");
    writes.LogInsert.Values = {Int64ToText(UnixTimeFromDateTime(NowDateTime())), Text, Code,
                               ::Text(Hosts, "Kod_", Row)};
    writes.HostsUpdate = HostsUpdate(Hosts, Row, EventWriteBackColumns(), 26, QStringLiteral(" where ID=?"));
    return writes;
}

void RunHostWrites(TSQLiteDatabase& Database, const THostWriteBack& Write) {
    if (Write.SQL.isEmpty()) {
        return;
    }
    TSQLiteValues values;
    for (const QString& value : Write.Values) {
        values << value;
    }
    try {
        Database.ExecuteStatement(Write.SQL, values);
    } catch (const ESQLiteException&) {
        // Discarded as the check engine asks; the pass goes on. A file that cannot be written is
        // reported by the database layer itself.
    }
}

void RunHostWrites(TSQLiteDatabase& Database, const THostEventWrites& Writes) {
    RunHostWrites(Database, Writes.LogInsert);
    RunHostWrites(Database, Writes.HostsUpdate);
}

void RecordHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, TSQLiteDatabase& Database, int Row,
                     const QString& Text, int Colour, const QString& Code, const QString& UpSoundText) {
    RunHostWrites(Database, QueueHostEvent(Hosts, DownHostGrid, Row, Text, Colour, Code, UpSoundText));
}

std::optional<THostWriteBack> UpdateHostStatus(TDataGrid& Hosts, int Row, const THostPassResults& Results,
                                               int ThresholdN) {
    const QString okWord = LangText(277);
    const QString lossWord = LangText(278);
    const QString downWord = LangText(280);
    const QString disabledWord = LangText(281);
    const bool http = Flag(Hosts, "Http_check", Row);
    const bool snmp = Flag(Hosts, "SNMP_check", Row);
    const bool pingOn = Flag(Hosts, "ping_check", Row);
    const bool ping = pingOn && !Results.PingSkipped;
    // When the only check was an echo that could not be sent, this pass says nothing of the host.
    if (pingOn && !ping && !http && !snmp) {
        return std::nullopt;
    }
    bool answered = false;
    if (http && !Results.HttpResult.isEmpty()) {
        answered = true;
    }
    if (ping && Results.PingError.isEmpty()) {
        answered = true;
    }
    if (snmp && !Results.SnmpReply.isEmpty()) {
        answered = true;
    }
    TCell& status = Hosts.Cell("Status", Row);
    bool changed = false;
    if (!answered) {
        TCell& count = Hosts.Cell("Kol_vo_p", Row);
        qint64 lost = TextToInt64(count.GetAsString()) + 1;
        count.SetAsString(Int64ToText(lost));
        QString now = status.GetAsString();
        bool unknown = now == QLatin1String("Unknown") || (!LangText(399).isEmpty() && now == LangText(399));
        if (now == okWord || unknown || now == disabledWord) {
            status.SetAsString(lossWord);
            status.SetCellColor(EventColourYellow);
            Hosts.Cell("Date_Pod", Row).SetAsString(DateTimeToDisplayText(NowDateTime()));
        }
        if (lost >= ThresholdN && status.GetAsString() != downWord) {
            status.SetAsString(downWord);
            status.SetCellColor(EventColourRed);
            Hosts.Cell("Date_Pod", Row).SetAsString(DateTimeToDisplayText(NowDateTime()));
            changed = true;
        }
    } else if (status.GetAsString() != okWord) {
        status.SetAsString(okWord);
        status.SetCellColor(EventColourLime);
        Hosts.Cell("Kol_vo_p", Row).SetAsString(QStringLiteral("0"));
        changed = true;
    }
    if (!changed) {
        return std::nullopt;
    }
    return HostsUpdate(Hosts, Row, StatusWriteBackColumns(), 25, QStringLiteral("  where ID=?"));
}
