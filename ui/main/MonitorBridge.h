// The main window as the check engine and the alarm dispatcher see it: its option controls,
// status panels, popups, sound queue and the notification channels.
#pragma once

#include "core/MonitorInterfaces.h"

class TForm1;

class TMainWindowMonitor : public IMonitorWindow, public IAlarmChannels {
public:
    explicit TMainWindowMonitor(TForm1& Form) : FForm(Form) {}

    // IMonitorWindow
    int ThresholdN() const override;
    int PingTimeoutMs() const override;
    int DelaySeconds() const override;
    QString UpSoundText() const override;
    void ShowStatusPanel(int Panel, const QString& Text, bool Red) override;
    void SetStartStopEnabled(bool Enabled) override;

    // IAlarmChannels
    bool EmailEnabled() const override;
    bool IcqEnabled() const override;
    bool AlertEnabled() const override;
    bool UpSoundEnabled() const override;
    bool SendIfDown() const override;
    bool SendIfUp() const override;
    QString IcqUinText() const override;
    QString IcqPassword() const override;
    TDataGrid& DownPopupGrid() override;
    TDataGrid& UpPopupGrid() override;
    bool DownPopupShown() const override;
    void ShowDownPopup() override;
    void ShowUpPopup() override;
    void ClearUpHostGrid() override;
    bool SendNotificationMail(const QString& Recipients, const QString& Subject, const QStringList& Body) override;
    bool IcqLoggedIn() const override;
    void IcqLogin(qint64 Uin, const QString& Password, quint32 Status) override;
    bool IcqSendMessage(qint64 Uin, const QString& Text) override;
    void PlayUpSound(const QString& FileName) override;
    TDataGrid& SoundQueueGrid() override;
    bool SoundTimerRunning() const override;
    void StartSoundTimer() override;
    void PumpDelay(int Milliseconds) override;
    void ProcessMessages() override;

private:
    TForm1& FForm;
};
