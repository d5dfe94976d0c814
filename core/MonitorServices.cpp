// The services' grids, their wiring, and the order in which they go.
#include "core/MonitorServices.h"

#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/NetHostProbes.h"
#include "core/SoundQueue.h"

TMonitorServices::TMonitorServices(TSQLiteDatabase& Database, const QString& DataFolder,
                                   std::unique_ptr<IHostProbes> Probes)
    : FDatabase(Database), FHostStore(Database),
      FProbes(Probes ? std::move(Probes) : std::make_unique<TNetHostProbes>()),
      FDispatcher(Database, FSettings, FChannels, FDownHostGrid, FUpHostGrid, FSound_down_grid, DataFolder) {
    FDataGrid1.setObjectName(QStringLiteral("DataGrid1"));
    CreateHostGridColumns(FDataGrid1);
    FDownHostGrid.setObjectName(QStringLiteral("DownHostGrid"));
    CreateDownHostGridColumns(FDownHostGrid);
    FUpHostGrid.setObjectName(QStringLiteral("UpHostGrid"));
    CreateDownHostGridColumns(FUpHostGrid);
    FSound_down_grid.setObjectName(QStringLiteral("Sound_down_grid"));
    CreateSoundQueueColumns(FSound_down_grid);
    FController = std::make_unique<TMonitorController>(FDataGrid1, FDownHostGrid, FDatabase, FSettings,
                                                       *FProbes, FChannels);
    FController->SetDispatcher([this] { FDispatcher.DispatchAlarms(); });
}

TMonitorServices::~TMonitorServices() {
    FController->Shutdown(2000);
    FController.reset();
}
