// Test helpers for sound: SDL's disk driver as the output device (real-time 44100 Hz 16-bit
// stereo PCM into a file), the sounding runs of that output with their tone, sox for test
// tones and for peak and RMS. Header only, so the platform and window tests share it.
#pragma once

#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace zt::test {

inline constexpr int DiskRate = 44100;

// While it lives, the next audio start opens SDL's disk driver writing to File(); a second
// form opens the driver that does not exist (no device).
class TDiskAudioEnv {
public:
    TDiskAudioEnv() : TDiskAudioEnv("disk") {}
    explicit TDiskAudioEnv(const std::string& driver) : file_(dir_.file("out.raw")) {
        setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
        setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    }
    ~TDiskAudioEnv() {
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
    TDiskAudioEnv(const TDiskAudioEnv&) = delete;
    TDiskAudioEnv& operator=(const TDiskAudioEnv&) = delete;

    const std::string& File() const { return file_; }
    const TempDir& Dir() const { return dir_; }

    // Frames written so far (the output's clock).
    size_t FramesWritten() const {
        std::ifstream in(file_, std::ios::binary | std::ios::ate);
        return in ? static_cast<size_t>(in.tellg()) / 4 : 0;
    }

private:
    TempDir dir_;
    std::string file_;
};

// The left channel of a 16-bit stereo raw file, as -1..1.
inline std::vector<float> ReadLeftChannel(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::vector<float> left;
    left.reserve(bytes.size() / 4);
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        const auto lo = static_cast<uint8_t>(bytes[i]);
        const auto hi = static_cast<uint8_t>(bytes[i + 1]);
        left.push_back(static_cast<int16_t>(lo | (hi << 8)) / 32768.0f);
    }
    return left;
}

// One stretch of sound between silences.
struct TSoundRun {
    size_t Start = 0; // frames
    size_t End = 0;   // one past the last sounding frame
    float Peak = 0;
    double Frequency = 0; // from zero crossings
    double StartSeconds() const { return double(Start) / DiskRate; }
    double EndSeconds() const { return double(End) / DiskRate; }
    double Seconds() const { return double(End - Start) / DiskRate; }
};

// The tone of frames [Start, End) from their zero crossings, in Hz.
inline double ToneOf(const std::vector<float>& pcm, size_t Start, size_t End) {
    size_t crossings = 0;
    for (size_t i = Start + 1; i < End && i < pcm.size(); ++i) {
        if ((pcm[i - 1] < 0) != (pcm[i] < 0)) {
            ++crossings;
        }
    }
    return End > Start ? crossings / 2.0 / (double(End - Start) / DiskRate) : 0;
}

// Runs of samples above Threshold; silences shorter than MinGapSeconds join two runs.
inline std::vector<TSoundRun> FindRuns(const std::vector<float>& pcm, float Threshold = 0.01f,
                                       double MinGapSeconds = 0.1) {
    std::vector<TSoundRun> runs;
    const size_t minGap = static_cast<size_t>(MinGapSeconds * DiskRate);
    for (size_t i = 0; i < pcm.size(); ++i) {
        if (std::fabs(pcm[i]) < Threshold) {
            continue;
        }
        if (runs.empty() || i - runs.back().End > minGap) {
            runs.push_back({i, i + 1, 0, 0});
        }
        runs.back().End = i + 1;
    }
    for (TSoundRun& run : runs) {
        for (size_t i = run.Start; i < run.End; ++i) {
            run.Peak = std::max(run.Peak, std::fabs(pcm[i]));
        }
        run.Frequency = ToneOf(pcm, run.Start, run.End);
    }
    return runs;
}

// sox's own figures for a raw output file (or any file sox reads).
struct TSoxStat {
    double Peak = -1;
    double Rms = -1;
};

inline TSoxStat SoxStat(const std::string& path, bool raw) {
    const std::string input =
        raw ? "-t raw -r 44100 -e signed-integer -b 16 -c 2 '" + path + "'" : "'" + path + "'";
    const std::string out = RunCommand("sox " + input + " -n stat 2>&1");
    TSoxStat stat;
    auto value = [&](const std::string& key) {
        const size_t at = out.find(key);
        return at == std::string::npos ? -1.0 : std::atof(out.c_str() + out.find(':', at) + 1);
    };
    stat.Peak = value("Maximum amplitude");
    stat.Rms = value("RMS     amplitude");
    return stat;
}

// A sine tone written by sox, at half of full scale.
inline bool MakeTone(const std::string& path, double Hz, double Seconds) {
    int rc = -1;
    RunCommand("sox -R -D -n -r 44100 -c 1 -b 16 '" + path + "' synth " + std::to_string(Seconds) + " sine " +
                   std::to_string(Hz) + " vol 0.5 2>&1",
               &rc);
    return rc == 0;
}

// Processes events until Done or the limit; true when Done.
inline bool PumpUntil(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > LimitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void PumpFor(int Ms) {
    PumpUntil([] { return false; }, Ms);
}

} // namespace zt::test
