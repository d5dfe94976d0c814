// The add/edit host dialog: its controls, the save of OK and the buttons around it.
#include "ui/dialogs/tasks_add.h"

#include "core/DatabaseLoader.h"
#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/GroupPickerTree.h"
#include "core/HostDialogPreset.h"
#include "core/HostGrid.h"
#include "core/HostGridColumns.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SoundQueue.h"
#include "grid/GxGrid.h"
#include "platform/MessageBox.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/HostDialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

TTasks_form* Tasks_form = nullptr;
unsigned char TasksFormMode = 1;

TTasks_form::TTasks_form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Tasks_form"));
    setWindowTitle(QStringLiteral("Add Host"));
    auto* layout = new QVBoxLayout(this);
    PageControl1 = Make<QTabWidget>("PageControl1", this);
    layout->addWidget(PageControl1);
    BuildHostInfo();
    BuildAlerts();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("OK"), this);
    BitBtn1->setDefault(true);
    BitBtn2 = MakeButton("BitBtn2", QStringLiteral("Cancel"), this);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(315);
    connect(Timer2, &QTimer::timeout, Timer2, &QTimer::stop);

    BindClick(BitBtn1, "TTasks_form.BitBtn1Click", this, &TTasks_form::BitBtn1Click);
    BindClick(BitBtn2, "TTasks_form.BitBtn2Click", this, &TTasks_form::BitBtn2Click);
    BindClick(BitBtn3, "TTasks_form.BitBtn3Click", this, &TTasks_form::BitBtn3Click);
    BindClick(BitBtn4, "TTasks_form.BitBtn4Click", this, &TTasks_form::BitBtn4Click);
    BindClick(BitBtn5, "TTasks_form.BitBtn5Click", this, &TTasks_form::BitBtn5Click);
    BindClick(BitBtn6, "TTasks_form.BitBtn6Click", this, &TTasks_form::BitBtn6Click);
    BindClick(Play_sound_button, "TTasks_form.Play_sound_buttonClick", this,
              &TTasks_form::Play_sound_buttonClick);
    OpenMultiEdit = [this] {
        if (IMultiEditDialog* edit = FServices->Roles().MultiEdit()) {
            edit->ExecMultiEdit();
        }
    };
}

void TTasks_form::BuildHostInfo() {
    TabSheet1 = Make<QWidget>("TabSheet1", PageControl1);
    PageControl1->addTab(TabSheet1, QStringLiteral("Host info:"));
    auto* form = new QFormLayout(TabSheet1);
    Edit1 = Make<QLineEdit>("Edit1", TabSheet1);
    Edit2 = Make<QLineEdit>("Edit2", TabSheet1);
    Edit3 = Make<QComboBox>("Edit3", TabSheet1);
    Edit6 = Make<QPlainTextEdit>("Edit6", TabSheet1);
    Edit6->setFixedHeight(60);
    Group_Edit = Make<QLineEdit>("Group_Edit", TabSheet1);
    Group_Edit->setReadOnly(true);
    BitBtn6 = MakeButton("BitBtn6", QStringLiteral("Select"), TabSheet1);
    Edit5 = Make<QLineEdit>("Edit5", TabSheet1);
    form->addRow(MakeLabel("Label1", QStringLiteral("Host name:"), TabSheet1), Edit1);
    form->addRow(MakeLabel("Label2", QStringLiteral("IP address or domain name:"), TabSheet1), Edit2);
    form->addRow(MakeLabel("Label3", QStringLiteral("Type of host:"), TabSheet1), Edit3);
    form->addRow(MakeLabel("Label6", QStringLiteral("Description:"), TabSheet1), Edit6);
    auto* group = new QHBoxLayout;
    group->addWidget(Group_Edit);
    group->addWidget(BitBtn6);
    form->addRow(MakeLabel("Label7", QStringLiteral("Group:"), TabSheet1), group);
    form->addRow(MakeLabel("Label5", QStringLiteral("Community:"), TabSheet1), Edit5);

    auto* checks = Make<QGroupBox>("GroupBox1", TabSheet1);
    auto* grid = new QGridLayout(checks);
    CheckBox_SNMP_check = MakeCheck("CheckBox_SNMP_check", QStringLiteral("SNMP check"), checks, false);
    CheckBox_Ping_check = MakeCheck("CheckBox_Ping_check", QStringLiteral("ICMP check"), checks, true);
    CheckBox_Ping_check->setToolTip(QStringLiteral("Send ICMP echo requests to the host"));
    CheckBox_SNMP_check->setToolTip(
        QStringLiteral("Read the device description over SNMP (needs the community)"));
    Enable_CheckBox = MakeCheck("Enable_CheckBox", QStringLiteral("Enable monitoring"), checks, true);
    Http_CheckBox = MakeCheck("Http_CheckBox", QStringLiteral("HTTP check"), checks, false);
    Http_CheckBox->setToolTip(QStringLiteral("Request the host's web page over HTTP"));
    CheckBox_port_monitor =
        MakeCheck("CheckBox_port_monitor", QStringLiteral("Traffic monitoring"), checks, false);
    BitBtn5 = MakeButton("BitBtn5", QStringLiteral("edit"), checks);
    CheckBox_sping = MakeCheck("CheckBox_sping", QStringLiteral("Latency monitoring"), checks, false);
    BitBtn4 = MakeButton("BitBtn4", QStringLiteral("edit"), checks);
    CheckBox_snmp_monitoring =
        MakeCheck("CheckBox_snmp_monitoring", QStringLiteral("SNMP monitoring"), checks, false);
    CheckBox_snmp_monitoring->hide();
    BitBtn7 = MakeButton("BitBtn7", QStringLiteral("edit"), checks);
    BitBtn7->hide();
    grid->addWidget(Enable_CheckBox, 0, 0);
    grid->addWidget(CheckBox_Ping_check, 0, 1);
    grid->addWidget(CheckBox_SNMP_check, 1, 0);
    grid->addWidget(Http_CheckBox, 1, 1);
    grid->addWidget(CheckBox_port_monitor, 2, 0);
    grid->addWidget(BitBtn5, 2, 1, Qt::AlignLeft);
    grid->addWidget(CheckBox_sping, 3, 0);
    grid->addWidget(BitBtn4, 3, 1, Qt::AlignLeft);
    form->addRow(checks);
}

void TTasks_form::BuildAlerts() {
    TabSheet2 = Make<QWidget>("TabSheet2", PageControl1);
    PageControl1->addTab(TabSheet2, QStringLiteral("Alerts"));
    auto* form = new QFormLayout(TabSheet2);
    CheckBox_Alarm = MakeCheck("CheckBox_Alarm", QStringLiteral("Enable alerts"), TabSheet2, true);
    form->addRow(CheckBox_Alarm);
    Edit4 = Make<QComboBox>("Edit4", TabSheet2);
    Edit4->setEditable(true);
    Edit4->setMinimumWidth(180);
    BitBtn3 = MakeButton("BitBtn3", QStringLiteral("Browse"), TabSheet2);
    Play_sound_button = MakeButton("Play_sound_button", QString(), TabSheet2);
    Play_sound_button->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    Play_sound_button->setToolTip(QStringLiteral("Play"));
    auto* sound = new QHBoxLayout;
    sound->addWidget(Edit4, 1);
    sound->addWidget(BitBtn3);
    sound->addWidget(Play_sound_button);
    form->addRow(MakeLabel("Label8", QStringLiteral("Sound file:"), TabSheet2), sound);
    CheckBox_loops = MakeCheck("CheckBox_loops", QStringLiteral("Loop sound"), TabSheet2, false);
    Sound_alarm_en = MakeCheck("Sound_alarm_en", QStringLiteral("Enable sound alert"), TabSheet2, true);
    form->addRow(CheckBox_loops);
    form->addRow(Sound_alarm_en);
    ICQ_CheckBox = MakeCheck("ICQ_CheckBox", QStringLiteral("Enable ICQ notification"), TabSheet2, false);
    ICQ_UIN_Edit = Make<QLineEdit>("ICQ_UIN_Edit", TabSheet2);
    form->addRow(ICQ_CheckBox);
    form->addRow(MakeLabel("Label9", QStringLiteral("UIN:"), TabSheet2), ICQ_UIN_Edit);
    Email_alarm_en =
        MakeCheck("Email_alarm_en", QStringLiteral("Enable email notification"), TabSheet2, false);
    Email_Edit = Make<QLineEdit>("Email_Edit", TabSheet2);
    form->addRow(Email_alarm_en);
    form->addRow(MakeLabel("Label10", QStringLiteral("Email(s):"), TabSheet2), Email_Edit);
}

void TTasks_form::FormCreate() {
    TMonitorServices& Services = *FServices;
    Guarded("TTasks_form.FormCreate", [&Services] {
        if (IMainShell* shell = Services.Roles().Shell()) {
            shell->TitleHostFrame(LangText(123));
        }
    });
}

void TTasks_form::SetHostTypes(const QStringList& Names) {
    FillHostTypeCombo(Edit3, Names);
}

TDataGrid* TTasks_form::Hosts() const {
    return &FServices->DataGrid1();
}

int TTasks_form::OpenHost(const THostDialogPreset& Preset) {
    PrepareHost(Preset);
    return exec();
}

void TTasks_form::PrepareHost(const THostDialogPreset& Preset) {
    const bool add = Preset.Mode == THostDialogPreset::TMode::Add;
    TasksFormMode = add ? 1 : 0;
    setWindowTitle(Preset.Caption.isEmpty() ? QStringLiteral("Add Host") : Preset.Caption);
    SelectedGroup = Preset.GroupNumber < 0 ? 0 : Preset.GroupNumber;
    Group_Edit->setText(Preset.GroupPath);
    FEditRow = Preset.Row;
    TDataGrid* hosts = Hosts();
    THostRecord host = HostRecordFromTexts(Preset.Fields);
    if (!add && Preset.Fields.isEmpty() && hosts && Preset.Row >= 0 && Preset.Row < hosts->RowCount()) {
        host = ReadHostRecord(*hosts, THostColumnIndexes(*hosts), Preset.Row);
    }
    const QString sound = Preset.DownSound.isEmpty() ? QString::fromLatin1(DefaultUpSound) : Preset.DownSound;
    Edit4->clear();
    Edit4->addItems(Preset.SoundFiles);
    // The latency and traffic pages belong to a stored host: a new one has none yet.
    BitBtn4->setEnabled(!add && Preset.Row >= 0);
    BitBtn5->setEnabled(!add && Preset.Row >= 0);
    if (add) {
        Edit1->setText(LangText(284));
        Edit2->clear();
        Edit3->setCurrentIndex(-1);
        Edit6->clear();
        Edit5->clear();
        Edit4->setEditText(sound);
        ICQ_UIN_Edit->clear();
        Email_Edit->clear();
    } else {
        Edit1->setText(host.Host);
        Edit2->setText(host.IP);
        Edit3->setCurrentIndex(host.TypeIndex < Edit3->count() ? host.TypeIndex : -1);
        Edit6->setPlainText(host.Note);
        Edit5->setText(host.Comunity);
        Edit4->setEditText(host.Alarm);
        ICQ_UIN_Edit->setText(host.ICQ_contacts_list);
        Email_Edit->setText(host.Email_contacts_list);
    }
    CheckBox_SNMP_check->setChecked(host.SnmpCheck);
    CheckBox_Ping_check->setChecked(host.PingCheck);
    Enable_CheckBox->setChecked(host.Enabled);
    CheckBox_port_monitor->setChecked(host.PortCheck);
    CheckBox_sping->setChecked(host.SPingCheck);
    Http_CheckBox->setChecked(host.HttpCheck);
    CheckBox_Alarm->setChecked(host.Alarm_en);
    CheckBox_loops->setChecked(host.Loop_sound);
    Sound_alarm_en->setChecked(host.Sound_alarm_enabled);
    ICQ_CheckBox->setChecked(host.ICQ_alarm_enabled);
    Email_alarm_en->setChecked(host.Email_alarm_enabled);
    PageControl1->setCurrentIndex(0);
}

THostDialogValues TTasks_form::DialogValues() const {
    THostDialogValues v;
    v.Host = Edit1->text();
    v.IP = Edit2->text().trimmed();
    v.TypeIndex = Edit3->currentIndex();
    v.Note = Edit6->toPlainText();
    v.Group = SelectedGroup;
    v.Comunity = Edit5->text();
    v.SnmpCheck = CheckBox_SNMP_check->isChecked();
    v.PingCheck = CheckBox_Ping_check->isChecked();
    v.Enabled = Enable_CheckBox->isChecked();
    v.PortCheck = CheckBox_port_monitor->isChecked();
    v.SPingCheck = CheckBox_sping->isChecked();
    v.HttpCheck = Http_CheckBox->isChecked();
    v.Alarm_en = CheckBox_Alarm->isChecked();
    v.Alarm = Edit4->currentText();
    v.Loop_sound = CheckBox_loops->isChecked();
    v.Sound_alarm_enabled = Sound_alarm_en->isChecked();
    v.ICQ_alarm_enabled = ICQ_CheckBox->isChecked();
    v.ICQ_contacts_list = ICQ_UIN_Edit->text();
    v.Email_alarm_enabled = Email_alarm_en->isChecked();
    v.Email_contacts_list = Email_Edit->text();
    return v;
}

void TTasks_form::BitBtn1Click() {
    TDataGrid* hosts = Hosts();
    if (!hosts) {
        return;
    }
    const bool add = TasksFormMode == 1;
    if (add && Edit2->text().trimmed().isEmpty()) {
        ShowMessageBox(LangText(231));
        return;
    }
    THostStore& store = FServices->HostStore();
    if (add) {
        try {
            AddHostRow(*hosts, store, DialogValues());
        } catch (const std::exception& e) {
            const QString why =
                QStringLiteral("The host could not be stored: ") + QString::fromUtf8(e.what());
            AddProgramLog(why);
            ShowMessageBox(why);
        }
    } else {
        const std::vector<int> selected = ShownSelectedRows(*hosts);
        if (selected.size() == 1) {
            EditHostRow(*hosts, store, selected.front(), DialogValues());
        } else if (selected.size() > 1 && OpenMultiEdit) {
            OpenMultiEdit();
        }
    }
    ShowGroupHosts(*hosts, QString::number(SelectedGroup));
    accept();
    TSQLiteDatabase& database = FServices->Database();
    if (database.IsOpen() && database.InTransaction()) {
        CycleLongTransaction(database);
    }
}

void TTasks_form::BitBtn2Click() {
    reject();
}

void TTasks_form::BitBtn3Click() {
    BrowseHostSound(this, Edit4);
}

void TTasks_form::Play_sound_buttonClick() {
    PlayOrStopHostSound(Edit4->currentText());
}

QString TTasks_form::EditedHostId() const {
    TDataGrid* hosts = Hosts();
    if (!hosts || FEditRow < 0 || FEditRow >= hosts->RowCount() || TasksFormMode == 1) {
        return {};
    }
    return hosts->CellText(hosts->ColumnIndex(QLatin1String(HostColumn::Kod_)), FEditRow);
}

void TTasks_form::RunToolsWindow(const QString& HostId, void (IToolsWindow::*Open)(const QString&)) {
    IToolsWindow* tools = FServices->Roles().Tools();
    if (!tools || HostId.isEmpty()) {
        return;
    }
    // Opening shows the window modeless, which this modal dialog would block; shown again
    // modally it takes the input until it is closed.
    tools->HideTools();
    (tools->*Open)(HostId);
    tools->HideTools();
    tools->ExecTools();
}

void TTasks_form::BitBtn4Click() {
    RunToolsWindow(EditedHostId(), &IToolsWindow::OpenLatencyMonitoring);
}

void TTasks_form::BitBtn5Click() {
    RunToolsWindow(EditedHostId(), &IToolsWindow::OpenTrafficMonitoring);
}

void TTasks_form::BitBtn6Click() {
    IGroupPicker* picker = FServices->Roles().GroupPicker();
    if (!picker) {
        return;
    }
    int group = 0;
    QString path;
    if (picker->PickGroup(BuildGroupPickerTree(FServices->HostStore()), group, path)) {
        SelectedGroup = group;
        Group_Edit->setText(path);
    }
}
