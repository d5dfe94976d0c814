// One host as the host table DataGrid1 holds it: the fields the check engine, the alarm dispatcher,
// the host dialogs and their stores read and write, each mapped to its column in one place.
#pragma once

#include <QHash>
#include <QString>

class TDataGrid;
struct THostColumnIndexes;

struct THostRecord {
    int Number = 0; // number_, the row's place in the table
    QString Kod;    // Kod_ (hosts.id)
    QString Host;
    QString IP;
    int TypeIndex = -1; // HType and HType2
    QString Note;       // Note_
    int Group = 0;      // N_group
    QString Comunity;
    bool Enabled = true;
    bool PingCheck = true; // Ping_check
    bool SnmpCheck = false;
    bool PortCheck = false;
    bool SPingCheck = false;
    bool SPingAlarm = false;
    bool HttpCheck = false;
    bool Alarm_en = true;
    QString Alarm; // the down sound file
    bool Loop_sound = false;
    bool Sound_alarm_enabled = true;
    bool ICQ_alarm_enabled = false;
    QString ICQ_contacts_list;
    bool Email_alarm_enabled = false;
    QString Email_contacts_list;
    QString Date_Pod;
    // The row's state as the checks leave it.
    QString Status;
    qint64 SpingKolVo = 0; // Sping_kol_vo
    qint64 IcmpCount = 0;  // ICMP_kol_vo_p
    QString IcmpStatus;
    qint64 HttpCount = 0; // Http_Kol_vo
    QString HttpStatus;
    qint64 SnmpCount = 0; // SNMP_kol_vo_p
    QString SnmpStatus;
};

// Which fields of a record a read or write takes, one bit per field.
using THostFields = quint64;
namespace HostField {
enum : THostFields {
    Number = 1ull << 0,
    Kod = 1ull << 1,
    Host = 1ull << 2,
    IP = 1ull << 3,
    Type = 1ull << 4,
    Note = 1ull << 5,
    Group = 1ull << 6,
    Comunity = 1ull << 7,
    Enabled = 1ull << 8,
    PingCheck = 1ull << 9,
    SnmpCheck = 1ull << 10,
    PortCheck = 1ull << 11,
    SPingCheck = 1ull << 12,
    SPingAlarm = 1ull << 13,
    HttpCheck = 1ull << 14,
    Alarm_en = 1ull << 15,
    Alarm = 1ull << 16,
    Loop_sound = 1ull << 17,
    Sound_alarm_enabled = 1ull << 18,
    ICQ_alarm_enabled = 1ull << 19,
    ICQ_contacts_list = 1ull << 20,
    Email_alarm_enabled = 1ull << 21,
    Email_contacts_list = 1ull << 22,
    Date_Pod = 1ull << 23,
    Status = 1ull << 24,
    SpingKolVo = 1ull << 25,
    IcmpCount = 1ull << 26,
    IcmpStatus = 1ull << 27,
    HttpCount = 1ull << 28,
    HttpStatus = 1ull << 29,
    SnmpCount = 1ull << 30,
    SnmpStatus = 1ull << 31,
    All = (1ull << 32) - 1,
    // What the check engine reads of every host each pass.
    Pass = Enabled | PingCheck | HttpCheck | SnmpCheck | SPingAlarm | PortCheck | IP | Host | Comunity | Kod |
           SpingKolVo | IcmpCount | IcmpStatus | HttpCount | HttpStatus | SnmpCount | SnmpStatus | Status,
    // What the add/edit host dialog shows and sets.
    Dialog = Host | IP | Type | Note | Group | Comunity | SnmpCheck | PingCheck | Enabled | PortCheck |
             SPingCheck | HttpCheck | Alarm_en | Alarm | Loop_sound | Sound_alarm_enabled |
             ICQ_alarm_enabled | ICQ_contacts_list | Email_alarm_enabled | Email_contacts_list,
};
} // namespace HostField

// The Fields of the record in grid row Row; Columns resolved for this grid.
THostRecord ReadHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row,
                           THostFields Fields = HostField::All);
void ReadHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row, THostFields Fields,
                    THostRecord& Record);
// Sets the Fields of grid row Row from Record: Boolean cells as Booleans, Type into HType and
// HType2, the counters as their decimal text.
void WriteHostRecord(TDataGrid& Grid, const THostColumnIndexes& Columns, int Row, const THostRecord& Record,
                     THostFields Fields);

// The record from a row's texts by column name (any case), as the host page hands a row to the
// host dialog; a field missing or unreadable keeps the record's default.
THostRecord HostRecordFromTexts(const QHash<QString, QString>& Texts);
