// The language loader: every line reaches the controls the generated target table names, in every
// window the program builds; short, missing and repeated files; the choice of the file; the status
// words already in the host table.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/SettingsModel.h"
#include "grid/GxGrid.h"
#include "platform/MessageBox.h"
#include "tests/support/ProgramGlobals.h"
#include "tests/support/TestSupport.h"
#include "ui/main/HostPageView.h"
#include "ui/main/LanguageTargets.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Controls a line names that this program's windows do not have: the options page has no choice of
// mail server (the e-mail settings dialog holds it).
const std::set<std::string> AbsentControls = {"Form1.Label25", "Form1.RadioButton1", "Form1.RadioButton2"};

std::string Key(const TLangTarget& Target) {
    return std::string(Target.Window) + "." + Target.Control;
}

QWidget* Window(const char* Name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(Name))
            return window;
    return nullptr;
}

// What every target shows, keyed by its row.
std::vector<QString> Snapshot() {
    std::vector<QString> texts;
    for (const TLangTarget& target : LangTargets()) {
        QWidget* window = Window(target.Window);
        texts.push_back(window ? LangTargetText(*window, target) : QString());
    }
    return texts;
}

std::string Lines(int Count, const std::function<std::string(int)>& Text) {
    std::string bytes;
    for (int line = 0; line < Count; ++line)
        bytes += Text(line) + "\r\n";
    return bytes;
}

std::string Tag(int Line) {
    char tag[8];
    std::snprintf(tag, sizeof tag, "L%03d", Line);
    return tag;
}

class LanguageLoader : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        QDir().mkpath(QString::fromStdString(Data.file("lang_files")));
        zt::test::ResetProgramGlobals();
    }
    void TearDown() override {
        DestroyForms();
        MonitorDatabase.Close();
        SetMessageBoxHandler({});
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        ResetShutdownRequest();
        LangTexts::UseBuiltInEnglish();
    }
    void Start() {
        CreateForms();
        ASSERT_NE(Form1, nullptr);
        ASSERT_NE(Column_Form, nullptr);
        SetProgramLogSink([this](const QString& Line) { Log << Line; });
    }
    void Language(const std::string& Name, const std::string& Bytes) {
        zt::test::WriteFile(Data.file("lang_files/" + Name), Bytes);
    }
    void Shipped(const char* Name) {
        Language(Name, zt::test::ReadFile(zt::test::SourcePath(std::string("Data/lang_files/") + Name)));
    }
    void Settings(int Count, const QString& Name, int Index) {
        TSettings values;
        values.Lang_ComboBox_Text = Name;
        values.Lang_ComboBox_Index = Index;
        const QStringList lines = SettingsFileLinesOf(values).mid(0, Count);
        QFile file(QString::fromStdString(Data.file("Settings.cnfg")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LinesToFileText(lines));
    }
    zt::test::TempDir Data;
    QStringList Log;
};

TEST_F(LanguageLoader, EveryTargetOfTheBuiltWindowsExistsAndEveryMainWindowLineHasARow) {
    Start();
    std::set<int> lines;
    for (const TLangTarget& target : LangTargets()) {
        lines.insert(target.Line);
        QWidget* window = Window(target.Window);
        ASSERT_NE(window, nullptr) << "no window " << target.Window;
        if (AbsentControls.count(Key(target))) {
            EXPECT_EQ(FindLangTarget(*window, target), nullptr) << Key(target);
            continue;
        }
        EXPECT_NE(FindLangTarget(*window, target), nullptr)
            << "line " << target.Line << ": " << Key(target) << " property " << target.Property << " "
            << target.Column << target.Item;
        // One control of that name, so the row cannot reach a namesake by chance.
        if (*target.Control)
            EXPECT_EQ(window->findChildren<QObject*>(QLatin1String(target.Control)).size(), 1) << Key(target);
    }
    std::vector<int> expected;
    for (int line = 0; line <= 108; ++line)
        if (line != 1 && line != 16 && line != 38 && line != 93) // unused, and 38 only for code
            expected.push_back(line);
    for (int line = 251; line <= 261; ++line)
        expected.push_back(line);
    for (int line : {382, 393, 394, 402, 157, 158, 159, 160})
        expected.push_back(line);
    for (int line : expected)
        EXPECT_TRUE(lines.count(line)) << "line " << line << " has no target";
}

TEST_F(LanguageLoader, ACompleteFilePutsItsLineOnEveryTargetAndCaptionsMadeFromStateFollow) {
    Language("Tags", Lines(LangTextCount, Tag));
    Start();
    Column_Form->ApplyLanguage(QStringLiteral("Tags"));
    // Made again from state after the table: the box caption, Mute and Start/Stop.
    const std::set<std::string> remade = {"Form1.GroupBox3", "Form1.BitBtn3", "Form1.BitBtn2"};
    for (const TLangTarget& target : LangTargets()) {
        if (AbsentControls.count(Key(target)) || remade.count(Key(target)))
            continue;
        EXPECT_EQ(LangTargetText(*Window(target.Window), target).toStdString(), Tag(target.Line))
            << Key(target) << " property " << target.Property << " " << target.Column;
    }
    EXPECT_EQ(Form1->BitBtn3->text(), "L342"); // sounds on: the Mute caption
    EXPECT_EQ(Form1->BitBtn2->text(), "L038"); // stopped: Start
    QComboBox* filter = Form1->HostPage().ComboBox2;
    ASSERT_EQ(filter->count(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(filter->itemText(i).toStdString(), Tag(277 + i));
    EXPECT_EQ(filter->currentIndex(), 6);
    // Hints are shown as written.
    EXPECT_EQ(Form1->findChild<QPushButton*>("BitBtn9")->toolTip(), "L024");
}

TEST_F(LanguageLoader, AShortFileChangesOnlyTheTargetsOfItsLines) {
    Language("Short", Lines(200, Tag));
    Start();
    const std::vector<QString> before = Snapshot();
    Column_Form->ApplyLanguage(QStringLiteral("Short"));
    const std::vector<QString> after = Snapshot();
    const auto targets = LangTargets();
    int changed = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        const TLangTarget& target = targets[i];
        if (AbsentControls.count(Key(target)) || Key(target) == "Form1.GroupBox3" ||
            Key(target) == "Form1.BitBtn3" || Key(target) == "Form1.BitBtn2")
            continue;
        if (target.Line < 200) {
            EXPECT_EQ(after[i].toStdString(), Tag(target.Line)) << Key(target);
            ++changed;
        } else {
            EXPECT_EQ(after[i], before[i]) << Key(target);
        }
    }
    EXPECT_GT(changed, 150);
    EXPECT_EQ(LangText(200), before.empty() ? QString() : LangTextTable::BuiltInEnglish()->Text(200));
}

TEST_F(LanguageLoader, TheSameLanguageTwiceChangesNoTextAndTheBuiltInCaptionsAreTheEnglishFile) {
    Shipped("English");
    Shipped("German");
    Start();
    // Before any file, the windows show the built-in English texts: the English file changes nothing.
    const std::vector<QString> built = Snapshot();
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    const std::vector<QString> english = Snapshot();
    const auto targets = LangTargets();
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(english[i], built[i]) << "line " << targets[i].Line << " " << Key(targets[i]);

    Column_Form->ApplyLanguage(QStringLiteral("German"));
    const std::vector<QString> once = Snapshot();
    Column_Form->ApplyLanguage(QStringLiteral("German"));
    EXPECT_EQ(Snapshot(), once);
    EXPECT_EQ(Form1->menuBar()->actions().value(0)->text(), "Datei");
}

TEST_F(LanguageLoader, AMissingFileKeepsEveryTextAndWritesOneLogLine) {
    Shipped("German");
    Start();
    Column_Form->ApplyLanguage(QStringLiteral("German"));
    const std::vector<QString> before = Snapshot();
    Log.clear();
    Column_Form->ApplyLanguage(QStringLiteral("Klingon"));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(LangText(0), "Datei");
    ASSERT_EQ(Log.size(), 1) << Log.join('\n').toStdString();
    EXPECT_TRUE(Log[0].startsWith("Language file \"")) << Log[0].toStdString();
    // A name that leaves the folder is no file name.
    Log.clear();
    Column_Form->ApplyLanguage(QStringLiteral("../German"));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Log.size(), 1);
}

TEST_F(LanguageLoader, TheNameOnLine47ChoosesTheFileAndTheBoxNotTheIndexOnLine48) {
    Shipped("English");
    Shipped("German");
    Shipped("Russian");
    Settings(49, QStringLiteral("German"), 2); // index 2 is "Russian"
    Start();
    EXPECT_EQ(LangText(0), "Datei");
    EXPECT_EQ(Form1->OptionsPage().Lang_ComboBox->currentText(), "German");
    // The next save writes the name's own index.
    Form1->SaveSettings();
    QFile file(QString::fromStdString(Data.file("Settings.cnfg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = FileTextToLines(file.readAll());
    ASSERT_EQ(lines.size(), 49);
    EXPECT_EQ(lines[47], "German");
    EXPECT_EQ(lines[48], "1");
}

TEST_F(LanguageLoader, AShortSettingsFileFallsBackToTheFirstStartLanguage) {
    Shipped("English");
    Shipped("Russian");
    Settings(30, QStringLiteral("English"), 0);
    qputenv("LANG", "ru_RU.UTF-8");
    Start();
    qunsetenv("LANG");
    EXPECT_EQ(LangText(0), "Файл");
    EXPECT_EQ(Form1->OptionsPage().Lang_ComboBox->currentText(), "Russian");
}

TEST_F(LanguageLoader, SwitchingKeepsADownHostDownInTheNewWordsAndRefillsTheStatusFilter) {
    Shipped("English");
    Shipped("German");
    Start();
    MonitorDatabase.ExecuteStatement(QStringLiteral("insert into hosts (ID, Host, Status, ICMP_Status) "
                                                    "values (7, 'h', 'Down', 'ICMP check failed! timeout')"));
    TDataGrid& hosts = *Form1->DataGrid1;
    const int row = hosts.AddRow();
    hosts.Cell(hosts.ColumnIndex(u"Kod_"), row).SetAsString(QStringLiteral("7"));
    hosts.Cell(hosts.ColumnIndex(u"Status"), row).SetAsString(QStringLiteral("Down"));
    hosts.Cell(hosts.ColumnIndex(u"ICMP_Status"), row)
        .SetAsString(QStringLiteral("ICMP check failed! timeout"));

    Column_Form->ApplyLanguage(QStringLiteral("German"));

    EXPECT_EQ(hosts.CellText(hosts.ColumnIndex(u"Status"), row), "Ausgefallen");
    EXPECT_EQ(hosts.CellText(hosts.ColumnIndex(u"ICMP_Status"), row), "ICMP-Prüfung fehlgeschlagen! timeout");
    auto table =
        MonitorDatabase.OpenResultTable(QStringLiteral("select Status, ICMP_Status from hosts where ID=7"));
    ASSERT_FALSE(table->AtEnd());
    EXPECT_EQ(table->FieldTextOrEmpty(0), "Ausgefallen");
    EXPECT_EQ(table->FieldTextOrEmpty(1), "ICMP-Prüfung fehlgeschlagen! timeout");
    QComboBox* filter = Form1->HostPage().ComboBox2;
    EXPECT_EQ(filter->itemText(3), "Ausgefallen");
    EXPECT_EQ(filter->itemText(6), "Alle");
    EXPECT_EQ(filter->currentIndex(), 6);
}

TEST_F(LanguageLoader, SwitchingBackToEnglishReturnsTheColumnWidths) {
    Shipped("English");
    Shipped("Russian");
    Start();
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    TGxColumns& columns = Form1->DataGrid1->Columns();
    QList<int> before;
    for (int i = 0; i < columns.ColumnCount(); ++i)
        before << columns.GetColumn(i)->Width();
    Column_Form->ApplyLanguage(QStringLiteral("Russian"));
    Column_Form->ApplyLanguage(QStringLiteral("English"));
    for (int i = 0; i < columns.ColumnCount(); ++i)
        EXPECT_EQ(columns.GetColumn(i)->Width(), before[i]) << columns.GetColumn(i)->Name().toStdString();
}

TEST_F(LanguageLoader, TextsAreShownAsWrittenNotAsMarkup) {
    Language("Markup", Lines(LangTextCount, [](int Line) {
                 return Line == 39 || Line == 24 ? std::string("<b>bold</b>") : Tag(Line);
             }));
    Start();
    Column_Form->ApplyLanguage(QStringLiteral("Markup"));
    auto* label = Form1->findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "<b>bold</b>");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(Form1->findChild<QPushButton*>("BitBtn9")->toolTip(), "<p>&lt;b&gt;bold&lt;/b&gt;</p>");
}

} // namespace
