// The queue's steps in their fixed order, on the GUI thread only: the dispatcher, the timer,
// the buttons and the previews all share one channel without a lock.
#include "core/SoundQueue.h"

#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "grid/GxGrid.h"

#include <QDir>
#include <QTimer>

void CreateSoundQueueColumns(TDataGrid& Grid) {
    Grid.AddColumn(TGxColumnKind::Text, QStringLiteral("Sound"));
    Grid.AddColumn(TGxColumnKind::CheckBox, QStringLiteral("Loop"));
    Grid.AddColumn(TGxColumnKind::CheckBox, QStringLiteral("Played"));
}

QString SoundFilePath(const QString& Name, const QString& DataFolder) {
    // Old databases name their sounds with a drive; such a name is tried as it stands and
    // simply fails to open here.
    if (Name.startsWith(QLatin1Char('/')) || Name.contains(QLatin1String(":\\"))) {
        return Name;
    }
    if (Name.isEmpty()) {
        return {};
    }
    QString folder = QDir::cleanPath(DataFolder + QStringLiteral("/Sounds"));
    const QString file = QDir::cleanPath(folder + QLatin1Char('/') + Name);
    if (!file.startsWith(folder + QLatin1Char('/'))) {
        return {};
    }
    return file;
}

TSoundQueue::TSoundQueue(TDataGrid& Queue, QTimer& Timer, IAudioChannel& Channel)
    : FQueue(Queue), FTimer(Timer), FChannel(Channel) {}

bool TSoundQueue::Start(const QString& FileName, bool Loop) {
    FPreview = false;
    FChannel.CreateStream(FileName);
    FChannel.SetLoop(Loop);
    return FChannel.Play();
}

bool TSoundQueue::LastRowPlayed() const {
    const int rows = FQueue.RowCount();
    // An empty queue has nothing left to play either.
    return rows == 0 || FQueue.GetCellObject(SoundPlayedColumn, rows - 1).GetAsBoolean();
}

void TSoundQueue::Tick() {
    if (!FChannel.IsPlaying()) {
        const int rows = FQueue.RowCount();
        for (int r = 0; r < rows; ++r) {
            TCell& played = FQueue.GetCellObject(SoundPlayedColumn, r);
            if (played.GetAsBoolean()) {
                continue;
            }
            const QString file =
                SoundFilePath(FQueue.GetCellObject(SoundFileColumn, r).GetAsString(), DataFolder());
            const bool loop = FQueue.GetCellObject(SoundLoopColumn, r).GetAsBoolean();
            // A file that cannot be played is passed over: it counts as played.
            Start(file, loop);
            FQueue.GetCellObject(SoundPlayedColumn, r).SetAsBoolean(true);
            break;
        }
    }
    if (LastRowPlayed()) {
        FTimer.stop();
    }
}

bool TSoundQueue::PlayUpSound(const QString& FileName) {
    FChannel.Stop();
    return Start(SoundFilePath(FileName, DataFolder()), false);
}

bool TSoundQueue::SoundTimerRunning() const {
    return FTimer.isActive();
}

void TSoundQueue::StartSoundTimer() {
    FTimer.start();
}

void TSoundQueue::SoundOff() {
    StopChannel();
    FTimer.stop();
    FQueue.ClearRows();
}

void TSoundQueue::SetMuted(bool Muted) {
    SoundMuted = Muted;
    if (Muted) {
        SoundOff();
    }
}

bool TSoundQueue::PreviewPlaying() const {
    return FPreview && FChannel.IsPlaying();
}

bool TSoundQueue::TogglePreview(const QString& Name) {
    if (PreviewPlaying()) {
        StopChannel();
        return false;
    }
    const bool playing = Start(SoundFilePath(Name, DataFolder()), false);
    FPreview = playing;
    return playing;
}

void TSoundQueue::PlayOrStop(const QString& Name) {
    if (FChannel.IsPlaying()) {
        StopChannel();
        return;
    }
    Start(SoundFilePath(Name, DataFolder()), false);
}

void TSoundQueue::StopChannel() {
    FPreview = false;
    FChannel.Stop();
}
