// The sound controls on the GUI thread; the queue logic itself lives in core/SoundQueue.
#include "ui/main/SoundControls.h"

#include "core/AlertFlags.h"
#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/ProgramLogSink.h"
#include "platform/FileDialog.h"
#include "platform/SoundChannel.h"
#include "ui/dialogs/DisableSoundForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

// The platform layer's channel behind the queue's interface.
class TPlatformChannel : public IAudioChannel {
public:
    bool CreateStream(const QString& FileName) override { return SoundChannel.CreateStream(FileName); }
    void SetLoop(bool Loop) override { SoundChannel.SetLoop(Loop); }
    bool Play() override { return SoundChannel.Play(); }
    void Stop() override { SoundChannel.Stop(); }
    bool IsPlaying() const override { return SoundChannel.IsPlaying(); }
};

QString RealOpenDialog(const QString& Folder, const QString& Filter) {
    return OpenFileDialog(nullptr, Folder, Filter);
}

} // namespace

IAudioChannel& PlatformSoundChannel() {
    static TPlatformChannel channel;
    return channel;
}

TSoundControls::TSoundControls(TSoundControlParts Parts, TDataGrid& Queue, QTimer& Timer,
                               IAudioChannel& Channel, QObject* parent)
    : QObject(parent), FParts(std::move(Parts)), FQueue(Queue, Timer, Channel) {
    QStyle* style = QApplication::style();
    Image3 = style->standardIcon(QStyle::SP_MediaVolumeMuted);
    Image4 = style->standardIcon(QStyle::SP_MediaVolume);
    OpenSoundDialog = RealOpenDialog;

    Bind(&Timer, &QTimer::timeout, "TForm1.sound_timerTimer", &TSoundControls::sound_timerTimer);
    Bind(FParts.BitBtn6, &QPushButton::clicked, "TForm1.BitBtn6Click", &TSoundControls::BitBtn6Click);
    Bind(FParts.BitBtn3, &QPushButton::clicked, "TForm1.BitBtn3Click", &TSoundControls::BitBtn3Click);
    // Setting the box from code runs the handler too, as the sound-off dialog relies on.
    Bind(FParts.CheckBox_soundalarm, &QCheckBox::toggled, "TForm1.CheckBox_soundalarmClick",
         &TSoundControls::CheckBox_soundalarmClick);
    Bind(FParts.Play_sound_button, &QPushButton::clicked, "TForm1.Play_sound_buttonClick",
         &TSoundControls::Play_sound_buttonClick);
    Bind(FParts.Browse_BitBtn, &QPushButton::clicked, "TForm1.Browse_BitBtnClick",
         &TSoundControls::Browse_BitBtnClick);
}

template <class TSender, class TSignal>
void TSoundControls::Bind(TSender* Sender, TSignal Signal, const char* Where,
                          void (TSoundControls::*Handler)()) {
    if (!Sender) {
        return;
    }
    connect(Sender, Signal, this,
            [this, Where, Handler] { Guarded(Where, [this, Handler] { (this->*Handler)(); }); });
}

TSoundControls::~TSoundControls() {
    FreeAudio();
}

void TSoundControls::StartAudio() {
    const QString why = SoundChannel.InitDevice();
    if (why.isEmpty()) {
        FStartedAudio = true;
        FNoDeviceLine.clear();
        return;
    }
    FNoDeviceLine = QStringLiteral("Sound is off: no audio device (") + why + QStringLiteral(")");
    // The database opens later in the start-up; the line waits for the message loop.
    const QString line = FNoDeviceLine;
    QTimer::singleShot(0, this, [line] { WriteProgramLogSink(line); });
}

void TSoundControls::FreeAudio() {
    if (!FStartedAudio) {
        return;
    }
    FQueue.StopChannel();
    SoundChannel.FreeDevice();
    FStartedAudio = false;
}

void TSoundControls::ApplyStartupState() {
    const bool muted = FParts.CheckBox_soundalarm && !FParts.CheckBox_soundalarm->isChecked();
    SoundMuted = muted;
    if (muted) {
        ShowMutedLook();
    }
}

void TSoundControls::ShowLook() {
    if (SoundMuted)
        ShowMutedLook();
    else
        ShowSoundsOnLook();
}

void TSoundControls::ShowMutedLook() {
    if (FParts.BitBtn3) {
        FParts.BitBtn3->setIcon(Image3);
        FParts.BitBtn3->setText(LangText(341));
    }
    if (FParts.SetStatusPanel) {
        FParts.SetStatusPanel(TStatusPanel::SoundState, LangText(322), PanelColourRed);
    }
}

void TSoundControls::ShowSoundsOnLook() {
    if (FParts.BitBtn3) {
        FParts.BitBtn3->setIcon(Image4);
        FParts.BitBtn3->setText(LangText(342));
    }
    if (FParts.SetStatusPanel) {
        FParts.SetStatusPanel(TStatusPanel::SoundState, LangText(323), PanelColourBlack);
    }
}

void TSoundControls::SetSoundOffDialog(TSoundDisableForm* Dialog) {
    FSoundOff = Dialog;
}

void TSoundControls::ShowSoundOffDialog(int Line) {
    QPointer<TSoundDisableForm> dialog = FSoundOff;
    if (!dialog) {
        return;
    }
    dialog->Label2->setText(LangText(Line));
    dialog->SoundAlarmBox = FParts.CheckBox_soundalarm;
    dialog->SaveSettings = FParts.SaveSettings;
    dialog->exec();
}

void TSoundControls::sound_timerTimer() {
    FQueue.Tick();
}

void TSoundControls::BitBtn6Click() {
    FQueue.SoundOff();
}

void TSoundControls::BitBtn3Click() {
    if (SoundMuted) {
        FQueue.SetMuted(false);
        if (FParts.CheckBox_soundalarm && !FParts.CheckBox_soundalarm->isChecked()) {
            ShowSoundOffDialog(344);
        }
        ShowSoundsOnLook();
        return;
    }
    ShowMutedLook();
    // Stops the channel, and the queue behind it with the timer.
    FQueue.SetMuted(true);
    ShowSoundOffDialog(343);
}

void TSoundControls::CheckBox_soundalarmClick() {
    const bool on = FParts.CheckBox_soundalarm && FParts.CheckBox_soundalarm->isChecked();
    FQueue.SetMuted(!on);
    if (on) {
        ShowSoundsOnLook();
    } else {
        ShowMutedLook();
    }
}

void TSoundControls::Play_sound_buttonClick() {
    FQueue.TogglePreview(FParts.Up_Sound_Edit ? FParts.Up_Sound_Edit->text() : QString());
}

void TSoundControls::Browse_BitBtnClick() {
    const QString folder = DataFolder() + QStringLiteral("Sounds");
    const QString file =
        OpenSoundDialog ? OpenSoundDialog(folder, QString::fromLatin1(SoundFileFilter)) : QString();
    if (!file.isEmpty() && FParts.Up_Sound_Edit) {
        FParts.Up_Sound_Edit->setText(file);
    }
    if (FParts.SaveSettings) {
        FParts.SaveSettings();
    }
}
