// The null channels and the registry that hands out the registered channel or its null object.
#include "core/AlarmChannels.h"

#include "core/HostGridColumns.h"
#include "core/PumpDelay.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>

namespace {

void CreatePopupColumns(TDataGrid& Grid) {
    for (const char* name : {PopupColumn::Host, PopupColumn::ID_, PopupColumn::Time_d, PopupColumn::State_}) {
        Grid.AddColumn(TGxColumnKind::Text, QString::fromLatin1(name));
    }
}

// No popup windows: the lists exist so the dispatcher can fill them, nothing is shown, and since
// nothing shows, the next dispatch empties them again.
class TNullPopups : public IAlertPopups {
public:
    TNullPopups() {
        CreatePopupColumns(FDown);
        CreatePopupColumns(FUp);
    }
    TDataGrid& DownPopupGrid() override { return FDown; }
    TDataGrid& UpPopupGrid() override { return FUp; }
    bool DownPopupShown() const override { return false; }
    bool ShowDownPopup() override { return false; }
    bool ShowUpPopup() override { return false; }

private:
    TDataGrid FDown;
    TDataGrid FUp;
};

// No player: nothing plays, and a queue that is never played is emptied at the next dispatch.
class TNullSound : public ISoundChannel {
public:
    bool PlayUpSound(const QString&) override { return false; }
    bool SoundTimerRunning() const override { return false; }
    void StartSoundTimer() override {}
};

class TNullMail : public IMailChannel {
public:
    TSendResult SendNotificationMail(const QString&, const QString&, const QStringList&) override {
        return {false, NoChannelReason()};
    }
};

class TNullMessaging : public IMessagingChannel {
public:
    bool LoggedIn() const override { return false; }
    void Login(qint64, const QString&, quint32) override {}
    bool SendMessage(qint64, const QString&) override { return false; }
};

class TNullStatusPanels : public IStatusPanels {
public:
    void SetPanelText(TStatusPanel, const QString&, int) override {}
};

// The core's own wait: the calling thread's event loop keeps running.
class TCoreEventPump : public IEventPump {
public:
    void PumpDelay(int Milliseconds) override { ::PumpDelay(Milliseconds); }
    void ProcessMessages() override {
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents();
        }
    }
};

} // namespace

struct TAlarmChannels::TNullChannels {
    TNullPopups Popups;
    TNullSound Sound;
    TNullMail Mail;
    TNullMessaging Messaging;
    TNullStatusPanels StatusPanels;
    TCoreEventPump EventPump;
};

QString NoChannelReason() {
    return QStringLiteral("no channel is registered");
}

TAlarmChannels::TAlarmChannels() : FNull(std::make_unique<TNullChannels>()) {}
TAlarmChannels::~TAlarmChannels() = default;

IAlertPopups& TAlarmChannels::Popups() {
    return FPopups ? *FPopups : FNull->Popups;
}
ISoundChannel& TAlarmChannels::Sound() {
    return FSound ? *FSound : FNull->Sound;
}
IMailChannel& TAlarmChannels::Mail() {
    return FMail ? *FMail : FNull->Mail;
}
IMessagingChannel& TAlarmChannels::Messaging() {
    return FMessaging ? *FMessaging : FNull->Messaging;
}
IStatusPanels& TAlarmChannels::StatusPanels() {
    return FStatusPanels ? *FStatusPanels : FNull->StatusPanels;
}
IEventPump& TAlarmChannels::EventPump() {
    return FEventPump ? *FEventPump : FNull->EventPump;
}
