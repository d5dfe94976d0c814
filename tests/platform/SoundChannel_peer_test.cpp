// The audio layer against SDL's real mixer writing to its disk driver: what it plays is read
// back from the output file (runs, order, tone), with sox for the tones and the figures.
#include "platform/SoundChannel.h"

#include "tests/platform/DiskAudio.h"

#include <gtest/gtest.h>

using namespace zt::test;

namespace {

class SoundChannelDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("sox")) {
            GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh)";
        }
        ASSERT_EQ(SoundChannel.InitDevice(), QString());
        ASSERT_TRUE(SoundChannel.DeviceOpen());
    }
    void TearDown() override { SoundChannel.FreeDevice(); }

    std::string Tone(const std::string& name, double hz, double seconds) {
        const std::string path = Env.Dir().file(name);
        EXPECT_TRUE(MakeTone(path, hz, seconds));
        return path;
    }
    QString Q(const std::string& path) { return QString::fromStdString(path); }

    // Frees the device, so the output file is complete, and reads its runs.
    std::vector<TSoundRun> Finish() {
        SoundChannel.FreeDevice();
        return FindRuns(ReadLeftChannel(Env.File()));
    }

    TDiskAudioEnv Env;
};

} // namespace

TEST_F(SoundChannelDisk, PlaysAStreamOnceFromTheStart) {
    const std::string file = Tone("a440.wav", 440, 0.3);
    ASSERT_TRUE(SoundChannel.CreateStream(Q(file)));
    EXPECT_FALSE(SoundChannel.IsPlaying());
    ASSERT_TRUE(SoundChannel.Play());
    EXPECT_TRUE(SoundChannel.IsPlaying());
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 3000));
    PumpFor(200);
    // Play again: from the start, the whole tone once more.
    ASSERT_TRUE(SoundChannel.Play());
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 3000));
    PumpFor(200);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 2u);
    for (const TSoundRun& run : runs) {
        EXPECT_NEAR(run.Seconds(), 0.3, 0.02);
        EXPECT_NEAR(run.Frequency, 440, 10);
        EXPECT_NEAR(run.Peak, 0.5, 0.02);
    }
    const TSoxStat stat = SoxStat(Env.File(), true);
    EXPECT_NEAR(stat.Peak, 0.5, 0.02);
    EXPECT_GT(stat.Rms, 0.01);
}

TEST_F(SoundChannelDisk, LoopFlagKeepsPlayingUntilStop) {
    const std::string file = Tone("a660.wav", 660, 0.25);
    ASSERT_TRUE(SoundChannel.CreateStream(Q(file)));
    SoundChannel.SetLoop(true);
    ASSERT_TRUE(SoundChannel.Play());
    PumpFor(1200);
    EXPECT_TRUE(SoundChannel.IsPlaying());
    const size_t stopAt = Env.FramesWritten();
    SoundChannel.Stop();
    EXPECT_FALSE(SoundChannel.IsPlaying());
    PumpFor(300);
    const std::vector<TSoundRun> runs = Finish();
    // One unbroken run of at least four rounds, silent within 100 ms of the stop.
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_GT(runs[0].Seconds(), 1.0);
    EXPECT_NEAR(runs[0].Frequency, 660, 15);
    EXPECT_LT(double(runs[0].End) - double(stopAt), 0.1 * DiskRate);
}

TEST_F(SoundChannelDisk, NewStreamStartsWithLoopOffAndReplacesThePlayingOne) {
    const std::string low = Tone("low.wav", 440, 2.0);
    const std::string high = Tone("high.wav", 880, 0.3);
    ASSERT_TRUE(SoundChannel.CreateStream(Q(low)));
    SoundChannel.SetLoop(true);
    ASSERT_TRUE(SoundChannel.Play());
    PumpFor(300);
    // The replaced stream is freed, so it stops: only the new one is heard from here on.
    ASSERT_TRUE(SoundChannel.CreateStream(Q(high)));
    EXPECT_FALSE(SoundChannel.IsPlaying());
    PumpFor(300);
    ASSERT_TRUE(SoundChannel.Play());
    EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 3000));
    PumpFor(300);
    const std::vector<TSoundRun> runs = Finish();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[0].Frequency, 440, 10);
    EXPECT_LT(runs[0].Seconds(), 0.5);
    EXPECT_NEAR(runs[1].Frequency, 880, 15);
    EXPECT_NEAR(runs[1].Seconds(), 0.3, 0.02); // played once: the loop flag did not carry over
}

TEST_F(SoundChannelDisk, AFileThatCannotBeOpenedGivesAnInvalidStream) {
    const std::string good = Tone("good.wav", 440, 0.2);
    ASSERT_TRUE(SoundChannel.CreateStream(Q(good)));
    EXPECT_FALSE(SoundChannel.CreateStream(Q(Env.Dir().file("missing.wav"))));
    EXPECT_FALSE(SoundChannel.Play());
    EXPECT_FALSE(SoundChannel.IsPlaying());
    WriteFile(Env.Dir().file("noise.mp3"), "this is not a sound");
    EXPECT_FALSE(SoundChannel.CreateStream(Q(Env.Dir().file("noise.mp3"))));
    EXPECT_FALSE(SoundChannel.Play());
    EXPECT_FALSE(SoundChannel.CreateStream(QString()));
    EXPECT_FALSE(SoundChannel.CreateStream(QStringLiteral("C:\\Sounds\\old.wav")));
    SoundChannel.Stop();
    PumpFor(200);
    EXPECT_TRUE(Finish().empty());
}

TEST_F(SoundChannelDisk, OutputIs44100HzStereoInRealTime) {
    PumpFor(1000);
    const size_t frames = Env.FramesWritten();
    // A second of silence is about 44100 frames of four bytes (16-bit, two channels).
    EXPECT_GT(frames, 0.7 * DiskRate);
    EXPECT_LT(frames, 1.3 * DiskRate);
    EXPECT_EQ(SoundChannel.InitDevice(), QString()); // open already: nothing changes
}

TEST(SoundChannelNoDevice, EveryCallIsAQuietNoOpAndTheReasonIsGiven) {
    TDiskAudioEnv env("nosuch");
    const QString why = SoundChannel.InitDevice();
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(SoundChannel.DeviceOpen());
    const std::string file = env.Dir().file("t.wav");
    if (HaveProgram("sox")) {
        ASSERT_TRUE(MakeTone(file, 440, 0.1));
    }
    EXPECT_FALSE(SoundChannel.CreateStream(QString::fromStdString(file)));
    SoundChannel.SetLoop(true);
    EXPECT_FALSE(SoundChannel.Play());
    EXPECT_FALSE(SoundChannel.IsPlaying());
    SoundChannel.Stop();
    SoundChannel.FreeDevice();
    // A second start fails the same way.
    EXPECT_FALSE(SoundChannel.InitDevice().isEmpty());
    EXPECT_FALSE(SoundChannel.DeviceOpen());
}

TEST(SoundChannelNoDevice, FreeAndReopenOnAnotherDriver) {
    {
        TDiskAudioEnv none("nosuch");
        EXPECT_FALSE(SoundChannel.InitDevice().isEmpty());
    }
    TDiskAudioEnv disk;
    EXPECT_EQ(SoundChannel.InitDevice(), QString());
    EXPECT_TRUE(SoundChannel.DeviceOpen());
    SoundChannel.FreeDevice();
    EXPECT_FALSE(SoundChannel.DeviceOpen());
    SoundChannel.FreeDevice(); // twice is harmless
}
