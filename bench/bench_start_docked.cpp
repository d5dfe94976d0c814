// Figures of the program's start: the time from exec to its icon docked in a real notification
// area (Xvfb and trayer) with 1,000 hosts in the database, against the same start on an empty one.
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XDisplay.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
namespace ztt = ::zt::test;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int kHosts = 1000;
constexpr int kGroups = 10;
constexpr int kRuns = 7;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A Data folder of its own: the shipped files, a settings file that is no first start (which
// would show the window), and Hosts hosts in ten groups, enabled, with no check switched on.
fs::path MakeFolder(const fs::path& Folder, int Hosts) {
    fs::create_directories(Folder);
    const fs::path program = ztt::CopyProgram(Folder);
    const fs::path data = ztt::CopyShippedData(Folder);
    std::string settings;
    for (int line = 0; line < 49; ++line)
        settings += (line == 47 ? std::string("English") : std::string("2")) + "\r\n";
    ztt::WriteFile((data / "Settings.cnfg").string(), settings);
    TSQLiteDatabase db(QString::fromStdString((data / "dbm.db").string()));
    CreateMissingTables(db);
    db.StartTransaction();
    for (int g = 1; g <= kGroups; ++g)
        db.ExecuteStatement(QStringLiteral("insert into list_group (Name,N_group,parent_id) values (?,?,'')"),
                            {QStringLiteral("Group %1").arg(g), QString::number(g)});
    for (int h = 1; h <= Hosts; ++h)
        db.ExecuteStatement(
            QStringLiteral(
                "insert into hosts (id,host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,Kol_vo_p,"
                "ICMP_kol_vo_p,ICMP_Status,Http_check,Http_Kol_vo,Http_Status,SNMP_check) values "
                "(?,?,?,'Unknown','-1','0','0',?,'0','0','','0',0,'','0')"),
            {QString::number(h), QStringLiteral("host-%1").arg(h),
             QStringLiteral("127.0.%1.%2").arg(h / 250).arg(h % 250 + 1), QString::number(h % kGroups + 1)});
    db.CommitTransaction();
    return program;
}

// The docking happened between the start of the last look that did not find the icon and the end
// of the first one that did.
struct TRun {
    double NotYetMs = -1; // exec to the start of the last look without the icon
    double DockedMs = -1; // exec to the end of the first look that found it
};

TRun StartUntilDocked(const ztt::XDisplay& Screen, const fs::path& Program, const fs::path& Log) {
    TRun run;
    const Clock::time_point start = Clock::now();
    const pid_t pid = ztt::Launch(Program, Log, Screen.LaunchPrefix());
    Clock::time_point look = start;
    const bool docked = ztt::WaitUntil(
        [&] {
            const Clock::time_point begin = Clock::now();
            if (Screen.TrayIcon(pid).has_value())
                return true;
            look = begin;
            return false;
        },
        30s);
    if (docked) {
        run.DockedMs = Ms(start, Clock::now());
        run.NotYetMs = Ms(start, look);
    }
    kill(pid, SIGTERM);
    bool ended = false;
    ztt::Reap(pid, &ended, 30s);
    return run;
}

void Print(const char* What, std::vector<double> Figures) {
    std::sort(Figures.begin(), Figures.end());
    if (Figures.empty() || Figures.front() < 0) {
        std::printf("%-34s the icon did not dock within 30 s\n", What);
        return;
    }
    std::printf("%-34s median %7.1f ms   min %7.1f ms   max %7.1f ms\n", What, Figures[Figures.size() / 2],
                Figures.front(), Figures.back());
}

} // namespace

int main() {
    if (const std::string missing = ztt::XDisplay::MissingPrograms(); !missing.empty()) {
        std::printf("skipped: %s missing (scripts/install-deps.sh)\n", missing.c_str());
        return 0;
    }
    if (!fs::exists(ztt::BuiltProgram())) {
        std::printf("skipped: %s is not built\n", ztt::BuiltProgram().c_str());
        return 0;
    }
    ztt::TempDir dir;
    ztt::XDisplay screen(dir.file("x"), "1280x1024x24");
    if (!screen.Ready() || !screen.StartTray()) {
        std::fprintf(stderr, "the X server or the notification area did not come up\n%s",
                     screen.ServerLog().c_str());
        return 1;
    }
    const fs::path full = MakeFolder(fs::path(dir.path()) / "hosts", kHosts);
    const fs::path empty = MakeFolder(fs::path(dir.path()) / "empty", 0);
    const fs::path log = fs::path(dir.path()) / "run.log";
    // One start of each first, so the program and its libraries are in the page cache for all.
    StartUntilDocked(screen, full, log);
    StartUntilDocked(screen, empty, log);
    std::vector<double> withHosts, withNone, hostsNotYet, noneNotYet;
    for (int i = 0; i < kRuns; ++i) {
        const TRun a = StartUntilDocked(screen, full, log);
        const TRun b = StartUntilDocked(screen, empty, log);
        withHosts.push_back(a.DockedMs);
        hostsNotYet.push_back(a.NotYetMs);
        withNone.push_back(b.DockedMs);
        noneNotYet.push_back(b.NotYetMs);
    }
    std::printf(
        "start to the icon docked: %s on Xvfb 1280x1024x24 with trayer at the bottom edge, xcb platform,\n"
        "no session bus; a Data folder with the shipped files and a 49-line settings file (no first start,\n"
        "English); %d runs of each, alternating, after one unmeasured start of each; the icon is looked for\n"
        "with xdotool every 20 ms, so each start docked between \"not yet\" and \"docked\"\n",
        ztt::BuiltProgram().c_str(), kRuns);
    Print("1,000 hosts in 10 groups: docked", withHosts);
    Print("                          not yet", hostsNotYet);
    Print("anchor, empty database:   docked", withNone);
    Print("                          not yet", noneNotYet);
    return 0;
}
