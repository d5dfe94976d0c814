// Event recording and the overall host state.
#include "core/HostStateMachine.h"

#include "core/CheckRules.h"
#include "core/HostGridColumns.h"
#include "core/HostRecord.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

namespace {

QString Text(TDataGrid& Grid, const char* Column, int Row) {
    return Grid.Cell(Column, Row).GetAsString();
}

QStringList RowTexts(TDataGrid& Hosts, int Row, const QStringList& Columns) {
    QStringList values;
    for (const QString& column : Columns) {
        values << Hosts.Cell(column, Row).GetAsString();
    }
    return values;
}

bool IsCheckBoxColumn(const QString& Name) {
    using namespace QueueColumn;
    return Name == QLatin1String(ICQ_e) || Name == QLatin1String(Email_e) || Name == QLatin1String(Sound_e) ||
           Name == QLatin1String(Loop_s);
}

} // namespace

QStringList DownHostGridColumnNames() {
    using namespace QueueColumn;
    return {Num_k, Host_name, Description_, Time_d, State,   ID_,         IP_D,
            Email, Email_e,   ICQ,          ICQ_e,  Sound_e, Alarm_sound, Loop_s};
}

void CreateDownHostGridColumns(TDataGrid& Grid) {
    for (const QString& name : DownHostGridColumnNames()) {
        Grid.AddColumn(IsCheckBoxColumn(name) ? TGxColumnKind::CheckBox : TGxColumnKind::Text, name);
    }
}

THostEventWrites QueueHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, int Row, const QString& Text,
                                int Colour, const QString& Code, const QString& UpSoundText) {
    using namespace HostColumn;
    namespace Q = QueueColumn;
    namespace F = HostField;
    const THostRecord host =
        ReadHostRecord(Hosts, THostColumnIndexes(Hosts), Row,
                       F::Alarm_en | F::Note | F::IP | F::Host | F::ICQ_contacts_list | F::ICQ_alarm_enabled |
                           F::Email_contacts_list | F::Email_alarm_enabled | F::Sound_alarm_enabled |
                           F::Alarm | F::Loop_sound);
    if (host.Alarm_en) {
        const QString& where = host.Note.isEmpty() ? host.IP : host.Note;
        QString name = ClockText(NowDateTime()) + " - " + host.Host + ", " + where;
        int q = DownHostGrid.AddRow();
        DownHostGrid.Cell(Q::Host_name, q).SetAsString(name);
        DownHostGrid.Cell(Q::ICQ, q).SetAsString(host.ICQ_contacts_list);
        DownHostGrid.Cell(Q::ICQ_e, q).SetAsBoolean(host.ICQ_alarm_enabled);
        DownHostGrid.Cell(Q::Email, q).SetAsString(host.Email_contacts_list);
        DownHostGrid.Cell(Q::Email_e, q).SetAsBoolean(host.Email_alarm_enabled);
        DownHostGrid.Cell(Q::Sound_e, q).SetAsBoolean(host.Sound_alarm_enabled);
        if (host.Sound_alarm_enabled) {
            bool alarm = Colour == EventColourRed || Colour == EventColourYellow;
            DownHostGrid.Cell(Q::Alarm_sound, q).SetAsString(alarm ? host.Alarm : UpSoundText);
        }
        DownHostGrid.Cell(Q::Loop_s, q).SetAsBoolean(host.Loop_sound);
        DownHostGrid.Cell(Q::ID_, q).SetAsString(QString::number(Row));
        DownHostGrid.Cell(Q::IP_D, q).SetAsString(host.IP);
        TCell& state = DownHostGrid.Cell(Q::State, q);
        state.SetAsString(Text);
        state.SetCellColor(Colour);
    }
    const QString hostId = ::Text(Hosts, Kod_, Row);
    THostEventWrites writes;
    writes.LogInsert =
        THostStore::EventLogInsert(Int64ToText(UnixTimeFromDateTime(NowDateTime())), Text, Code, hostId);
    writes.HostsUpdate =
        THostStore::EventWriteBack(RowTexts(Hosts, Row, THostStore::EventWriteBackColumns()), hostId);
    return writes;
}

void RunHostWrites(THostStore& Store, const THostEventWrites& Writes) {
    Store.Run(Writes.LogInsert);
    Store.Run(Writes.HostsUpdate);
}

void RecordHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, THostStore& Store, int Row,
                     const QString& Text, int Colour, const QString& Code, const QString& UpSoundText) {
    RunHostWrites(Store, QueueHostEvent(Hosts, DownHostGrid, Row, Text, Colour, Code, UpSoundText));
}

THostStatusWords::THostStatusWords()
    : Ok(LangText(LangLine::StatusOk)), PacketLoss(LangText(LangLine::StatusPacketLoss)),
      Down(LangText(LangLine::StatusDown)), Disabled(LangText(LangLine::StatusDisabled)),
      Unknown(LangText(LangLine::StatusUnknown)) {}

std::optional<THostWriteBack> UpdateHostStatus(TDataGrid& Hosts, int Row, const THostPassResults& Results,
                                               int ThresholdN) {
    return UpdateHostStatus(Hosts, THostColumnIndexes(Hosts), THostStatusWords(), Row, Results, ThresholdN);
}

std::optional<THostWriteBack> UpdateHostStatus(TDataGrid& Hosts, const THostColumnIndexes& Columns,
                                               const THostStatusWords& Words, int Row,
                                               const THostPassResults& Results, int ThresholdN) {
    const QString& okWord = Words.Ok;
    const QString& lossWord = Words.PacketLoss;
    const QString& downWord = Words.Down;
    const QString& disabledWord = Words.Disabled;
    const QString& unknownWord = Words.Unknown;
    const bool http = Hosts.Cell(Columns.Http_check, Row).GetAsBoolean();
    const bool snmp = Hosts.Cell(Columns.SNMP_check, Row).GetAsBoolean();
    const bool pingOn = Hosts.Cell(Columns.Ping_check, Row).GetAsBoolean();
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
    TCell& status = Hosts.Cell(Columns.Status, Row);
    bool changed = false;
    if (!answered) {
        TCell& count = Hosts.Cell(Columns.Kol_vo_p, Row);
        qint64 lost = TextToInt64(count.GetAsString()) + 1;
        count.SetAsString(Int64ToText(lost));
        QString now = status.GetAsString();
        // A host added while monitoring runs has no state word yet: it is Unknown, so its first
        // silent pass shows Packet loss like any other host's.
        bool unknown = now.isEmpty() || now == QLatin1String("Unknown") ||
                       (!unknownWord.isEmpty() && now == unknownWord);
        if (now == okWord || unknown || now == disabledWord) {
            status.SetAsString(lossWord);
            status.SetCellColor(EventColourYellow);
            Hosts.Cell(Columns.Date_Pod, Row).SetAsString(DateTimeToDisplayText(NowDateTime()));
        }
        if (lost >= ThresholdN && status.GetAsString() != downWord) {
            status.SetAsString(downWord);
            status.SetCellColor(EventColourRed);
            Hosts.Cell(Columns.Date_Pod, Row).SetAsString(DateTimeToDisplayText(NowDateTime()));
            changed = true;
        }
    } else if (status.GetAsString() != okWord) {
        status.SetAsString(okWord);
        status.SetCellColor(EventColourLime);
        Hosts.Cell(Columns.Kol_vo_p, Row).SetAsString(QStringLiteral("0"));
        changed = true;
    }
    if (!changed) {
        return std::nullopt;
    }
    return THostStore::StatusWriteBack(RowTexts(Hosts, Row, THostStore::StatusWriteBackColumns()),
                                       Hosts.Cell(Columns.Kod_, Row).GetAsString());
}
