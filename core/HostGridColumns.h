// Column names of the grids on an event's road, spelled once: the host table DataGrid1 (its
// columns share the names of table hosts), the event queue DownHostGrid and the popups' lists.
// Grid column names match without regard to case.
#pragma once

namespace HostColumn {
inline constexpr const char* Number_ = "number_";
inline constexpr const char* Kod_ = "Kod_"; // hosts.id
inline constexpr const char* Host = "host";
inline constexpr const char* IP = "IP";
inline constexpr const char* HType = "HType";
inline constexpr const char* HType2 = "HType2";
inline constexpr const char* Status = "Status";
inline constexpr const char* Enabled = "Enabled";
inline constexpr const char* Alarm = "Alarm"; // the host's alarm sound
inline constexpr const char* Log = "Log";
inline constexpr const char* Kol_vo_p = "Kol_vo_p";
inline constexpr const char* Alarm_en = "Alarm_en";
inline constexpr const char* Loop_sound = "Loop_sound";
inline constexpr const char* Date_Pod = "Date_Pod";
inline constexpr const char* N_group = "N_group";
inline constexpr const char* Ping_check = "Ping_check";
inline constexpr const char* Comunity = "Comunity";
inline constexpr const char* SNMP_check = "SNMP_check";
inline constexpr const char* Note_ = "Note_";
inline constexpr const char* Port_check = "Port_check";
inline constexpr const char* SPing_alarm = "SPing_alarm";
inline constexpr const char* SPing_check = "SPing_check";
inline constexpr const char* Sping_kol_vo = "Sping_kol_vo";
inline constexpr const char* SNMP_kol_vo_p = "SNMP_kol_vo_p";
inline constexpr const char* Latency_kol_vo_p = "Latency_kol_vo_p";
inline constexpr const char* P_lost_kol_vo_p = "P_lost_kol_vo_p";
inline constexpr const char* ICMP_kol_vo_p = "ICMP_kol_vo_p";
inline constexpr const char* ICMP_Status = "ICMP_Status";
inline constexpr const char* SNMP_Status = "SNMP_Status";
inline constexpr const char* Latency_Status = "Latency_Status";
inline constexpr const char* P_lost_Status = "P_lost_Status";
inline constexpr const char* Avarage_Latency = "Avarage_Latency";
inline constexpr const char* Email_alarm_enabled = "Email_alarm_enabled";
inline constexpr const char* Email_contacts_list = "Email_contacts_list";
inline constexpr const char* ICQ_alarm_enabled = "ICQ_alarm_enabled";
inline constexpr const char* ICQ_contacts_list = "ICQ_contacts_list";
inline constexpr const char* Sound_alarm_enabled = "Sound_alarm_enabled";
inline constexpr const char* Http_check = "Http_check";
inline constexpr const char* Http_Kol_vo = "Http_Kol_vo";
inline constexpr const char* Http_Status = "Http_Status";
} // namespace HostColumn

// The host table's columns of a host record by index: resolved once for many rows, where a
// look-up by name would fold the name again for every cell.
struct THostColumnIndexes {
    template <class TGrid>
    explicit THostColumnIndexes(const TGrid& Hosts)
        : Enabled(Hosts.ColumnIndex(HostColumn::Enabled)),
          Ping_check(Hosts.ColumnIndex(HostColumn::Ping_check)),
          Http_check(Hosts.ColumnIndex(HostColumn::Http_check)),
          SNMP_check(Hosts.ColumnIndex(HostColumn::SNMP_check)),
          SPing_alarm(Hosts.ColumnIndex(HostColumn::SPing_alarm)),
          Port_check(Hosts.ColumnIndex(HostColumn::Port_check)), IP(Hosts.ColumnIndex(HostColumn::IP)),
          Host(Hosts.ColumnIndex(HostColumn::Host)), Comunity(Hosts.ColumnIndex(HostColumn::Comunity)),
          Kod_(Hosts.ColumnIndex(HostColumn::Kod_)),
          Sping_kol_vo(Hosts.ColumnIndex(HostColumn::Sping_kol_vo)),
          ICMP_kol_vo_p(Hosts.ColumnIndex(HostColumn::ICMP_kol_vo_p)),
          ICMP_Status(Hosts.ColumnIndex(HostColumn::ICMP_Status)),
          Http_Kol_vo(Hosts.ColumnIndex(HostColumn::Http_Kol_vo)),
          Http_Status(Hosts.ColumnIndex(HostColumn::Http_Status)),
          SNMP_kol_vo_p(Hosts.ColumnIndex(HostColumn::SNMP_kol_vo_p)),
          SNMP_Status(Hosts.ColumnIndex(HostColumn::SNMP_Status)),
          Status(Hosts.ColumnIndex(HostColumn::Status)), Number_(Hosts.ColumnIndex(HostColumn::Number_)),
          HType(Hosts.ColumnIndex(HostColumn::HType)), HType2(Hosts.ColumnIndex(HostColumn::HType2)),
          Note_(Hosts.ColumnIndex(HostColumn::Note_)), N_group(Hosts.ColumnIndex(HostColumn::N_group)),
          SPing_check(Hosts.ColumnIndex(HostColumn::SPing_check)),
          Alarm_en(Hosts.ColumnIndex(HostColumn::Alarm_en)), Alarm(Hosts.ColumnIndex(HostColumn::Alarm)),
          Loop_sound(Hosts.ColumnIndex(HostColumn::Loop_sound)),
          Sound_alarm_enabled(Hosts.ColumnIndex(HostColumn::Sound_alarm_enabled)),
          ICQ_alarm_enabled(Hosts.ColumnIndex(HostColumn::ICQ_alarm_enabled)),
          ICQ_contacts_list(Hosts.ColumnIndex(HostColumn::ICQ_contacts_list)),
          Email_alarm_enabled(Hosts.ColumnIndex(HostColumn::Email_alarm_enabled)),
          Email_contacts_list(Hosts.ColumnIndex(HostColumn::Email_contacts_list)),
          Date_Pod(Hosts.ColumnIndex(HostColumn::Date_Pod)),
          Kol_vo_p(Hosts.ColumnIndex(HostColumn::Kol_vo_p)) {}
    int Enabled, Ping_check, Http_check, SNMP_check, SPing_alarm, Port_check, IP, Host, Comunity, Kod_,
        Sping_kol_vo, ICMP_kol_vo_p, ICMP_Status, Http_Kol_vo, Http_Status, SNMP_kol_vo_p, SNMP_Status,
        Status, Number_, HType, HType2, Note_, N_group, SPing_check, Alarm_en, Alarm, Loop_sound,
        Sound_alarm_enabled, ICQ_alarm_enabled, ICQ_contacts_list, Email_alarm_enabled, Email_contacts_list,
        Date_Pod, Kol_vo_p;
};

// The event queue DownHostGrid (and the main window's UpHostGrid of the same shape).
namespace QueueColumn {
inline constexpr const char* Num_k = "Num_k";
inline constexpr const char* Host_name = "Host_name";
inline constexpr const char* Description_ = "Description_";
inline constexpr const char* Time_d = "Time_d";
inline constexpr const char* State = "State";
inline constexpr const char* ID_ = "ID_";
inline constexpr const char* IP_D = "IP_D";
inline constexpr const char* Email = "Email";
inline constexpr const char* Email_e = "Email_e";
inline constexpr const char* ICQ = "ICQ";
inline constexpr const char* ICQ_e = "ICQ_e";
inline constexpr const char* Sound_e = "Sound_e";
inline constexpr const char* Alarm_sound = "Alarm_sound";
inline constexpr const char* Loop_s = "Loop_s";
} // namespace QueueColumn

// The lists of the down and up popups (ShowGrid).
namespace PopupColumn {
inline constexpr const char* Host = "Host";
inline constexpr const char* ID_ = "ID_";
inline constexpr const char* Time_d = "Time_d";
inline constexpr const char* State_ = "State_";
} // namespace PopupColumn

// The sound queue Sound_down_grid: column 0 the sound file, column 1 the loop flag.
namespace SoundQueueColumn {
inline constexpr int File = 0;
inline constexpr int Loop = 1;
} // namespace SoundQueueColumn
