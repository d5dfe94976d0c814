// The column settings dialog ("Select columns in main grid"): twelve boxes choosing the host
// table's columns. Created last, it is also the start-up settings loader.
#pragma once

#include "core/WindowRoles.h"
#include <QDialog>
#include <QString>

class IMainShell;
class QCheckBox;
class QGroupBox;
class QPushButton;
class TMonitorServices;
struct TSettings;

class TColumn_Form : public QDialog, public IColumnDialog {
    Q_OBJECT

public:
    explicit TColumn_Form(TMonitorServices& Services, QWidget* parent = nullptr);
    int ExecColumns() override { return Execute(); }

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The start-up settings loader: language, first start, settings lines, grid lines, age
    // clean-up of the log tables, sound list, mute and column visibility. A step of the start-up
    // list, right after this window's FormCreate; the syslog server and the messaging sign-on follow.
    void LoadStartupSettings();

    // The twelve boxes' columns shown, every other host-table column hidden, the row height.
    void ApplyColumnVisibility();

    // Reads the language file Name (empty: settings line 47) into the shared texts, after listing
    // the language folder into the options page's "Language:" box.
    void ApplyLanguage(const QString& Name) override;

    // Shows the dialog modally with the boxes as the settings hold them.
    int Execute();

    // Handlers.
    void BitBtn1Click(); // "OK": the boxes into the settings, columns applied, settings saved
    void BitBtn2Click(); // "Cancel": the boxes back as the settings hold them
    void GroupBox1Click() {}

    // The dialog's closing box cancels too.
    void reject() override;

    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBox_Nomer = nullptr;
    QCheckBox* CheckBox_ID = nullptr;
    QCheckBox* CheckBox_Host_Name = nullptr;
    QCheckBox* CheckBox_host_type2 = nullptr;
    QCheckBox* CheckBox_HostIP = nullptr;
    QCheckBox* CheckBox_Status = nullptr;
    QCheckBox* CheckBox_Enabled = nullptr;
    QCheckBox* CheckBox_Tiks = nullptr;
    QCheckBox* CheckBox_last_down = nullptr;
    QCheckBox* CheckBox_note = nullptr;
    QCheckBox* CheckBox_DownTime = nullptr;
    QCheckBox* CheckBox_host_type = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

private:
    // The main window's role; none before it registered.
    IMainShell* Shell() const;
    // The boxes and the settings fields they stand for, in the dialog's order.
    struct TBox {
        QCheckBox* Box;
        bool TSettings::*Member;
    };
    std::vector<TBox> Boxes() const;
    void ShowSettingsInBoxes();

    TMonitorServices* FServices; // set by the constructor, never null
};

extern TColumn_Form* Column_Form;
