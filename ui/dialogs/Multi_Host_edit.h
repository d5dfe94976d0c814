// The dialog that edits several hosts at once: one box per field of the host dialog; the ticked
// fields are copied to every shown selected host.
#pragma once

#include "core/HostRecords.h"
#include "core/WindowRoles.h"

#include <QDialog>

#include <functional>
#include <set>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class TMonitorServices;

class TMultiple_hosts_edit_form : public QDialog, public IMultiEditDialog {
    Q_OBJECT

public:
    explicit TMultiple_hosts_edit_form(TMonitorServices& Services, QWidget* parent = nullptr);
    int ExecMultiEdit() override { return exec(); }

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // "I confirm": the ticked fields from the host dialog to every shown selected host.
    void BitBtn1Click();
    void BitBtn2Click();
    // The confirmation of a risky box (name, address, description) after a click that ticked it.
    void ConfirmRiskyBox(QCheckBox* Box, const QString& Question);
    // The fields whose boxes are ticked.
    std::set<TMultiEditField> TickedFields() const;

    // Asks Yes/Cancel; true for Yes. Tests answer it themselves.
    std::function<bool(const QString& Question)> Confirm;

    QLabel* Label1 = nullptr;
    QCheckBox* Host_name_CheckBox1 = nullptr;
    QCheckBox* IP_CheckBox1 = nullptr;
    QCheckBox* Description_CheckBox1 = nullptr;
    QCheckBox* Group_CheckBox1 = nullptr;
    QCheckBox* Type_CheckBox1 = nullptr;
    QCheckBox* CheckBox_Ping_check1 = nullptr;
    QCheckBox* CheckBox_SNMP_check1 = nullptr;
    QCheckBox* Enable_CheckBox1 = nullptr;
    QCheckBox* Comunity_CheckBox1 = nullptr;
    QCheckBox* CheckBox_Alarm1 = nullptr;
    QCheckBox* Sound_file_CheckBox1 = nullptr;
    QCheckBox* CheckBox_loops1 = nullptr;
    QCheckBox* Sound_alarm = nullptr;
    QCheckBox* ICQ_Check = nullptr;
    QCheckBox* ICQ_text = nullptr;
    QCheckBox* Email_list = nullptr;
    QCheckBox* Email_alarm = nullptr;
    QCheckBox* Latency_CheckBox = nullptr;
    QCheckBox* CheckBox_HTTP_Check = nullptr;
    QPushButton* BitBtn1 = nullptr; // "I confirm"
    QPushButton* BitBtn2 = nullptr; // "Cancel"

private:
    TMonitorServices* FServices; // set by the constructor, never null
    std::vector<std::pair<QCheckBox*, TMultiEditField>> FBoxes;
};

extern TMultiple_hosts_edit_form* Multiple_hosts_edit_form;
