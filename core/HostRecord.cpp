// The host record's one mapping to the host table's row; see HostRecord.h.
#include "core/HostRecord.h"

#include "core/DatabaseLoader.h"
#include "core/HostGridColumns.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

namespace {

int TypeFromText(const QString& Text) {
    bool ok = false;
    const int type = Text.toInt(&ok);
    return ok ? type : -1;
}

} // namespace

THostRecord ReadHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row, THostFields Fields) {
    THostRecord record;
    ReadHostRecord(Grid, Columns, Row, Fields, record);
    return record;
}

void ReadHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row, THostFields Fields,
                    THostRecord& Record) {
    namespace F = HostField;
    const THostColumnIndexes& c = Columns;
    THostRecord& r = Record;
    auto text = [&](int Column) {
        return Grid.Cell(Column, Row).GetAsString();
    };
    auto flag = [&](int Column) {
        return Grid.Cell(Column, Row).GetAsBoolean();
    };
    auto number = [&](int Column) {
        return TextToInt64(text(Column));
    };
    // In the order the engine has always read a host's cells.
    if (Fields & F::Enabled)
        r.Enabled = flag(c.Enabled);
    if (Fields & F::PingCheck)
        r.PingCheck = flag(c.Ping_check);
    if (Fields & F::HttpCheck)
        r.HttpCheck = flag(c.Http_check);
    if (Fields & F::SnmpCheck)
        r.SnmpCheck = flag(c.SNMP_check);
    if (Fields & F::SPingAlarm)
        r.SPingAlarm = flag(c.SPing_alarm);
    if (Fields & F::PortCheck)
        r.PortCheck = flag(c.Port_check);
    if (Fields & F::IP)
        r.IP = text(c.IP);
    if (Fields & F::Host)
        r.Host = text(c.Host);
    if (Fields & F::Comunity)
        r.Comunity = text(c.Comunity);
    if (Fields & F::Kod)
        r.Kod = text(c.Kod_);
    if (Fields & F::SpingKolVo)
        r.SpingKolVo = number(c.Sping_kol_vo);
    if (Fields & F::IcmpCount)
        r.IcmpCount = number(c.ICMP_kol_vo_p);
    if (Fields & F::IcmpStatus)
        r.IcmpStatus = text(c.ICMP_Status);
    if (Fields & F::HttpCount)
        r.HttpCount = number(c.Http_Kol_vo);
    if (Fields & F::HttpStatus)
        r.HttpStatus = text(c.Http_Status);
    if (Fields & F::SnmpCount)
        r.SnmpCount = number(c.SNMP_kol_vo_p);
    if (Fields & F::SnmpStatus)
        r.SnmpStatus = text(c.SNMP_Status);
    if (Fields & F::Status)
        r.Status = text(c.Status);
    if (!(Fields & ~F::Pass))
        return;
    if (Fields & F::Number)
        r.Number = Grid.Cell(c.Number_, Row).GetAsInteger();
    if (Fields & F::Type)
        r.TypeIndex = TypeFromText(text(c.HType));
    if (Fields & F::Note)
        r.Note = text(c.Note_);
    if (Fields & F::Group)
        r.Group = text(c.N_group).toInt();
    if (Fields & F::SPingCheck)
        r.SPingCheck = flag(c.SPing_check);
    if (Fields & F::Alarm_en)
        r.Alarm_en = flag(c.Alarm_en);
    if (Fields & F::Alarm)
        r.Alarm = text(c.Alarm);
    if (Fields & F::Loop_sound)
        r.Loop_sound = flag(c.Loop_sound);
    if (Fields & F::Sound_alarm_enabled)
        r.Sound_alarm_enabled = flag(c.Sound_alarm_enabled);
    if (Fields & F::ICQ_alarm_enabled)
        r.ICQ_alarm_enabled = flag(c.ICQ_alarm_enabled);
    if (Fields & F::ICQ_contacts_list)
        r.ICQ_contacts_list = text(c.ICQ_contacts_list);
    if (Fields & F::Email_alarm_enabled)
        r.Email_alarm_enabled = flag(c.Email_alarm_enabled);
    if (Fields & F::Email_contacts_list)
        r.Email_contacts_list = text(c.Email_contacts_list);
    if (Fields & F::Date_Pod)
        r.Date_Pod = text(c.Date_Pod);
}

void WriteHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row, const THostRecord& Record,
                     THostFields Fields) {
    namespace F = HostField;
    const THostColumnIndexes& c = Columns;
    const THostRecord& r = Record;
    auto text = [&](int Column, const QString& Value) {
        Grid.Cell(Column, Row).SetAsString(Value);
    };
    auto flag = [&](int Column, bool Value) {
        Grid.Cell(Column, Row).SetAsBoolean(Value);
    };
    auto number = [&](int Column, qint64 Value) {
        text(Column, Int64ToText(Value));
    };
    if (Fields & F::Number)
        Grid.Cell(c.Number_, Row).SetAsInteger(r.Number);
    if (Fields & F::Kod)
        text(c.Kod_, r.Kod);
    if (Fields & F::Host)
        text(c.Host, r.Host);
    if (Fields & F::IP)
        text(c.IP, r.IP);
    if (Fields & F::Type) {
        Grid.Cell(c.HType, Row).SetAsInteger(r.TypeIndex);
        Grid.Cell(c.HType2, Row).SetAsInteger(r.TypeIndex);
    }
    if (Fields & F::Note)
        text(c.Note_, r.Note);
    if (Fields & F::Group)
        text(c.N_group, QString::number(r.Group));
    if (Fields & F::Comunity)
        text(c.Comunity, r.Comunity);
    if (Fields & F::Enabled)
        flag(c.Enabled, r.Enabled);
    if (Fields & F::PingCheck)
        flag(c.Ping_check, r.PingCheck);
    if (Fields & F::SnmpCheck)
        flag(c.SNMP_check, r.SnmpCheck);
    if (Fields & F::PortCheck)
        flag(c.Port_check, r.PortCheck);
    if (Fields & F::SPingCheck)
        flag(c.SPing_check, r.SPingCheck);
    if (Fields & F::SPingAlarm)
        flag(c.SPing_alarm, r.SPingAlarm);
    if (Fields & F::HttpCheck)
        flag(c.Http_check, r.HttpCheck);
    if (Fields & F::Alarm_en)
        flag(c.Alarm_en, r.Alarm_en);
    if (Fields & F::Alarm)
        text(c.Alarm, r.Alarm);
    if (Fields & F::Loop_sound)
        flag(c.Loop_sound, r.Loop_sound);
    if (Fields & F::Sound_alarm_enabled)
        flag(c.Sound_alarm_enabled, r.Sound_alarm_enabled);
    if (Fields & F::ICQ_alarm_enabled)
        flag(c.ICQ_alarm_enabled, r.ICQ_alarm_enabled);
    if (Fields & F::ICQ_contacts_list)
        text(c.ICQ_contacts_list, r.ICQ_contacts_list);
    if (Fields & F::Email_alarm_enabled)
        flag(c.Email_alarm_enabled, r.Email_alarm_enabled);
    if (Fields & F::Email_contacts_list)
        text(c.Email_contacts_list, r.Email_contacts_list);
    if (Fields & F::Date_Pod)
        text(c.Date_Pod, r.Date_Pod);
    if (Fields & F::Status)
        text(c.Status, r.Status);
    if (Fields & F::SpingKolVo)
        number(c.Sping_kol_vo, r.SpingKolVo);
    if (Fields & F::IcmpCount)
        number(c.ICMP_kol_vo_p, r.IcmpCount);
    if (Fields & F::IcmpStatus)
        text(c.ICMP_Status, r.IcmpStatus);
    if (Fields & F::HttpCount)
        number(c.Http_Kol_vo, r.HttpCount);
    if (Fields & F::HttpStatus)
        text(c.Http_Status, r.HttpStatus);
    if (Fields & F::SnmpCount)
        number(c.SNMP_kol_vo_p, r.SnmpCount);
    if (Fields & F::SnmpStatus)
        text(c.SNMP_Status, r.SnmpStatus);
}

THostRecord HostRecordFromTexts(const QHash<QString, QString>& Texts) {
    // The host page names the columns as the grid does; a differently cased key still matches.
    auto find = [&](const char* Name) -> const QString* {
        const auto it = Texts.constFind(QLatin1String(Name));
        if (it != Texts.constEnd()) {
            return &*it;
        }
        for (auto i = Texts.constBegin(); i != Texts.constEnd(); ++i) {
            if (i.key().compare(QLatin1String(Name), Qt::CaseInsensitive) == 0) {
                return &i.value();
            }
        }
        return nullptr;
    };
    auto text = [&](const char* Name, QString& Field) {
        if (const QString* value = find(Name)) {
            Field = *value;
        }
    };
    auto flag = [&](const char* Name, bool& Field) {
        bool value = false;
        if (const QString* found = find(Name); found && TextToBoolean(*found, value)) {
            Field = value;
        }
    };
    using namespace HostColumn;
    THostRecord r;
    text(Kod_, r.Kod);
    text(HostColumn::Host, r.Host);
    text(HostColumn::IP, r.IP);
    if (const QString* type = find(HType)) {
        r.TypeIndex = TypeFromText(*type);
    }
    text(Note_, r.Note);
    text(HostColumn::Comunity, r.Comunity);
    flag(HostColumn::Enabled, r.Enabled);
    flag(Ping_check, r.PingCheck);
    flag(SNMP_check, r.SnmpCheck);
    flag(Port_check, r.PortCheck);
    flag(SPing_check, r.SPingCheck);
    flag(SPing_alarm, r.SPingAlarm);
    flag(Http_check, r.HttpCheck);
    flag(HostColumn::Alarm_en, r.Alarm_en);
    text(HostColumn::Alarm, r.Alarm);
    flag(HostColumn::Loop_sound, r.Loop_sound);
    flag(HostColumn::Sound_alarm_enabled, r.Sound_alarm_enabled);
    flag(HostColumn::ICQ_alarm_enabled, r.ICQ_alarm_enabled);
    text(HostColumn::ICQ_contacts_list, r.ICQ_contacts_list);
    flag(HostColumn::Email_alarm_enabled, r.Email_alarm_enabled);
    text(HostColumn::Email_contacts_list, r.Email_contacts_list);
    return r;
}
