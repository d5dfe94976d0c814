// Group tree figures: the start-up of the real program on a Data folder whose list_group holds 40
// rows in pairs sharing numbers (each level the child of the one before), against the same start on
// 40 rows with numbers of their own (the anchor), as peak memory and time until the start message;
// and the tree builder alone on both tables.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// 40 rows: 20 levels; Paired gives every level two rows with one number.
void FillGroups(TSQLiteDatabase& Db, bool Paired) {
    for (int row = 0; row < 40; ++row) {
        const int level = Paired ? row / 2 + 1 : row + 1;
        const QString parent = level == 1 ? QString() : QString::number(level - 1);
        Db.ExecuteStatement(
            QStringLiteral("insert into list_group (Name, N_group, parent_id) values (?,?,?)"),
            {QStringLiteral("Group %1").arg(row), level, parent});
    }
}

long HighWaterKiB(pid_t Pid) {
    std::ifstream status("/proc/" + std::to_string(Pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool Started(const std::string& Db) {
    try {
        TSQLiteDatabase db(QString::fromStdString(Db));
        return db.OpenResultTable(QStringLiteral("select 1 from program_log where Status=?"),
                                  {QStringLiteral("Zorvanite Tarnequill Pro has been started")})
                   ->RowCount() > 0;
    } catch (const ESQLiteException&) {
        return false;
    }
}

struct TStart {
    double Seconds = -1;
    long PeakKiB = -1;
};

// Runs a copy of the program on a Data folder with the groups until its start message is stored.
TStart RunProgram(const fs::path& Built, bool Paired) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    fs::copy_file(Built, folder / "zorvanite-tarnequill");
    fs::create_directory(folder / "Data");
    const std::string db = (folder / "Data" / "dbm.db").string();
    {
        TSQLiteDatabase setup(QString::fromStdString(db));
        CreateMissingTables(setup);
        FillGroups(setup, Paired);
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        const std::string program = (folder / "zorvanite-tarnequill").string();
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    TStart result;
    while (Clock::now() - start < std::chrono::seconds(60)) {
        if (Started(db)) {
            result.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.PeakKiB = HighWaterKiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

void BuilderAlone(bool Paired, const char* Label) {
    TSQLiteDatabase db(QStringLiteral(":memory:"));
    CreateMissingTables(db);
    FillGroups(db, Paired);
    const int runs = 200;
    size_t nodes = 0;
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i)
        nodes = BuildGroupTree(db).size();
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / runs;
    std::printf("builder, %-34s %zu nodes, %.1f us per tree\n", Label, nodes, us);
}

} // namespace

int main() {
    const fs::path built =
        fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "zorvanite-tarnequill";
    std::printf(
        "both sides: the same build, a fresh Data folder with the nine tables and 40 list_group rows, "
        "no hosts, offscreen, until the start message is stored\n");
    BuilderAlone(true, "40 rows in pairs sharing numbers:");
    BuilderAlone(false, "40 rows with their own numbers:");
    if (!fs::exists(built)) {
        std::printf("program not built at %s: start-up not measured\n", built.c_str());
        return 0;
    }
    for (int round = 0; round < 2; ++round) {
        const TStart paired = RunProgram(built, true);
        const TStart own = RunProgram(built, false);
        std::printf("start-up, 40 rows in pairs sharing numbers: %.3f s, peak %.1f MB\n", paired.Seconds,
                    paired.PeakKiB / 1024.0);
        std::printf("start-up, 40 rows with own numbers (anchor): %.3f s, peak %.1f MB\n", own.Seconds,
                    own.PeakKiB / 1024.0);
    }
    return 0;
}
