// The options page: controls under their names with their ranges and defaults, the settings file
// through a save and a restart, a short or bad file, grid lines, "Save options" beside a pass,
// the dialogs it opens, the database chooser and the host list export.
#include "core/AlertFlags.h"
#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/HostPage.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "tests/support/TestSupport.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QByteArray ReadBytes(const QString& Name) {
    QFile file(Name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString SettingsFile() {
    return DataFolder() + QStringLiteral("Settings.cnfg");
}

QStringList SettingsLines() {
    return FileTextToLines(ReadBytes(SettingsFile()));
}

void WriteSettings(const QStringList& Lines) {
    ASSERT_TRUE(WriteFileAtomic(SettingsFile(), LinesToFileText(Lines)));
}

// Serves events (and so the workers' synchronous calls) until Done or the limit.
bool WaitServing(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > LimitMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

class OptionsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        QDir().mkpath(DataFolder() + QStringLiteral("lang_files"));
        for (const char* name : {"English", "German", "Russian"}) {
            QFile::copy(QStringLiteral(ZT_SOURCE_DIR "/Data/lang_files/") + QLatin1String(name),
                        DataFolder() + QStringLiteral("lang_files/") + QLatin1String(name));
        }
        SetMessageBoxHandler([this](const QString&, const QString& Text) { Messages << Text; });
        ResetShutdownRequest();
        MonitoringActive = false;
        SoundMuted = false;
    }
    void TearDown() override {
        Stop();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        ResetShutdownRequest();
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
    }
    void Start() {
        CreateForms();
        ASSERT_NE(Form1, nullptr);
    }
    void Stop() {
        if (Form1) {
            Form1->Monitor().Shutdown(2000);
        }
        DestroyForms();
        MonitorDatabase.Close();
        MonitoringActive = false;
    }
    void Restart() {
        Stop();
        Start();
    }
    TOptionsPage& Page() { return Form1->OptionsPage(); }

    zt::test::TempDir Data;
    QStringList Messages;
};

} // namespace

TEST_F(OptionsProgram, ControlsSitOnTheOptionsPageUnderTheirNamesWithRangesAndDefaults) {
    QDir().mkpath(DataFolder() + QStringLiteral("Sounds/old"));
    for (const char* name : {"magic-wand-1.mp3", "beep.wav", "Alarm.wav"}) {
        zt::test::WriteFile((DataFolder() + QStringLiteral("Sounds/") + QLatin1String(name)).toStdString(),
                            "x");
    }
    Start();
    // The sound files drop down from the up sound's field; a folder among them is no sound.
    EXPECT_EQ(Page().UpSoundList(), (QStringList{"Alarm.wav", "beep.wav", "magic-wand-1.mp3"}));
    ASSERT_NE(Page().Up_Sound_Edit->completer(), nullptr);
    EXPECT_EQ(Page().Up_Sound_Edit->completer()->model()->rowCount(), 3);
    EXPECT_EQ(Page().Up_Sound_Edit->text(), "magic-wand-1.mp3");
    struct TSpin {
        const char* Name;
        int Min, Max, Value;
    };
    for (const TSpin& s :
         {TSpin{"ploss_spin", 2, 10000, 10}, TSpin{"Delay_spin", 1, 10000, 2},
          TSpin{"Timeout_Spin", 2, 10000, 2000}, TSpin{"check_spin", 1, 10000, 3},
          TSpin{"Logs_clear_SpinEdit", 1, 90, 5}, TSpin{"traff_m_data_SpinEdit", 1, 90, 15}}) {
        auto* spin = Form1->TabSheet3->findChild<QSpinBox*>(QLatin1String(s.Name));
        ASSERT_NE(spin, nullptr) << s.Name;
        EXPECT_EQ(spin->minimum(), s.Min) << s.Name;
        EXPECT_EQ(spin->maximum(), s.Max) << s.Name;
        EXPECT_EQ(spin->value(), s.Value) << s.Name;
    }
    struct TBox {
        const char* Name;
        const char* Caption;
        bool Ticked;
    };
    for (const TBox& b :
         {TBox{"CheckBox_start_with_system", nullptr, true},
          TBox{"Synchronize_db_Check", "Synchronize database", false},
          TBox{"Delete_logs_CheckBox1", "Delete logs older then ", true},
          TBox{"Delete_traff_mon_data_CheckBox", "Delete traffic monitoring data older then ", true},
          TBox{"Alert_CheckBox", "Show Alert window", true}, TBox{"CheckBox_soundalarm", "Sound alert", true},
          TBox{"Up_sound_CheckBox", "Play a sound when a host UP ", true},
          TBox{"Email_checkbox", "Enable email notification", false},
          TBox{"ICQ_CheckBox", "Enable ICQ notification", false},
          TBox{"Grid_show_CheckBox", "Show grid lines", true},
          TBox{"Compact_t_CheckBox1", "Compact type", false}}) {
        auto* box = Form1->TabSheet3->findChild<QCheckBox*>(QLatin1String(b.Name));
        ASSERT_NE(box, nullptr) << b.Name;
        EXPECT_EQ(box->isChecked(), b.Ticked) << b.Name;
        if (b.Caption) {
            EXPECT_EQ(box->text(), QString::fromUtf8(b.Caption)) << b.Name;
        }
    }
    for (const auto& [name, caption] : std::initializer_list<std::pair<const char*, const char*>>{
             {"BitBtn23", "Save options"},
             {"BitBtn22", "Test"},
             {"BitBtn30", "Column settings"},
             {"BitBtn31", "Edit host types"},
             {"BitBtn36", "Browse"},
             {"BitBtn37", "ICQ settings"},
             {"Email_settings_button", "Email settings"},
             {"Button3", "Export list of hosts"}}) {
        auto* button = Form1->TabSheet3->findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), QLatin1String(caption)) << name;
    }
    auto* style = Form1->TabSheet3->findChild<QComboBox*>(QStringLiteral("Grid_Style_ComboBox"));
    ASSERT_NE(style, nullptr);
    ASSERT_EQ(style->count(), 3);
    EXPECT_EQ(style->itemText(0), "Vertical lines");
    EXPECT_EQ(style->itemText(1), "Horisontal lines");
    EXPECT_EQ(style->itemText(2), "Vertical and horisontal lines");
    EXPECT_EQ(style->currentText(), "Horisontal lines");
    // The language folder lists its files by name.
    auto* languages = Form1->TabSheet3->findChild<QComboBox*>(QStringLiteral("Lang_ComboBox"));
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(languages->count(), 3);
    EXPECT_EQ(languages->itemText(0), "English");
    EXPECT_EQ(languages->itemText(2), "Russian");
    // The main window's option members are the page's controls.
    EXPECT_EQ(Form1->OptionsPage().ploss_spin, Page().ploss_spin);
    EXPECT_EQ(Form1->OptionsPage().Up_Sound_Edit, Page().Up_Sound_Edit);
    EXPECT_TRUE(Form1->TabSheet3->isAncestorOf(Form1->OptionsPage().Delay_spin));
}

TEST_F(OptionsProgram, SaveRestartSaveRestoresEveryControlAndTheFileByteForByte) {
    Start();
    TOptionsPage& p = Page();
    p.ploss_spin->setValue(7);
    p.Delay_spin->setValue(9);
    p.Timeout_Spin->setValue(1500);
    p.check_spin->setValue(5);
    p.CheckBox_start_with_system->setChecked(false);
    p.Synchronize_db_Check->setChecked(true);
    p.Edit_db->setText(DataFolder() + QStringLiteral("нет такой.db"));
    p.Delete_logs_CheckBox1->setChecked(false);
    p.Logs_clear_SpinEdit->setValue(30);
    p.Delete_traff_mon_data_CheckBox->setChecked(false);
    p.traff_m_data_SpinEdit->setValue(60);
    p.Alert_CheckBox->setChecked(false);
    p.CheckBox_soundalarm->setChecked(false);
    p.Up_sound_CheckBox->setChecked(false);
    p.Up_Sound_Edit->setText(QStringLiteral("Сигнал \"up\".wav"));
    p.Email_checkbox->setChecked(true);
    p.Grid_show_CheckBox->setChecked(false);
    p.Grid_Style_ComboBox->setCurrentIndex(2);
    p.Compact_t_CheckBox1->setChecked(true);
    p.Lang_ComboBox->setCurrentIndex(2);
    Column_Form->CheckBox_ID->setChecked(false);
    Column_Form->CheckBox_note->setChecked(true);
    Column_Form->CheckBox_DownTime->setChecked(true);
    Column_Form->BitBtn1->click();
    Form1->SaveSettings();
    const QByteArray first = ReadBytes(SettingsFile());
    ASSERT_EQ(SettingsLines().size(), 49);

    Restart();
    TOptionsPage& q = Page();
    EXPECT_EQ(q.ploss_spin->value(), 7);
    EXPECT_EQ(q.Delay_spin->value(), 9);
    EXPECT_EQ(q.Timeout_Spin->value(), 1500);
    EXPECT_EQ(q.check_spin->value(), 5);
    EXPECT_FALSE(q.CheckBox_start_with_system->isChecked());
    EXPECT_TRUE(q.Synchronize_db_Check->isChecked());
    EXPECT_EQ(q.Edit_db->text(), DataFolder() + QStringLiteral("нет такой.db"));
    EXPECT_FALSE(q.Delete_logs_CheckBox1->isChecked());
    EXPECT_EQ(q.Logs_clear_SpinEdit->value(), 30);
    EXPECT_FALSE(q.Delete_traff_mon_data_CheckBox->isChecked());
    EXPECT_EQ(q.traff_m_data_SpinEdit->value(), 60);
    EXPECT_FALSE(q.Alert_CheckBox->isChecked());
    EXPECT_FALSE(q.CheckBox_soundalarm->isChecked());
    EXPECT_TRUE(SoundMuted);
    EXPECT_FALSE(q.Up_sound_CheckBox->isChecked());
    EXPECT_EQ(q.Up_Sound_Edit->text(), QStringLiteral("Сигнал \"up\".wav"));
    EXPECT_TRUE(q.Email_checkbox->isChecked());
    EXPECT_FALSE(q.Grid_show_CheckBox->isChecked());
    EXPECT_FALSE(q.Grid_Style_ComboBox->isEnabled());
    EXPECT_EQ(q.Grid_Style_ComboBox->currentIndex(), 2);
    EXPECT_TRUE(q.Compact_t_CheckBox1->isChecked());
    EXPECT_EQ(q.Lang_ComboBox->currentText(), "Russian");
    EXPECT_FALSE(Column_Form->CheckBox_ID->isChecked());
    EXPECT_TRUE(Column_Form->CheckBox_note->isChecked());
    EXPECT_TRUE(Column_Form->CheckBox_DownTime->isChecked());
    EXPECT_FALSE(Form1->DataGrid1->HasOption(goGrid));
    EXPECT_EQ(Form1->DataGrid1->GridLinesStyle(), lsNormal);
    Form1->SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsFile()), first);
}

TEST_F(OptionsProgram, FortyLinesApplyWhatIsThereWhileCleanUpAndMuteStillRun) {
    Start();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString old = QString::number(now - 6 * 86400);
    const QString recent = QString::number(now - 4 * 86400);
    for (const char* table : {"program_log", "log"}) {
        for (const QString& time : {old, recent}) {
            MonitorDatabase.ExecuteStatement(
                QStringLiteral("insert into %1 (date_time) values (?)").arg(QLatin1String(table)), {time});
        }
    }
    // The long transaction is open from the start-up load on; these rows must outlive the restart.
    MonitorDatabase.CommitTransaction();
    Stop();

    QStringList lines = SettingsFileLinesOf(TSettings{});
    lines[0] = "7";
    lines[9] = "yes"; // no Boolean text: only its own box keeps the default
    lines[10] = "0";
    lines[30] = "0"; // muted
    lines[31] = "10";
    lines[34] = "3";
    lines[35] = "Серверы";
    lines[36] = "-1";
    lines[39] = "4";
    lines = lines.mid(0, 40);
    WriteSettings(lines);
    Start();
    TOptionsPage& p = Page();
    EXPECT_EQ(p.Delay_spin->value(), 7);
    EXPECT_EQ(p.check_spin->value(), 4);
    EXPECT_FALSE(Form1->Services().Settings().Snapshot()->SysLog_CheckBox);
    EXPECT_FALSE(p.Up_sound_CheckBox->isChecked());
    // Lines 41-48 are missing: their defaults.
    EXPECT_EQ(p.Logs_clear_SpinEdit->value(), 5);
    EXPECT_TRUE(p.Delete_logs_CheckBox1->isChecked());
    EXPECT_EQ(p.Lang_ComboBox->currentIndex(), 0);
    // The mute of line 30.
    EXPECT_TRUE(SoundMuted);
    EXPECT_EQ(Form1->StatusPanel(TStatusPanel::SoundState), LangText(322));
    EXPECT_EQ(Form1->BitBtn3->text(), LangText(341));
    // The clean-up with the default 5 days: the row of 6 days ago goes, that of 4 days stays.
    for (const char* table : {"program_log", "log"}) {
        auto rows = MonitorDatabase.OpenResultTable(
            QStringLiteral("select date_time from %1 where date_time in (?, ?)").arg(QLatin1String(table)),
            {old, recent});
        ASSERT_EQ(rows->RowCount(), 1) << table;
        EXPECT_EQ(rows->FieldText(0), recent) << table;
    }
    // Lines of controls other windows keep are written back as they were read.
    Form1->SaveSettings();
    const QStringList saved = SettingsLines();
    ASSERT_EQ(saved.size(), 49);
    EXPECT_EQ(saved[31], "10");
    // Lines 34-36 hold the host view on show, which the database load chose, not what they read.
    EXPECT_EQ(saved[34], HostView.StatusFilterWord);
    EXPECT_EQ(saved[35], HostView.CurrentGroupText);
    EXPECT_EQ(saved[36], HostView.ShowAllHosts ? "-1" : "0");
    EXPECT_EQ(saved[9], "0");
}

TEST_F(OptionsProgram, LineStylesMapZeroOneTwoAndClearingGridLinesDisablesTheStyleBox) {
    Start();
    TOptionsPage& p = Page();
    TDataGrid& grid = *Form1->DataGrid1;
    const TGridLinesStyle styles[] = {lsVerticalOnly, lsHorizontalOnly, lsNormal};
    for (int i : {0, 1, 2}) {
        p.Grid_Style_ComboBox->setCurrentIndex(i);
        emit p.Grid_Style_ComboBox->activated(i);
        EXPECT_EQ(grid.GridLinesStyle(), styles[i]) << i;
        ASSERT_EQ(SettingsLines().size(), 49);
        EXPECT_EQ(SettingsLines()[15], QString::number(i)) << "saved in every case";
    }
    // No item: nothing changes, and it still saves.
    QFile::remove(SettingsFile());
    p.Grid_Style_ComboBox->setCurrentIndex(-1);
    p.Grid_Style_ComboBoxClick();
    EXPECT_EQ(grid.GridLinesStyle(), lsNormal);
    EXPECT_TRUE(QFile::exists(SettingsFile()));

    ASSERT_TRUE(grid.HasOption(goGrid));
    p.Grid_show_CheckBox->click();
    EXPECT_FALSE(grid.HasOption(goGrid));
    EXPECT_FALSE(p.Grid_Style_ComboBox->isEnabled());
    EXPECT_EQ(SettingsLines()[14], "0");
    p.Grid_show_CheckBox->click();
    EXPECT_TRUE(grid.HasOption(goGrid));
    EXPECT_TRUE(p.Grid_Style_ComboBox->isEnabled());

    // A saved line 15 shows at the next start, on the box and on the grid.
    QStringList lines = SettingsFileLinesOf(TSettings{});
    lines[15] = "0";
    WriteSettings(lines);
    Restart();
    EXPECT_EQ(Page().Grid_Style_ComboBox->currentIndex(), 0);
    EXPECT_TRUE(Page().Grid_Style_ComboBox->isEnabled());
    EXPECT_EQ(Form1->DataGrid1->GridLinesStyle(), lsVerticalOnly);
    EXPECT_TRUE(Form1->DataGrid1->HasOption(goGrid));
}

TEST_F(OptionsProgram, SaveOptionsMidPassStopsSavesAndRestartsOnceBetweenPassesItOnlySaves) {
    Start();
    TMonitorController& controller = Form1->Monitor();
    // A page of its own, on the program's settings and controller, that records each save.
    QWidget host;
    TOptionsPage page(host);
    std::vector<bool> savedWhileActive;
    TOptionsPageParts parts;
    parts.Settings = &Form1->Services().Settings();
    parts.Controller = &controller;
    parts.SaveSettings = [&] {
        savedWhileActive.push_back(MonitoringActive.load());
    };
    page.Bind(parts);
    Form1->Services().Settings().Update([](TSettings& s) { s.Delay_spin = 60; });

    // Started and not served yet: the check thread waits inside its pass for this thread.
    ASSERT_TRUE(controller.BitBtn7Click());
    ASSERT_TRUE(MonitoringActive.load());
    ASSERT_FALSE(controller.PassCountdownRunning());
    page.BitBtn23Click();
    ASSERT_EQ(savedWhileActive.size(), 1u);
    EXPECT_FALSE(savedWhileActive[0]) << "saved while the pass ran";
    int most = 0;
    ASSERT_TRUE(WaitServing(
        [&] {
            most = std::max(most, controller.RunningCheckThreads());
            return MonitoringActive.load() && !controller.RestartPending() &&
                   controller.PassCountdownRunning();
        },
        10000));
    EXPECT_LE(most, 1);

    // Between passes: only the save.
    const int passes = controller.PassCount();
    page.BitBtn23Click();
    ASSERT_EQ(savedWhileActive.size(), 2u);
    EXPECT_TRUE(savedWhileActive[1]);
    EXPECT_TRUE(MonitoringActive.load());
    EXPECT_FALSE(controller.RestartPending());
    EXPECT_TRUE(controller.PassCountdownRunning());
    EXPECT_EQ(controller.PassCount(), passes);
    EXPECT_EQ(controller.RunningCheckThreads(), 1);

    // Monitoring off: only the save.
    controller.BitBtn7Click();
    ASSERT_TRUE(WaitServing([&] { return !controller.ThreadsRunning(); }, 10000));
    page.BitBtn23Click();
    EXPECT_EQ(savedWhileActive.size(), 3u);
    WaitServing([] { return false; }, 100);
    EXPECT_FALSE(MonitoringActive.load());
}

TEST_F(OptionsProgram, ThreeHostsExportNumberedWithTheirNotesExactly) {
    Start();
    for (const auto& [ip, note] : std::initializer_list<std::pair<const char*, const char*>>{
             {"10.1.1.1", "core"}, {"host.example.org", "Сервер \"почты\", этаж 2"}, {"::1", ""}}) {
        MonitorDatabase.ExecuteStatement(QStringLiteral("insert into hosts (IP, Note_) values (?, ?)"),
                                         {QString::fromUtf8(ip), QString::fromUtf8(note)});
    }
    const QString target = DataFolder() + QStringLiteral("export.txt");
    std::vector<std::pair<bool, QString>> asked;
    SetFileDialogHandler([&](bool Save, const QString& Start, const QString&) {
        asked.emplace_back(Save, Start);
        return target;
    });
    Form1->Button3Click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].first);
    EXPECT_EQ(asked[0].second, "hosts_ips.txt");
    EXPECT_EQ(ReadBytes(target), QByteArray("1* 10.1.1.1* core\r\n"
                                            "2* host.example.org* ") +
                                     QStringLiteral("Сервер \"почты\", этаж 2").toUtf8() +
                                     QByteArray("\r\n3* ::1* \r\n"));
    EXPECT_TRUE(Messages.isEmpty());

    // Cancelled: nothing written.
    QFile::remove(target);
    SetFileDialogHandler([](bool, const QString&, const QString&) { return QString(); });
    Form1->Button3Click();
    EXPECT_FALSE(QFile::exists(target));

    // A file that cannot be written is said so.
    const QString nowhere = DataFolder() + QStringLiteral("no folder/hosts_ips.txt");
    SetFileDialogHandler([&](bool, const QString&, const QString&) { return nowhere; });
    Form1->Button3Click();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(Messages[0], QStringLiteral("The list of hosts could not be saved to ") + nowhere);
}

TEST_F(OptionsProgram, BrowseChoosesADatabaseFileIntoTheSourceField) {
    Start();
    std::vector<std::tuple<bool, QString, QString>> asked;
    SetFileDialogHandler([&](bool Save, const QString& Start, const QString& Filter) {
        asked.emplace_back(Save, Start, Filter);
        return QStringLiteral("/srv/монитор/hosts.db");
    });
    Form1->BitBtn36Click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(std::get<0>(asked[0]));
    EXPECT_EQ(std::get<1>(asked[0]), DataFolder());
    EXPECT_EQ(std::get<2>(asked[0]), "*.db");
    EXPECT_EQ(Page().Edit_db->text(), "/srv/монитор/hosts.db");
    EXPECT_EQ(Form1->Services().Settings().Snapshot()->Edit_db, "/srv/монитор/hosts.db");
    SetFileDialogHandler([](bool, const QString&, const QString&) { return QString(); });
    Form1->BitBtn36Click();
    EXPECT_EQ(Page().Edit_db->text(), "/srv/монитор/hosts.db");
}

TEST_F(OptionsProgram, TheSynchronisedSourceOfTheSettingsRefreshesTheDatabaseAtStart) {
    // A database with one host becomes the source of the next start.
    Start();
    MonitorDatabase.ExecuteStatement(
        QStringLiteral("insert into hosts (host, IP, Enabled, N_group) values (?, ?, ?, ?)"),
        {QStringLiteral("source host"), QStringLiteral("127.0.0.9"), QStringLiteral("0"),
         QStringLiteral("1")});
    Stop();
    const QString source = DataFolder() + QStringLiteral("source.db");
    ASSERT_TRUE(QFile::rename(DataFolder() + QStringLiteral("dbm.db"), source));
    QStringList lines = SettingsFileLinesOf(TSettings{});
    lines[40] = source;
    lines[41] = "-1";
    WriteSettings(lines);
    Start();
    EXPECT_TRUE(QFile::exists(DataFolder() + QStringLiteral("ndbm.db")));
    EXPECT_EQ(MonitorDatabase.FileName(), DataFolder() + QStringLiteral("ndbm.db"));
    EXPECT_TRUE(Page().Synchronize_db_Check->isChecked());
    EXPECT_EQ(Page().Edit_db->text(), source);
}

TEST_F(OptionsProgram, FirstStartStaysShownAlsoWithATrayALaterStartIsHidden) {
    Start();
    EXPECT_TRUE(Form1->isVisible());
    ApplyStartVisibility(true);
    EXPECT_TRUE(Form1->isVisible());
    Form1->SaveSettings();
    Restart();
    EXPECT_FALSE(Form1->isVisible());
    ApplyStartVisibility(true);
    EXPECT_FALSE(Form1->isVisible());
}

TEST_F(OptionsProgram, PlacementFallsBackToNormalAtTheCornerRestoresMaximisedNeverMinimised) {
    Start();
    const QString file = DataFolder() + QStringLiteral("win_pos.cnfg");
    QFile::remove(file);
    Form1->resize(1000, 700);
    Form1->FormActivate();
    EXPECT_EQ(Form1->WindowStateCode, "0");
    EXPECT_EQ(Form1->windowState(), Qt::WindowNoState);
    EXPECT_EQ(Form1->pos(), QPoint(0, 0));

    ASSERT_TRUE(WriteFileAtomic(file, "40\r\n30\r\n700\r\n1010\r\n1\r\n"));
    Form1->FormActivate();
    EXPECT_EQ(Form1->windowState(), Qt::WindowNoState);
    EXPECT_EQ(Form1->size(), QSize(1010, 700));
    EXPECT_EQ(Form1->pos(), QPoint(40, 30));

    ASSERT_TRUE(WriteFileAtomic(file, "40\r\n30\r\n700\r\n1010\r\n2\r\n"));
    Form1->FormActivate();
    EXPECT_TRUE(Form1->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(Form1->WindowStateCode, "2");
    // Far off every screen: back onto the primary one.
    ASSERT_TRUE(WriteFileAtomic(file, "-90000\r\n90000\r\n700\r\n1010\r\n0\r\n"));
    Form1->FormActivate();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(Form1->pos()));
    // Deactivation saves what the window has.
    Form1->FormDeactivate();
    const std::optional<TWindowPlacement> saved = ParseWindowPlacement(ReadBytes(file));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->Width, 1010);
    EXPECT_EQ(saved->Height, 700);
}

// The page on its own, with parts that record what it asks of the window.
class OptionsPageAlone : public ::testing::Test {
protected:
    void SetUp() override {
        Parts.Settings = &Model;
        Parts.SaveSettings = [this] {
            SavedDelays.push_back(Model.Snapshot()->Delay_spin);
        };
        Parts.MessagingLoggedIn = [this] {
            return LoggedIn;
        };
        Parts.MessagingLogin = [this](qint64 Uin, const QString& Password) {
            Logins << QString::number(Uin) + ":" + Password;
        };
        Parts.ApplyLanguage = [this](const QString& Name) {
            Languages << Name;
        };
        Parts.ShowAlertTest = [this] {
            Calls << "alert";
        };
        Parts.ShowColumnDialog = [this] {
            Calls << "columns";
        };
        Parts.ShowHostTypes = [this] {
            Calls << "types";
        };
        Parts.ShowNotifications = [this](int PageIndex) {
            Calls << QStringLiteral("notifications %1").arg(PageIndex);
        };
        Parts.Notifications = [this] {
            return Notifications;
        };
        Page.Bind(Parts);
        Page.FillLanguages({"English", "German"});
    }
    TSettingsModel Model;
    TOptionsPageParts Parts;
    QWidget Host;
    TOptionsPage Page{Host};
    std::vector<int> SavedDelays;
    bool LoggedIn = false;
    QStringList Logins, Languages, Calls;
    TNotificationSettings Notifications;
};

TEST_F(OptionsPageAlone, KeyPressesInTheTwoSpinsSaveTheValueTheyShow) {
    Host.show();
    Page.Delay_spin->setFocus();
    Page.Delay_spin->selectAll();
    QTest::keyClick(Page.Delay_spin, Qt::Key_7);
    QApplication::processEvents();
    ASSERT_EQ(SavedDelays.size(), 1u);
    EXPECT_EQ(SavedDelays[0], 7);
    QTest::keyClick(Page.ploss_spin, Qt::Key_Up);
    QApplication::processEvents();
    EXPECT_EQ(SavedDelays.size(), 2u);
    EXPECT_EQ(Model.Snapshot()->ploss_spin, 11);
    // A key in another spin saves nothing.
    QTest::keyClick(Page.check_spin, Qt::Key_Up);
    QApplication::processEvents();
    EXPECT_EQ(SavedDelays.size(), 2u);
}

TEST_F(OptionsPageAlone, TheNotificationBoxesOpenTheDialogOnlyForAMissingAccount) {
    Page.Email_checkbox->click(); // ticked, no alert address
    Page.ICQ_CheckBox->click();   // ticked, no number
    EXPECT_EQ(Calls, (QStringList{"notifications 0", "notifications 2"}));
    Calls.clear();
    Page.Email_checkbox->click(); // cleared: nothing
    Page.ICQ_CheckBox->click();
    Notifications.Email = "ops@example.org";
    Notifications.IcqUin = "123456";
    Page.ICQ_CheckBox->click(); // a number without a password
    Notifications.IcqPassword = "secret";
    Page.ICQ_CheckBox->click();
    Page.ICQ_CheckBox->click(); // both there
    Page.Email_checkbox->click();
    EXPECT_EQ(Calls, (QStringList{"notifications 2"}));
    Calls.clear();
    Page.Email_settings_button->click();
    Page.BitBtn37->click();
    Page.BitBtn22->click();
    Page.BitBtn30->click();
    Page.BitBtn31->click();
    EXPECT_EQ(Calls, (QStringList{"notifications 0", "notifications 2", "alert", "columns", "types"}));
}

TEST_F(OptionsPageAlone, SaveOptionsSignsOnWhenNeededAndAppliesTheChosenLanguage) {
    Model.Update([](TSettings& s) {
        s.ICQ_CheckBox = true;
        s.ICQ_UIN_Edit = "987654321";
        s.ICQ_Password_Edit = "pw";
    });
    Page.Lang_ComboBox->setCurrentIndex(1);
    Page.BitBtn23->click();
    EXPECT_EQ(SavedDelays.size(), 1u);
    EXPECT_EQ(Logins, QStringList{"987654321:pw"});
    EXPECT_EQ(Languages, QStringList{"German"});
    EXPECT_EQ(Model.Snapshot()->Lang_ComboBox_Text, "German");
    EXPECT_EQ(Model.Snapshot()->Lang_ComboBox_Index, 1);
    LoggedIn = true;
    Page.BitBtn23->click();
    EXPECT_EQ(Logins.size(), 1);
    LoggedIn = false;
    Model.Update([](TSettings& s) { s.ICQ_CheckBox = false; });
    Page.BitBtn23->click();
    EXPECT_EQ(Logins.size(), 1);
    EXPECT_EQ(SavedDelays.size(), 3u);
}
