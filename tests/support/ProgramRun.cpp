// Copying, starting and reaping the real program for the end-to-end tests and benchmarks.
#include "tests/support/ProgramRun.h"

#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zt::test {

fs::path BuiltProgram() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "zorvanite-tarnequill";
}

fs::path CopyProgram(const fs::path& Folder) {
    const fs::path program = Folder / "zorvanite-tarnequill";
    fs::copy_file(BuiltProgram(), program);
    return program;
}

fs::path CopyShippedData(const fs::path& Folder) {
    const fs::path data = Folder / "Data";
    fs::create_directories(data);
    // From the source tree: the build's copy keeps what a run changed and misses later changes.
    for (const fs::directory_entry& entry : fs::directory_iterator(SourcePath("Data")))
        if (entry.is_directory())
            fs::copy(entry.path(), data / entry.path().filename(), fs::copy_options::recursive);
    return data;
}

pid_t Launch(const fs::path& Program, const fs::path& Log, const std::vector<std::string>& Prefix) {
    std::vector<std::string> args = Prefix;
    args.push_back(Program.string());
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The program picks its language from these; the tests expect English.
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "C.UTF-8", 1);
    // A silent audio device, so a machine without sound adds no line of its own to the log.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const int out = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    chdir("/");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

bool CatchesSigterm(pid_t Pid) {
    std::ifstream status("/proc/" + std::to_string(Pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

int Reap(pid_t Pid, bool* Ended, std::chrono::milliseconds Limit) {
    int status = 0;
    *Ended = WaitUntil([&] { return waitpid(Pid, &status, WNOHANG) == Pid; }, Limit);
    if (!*Ended) {
        kill(Pid, SIGKILL);
        waitpid(Pid, &status, 0);
    }
    return status;
}

void WriteHostDatabase(const fs::path& DataFolder, const std::string& IP, bool Http) {
    fs::create_directories(DataFolder);
    TSQLiteDatabase db(QString::fromStdString((DataFolder / "dbm.db").string()));
    CreateMissingTables(db);
    db.ExecuteStatement(
        QStringLiteral("insert into list_group (Name,N_group,parent_id) values ('All',1,'')"));
    db.ExecuteStatement(
        QStringLiteral("insert into hosts (id,host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,Kol_vo_p,"
                       "ICMP_kol_vo_p,ICMP_Status,Http_check,Http_Kol_vo,Http_Status,SNMP_check) values "
                       "(5,'monitored',?,'Unknown','-1','-1','0',1,'0','0','',?,0,'','0')"),
        {QString::fromStdString(IP), Http ? QStringLiteral("-1") : QStringLiteral("0")});
}

std::vector<std::string> QueryRows(const fs::path& Database, const std::string& SQL) {
    TSQLiteDatabase db(QString::fromStdString(Database.string()));
    std::vector<std::string> rows;
    auto table = db.OpenResultTable(QString::fromStdString(SQL));
    for (; !table->AtEnd(); table->NextRow()) {
        std::string row;
        for (int c = 0; c < table->ColumnCount(); ++c) {
            row += (c > 0 ? "|" : "") + table->FieldTextOrEmpty(c).toStdString();
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace zt::test
