// The column settings dialog and the start-up settings loader it runs when created.
#include "ui/main/column_options.h"

#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SettingsFiles.h"
#include "core/TextConversions.h"
#include "ui/main/LanguageTargets.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <vector>

TColumn_Form* Column_Form = nullptr;

namespace {

QCheckBox* MakeBox(const char* Name, const char* Caption, QWidget* Parent) {
    auto* box = new QCheckBox(QString::fromUtf8(Caption), Parent);
    box->setObjectName(QLatin1String(Name));
    return box;
}

QStringList ReadSettingsFile() {
    const auto bytes = ReadSettingsFile(DataFolder() + QStringLiteral("Settings.cnfg"));
    return bytes ? FileTextToLines(*bytes) : QStringList();
}

} // namespace

TColumn_Form::TColumn_Form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services) {
    setObjectName(QStringLiteral("Column_Form"));
    setWindowTitle(QStringLiteral("Select columns in main grid"));
    auto* layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Columns settings"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* boxes = new QVBoxLayout(GroupBox1);
    // Captions and defaults of the dialog; the settings model shows its values in them when bound.
    CheckBox_Nomer = MakeBox("CheckBox_Nomer", "Number", GroupBox1);
    CheckBox_ID = MakeBox("CheckBox_ID", "ID", GroupBox1);
    CheckBox_Host_Name = MakeBox("CheckBox_Host_Name", "Host name", GroupBox1);
    CheckBox_host_type2 = MakeBox("CheckBox_host_type2", "Type of host", GroupBox1);
    CheckBox_HostIP = MakeBox("CheckBox_HostIP", "IP or domain name", GroupBox1);
    CheckBox_Status = MakeBox("CheckBox_Status", "Status", GroupBox1);
    CheckBox_Enabled = MakeBox("CheckBox_Enabled", "Enable\\Disable host", GroupBox1);
    CheckBox_Tiks = MakeBox("CheckBox_Tiks", "Event counter", GroupBox1);
    CheckBox_last_down = MakeBox("CheckBox_last_down", "Last down state date and time", GroupBox1);
    CheckBox_note = MakeBox("CheckBox_note", "Description", GroupBox1);
    CheckBox_DownTime = MakeBox("CheckBox_DownTime", "Down time", GroupBox1);
    CheckBox_host_type = MakeBox("CheckBox_host_type", "Image type of host", GroupBox1);
    for (const TBox& box : Boxes()) {
        boxes->addWidget(box.Box);
    }
    ShowSettingsInBoxes();
    layout->addWidget(GroupBox1);
    auto* buttons = new QHBoxLayout;
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TColumn_Form.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TColumn_Form.BitBtn2Click", [this] { BitBtn2Click(); }); });
}

std::vector<TColumn_Form::TBox> TColumn_Form::Boxes() const {
    return {
        {CheckBox_Nomer, &TSettings::CheckBox_Nomer},
        {CheckBox_ID, &TSettings::CheckBox_ID},
        {CheckBox_Host_Name, &TSettings::CheckBox_Host_Name},
        {CheckBox_host_type2, &TSettings::CheckBox_host_type2},
        {CheckBox_HostIP, &TSettings::CheckBox_HostIP},
        {CheckBox_Status, &TSettings::CheckBox_Status},
        {CheckBox_Enabled, &TSettings::CheckBox_Enabled},
        {CheckBox_Tiks, &TSettings::CheckBox_Tiks},
        {CheckBox_last_down, &TSettings::CheckBox_last_down},
        {CheckBox_note, &TSettings::CheckBox_note},
        {CheckBox_DownTime, &TSettings::CheckBox_DownTime},
        {CheckBox_host_type, &TSettings::CheckBox_host_type},
    };
}

void TColumn_Form::ShowSettingsInBoxes() {
    // The snapshot is held while read: the model may replace its current one meanwhile.
    const TSettingsSnapshot values = FServices->Settings().Snapshot();
    for (const TBox& box : Boxes()) {
        box.Box->setChecked((*values).*box.Member);
    }
}

IMainShell* TColumn_Form::Shell() const {
    return FServices->Roles().Shell();
}

void TColumn_Form::FormCreate() {}

void TColumn_Form::ApplyLanguage(const QString& Name) {
    const QStringList names = ListFolderFiles(DataFolder() + QStringLiteral("lang_files"));
    if (IMainShell* shell = Shell()) {
        shell->FillLanguages(names);
    }
    QString name = Name;
    if (name.isEmpty()) {
        const QStringList lines = ReadSettingsFile();
        // No settings yet, or too short to name one: the language a first start would choose.
        if (lines.size() >= static_cast<int>(SettingsFileLines().size()) && !lines[47].isEmpty()) {
            name = lines[47];
        } else {
            name = FirstLanguageName();
            FServices->Settings().Update([&](TSettings& s) {
                s.Lang_ComboBox_Text = name;
                s.Lang_ComboBox_Index = names.indexOf(name);
            });
        }
    }
    // A file that cannot be read changes nothing: every text stays in the language it was.
    const std::shared_ptr<const LangTextTable> old = LangTexts::Snapshot();
    int lineCount = 0;
    if (!LangTexts::Load(DataFolder(), name, &lineCount)) {
        return;
    }
    const std::shared_ptr<const LangTextTable> texts = LangTexts::Snapshot();
    ApplyLangTargetsToAllWindows(*texts, lineCount);
    if (IMainShell* shell = Shell()) {
        shell->LanguageApplied(*old, *texts);
    }
}

void TColumn_Form::LoadStartupSettings() {
    ApplyLanguage(QString());
    TSettingsModel& model = FServices->Settings();
    // A first start shows the window; the language loader chose the system's language for it.
    if (!QFile::exists(DataFolder() + QStringLiteral("Settings.cnfg"))) {
        if (IMainShell* shell = Shell()) {
            shell->ShowMainWindow();
        }
    }
    // Each line is read on its own: a missing or bad line keeps its default and the rest still
    // apply. Lines 40 and 47 belong to the database and language loaders; the settings model
    // holds them too so the next save writes them back.
    const QStringList lines = ReadSettingsFile();
    if (!lines.isEmpty()) {
        TSettings values = *model.Snapshot();
        std::vector<int> which = StartupSettingsLines();
        // Lines 35 and 36 describe the group on show, which the database load has chosen already;
        // taken from the file they would make the filters act on a group nobody chose.
        std::erase_if(which, [](int Line) { return Line == 35 || Line == 36; });
        which.push_back(40);
        which.push_back(47);
        ApplySettingsLines(lines, which, values);
        // The name on line 47 chooses the language; an index saved when other files were there
        // must not choose another one at the next save.
        const int listed =
            ListFolderFiles(DataFolder() + QStringLiteral("lang_files")).indexOf(values.Lang_ComboBox_Text);
        if (listed >= 0) {
            values.Lang_ComboBox_Index = listed;
        }
        model.Replace(values);
    }
    ShowSettingsInBoxes();
    // The grid-line style applies once line 15 is read.
    if (IMainShell* shell = Shell()) {
        shell->ApplyGridLines();
    }
    // The clean-up, the sound list and the mute run whatever the file held.
    DeleteAgedRows(FServices->Database(), *model.Snapshot(), CurrentLocalUnixTime());
    if (IMainShell* shell = Shell()) {
        shell->SetUpSounds(ListFolderFiles(DataFolder() + QStringLiteral("Sounds")));
    }
    ApplyColumnVisibility();
}

void TColumn_Form::ApplyColumnVisibility() {
    ::ApplyColumnVisibility(FServices->DataGrid1(), *FServices->Settings().Snapshot());
}

int TColumn_Form::Execute() {
    ShowSettingsInBoxes();
    return exec();
}

void TColumn_Form::BitBtn1Click() {
    FServices->Settings().Update([this](TSettings& s) {
        for (const TBox& box : Boxes()) {
            s.*box.Member = box.Box->isChecked();
        }
    });
    ApplyColumnVisibility();
    if (IMainShell* shell = Shell()) {
        shell->SaveSettings();
    }
    accept();
}

void TColumn_Form::BitBtn2Click() {
    reject();
}

void TColumn_Form::reject() {
    // A cancelled choice is no choice: the next start must not apply it either.
    ShowSettingsInBoxes();
    QDialog::reject();
}
