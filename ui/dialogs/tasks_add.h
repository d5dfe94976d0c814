// The add/edit host dialog: the host's fields on "Host info:" and "Alerts", written into a row of
// the host table and into table hosts on OK; the group picker, sound chooser and the tools
// window's latency and traffic pages open from it.
#pragma once

#include "core/HostRecords.h"
#include "core/WindowRoles.h"

#include <QDialog>

#include <functional>

class IToolsWindow;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class TDataGrid;
class TMonitorServices;
struct THostDialogPreset;

// 1 = add, 0 = edit; set by the caller before the dialog is shown.
extern unsigned char TasksFormMode;

class TTasks_form : public QDialog, public IHostDialog {
    Q_OBJECT

public:
    explicit TTasks_form(TMonitorServices& Services, QWidget* parent = nullptr);
    int HostGroup() const override { return SelectedGroup; }
    void SetHostTypes(const QStringList& Names) override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // Opens the dialog for the host page's Add or Edit with the values it gathered; the dialog's
    // result.
    int OpenHost(const THostDialogPreset& Preset) override;
    // Sets the mode and the controls from Preset without showing the dialog.
    void PrepareHost(const THostDialogPreset& Preset);

    // What the controls hold now (the bulk edit reads its values here too).
    THostDialogValues DialogValues() const override;

    // The handlers.
    void BitBtn1Click(); // OK
    void BitBtn2Click(); // Cancel
    void BitBtn3Click(); // Browse
    void BitBtn4Click(); // latency "edit"
    void BitBtn5Click(); // traffic "edit"
    void BitBtn6Click(); // Select (group)
    void Play_sound_buttonClick();

    // The group the host goes into (N_group).
    int SelectedGroup = 0;
    // The bulk edit, shown when OK finds several rows selected (the multiple-hosts dialog by
    // default; tests put their own).
    std::function<void()> OpenMultiEdit;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Host info:"
    QWidget* TabSheet2 = nullptr; // "Alerts"
    QLineEdit* Edit1 = nullptr;   // host name
    QLineEdit* Edit2 = nullptr;   // address
    QComboBox* Edit3 = nullptr;   // host type
    QPlainTextEdit* Edit6 = nullptr;
    QLineEdit* Group_Edit = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QLineEdit* Edit5 = nullptr; // community
    QCheckBox* CheckBox_SNMP_check = nullptr;
    QCheckBox* CheckBox_Ping_check = nullptr;
    QCheckBox* Enable_CheckBox = nullptr;
    QCheckBox* CheckBox_port_monitor = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QCheckBox* CheckBox_sping = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QCheckBox* Http_CheckBox = nullptr;
    QCheckBox* CheckBox_snmp_monitoring = nullptr; // never shown
    QPushButton* BitBtn7 = nullptr;                // never shown
    QCheckBox* CheckBox_Alarm = nullptr;
    QComboBox* Edit4 = nullptr; // sound file
    QPushButton* BitBtn3 = nullptr;
    QPushButton* Play_sound_button = nullptr;
    QCheckBox* CheckBox_loops = nullptr;
    QCheckBox* Sound_alarm_en = nullptr;
    QCheckBox* ICQ_CheckBox = nullptr;
    QLineEdit* ICQ_UIN_Edit = nullptr;
    QCheckBox* Email_alarm_en = nullptr;
    QLineEdit* Email_Edit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QTimer* Timer2 = nullptr;

private:
    void BuildHostInfo();
    void BuildAlerts();
    TDataGrid* Hosts() const;
    // Kod_ of the host the latency and traffic pages open for: the edited row's, else empty.
    QString EditedHostId() const;
    // The tools window, opened on a page by Open, usable over this modal dialog: it is shown
    // modally on top, so the dialog keeps what was typed.
    void RunToolsWindow(const QString& HostId, void (IToolsWindow::*Open)(const QString&));

    TMonitorServices* FServices; // set by the constructor, never null
    int FEditRow = -1;
};

extern TTasks_form* Tasks_form;
