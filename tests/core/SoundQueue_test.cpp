// The sound queue without a display or a device: the one file rule, the timer's steps, "Sound
// off", mute, the previews and the up sound, against a channel that records every call.
#include "core/SoundQueue.h"

#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "grid/GxGrid.h"
#include "tests/core/RecordingAudioChannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class SoundQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QStringLiteral("/opt/zt/Data"));
        SoundMuted = false;
        CreateSoundQueueColumns(Grid);
        Timer.setInterval(1000);
    }
    void TearDown() override {
        SetDataFolder(QString());
        SoundMuted = false;
    }
    void Add(const QString& file, bool loop = false) {
        const int r = Grid.AddRow();
        Grid.Cell(SoundFileColumn, r).SetAsString(file);
        Grid.Cell(SoundLoopColumn, r).SetAsBoolean(loop);
    }
    QList<bool> Played() {
        QList<bool> played;
        for (int r = 0; r < Grid.RowCount(); ++r) {
            played << Grid.Cell(SoundPlayedColumn, r).GetAsBoolean();
        }
        return played;
    }
    QStringList TakeCalls() {
        QStringList calls = Channel.Calls;
        Channel.Calls.clear();
        return calls;
    }

    TDataGrid Grid;
    QTimer Timer;
    TRecordingAudioChannel Channel;
    TSoundQueue Queue{Grid, Timer, Channel};
};

} // namespace

TEST(SoundFileRule, AbsolutePathsStandOtherNamesAreFilesOfDataSounds) {
    const QString data = QStringLiteral("/opt/zt/Data/");
    EXPECT_EQ(SoundFilePath("/home/op/bell.wav", data), "/home/op/bell.wav");
    EXPECT_EQ(SoundFilePath("beep.wav", data), "/opt/zt/Data/Sounds/beep.wav");
    EXPECT_EQ(SoundFilePath("beep.wav", "/opt/zt/Data"), "/opt/zt/Data/Sounds/beep.wav");
    // A relative name with a folder is still inside Data/Sounds, never the working folder.
    EXPECT_EQ(SoundFilePath("a/b.mp3", data), "/opt/zt/Data/Sounds/a/b.mp3");
    EXPECT_EQ(SoundFilePath("./a/../c.mp3", data), "/opt/zt/Data/Sounds/c.mp3");
    // An old database's drive name is tried as given (and fails to open on Linux).
    EXPECT_EQ(SoundFilePath("C:\\Program Files\\ZT\\Data\\Sounds\\ding.wav", data),
              "C:\\Program Files\\ZT\\Data\\Sounds\\ding.wav");
    // Names that leave the folder, and no name, give no file.
    EXPECT_EQ(SoundFilePath("../dbm.db", data), QString());
    EXPECT_EQ(SoundFilePath("a/../../x.wav", data), QString());
    EXPECT_EQ(SoundFilePath("..", data), QString());
    EXPECT_EQ(SoundFilePath("", data), QString());
    EXPECT_EQ(QString::fromLatin1(DefaultUpSound), "magic-wand-1.mp3");
}

TEST_F(SoundQueueTest, QueueHasFileLoopAndPlayedColumns) {
    ASSERT_EQ(Grid.ColumnCount(), 3);
    Add("x.wav", true);
    EXPECT_EQ(Grid.Cell(0, 0).GetAsString(), "x.wav");
    EXPECT_TRUE(Grid.Cell(1, 0).GetAsBoolean());
    EXPECT_FALSE(Grid.Cell(2, 0).GetAsBoolean());
}

TEST_F(SoundQueueTest, EachIdleTickStartsTheNextRowAndTheLastStopsTheTimer) {
    Add("one.wav");
    Add("/tmp/two.wav", true);
    Add("three.mp3");
    Queue.StartSoundTimer();
    ASSERT_TRUE(Queue.SoundTimerRunning());

    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/one.wav", "loop off", "play"}));
    EXPECT_EQ(Played(), (QList<bool>{true, false, false}));
    // While the channel plays, a tick changes nothing.
    Queue.Tick();
    Queue.Tick();
    EXPECT_TRUE(TakeCalls().isEmpty());
    EXPECT_TRUE(Queue.SoundTimerRunning());

    Channel.Playing = false; // the sound ended by itself
    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create /tmp/two.wav", "loop on", "play"}));
    EXPECT_EQ(Played(), (QList<bool>{true, true, false}));
    EXPECT_TRUE(Queue.SoundTimerRunning());

    Channel.Playing = false;
    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/three.mp3", "loop off", "play"}));
    // The last row is played: the timer switches itself off in the same tick; the sound plays on.
    EXPECT_FALSE(Queue.SoundTimerRunning());
    EXPECT_TRUE(Channel.Playing);
    EXPECT_EQ(Grid.RowCount(), 3); // the rows stay until the next dispatch or "Sound off"
}

TEST_F(SoundQueueTest, AFileThatCannotBeOpenedIsMarkedPlayedAndTheNextPlaysOnTheNextTick) {
    Add("missing.wav");
    Add("C:\\Sounds\\missing-too.wav");
    Add("good.wav");
    Queue.StartSoundTimer();
    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/missing.wav", "loop off", "play"}));
    EXPECT_EQ(Played(), (QList<bool>{true, false, false}));
    EXPECT_TRUE(Queue.SoundTimerRunning());
    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create C:\\Sounds\\missing-too.wav", "loop off", "play"}));
    Queue.Tick();
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/good.wav", "loop off", "play"}));
    EXPECT_EQ(Played(), (QList<bool>{true, true, true}));
    EXPECT_FALSE(Queue.SoundTimerRunning());
}

TEST_F(SoundQueueTest, WithoutADeviceTheQueueStillAdvancesAndEnds) {
    Channel.Device = false;
    Add("a.wav");
    Add("b.wav", true);
    Queue.StartSoundTimer();
    Queue.Tick();
    EXPECT_EQ(Played(), (QList<bool>{true, false}));
    Queue.Tick();
    EXPECT_EQ(Played(), (QList<bool>{true, true}));
    EXPECT_FALSE(Queue.SoundTimerRunning());
}

TEST_F(SoundQueueTest, AnEmptyQueueStopsTheTimer) {
    Queue.StartSoundTimer();
    Queue.Tick();
    EXPECT_FALSE(Queue.SoundTimerRunning());
    EXPECT_TRUE(TakeCalls().isEmpty());
}

TEST_F(SoundQueueTest, SoundOffStopsTheChannelTheTimerAndEmptiesTheQueue) {
    Add("a.wav", true);
    Add("b.wav");
    Queue.StartSoundTimer();
    Queue.Tick();
    TakeCalls();
    Queue.SoundOff();
    EXPECT_EQ(TakeCalls(), QStringList{"stop"});
    EXPECT_FALSE(Channel.Playing);
    EXPECT_FALSE(Queue.SoundTimerRunning());
    EXPECT_EQ(Grid.RowCount(), 0);
}

TEST_F(SoundQueueTest, MutingAlsoEndsTheQueueUnmutingOnlyClearsTheFlag) {
    Add("a.wav");
    Add("b.wav");
    Queue.StartSoundTimer();
    Queue.Tick();
    TakeCalls();
    Queue.SetMuted(true);
    EXPECT_TRUE(SoundMuted);
    EXPECT_EQ(TakeCalls(), QStringList{"stop"});
    EXPECT_FALSE(Queue.SoundTimerRunning());
    EXPECT_EQ(Grid.RowCount(), 0);
    // Nothing queued behind the muted sound plays on a later tick.
    Queue.Tick();
    EXPECT_TRUE(TakeCalls().isEmpty());

    Add("c.wav");
    Queue.SetMuted(false);
    EXPECT_FALSE(SoundMuted);
    EXPECT_TRUE(TakeCalls().isEmpty());
    EXPECT_EQ(Grid.RowCount(), 1);
}

TEST_F(SoundQueueTest, UpSoundStopsCreatesAndPlaysOnce) {
    Channel.Playing = true;
    Queue.PlayUpSound("/opt/zt/Data/Sounds/magic-wand-1.mp3");
    EXPECT_EQ(TakeCalls(),
              (QStringList{"stop", "create /opt/zt/Data/Sounds/magic-wand-1.mp3", "loop off", "play"}));
    // A bare name follows the same rule.
    Queue.PlayUpSound("up.wav");
    EXPECT_EQ(TakeCalls(), (QStringList{"stop", "create /opt/zt/Data/Sounds/up.wav", "loop off", "play"}));
}

TEST_F(SoundQueueTest, PreviewPressedTwiceStopsAndAfterItEndedPlaysAgain) {
    EXPECT_TRUE(Queue.TogglePreview("beep.wav"));
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/beep.wav", "loop off", "play"}));
    EXPECT_TRUE(Queue.PreviewPlaying());
    EXPECT_FALSE(Queue.TogglePreview("beep.wav"));
    EXPECT_EQ(TakeCalls(), QStringList{"stop"});

    EXPECT_TRUE(Queue.TogglePreview("beep.wav"));
    TakeCalls();
    Channel.Playing = false; // ended by itself
    EXPECT_FALSE(Queue.PreviewPlaying());
    EXPECT_TRUE(Queue.TogglePreview("beep.wav"));
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/beep.wav", "loop off", "play"}));
}

TEST_F(SoundQueueTest, PreviewReplacedByAQueuedSoundIsNoLongerThePreview) {
    EXPECT_TRUE(Queue.TogglePreview("beep.wav"));
    Channel.Playing = false;
    Add("alarm.wav", true);
    Queue.StartSoundTimer();
    Queue.Tick();
    TakeCalls();
    // The press starts the preview again rather than stopping the alarm as if it were the preview.
    EXPECT_TRUE(Queue.TogglePreview("beep.wav"));
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/beep.wav", "loop off", "play"}));
}

TEST_F(SoundQueueTest, PreviewOfAMissingFileDoesNotCountAsPlaying) {
    EXPECT_FALSE(Queue.TogglePreview("missing.wav"));
    EXPECT_FALSE(Queue.PreviewPlaying());
    TakeCalls();
    EXPECT_FALSE(Queue.TogglePreview("missing.wav"));
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/missing.wav", "loop off", "play"}));
}

TEST_F(SoundQueueTest, DialogPlayStopsWhateverPlaysElsePlaysTheFile) {
    Channel.Playing = true;
    Queue.PlayOrStop("beep.wav");
    EXPECT_EQ(TakeCalls(), QStringList{"stop"});
    Queue.PlayOrStop("beep.wav");
    EXPECT_EQ(TakeCalls(), (QStringList{"create /opt/zt/Data/Sounds/beep.wav", "loop off", "play"}));
}

TEST_F(SoundQueueTest, TheTimerDrivesTheQueueInRealTime) {
    Timer.setInterval(20);
    QObject::connect(&Timer, &QTimer::timeout, [this] {
        Channel.Playing = false; // every sound is short
        Queue.Tick();
    });
    Add("a.wav");
    Add("b.wav");
    Add("c.wav");
    Queue.StartSoundTimer();
    QElapsedTimer clock;
    clock.start();
    while (Queue.SoundTimerRunning() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_FALSE(Queue.SoundTimerRunning());
    EXPECT_EQ(Played(), (QList<bool>{true, true, true}));
    EXPECT_EQ(Channel.Calls.filter("create").size(), 3);
}
