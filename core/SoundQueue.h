// The alarm sound queue: the one file rule for sound names, the one-second player of
// Sound_down_grid, "Sound off", mute and the previews, all on the one shared audio channel.
// No display and no device needed: the channel is an interface the GUI side implements.
#pragma once

#include <QString>

class QTimer;
class TDataGrid;

// The shared channel as the queue sees it. A channel without a device does nothing and
// reports failure and silence.
class IAudioChannel {
public:
    virtual ~IAudioChannel() = default;
    // Replaces (and frees) the current stream; false when the file cannot be opened.
    virtual bool CreateStream(const QString& FileName) = 0;
    virtual void SetLoop(bool Loop) = 0;
    // From the start; false when the stream is invalid.
    virtual bool Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
};

// The sound of a new host, of the up sound setting and of the host dialogs.
inline constexpr const char* DefaultUpSound = "magic-wand-1.mp3";

// Sound_down_grid's columns.
inline constexpr int SoundFileColumn = 0;
inline constexpr int SoundLoopColumn = 1;
inline constexpr int SoundPlayedColumn = 2;

// Adds the three queue columns (file, loop, played) to an empty grid.
void CreateSoundQueueColumns(TDataGrid& Grid);

// The file of a sound name: an absolute path, or an old name holding ":\", as it stands;
// any other name is a file of <DataFolder>/Sounds/. A relative name that would leave that
// folder ("..") names no file and gives an empty path, which no stream opens.
QString SoundFilePath(const QString& Name, const QString& DataFolder);

class TSoundQueue {
public:
    // Queue is Sound_down_grid (columns as above), Timer is sound_timer (the caller connects
    // its timeout to Tick), Channel the shared channel. Sound names are resolved against the
    // Data folder of the moment (DataFolder()).
    TSoundQueue(TDataGrid& Queue, QTimer& Timer, IAudioChannel& Channel);

    // sound_timerTimer: when the channel is idle, the first row not yet played is opened,
    // given its loop flag, played from the start and marked played (a file that cannot be
    // opened or played is marked all the same); once the last row is played the timer stops.
    void Tick();

    // The dispatcher's side: the up sound (stop, create, play once), the queue it appends
    // to, and the timer it starts after appending. The up sound follows the one file rule and
    // is false when it could not play.
    bool PlayUpSound(const QString& FileName);
    TDataGrid& SoundQueueGrid() { return FQueue; }
    bool SoundTimerRunning() const;
    void StartSoundTimer();

    // "Sound off": stops the channel, stops the timer, empties the queue.
    void SoundOff();

    // Sets SoundMuted. Muting also does "Sound off", so nothing queued plays while muted.
    void SetMuted(bool Muted);

    // The options page's preview of the up sound: stops it while it is still playing,
    // otherwise plays the file once. Returns whether the preview now plays.
    bool TogglePreview(const QString& Name);
    bool PreviewPlaying() const;

    // The host dialogs' play button: stops whatever the channel plays, otherwise plays the
    // file once.
    void PlayOrStop(const QString& Name);

    // The close: the channel is stopped before the audio layer goes.
    void StopChannel();

private:
    // Opens and plays one file once or looping; any other stream on the channel ends.
    bool Start(const QString& FileName, bool Loop);
    bool LastRowPlayed() const;

    TDataGrid& FQueue;
    QTimer& FTimer;
    IAudioChannel& FChannel;
    // The channel holds the preview's stream (until another stream replaces it or a stop).
    bool FPreview = false;
};
