#include "core/ColumnVisibility.h"

#include "core/SettingsModel.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

#include <utility>

namespace {

constexpr const char* alwaysHidden[] = {"Alarm",
                                        "Alarm_en",
                                        "Comunity",
                                        "Log",
                                        "Loop_sound",
                                        "Ping_check",
                                        "SNMP_check",
                                        "N_group",
                                        "Avarage_Latency",
                                        "Port_check",
                                        "SPing_alarm",
                                        "SPing_check",
                                        "Sping_kol_vo",
                                        "SNMP_kol_vo_p",
                                        "Latency_kol_vo_p",
                                        "P_lost_kol_vo_p",
                                        "ICMP_kol_vo_p",
                                        "ICMP_Status",
                                        "SNMP_Status",
                                        "Latency_Status",
                                        "P_lost_Status",
                                        "Email_alarm_enabled",
                                        "Email_contacts_list",
                                        "ICQ_alarm_enabled",
                                        "ICQ_contacts_list",
                                        "Sound_alarm_enabled",
                                        "Http_Check",
                                        "Http_Kol_vo",
                                        "Http_Status"};

void SetColumnVisible(TDataGrid& Grid, const char* Name, bool Visible) {
    if (TGxCustomColumn* column = Grid.Columns().ColumnByName(QLatin1String(Name))) {
        column->SetVisible(Visible);
    }
}

} // namespace

void ApplyColumnVisibility(TDataGrid& Grid, const TSettings& S) {
    Grid.BeginUpdate();
    for (const char* name : alwaysHidden) {
        SetColumnVisible(Grid, name, false);
    }
    const std::pair<const char*, bool> chosen[] = {
        {"number_", S.CheckBox_Nomer},      {"Kod_", S.CheckBox_ID},
        {"Host", S.CheckBox_Host_Name},     {"Htype2", S.CheckBox_host_type2},
        {"IP", S.CheckBox_HostIP},          {"Status", S.CheckBox_Status},
        {"Enabled", S.CheckBox_Enabled},    {"Kol_vo_p", S.CheckBox_Tiks},
        {"Date_Pod", S.CheckBox_last_down}, {"Note_", S.CheckBox_note},
        {"TimeDown", S.CheckBox_DownTime},  {"HType", S.CheckBox_host_type},
    };
    for (const auto& [name, visible] : chosen) {
        SetColumnVisible(Grid, name, visible);
    }
    const int height = S.CheckBox_host_type ? PictureRowHeight : PlainRowHeight;
    Grid.SetRowSize(height);
    for (int row = 0; row < Grid.RowCount(); ++row) {
        Grid.SetRowHeight(row, height);
    }
    Grid.EndUpdate();
}
