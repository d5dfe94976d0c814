// Figures of the alarm sound queue: one timer tick over a long queue whose rows are all played
// but the last, and the time from a play call to the first sounding sample that the real mixer
// writes through SDL's disk driver.
#include "core/DataFolder.h"
#include "core/SoundQueue.h"
#include "grid/GxGrid.h"
#include "platform/SoundChannel.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Idle at once: the queue logic alone is timed.
class TIdleChannel : public IAudioChannel {
public:
    bool CreateStream(const QString&) override { return true; }
    void SetLoop(bool) override {}
    bool Play() override { return true; }
    void Stop() override {}
    bool IsPlaying() const override { return false; }
};

// Median tick time over Rounds ticks of a queue of Rows rows, all played but the last.
double TickMs(int Rows, int Rounds) {
    TDataGrid grid;
    CreateSoundQueueColumns(grid);
    grid.AddRow(Rows);
    for (int r = 0; r < Rows; ++r) {
        grid.Cell(SoundFileColumn, r).SetAsString(QStringLiteral("alarm-%1.wav").arg(r));
        grid.Cell(SoundPlayedColumn, r).SetAsBoolean(r < Rows - 1);
    }
    QTimer timer;
    TIdleChannel channel;
    TSoundQueue queue(grid, timer, channel);
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        grid.Cell(SoundPlayedColumn, Rows - 1).SetAsBoolean(false);
        timer.start(1000);
        const auto t0 = Clock::now();
        queue.Tick();
        times.push_back(Ms(t0, Clock::now()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A 16-bit mono WAV of a sine at half of full scale.
void WriteTone(const std::string& path, double hz, double seconds) {
    const int rate = 44100;
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) {
        out.write(reinterpret_cast<const char*>(&v), 4);
    };
    auto u16 = [&](uint16_t v) {
        out.write(reinterpret_cast<const char*>(&v), 2);
    };
    out.write("RIFF", 4);
    u32(36 + frames * 2);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        u16(static_cast<uint16_t>(static_cast<int16_t>(16000 * std::sin(2 * M_PI * hz * i / rate))));
    }
}

size_t FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<size_t>(in.tellg()) : 0;
}

// First frame at or after FromByte whose left sample is clearly not silent, or npos.
size_t FirstSounding(const std::string& path, size_t FromByte) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(FromByte));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        const int16_t s =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        if (std::abs(s) > 300) {
            return (FromByte + i) / 4;
        }
    }
    return std::string::npos;
}

struct TLatency {
    double WallMs = -1;   // play call until the sample is in the file
    double OutputMs = -1; // the same on the output's own clock (frames)
    double BlockMs = -1;  // anchor: play call until the file next grows at all
};

TLatency PlayLatency(const std::string& out, const QString& tone) {
    TLatency l;
    SoundChannel.CreateStream(tone);
    const size_t startBytes = FileBytes(out);
    const auto t0 = Clock::now();
    SoundChannel.Play();
    const auto limit = t0 + std::chrono::seconds(2);
    while (Clock::now() < limit) {
        const size_t bytes = FileBytes(out);
        if (l.BlockMs < 0 && bytes > startBytes) {
            l.BlockMs = Ms(t0, Clock::now());
        }
        const size_t frame = FirstSounding(out, startBytes - startBytes % 4);
        if (frame != std::string::npos) {
            l.WallMs = Ms(t0, Clock::now());
            l.OutputMs = (double(frame) - double(startBytes / 4)) * 1000.0 / 44100;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SoundChannel.Stop();
    return l;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    std::printf("sound queue tick (median of 2000 ticks, idle channel, queue all played but the last row)\n");
    std::printf("  5000 rows, 4999 played: %.4f ms\n", TickMs(5000, 2000));
    std::printf("  anchor, 1 row:          %.4f ms\n", TickMs(1, 2000));

    char folder[] = "/tmp/zt-bench-sound-XXXXXX";
    if (!mkdtemp(folder)) {
        return 1;
    }
    const std::string out = std::string(folder) + "/out.raw";
    const std::string tone = std::string(folder) + "/tone.wav";
    WriteTone(tone, 880, 0.3);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    const QString why = SoundChannel.InitDevice();
    if (!why.isEmpty()) {
        std::printf("play latency: no device (%s)\n", why.toUtf8().constData());
        return 1;
    }
    std::vector<double> wall, output, block;
    const int rounds = 20;
    for (int i = 0; i < rounds; ++i) {
        // Start at a different point of the device's mixing block each round.
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 7 * i));
        const TLatency l = PlayLatency(out, QString::fromStdString(tone));
        wall.push_back(l.WallMs);
        output.push_back(l.OutputMs);
        block.push_back(l.BlockMs);
    }
    SoundChannel.FreeDevice();
    QDir(QString::fromLatin1(folder)).removeRecursively();
    std::printf("play call to first sounding sample (SDL disk driver, 44100 Hz 16-bit stereo, 1024-frame "
                "blocks, %d rounds, WAV stream)\n",
                rounds);
    std::printf("  wall clock, median %.1f ms, worst %.1f ms\n", Median(wall),
                *std::max_element(wall.begin(), wall.end()));
    std::printf("  output clock, median %.1f ms, worst %.1f ms\n", Median(output),
                *std::max_element(output.begin(), output.end()));
    std::printf("  anchor, play call to the next block in the file: median %.1f ms\n", Median(block));
    return 0;
}
