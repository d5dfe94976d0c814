// The tools window's interface walk over 500 interfaces of the SNMP simulator (tests/peers/snmpsim.sh)
// set against the sum of its requests' own round trips, and the worst lateness of a 10 ms GUI timer
// while the walk runs. Prints both figures (targets: walk within 1.2 x the sum, lateness under 50 ms).
#include "core/InterfaceWalk.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ToolWorkers.h"
#include "grid/GxGrid.h"
#include "net/SnmpQuery.h"
#include "ui/dialogs/Unit_tracert.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kInterfaces = 500;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

int FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// The simulator in its own process group, stopped with it on destruction.
class TSimulator {
public:
    TSimulator(const std::string& Dir, int Port) {
        const std::string script =
            (std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/peers/snmpsim.sh").string();
        const std::string port = std::to_string(Port);
        const std::string table = "many:" + std::to_string(kInterfaces);
        FPid = fork();
        if (FPid == 0) {
            setpgid(0, 0);
            execl("/bin/bash", "bash", script.c_str(), Dir.c_str(), port.c_str(), table.c_str(), nullptr);
            _exit(127);
        }
    }
    ~TSimulator() {
        if (FPid > 0) {
            kill(-FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

private:
    pid_t FPid = -1;
};

// The anchor: the walk's own requests one after another on one thread, each timed.
struct TAnchor {
    double SumMs = 0;
    int Requests = 0;
    int Rows = 0;
};

TAnchor SumOfRoundTrips(const TSnmpAgent& Agent) {
    TAnchor anchor;
    auto timedGet = [&](const char* Column, qint64 Index) {
        std::string value;
        const auto start = Clock::now();
        SnmpQuery(Agent.Host, Agent.Community, Column + std::to_string(Index), 160, value, Agent.Port);
        anchor.SumMs += MsSince(start);
        ++anchor.Requests;
    };
    std::vector<qint64> indexes;
    qint64 last = 0;
    for (;;) {
        std::string oid, value;
        qint64 index = 0;
        const auto start = Clock::now();
        const bool answered = SnmpGetNext(Agent, IfIndexOid + std::to_string(last), oid, value, nullptr);
        anchor.SumMs += MsSince(start);
        ++anchor.Requests;
        if (!answered || !NextInterfaceIndex(oid, value, last, index))
            break;
        indexes.push_back(index);
        last = index;
    }
    for (qint64 index : indexes)
        for (const char* column : {IfNameOid, IfDescrOid, IfAliasOid, IfInOctetsOid, IfOutOctetsOid,
                                   IfOperStatusOid, IfSpeedOid, IfAdminStatusOid})
            timedGet(column, index);
    anchor.Rows = static_cast<int>(indexes.size());
    return anchor;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();

    char folder[] = "/tmp/zt_bench_walk_XXXXXX";
    if (!mkdtemp(folder)) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const int port = FreeUdpPort();
    TSnmpAgent agent{"127.0.0.1", "vorpal", std::to_string(port), 5000};
    int rc = 0;
    {
        TSimulator simulator(folder, port);
        bool ready = false;
        for (int i = 0; i < 300 && !ready; ++i) {
            std::string value;
            SnmpQuery(agent.Host, agent.Community, "1.3.6.1.2.1.2.2.1.1.1", 160, value, agent.Port, 200);
            ready = value == "1";
            if (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!ready) {
            std::fprintf(stderr, "snmpsimd did not come up\n");
            rc = 1;
        } else {
            const TAnchor anchor = SumOfRoundTrips(agent);

            // The same walk on a grid that no view shows: the cost of the synchronous steps alone.
            TDataGrid bare;
            CreateInterfaceGridColumns(bare, false);
            double bareMs = 0;
            {
                TToolWorkers workers;
                const auto start = Clock::now();
                workers.Start(
                    [&](TToolJob& Job) { TGet_interfacesThread(agent, bare, [](int, int) {}).Execute(Job); });
                workers.WaitIdle(600000);
                bareMs = MsSince(start);
            }

            TMonitorServices services(MonitorDatabase, QString());
            TPing_tracert_form form(services);
            form.SnmpPort = QString::fromStdString(agent.Port);
            form.resize(780, 560);
            form.OpenInterfaceSelection("1", "bench", "127.0.0.1", "vorpal");
            form.show();
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents(QEventLoop::AllEvents, 5); // the first paint of the window
            QTimer tick;
            tick.setInterval(10);
            tick.setTimerType(Qt::PreciseTimer);
            auto lastTick = Clock::now();
            double worstLateMs = 0;
            int ticks = 0;
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const double gap = MsSince(lastTick);
                worstLateMs = std::max(worstLateMs, gap - 10.0);
                lastTick = Clock::now();
                ++ticks;
            });
            tick.start();
            lastTick = Clock::now();
            const auto start = Clock::now();
            // A real event loop that sleeps between events, as the program's does.
            QEventLoop loop;
            QTimer done;
            done.setInterval(5);
            QObject::connect(&done, &QTimer::timeout, [&] {
                if (form.BitBtn3->isEnabled())
                    loop.quit();
            });
            form.BitBtn3->click();
            done.start();
            loop.exec();
            const double walkMs = MsSince(start);
            tick.stop();

            std::printf(
                "interface walk, %d interfaces of snmpsim on loopback (SNMPv1, %d requests: GETNEXT per "
                "interface + 8 GETs per row)\n",
                anchor.Rows, anchor.Requests);
            std::printf("  tools window walk (worker thread, grid steps batched per 50 ms, view shown "
                        "offscreen): %.1f ms, %d rows\n",
                        walkMs, form.DataGrid2->RowCount());
            std::printf(
                "  the same walk into a grid no view shows (main thread serving the steps): %.1f ms\n",
                bareMs);
            std::printf(
                "  anchor, the same requests back to back on one thread: sum of round trips %.1f ms\n",
                anchor.SumMs);
            std::printf("  ratio walk / sum: %.3f (target at most 1.2)\n", walkMs / anchor.SumMs);
            std::printf(
                "  10 ms GUI timer during the walk: %d ticks, worst lateness %.1f ms (target under 50 ms)\n",
                ticks, worstLateMs);
        }
    }
    std::filesystem::remove_all(folder);
    return rc;
}
