// The "Options" page of the main window: monitoring, alarm and view options bound to the settings
// model, "Save options" with its deferred restart, grid lines, the related dialogs and the export
// of the host list.
#pragma once

#include "core/NotificationSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;
class TDataGrid;
class TMonitorController;
class TSettingsModel;
class TSQLiteDatabase;

// What the page works with besides its own controls; the window owns all of it.
struct TOptionsPageParts {
    TSettingsModel* Settings = nullptr;
    TMonitorController* Controller = nullptr; // the deferred restart of "Save options"
    TSQLiteDatabase* Database = nullptr;      // the host list export
    TDataGrid* HostGrid = nullptr;            // grid lines and their style
    std::function<void()> SaveSettings;
    std::function<bool()> MessagingLoggedIn;
    std::function<void(qint64 UIN, const QString& Password)> MessagingLogin;
    std::function<void(const QString& LanguageName)> ApplyLanguage;
    std::function<void()> ShowAlertTest;                  // the down-alert popup's slide-in
    std::function<void()> ShowColumnDialog;               // modal
    std::function<void()> ShowHostTypes;                  // modal
    std::function<void(int Page)> ShowNotifications;      // the notification dialog on a page, modal
    std::function<TNotificationSettings()> Notifications; // its current fields
};

// The lines of the host list export: "n* IP* Note_" for every host, n from 1, CR LF after each,
// UTF-8. Raises ESQLiteException when the hosts cannot be read.
QByteArray HostListExportText(TSQLiteDatabase& Database);

// The open dialog's filter of "Browse" for the database source.
inline constexpr const char* DatabaseFileFilter = "*.db";
// The file the export proposes.
inline constexpr const char* HostListFileName = "hosts_ips.txt";

class TOptionsPage : public QObject {
    Q_OBJECT

public:
    // Builds the controls on Page under their system names; nothing is bound yet.
    explicit TOptionsPage(QWidget& Page);

    // Binds the controls to the settings model and connects the handlers.
    void Bind(TOptionsPageParts Parts);

    // The host table's grid lines and style, and the style box's enabled state, as the settings
    // hold them (the start-up loader runs this once line 15 is read).
    void ApplyGridLines();
    // The language names of the "Language:" box; the chosen item follows settings line 48.
    void FillLanguages(const QStringList& Names);

    // Handlers.
    void BitBtn23Click(); // "Save options"
    void Delay_spinKeyPress();
    void ploss_spinKeyPress();
    void BitBtn22Click(); // "Test" of the alert window
    void Grid_show_CheckBoxClick();
    void Grid_Style_ComboBoxClick();
    void BitBtn30Click(); // "Column settings"
    void BitBtn31Click(); // "Edit host types"
    void Email_settings_buttonClick();
    void Email_checkboxClick();
    void ICQ_CheckBoxClick();
    void BitBtn37Click(); // "ICQ settings"
    void BitBtn36Click(); // "Browse" for the database source
    void Button3Click();  // "Export list of hosts"

    // "General options"
    QGroupBox* GroupBox_general = nullptr;
    QSpinBox* ploss_spin = nullptr;   // "Alarm when" ... "checks fail", 2-10000, default 10
    QSpinBox* Delay_spin = nullptr;   // "Test delay:" seconds, 1-10000, default 2
    QSpinBox* Timeout_Spin = nullptr; // "Ping timeout:" ms, 2-10000, default 2000
    QSpinBox* check_spin = nullptr;   // "Check count" ... "in one test", 1-10000, default 3
    QCheckBox* CheckBox_start_with_system = nullptr;
    QCheckBox* Synchronize_db_Check = nullptr;
    QLineEdit* Edit_db = nullptr;
    QPushButton* BitBtn36 = nullptr;
    QCheckBox* Delete_logs_CheckBox1 = nullptr;
    QSpinBox* Logs_clear_SpinEdit = nullptr; // days, 1-90, default 5
    QCheckBox* Delete_traff_mon_data_CheckBox = nullptr;
    QSpinBox* traff_m_data_SpinEdit = nullptr; // days, 1-90, default 15
    // Alarm options
    QGroupBox* GroupBox_alarm = nullptr;
    QCheckBox* Alert_CheckBox = nullptr;
    QPushButton* BitBtn22 = nullptr;
    QCheckBox* CheckBox_soundalarm = nullptr;
    QCheckBox* Up_sound_CheckBox = nullptr;
    QLineEdit* Up_Sound_Edit = nullptr;
    QPushButton* Play_sound_button = nullptr;
    QPushButton* Browse_BitBtn = nullptr;
    QCheckBox* Email_checkbox = nullptr;
    QPushButton* Email_settings_button = nullptr;
    QCheckBox* ICQ_CheckBox = nullptr;
    QPushButton* BitBtn37 = nullptr;
    // "View options"
    QGroupBox* GroupBox_view = nullptr;
    QCheckBox* Grid_show_CheckBox = nullptr;
    QComboBox* Grid_Style_ComboBox = nullptr;
    QComboBox* Lang_ComboBox = nullptr;
    QPushButton* BitBtn30 = nullptr;
    QPushButton* BitBtn31 = nullptr;
    QCheckBox* Compact_t_CheckBox1 = nullptr;
    QPushButton* Button3 = nullptr;
    // "Save options"
    QPushButton* BitBtn23 = nullptr;

    // The sound files offered for Up_Sound_Edit (the start-up loader fills them).
    void SetUpSoundList(const QStringList& Names);
    QStringList UpSoundList() const;

    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateGeneral(QWidget& Page);
    void CreateAlarm(QWidget& Page);
    void CreateView(QWidget& Page);
    void BindLanguageBox();
    void BindStyleBox();
    void ConnectHandlers();
    void Save();

    TOptionsPageParts FParts;
    QStringList FUpSounds;
};
