// The root of the monitor's services, made by the program's start-up before any window and
// destroyed after the windows' close steps. It owns what the windows share: the database
// reference, the host table and the event queues, the options, the host store, the monitor
// controller, the alarm dispatcher and the registry of alarm channels. Every window receives it
// in its FormCreate and reaches the rest of the program through it, not through other windows.
#pragma once

#include "core/AlarmChannels.h"
#include "core/AlarmDispatcher.h"
#include "core/HostStore.h"
#include "core/MonitorController.h"
#include "core/SettingsModel.h"
#include "core/WindowRoles.h"
#include "grid/GxGrid.h"

#include <memory>

class IGroupTreeSink;
class IHostProbes;
class TSQLiteDatabase;

class TMonitorServices {
public:
    // Database is MonitorDatabase in the program. Without probes of its own the services check
    // hosts over the network.
    TMonitorServices(TSQLiteDatabase& Database, const QString& DataFolder,
                     std::unique_ptr<IHostProbes> Probes = nullptr);
    // Stops the monitor for good (waiting for its threads) before anything it uses goes.
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

    // The window that shows the group trees, for the database loader; none until it registers.
    IGroupTreeSink* GroupTree() const { return FGroupTree; }
    void SetGroupTree(IGroupTreeSink* Sink) { FGroupTree = Sink; }

private:
    TSQLiteDatabase& FDatabase;
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
    // Last: its threads use everything above, so it goes first.
    std::unique_ptr<TMonitorController> FController;
};
