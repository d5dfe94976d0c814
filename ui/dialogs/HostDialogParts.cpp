// Shared pieces of the host dialogs; see HostDialogParts.h.
#include "ui/dialogs/HostDialogParts.h"

#include "core/DataFolder.h"
#include "core/SoundQueue.h"
#include "platform/FileDialog.h"
#include "ui/main/Progress_form.h"
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
    TProgressScope(const QString& Caption, int Maximum) {
        if (!Progress_Form) {
            return;
        }
        Progress_Form->SetMaximum(Maximum);
        Progress_Form->SetPosition(0);
        Progress_Form->SetCaption(Caption);
        Progress_Form->ShowProgress();
    }
    ~TProgressScope() {
        if (Progress_Form) {
            Progress_Form->CloseProgress();
        }
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;
};

} // namespace

QCheckBox* MakeCheck(const char* Name, const QString& Caption, bool Checked, QWidget* Parent) {
    auto* box = MakeNamed<QCheckBox>(Name, Parent);
    box->setText(Caption);
    box->setChecked(Checked);
    return box;
}

QPushButton* MakeButton(const char* Name, const QString& Caption, QWidget* Parent) {
    auto* button = MakeNamed<QPushButton>(Name, Parent);
    button->setText(Caption);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeLabel(const char* Name, const QString& Caption, QWidget* Parent) {
    auto* label = MakeNamed<QLabel>(Name, Parent);
    label->setText(Caption);
    return label;
}

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

void RunWithProgress(const QString& Caption, int Maximum,
                     const std::function<void(const std::function<void(int)>& Step)>& Work) {
    TProgressScope scope(Caption, Maximum);
    Work([](int Position) {
        if (Progress_Form) {
            Progress_Form->SetPosition(Position);
            QCoreApplication::processEvents();
        }
    });
}
