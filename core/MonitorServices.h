// The root of the monitor's services, made by the program's start-up before any window and
// destroyed after the windows' close steps. It owns what the windows share: the database
// reference, the host table and the event queues, the options, the host store, the monitor
// controller, the alarm dispatcher and the registry of alarm channels, and every long-lived thread:
// the hourly backup with its timer, the syslog server, the messaging client, the tools' workers and
// the real-time chart's sampler. Windows start and stop those through it and own no thread. Every
// window receives it in its constructor and reaches the rest of the program through it, not through
// other windows.
#pragma once

#include "core/AlarmChannels.h"
#include "core/AlarmDispatcher.h"
#include "core/DatabaseBackup.h"
#include "core/DatabaseLoader.h"
#include "core/HostStore.h"
#include "core/MonitorController.h"
#include "core/SettingsModel.h"
#include "core/SyslogServer.h"
#include "core/ToolChartsSampler.h"
#include "core/ToolWorkers.h"
#include "core/WindowRoles.h"
#include "grid/GxGrid.h"

#include <QTimer>

#include <memory>

class IHostProbes;
class TSQLiteDatabase;

// The messaging client as the services hold it. It lives above core (the start-up makes it), so the
// services know it only as the alarm channel it is and the steps of its life.
class IMessagingService : public IMessagingChannel {
public:
    // The settings loader's sign-on, when the option is on and the client is not signed on.
    virtual void StartupSignOn(qint64 Uin, const QString& Password) = 0;
    // The close sequence's sign-off.
    virtual void SignOff() = 0;
    // Connections and timer gone: no event and no program-log line from here on. Idempotent.
    virtual void Stop() = 0;
};

class TMonitorServices {
public:
    // Database is MonitorDatabase in the program. Without probes of its own the services check
    // hosts over the network.
    TMonitorServices(TSQLiteDatabase& Database, const QString& DataFolder,
                     std::unique_ptr<IHostProbes> Probes = nullptr);
    // Stop(), then everything goes in reverse order of declaration.
    ~TMonitorServices();
    TMonitorServices(const TMonitorServices&) = delete;
    TMonitorServices& operator=(const TMonitorServices&) = delete;

    TSQLiteDatabase& Database() { return FDatabase; }
    // The in-memory host table behind the main window's host list.
    TDataGrid& DataGrid1() { return FDataGrid1; }
    // The event queue of one pass, the up events and the alarm sound queue.
    TDataGrid& DownHostGrid() { return FDownHostGrid; }
    TDataGrid& UpHostGrid() { return FUpHostGrid; }
    TDataGrid& Sound_down_grid() { return FSound_down_grid; }

    TSettingsModel& Settings() { return FSettings; }
    THostStore& HostStore() { return FHostStore; }
    IHostProbes& Probes() { return *FProbes; }
    TAlarmChannels& Channels() { return FChannels; }
    // The roles the windows play for one another.
    TWindowRoles& Roles() { return FRoles; }
    TAlarmDispatcher& Dispatcher() { return FDispatcher; }
    TMonitorController& Controller() { return *FController; }

    // The start-up's database load into the host table and the registered group tree, with the
    // source chosen by lines 40 and 41 of the Data folder's settings file (Context gives the progress
    // window and the operator's message box). The long transaction opens as the load ends, so the
    // first pass and the syslog server write into it from their first row; Timer10 commits it.
    TDatabaseLoadResult LoadDatabase(TDatabaseLoadContext Context);

    // The hourly copy of the database to backup.db: its thread and its timer (3600000 ms), which
    // runs from the database load on.
    TDatabaseBackup& Backup() { return FBackup; }
    QTimer& BackupTimer() { return FBackupTimer; }
    void StartBackupTimer();
    // The syslog listener the "Enable Syslog Server" option switches.
    TSyslogServer& SyslogServer() { return FSyslogServer; }
    // The tools window's ping, trace, lookup and SNMP jobs.
    TToolWorkers& ToolWorkers() { return FToolWorkers; }
    // The real-time traffic chart's sampling thread.
    TRealtimeSampler& RealtimeSampler() { return FRealtimeSampler; }
    // The messaging client, made by the start-up's sign-on step; nullptr until then. Setting it
    // registers it as the alarm dispatcher's messaging channel.
    IMessagingService* Messaging() const { return FMessaging.get(); }
    void SetMessaging(std::unique_ptr<IMessagingService> Service);

    // GUI thread, at shut-down and again (idempotent) at destruction: every thread stopped and
    // joined, in order: the monitor's check and sampling threads, the messaging client, the tools'
    // jobs, the real-time sampler, the syslog listener, then the backup, the database's last user
    // besides the GUI.
    void Stop();

    // The window that shows the group trees, for the database loader; none until it registers.
    IGroupTreeSink* GroupTree() const { return FGroupTree; }
    void SetGroupTree(IGroupTreeSink* Sink) { FGroupTree = Sink; }

private:
    void BackupTimerTimer();

    TSQLiteDatabase& FDatabase;
    QString FDataFolder;
    TDataGrid FDataGrid1;
    TDataGrid FDownHostGrid;
    TDataGrid FUpHostGrid;
    TDataGrid FSound_down_grid;
    TSettingsModel FSettings;
    THostStore FHostStore;
    std::unique_ptr<IHostProbes> FProbes;
    TAlarmChannels FChannels;
    TWindowRoles FRoles;
    TAlarmDispatcher FDispatcher;
    IGroupTreeSink* FGroupTree = nullptr;
    TDatabaseBackup FBackup;
    QTimer FBackupTimer;
    TSyslogServer FSyslogServer;
    TToolWorkers FToolWorkers;
    TRealtimeSampler FRealtimeSampler;
    // Reads the host table, the options and the database; withdrawn from the channels as it goes.
    std::unique_ptr<IMessagingService> FMessaging;
    // Last: its threads use everything above, so it goes first.
    std::unique_ptr<TMonitorController> FController;
};
