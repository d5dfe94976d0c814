// The add-many-hosts dialog: hosts by address range or list.
#pragma once

#include "core/HostRecords.h"
#include "core/WindowRoles.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TMonitorServices;

class TAdd_M_hosts : public QDialog, public IAddManyDialog {
    Q_OBJECT

public:
    explicit TAdd_M_hosts(TMonitorServices& Services, QWidget* parent = nullptr);
    int ExecuteAddMany(int Group) override { return Execute(Group); }
    void SetHostTypes(const QStringList& Names) override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The main window's entry: page 0 (range) or 1 (list), for the hosts of group Group.
    void ShowPage(int Page, int Group);
    // "Add Many Hosts": the dialog, modal, for the hosts of group Group, its range starting from the
    // kept one (Settings lines 31-33). Returns the dialog's result.
    int Execute(int Group);

    // OK: adds the hosts with monitoring paused. Returns how many were added.
    int BitBtn1Click();
    void BitBtn2Click(); // Cancel
    void ClearClick();   // empties both lists
    void BrowseClick();
    void Play_sound_buttonClick();

    // The hosts the dialog's page describes now (after the range's clamp).
    std::vector<TBulkHostEntry> Entries();
    TBulkHostDefaults Defaults() const;

    int SelectedGroup = 0;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "IP Address Range"
    QWidget* TabSheet2 = nullptr; // "List of Hosts"
    QSpinBox* IPN_1 = nullptr;
    QSpinBox* IPN_2 = nullptr;
    QSpinBox* IPN_3 = nullptr;
    QSpinBox* IPN_4 = nullptr;
    QLineEdit* IPK_1 = nullptr;
    QLineEdit* IPK_2 = nullptr;
    QLineEdit* IPK_3 = nullptr;
    QSpinBox* IPK_4 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr; // one host per line
    QPlainTextEdit* RichEdit2 = nullptr; // line i describes host i
    QPushButton* Clear_button = nullptr;
    QComboBox* Edit3 = nullptr; // type
    QLineEdit* Edit5 = nullptr; // community
    QComboBox* Edit4 = nullptr; // sound file
    QPushButton* Browse_button = nullptr;
    QPushButton* Play_sound_button = nullptr;
    QLineEdit* Edit1 = nullptr; // names begin with
    QCheckBox* CheckBox_Alarm = nullptr;
    QCheckBox* CheckBox_loops = nullptr;
    QCheckBox* CheckBox_Ping_check = nullptr;
    QCheckBox* CheckBox_SNMP_check = nullptr;
    QCheckBox* CheckBox_HTTP_Check = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

private:
    void BuildRangePage();
    void BuildListPage();
    QWidget* BuildDetails();
    // Shows page Page and sizes the dialog to it rather than to the taller other page.
    void FitToPage(int Page);
    int AddHosts(const std::vector<TBulkHostEntry>& Entries);
    void RenewNamePreset();

    QString FNamePreset; // the name preset last put into Edit1

    TMonitorServices* FServices; // set by the constructor, never null
};

extern TAdd_M_hosts* Add_M_hosts;
