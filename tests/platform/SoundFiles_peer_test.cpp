// The program's own alarm sounds in Data/Sounds/: each decodes through the audio layer and is
// clearly audible, and tools/make-sounds.sh makes the same set again.
#include "platform/SoundChannel.h"

#include "tests/platform/DiskAudio.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace zt::test;

namespace {

QStringList ShippedSounds() {
    return QDir(QString::fromStdString(SourcePath("Data/Sounds"))).entryList(QDir::Files, QDir::Name);
}

bool SoxWritesMp3() {
    return RunCommand("sox -h 2>/dev/null | grep -A2 'AUDIO FILE FORMATS' | grep -qw mp3 && echo yes") ==
           "yes\n";
}

} // namespace

TEST(SoundFiles, TheShippedSetHasTheDefaultAndWavAndMp3Alternatives) {
    const QStringList files = ShippedSounds();
    EXPECT_TRUE(files.contains(QStringLiteral("magic-wand-1.mp3")));
    EXPECT_TRUE(files.contains(QStringLiteral("beep.wav")));
    EXPECT_GE(files.filter(QStringLiteral(".wav")).size(), 2);
    EXPECT_GE(files.filter(QStringLiteral(".mp3")).size(), 2);
    for (const QString& f : files) {
        EXPECT_TRUE(f.endsWith(QStringLiteral(".wav")) || f.endsWith(QStringLiteral(".mp3")))
            << f.toStdString();
    }
}

TEST(SoundFiles, EachDecodesThroughTheLayerWithAPeakAboveATenth) {
    if (!HaveProgram("sox")) {
        GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh)";
    }
    for (const QString& name : ShippedSounds()) {
        SCOPED_TRACE(name.toStdString());
        TDiskAudioEnv env;
        ASSERT_EQ(SoundChannel.InitDevice(), QString());
        ASSERT_TRUE(SoundChannel.CreateStream(QString::fromStdString(SourcePath("Data/Sounds/")) + name));
        ASSERT_TRUE(SoundChannel.Play());
        EXPECT_TRUE(PumpUntil([] { return !SoundChannel.IsPlaying(); }, 5000));
        PumpFor(100);
        SoundChannel.FreeDevice();
        const std::vector<TSoundRun> runs = FindRuns(ReadLeftChannel(env.File()));
        ASSERT_FALSE(runs.empty());
        EXPECT_GT(runs.front().Peak, 0.1);
        EXPECT_LT(runs.back().EndSeconds() - runs.front().StartSeconds(), 3.0); // an alarm, not a song
        const TSoxStat stat = SoxStat(env.File(), true);
        EXPECT_GT(stat.Peak, 0.1);
        EXPECT_LT(stat.Peak, 0.99); // not clipped
    }
}

TEST(SoundFiles, TheToolMakesTheSameSetAgain) {
    if (!HaveProgram("sox")) {
        GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh)";
    }
    TempDir out;
    int rc = -1;
    const std::string log =
        RunCommand("'" + SourcePath("tools/make-sounds.sh") + "' '" + out.path() + "' 2>&1", &rc);
    const QStringList shipped = ShippedSounds();
    const QStringList made = QDir(QString::fromStdString(out.path())).entryList(QDir::Files, QDir::Name);
    if (SoxWritesMp3()) {
        EXPECT_EQ(rc, 0) << log;
        EXPECT_EQ(made, shipped);
    } else {
        // Without sox's MP3 support only the WAVs are made, and the tool says so.
        EXPECT_NE(rc, 0);
        EXPECT_NE(log.find("no MP3 support"), std::string::npos) << log;
        EXPECT_EQ(made, shipped.filter(QStringLiteral(".wav")));
    }
    // The recipes are repeatable: the same bytes as the committed files.
    for (const QString& name : made) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(ReadFile(out.file(name.toStdString())) ==
                    ReadFile(SourcePath("Data/Sounds/" + name.toStdString())));
    }
}
