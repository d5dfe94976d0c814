// The services' grids, their wiring, and the order in which they go.
#include "core/MonitorServices.h"

#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/HostStateMachine.h"
#include "core/NetHostProbes.h"
#include "core/SettingsFiles.h"
#include "core/SoundQueue.h"

TMonitorServices::TMonitorServices(TSQLiteDatabase& Database, const QString& DataFolder,
                                   std::unique_ptr<IHostProbes> Probes)
    : FDatabase(Database), FDataFolder(DataFolder), FHostStore(Database),
      FProbes(Probes ? std::move(Probes) : std::make_unique<TNetHostProbes>()),
      FDispatcher(Database, FSettings, FChannels, FDownHostGrid, FUpHostGrid, FSound_down_grid, DataFolder),
      FSyslogServer(Database) {
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
    FBackupTimer.setInterval(3600000);
    QObject::connect(&FBackupTimer, &QTimer::timeout,
                     [this] { Guarded("Timer6", [this] { BackupTimerTimer(); }); });
}

TMonitorServices::~TMonitorServices() {
    Stop();
    FController.reset();
    SetMessaging(nullptr);
}

void TMonitorServices::SetMessaging(std::unique_ptr<IMessagingService> Service) {
    FChannels.SetMessaging(Service.get());
    if (FMessaging)
        FMessaging->Stop();
    FMessaging = std::move(Service);
}

TDatabaseLoadResult TMonitorServices::LoadDatabase(TDatabaseLoadContext Context) {
    Context.DataFolder = FDataFolder;
    Context.HostGrid = &FDataGrid1;
    Context.GroupTree = FGroupTree;
    // Lines 40 and 41 choose the database's source; the options page shows what the load used.
    if (const auto settings = ReadSettingsFile(FDataFolder + QStringLiteral("Settings.cnfg")))
        Context.Settings = FileTextToLines(*settings);
    const TDatabaseLoadResult result = LoadDatabaseAtStart(FDatabase, Context);
    if (FDatabase.IsOpen())
        OpenLongTransaction(FDatabase);
    FSettings.Update([&result](TSettings& s) {
        s.Synchronize_db_Check = result.SynchronizeDb;
        s.Edit_db = result.EditDb;
    });
    SetHostViewFromLoad(result);
    return result;
}

void TMonitorServices::StartBackupTimer() {
    FBackupTimer.start();
}

void TMonitorServices::BackupTimerTimer() {
    if (FDatabase.IsOpen())
        FBackup.Start(FDataFolder, FDatabase);
}

void TMonitorServices::Stop() {
    FController->Shutdown(2000);
    // Its events write to the program log and read the host table.
    if (FMessaging)
        FMessaging->Stop();
    FToolWorkers.Stop();
    FRealtimeSampler.Stop();
    FSyslogServer.Stop();
    FBackupTimer.stop();
    FBackup.Cancel();
    FBackup.Wait();
}
