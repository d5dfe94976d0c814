// The main window's sound queue, mute and previews on the real mixer, heard through SDL's disk
// driver: what plays, in which order and tone, and how soon it stops.
#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/SoundQueue.h"
#include "grid/GxGrid.h"
#include "platform/SoundChannel.h"
#include "tests/platform/DiskAudio.h"
#include "ui/dialogs/DisableSoundForm.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/SoundControls.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

using namespace zt::test;

namespace {

class SoundQueueOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("sox")) {
            GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh)";
        }
        LangTexts::UseBuiltInEnglish();
        SoundMuted = false;
        QDir().mkpath(QString::fromStdString(Data.file("Sounds")));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(SourcePath("Data/Sounds/beep.wav")),
                                QString::fromStdString(Data.file("Sounds/beep.wav"))));
        SetDataFolder(QString::fromStdString(Data.path()));
        Services = std::make_unique<TMonitorServices>(MonitorDatabase, QString::fromStdString(Data.path()));
        Form = std::make_unique<TForm1>(*Services);
        Form1 = Form.get();
        Dialog = std::make_unique<TSoundDisableForm>(*Services);
        SoundDisableForm = Dialog.get();
        // Starts the audio layer too.
        Form->FormCreate();
        Form->SoundControls().SetSoundOffDialog(Dialog.get());
        ASSERT_TRUE(SoundChannel.DeviceOpen());
    }
    void TearDown() override {
        Dialog.reset();
        SoundDisableForm = nullptr;
        Form.reset();
        Form1 = nullptr;
        SoundChannel.FreeDevice();
        SetDataFolder(QString());
        SoundMuted = false;
    }

    QString Tone(const std::string& name, double hz, double seconds) {
        const std::string path = Env.Dir().file(name);
        EXPECT_TRUE(MakeTone(path, hz, seconds));
        return QString::fromStdString(path);
    }
    void Queue(const QString& file, bool loop = false) {
        TDataGrid& grid = *Form->Sound_down_grid;
        const int r = grid.AddRow();
        grid.Cell(SoundFileColumn, r).SetAsString(file);
        grid.Cell(SoundLoopColumn, r).SetAsBoolean(loop);
    }
    bool Played(int row) { return Form->Sound_down_grid->Cell(SoundPlayedColumn, row).GetAsBoolean(); }
    double Now() const { return double(Env.FramesWritten()) / DiskRate; }

    // The close step, then the runs of the complete output.
    std::vector<TSoundRun> Finish() {
        Form->SoundControls().FreeAudio();
        EXPECT_FALSE(SoundChannel.DeviceOpen());
        return FindRuns(ReadLeftChannel(Env.File()));
    }

    TDiskAudioEnv Env;
    TempDir Data;
    std::unique_ptr<TMonitorServices> Services;
    std::unique_ptr<TForm1> Form;
    std::unique_ptr<TSoundDisableForm> Dialog;
};

} // namespace

TEST_F(SoundQueueOnDisk, ThreeQueuedSoundsPlayInRowOrderAtMostASecondApart) {
    Queue(Tone("a.wav", 440, 0.3));
    Queue(Tone("b.wav", 660, 0.3));
    Queue(Tone("c.wav", 880, 0.3));
    Form->SoundControls().Queue().StartSoundTimer();
    ASSERT_TRUE(Form->sound_timer->isActive());
    EXPECT_TRUE(PumpUntil([&] { return Played(2); }, 5000));
    // The last row is started: the timer is off at once, the sound plays to its end.
    EXPECT_FALSE(Form->sound_timer->isActive());
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 2000));
    PumpFor(200);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 3u);
    const double tones[] = {440, 660, 880};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(runs[i].Frequency, tones[i], 15) << i;
        EXPECT_NEAR(runs[i].Seconds(), 0.3, 0.03) << i;
        if (i > 0) {
            const double gap = runs[i].StartSeconds() - runs[i - 1].EndSeconds();
            std::printf("gap before sound %zu: %.3f s\n", i + 1, gap);
            EXPECT_LE(gap, 1.1) << i;
            EXPECT_GT(gap, 0.3) << i; // waits for the timer, not played at once
        }
    }
}

TEST_F(SoundQueueOnDisk, ALoopingQueuedSoundPlaysUntilSoundOff) {
    Queue(Tone("loop.wav", 660, 0.25), true);
    Queue(Tone("behind.wav", 880, 0.3));
    Form->SoundControls().Queue().StartSoundTimer();
    PumpFor(2500);
    EXPECT_TRUE(SoundChannel.IsPlaying());
    EXPECT_TRUE(Form->sound_timer->isActive()); // the second row waits behind the loop
    EXPECT_FALSE(Played(1));
    const double offAt = Now();
    Form->BitBtn6->click();
    EXPECT_EQ(Form->Sound_down_grid->RowCount(), 0);
    EXPECT_FALSE(Form->sound_timer->isActive());
    PumpFor(1500);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NEAR(runs[0].Frequency, 660, 15);
    EXPECT_GT(runs[0].Seconds(), 1.2);
    EXPECT_LT(runs[0].EndSeconds() - offAt, 0.1);
}

TEST_F(SoundQueueOnDisk, MutingDuringASoundSilencesItAtOnceAndNothingQueuedPlays) {
    Queue(Tone("long.wav", 440, 2.0));
    Queue(Tone("next.wav", 660, 0.3));
    Queue(Tone("last.wav", 880, 0.3));
    Form->SoundControls().Queue().StartSoundTimer();
    ASSERT_TRUE(PumpUntil([] { return SoundChannel.IsPlaying(); }, 2000));
    PumpFor(300);
    double muteAt = 0;
    QString label;
    // The dialog stays up for more than a tick before it is answered.
    QTimer::singleShot(1300, [&] {
        auto* shown = qobject_cast<TSoundDisableForm*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        label = shown->Label2->text();
        shown->BitBtn1->click();
    });
    muteAt = Now();
    Form->BitBtn3->click();
    EXPECT_EQ(label, LangText(343));
    EXPECT_TRUE(SoundMuted);
    EXPECT_EQ(Form->BitBtn3->text(), LangText(341));
    EXPECT_EQ(Form->StatusPanel(TStatusPanel::SoundState), LangText(322));
    PumpFor(2500);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NEAR(runs[0].Frequency, 440, 10);
    EXPECT_LT(runs[0].EndSeconds() - muteAt, 0.1);
    EXPECT_LT(runs[0].Seconds(), 1.0);
}

TEST_F(SoundQueueOnDisk, PreviewPressedTwiceStopsAndAfterItEndedPlaysAgain) {
    Form->OptionsPage().Up_Sound_Edit->setText(Tone("preview.wav", 660, 0.5));
    Form->OptionsPage().Play_sound_button->click();
    PumpFor(250);
    Form->OptionsPage().Play_sound_button->click(); // stops it
    EXPECT_FALSE(SoundChannel.IsPlaying());
    PumpFor(400);
    Form->OptionsPage().Play_sound_button->click(); // plays it whole
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 2000));
    PumpFor(300);
    Form->OptionsPage().Play_sound_button->click(); // ended by itself: plays again, does not only "stop"
    EXPECT_TRUE(SoundChannel.IsPlaying());
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 2000));
    PumpFor(200);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_LT(runs[0].Seconds(), 0.4);
    EXPECT_NEAR(runs[1].Seconds(), 0.5, 0.03);
    EXPECT_NEAR(runs[2].Seconds(), 0.5, 0.03);
    for (const TSoundRun& run : runs) {
        EXPECT_NEAR(run.Frequency, 660, 15);
    }
}

TEST_F(SoundQueueOnDisk, AbsolutePathAsItStandsBareNameFromDataSoundsMissingFilePassedOver) {
    Queue(Tone("abs.wav", 660, 0.3));  // an absolute path in a temporary folder
    Queue(QStringLiteral("beep.wav")); // Data/Sounds/beep.wav
    Queue(QStringLiteral("not-there.wav"));
    Queue(Tone("after.wav", 880, 0.3));
    Form->SoundControls().Queue().StartSoundTimer();
    EXPECT_TRUE(PumpUntil([&] { return Played(3); }, 6000));
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 2000));
    PumpFor(200);
    EXPECT_TRUE(Played(0) && Played(1) && Played(2) && Played(3));
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_NEAR(runs[0].Frequency, 660, 15);
    EXPECT_NEAR(runs[1].Frequency, 1000, 20);
    EXPECT_NEAR(runs[1].Seconds(), 0.25, 0.03);
    EXPECT_NEAR(runs[2].Frequency, 880, 15);
    // The missing file took one tick: the row after it started two ticks after the beep.
    EXPECT_NEAR(runs[2].StartSeconds() - runs[1].StartSeconds(), 2.0, 0.15);
}

TEST_F(SoundQueueOnDisk, UpSoundStopsWhatPlaysAndPlaysOnce) {
    Queue(Tone("alarm.wav", 440, 0.3), true);
    Form->SoundControls().Queue().StartSoundTimer();
    ASSERT_TRUE(PumpUntil([] { return SoundChannel.IsPlaying(); }, 2000));
    PumpFor(700);
    Form->SoundControls().Queue().PlayUpSound(QStringLiteral("beep.wav"));
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 2000));
    PumpFor(300);
    Form->SoundControls().FreeAudio();
    const std::vector<float> pcm = ReadLeftChannel(Env.File());
    const std::vector<TSoundRun> runs = FindRuns(pcm);
    ASSERT_EQ(runs.size(), 1u); // the beep follows the cut loop at once
    // It ends with the beep's quarter second, and nothing of the loop after it.
    const size_t tail = static_cast<size_t>(0.2 * DiskRate);
    EXPECT_NEAR(ToneOf(pcm, runs[0].End - tail, runs[0].End), 1000, 20);
    EXPECT_NEAR(ToneOf(pcm, runs[0].Start, runs[0].Start + tail), 440, 10);
}
