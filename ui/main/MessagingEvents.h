// The messaging client's events: messages the server delivered become remote commands (direct
// peers' messages are only logged), the keep-alive timer, the status picture on sign-on and
// sign-off, and the calls through which the dispatcher, the settings loader and the close sequence
// use the client; and the service that owns the client for the services.
#pragma once

#include "core/AlarmChannels.h"
#include "core/DatabaseLoader.h"
#include "core/MonitorServices.h"
#include "core/RemoteCommands.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class TDataGrid;
class TICQClient;
class TSQLiteDatabase;

// Where the window's parts are found. An empty part is left out: no group tree gives no groups, no
// online grid leaves "status" with its header alone, no log page grid makes the commands use one of
// their own.
struct TMessagingParts {
    std::function<const TGroupTree&()> GroupTree;    // TreeView1's nodes
    std::function<TDataGrid*()> HostGrid;            // DataGrid1
    std::function<TDataGrid*()> DownGrid;            // the online page's grid
    std::function<void()> RefreshDownGrid;           // BitBtn35
    std::function<TDataGrid*()> LogsGrid;            // Logs_grid
    std::function<bool()> NotificationEnabled;       // ICQ_CheckBox
    std::function<void(bool Online)> ShowOnline;     // Image1 takes Image3's (online) or Image2's picture
    std::function<void(int Milliseconds)> PumpDelay; // TForm1.PumpDelay
    std::function<void(const QString& Text)> AddProgramLog;
    std::function<double()> Now;
    TSQLiteDatabase* Database = nullptr; // MonitorDatabase when not given
};

class TMessagingEvents : public IMessagingChannel, private IRemoteCommandHost {
public:
    TMessagingEvents(TICQClient& Client, TMessagingParts Parts);
    ~TMessagingEvents() override;
    TMessagingEvents(const TMessagingEvents&) = delete;
    TMessagingEvents& operator=(const TMessagingEvents&) = delete;

    // The handlers of TForm1 (ICQClient1's events and ICQ_keep_alive_Timer).
    void ICQClient1MessageRecv(const QString& Msg, const QString& UIN);
    // A message over a direct connection (set up here, on the client's OnDirectMessageRecv).
    void ICQClient1DirectMessageRecv(const QString& Msg, const QString& ClaimedUIN);
    void ICQ_keep_alive_TimerTimer();
    void ICQClient1Login();
    void ICQClient1LogOff();
    void ICQClient1SMSAck(const QString& Source, const QString& Network, const QString& MsgId,
                          bool Deliverable);

    // The messaging channel of the alarm dispatcher. Login sets the client's UIN and password first;
    // SendMessage is true only when the text was handed to a signed-on client (a UIN outside 32 bits
    // is never sent).
    bool LoggedIn() const override;
    void Login(qint64 UIN, const QString& Password, quint32 Status) override;
    bool SendMessage(qint64 UIN, const QString& Text) override;

    // The settings loader's sign-on: line 380, the UIN and password, Login with the initial status and
    // the offline-message request (sent only once signed on); line 381 when that fails.
    void StartupSignOn(qint64 UIN, const QString& Password);
    // The close sequence's sign-off: Login(-1, false), then LogOff.
    void SignOff();

    TRemoteCommands& Commands() { return FCommands; }
    // Pages that join later (the online page, the log page, the status picture) plug their parts in.
    TMessagingParts& Parts() { return FParts; }

private:
    // IRemoteCommandHost
    const TGroupTree& GroupTree() override;
    TDataGrid& HostGrid() override;
    TDataGrid& DownGrid() override;
    void RefreshDownGrid() override;
    TDataGrid& LogsGrid() override;
    TSQLiteDatabase& Database() override;
    void PumpDelay(int Milliseconds) override;
    double Now() override;
    void AddProgramLog(const QString& Text) override;
    TDataGrid& OwnGrid(std::unique_ptr<TDataGrid>& Grid, bool EventColumns);

    TICQClient& FClient;
    TMessagingParts FParts;
    TRemoteCommands FCommands;
    std::unique_ptr<TDataGrid> FOwnHosts;
    std::unique_ptr<TDataGrid> FOwnDownGrid;
    std::unique_ptr<TDataGrid> FOwnLogs;
    TGroupTree FNoGroups;
};

// The messaging client the services own (IMessagingService): ICQClient1 with its events and
// ICQ_keep_alive_Timer (100 s, running from creation). Made by the start-up once the windows whose
// parts it reads exist.
class TMessagingService : public IMessagingService {
public:
    explicit TMessagingService(TMessagingParts Parts);
    ~TMessagingService() override;
    TMessagingService(const TMessagingService&) = delete;
    TMessagingService& operator=(const TMessagingService&) = delete;

    // Until Stop().
    TICQClient* ICQClient1() const { return FClient.get(); }
    TMessagingEvents* Events() const { return FEvents.get(); }
    QTimer& ICQ_keep_alive_Timer() { return FKeepAlive; }

    bool LoggedIn() const override;
    void Login(qint64 UIN, const QString& Password, quint32 Status) override;
    bool SendMessage(qint64 UIN, const QString& Text) override;
    void StartupSignOn(qint64 UIN, const QString& Password) override;
    void SignOff() override;
    // The client goes with its sockets and timers; after it the calls above do nothing.
    void Stop() override;

private:
    std::unique_ptr<TICQClient> FClient;
    std::unique_ptr<TMessagingEvents> FEvents;
    QTimer FKeepAlive;
};
