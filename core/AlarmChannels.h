// The channels through which the monitor reaches the operator: the alert popups, the alarm
// sounds, mail, instant messages, the status bar panels and the event loop. Each is one small
// interface, implemented by the subsystem that owns the channel and registered in the registry
// below. A channel nobody registered is a null object that sends nothing and says so, so the
// dispatcher never logs as sent what was not.
//
// Every call of every channel runs on the GUI thread.
#pragma once

#include "core/StatusPanels.h"

#include <QString>
#include <QStringList>

#include <memory>

class TDataGrid;

// What became of one notification.
struct TSendResult {
    bool Sent = false;
    QString Reason; // why it was not sent; empty when it was
};

// The down and up alert popups (TAlert_window, TAlert_window_up).
class IAlertPopups {
public:
    virtual ~IAlertPopups() = default;
    // The popups' lists (ShowGrid), columns Host, ID_, Time_d, State_.
    virtual TDataGrid& DownPopupGrid() = 0;
    virtual TDataGrid& UpPopupGrid() = 0;
    // The dispatcher has listed the pass's events in the popups' lists (row 0 the newest).
    virtual void PopupRowsListed() {}
    // The down popup is on screen.
    virtual bool DownPopupShown() const = 0;
    // Places the popup just below the desktop's bottom right corner, shows it without taking the
    // focus and slides it in. False when no popup could be shown.
    virtual bool ShowDownPopup() = 0;
    virtual bool ShowUpPopup() = 0;
};

// The alarm sounds: the up sound on the shared sound channel, and the player of the sound queue
// Sound_down_grid (the queue itself belongs to the monitor's services).
class ISoundChannel {
public:
    virtual ~ISoundChannel() = default;
    // Stops what plays and plays the file once; false when nothing could be played.
    virtual bool PlayUpSound(const QString& FileName) = 0;
    // The queue's player (sound_timer) is working through the queue.
    virtual bool SoundTimerRunning() const = 0;
    virtual void StartSoundTimer() = 0;
};

// Alert mail through the notification settings' server.
class IMailChannel {
public:
    virtual ~IMailChannel() = default;
    // One message to the recipients text (as the host stores it); Sent only when the server
    // accepted it for delivery.
    virtual TSendResult SendNotificationMail(const QString& Recipients, const QString& Subject,
                                             const QStringList& Body) = 0;
};

// The instant-messaging client.
class IMessagingChannel {
public:
    virtual ~IMessagingChannel() = default;
    virtual bool LoggedIn() const = 0;
    // Starts signing on; LoggedIn tells when it has completed.
    virtual void Login(qint64 Uin, const QString& Password, quint32 Status) = 0;
    // True only when the message was handed to a signed-on client.
    virtual bool SendMessage(qint64 Uin, const QString& Text) = 0;
};

// The main window's status bar.
class IStatusPanels {
public:
    virtual ~IStatusPanels() = default;
    // Colour is a blue-green-red value (PanelColourBlack, PanelColourRed, ...).
    virtual void SetPanelText(TStatusPanel Panel, const QString& Text, int Colour = PanelColourBlack) = 0;
};

// Waits that keep the program's windows and timers working meanwhile.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void PumpDelay(int Milliseconds) = 0;
    virtual void ProcessMessages() = 0;
};

// The registered channels. A subsystem registers its channel when it has created it and withdraws
// it (nullptr) before it goes; until then, and after, the null object stands in. The event pump
// defaults to the core's own event-loop wait. GUI thread only.
class TAlarmChannels {
public:
    TAlarmChannels();
    ~TAlarmChannels();
    TAlarmChannels(const TAlarmChannels&) = delete;
    TAlarmChannels& operator=(const TAlarmChannels&) = delete;

    IAlertPopups& Popups();
    ISoundChannel& Sound();
    IMailChannel& Mail();
    IMessagingChannel& Messaging();
    IStatusPanels& StatusPanels();
    IEventPump& EventPump();

    void SetPopups(IAlertPopups* Channel) { FPopups = Channel; }
    void SetSound(ISoundChannel* Channel) { FSound = Channel; }
    void SetMail(IMailChannel* Channel) { FMail = Channel; }
    void SetMessaging(IMessagingChannel* Channel) { FMessaging = Channel; }
    void SetStatusPanels(IStatusPanels* Channel) { FStatusPanels = Channel; }
    void SetEventPump(IEventPump* Channel) { FEventPump = Channel; }

private:
    struct TNullChannels;
    std::unique_ptr<TNullChannels> FNull;
    IAlertPopups* FPopups = nullptr;
    ISoundChannel* FSound = nullptr;
    IMailChannel* FMail = nullptr;
    IMessagingChannel* FMessaging = nullptr;
    IStatusPanels* FStatusPanels = nullptr;
    IEventPump* FEventPump = nullptr;
};

// The reason the null mail and messaging channels give.
QString NoChannelReason();
