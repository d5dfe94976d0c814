// The settings fields' table (lines, names, ranges) and the snapshot swapped under a lock.
#include "core/SettingsModel.h"

#include "core/Synchronize.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace {

using S = TSettings;

TSettingsField Number(int Line, const char* Name, int S::*Member, int Min, int Max) {
    return {Line, Name, Member, Min, Max};
}
TSettingsField Flag(int Line, const char* Name, bool S::*Member) {
    return {Line, Name, Member};
}
TSettingsField Text(int Line, const char* Name, QString S::*Member) {
    return {Line, Name, Member};
}
TSettingsField Fixed(int Line) {
    return {Line, "", std::monostate{}, 0, 0, "0"};
}

std::vector<TSettingsField> MakeFileLines() {
    return {
        Number(0, "Delay_spin", &S::Delay_spin, 1, 10000),
        Number(1, "Timeout_Spin", &S::Timeout_Spin, 2, 10000),
        Number(2, "ploss_spin", &S::ploss_spin, 2, 10000),
        Flag(3, "Alert_CheckBox", &S::Alert_CheckBox),
        Flag(4, "Compact_t_CheckBox1", &S::Compact_t_CheckBox1),
        Flag(5, "Email_checkbox", &S::Email_checkbox),
        Fixed(6),
        Fixed(7),
        Fixed(8),
        Flag(9, "SysLog_CheckBox", &S::SysLog_CheckBox),
        Flag(10, "Up_sound_CheckBox", &S::Up_sound_CheckBox),
        Text(11, "Up_Sound_Edit", &S::Up_Sound_Edit),
        Number(12, "HostRowCount", &S::HostRowCount, 0, INT_MAX),
        Flag(13, "CheckBox_start_with_system", &S::CheckBox_start_with_system),
        Flag(14, "Grid_show_CheckBox", &S::Grid_show_CheckBox),
        Number(15, "Grid_Style_ComboBox", &S::Grid_Style_ComboBox, 0, 2),
        Flag(16, "CheckBox_Nomer", &S::CheckBox_Nomer),
        Flag(17, "CheckBox_ID", &S::CheckBox_ID),
        Flag(18, "CheckBox_Host_Name", &S::CheckBox_Host_Name),
        Flag(19, "CheckBox_HostIP", &S::CheckBox_HostIP),
        Flag(20, "CheckBox_host_type", &S::CheckBox_host_type),
        Flag(21, "CheckBox_host_type2", &S::CheckBox_host_type2),
        Flag(22, "CheckBox_Status", &S::CheckBox_Status),
        Flag(23, "CheckBox_Enabled", &S::CheckBox_Enabled),
        Flag(24, "CheckBox_Tiks", &S::CheckBox_Tiks),
        Flag(25, "CheckBox_last_down", &S::CheckBox_last_down),
        Flag(26, "CheckBox_note", &S::CheckBox_note),
        Flag(27, "CheckBox_host_type", &S::CheckBox_host_type),
        Number(28, "GroupBox2_Width", &S::GroupBox2_Width, 0, 10000),
        Flag(29, "CheckBox_DownTime", &S::CheckBox_DownTime),
        Flag(30, "CheckBox_soundalarm", &S::CheckBox_soundalarm),
        Number(31, "IPN_1", &S::IPN_1, 0, 255),
        Number(32, "IPN_2", &S::IPN_2, 0, 255),
        Number(33, "IPN_3", &S::IPN_3, 0, 255),
        Text(34, "StatusFilterWord", &S::StatusFilterWord),
        Text(35, "CurrentGroupText", &S::CurrentGroupText),
        Flag(36, "ShowAllHosts", &S::ShowAllHosts),
        Flag(37, "AutoUpdate_CheckBox1", &S::AutoUpdate_CheckBox1),
        Number(38, "SpinEdit1", &S::SpinEdit1, 1, 10000),
        Number(39, "check_spin", &S::check_spin, 1, 10000),
        Text(40, "Edit_db", &S::Edit_db),
        Flag(41, "Synchronize_db_Check", &S::Synchronize_db_Check),
        Flag(42, "ICQ_CheckBox", &S::ICQ_CheckBox),
        Flag(43, "Delete_logs_CheckBox1", &S::Delete_logs_CheckBox1),
        Flag(44, "Delete_traff_mon_data_CheckBox", &S::Delete_traff_mon_data_CheckBox),
        Number(45, "Logs_clear_SpinEdit", &S::Logs_clear_SpinEdit, 1, 90),
        Number(46, "traff_m_data_SpinEdit", &S::traff_m_data_SpinEdit, 1, 90),
        Text(47, "Lang_ComboBox", &S::Lang_ComboBox_Text),
        // -1 is the combo box's "no item".
        Number(48, "Lang_ComboBox", &S::Lang_ComboBox_Index, -1, INT_MAX),
    };
}

std::vector<TSettingsField> MakeNotificationFields() {
    return {
        Flag(-1, "CheckBox_send_if_down", &S::CheckBox_send_if_down),
        Flag(-1, "CheckBox_send_if_up", &S::CheckBox_send_if_up),
        Text(-1, "ICQ_UIN_Edit", &S::ICQ_UIN_Edit),
        Text(-1, "ICQ_Password_Edit", &S::ICQ_Password_Edit),
    };
}

const TSettingsField* FindField(const std::vector<TSettingsField>& Fields, const TSettingsMember& Member) {
    for (const TSettingsField& field : Fields) {
        if (field.Member == Member) {
            return &field;
        }
    }
    return nullptr;
}

} // namespace

const std::vector<TSettingsField>& SettingsFileLines() {
    static const std::vector<TSettingsField> lines = MakeFileLines();
    return lines;
}

const std::vector<TSettingsField>& NotificationSettingsFields() {
    static const std::vector<TSettingsField> fields = MakeNotificationFields();
    return fields;
}

const TSettingsField& SettingsFieldOf(const TSettingsMember& Member) {
    const TSettingsField* field = FindField(SettingsFileLines(), Member);
    if (!field) {
        field = FindField(NotificationSettingsFields(), Member);
    }
    if (!field || std::holds_alternative<std::monostate>(Member)) {
        throw std::invalid_argument("not a settings field");
    }
    return *field;
}

TSettings ClampedSettings(TSettings Values) {
    for (const TSettingsField& field : SettingsFileLines()) {
        if (const auto* member = std::get_if<int S::*>(&field.Member)) {
            Values.*(*member) = std::clamp(Values.*(*member), field.Min, field.Max);
        }
    }
    return Values;
}

TSettingsModel::TSettingsModel(QObject* Parent)
    : QObject(Parent), FCurrent(std::make_shared<const TSettings>()) {}

TSettingsSnapshot TSettingsModel::Snapshot() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FCurrent;
}

bool TSettingsModel::Update(const std::function<void(TSettings&)>& Change) {
    TSettings values = *Snapshot();
    Change(values);
    return Replace(values);
}

bool TSettingsModel::Replace(const TSettings& Values) {
    if (!IsMainThread()) {
        throw std::logic_error("settings change outside the GUI thread");
    }
    auto next = std::make_shared<const TSettings>(ClampedSettings(Values));
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (*next == *FCurrent) {
            return false;
        }
        FCurrent = std::move(next);
    }
    emit Changed();
    return true;
}
