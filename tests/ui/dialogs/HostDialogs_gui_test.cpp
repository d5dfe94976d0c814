// The host dialogs on the offscreen screen: add and edit with the empty-address message and the
// bulk edit's hand-over, the group picker, Play and Browse, the bulk edit's confirmations, add-many
// by range and list (also with monitoring running), and the types dialog with LoadHostTypes.
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/HostDialogPreset.h"
#include "core/HostRecords.h"
#include "core/HostStore.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxDisplays.h"
#include "platform/FileDialog.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "tests/core/RecordingAudioChannel.h"
#include "tests/support/FakeTrayIconBackend.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/GroupSelectForm.h"
#include "ui/dialogs/HostDialogParts.h"
#include "ui/dialogs/Multi_Host_edit.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/dialogs/m_tasks_add.h"
#include "ui/dialogs/tasks_add.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/Progress_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Every echo answers at once; nothing goes to the network.
class TInstantProbes : public IHostProbes {
public:
    TPingOutcome Ping(const std::string&, int) override { return {std::string(), 1, false}; }
    std::string HttpProbe(const std::string&, int) override { return "200 OK"; }
    std::string SnmpGet(const std::string&, const std::string&, const std::string&) override { return {}; }
    void CancelAll() override {}
    void ResetCancel() override {}
};

void SaveShot(QWidget& Widget, const QString& Name) {
    const QString dir = qEnvironmentVariable("ZT_SCREENSHOT_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        Widget.grab().save(dir + QLatin1Char('/') + Name);
}

class HostDialogsTest : public ::testing::Test {
protected:
    HostDialogsTest() {
        SetDataFolder(QString::fromStdString(Dir.path()));
        QDir().mkpath(DataFolder() + "Types");
        MonitorDatabase.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(MonitorDatabase);
        Services = std::make_unique<TMonitorServices>(MonitorDatabase, DataFolder(),
                                                      std::make_unique<TInstantProbes>());
        Progress_Form = new TProgress_Form(*Services);
        Add_M_hosts = new TAdd_M_hosts(*Services);
        Multiple_hosts_edit_form = new TMultiple_hosts_edit_form(*Services);
        Group_Select_Form = new TGroup_Select_Form(*Services);
        Tasks_form = new TTasks_form(*Services);
        Types_form = new TTypes_form(*Services);
        Services->Roles().SetProgress(Progress_Form);
        Services->Roles().SetAddMany(Add_M_hosts);
        Services->Roles().SetMultiEdit(Multiple_hosts_edit_form);
        Services->Roles().SetGroupPicker(Group_Select_Form);
        Services->Roles().SetHostDialog(Tasks_form);
        Add_M_hosts->FormCreate();
        Multiple_hosts_edit_form->FormCreate();
        Group_Select_Form->FormCreate();
        Tasks_form->FormCreate();
        Types_form->FormCreate();
        SetMessageBoxHandler([this](const QString&, const QString& Text) { Messages << Text; });
        SetHostDialogAudio(&Audio);
    }
    ~HostDialogsTest() override {
        SetHostDialogAudio(nullptr);
        SetMessageBoxHandler({});
        SetInputBoxHandler({});
        SetFileDialogHandler({});
        TTypes_form::SetMainTypeCombo(nullptr);
        delete Types_form;
        delete Tasks_form;
        delete Group_Select_Form;
        delete Multiple_hosts_edit_form;
        delete Add_M_hosts;
        Services->Roles().SetProgress(nullptr);
        delete Progress_Form;
        Types_form = nullptr;
        Tasks_form = nullptr;
        Group_Select_Form = nullptr;
        Multiple_hosts_edit_form = nullptr;
        Add_M_hosts = nullptr;
        Progress_Form = nullptr;
        Services.reset();
        MonitorDatabase.Close();
        SetDataFolder(QString());
    }
    TDataGrid& Hosts() { return Services->DataGrid1(); }
    QString Text(const char* Column, int Row) {
        return Hosts().CellText(Hosts().ColumnIndex(QLatin1String(Column)), Row);
    }
    QString One(const QString& SQL, const TSQLiteValues& Values = {}) {
        auto t = MonitorDatabase.OpenResultTable(SQL, Values);
        return t->AtEnd() ? QStringLiteral("<none>") : t->FieldTextOrEmpty(0);
    }
    void AddThroughDialog(const QString& Name, const QString& Address, int Group = 1) {
        THostDialogPreset preset;
        preset.Mode = THostDialogPreset::TMode::Add;
        preset.GroupNumber = Group;
        Tasks_form->PrepareHost(preset);
        Tasks_form->Edit1->setText(Name);
        Tasks_form->Edit2->setText(Address);
        Tasks_form->BitBtn1Click();
    }
    void CopyShippedTypes() {
        for (const QString& file : QDir(QStringLiteral(ZT_SOURCE_DIR) + "/Data/Types").entryList(QDir::Files))
            QFile::copy(QStringLiteral(ZT_SOURCE_DIR) + "/Data/Types/" + file,
                        DataFolder() + "Types/" + file);
    }

    zt::test::TempDir Dir;
    std::unique_ptr<TMonitorServices> Services;
    TRecordingAudioChannel Audio;
    QStringList Messages;
};

} // namespace

TEST_F(HostDialogsTest, AddShowsDefaultsRefusesAnEmptyAddressAndStoresTheFirstHostAsKodOne) {
    THostDialogPreset preset;
    preset.Mode = THostDialogPreset::TMode::Add;
    preset.GroupNumber = 4;
    preset.GroupPath = "Servers";
    Tasks_form->PrepareHost(preset);
    EXPECT_EQ(TasksFormMode, 1);
    EXPECT_EQ(Tasks_form->windowTitle(), "Add Host");
    EXPECT_EQ(Tasks_form->PageControl1->tabText(0), "Host info:");
    EXPECT_EQ(Tasks_form->PageControl1->tabText(1), "Alerts");
    EXPECT_EQ(Tasks_form->Edit1->text(), "New Host");
    EXPECT_EQ(Tasks_form->Edit4->currentText(), "magic-wand-1.mp3");
    EXPECT_EQ(Tasks_form->Group_Edit->text(), "Servers");
    EXPECT_TRUE(Tasks_form->CheckBox_Ping_check->isChecked());
    EXPECT_TRUE(Tasks_form->Enable_CheckBox->isChecked());
    EXPECT_TRUE(Tasks_form->CheckBox_Alarm->isChecked());
    EXPECT_TRUE(Tasks_form->Sound_alarm_en->isChecked());
    EXPECT_FALSE(Tasks_form->CheckBox_SNMP_check->isChecked());
    EXPECT_FALSE(Tasks_form->Http_CheckBox->isChecked());
    EXPECT_FALSE(Tasks_form->ICQ_CheckBox->isChecked());
    EXPECT_FALSE(Tasks_form->Email_alarm_en->isChecked());
    EXPECT_FALSE(Tasks_form->CheckBox_snmp_monitoring->isVisibleTo(Tasks_form));
    Tasks_form->show();
    SaveShot(*Tasks_form, "host-dialog-info.png");
    Tasks_form->PageControl1->setCurrentIndex(1);
    SaveShot(*Tasks_form, "host-dialog-alerts.png");
    Tasks_form->PageControl1->setCurrentIndex(0);

    Tasks_form->BitBtn1Click();
    EXPECT_EQ(Messages, QStringList({"Enter the ip address or domain name!"}));
    EXPECT_TRUE(Tasks_form->isVisible());
    EXPECT_EQ(Hosts().RowCount(), 0);
    EXPECT_EQ(One("select count(*) from hosts"), "0");

    MonitorDatabase.StartTransaction();
    Tasks_form->Edit2->setText("127.0.0.1");
    Tasks_form->ICQ_UIN_Edit->setText("4242");
    Tasks_form->BitBtn1Click();
    EXPECT_FALSE(Tasks_form->isVisible());
    ASSERT_EQ(Hosts().RowCount(), 1);
    EXPECT_EQ(Text("Kod_", 0), "1");
    EXPECT_EQ(Text("number_", 0), "1");
    EXPECT_EQ(Text("N_group", 0), "4");
    EXPECT_TRUE(Hosts().GetRowVisible(0));
    // Committed, and a new transaction open.
    EXPECT_TRUE(MonitorDatabase.InTransaction());
    TSQLiteDatabase other(QString::fromStdString(Dir.file("dbm.db")));
    auto stored = other.OpenResultTable("select host, IP, ICQ_contacts_list from hosts");
    ASSERT_EQ(stored->RowCount(), 1);
    EXPECT_EQ(stored->FieldText(0), "New Host");
    EXPECT_EQ(stored->FieldText(1), "127.0.0.1");
    EXPECT_EQ(stored->FieldText(2), "4242");
}

TEST_F(HostDialogsTest, LatencyEditOpensTheToolsWindowModalOverTheHostDialog) {
    AddThroughDialog("edited", "127.0.0.1");
    TPing_tracert_form tools(*Services);
    tools.SetHostGrid(&Hosts());
    Services->Roles().SetTools(&tools);
    THostDialogPreset preset;
    preset.Mode = THostDialogPreset::TMode::Edit, preset.Row = 0;
    Tasks_form->PrepareHost(preset);
    QWidget* modal = nullptr;
    QTimer::singleShot(0, &tools, [&] { modal = QApplication::activeModalWidget(), tools.reject(); });
    Tasks_form->BitBtn4->click();
    Services->Roles().SetTools(nullptr);
    EXPECT_EQ(modal, &tools);
}

TEST_F(HostDialogsTest, AFailedInsertIsSaidAndLeavesNoRow) {
    MonitorDatabase.ExecuteStatement("drop table hosts");
    AddThroughDialog("lost", "127.0.0.1");
    EXPECT_EQ(Hosts().RowCount(), 0);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].startsWith("The host could not be stored: ")) << Messages[0].toStdString();
}

TEST_F(HostDialogsTest, EditFillsTheControlsStoresOneRowAndHandsSeveralToTheBulkEdit) {
    int bulk = 0;
    Tasks_form->OpenMultiEdit = [&] {
        ++bulk;
    };
    AddThroughDialog("one", "127.0.0.1");
    AddThroughDialog("two", "127.0.0.2");
    AddThroughDialog("three", "127.0.0.3");
    EXPECT_EQ(bulk, 0); // add never opens it, whatever is selected
    Hosts().SetRowSelected(1, true);
    THostDialogPreset preset;
    preset.Mode = THostDialogPreset::TMode::Edit;
    preset.Caption = "Edit Host";
    preset.GroupNumber = 1;
    preset.Row = 1;
    Tasks_form->PrepareHost(preset);
    EXPECT_EQ(TasksFormMode, 0);
    EXPECT_EQ(Tasks_form->windowTitle(), "Edit Host");
    EXPECT_EQ(Tasks_form->Edit1->text(), "two");
    EXPECT_EQ(Tasks_form->Edit2->text(), "127.0.0.2");
    EXPECT_TRUE(Tasks_form->Enable_CheckBox->isChecked());
    Tasks_form->Edit1->setText(QStringLiteral("He said \"hi\""));
    Tasks_form->Edit6->setPlainText("IP");
    Tasks_form->Edit5->setText(QString::fromUtf8("сообщество"));
    Tasks_form->Email_alarm_en->setChecked(true);
    Tasks_form->BitBtn1Click();
    EXPECT_EQ(One("select host from hosts where id=2"), "He said \"hi\"");
    EXPECT_EQ(One("select Note_ from hosts where id=2"), "IP");
    EXPECT_EQ(One("select Comunity from hosts where id=2"), QString::fromUtf8("сообщество"));
    EXPECT_EQ(One("select Email_alarm_enabled from hosts where id=2"), "-1");
    EXPECT_EQ(bulk, 0);

    for (int row = 0; row < 3; ++row)
        Hosts().SetRowSelected(row, true);
    Tasks_form->PrepareHost(preset);
    Tasks_form->Edit1->setText("never");
    Tasks_form->BitBtn1Click();
    EXPECT_EQ(bulk, 1);
    EXPECT_EQ(One("select count(*) from hosts where host='never'"), "0");
}

TEST_F(HostDialogsTest, PickerGivesTheGroupsPathAndCloseChangesNothing) {
    THostStore& store = Services->HostStore();
    store.InsertGroup("Servers", 1);
    store.InsertGroup("Late", 9, "3");
    store.InsertGroup("Office", 2, "1");
    store.InsertGroup("Printers", 3, "2");
    THostDialogPreset preset;
    preset.GroupNumber = 1;
    preset.GroupPath = "Servers";
    Tasks_form->PrepareHost(preset);
    QTimer::singleShot(0, [] {
        QTreeWidget* tree = Group_Select_Form->TreeView1;
        const auto found = tree->findItems("Printers", Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1);
        EXPECT_TRUE(tree->findItems("Late", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        tree->setCurrentItem(found[0]);
        SaveShot(*Group_Select_Form, "group-picker.png");
        Group_Select_Form->BitBtn1->click();
    });
    Tasks_form->BitBtn6Click();
    EXPECT_EQ(Tasks_form->Group_Edit->text(), "Servers\\Office\\Printers");
    EXPECT_EQ(Tasks_form->SelectedGroup, 3);

    QTimer::singleShot(0, [] {
        Group_Select_Form->TreeView1->setCurrentItem(Group_Select_Form->TreeView1->topLevelItem(0));
        Group_Select_Form->BitBtn2->click();
    });
    Tasks_form->BitBtn6Click();
    EXPECT_EQ(Tasks_form->Group_Edit->text(), "Servers\\Office\\Printers");
    EXPECT_EQ(Tasks_form->SelectedGroup, 3);
}

TEST_F(HostDialogsTest, PlayStopsASoundThatPlaysAndBrowseStartsInTheSoundsFolder) {
    Tasks_form->Edit4->setEditText("siren.wav");
    Tasks_form->Play_sound_buttonClick();
    EXPECT_EQ(Audio.Calls, QStringList({"create " + DataFolder() + "Sounds/siren.wav", "loop off", "play"}));
    Audio.Calls.clear();
    Tasks_form->Play_sound_buttonClick(); // the sound still plays: it stops, nothing starts
    EXPECT_EQ(Audio.Calls, QStringList({"stop"}));
    EXPECT_FALSE(Audio.Playing);

    QString start;
    QString filter;
    SetFileDialogHandler([&](bool Save, const QString& Start, const QString& Filter) {
        EXPECT_FALSE(Save);
        start = Start;
        filter = Filter;
        return QStringLiteral("/srv/sounds/door.mp3");
    });
    Tasks_form->BitBtn3Click();
    EXPECT_EQ(start, DataFolder() + "Sounds");
    EXPECT_EQ(filter, "All (*.wav *.mp3);;Wav (*.wav);;Mp3 (*.mp3)");
    EXPECT_EQ(Tasks_form->Edit4->currentText(), "/srv/sounds/door.mp3");
    Audio.Calls.clear();
    Add_M_hosts->Edit4->setEditText("/srv/sounds/door.mp3");
    Add_M_hosts->Play_sound_buttonClick();
    EXPECT_EQ(Audio.Calls.value(0), "create /srv/sounds/door.mp3");
}

TEST_F(HostDialogsTest, BulkEditAsksForTheRiskyBoxesAndRenamesShownSelectedRows) {
    TMultiple_hosts_edit_form& form = *Multiple_hosts_edit_form;
    EXPECT_EQ(form.windowTitle(), "Multiple hosts edit");
    EXPECT_EQ(form.findChildren<QCheckBox*>().size(), 19);
    EXPECT_EQ(form.BitBtn1->text(), "I confirm");
    QStringList asked;
    bool answer = false;
    form.Confirm = [&](const QString& Question) {
        asked << Question;
        return answer;
    };
    form.show();
    form.IP_CheckBox1->click(); // Cancel unticks
    EXPECT_FALSE(form.IP_CheckBox1->isChecked());
    answer = true;
    form.Host_name_CheckBox1->click(); // Yes keeps
    EXPECT_TRUE(form.Host_name_CheckBox1->isChecked());
    form.Description_CheckBox1->click();
    form.Description_CheckBox1->click(); // unticking asks nothing
    EXPECT_EQ(asked,
              QStringList({"Are you sure you want to change the IP address of all the selected hosts?",
                           "Are you sure you want to change the Name of all the selected hosts?",
                           "Are you sure you want to change the Description of all the selected hosts?"}));
    form.CheckBox_HTTP_Check->setChecked(true);
    SaveShot(form, "multi-edit.png");

    for (const char* name : {"a", "b", "c", "d"})
        AddThroughDialog(name, "127.0.0.1");
    for (int row = 0; row < 3; ++row)
        Hosts().SetRowSelected(row, true);
    Hosts().SetRowVisible(2, false);
    Tasks_form->Edit1->setText("renamed");
    Tasks_form->Edit2->setText("127.0.0.9");
    Tasks_form->Http_CheckBox->setChecked(true);
    form.BitBtn1Click();
    EXPECT_EQ(Progress_Form->windowTitle(), "Updating... ");
    EXPECT_FALSE(Progress_Form->isVisible());
    EXPECT_EQ(Text("host", 0), "renamed");
    EXPECT_EQ(Text("host", 1), "renamed");
    EXPECT_EQ(Text("host", 2), "c");
    EXPECT_EQ(Text("host", 3), "d");
    EXPECT_EQ(One("select group_concat(host, ',') from hosts"), "renamed,renamed,c,d");
    EXPECT_EQ(One("select group_concat(IP, ',') from hosts"), "127.0.0.1,127.0.0.1,127.0.0.1,127.0.0.1");
    EXPECT_EQ(One("select group_concat(Http_check, ',') from hosts"), "-1,-1,0,0");
}

TEST_F(HostDialogsTest, AddManyRangeClampsMirrorsAndListNamesByLine) {
    TAdd_M_hosts& form = *Add_M_hosts;
    EXPECT_EQ(form.windowTitle(), "Add multiple hosts");
    EXPECT_EQ(form.Edit5->text(), "vorpal");
    EXPECT_EQ(form.Edit4->currentText(), "magic-wand-1.mp3");
    EXPECT_EQ(form.Edit1->text(), "New Host");
    EXPECT_EQ(form.IPN_1->value(), 192);
    form.IPN_1->setValue(127);
    form.IPN_2->setValue(0);
    form.IPN_3->setValue(0);
    EXPECT_EQ(form.IPK_1->text(), "127");
    EXPECT_EQ(form.IPK_2->text(), "0");
    EXPECT_TRUE(form.IPK_1->isReadOnly());
    form.IPN_4->setValue(10);
    form.IPK_4->setValue(5);
    form.ShowPage(0, 1);
    SaveShot(form, "add-many-range.png");
    EXPECT_EQ(form.BitBtn1Click(), 1);
    EXPECT_EQ(form.IPN_4->value(), 5);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Progress_Form->windowTitle(), "Multi adding hosts... ");
    ASSERT_EQ(Hosts().RowCount(), 1);
    EXPECT_EQ(Text("host", 0), "New Host_5");
    EXPECT_EQ(Text("IP", 0), "127.0.0.5");
    EXPECT_EQ(One("select host || ' ' || IP || ' ' || Comunity from hosts"), "New Host_5 127.0.0.5 vorpal");

    form.ShowPage(1, 1);
    form.RichEdit1->setPlainText("127.0.0.20\n127.0.0.21\n\nlocalhost");
    form.RichEdit2->setPlainText("first");
    form.CheckBox_HTTP_Check->setChecked(true);
    SaveShot(form, "add-many-list.png");
    EXPECT_EQ(form.RichEdit1->toPlainText(), "127.0.0.20\n127.0.0.21\n\nlocalhost");
    EXPECT_EQ(form.BitBtn1Click(), 3);
    ASSERT_EQ(Hosts().RowCount(), 4);
    EXPECT_EQ(Text("host", 1), "New Host_0");
    EXPECT_EQ(Text("host", 2), "New Host_1");
    EXPECT_EQ(Text("host", 3), "New Host_3");
    EXPECT_EQ(Text("number_", 3), "4");
    EXPECT_EQ(One("select group_concat(Note_, ',') from hosts where id>1"), "first,,");
    EXPECT_EQ(One("select group_concat(Http_check, ',') from hosts where id>1"), "-1,-1,-1");
    form.ClearClick();
    EXPECT_TRUE(form.RichEdit1->toPlainText().isEmpty());
    EXPECT_TRUE(form.RichEdit2->toPlainText().isEmpty());
}

TEST_F(HostDialogsTest, AddManySizesItselfToTheShownPage) {
    TAdd_M_hosts& form = *Add_M_hosts;
    form.ShowPage(0, 1);
    const int range = form.PageControl1->height();
    EXPECT_LE(range, form.TabSheet1->findChild<QGroupBox*>("GroupBox1")->sizeHint().height() + 60);
    form.ShowPage(1, 1);
    EXPECT_GT(form.PageControl1->height(), range + 60); // the list page keeps its text boxes' height
    form.hide();
}

TEST_F(HostDialogsTest, AddManyNamePresetFollowsTheLanguageButKeepsATypedName) {
    TAdd_M_hosts& form = *Add_M_hosts;
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(zt::test::SourcePath("Data")), "German"));
    form.ShowPage(0, 1);
    EXPECT_EQ(form.Edit1->text(), LangText(284));
    EXPECT_NE(form.Edit1->text(), QStringLiteral("New Host"));
    form.Edit1->setText(QStringLiteral("lab"));
    LangTexts::UseBuiltInEnglish();
    form.ShowPage(0, 1);
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("lab"));
    form.hide();
}

TEST_F(HostDialogsTest, AddManyWithMonitoringOnPausesItAndRestartsOneCheckThread) {
    AddThroughDialog("shown", "127.0.0.1");
    TMonitorController& monitor = Services->Controller();
    ASSERT_TRUE(monitor.BitBtn7Click());
    ASSERT_TRUE(MonitoringActive.load());
    ASSERT_TRUE(ProcessEventsUntil([&] { return monitor.RunningCheckThreads() == 1; }, 5000));
    TAdd_M_hosts& form = *Add_M_hosts;
    form.IPN_1->setValue(127);
    form.IPN_2->setValue(0);
    form.IPN_3->setValue(0);
    form.IPN_4->setValue(1);
    form.IPK_4->setValue(254);
    form.ShowPage(0, 1);
    EXPECT_EQ(form.BitBtn1Click(), 254);
    ASSERT_EQ(Hosts().RowCount(), 255);
    EXPECT_EQ(Text("number_", 1), "2");
    EXPECT_EQ(Text("number_", 254), "255");
    EXPECT_EQ(Text("IP", 254), "127.0.0.254");
    EXPECT_EQ(One("select count(*) from hosts"), "255");
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return !monitor.RestartPending() && MonitoringActive.load(); }, 10000));
    EXPECT_TRUE(ProcessEventsUntil([&] { return monitor.RunningCheckThreads() == 1; }, 5000));
    ProcessEventsFor(200);
    EXPECT_EQ(monitor.RunningCheckThreads(), 1);
    monitor.Shutdown(2000);
}

TEST_F(HostDialogsTest, ProgressWindowWidensToItsWholeTitle) {
    Progress_Form->setFont(QFont(Progress_Form->font().family(), 13));
    const QString caption = QString::fromUtf8("Zorvanite Tarnequill Pro - Внимание! 100%");
    Progress_Form->SetCaption(caption);
    EXPECT_GT(Progress_Form->width(), QFontMetrics(Progress_Form->font()).horizontalAdvance(caption) + 100);
}

TEST_F(HostDialogsTest, TypesEditAndDeleteWithoutATypeSayWhatIsMissing) {
    Types_form->TypesFolder = DataFolder() + "Types";
    Types_form->LoadHostTypes();
    Types_form->Edit_bClick();
    Types_form->Delete_bClick();
    EXPECT_EQ(Messages, QStringList(2, "No host type is chosen. Choose a type in the list first."));
}

TEST_F(HostDialogsTest, TypesSpreadToTheCombosAndAddEditDeleteKeepPicturesAndHosts) {
    CopyShippedTypes();
    QComboBox mainCombo;
    TTypes_form::SetMainTypeCombo(&mainCombo);
    TTypes_form& form = *Types_form;
    form.TypesFolder = DataFolder() + "Types";
    form.LoadHostTypes();
    EXPECT_EQ(form.windowTitle(), "Types of host");
    EXPECT_EQ(form.TypeNames(), QStringList({"Server", "Router", "Switch", "Printer", "Workstation"}));
    EXPECT_EQ(form.ImageList1->Count(), 5);
    EXPECT_EQ(form.ImageList1->Width(), 100);
    EXPECT_EQ(form.ImageList1->Height(), 85);
    ASSERT_EQ(Tasks_form->Edit3->count(), 5);
    EXPECT_EQ(Tasks_form->Edit3->currentIndex(), -1);
    EXPECT_EQ(Add_M_hosts->Edit3->itemText(4), "Workstation");
    EXPECT_EQ(Add_M_hosts->Edit3->currentIndex(), -1);
    ASSERT_EQ(mainCombo.count(), 6);
    EXPECT_EQ(mainCombo.itemText(5), "All");
    EXPECT_EQ(mainCombo.currentIndex(), 5);
    form.show();
    SaveShot(form, "types.png");

    // A cancelled name adds nothing.
    QStringList queries;
    std::optional<QString> name;
    SetInputBoxHandler([&](const QString& Caption, const QString& Prompt, const QString& Value) {
        queries << Caption + "|" + Prompt + "|" + Value;
        return name;
    });
    QString picture;
    SetFileDialogHandler([&](bool, const QString&, const QString& Filter) {
        EXPECT_EQ(Filter, "Pictures (*.jpg *.jpeg *.bmp *.ico)");
        return picture;
    });
    form.Add_Click();
    EXPECT_EQ(queries, QStringList({"Input name of new type|Name of new type|New type of host"}));
    EXPECT_EQ(form.TypeNames().size(), 5);
    // A cancelled picture still adds the row, with a placeholder in its place.
    name = "Camera";
    form.Add_Click();
    EXPECT_EQ(form.TypeNames().last(), "Camera");
    EXPECT_EQ(form.ImageList1->Count(), 6);
    EXPECT_FALSE(QFile::exists(form.TypesFolder + "/Camera.bmp"));
    // A .jpg is saved as a 100 x 85 bitmap.
    QImage photo(320, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    ASSERT_TRUE(photo.save(QString::fromStdString(Dir.file("lamp.jpg")), "JPG"));
    name = "Lamp";
    picture = QString::fromStdString(Dir.file("lamp.jpg"));
    form.Add_Click();
    const QImage saved(form.TypesFolder + "/Lamp.bmp", "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(100, 85));
    EXPECT_EQ(form.ImageList1->Count(), 7);
    // "../x" is refused.
    name = "../x";
    picture.clear();
    form.Add_Click();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].startsWith("\"../x\" cannot be a type name")) << Messages[0].toStdString();
    EXPECT_EQ(form.TypeNames().size(), 7);
    // A rename without a picture renames the file.
    form.DataGrid1->SetSelectedRow(0);
    name = "Host server";
    form.Edit_bClick();
    EXPECT_EQ(queries.last(), "Input new name of type|New name of type|Server");
    EXPECT_EQ(form.TypeNames().first(), "Host server");
    EXPECT_TRUE(QFile::exists(form.TypesFolder + "/Host server.bmp"));
    EXPECT_FALSE(QFile::exists(form.TypesFolder + "/Server.bmp"));
    EXPECT_EQ(Tasks_form->Edit3->itemText(0), "Host server");

    // Deleting the first type: a host of the second still has its type.
    THostDialogPreset preset;
    preset.GroupNumber = 1;
    Tasks_form->PrepareHost(preset);
    Tasks_form->Edit2->setText("127.0.0.1");
    Tasks_form->Edit3->setCurrentIndex(1);
    Tasks_form->BitBtn1Click();
    ASSERT_EQ(Text("HType", 0), "1");
    form.DataGrid1->SetSelectedRow(0);
    form.Delete_bClick();
    EXPECT_EQ(form.TypeNames().first(), "Router");
    EXPECT_EQ(Text("HType", 0), "0");
    EXPECT_EQ(Text("HType2", 0), "0");
    EXPECT_EQ(One("select HType || HType2 from hosts"), "00");
    EXPECT_EQ(form.TypeNames().value(Text("HType", 0).toInt()), "Router");
    EXPECT_FALSE(QFile::exists(form.TypesFolder + "/Host server.bmp"));
    EXPECT_EQ(form.ImageList1->Count(), 6);
}

// The main window's role as the host dialog sees it: only the host frame's caption is asked.
struct TFrameShell : IMainShell {
    QString Prefix;
    void ShowMainWindow() override {}
    void FillLanguages(const QStringList&) override {}
    void LanguageApplied(const LangTextTable&, const LangTextTable&) override {}
    void ApplyGridLines() override {}
    void SetUpSounds(const QStringList&) override {}
    void StartSyslogServer() override {}
    void SaveSettings() override {}
    void TitleHostFrame(const QString& P) override { Prefix = P; }
};

TEST_F(HostDialogsTest, FormCreateCaptionsTheMainWindowsHostFrameWithTheFirstGroup) {
    LangTexts::UseBuiltInEnglish();
    // A frame of the same name in another window is not the main window's.
    QWidget other;
    auto* foreign = new QGroupBox(&other);
    foreign->setObjectName("GroupBox3");
    foreign->setTitle("Ping");
    TFrameShell shell;
    Services->Roles().SetShell(&shell);
    Tasks_form->FormCreate();
    Services->Roles().SetShell(nullptr);
    EXPECT_EQ(shell.Prefix, "Hosts:");
    EXPECT_EQ(foreign->title(), "Ping");
}

TEST_F(HostDialogsTest, AddManyAfterAFailureStillClosesTheProgressAndRestartsMonitoring) {
    AddThroughDialog("shown", "127.0.0.1");
    TMonitorController& monitor = Services->Controller();
    ASSERT_TRUE(monitor.BitBtn7Click());
    ASSERT_TRUE(ProcessEventsUntil([&] { return monitor.RunningCheckThreads() == 1; }, 5000));
    MonitorDatabase.ExecuteStatement("create trigger refuse before insert on hosts "
                                     "begin select raise(abort, 'refused'); end");
    TAdd_M_hosts& form = *Add_M_hosts;
    form.ShowPage(1, 1);
    form.RichEdit1->setPlainText("127.0.0.2\n127.0.0.3");
    EXPECT_EQ(form.BitBtn1Click(), 0);
    EXPECT_EQ(Hosts().RowCount(), 1);
    EXPECT_FALSE(Progress_Form->isVisible());
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return !monitor.RestartPending() && MonitoringActive.load(); }, 10000));
    EXPECT_TRUE(ProcessEventsUntil([&] { return monitor.RunningCheckThreads() == 1; }, 5000));
    monitor.Shutdown(2000);
}
