// Shared pieces of the host dialogs; see HostDialogParts.h.
#include "ui/dialogs/HostDialogParts.h"

#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/SoundQueue.h"
#include "platform/FileDialog.h"
#include "ui/main/SoundControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

IAudioChannel* TestAudio = nullptr;

// Closes the progress window on every way out of the work.
class TProgressScope {
public:
    TProgressScope(IHostLoadProgress* Progress, const QString& Caption, int Maximum) : FProgress(Progress) {
        if (!FProgress) {
            return;
        }
        FProgress->SetMaximum(Maximum);
        FProgress->SetPosition(0);
        FProgress->SetCaption(Caption);
        FProgress->ShowProgress();
    }
    ~TProgressScope() {
        if (FProgress) {
            FProgress->CloseProgress();
        }
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    IHostLoadProgress* FProgress;
};

} // namespace

IAudioChannel& HostDialogAudio() {
    return TestAudio ? *TestAudio : PlatformSoundChannel();
}

void SetHostDialogAudio(IAudioChannel* Channel) {
    TestAudio = Channel;
}

bool PlayOrStopHostSound(const QString& FileName) {
    IAudioChannel& channel = HostDialogAudio();
    if (channel.IsPlaying()) {
        channel.Stop();
        return false;
    }
    const QString file = SoundFilePath(FileName.trimmed(), DataFolder());
    if (file.isEmpty() || !channel.CreateStream(file)) {
        return false;
    }
    channel.SetLoop(false);
    return channel.Play();
}

void BrowseHostSound(QWidget* Parent, QComboBox* Target) {
    const QString file =
        OpenFileDialog(Parent, DataFolder() + QStringLiteral("Sounds"), QString::fromLatin1(SoundFileFilter));
    if (!file.isEmpty() && Target) {
        Target->setEditText(file);
    }
}

void FillHostTypeCombo(QComboBox* Combo, const QStringList& Names) {
    if (!Combo) {
        return;
    }
    Combo->clear();
    Combo->addItems(Names);
    Combo->setCurrentIndex(-1);
}

void RunWithProgress(IHostLoadProgress* Progress, const QString& Caption, int Maximum,
                     const std::function<void(const std::function<void(int)>& Step)>& Work) {
    TProgressScope scope(Progress, Caption, Maximum);
    Work([Progress](int Position) {
        if (Progress) {
            Progress->SetPosition(Position);
            QCoreApplication::processEvents();
        }
    });
}
