// Messaging events and the service that owns the client. The commands' answers are core logic
// (core/RemoteCommands); this unit finds the window's parts for them and drives the client.
#include "ui/main/MessagingEvents.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/LogGrids.h"
#include "core/ProgramLog.h"
#include "core/PumpDelay.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "messaging/ICQClient.h"

namespace {

bool IsUIN(qint64 UIN) {
    return UIN > 0 && UIN <= 0xFFFFFFFFLL;
}

} // namespace

TMessagingEvents::TMessagingEvents(TICQClient& Client, TMessagingParts Parts)
    : FClient(Client), FParts(std::move(Parts)), FCommands(*this) {
    FClient.OnDirectMessageRecv = [this](const QString& Msg, const QString& ClaimedUIN) {
        ICQClient1DirectMessageRecv(Msg, ClaimedUIN);
    };
}

TMessagingEvents::~TMessagingEvents() {
    FClient.OnDirectMessageRecv = nullptr;
}

void TMessagingEvents::ICQClient1DirectMessageRecv(const QString& Msg, const QString& ClaimedUIN) {
    // Logged like every received message, but never answered: the sender's UIN is only claimed.
    AddProgramLog(ReceivedMessageLogLine(ClaimedUIN, Msg));
}

void TMessagingEvents::ICQClient1MessageRecv(const QString& Msg, const QString& UIN) {
    FCommands.MessageReceived(Msg, UIN);
}

void TMessagingEvents::ICQ_keep_alive_TimerTimer() {
    if (!FParts.NotificationEnabled || !FParts.NotificationEnabled())
        return;
    if (!FClient.LoggedIn())
        FClient.Login(ICQInitialStatus, true);
    FClient.SendKeepAlive();
}

void TMessagingEvents::ICQClient1Login() {
    if (FParts.ShowOnline)
        FParts.ShowOnline(true);
}

void TMessagingEvents::ICQClient1LogOff() {
    if (FParts.ShowOnline)
        FParts.ShowOnline(false);
}

void TMessagingEvents::ICQClient1SMSAck(const QString&, const QString&, const QString&, bool) {}

bool TMessagingEvents::LoggedIn() const {
    return FClient.LoggedIn();
}

void TMessagingEvents::Login(qint64 UIN, const QString& Password, quint32 Status) {
    FClient.UIN = IsUIN(UIN) ? static_cast<quint32>(UIN) : 0;
    FClient.Password = Password;
    FClient.Login(Status);
}

bool TMessagingEvents::SendMessage(qint64 UIN, const QString& Text) {
    return IsUIN(UIN) && FClient.SendMessage(static_cast<quint32>(UIN), Text);
}

void TMessagingEvents::StartupSignOn(qint64 UIN, const QString& Password) {
    if (!FParts.NotificationEnabled || !FParts.NotificationEnabled() || FClient.LoggedIn())
        return;
    AddProgramLog(LangText(380));
    const bool started = Guarded("TMessagingEvents.StartupSignOn", [&] {
        Login(UIN, Password, ICQInitialStatus);
        // Sent only once signed on, so offline messages are not fetched here.
        FClient.RequestOfflineMessages();
    });
    if (!started)
        AddProgramLog(LangText(381));
}

void TMessagingEvents::SignOff() {
    FClient.Login(ICQCloseStatus, false);
    FClient.LogOff();
}

// ---------------------------------------------------------------------------------------------------
// The remote commands' view of the window

const TGroupTree& TMessagingEvents::GroupTree() {
    return FParts.GroupTree ? FParts.GroupTree() : FNoGroups;
}

TDataGrid& TMessagingEvents::OwnGrid(std::unique_ptr<TDataGrid>& Grid, bool EventColumns) {
    if (!Grid) {
        Grid = std::make_unique<TDataGrid>();
        if (EventColumns)
            CreateEventLogGridColumns(*Grid);
    }
    return *Grid;
}

TDataGrid& TMessagingEvents::HostGrid() {
    TDataGrid* grid = FParts.HostGrid ? FParts.HostGrid() : nullptr;
    return grid ? *grid : OwnGrid(FOwnHosts, false);
}

TDataGrid& TMessagingEvents::DownGrid() {
    TDataGrid* grid = FParts.DownGrid ? FParts.DownGrid() : nullptr;
    return grid ? *grid : OwnGrid(FOwnDownGrid, false);
}

void TMessagingEvents::RefreshDownGrid() {
    if (FParts.RefreshDownGrid)
        FParts.RefreshDownGrid();
}

TDataGrid& TMessagingEvents::LogsGrid() {
    TDataGrid* grid = FParts.LogsGrid ? FParts.LogsGrid() : nullptr;
    return grid ? *grid : OwnGrid(FOwnLogs, true);
}

TSQLiteDatabase& TMessagingEvents::Database() {
    return FParts.Database ? *FParts.Database : MonitorDatabase;
}

void TMessagingEvents::PumpDelay(int Milliseconds) {
    if (FParts.PumpDelay)
        FParts.PumpDelay(Milliseconds);
    else
        ::PumpDelay(Milliseconds);
}

double TMessagingEvents::Now() {
    return FParts.Now ? FParts.Now() : NowDateTime();
}

void TMessagingEvents::AddProgramLog(const QString& Text) {
    if (FParts.AddProgramLog)
        FParts.AddProgramLog(Text);
    else
        ::AddProgramLog(Database(), Text);
}

// ---------------------------------------------------------------------------------------------------
// The service

TMessagingService::TMessagingService(TMessagingParts Parts) : FClient(std::make_unique<TICQClient>()) {
    FClient->setObjectName(QStringLiteral("ICQClient1"));
    FEvents = std::make_unique<TMessagingEvents>(*FClient, std::move(Parts));
    TMessagingEvents* events = FEvents.get();
    FClient->OnMessageRecv = [events](const QString& Msg, const QString& UIN) {
        events->ICQClient1MessageRecv(Msg, UIN);
    };
    FClient->OnLogin = [events] {
        events->ICQClient1Login();
    };
    FClient->OnLogOff = [events] {
        events->ICQClient1LogOff();
    };
    FClient->OnSMSAck = [events](const QString& Source, const QString& Network, const QString& MsgId,
                                 bool Deliverable) {
        events->ICQClient1SMSAck(Source, Network, MsgId, Deliverable);
    };
    FKeepAlive.setObjectName(QStringLiteral("ICQ_keep_alive_Timer"));
    FKeepAlive.setInterval(100000);
    QObject::connect(&FKeepAlive, &QTimer::timeout, [events] {
        Guarded("TForm1.ICQ_keep_alive_TimerTimer", [events] { events->ICQ_keep_alive_TimerTimer(); });
    });
    FKeepAlive.start();
}

TMessagingService::~TMessagingService() {
    Stop();
}

bool TMessagingService::LoggedIn() const {
    return FEvents && FEvents->LoggedIn();
}

void TMessagingService::Login(qint64 UIN, const QString& Password, quint32 Status) {
    if (FEvents)
        FEvents->Login(UIN, Password, Status);
}

bool TMessagingService::SendMessage(qint64 UIN, const QString& Text) {
    return FEvents && FEvents->SendMessage(UIN, Text);
}

void TMessagingService::StartupSignOn(qint64 UIN, const QString& Password) {
    if (FEvents)
        FEvents->StartupSignOn(UIN, Password);
}

void TMessagingService::SignOff() {
    if (FEvents)
        FEvents->SignOff();
}

void TMessagingService::Stop() {
    FKeepAlive.stop();
    // The events go first: the client's end fires nothing into them.
    if (FClient) {
        FClient->OnMessageRecv = nullptr;
        FClient->OnLogin = nullptr;
        FClient->OnLogOff = nullptr;
        FClient->OnSMSAck = nullptr;
    }
    FEvents.reset();
    FClient.reset();
}
