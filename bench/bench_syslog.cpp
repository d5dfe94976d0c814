// Syslog and log page figures: a paced flood at 20,000 messages/s, one at 200,000 messages/s for
// 5 s and a flood of 64 KB datagrams (both with the process's RSS sampled), logger's full-speed
// flood of 100,000 lines, loading 50,000 events into the event grid, a day of 200,000 syslog rows
// on the syslog page, and "Clear current log" over 1,000,000 syslog rows.
// Usage: bench_syslog [--seconds N] (the 20,000/s flood's length; 30 for the full run).
#include "core/DatabaseSchema.h"
#include "core/LogGrids.h"
#include "core/LogPages.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/SyslogServer.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

void WaitSettled(TSyslogServer& Server, std::uint64_t Count, double LimitSeconds) {
    const auto start = Clock::now();
    while (SecondsSince(start) < LimitSeconds) {
        const TSyslogCounters c = Server.Counters();
        if (c.Stored + c.QueueDrops + c.StopDrops + c.KernelDrops + c.StoreFailures >= Count &&
            Server.QueuedMessages() == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void PrintCounters(const char* Label, const TSyslogCounters& C) {
    std::printf(
        "  %s: received %llu, stored %llu, queue drops %llu, kernel drops %llu, store failures %llu\n", Label,
        static_cast<unsigned long long>(C.Received), static_cast<unsigned long long>(C.Stored),
        static_cast<unsigned long long>(C.QueueDrops), static_cast<unsigned long long>(C.KernelDrops),
        static_cast<unsigned long long>(C.StoreFailures));
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmRSS:" && status >> value)
            return value;
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

// Samples the process's RSS every 20 ms while it lives; Peak() is the highest seen.
class RssSampler {
public:
    RssSampler()
        : FStart(ResidentKiB()), FThread([this] {
              while (!FStop.load()) {
                  const long now = ResidentKiB();
                  if (now > FPeak.load())
                      FPeak.store(now);
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~RssSampler() { Stop(); }
    void Stop() {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
    }
    double StartMB() const { return FStart / 1024.0; }
    double PeakMB() const { return FPeak.load() / 1024.0; }

private:
    long FStart;
    std::atomic<bool> FStop{false};
    std::atomic<long> FPeak{0};
    std::thread FThread;
};

// Sends Rate numbered datagrams a second for Seconds from one socket, each at its due time; with
// Stride > 1 this sender is one of Stride, sending every Stride-th number from First.
int PacedSendOne(int Port, int Rate, int Seconds, int First, int Stride) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(Port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int total = Rate * Seconds;
    const auto start = Clock::now();
    char text[96];
    int sent = 0;
    int next = First;
    while (next < total) {
        const int due = std::min(total, static_cast<int>(SecondsSince(start) * Rate) + 1);
        for (; next < due; next += Stride) {
            const int n =
                std::snprintf(text, sizeof text, "<14>Dec  9 01:12:00 bench paced: seq=%07d", next + 1);
            ::sendto(fd, text, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            ++sent;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::close(fd);
    return sent;
}

// Senders threads share the paced schedule.
int PacedSend(int Port, int Rate, int Seconds, int Senders) {
    std::vector<std::thread> threads;
    std::vector<int> counts(Senders, 0);
    for (int i = 0; i < Senders; ++i)
        threads.emplace_back([&, i] { counts[i] = PacedSendOne(Port, Rate, Seconds, i, Senders); });
    int sent = 0;
    for (int i = 0; i < Senders; ++i) {
        threads[i].join();
        sent += counts[i];
    }
    return sent;
}

void BenchPacedFlood(const QString& Folder, int Rate, int Seconds, int Senders) {
    TSQLiteDatabase db(Folder + QStringLiteral("/paced%1.db").arg(Rate));
    CreateMissingTables(db);
    db.StartTransaction();
    TSyslogServer server(db);
    server.SetEnabled(true);
    if (!server.Start("127.0.0.1", 0).Ok)
        return;
    RssSampler rss;
    const auto start = Clock::now();
    const int sent = PacedSend(server.BoundPort(), Rate, Seconds, Senders);
    const double sending = SecondsSince(start);
    WaitSettled(server, sent, 60);
    const double settled = SecondsSince(start);
    rss.Stop();
    db.CommitTransaction();
    const TSyslogCounters c = server.Counters();
    server.Stop();
    std::printf(
        "paced flood: %d msg/s for %d s (%d sender thread(s), 45-byte datagrams, 127.0.0.1, inside the long "
        "transaction; default limits: queue %zu messages / %zu MB, transaction cache cap %lld MB)\n",
        Rate, Seconds, Senders, TSyslogServerLimits().QueueMessages, TSyslogServerLimits().QueueBytes >> 20,
        static_cast<long long>(TSyslogServerLimits().TransactionCacheBytes >> 20));
    std::printf("  sent %d in %.2f s (%.0f msg/s), all stored after %.2f s; lost %llu; RSS %.0f MB at start, "
                "peak %.0f MB\n",
                sent, sending, sent / sending, settled, static_cast<unsigned long long>(sent - c.Stored),
                rss.StartMB(), rss.PeakMB());
    PrintCounters("server", c);
}

// Anchor of the paced floods: the same count of rows inserted through the database layer alone,
// one prepared statement per row (what storing did before it batched), in the same run.
void BenchRowInsertAnchor(const QString& Folder, int Rows) {
    TSQLiteDatabase plain(Folder + QStringLiteral("/rows%1.db").arg(Rows));
    CreateMissingTables(plain);
    plain.StartTransaction();
    const auto start = Clock::now();
    for (int i = 1; i <= Rows; ++i)
        plain.ExecuteStatement(QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)"),
                               {QStringLiteral("1765242720"),
                                QStringLiteral("bench paced: seq=%1").arg(i, 7, 10, QLatin1Char('0')),
                                QStringLiteral("127.0.0.1")});
    const double seconds = SecondsSince(start);
    plain.CommitTransaction();
    std::printf("  anchor: %d single-row inserts through the database layer alone (no socket, one statement "
                "per row, one transaction): %.3f s = %.0f rows/s\n",
                Rows, seconds, Rows / seconds);
}

// 45,000 datagrams of 65,507 bytes (the largest over IPv4) from one sender, as fast as the storing
// keeps pace with a short pause every 64 sends; the process's RSS sampled meanwhile.
void BenchLargeFlood(const QString& Folder) {
    TSQLiteDatabase db(Folder + QStringLiteral("/large.db"));
    CreateMissingTables(db);
    db.StartTransaction();
    TSyslogServer server(db);
    server.SetEnabled(true);
    if (!server.Start("127.0.0.1", 0).Ok)
        return;
    RssSampler rss;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(server.BoundPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string payload(65507, 'x');
    payload.replace(0, 20, "<14>Dec  9 01:12:00 ");
    const int total = 45000;
    const auto start = Clock::now();
    for (int i = 0; i < total; ++i) {
        ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (i % 64 == 63)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::sendto(fd, "end", 3, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
    const double sending = SecondsSince(start);
    WaitSettled(server, total + 1, 120);
    const double settled = SecondsSince(start);
    rss.Stop();
    db.CommitTransaction();
    const TSyslogCounters c = server.Counters();
    server.Stop();
    std::printf("64 KB flood: %d datagrams of 65,507 bytes (%.1f GB) from one sender, 2 ms pause every 64, "
                "inside the long transaction; default limits\n",
                total, total * 65507.0 / 1e9);
    std::printf("  sent in %.2f s, settled after %.2f s; RSS %.0f MB at start, peak %.0f MB\n", sending,
                settled, rss.StartMB(), rss.PeakMB());
    PrintCounters("server", c);
}

void BenchLoggerFlood(const QString& Folder, int ReceiveBufferBytes, bool Anchor) {
    TSQLiteDatabase db(Folder + QStringLiteral("/flood%1.db").arg(ReceiveBufferBytes));
    CreateMissingTables(db);
    db.StartTransaction();
    TSyslogServerLimits limits;
    limits.ReceiveBufferBytes = ReceiveBufferBytes;
    TSyslogServer server(db, limits);
    server.SetEnabled(true);
    if (!server.Start("127.0.0.1", 0).Ok)
        return;
    const std::string command = "seq -f 'seq=%06g' 1 100000 | logger -n 127.0.0.1 -P " +
                                std::to_string(server.BoundPort()) + " -d --rfc3164 -t flood";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::printf("logger flood: logger failed (util-linux missing?)\n");
        return;
    }
    const double sending = SecondsSince(start);
    // Drops after the last datagram read show only on a later one.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(server.BoundPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, "end", 3, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
    WaitSettled(server, 100001, 120);
    const double settled = SecondsSince(start);
    db.CommitTransaction();
    const TSyslogCounters c = server.Counters();
    const int granted = server.ReceiveBufferSize();
    server.Stop();
    std::printf(
        "logger full-speed flood: 100,000 RFC 3164 lines from one logger process (127.0.0.1, inside the "
        "long transaction; receive buffer asked %d, granted %d)\n",
        ReceiveBufferBytes, granted);
    std::printf("  logger sent for %.3f s (%.0f msg/s); stored %llu in %.3f s = %.0f msg/s stored; lost %llu "
                "(queue %llu, kernel %llu)\n",
                sending, 100000 / sending, static_cast<unsigned long long>(c.Stored - 1), settled,
                (c.Stored - 1) / settled, static_cast<unsigned long long>(c.QueueDrops + c.KernelDrops),
                static_cast<unsigned long long>(c.QueueDrops),
                static_cast<unsigned long long>(c.KernelDrops));

    if (!Anchor)
        return;
    // Anchor: the same 100,000 inserts straight through the database layer, no socket.
    TSQLiteDatabase plain(Folder + QStringLiteral("/inserts.db"));
    CreateMissingTables(plain);
    plain.StartTransaction();
    const auto inserts = Clock::now();
    for (int i = 1; i <= 100000; ++i)
        plain.ExecuteStatement(
            QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)"),
            {QStringLiteral("1765242720"),
             QStringLiteral("<13>Dec  9 01:12:00 vm flood: seq=%1").arg(i, 6, 10, QLatin1Char('0')),
             QStringLiteral("vm")});
    const double insertSeconds = SecondsSince(inserts);
    plain.CommitTransaction();
    std::printf("  anchor: the same 100,000 inserts through the database layer alone: %.3f s = %.0f rows/s\n",
                insertSeconds, 100000 / insertSeconds);
}

void BenchEventLoad(const QString& Folder) {
    TSQLiteDatabase db(Folder + QStringLiteral("/events.db"));
    CreateMissingTables(db);
    db.StartTransaction();
    for (int h = 1; h <= 100; ++h)
        db.ExecuteStatement(QStringLiteral("insert into hosts (host, IP) values (?, ?)"),
                            {QStringLiteral("Host %1").arg(h), QStringLiteral("10.0.0.%1").arg(h)});
    const qint64 now = CurrentLocalUnixTime();
    const char* codes[] = {"ID", "IU", "SD", "SU", "LP", "LU"};
    for (int i = 0; i < 50000; ++i)
        db.ExecuteStatement(
            QStringLiteral("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)"),
            {QString::number(now - 50000 + i), QStringLiteral("Event %1").arg(i), codes[i % 6], i % 100 + 1});
    db.CommitTransaction();
    const QString sql = QStringLiteral("select * from log order by ID DESC");
    const auto query = Clock::now();
    const auto rows = db.OpenResultTable(sql);
    const double querySeconds = SecondsSince(query);
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    const auto load = Clock::now();
    LoadEventLogGrid(sql, grid, {}, db);
    const double loadSeconds = SecondsSince(load);
    std::printf(
        "LoadEventLogGrid: 50,000 events of 100 hosts, host looked up once per load: %.3f s (%d rows)\n",
        loadSeconds, grid.RowCount());
    std::printf("  anchor: the same select alone: %.3f s (%d rows)\n", querySeconds, rows->RowCount());
}

void FillSyslog(TSQLiteDatabase& Db, qint64 Now, int Rows, int Days) {
    Db.StartTransaction();
    const qint64 span = qint64(Days) * SecondsPerDay;
    const qint64 from = DayBoundsOf(Now).Next - span;
    for (int i = 0; i < Rows; ++i)
        Db.ExecuteStatement(QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)"),
                            {QString::number(from + span * i / Rows),
                             QStringLiteral("<13>Dec  9 01:12:00 gw kernel: message %1").arg(i),
                             QStringLiteral("gw")});
    Db.CommitTransaction();
}

void BenchClearCurrentLog(const QString& Folder) {
    const qint64 now = CurrentLocalUnixTime();
    for (const int days : {10, 1}) {
        TSQLiteDatabase db(Folder + QStringLiteral("/clear%1.db").arg(days));
        CreateMissingTables(db);
        FillSyslog(db, now, 1000000, days);
        const TDayBounds day = DayBoundsOf(now);
        const qint64 today =
            db.OpenResultTable(
                  QStringLiteral("select count(*) from syslog where Date_time >= ? and Date_time < ?"),
                  {QString::number(day.First), QString::number(day.Next)})
                ->FieldInt64(0);
        TDataGrid grid;
        CreateSyslogGridColumns(grid);
        db.StartTransaction();
        const auto start = Clock::now();
        const bool ok = ClearCurrentLog(lkSyslog, grid, now, db);
        const double inside = SecondsSince(start);
        db.CommitTransaction();
        const double total = SecondsSince(start);
        std::printf("Clear current log: 1,000,000 syslog rows over %d day(s), %lld of them today (indexed "
                    "Date_time): "
                    "%.3f s, %.3f s with its commit%s\n",
                    days, static_cast<long long>(today), inside, total, ok ? "" : " (failed)");
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    std::printf("bench_syslog (databases in %s; paced flood %d s%s)\n", qPrintable(folder.path()), seconds,
                seconds == 30 ? "" : ", pass --seconds 30 for the full run");
    BenchPacedFlood(folder.path(), 20000, seconds, 1);
    BenchPacedFlood(folder.path(), 200000, 5, 3);
    BenchRowInsertAnchor(folder.path(), 1000000);
    BenchLargeFlood(folder.path());
    BenchLoggerFlood(folder.path(), TSyslogServerLimits().ReceiveBufferBytes, true);
    // What a program without CAP_NET_ADMIN gets: the system's limit.
    int systemLimit = 0;
    std::ifstream("/proc/sys/net/core/rmem_max") >> systemLimit;
    if (systemLimit > 0)
        BenchLoggerFlood(folder.path(), systemLimit, false);
    BenchEventLoad(folder.path());
    BenchClearCurrentLog(folder.path());
    return 0;
}
