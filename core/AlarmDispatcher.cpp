// The dispatcher's steps in their fixed order.
#include "core/AlarmDispatcher.h"

#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/ProgramLog.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

namespace {

constexpr quint32 IcqInitialStatus = 0x10006000;

struct TQueuedEvent {
    QString HostName, State, Id, Ip, Description, Time, Email, Icq, Sound;
    bool EmailOn = false, IcqOn = false, SoundOn = false, Loop = false;
    int Colour = 0;
};

std::vector<TQueuedEvent> ReadQueue(TDataGrid& Queue) {
    std::vector<TQueuedEvent> events;
    for (int r = 0; r < Queue.RowCount(); ++r) {
        TQueuedEvent e;
        e.HostName = Queue.Cell("Host_name", r).GetAsString();
        e.State = Queue.Cell("State", r).GetAsString();
        e.Colour = Queue.Cell("State", r).Color();
        e.Id = Queue.Cell("ID_", r).GetAsString();
        e.Ip = Queue.Cell("IP_D", r).GetAsString();
        e.Description = Queue.Cell("Description_", r).GetAsString();
        e.Time = Queue.Cell("Time_d", r).GetAsString();
        e.Email = Queue.Cell("Email", r).GetAsString();
        e.EmailOn = Queue.Cell("email_e", r).GetAsBoolean();
        e.Icq = Queue.Cell("ICQ", r).GetAsString();
        e.IcqOn = Queue.Cell("icq_e", r).GetAsBoolean();
        e.Sound = Queue.Cell("Alarm_sound", r).GetAsString();
        e.Loop = Queue.Cell("Loop_s", r).GetAsBoolean();
        e.SoundOn = Queue.Cell("Sound_e", r).GetAsBoolean();
        events.push_back(e);
    }
    return events;
}

void ListInPopup(TDataGrid& Popup, const TQueuedEvent& Event) {
    Popup.InsertRow(0);
    Popup.Cell("Host", 0).SetAsString(Event.HostName);
    Popup.Cell("ID_", 0).SetAsString(Event.Id);
    Popup.Cell("Time_d", 0).SetAsString(Event.Time);
    TCell& state = Popup.Cell("State_", 0);
    state.SetAsString(Event.State);
    state.SetCellColor(Event.Colour);
}

void MailEvents(const std::vector<TQueuedEvent>& Events, IAlarmChannels& Channels) {
    for (const TQueuedEvent& e : Events) {
        if (!EventQualifies(e.Colour, Channels.SendIfDown(), Channels.SendIfUp()) || !e.EmailOn) {
            continue;
        }
        Channels.PumpDelay(150);
        Channels.ProcessMessages();
        QString description = e.Description != e.Ip ? QStringLiteral(" ") + e.Description : QString();
        QStringList body = {QString(), QStringLiteral("Host: ") + e.HostName + description + " - " + e.State};
        QString subject = LangText(264) + e.HostName + LangText(265) + e.State;
        bool sent = Channels.SendNotificationMail(e.Email, subject, body);
        AddProgramLog(LangText(sent ? 266 : 267));
    }
}

void MessageEvents(const std::vector<TQueuedEvent>& Events, IAlarmChannels& Channels) {
    qint64 uin = TextToInt64(Channels.IcqUinText());
    if (!Channels.IcqLoggedIn()) {
        Channels.IcqLogin(uin, Channels.IcqPassword(), IcqInitialStatus);
    }
    for (int round = 0; !Channels.IcqLoggedIn(); ++round) {
        if (round >= 100) {
            AddProgramLog(LangText(268));
            break;
        }
        Channels.ProcessMessages();
        Channels.PumpDelay(100);
    }
    for (const TQueuedEvent& e : Events) {
        Channels.ProcessMessages();
        if (!EventQualifies(e.Colour, Channels.SendIfDown(), Channels.SendIfUp()) || !e.IcqOn) {
            continue;
        }
        QString text = e.HostName + " - " + e.State;
        // Only the first contact of the list is messaged; a message the client could not send is
        // logged as failed, never as sent.
        if (Channels.IcqSendMessage(TextToInt64(e.Icq), text)) {
            AddProgramLog(LangText(269) + text);
        } else {
            AddProgramLog(LangText(270));
        }
    }
}

} // namespace

QString UpSoundFile(const QString& UpSoundText, const QString& DataFolder) {
    if (UpSoundText.contains(QLatin1Char('/')) || UpSoundText.contains(QLatin1String(":\\"))) {
        return UpSoundText;
    }
    QString folder = DataFolder;
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder + QStringLiteral("Sounds/") + UpSoundText;
}

void DispatchAlarms(TDataGrid& DownHostGrid, IAlarmChannels& Channels, const QString& UpSoundText,
                    const QString& DataFolder) {
    const QString upSound = UpSoundFile(UpSoundText, DataFolder);
    TDataGrid& down = Channels.DownPopupGrid();
    TDataGrid& up = Channels.UpPopupGrid();
    if (!DownAlertVisible.load()) {
        down.ClearRows();
    }
    if (!UpAlertVisible.load()) {
        up.ClearRows();
    }
    const std::vector<TQueuedEvent> events = ReadQueue(DownHostGrid);
    for (const TQueuedEvent& e : events) {
        ListInPopup(down, e);
    }
    if (Channels.EmailEnabled()) {
        MailEvents(events, Channels);
    }
    if (Channels.IcqEnabled()) {
        MessageEvents(events, Channels);
    }
    if (up.RowCount() > 0) {
        if (!UpAlertVisible.load() && Channels.AlertEnabled()) {
            AddProgramLog(LangText(271));
            UpAlertVisible.store(true);
            Channels.ShowUpPopup();
        }
        if (!SoundMuted.load() && Channels.UpSoundEnabled()) {
            AddProgramLog(LangText(272));
            Channels.PlayUpSound(upSound);
        }
        Channels.ClearUpHostGrid();
    }
    if (down.RowCount() > 0 && !DownAlertVisible.load() && Channels.AlertEnabled() && !Channels.DownPopupShown()) {
        AddProgramLog(LangText(271));
        DownAlertVisible.store(true);
        Channels.ShowDownPopup();
    }
    TDataGrid& sounds = Channels.SoundQueueGrid();
    if (!Channels.SoundTimerRunning()) {
        sounds.ClearRows();
    }
    if (!SoundMuted.load()) {
        for (const TQueuedEvent& e : events) {
            if (e.Sound.isEmpty() || !e.SoundOn) {
                continue;
            }
            int row = sounds.AddRow();
            sounds.Cell(0, row).SetAsString(e.Sound);
            sounds.Cell(1, row).SetAsBoolean(e.Loop);
        }
    }
    if (sounds.RowCount() > 0) {
        Channels.StartSoundTimer();
        AddProgramLog(LangText(274));
    }
    DownHostGrid.ClearRows();
}
