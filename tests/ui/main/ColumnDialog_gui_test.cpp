// The column dialog (OK applies, saves and sizes the rows; Cancel changes nothing, not even the next
// start) and the mute kept in settings line 30 across a restart.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/HostGridColumns.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/Synchronize.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "platform/MessageBox.h"
#include "tests/support/ProgramGlobals.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/DisableSoundForm.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/SoundControls.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList SettingsLines() {
    QFile file(DataFolder() + QStringLiteral("Settings.cnfg"));
    return file.open(QIODevice::ReadOnly) ? FileTextToLines(file.readAll()) : QStringList();
}

bool ColumnShown(const char* Name) {
    const TGxCustomColumn* column = Form1->DataGrid1->Columns().ColumnByName(QLatin1String(Name));
    return column && column->Visible();
}

void KeepShot(const QImage& Shot, const char* Name) {
    // ZT_KEEP_SHOTS=<folder> keeps the picture for a look.
    if (const char* keep = std::getenv("ZT_KEEP_SHOTS")) {
        Shot.save(QString::fromLatin1(keep) + QLatin1Char('/') + QLatin1String(Name));
    }
}

class ProgramWindows : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        zt::test::ResetProgramGlobals();
    }
    void TearDown() override {
        Stop();
        SetMessageBoxHandler({});
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        ResetShutdownRequest();
        SoundMuted = false;
    }
    void Start() {
        CreateForms();
        ASSERT_NE(Form1, nullptr);
        ASSERT_NE(Column_Form, nullptr);
    }
    void Stop() {
        DestroyForms();
        MonitorDatabase.Close();
    }
    void Restart() {
        Stop();
        Start();
    }
    zt::test::TempDir Data;
};

} // namespace

TEST_F(ProgramWindows, TheDialogHasItsTwelveBoxesCaptionsAndDefaults) {
    Start();
    EXPECT_EQ(Column_Form->windowTitle(), "Select columns in main grid");
    struct TBox {
        const char* Name;
        const char* Caption;
        bool Ticked;
    };
    const TBox boxes[] = {
        {"CheckBox_Nomer", "Number", true},
        {"CheckBox_ID", "ID", true},
        {"CheckBox_Host_Name", "Host name", true},
        {"CheckBox_host_type2", "Type of host", true},
        {"CheckBox_HostIP", "IP or domain name", true},
        {"CheckBox_Status", "Status", true},
        {"CheckBox_Enabled", "Enable\\Disable host", true},
        {"CheckBox_Tiks", "Event counter", true},
        {"CheckBox_last_down", "Last down state date and time", false},
        {"CheckBox_note", "Description", false},
        {"CheckBox_DownTime", "Down time", false},
        {"CheckBox_host_type", "Image type of host", false},
    };
    EXPECT_EQ(Column_Form->GroupBox1->findChildren<QCheckBox*>().size(), 12);
    for (const TBox& b : boxes) {
        auto* box = Column_Form->findChild<QCheckBox*>(QLatin1String(b.Name));
        ASSERT_NE(box, nullptr) << b.Name;
        EXPECT_EQ(box->text(), QLatin1String(b.Caption)) << b.Name;
        EXPECT_EQ(box->isChecked(), b.Ticked) << b.Name;
    }
    EXPECT_EQ(Column_Form->BitBtn1->text(), "OK");
    EXPECT_EQ(Column_Form->BitBtn2->text(), "Cancel");

    // Shown as the options page opens it; every caption fits.
    QImage shot;
    QTimer::singleShot(0, [&] {
        QApplication::processEvents();
        shot = Column_Form->grab().toImage();
        for (QCheckBox* box : Column_Form->GroupBox1->findChildren<QCheckBox*>()) {
            EXPECT_GE(box->width(), box->sizeHint().width()) << box->objectName().toStdString();
        }
        Column_Form->BitBtn2->click();
    });
    Form1->BitBtn30Click();
    ASSERT_FALSE(shot.isNull());
    KeepShot(shot, "column_dialog.png");
}

TEST_F(ProgramWindows, ThePictureColumnMakesTallRowsOnOkAndClearingItShortOnes) {
    Start();
    Form1->DataGrid1->AddRow(3);
    Column_Form->CheckBox_host_type->setChecked(true);
    Column_Form->BitBtn1->click();
    EXPECT_TRUE(ColumnShown("HType"));
    EXPECT_EQ(Form1->DataGrid1->RowSize(), 85);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Form1->DataGrid1->GetRowHeight(row), 85) << row;
    }
    Column_Form->CheckBox_host_type->setChecked(false);
    Column_Form->BitBtn1->click();
    EXPECT_FALSE(ColumnShown("HType"));
    EXPECT_EQ(Form1->DataGrid1->RowSize(), 18);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Form1->DataGrid1->GetRowHeight(row), 18) << row;
    }
}

TEST_F(ProgramWindows, AfterOkTheSettingsLinesHoldTheBoxes) {
    Start();
    // Every other box flips, so each line is told apart from its neighbours.
    Column_Form->CheckBox_Nomer->setChecked(false);
    Column_Form->CheckBox_Host_Name->setChecked(false);
    Column_Form->CheckBox_host_type->setChecked(true);
    Column_Form->CheckBox_Status->setChecked(false);
    Column_Form->CheckBox_Tiks->setChecked(false);
    Column_Form->CheckBox_note->setChecked(true);
    Column_Form->CheckBox_DownTime->setChecked(true);
    Column_Form->BitBtn1->click();
    const QStringList lines = SettingsLines();
    ASSERT_EQ(lines.size(), 49);
    // 16 Nomer, 17 ID, 18 Host_Name, 19 HostIP, 20 host_type, 21 host_type2, 22 Status, 23 Enabled,
    // 24 Tiks, 25 last_down, 26 note, 27 host_type again, 29 DownTime.
    EXPECT_EQ(lines.mid(16, 12),
              (QStringList{"0", "-1", "0", "-1", "-1", "-1", "0", "-1", "0", "0", "-1", "-1"}));
    EXPECT_EQ(lines[29], "-1");
    EXPECT_FALSE(ColumnShown("number_"));
    EXPECT_TRUE(ColumnShown("Note_"));
    EXPECT_TRUE(ColumnShown("TimeDown"));
    // And the next start shows the same columns.
    Restart();
    EXPECT_FALSE(ColumnShown("number_"));
    EXPECT_TRUE(ColumnShown("Note_"));
    EXPECT_TRUE(Column_Form->CheckBox_DownTime->isChecked());
}

TEST_F(ProgramWindows, CancelChangesNothingNowOrAtTheNextStart) {
    Start();
    Form1->SaveSettings();
    const QStringList before = SettingsLines();
    QTimer::singleShot(0, [] {
        Column_Form->CheckBox_note->setChecked(true);
        Column_Form->CheckBox_ID->setChecked(false);
        Column_Form->BitBtn2->click();
    });
    Column_Form->Execute();
    EXPECT_FALSE(Column_Form->CheckBox_note->isChecked());
    EXPECT_TRUE(Column_Form->CheckBox_ID->isChecked());
    EXPECT_FALSE(ColumnShown("Note_"));
    EXPECT_TRUE(ColumnShown("Kod_"));
    EXPECT_FALSE(Form1->Services().Settings().Snapshot()->CheckBox_note);
    // Whatever saves next writes the columns as they show.
    Form1->SaveSettings();
    EXPECT_EQ(SettingsLines(), before);
    // The closing box cancels too.
    Column_Form->CheckBox_note->setChecked(true);
    Column_Form->reject();
    EXPECT_FALSE(Column_Form->CheckBox_note->isChecked());
    Restart();
    EXPECT_FALSE(ColumnShown("Note_"));
}

TEST_F(ProgramWindows, TheOptionsPageShowsEveryControlUncut) {
    Start();
    Form1->resize(1000, 640);
    Form1->PageControl1->setCurrentWidget(Form1->TabSheet3);
    Form1->show();
    QApplication::processEvents();
    KeepShot(Form1->grab().toImage(), "options_page.png");
    TOptionsPage& page = Form1->OptionsPage();
    const std::vector<QWidget*> controls = {page.ploss_spin,
                                            page.check_spin,
                                            page.Edit_db,
                                            page.BitBtn36,
                                            page.traff_m_data_SpinEdit,
                                            page.Delete_traff_mon_data_CheckBox,
                                            page.BitBtn22,
                                            page.Up_Sound_Edit,
                                            page.Browse_BitBtn,
                                            page.BitBtn37,
                                            page.Grid_Style_ComboBox,
                                            page.Lang_ComboBox,
                                            page.BitBtn31,
                                            page.Button3,
                                            page.BitBtn23};
    for (QWidget* w : controls) {
        ASSERT_TRUE(w->isVisible()) << w->objectName().toStdString();
        const QRect inWindow(w->mapTo(Form1, QPoint(0, 0)), w->size());
        EXPECT_TRUE(Form1->rect().contains(inWindow)) << w->objectName().toStdString();
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QPushButton*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        }
    }
}

TEST_F(ProgramWindows, ManuallyTurnItOnWhileMutedWritesLine30AndARestartStaysMuted) {
    Start();
    Form1->SaveSettings();
    ASSERT_EQ(SettingsLines()[30], "-1");
    QTimer::singleShot(0, [] {
        ASSERT_TRUE(SoundDisableForm->isVisible());
        SoundDisableForm->BitBtn2->click(); // "manually turn it on"
    });
    Form1->BitBtn3->click(); // "Mute"
    ASSERT_TRUE(SoundMuted);
    EXPECT_EQ(SettingsLines()[30], "0");

    Restart();
    EXPECT_TRUE(SoundMuted);
    EXPECT_FALSE(Form1->OptionsPage().CheckBox_soundalarm->isChecked());
    EXPECT_EQ(Form1->BitBtn3->text(), LangText(341));
    EXPECT_EQ(Form1->StatusPanel(TStatusPanel::SoundState), LangText(322));
    ASSERT_NE(Form1->StatusBar1, nullptr);
    EXPECT_EQ(Form1->StatusBar1->Panels().Items(1).FontColor(), clRed);
    EXPECT_EQ(Form1->BitBtn3->icon().cacheKey(), Form1->SoundControls().Image3.cacheKey());
}

TEST_F(ProgramWindows, ProgramRestartLeavesLine30AndTheNextStartHasSound) {
    Start();
    Form1->SaveSettings();
    QTimer::singleShot(0, [] {
        ASSERT_TRUE(SoundDisableForm->isVisible());
        SoundDisableForm->BitBtn1->click(); // "program restart"
    });
    Form1->BitBtn3->click();
    ASSERT_TRUE(SoundMuted);
    EXPECT_EQ(SettingsLines()[30], "-1");
    Restart();
    EXPECT_FALSE(SoundMuted);
    EXPECT_EQ(Form1->BitBtn3->text(), LangText(342));
    EXPECT_EQ(Form1->StatusPanel(TStatusPanel::SoundState), LangText(323));
}
