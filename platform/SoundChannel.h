// The program's audio output on SDL2_mixer: the default device at 44100 Hz and the one shared
// stream that alarm sounds, the up sound and the previews play on.
#pragma once

#include <QString>

struct _Mix_Music;

class TSoundChannel {
public:
    TSoundChannel() = default;
    ~TSoundChannel();
    TSoundChannel(const TSoundChannel&) = delete;
    TSoundChannel& operator=(const TSoundChannel&) = delete;

    // Opens the default output device at 44100 Hz, 16-bit stereo. Returns an empty text on
    // success (or when it is open already), else why there is no sound; the channel then stays
    // closed and every other call is a quiet no-op.
    QString InitDevice();

    // Stops and frees the stream, then closes the device. Does nothing when it is not open.
    void FreeDevice();
    bool DeviceOpen() const { return FOpen; }

    // Frees the current stream (stopping it) and opens FileName (UTF-8 path) as the new one,
    // with its loop flag off. False when the file cannot be opened: the stream is then invalid
    // and Play fails until the next CreateStream.
    bool CreateStream(const QString& FileName);

    // The loop flag of the current stream, used by the next Play.
    void SetLoop(bool Loop);

    // Plays the current stream from its start; false for an invalid stream or without device.
    bool Play();
    void Stop();
    bool IsPlaying() const;

private:
    void FreeStream();

    bool FOpen = false;
    bool FLoop = false;
    _Mix_Music* FStream = nullptr;
};

// The one channel of the program.
extern TSoundChannel SoundChannel;
