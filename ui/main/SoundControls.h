// The main window's sound controls: the queue player, "Sound off", "Mute" with the sound-off
// dialog, the "Sound alert" option, the up-sound preview and its file chooser, the looks of the
// Mute button and of status panel 1, and the audio layer's start and release.
#pragma once

#include "core/AlarmChannels.h"
#include "core/SoundQueue.h"
#include "core/StatusPanels.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimer;
class TSoundDisableForm;
class TDataGrid;

// The shared audio channel of the platform layer, as the queue sees it.
IAudioChannel& PlatformSoundChannel();

// The widgets and window calls the sound controls work with; the window owns them.
struct TSoundControlParts {
    QPushButton* BitBtn3 = nullptr;           // "Mute"
    QPushButton* BitBtn6 = nullptr;           // "Sound off"
    QCheckBox* CheckBox_soundalarm = nullptr; // "Sound alert"
    QLineEdit* Up_Sound_Edit = nullptr;       // the up sound's file name
    QPushButton* Play_sound_button = nullptr; // preview of the up sound
    QPushButton* Browse_BitBtn = nullptr;     // "Browse" for the up sound
    std::function<void(TStatusPanel Panel, const QString& Text, int Colour)> SetStatusPanel;
    std::function<void()> SaveSettings;
};

// The open-file dialog: returns the chosen file's full name, empty when cancelled.
using TOpenSoundDialog = std::function<QString(const QString& Folder, const QString& Filter)>;

// The file chooser's filter.
inline constexpr const char* SoundFileFilter = "All (*.wav *.mp3);;Wav (*.wav);;Mp3 (*.mp3)";

// Also the monitor's sound channel: the dispatcher plays the up sound and starts the queue here.
class TSoundControls : public QObject, public ISoundChannel {
    Q_OBJECT

public:
    // Connects the buttons, the option box and the timer to the handlers below.
    TSoundControls(TSoundControlParts Parts, TDataGrid& Queue, QTimer& Timer, IAudioChannel& Channel,
                   QObject* parent = nullptr);
    ~TSoundControls() override;

    // Audio start-up: opens the default device. Without one sound is off and one program-log
    // line says why, written once the message loop runs (when the database is open).
    void StartAudio();
    // The close step: stops the channel, then releases the device.
    void FreeAudio();
    // The text of that line, empty while the device is open.
    QString NoDeviceLine() const { return FNoDeviceLine; }

    // ISoundChannel
    bool PlayUpSound(const QString& FileName) override { return FQueue.PlayUpSound(FileName); }
    bool SoundTimerRunning() const override { return FQueue.SoundTimerRunning(); }
    void StartSoundTimer() override { FQueue.StartSoundTimer(); }

    // Start-up settings: SoundMuted follows the "Sound alert" box, with the muted look when off.
    void ApplyStartupState();

    // The handlers.
    void sound_timerTimer();
    void BitBtn6Click();
    void BitBtn3Click();
    void CheckBox_soundalarmClick();
    void Play_sound_buttonClick();
    void Browse_BitBtnClick();

    // The looks of the Mute button and status panel 1.
    void ShowMutedLook();
    // The muted or the sounds-on look, as the sound is now.
    void ShowLook();
    void ShowSoundsOnLook();

    // The pictures of the Mute button: muted, and sounds on.
    QIcon Image3;
    QIcon Image4;

    // The open-file dialog; tests answer it.
    TOpenSoundDialog OpenSoundDialog;

    TSoundQueue& Queue() { return FQueue; }

    // The "Sound off" question's dialog; none, and the question is not asked.
    void SetSoundOffDialog(TSoundDisableForm* Dialog);

private:
    void ShowSoundOffDialog(int Line);
    // Runs Handler, guarded under the name Where, on Signal of Sender (when there is one).
    template <class TSender, class TSignal>
    void Bind(TSender* Sender, TSignal Signal, const char* Where, void (TSoundControls::*Handler)());

    TSoundControlParts FParts;
    QPointer<TSoundDisableForm> FSoundOff;
    TSoundQueue FQueue;
    QString FNoDeviceLine;
    bool FStartedAudio = false;
};
