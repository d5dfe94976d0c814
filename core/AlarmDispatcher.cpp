// The dispatcher's steps in their fixed order.
#include "core/AlarmDispatcher.h"

#include "core/AlarmChannels.h"
#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/HostGridColumns.h"
#include "core/HostRecord.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/ProgramLog.h"
#include "core/SettingsModel.h"
#include "core/SoundQueue.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

namespace {

constexpr quint32 IcqInitialStatus = 0x10006000;

// One event of the queue: the host's fields the queue row carries and the event itself.
struct TQueuedEvent {
    // Host is the queue's line ("time - host, where"), Note its Description_, Alarm the sound
    // to play for this event.
    THostRecord Host;
    QString State, Id, Time;
    int Colour = 0;
};

std::vector<TQueuedEvent> ReadQueue(TDataGrid& Queue) {
    using namespace QueueColumn;
    std::vector<TQueuedEvent> events;
    for (int r = 0; r < Queue.RowCount(); ++r) {
        TQueuedEvent e;
        THostRecord& host = e.Host;
        host.Host = Queue.Cell(Host_name, r).GetAsString();
        e.State = Queue.Cell(State, r).GetAsString();
        e.Colour = Queue.Cell(State, r).Color();
        e.Id = Queue.Cell(ID_, r).GetAsString();
        host.IP = Queue.Cell(IP_D, r).GetAsString();
        host.Note = Queue.Cell(Description_, r).GetAsString();
        e.Time = Queue.Cell(Time_d, r).GetAsString();
        host.Email_contacts_list = Queue.Cell(Email, r).GetAsString();
        host.Email_alarm_enabled = Queue.Cell(Email_e, r).GetAsBoolean();
        host.ICQ_contacts_list = Queue.Cell(ICQ, r).GetAsString();
        host.ICQ_alarm_enabled = Queue.Cell(ICQ_e, r).GetAsBoolean();
        host.Alarm = Queue.Cell(Alarm_sound, r).GetAsString();
        host.Loop_sound = Queue.Cell(Loop_s, r).GetAsBoolean();
        host.Sound_alarm_enabled = Queue.Cell(Sound_e, r).GetAsBoolean();
        events.push_back(e);
    }
    return events;
}

void ListInPopup(TDataGrid& Popup, const TQueuedEvent& Event) {
    using namespace PopupColumn;
    Popup.InsertRow(0);
    Popup.Cell(Host, 0).SetAsString(Event.Host.Host);
    Popup.Cell(ID_, 0).SetAsString(Event.Id);
    Popup.Cell(Time_d, 0).SetAsString(Event.Time);
    TCell& state = Popup.Cell(State_, 0);
    state.SetAsString(Event.State);
    state.SetCellColor(Event.Colour);
}

// One pass of the dispatcher over its events, with the options read at its start.
class TDispatch {
public:
    TDispatch(TSQLiteDatabase& Database, const TSettings& Settings, TAlarmChannels& Channels)
        : FDatabase(Database), FSettings(Settings), FChannels(Channels) {}

    void Log(const QString& Text) { AddProgramLog(FDatabase, Text); }

    bool Qualifies(const TQueuedEvent& Event) const {
        return EventQualifies(Event.Colour, FSettings.CheckBox_send_if_down, FSettings.CheckBox_send_if_up);
    }

    void MailEvents(const std::vector<TQueuedEvent>& Events) {
        IEventPump& pump = FChannels.EventPump();
        for (const TQueuedEvent& e : Events) {
            if (!Qualifies(e) || !e.Host.Email_alarm_enabled) {
                continue;
            }
            pump.PumpDelay(150);
            pump.ProcessMessages();
            const THostRecord& host = e.Host;
            QString description = host.Note != host.IP ? QStringLiteral(" ") + host.Note : QString();
            QStringList body = {QString(),
                                QStringLiteral("Host: ") + host.Host + description + " - " + e.State};
            QString subject = LangText(LangLine::MailSubjectBefore) + host.Host +
                              LangText(LangLine::MailSubjectAfter) + e.State;
            TSendResult result =
                FChannels.Mail().SendNotificationMail(host.Email_contacts_list, subject, body);
            if (result.Sent) {
                Log(LangText(LangLine::MailSent));
            } else if (result.Reason.isEmpty()) {
                Log(LangText(LangLine::MailFailed));
            } else {
                Log(LangText(LangLine::MailFailed) + QStringLiteral(" (") + result.Reason + QLatin1Char(')'));
            }
        }
    }

    void MessageEvents(const std::vector<TQueuedEvent>& Events) {
        IMessagingChannel& client = FChannels.Messaging();
        IEventPump& pump = FChannels.EventPump();
        if (!client.LoggedIn()) {
            client.Login(TextToInt64(FSettings.ICQ_UIN_Edit), FSettings.ICQ_Password_Edit, IcqInitialStatus);
        }
        for (int round = 0; !client.LoggedIn(); ++round) {
            if (round >= 100) {
                Log(LangText(LangLine::MessagingSignOnTimeout));
                break;
            }
            pump.ProcessMessages();
            pump.PumpDelay(100);
        }
        for (const TQueuedEvent& e : Events) {
            pump.ProcessMessages();
            if (!Qualifies(e) || !e.Host.ICQ_alarm_enabled) {
                continue;
            }
            QString text = e.Host.Host + " - " + e.State;
            // Only the first contact of the list is messaged; a message the client could not send is
            // logged as failed, never as sent.
            if (client.SendMessage(TextToInt64(e.Host.ICQ_contacts_list), text)) {
                Log(LangText(LangLine::MessageSent) + text);
            } else {
                Log(LangText(LangLine::MessageFailed));
            }
        }
    }

private:
    TSQLiteDatabase& FDatabase;
    const TSettings& FSettings;
    TAlarmChannels& FChannels;
};

} // namespace

QString UpSoundFile(const QString& UpSoundText, const QString& DataFolder) {
    return SoundFilePath(UpSoundText, DataFolder);
}

TAlarmDispatcher::TAlarmDispatcher(TSQLiteDatabase& Database, TSettingsModel& Settings,
                                   TAlarmChannels& Channels, TDataGrid& DownHostGrid, TDataGrid& UpHostGrid,
                                   TDataGrid& SoundQueue, QString DataFolder)
    : FDatabase(Database), FSettings(Settings), FChannels(Channels), FDownHostGrid(DownHostGrid),
      FUpHostGrid(UpHostGrid), FSoundQueue(SoundQueue), FDataFolder(std::move(DataFolder)) {}

void TAlarmDispatcher::DispatchAlarms() {
    const TSettingsSnapshot settings = FSettings.Snapshot();
    TDispatch dispatch(FDatabase, *settings, FChannels);
    IAlertPopups& popups = FChannels.Popups();
    const QString upSound = UpSoundFile(settings->Up_Sound_Edit, FDataFolder);
    TDataGrid& down = popups.DownPopupGrid();
    TDataGrid& up = popups.UpPopupGrid();
    if (!DownAlertVisible) {
        down.ClearRows();
    }
    if (!UpAlertVisible) {
        up.ClearRows();
    }
    const std::vector<TQueuedEvent> events = ReadQueue(FDownHostGrid);
    // One update of the popup's view for the whole pass, not one per event.
    down.BeginUpdate();
    for (const TQueuedEvent& e : events) {
        ListInPopup(down, e);
    }
    down.EndUpdate();
    popups.PopupRowsListed();
    if (settings->Email_checkbox) {
        dispatch.MailEvents(events);
    }
    if (settings->ICQ_CheckBox) {
        dispatch.MessageEvents(events);
    }
    if (up.RowCount() > 0) {
        // A popup or a sound is logged only once it was shown or played.
        if (!UpAlertVisible && settings->Alert_CheckBox && popups.ShowUpPopup()) {
            dispatch.Log(LangText(LangLine::AlertShown));
            UpAlertVisible = true;
        }
        if (!SoundMuted && settings->Up_sound_CheckBox && FChannels.Sound().PlayUpSound(upSound)) {
            dispatch.Log(LangText(LangLine::UpSoundPlayed));
        }
        FUpHostGrid.ClearRows();
    }
    if (down.RowCount() > 0 && !DownAlertVisible && settings->Alert_CheckBox && !popups.DownPopupShown() &&
        popups.ShowDownPopup()) {
        dispatch.Log(LangText(LangLine::AlertShown));
        DownAlertVisible = true;
    }
    ISoundChannel& sound = FChannels.Sound();
    if (!sound.SoundTimerRunning()) {
        FSoundQueue.ClearRows();
    }
    if (!SoundMuted) {
        for (const TQueuedEvent& e : events) {
            if (e.Host.Alarm.isEmpty() || !e.Host.Sound_alarm_enabled) {
                continue;
            }
            int row = FSoundQueue.AddRow();
            FSoundQueue.Cell(SoundQueueColumn::File, row).SetAsString(e.Host.Alarm);
            FSoundQueue.Cell(SoundQueueColumn::Loop, row).SetAsBoolean(e.Host.Loop_sound);
        }
    }
    if (FSoundQueue.RowCount() > 0) {
        sound.StartSoundTimer();
        dispatch.Log(LangText(LangLine::AlarmSoundsQueued));
    }
    FDownHostGrid.ClearRows();
}
