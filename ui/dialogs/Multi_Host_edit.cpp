// The dialog that edits several hosts at once.
#include "ui/dialogs/Multi_Host_edit.h"

#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/MonitorServices.h"
#include "grid/GxGrid.h"
#include "ui/dialogs/HostDialogParts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TMultiple_hosts_edit_form* Multiple_hosts_edit_form = nullptr;

namespace {

bool AskYesCancel(QWidget* Parent, const QString& Question) {
    return QMessageBox::question(Parent, QStringLiteral("Confirm"), Question,
                                 QMessageBox::Yes | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Yes;
}

} // namespace

TMultiple_hosts_edit_form::TMultiple_hosts_edit_form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Multiple_hosts_edit_form"));
    setWindowTitle(QStringLiteral("Multiple hosts edit"));
    auto* layout = new QVBoxLayout(this);
    Label1 = MakeLabel(
        "Label1", QStringLiteral("You try edit multi hosts, please check what you want to change"), this);
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
    using F = TMultiEditField;
    struct TBoxSpec {
        QCheckBox** Box;
        const char* Name;
        const char* Caption;
        F Field;
    };
    const TBoxSpec specs[] = {
        {&Host_name_CheckBox1, "Host_name_CheckBox1", "Name of host", F::Host},
        {&IP_CheckBox1, "IP_CheckBox1", "IP address or domain name", F::IP},
        {&Description_CheckBox1, "Description_CheckBox1", "Description", F::Note},
        {&Group_CheckBox1, "Group_CheckBox1", "Group", F::Group},
        {&Type_CheckBox1, "Type_CheckBox1", "Type of host", F::Type},
        {&CheckBox_Ping_check1, "CheckBox_Ping_check1", "ICMP check", F::Ping_check},
        {&CheckBox_SNMP_check1, "CheckBox_SNMP_check1", "SNMP check", F::SNMP_check},
        {&Enable_CheckBox1, "Enable_CheckBox1", "Enable monitoring", F::Enabled},
        {&Comunity_CheckBox1, "Comunity_CheckBox1", "Community", F::Comunity},
        {&CheckBox_Alarm1, "CheckBox_Alarm1", "Enable alerts", F::Alarm_en},
        {&Sound_file_CheckBox1, "Sound_file_CheckBox1", "Sound file", F::Alarm},
        {&CheckBox_loops1, "CheckBox_loops1", "Loop sound", F::Loop_sound},
        {&Sound_alarm, "Sound_alarm", "Sound alert", F::Sound_alarm_enabled},
        {&ICQ_Check, "ICQ_Check", "ICQ notification", F::ICQ_alarm_enabled},
        {&ICQ_text, "ICQ_text", "ICQ UIN", F::ICQ_contacts_list},
        {&Email_list, "Email_list", "Email list", F::Email_contacts_list},
        {&Email_alarm, "Email_alarm", "Email notification", F::Email_alarm_enabled},
        {&Latency_CheckBox, "Latency_CheckBox", "Latency check", F::SPing_check},
        {&CheckBox_HTTP_Check, "CheckBox_HTTP_Check", "HTTP check", F::Http_check},
    };
    auto* grid = new QGridLayout;
    int index = 0;
    for (const TBoxSpec& spec : specs) {
        *spec.Box = MakeCheck(spec.Name, QString::fromLatin1(spec.Caption), this, false);
        grid->addWidget(*spec.Box, index % 10, index / 10);
        FBoxes.emplace_back(*spec.Box, spec.Field);
        ++index;
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("I confirm"), this);
    BitBtn2 = MakeButton("BitBtn2", QStringLiteral("Cancel"), this);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);

    Confirm = [this](const QString& Question) {
        return AskYesCancel(this, Question);
    };
    const std::pair<QCheckBox*, const char*> risky[] = {
        {Host_name_CheckBox1, "Are you sure you want to change the Name of all the selected hosts?"},
        {IP_CheckBox1, "Are you sure you want to change the IP address of all the selected hosts?"},
        {Description_CheckBox1, "Are you sure you want to change the Description of all the selected hosts?"},
    };
    for (const auto& [box, question] : risky) {
        // clicked: the mouse was released on the box (or the key pressed), never a change from code.
        connect(box, &QCheckBox::clicked, this, [this, box = box, question = question] {
            Guarded("TMultiple_hosts_edit_form.ConfirmRiskyBox",
                    [&] { ConfirmRiskyBox(box, QString::fromLatin1(question)); });
        });
    }
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TMultiple_hosts_edit_form.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TMultiple_hosts_edit_form.BitBtn2Click", [this] { BitBtn2Click(); }); });
}

void TMultiple_hosts_edit_form::FormCreate() {}

void TMultiple_hosts_edit_form::ConfirmRiskyBox(QCheckBox* Box, const QString& Question) {
    // Only a box that became ticked asks; unticking needs no confirmation.
    if (!Box->isChecked() || !Confirm) {
        return;
    }
    if (!Confirm(Question)) {
        Box->setChecked(false);
    }
}

std::set<TMultiEditField> TMultiple_hosts_edit_form::TickedFields() const {
    std::set<TMultiEditField> ticked;
    for (const auto& [box, field] : FBoxes) {
        if (box->isChecked()) {
            ticked.insert(field);
        }
    }
    return ticked;
}

void TMultiple_hosts_edit_form::BitBtn1Click() {
    accept();
    IHostDialog* dialog = FServices->Roles().HostDialog();
    if (!dialog) {
        return;
    }
    TDataGrid& hosts = FServices->DataGrid1();
    const THostDialogValues values = dialog->DialogValues();
    const std::set<TMultiEditField> ticked = TickedFields();
    RunWithProgress(FServices->Roles().Progress(), QStringLiteral("Updating... "), hosts.RowCount() - 1,
                    [&](const std::function<void(int)>& Step) {
                        hosts.BeginUpdate();
                        ApplyMultiEdit(hosts, FServices->HostStore(), values, ticked, Step);
                        hosts.EndUpdate();
                    });
    TSQLiteDatabase& database = FServices->Database();
    if (database.IsOpen() && database.InTransaction()) {
        CycleLongTransaction(database);
    }
}

void TMultiple_hosts_edit_form::BitBtn2Click() {
    reject();
}
