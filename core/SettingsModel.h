// The operator's options as one typed set of values: the 49 lines of Settings.cnfg in line
// order, plus the notification options the alarm dispatcher reads. The GUI thread changes them;
// any thread reads an immutable snapshot, so a reader never sees half of a change.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

// One complete set of option values; a default-constructed set holds every default.
struct TSettings {
    // Settings.cnfg, line by line.
    int Delay_spin = 2;                                         // 0: pass delay, s
    int Timeout_Spin = 2000;                                    // 1: ping time-out, ms
    int ploss_spin = 10;                                        // 2: failure threshold N
    bool Alert_CheckBox = true;                                 // 3
    bool Compact_t_CheckBox1 = false;                           // 4
    bool Email_checkbox = false;                                // 5
                                                                // 6-8: always "0"
    bool SysLog_CheckBox = false;                               // 9
    bool Up_sound_CheckBox = true;                              // 10
    QString Up_Sound_Edit = QStringLiteral("magic-wand-1.mp3"); // 11: up sound file
    int HostRowCount = 0;                                       // 12: number of host rows (nothing uses it)
    bool CheckBox_start_with_system = true;                     // 13
    bool Grid_show_CheckBox = true;                             // 14: grid lines
    int Grid_Style_ComboBox = 1;     // 15: 0 vertical only, 1 horizontal only, 2 both
    bool CheckBox_Nomer = true;      // 16
    bool CheckBox_ID = true;         // 17
    bool CheckBox_Host_Name = true;  // 18
    bool CheckBox_HostIP = true;     // 19
    bool CheckBox_host_type = false; // 20, repeated on line 27
    bool CheckBox_host_type2 = true; // 21
    bool CheckBox_Status = true;     // 22
    bool CheckBox_Enabled = true;    // 23
    bool CheckBox_Tiks = true;       // 24
    bool CheckBox_last_down = false; // 25
    bool CheckBox_note = false;      // 26
    int GroupBox2_Width = 158;       // 28: width of the group tree's panel
    bool CheckBox_DownTime = false;  // 29
    bool CheckBox_soundalarm = true; // 30: alarm sounds on
    int IPN_1 = 192;                 // 31-33: first parts of the add-many-hosts range
    int IPN_2 = 168;
    int IPN_3 = 0;
    QString StatusFilterWord;                               // 34: item index of the status filter, as text
    QString CurrentGroupText;                               // 35
    bool ShowAllHosts = false;                              // 36
    bool AutoUpdate_CheckBox1 = true;                       // 37
    int SpinEdit1 = 30;                                     // 38: online page refresh, s
    int check_spin = 3;                                     // 39
    QString Edit_db;                                        // 40: database source file or web address
    bool Synchronize_db_Check = false;                      // 41
    bool ICQ_CheckBox = false;                              // 42
    bool Delete_logs_CheckBox1 = true;                      // 43
    bool Delete_traff_mon_data_CheckBox = true;             // 44
    int Logs_clear_SpinEdit = 5;                            // 45: days
    int traff_m_data_SpinEdit = 15;                         // 46: days
    QString Lang_ComboBox_Text = QStringLiteral("English"); // 47: language name
    int Lang_ComboBox_Index = 0;                            // 48

    // Kept by the notification settings window, read by the dispatcher.
    bool CheckBox_send_if_down = true;
    bool CheckBox_send_if_up = true;
    QString ICQ_UIN_Edit;
    QString ICQ_Password_Edit;

    bool operator==(const TSettings&) const = default;
};

using TSettingsSnapshot = std::shared_ptr<const TSettings>;

// A member of TSettings; monostate for a settings line that holds a fixed text.
using TSettingsMember =
    std::variant<std::monostate, int TSettings::*, bool TSettings::*, QString TSettings::*>;

// One field of TSettings: where it is stored and which values it takes.
struct TSettingsField {
    int Line;         // its Settings.cnfg line; -1 for a field kept in another file
    const char* Name; // the control's name
    TSettingsMember Member;
    int Min = 0; // range of a whole-number field
    int Max = 0;
    const char* FixedText = nullptr; // lines 6-8
};

// The 49 lines of Settings.cnfg: entry i describes line i (line 27 names the member of line 20).
const std::vector<TSettingsField>& SettingsFileLines();
// The fields kept outside Settings.cnfg (the notification options).
const std::vector<TSettingsField>& NotificationSettingsFields();
// The field of a member; raises std::invalid_argument for a member no table lists.
const TSettingsField& SettingsFieldOf(const TSettingsMember& Member);

// Every whole number clamped into its field's range, as a spin box clamps what it is given.
TSettings ClampedSettings(TSettings Values);

class TSettingsModel : public QObject {
    Q_OBJECT
public:
    explicit TSettingsModel(QObject* Parent = nullptr);

    // The current values; any thread. The set never changes, so a reader may keep it as long as
    // it likes (for one host's checks, one dispatch).
    TSettingsSnapshot Snapshot() const;

    // GUI thread only: applies Change to a copy of the current values, clamps the numbers into
    // their ranges and makes the result current. Emits Changed and returns true when anything
    // differs. Raises std::logic_error on any other thread.
    bool Update(const std::function<void(TSettings&)>& Change);
    // The same with a whole set (the settings files' reader).
    bool Replace(const TSettings& Values);

signals:
    // The current values changed (emitted on the GUI thread, outside any lock).
    void Changed();

private:
    mutable std::mutex FLock;
    TSettingsSnapshot FCurrent;
};
