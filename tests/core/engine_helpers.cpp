// The monitor fixture: fake probes, a recording window and a database made for each test.
#include "tests/core/engine_fixture.h"

#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
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

TPingOutcome FakeProbes::Ping(const std::string& Host, int TimeoutMs) {
    ++FCalls;
    {
        std::lock_guard g(FLock);
        ++FPingCalls[Host];
        FPingTimeout[Host] = TimeoutMs;
    }
    if (HangIfAsked(Host) || FCancelled.load()) {
        return {"Timeout", -1};
    }
    std::lock_guard g(FLock);
    auto it = FPing.find(Host);
    return it == FPing.end() ? TPingOutcome{"", 1} : it->second;
}

std::string FakeProbes::HttpProbe(const std::string& Host, int TimeoutMs) {
    ++FCalls;
    FLastHttpTimeout = TimeoutMs;
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
}

void FakeProbes::SetPing(const std::string& Host, const std::string& Error, int TimeMs) {
    std::lock_guard g(FLock);
    FPing[Host] = {Error, Error.empty() ? TimeMs : -1};
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

EngineFixture::EngineFixture() {
    LangTexts::UseBuiltInEnglish();
    MonitoringActive = false;
    ResetShutdownRequest();
    Database.Open(QString::fromStdString(Dir.file("dbm.db")));
    CreateMissingTables(Database);
    CreateHostGridColumns(Hosts);
    CreateDownHostGridColumns(DownHostGrid);
    Controller = std::make_unique<TMonitorController>(Hosts, DownHostGrid, Database, Window, Probes);
    Controller->Timer_time_to_ping.setInterval(40);
    Controller->SetDispatcher([this] {
        DispatchedQueueSizes.push_back(DownHostGrid.RowCount());
        DownHostGrid.ClearRows();
    });
}

EngineFixture::~EngineFixture() {
    Controller.reset();
    MonitoringActive = false;
}

int EngineFixture::AddHost(const HostSpec& Spec) {
    int id = FNextId++;
    auto flag = [](bool b) {
        return b ? QStringLiteral("-1") : QStringLiteral("0");
    };
    Database.ExecuteStatement(
        "insert into hosts (id,host,IP,Status,Enabled,Alarm,Kol_vo_p,Alarm_en,Loop_sound,N_group,Ping_check,"
        "Comunity,SNMP_check,Note_,Port_check,SPing_alarm,SPing_check,Sping_kol_vo,SNMP_kol_vo_p,"
        "Latency_kol_vo_p,P_lost_kol_vo_p,ICMP_kol_vo_p,ICMP_Status,SNMP_Status,Latency_Status,"
        "P_lost_Status,Http_check,Http_Kol_vo,Http_Status,Sound_alarm_enabled,Email_alarm_enabled,"
        "ICQ_alarm_enabled,Email_contacts_list,ICQ_contacts_list) values "
        "(?,?,?,?,?,'alarm.wav',0,?,0,1,?,?,?,?,?,"
        "?,?,?,0,0,0,0,'','','','',?,0,'','-1','-1','-1','ops@example.org','123456,654321')",
        {id, Spec.Host, Spec.IP, Spec.Status, flag(Spec.Enabled), flag(Spec.AlarmEn), flag(Spec.Ping),
         Spec.Comunity, flag(Spec.Snmp), Spec.Note, flag(Spec.PortCheck), flag(Spec.SPingAlarm),
         flag(Spec.SPingCheck), Spec.SpingKolVo, flag(Spec.Http)});
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
    int target = Controller->PassCount() + Passes;
    if (!Controller->BitBtn7Click()) {
        return false;
    }
    bool done = WaitFor([&] { return Controller->PassCount() >= target; }, LimitMs);
    Controller->BitBtn7Click();
    bool ended = WaitFor([&] { return !Controller->ThreadsRunning(); }, LimitMs);
    // Let the posted end-of-thread notices arrive.
    QCoreApplication::processEvents();
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
