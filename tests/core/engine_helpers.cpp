// The monitor fixture: fake probes, a recording window and a database made for each test.
#include "tests/core/engine_fixture.h"

#include "core/AlertFlags.h"
#include "core/CheckEngine.h"
#include "core/DatabaseSchema.h"
#include "core/DatabaseTransaction.h"
#include "core/ExceptionGuard.h"
#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/HostStore.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "core/SamplingThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

bool FakeProbes::HangIfAsked(const std::string& Host) {
    {
        std::lock_guard g(FLock);
        if (!FHanging[Host]) {
            return false;
        }
    }
    for (int i = 0; i < 3000 && !FCancelled.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void FakeProbes::SetLatched(const std::string& Host) {
    std::lock_guard g(FLock);
    FLatch[Host] = 1;
}

bool FakeProbes::Waiting(const std::string& Host) {
    std::lock_guard g(FLock);
    return FLatch[Host] == 2;
}

void FakeProbes::Release(const std::string& Host) {
    std::lock_guard g(FLock);
    FLatch.erase(Host);
}

void FakeProbes::WaitIfLatched(const std::string& Host) {
    {
        std::lock_guard g(FLock);
        auto it = FLatch.find(Host);
        if (it == FLatch.end()) {
            return;
        }
        it->second = 2;
    }
    for (int i = 0; i < 3000 && !FCancelled.load(); ++i) {
        {
            std::lock_guard g(FLock);
            if (FLatch.find(Host) == FLatch.end()) {
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TPingOutcome FakeProbes::Ping(const std::string& Host, int TimeoutMs) {
    ++FCalls;
    {
        std::lock_guard g(FLock);
        ++FPingCalls[Host];
        FPingTimeout[Host] = TimeoutMs;
    }
    WaitIfLatched(Host);
    int stubborn = 0;
    {
        std::lock_guard g(FLock);
        stubborn = FStubborn[Host];
    }
    if (stubborn > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(stubborn));
    }
    if (HangIfAsked(Host) || FCancelled.load()) {
        return {"Timeout", -1};
    }
    std::lock_guard g(FLock);
    auto it = FPing.find(Host);
    return it == FPing.end() ? TPingOutcome{"", 1} : it->second;
}

void FakeProbes::PingAsync(const std::string& Host, int TimeoutMs,
                           std::function<void(const TPingOutcome&)> Done) {
    std::unique_lock lock(FLock);
    if (FHoldEchoes && !FCancelled.load()) {
        ++FCalls;
        FHeld.push_back(std::move(Done));
        return;
    }
    if (FLatch.count(Host) == 0 && !FHanging[Host] && FStubborn[Host] == 0) {
        lock.unlock();
        Done(Ping(Host, TimeoutMs));
        return;
    }
    std::thread([this, Host, TimeoutMs, Done] { Done(Ping(Host, TimeoutMs)); }).detach();
}

std::string FakeProbes::HttpProbe(const std::string& Host, int TimeoutMs) {
    ++FCalls;
    FLastHttpTimeout = TimeoutMs;
    {
        std::lock_guard g(FLock);
        FHttpTimeout[Host] = TimeoutMs;
    }
    if (OnHttp) {
        OnHttp(Host);
    }
    if (HangIfAsked(Host) || FCancelled.load()) {
        return "0 ";
    }
    std::lock_guard g(FLock);
    auto it = FHttp.find(Host);
    return it == FHttp.end() ? "200 OK" : it->second;
}

std::string FakeProbes::SnmpGet(const std::string& Host, const std::string& Community,
                                const std::string& OID) {
    (void)Community;
    ++FCalls;
    if (HangIfAsked(Host) || FCancelled.load()) {
        return "";
    }
    std::lock_guard g(FLock);
    auto it = FSnmp.find(Host + "|" + OID);
    return it == FSnmp.end() ? "" : it->second;
}

void FakeProbes::CancelAll() {
    FCancelled = true;
    std::vector<std::function<void(const TPingOutcome&)>> held;
    {
        std::lock_guard g(FLock);
        held.swap(FHeld);
    }
    for (auto& done : held) {
        done({"Timeout", -1, false});
    }
}

void FakeProbes::SetPing(const std::string& Host, const std::string& Error, int TimeMs) {
    std::lock_guard g(FLock);
    FPing[Host] = {Error, Error.empty() ? TimeMs : -1};
}

void FakeProbes::SetPingOutcome(const std::string& Host, const TPingOutcome& Outcome) {
    std::lock_guard g(FLock);
    FPing[Host] = Outcome;
}

void FakeProbes::SetPingSkipped(const std::string& Host) {
    std::lock_guard g(FLock);
    FPing[Host] = {"Unknown error", -1, true};
}

void FakeProbes::SetHttp(const std::string& Host, const std::string& Result) {
    std::lock_guard g(FLock);
    FHttp[Host] = Result;
}

void FakeProbes::SetSnmp(const std::string& Host, const std::string& OID, const std::string& Value) {
    std::lock_guard g(FLock);
    FSnmp[Host + "|" + OID] = Value;
}

int FakeProbes::PingCalls(const std::string& Host) {
    std::lock_guard g(FLock);
    return FPingCalls[Host];
}

int FakeProbes::LastPingTimeout(const std::string& Host) {
    std::lock_guard g(FLock);
    return FPingTimeout[Host];
}

int FakeProbes::HttpTimeout(const std::string& Host) {
    std::lock_guard g(FLock);
    return FHttpTimeout[Host];
}

TSettingsSnapshot TestEngineOwner::Settings() const {
    std::lock_guard g(FLock);
    return FSettings;
}

void TestEngineOwner::SetOptions(const std::function<void(TSettings&)>& Change) {
    std::lock_guard g(FLock);
    TSettings values = *FSettings;
    Change(values);
    FSettings = std::make_shared<const TSettings>(values);
}

void TestEngineOwner::ShowCheckProgress(const QString& Text) {
    std::lock_guard g(FLock);
    FProgress = QString(Text.constData(), Text.size());
}

QString TestEngineOwner::LastProgress() {
    std::lock_guard g(FLock);
    return QString(FProgress.constData(), FProgress.size());
}

bool TestEngineOwner::PassCountdownRunning() const {
    // The program's countdown lasts at least a tick; 40 ms stands for it.
    return PassCount >= PassesAllowed || (FCountdown.isValid() && FCountdown.elapsed() < 40);
}

void TestEngineOwner::StartPassCountdown() {
    ++PassCount;
    FCountdown.start();
}

void TestEngineOwner::ClearEventQueue() {
    if (!DownAlertVisible) {
        FQueue.ClearRows();
    }
}

void TestEngineOwner::DispatchAlarms() {
    if (Dispatch) {
        Dispatch();
        return;
    }
    DispatchedQueueSizes.push_back(FQueue.RowCount());
    FQueue.ClearRows();
}

EngineFixture::EngineFixture() : Owner(Hosts, DownHostGrid, Database, Probes) {
    ResetMonitorState();
    Database.Open(QString::fromStdString(Dir.file("dbm.db")));
    CreateMissingTables(Database);
    CreateHostGridColumns(Hosts);
    CreateDownHostGridColumns(DownHostGrid);
    // The threshold and up sound the tests were written for; every other option at its default.
    Owner.SetOptions([](TSettings& Values) {
        Values.ploss_spin = 3;
        Values.Up_Sound_Edit = QStringLiteral("up.wav");
    });
}

EngineFixture::~EngineFixture() {
    WaitEnded();
    MonitoringActive = false;
}

void EngineFixture::SetThreshold(int N) {
    Owner.SetOptions([N](TSettings& Values) { Values.ploss_spin = N; });
}

void EngineFixture::SetPingTimeout(int Ms) {
    Owner.SetOptions([Ms](TSettings& Values) { Values.Timeout_Spin = Ms; });
}

bool EngineFixture::Start() {
    if (ThreadsRunning()) {
        return false;
    }
    Join();
    Owner.Probes().ResetCancel();
    MonitoringActive = true;
    const int pingTimeout = Owner.Options().Timeout_Spin;
    FRunning += 2;
    FCheckThread = std::thread([this, pingTimeout] {
        {
            WorkerThreadScope scope;
            Guarded("check thread", [&] { TNewThread(Owner, 0, pingTimeout).Execute(); });
        }
        --FRunning;
    });
    FSamplingThread = std::thread([this] {
        {
            WorkerThreadScope scope;
            Guarded("sampling thread", [&] { TPort_Monitoring_Thread(Owner).Execute(); });
        }
        --FRunning;
    });
    return true;
}

void EngineFixture::Stop() {
    MonitoringActive = false;
    WakeAllWorkerWaits();
    Owner.Probes().CancelAll();
    if (Database.IsOpen() && Database.InTransaction()) {
        CommitLongTransaction(Database);
    }
}

void EngineFixture::Join() {
    for (std::thread* thread : {&FCheckThread, &FSamplingThread}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
}

bool EngineFixture::WaitEnded(int LimitMs) {
    Stop();
    bool ended = WaitFor([&] { return !ThreadsRunning(); }, LimitMs);
    if (ended) {
        Join();
    }
    return ended;
}

int EngineFixture::AddHost(const HostSpec& Spec) {
    auto flag = [](bool b) {
        return b ? QStringLiteral("-1") : QStringLiteral("0");
    };
    THostStore store(Database);
    const QStringList columns = {"host",
                                 "IP",
                                 "Status",
                                 "Enabled",
                                 "Alarm",
                                 "Kol_vo_p",
                                 "Alarm_en",
                                 "Loop_sound",
                                 "N_group",
                                 "Ping_check",
                                 "Comunity",
                                 "SNMP_check",
                                 "Note_",
                                 "Port_check",
                                 "SPing_alarm",
                                 "SPing_check",
                                 "Sping_kol_vo",
                                 "SNMP_kol_vo_p",
                                 "Latency_kol_vo_p",
                                 "P_lost_kol_vo_p",
                                 "ICMP_kol_vo_p",
                                 "ICMP_Status",
                                 "SNMP_Status",
                                 "Latency_Status",
                                 "P_lost_Status",
                                 "Http_check",
                                 "Http_Kol_vo",
                                 "Http_Status",
                                 "Sound_alarm_enabled",
                                 "Email_alarm_enabled",
                                 "ICQ_alarm_enabled",
                                 "Email_contacts_list",
                                 "ICQ_contacts_list"};
    const TSQLiteValues values = {Spec.Host,
                                  Spec.IP,
                                  Spec.Status,
                                  flag(Spec.Enabled),
                                  "alarm.wav",
                                  0,
                                  flag(Spec.AlarmEn),
                                  0,
                                  1,
                                  flag(Spec.Ping),
                                  Spec.Comunity,
                                  flag(Spec.Snmp),
                                  Spec.Note,
                                  flag(Spec.PortCheck),
                                  flag(Spec.SPingAlarm),
                                  flag(Spec.SPingCheck),
                                  Spec.SpingKolVo,
                                  0,
                                  0,
                                  0,
                                  0,
                                  "",
                                  "",
                                  "",
                                  "",
                                  flag(Spec.Http),
                                  0,
                                  "",
                                  "-1",
                                  "-1",
                                  "-1",
                                  "ops@example.org",
                                  "123456,654321"};
    const int id = int(store.InsertHost(columns, values));
    if (id != FNextId++) {
        ADD_FAILURE() << "host ids are given in order from 1: " << id;
    }
    auto table = Database.OpenResultTable("select * from hosts where id=?", {id});
    int row = Hosts.AddRow();
    FillHostRow(Hosts, row, *table);
    return id;
}

int EngineFixture::RowOf(int Id) {
    for (int r = 0; r < Hosts.RowCount(); ++r) {
        if (Hosts.Cell("Kod_", r).GetAsString() == QString::number(Id)) {
            return r;
        }
    }
    return -1;
}

QString EngineFixture::Cell(int Id, const char* Column) {
    return Hosts.Cell(Column, RowOf(Id)).GetAsString();
}

bool EngineFixture::WaitFor(const std::function<bool()>& Done, int LimitMs) {
    return ProcessEventsUntil(Done, LimitMs);
}

void ResetMonitorState() {
    LangTexts::UseBuiltInEnglish();
    MonitoringActive = false;
    ResetShutdownRequest();
    DownAlertVisible = false;
    UpAlertVisible = false;
    SoundMuted = false;
}

std::vector<QString> ProgramLogLines(TSQLiteDatabase& Database) {
    std::vector<QString> lines;
    for (auto t = Database.OpenResultTable("select Status from program_log order by ID"); !t->AtEnd();
         t->NextRow()) {
        lines.push_back(t->FieldTextOrEmpty(0));
    }
    return lines;
}

bool HasLine(const std::vector<QString>& Lines, const QString& Line) {
    return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
}

bool ProcessEventsUntil(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > LimitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

bool EngineFixture::RunPasses(int Passes, int LimitMs) {
    const int target = Owner.PassCount + Passes;
    Owner.PassesAllowed = target;
    if (!Start()) {
        return false;
    }
    bool done = WaitFor([&] { return Owner.PassCount >= target; }, LimitMs);
    bool ended = WaitEnded(LimitMs);
    return done && ended;
}

std::vector<std::vector<QString>> EngineFixture::Rows(const QString& SQL) {
    std::vector<std::vector<QString>> rows;
    auto table = Database.OpenResultTable(SQL);
    for (; !table->AtEnd(); table->NextRow()) {
        std::vector<QString> row;
        for (int c = 0; c < table->ColumnCount(); ++c) {
            row.push_back(table->FieldTextOrEmpty(c));
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<QString> EngineFixture::EventCodes(int Id) {
    std::vector<QString> codes;
    for (auto& row : Rows(QStringLiteral("select Stat_D from log where ID_h_d=%1 order by ID").arg(Id))) {
        codes.push_back(row[0]);
    }
    return codes;
}
