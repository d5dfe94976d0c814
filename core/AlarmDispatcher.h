// The end-of-pass alarm dispatcher: turns the pass's queued events into the popup list, mails,
// instant messages, the popups themselves and the sound queue, then empties the queue.
#pragma once

#include <QString>

class TAlarmChannels;
class TDataGrid;
class TSettingsModel;
class TSQLiteDatabase;

class TAlarmDispatcher {
public:
    // Database takes the program-log lines (the connection the engine writes to). UpHostGrid and
    // SoundQueue are the main window's up-event grid and Sound_down_grid. DataFolder is the
    // program's Data folder, for up sound files named without a folder.
    TAlarmDispatcher(TSQLiteDatabase& Database, TSettingsModel& Settings, TAlarmChannels& Channels,
                     TDataGrid& DownHostGrid, TDataGrid& UpHostGrid, TDataGrid& SoundQueue,
                     QString DataFolder);

    // Runs on the GUI thread; the options are read once, at its start.
    void DispatchAlarms();

private:
    TSQLiteDatabase& FDatabase;
    TSettingsModel& FSettings;
    TAlarmChannels& FChannels;
    TDataGrid& FDownHostGrid;
    TDataGrid& FUpHostGrid;
    TDataGrid& FSoundQueue;
    QString FDataFolder;
};

// The up sound's file: a text without a folder is a file of <Data folder>/Sounds/.
QString UpSoundFile(const QString& UpSoundText, const QString& DataFolder);
