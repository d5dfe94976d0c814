// SDL2_mixer behind the shared channel: the stream is a mixer music object, so a new stream
// replaces (and halts) the old one and looping is seamless.
#include "platform/SoundChannel.h"

#include "platform/TerminationSignals.h"

#include <SDL.h>
#include <SDL_mixer.h>

TSoundChannel SoundChannel;

namespace {

constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;
// About 23 ms per mixing block: short enough that a stop is heard at once.
constexpr int BlockFrames = 1024;

QString SdlError() {
    return QString::fromUtf8(SDL_GetError());
}

} // namespace

TSoundChannel::~TSoundChannel() {
    FreeDevice();
}

QString TSoundChannel::InitDevice() {
    if (FOpen) {
        return {};
    }
    // The program owns SIGINT and SIGTERM; the audio subsystem must not take them over.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The audio threads opened here keep SIGTERM and SIGINT held: a termination signal never
    // lands in (or interrupts) the mixer.
    const TTerminationSignalsHeld held;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        const QString why = SdlError();
        SDL_Quit();
        return why;
    }
    Mix_Init(MIX_INIT_MP3);
    // No format changes allowed: the device always gets 44100 Hz 16-bit stereo.
    if (Mix_OpenAudioDevice(OutputRate, AUDIO_S16SYS, OutputChannels, BlockFrames, nullptr, 0) != 0) {
        const QString why = SdlError();
        Mix_Quit();
        SDL_Quit();
        return why;
    }
    FOpen = true;
    FLoop = false;
    return {};
}

void TSoundChannel::FreeDevice() {
    if (!FOpen) {
        return;
    }
    Mix_HaltMusic();
    FreeStream();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
    FOpen = false;
}

void TSoundChannel::FreeStream() {
    if (FStream) {
        Mix_FreeMusic(FStream);
        FStream = nullptr;
    }
}

bool TSoundChannel::CreateStream(const QString& FileName) {
    if (!FOpen) {
        return false;
    }
    FreeStream();
    FLoop = false;
    if (FileName.isEmpty()) {
        return false;
    }
    FStream = Mix_LoadMUS(FileName.toUtf8().constData());
    return FStream != nullptr;
}

void TSoundChannel::SetLoop(bool Loop) {
    FLoop = Loop;
}

bool TSoundChannel::Play() {
    if (!FOpen || !FStream) {
        return false;
    }
    return Mix_PlayMusic(FStream, FLoop ? -1 : 0) == 0;
}

void TSoundChannel::Stop() {
    if (FOpen) {
        Mix_HaltMusic();
    }
}

bool TSoundChannel::IsPlaying() const {
    return FOpen && FStream && Mix_PlayingMusic() != 0;
}
