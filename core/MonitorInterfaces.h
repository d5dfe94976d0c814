// What the check engine, the sampler and the alarm dispatcher need from the rest of the program:
// the network checks, the main window's options and status panels, and the alarm channels. The
// GUI implements the window and channel sides; tests use recording fakes.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

class TDataGrid;

// The outcome of one ICMP echo.
struct TPingOutcome {
    std::string ErrorDesc; // empty on success
    int TimeMs = -1;       // round-trip time, -1 without a reply
    // Nothing was sent: the program may open neither kind of ICMP socket. The echo is no answer and
    // no failure either.
    bool Skipped = false;
};

// The network side of a check. Called on the worker threads; CancelAll() may come from any thread
// and ends every call in flight at once (stop and shut-down never wait for a time-out).
class IHostProbes {
public:
    virtual ~IHostProbes() = default;
    virtual TPingOutcome Ping(const std::string& Host, int TimeoutMs) = 0;
    // "code reason" of one HTTP GET of Host ("0 " without an answer).
    virtual std::string HttpProbe(const std::string& Host, int TimeoutMs) = 0;
    // The value text of one SNMPv1 GET, empty on any failure.
    virtual std::string SnmpGet(const std::string& Host, const std::string& Community,
                                const std::string& OID) = 0;
    virtual void CancelAll() = 0;
    // Makes the probes usable again after CancelAll (before the next start).
    virtual void ResetCancel() = 0;
};

// The main window as the monitor sees it. Every call runs on the GUI thread.
class IMonitorWindow {
public:
    virtual ~IMonitorWindow() = default;
    virtual int ThresholdN() const = 0;    // ploss_spin
    virtual int PingTimeoutMs() const = 0; // Timeout_Spin
    virtual int DelaySeconds() const = 0;  // Delay_spin
    virtual QString UpSoundText() const = 0; // Up_Sound_Edit
    // A status bar panel's text: 1 sound state, 2 monitoring on or off (red when off), 6 check
    // progress and the pass countdown.
    virtual void ShowStatusPanel(int Panel, const QString& Text, bool Red = false) = 0;
    // The Start/Stop command may be used (false while old worker threads are still ending).
    virtual void SetStartStopEnabled(bool Enabled) = 0;
    // Each second of the traffic window while it runs, with the seconds left (chart refresh).
    virtual void TrafficWindowTick(int SecondsLeft) { (void)SecondsLeft; }
};

// The notification channels the end-of-pass dispatcher drives. Every call runs on the GUI thread.
class IAlarmChannels {
public:
    virtual ~IAlarmChannels() = default;
    // Options.
    virtual bool EmailEnabled() const = 0;   // Email_checkbox
    virtual bool IcqEnabled() const = 0;     // ICQ_CheckBox
    virtual bool AlertEnabled() const = 0;   // Alert_CheckBox
    virtual bool UpSoundEnabled() const = 0; // Up_sound_CheckBox
    virtual bool SendIfDown() const = 0;     // CheckBox_send_if_down
    virtual bool SendIfUp() const = 0;       // CheckBox_send_if_up
    virtual QString IcqUinText() const = 0;  // ICQ_UIN_Edit
    virtual QString IcqPassword() const = 0; // ICQ_Password_Edit
    // The popups' lists and the popups.
    virtual TDataGrid& DownPopupGrid() = 0; // TAlert_window.ShowGrid
    virtual TDataGrid& UpPopupGrid() = 0;   // TAlert_window_up.ShowGrid
    virtual bool DownPopupShown() const = 0;
    virtual void ShowDownPopup() = 0; // placed below the screen's bottom right, slides in
    virtual void ShowUpPopup() = 0;   // shown without activation, slides in
    virtual void ClearUpHostGrid() = 0;
    // Mail: true only when the message was accepted for delivery.
    virtual bool SendNotificationMail(const QString& Recipients, const QString& Subject,
                                      const QStringList& Body) = 0;
    // Messaging client.
    virtual bool IcqLoggedIn() const = 0;
    virtual void IcqLogin(qint64 Uin, const QString& Password, quint32 Status) = 0;
    // True only when the message was handed to a signed-on client.
    virtual bool IcqSendMessage(qint64 Uin, const QString& Text) = 0;
    // Sound: the up sound on the shared channel, and the queue of alarm sounds.
    virtual void PlayUpSound(const QString& FileName) = 0;
    virtual TDataGrid& SoundQueueGrid() = 0; // Sound_down_grid
    virtual bool SoundTimerRunning() const = 0;
    virtual void StartSoundTimer() = 0;
    // Waits while the GUI keeps working (timers, the messaging client's events).
    virtual void PumpDelay(int Milliseconds) = 0;
    virtual void ProcessMessages() = 0;
};
