// Sound across the program's windows: the audio start-up without a device, the dispatcher while
// muted, and Exit while a looping sound plays.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/ProgramLog.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/SoundQueue.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "platform/SoundChannel.h"
#include "tests/platform/DiskAudio.h"
#include "ui/dialogs/DisableSoundForm.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/SoundControls.h"
#include "ui/main/StartupTrace.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zt::test;

namespace {

class SoundProgram : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(Data.path()));
        ResetShutdownRequest();
        MonitoringActive = false;
        SoundMuted = false;
        DownAlertVisible = false;
        UpAlertVisible = false;
        InstallProgramLogSink();
    }
    void TearDown() override {
        DestroyForms();
        SoundChannel.FreeDevice();
        MonitorDatabase.Close();
        ResetShutdownRequest();
        SetSynchronizeClosed(false);
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
        SoundMuted = false;
        DownAlertVisible = false;
    }
    QStringList ProgramLog() {
        QStringList rows;
        auto table =
            MonitorDatabase.OpenResultTable(QStringLiteral("select Status from program_log order by ID"));
        for (; !table->AtEnd(); table->NextRow()) {
            rows << table->FieldText(0);
        }
        return rows;
    }
    TempDir Data;
};

} // namespace

TEST_F(SoundProgram, WithoutADeviceOneProgramLogLineAndTheQueueStillEmpties) {
    TDiskAudioEnv none("nosuch");
    CreateForms();
    ASSERT_TRUE(MonitorDatabase.IsOpen());
    EXPECT_FALSE(SoundChannel.DeviceOpen());
    PumpFor(100); // the line waits for the message loop, when the database is open
    const QStringList lines = ProgramLog().filter(QStringLiteral("Sound is off: no audio device"));
    ASSERT_EQ(lines.size(), 1) << ProgramLog().join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("nosuch"))) << lines[0].toStdString();

    TDataGrid& queue = *Form1->Sound_down_grid;
    for (const char* name : {"beep.wav", "magic-wand-1.mp3"}) {
        queue.Cell(SoundFileColumn, queue.AddRow()).SetAsString(QString::fromLatin1(name));
    }
    Form1->SoundControls().Queue().StartSoundTimer();
    EXPECT_TRUE(PumpUntil([] { return !Form1->sound_timer->isActive(); }, 4000));
    EXPECT_TRUE(queue.Cell(SoundPlayedColumn, 0).GetAsBoolean());
    EXPECT_TRUE(queue.Cell(SoundPlayedColumn, 1).GetAsBoolean());
    // Every handler is a quiet no-op.
    Form1->OptionsPage().Play_sound_button->click();
    Form1->BitBtn6->click();
    Form1->ExitProgram();
    EXPECT_EQ(ProgramLog().filter(QStringLiteral("Sound is off")).size(), 1);
}

TEST_F(SoundProgram, MutedQueuesNoSoundButThePopupAndMessagesStillCome) {
    TDiskAudioEnv none("nosuch");
    CreateForms();
    QTimer::singleShot(0, [] {
        if (auto* shown = qobject_cast<TSoundDisableForm*>(QApplication::activeModalWidget())) {
            shown->BitBtn1->click();
        }
    });
    Form1->BitBtn3->click();
    ASSERT_TRUE(SoundMuted);
    Form1->OptionsPage().Email_checkbox->setChecked(true);
    auto queueEvent = [] {
        TDataGrid& down = *Form1->DownHostGrid;
        const int r = down.AddRow();
        down.Cell("Host_name", r).SetAsString(QStringLiteral("router"));
        down.Cell("State", r).SetAsString(QStringLiteral("Down"));
        down.Cell("State", r).SetCellColor(255);
        down.Cell("Email", r).SetAsString(QStringLiteral("ops@example.org"));
        down.Cell("email_e", r).SetAsBoolean(true);
        down.Cell("Alarm_sound", r).SetAsString(QStringLiteral("beep.wav"));
        down.Cell("Sound_e", r).SetAsBoolean(true);
    };
    queueEvent();
    Form1->Monitor().DispatchAlarms();
    EXPECT_EQ(Form1->Sound_down_grid->RowCount(), 0);
    EXPECT_TRUE(DownAlertVisible); // the popup came
    const QStringList log = ProgramLog();
    EXPECT_TRUE(log.contains(LangText(271))); // popup shown
    // The mail was tried (a failure carries its reason after the line's text).
    EXPECT_TRUE(log.contains(LangText(266)) ||
                !log.filter(QRegularExpression("^" + QRegularExpression::escape(LangText(267)))).isEmpty());
    EXPECT_FALSE(log.contains(LangText(274))); // no sounds queued

    // With sounds on, the same event queues its sound.
    Form1->BitBtn3->click();
    ASSERT_FALSE(SoundMuted);
    queueEvent();
    Form1->Monitor().DispatchAlarms();
    ASSERT_EQ(Form1->Sound_down_grid->RowCount(), 1);
    EXPECT_EQ(Form1->Sound_down_grid->Cell(SoundFileColumn, 0).GetAsString(), QStringLiteral("beep.wav"));
}

TEST_F(SoundProgram, ExitDuringALoopingSoundStopsItAndFreesTheDevice) {
    if (!HaveProgram("sox")) {
        GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh)";
    }
    TDiskAudioEnv disk;
    const std::string tone = disk.Dir().file("loop.wav");
    ASSERT_TRUE(MakeTone(tone, 440, 0.2));
    CreateForms();
    ASSERT_TRUE(SoundChannel.DeviceOpen());
    TDataGrid& queue = *Form1->Sound_down_grid;
    const int r = queue.AddRow();
    queue.Cell(SoundFileColumn, r).SetAsString(QString::fromStdString(tone));
    queue.Cell(SoundLoopColumn, r).SetAsBoolean(true);
    Form1->SoundControls().Queue().StartSoundTimer();
    ASSERT_TRUE(PumpUntil([] { return SoundChannel.IsPlaying(); }, 2000));
    PumpFor(600);
    ClearStartupTrace();
    const double exitAt = double(disk.FramesWritten()) / DiskRate;
    Form1->ExitProgram();
    EXPECT_TRUE(StartupTraceSteps().contains(QStringLiteral("FreeAudio")));
    EXPECT_FALSE(SoundChannel.DeviceOpen());
    EXPECT_FALSE(SoundChannel.IsPlaying());
    PumpFor(200); // ticks after the close find the layer gone and do nothing
    DestroyForms();
    const std::vector<TSoundRun> runs = FindRuns(ReadLeftChannel(disk.File()));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_GT(runs[0].Seconds(), 0.5);
    EXPECT_LT(runs[0].EndSeconds() - exitAt, 0.1);
}
