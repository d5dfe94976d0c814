// The end-of-pass alarm dispatcher: turns the pass's queued events into the popup list, mails,
// instant messages, the popups themselves and the sound queue, then empties the queue.
#pragma once

#include <QString>

class TDataGrid;
class IAlarmChannels;

// Runs on the GUI thread. DataFolder is the program's Data folder (for relative sound files).
void DispatchAlarms(TDataGrid& DownHostGrid, IAlarmChannels& Channels, const QString& UpSoundText,
                    const QString& DataFolder);

// The up sound's file: a text without a folder is a file of <Data folder>/Sounds/.
QString UpSoundFile(const QString& UpSoundText, const QString& DataFolder);
