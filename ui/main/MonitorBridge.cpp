// The main window's side of the check engine and the dispatcher. Channels whose windows are not
// part of the program yet (mail settings, the messaging client, the audio layer) report failure,
// so nothing is ever logged as sent that was not.
#include "ui/main/MonitorBridge.h"

#include "core/PumpDelay.h"
#include "grid/GxGrid.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"
#include "ui/main/main_form.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

int TMainWindowMonitor::ThresholdN() const { return FForm.ploss_spin->value(); }
int TMainWindowMonitor::PingTimeoutMs() const { return FForm.Timeout_Spin->value(); }
int TMainWindowMonitor::DelaySeconds() const { return FForm.Delay_spin->value(); }
QString TMainWindowMonitor::UpSoundText() const { return FForm.Up_Sound_Edit->text(); }

void TMainWindowMonitor::ShowStatusPanel(int Panel, const QString& Text, bool Red) {
    FForm.SetStatusPanel(Panel, Text, Red);
}

void TMainWindowMonitor::SetStartStopEnabled(bool Enabled) { FForm.BitBtn7->setEnabled(Enabled); }

bool TMainWindowMonitor::EmailEnabled() const { return FForm.Email_checkbox->isChecked(); }
bool TMainWindowMonitor::IcqEnabled() const { return FForm.ICQ_CheckBox->isChecked(); }
bool TMainWindowMonitor::AlertEnabled() const { return FForm.Alert_CheckBox->isChecked(); }
bool TMainWindowMonitor::UpSoundEnabled() const { return FForm.Up_sound_CheckBox->isChecked(); }
bool TMainWindowMonitor::SendIfDown() const { return true; }
bool TMainWindowMonitor::SendIfUp() const { return true; }
QString TMainWindowMonitor::IcqUinText() const { return {}; }
QString TMainWindowMonitor::IcqPassword() const { return {}; }

TDataGrid& TMainWindowMonitor::DownPopupGrid() { return *Alert_window->ShowGrid; }
TDataGrid& TMainWindowMonitor::UpPopupGrid() { return *Alert_window_up->ShowGrid; }
bool TMainWindowMonitor::DownPopupShown() const { return Alert_window->isVisible(); }
void TMainWindowMonitor::ShowDownPopup() { Alert_window->SlideIn(); }
void TMainWindowMonitor::ShowUpPopup() { Alert_window_up->SlideIn(); }
void TMainWindowMonitor::ClearUpHostGrid() { FForm.UpHostGrid->ClearRows(); }

bool TMainWindowMonitor::SendNotificationMail(const QString&, const QString&, const QStringList&) {
    return false; // no mail settings yet: never reported as sent
}

bool TMainWindowMonitor::IcqLoggedIn() const { return false; }
void TMainWindowMonitor::IcqLogin(qint64, const QString&, quint32) {}
bool TMainWindowMonitor::IcqSendMessage(qint64, const QString&) { return false; }
void TMainWindowMonitor::PlayUpSound(const QString&) {}

TDataGrid& TMainWindowMonitor::SoundQueueGrid() { return *FForm.Sound_down_grid; }
// No sound player yet: the queue is never played, so the next dispatch clears it instead of
// letting it grow.
bool TMainWindowMonitor::SoundTimerRunning() const { return false; }
void TMainWindowMonitor::StartSoundTimer() {}
void TMainWindowMonitor::PumpDelay(int Milliseconds) { ::PumpDelay(Milliseconds); }
void TMainWindowMonitor::ProcessMessages() { QCoreApplication::processEvents(); }
