// Pieces the host dialogs share: the sound file's Browse and Play on the one
// shared channel, and the progress window's steps while many hosts are written.
#pragma once

#include "ui/common/Widgets.h"

#include <QString>

#include <functional>

class IAudioChannel;
class IHostLoadProgress;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// The channel the dialogs' play buttons use: the program's shared one unless a test set another
// (nullptr restores it).
IAudioChannel& HostDialogAudio();
void SetHostDialogAudio(IAudioChannel* Channel);

// Play: stops the channel while it plays; otherwise plays the file once (a bare name is looked
// for in Data/Sounds). Returns whether a sound now plays.
bool PlayOrStopHostSound(const QString& FileName);

// Browse: the open-file dialog on Data/Sounds with the sound filter; the chosen full name goes into
// the combo's text.
void BrowseHostSound(QWidget* Parent, QComboBox* Target);

// The host type list of a dialog: the names, none chosen.
void FillHostTypeCombo(QComboBox* Combo, const QStringList& Names);

// The shared progress window while Work runs: caption, maximum and a Step(position) that moves the
// bar and lets window messages run. The window closes however Work ends.
void RunWithProgress(IHostLoadProgress* Progress, const QString& Caption, int Maximum,
                     const std::function<void(const std::function<void(int)>& Step)>& Work);
