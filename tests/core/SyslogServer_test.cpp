// Syslog server on loopback: the rows it stores (time, message, sender), the option switch, both
// address families, a second listener on the port, restart and stop, a full queue, kernel drops,
// failing inserts and the program-log lines that report them.
#include "tests/core/syslog_fixture.h"

#include "core/ProgramLog.h"
#include "core/TextConversions.h"
#include "net/netsock.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

using namespace std::string_literals;

TEST(SyslogServer, StoresOneRowPerDatagramWithTimeMessageAndSender) {
    SyslogFixture f;
    f.StartOnLoopback();
    const qint64 before = CurrentLocalUnixTime();
    const std::string quoted = "<13>Dec  9 01:12:00 vm zt: He said \"hi\"";
    const std::string noHost = "<13>Dec  9 01:12:00 zt: Ошибка диска\r\n";
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), quoted));
    ASSERT_TRUE(f.WaitSettled(1));
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), noHost));
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "<13>Dec  9 01:12:00 vm caf\xe9"));
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), ""));
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "no header at all\0"s));
    ASSERT_TRUE(f.WaitSettled(5));
    const qint64 after = CurrentLocalUnixTime();

    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].Status, QString::fromStdString(quoted));
    EXPECT_EQ(rows[0].IP, "vm");
    EXPECT_EQ(rows[1].Status, QString::fromUtf8("<13>Dec  9 01:12:00 zt: Ошибка диска"));
    EXPECT_EQ(rows[1].IP, "127.0.0.1");
    EXPECT_EQ(rows[2].Status, QString::fromUtf8("<13>Dec  9 01:12:00 vm café"));
    EXPECT_EQ(rows[2].IP, "vm");
    EXPECT_EQ(rows[3].Status, "");
    EXPECT_EQ(rows[3].IP, "127.0.0.1");
    EXPECT_EQ(rows[4].Status, "no header at all");
    for (const SyslogRow& row : rows) {
        bool ok = false;
        const qint64 stamp = row.DateTime.toLongLong(&ok);
        EXPECT_TRUE(ok) << row.DateTime.toStdString();
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, after);
        EXPECT_EQ(row.DateTime, Int64ToText(stamp));
    }
    const TSyslogCounters c = f.Server->Counters();
    EXPECT_EQ(c.Received, 5u);
    EXPECT_EQ(c.Stored, 5u);
    EXPECT_EQ(c.QueueDrops + c.KernelDrops + c.StoreFailures + c.Ignored, 0u);
    EXPECT_TRUE(ProgramLogLines(f.Db).empty());
}

TEST(SyslogServer, LargestDatagramsOfBothFamiliesAreStoredWhole) {
    SyslogFixture f;
    f.StartOnLoopback("");
    std::string v4 = "<13>Dec  9 01:12:00 big4 x: ";
    v4.resize(65507, 'a');
    std::string v6 = "<13>1 - big6 x - - - ";
    v6.resize(65527, 'b');
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), v4));
    ASSERT_TRUE(f.WaitSettled(1));
    ASSERT_TRUE(SendDatagram("::1", f.Port(), v6));
    ASSERT_TRUE(SendDatagram("::1", f.Port(), "from six"));
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "from four"));
    ASSERT_TRUE(f.WaitSettled(4));
    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Status.toStdString(), v4);
    EXPECT_EQ(rows[0].IP, "big4");
    EXPECT_EQ(rows[1].Status.toStdString(), v6);
    EXPECT_EQ(rows[1].IP, "big6");
    EXPECT_EQ(rows[2].IP, "::1");
    // An IPv4 sender on the dual-stack socket shows its plain address.
    EXPECT_EQ(rows[3].IP, "127.0.0.1");
}

TEST(SyslogServer, OptionOffReadsButStoresNothingIncludingTheTestMessage) {
    SyslogFixture f;
    f.StartOnLoopback();
    f.Server->SetEnabled(false);
    EXPECT_EQ(SendSyslogTestMessage("127.0.0.1", f.Port()), 0);
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "<13>Dec  9 01:12:00 vm x"));
    ASSERT_TRUE(WaitUntil([&] { return f.Server->Counters().Ignored == 2; }));
    EXPECT_TRUE(SyslogRows(f.Db).empty());

    f.Server->SetEnabled(true);
    EXPECT_EQ(SendSyslogTestMessage("127.0.0.1", f.Port()), 0);
    ASSERT_TRUE(f.WaitSettled(3));
    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 1u);
    const std::string host = LocalHostName().substr(0, LocalHostName().find('.'));
    const QRegularExpression shape(
        QStringLiteral("^<15>(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] "
                       "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] %1 hello world$")
            .arg(QRegularExpression::escape(QString::fromStdString(host))));
    EXPECT_TRUE(shape.match(rows[0].Status).hasMatch()) << rows[0].Status.toStdString();
    EXPECT_EQ(rows[0].IP.toStdString(), host);
}

TEST(SyslogServer, TestDatagramCarriesPriorityFifteenAndTheLocalTime) {
    const double at = QDateTimeToDateTime(QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9)));
    EXPECT_EQ(SyslogTestDatagram(at, "gw.example.org"), "<15>Mar  5 07:08:09 gw hello world");
    EXPECT_EQ(
        SyslogTestDatagram(QDateTimeToDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))), "vm"),
        "<15>Dec 31 23:59:59 vm hello world");
}

TEST(SyslogServer, SecondListenerOnThePortIsRefusedWithOneLogLine) {
    SyslogFixture first;
    first.StartOnLoopback();
    const int port = first.Port();

    SyslogFixture second;
    second.Server->SetEnabled(true);
    const TSyslogStartResult taken = second.Server->Start("127.0.0.1", port);
    EXPECT_FALSE(taken.Ok);
    EXPECT_EQ(taken.Error, 10048);
    const QString reason =
        QStringLiteral("Syslog server cannot listen on UDP 127.0.0.1:%1: Address already in use (10048)")
            .arg(port);
    EXPECT_EQ(taken.Reason, reason);
    EXPECT_FALSE(second.Server->Active());
    // Every address: the IPv4 listener on loopback blocks the dual-stack socket too.
    const TSyslogStartResult all = second.Server->Start("", port);
    EXPECT_FALSE(all.Ok);
    EXPECT_EQ(
        all.Reason,
        QStringLiteral("Syslog server cannot listen on UDP %1: Address already in use (10048)").arg(port));
    const auto lines = ProgramLogLines(second.Db);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], reason);

    // The first server is not disturbed.
    ASSERT_TRUE(SendDatagram("127.0.0.1", port, "still here"));
    ASSERT_TRUE(first.WaitSettled(1));
    EXPECT_EQ(SyslogRows(first.Db).size(), 1u);
    EXPECT_TRUE(SyslogRows(second.Db).empty());
}

TEST(SyslogServer, StartIsIdempotentAndStopFreesThePort) {
    SyslogFixture f;
    f.StartOnLoopback();
    const int port = f.Port();
    EXPECT_TRUE(f.Server->Start("127.0.0.1", 0).Ok);
    EXPECT_EQ(f.Server->BoundPort(), port);
    EXPECT_TRUE(f.Server->Active());

    // Another port restarts the listener there.
    SyslogFixture probe;
    probe.StartOnLoopback();
    const int other = probe.Port();
    probe.Server->Stop();
    EXPECT_FALSE(probe.Server->Active());
    EXPECT_EQ(probe.Server->BoundPort(), 0);
    ASSERT_TRUE(f.Server->Start("127.0.0.1", other).Ok);
    EXPECT_EQ(f.Server->BoundPort(), other);
    ASSERT_TRUE(SendDatagram("127.0.0.1", other, "moved"));
    ASSERT_TRUE(f.WaitSettled(1));

    f.Server->Stop();
    f.Server->Stop();
    EXPECT_FALSE(f.Server->Active());
    // The port is free again for anyone.
    TSyslogServer again(f.Db);
    EXPECT_TRUE(again.Start("127.0.0.1", other).Ok);
    again.Stop();
    TSyslogServer never(f.Db);
    never.Stop();
    EXPECT_EQ(SyslogRows(f.Db).size(), 1u);
}

TEST(SyslogServer, FullQueueLosesAndReportsAtMostOneLineAMinute) {
    TSyslogServerLimits limits;
    limits.QueueMessages = 10;
    SyslogFixture f(limits);
    f.StartOnLoopback();

    auto stall = [&](int Count) {
        DatabaseStall stalled(f.Db);
        const std::uint64_t received = f.Server->Counters().Received;
        for (int i = 0; i < Count; ++i) {
            ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "m" + std::to_string(i)));
            // Paced so the socket itself never overflows: only the queue may.
            ASSERT_TRUE(WaitUntil([&] { return f.Server->Counters().Received == received + i + 1; }));
        }
    };
    stall(50);
    ASSERT_TRUE(f.WaitSettled(50));
    TSyslogCounters c = f.Server->Counters();
    EXPECT_EQ(c.KernelDrops, 0u);
    EXPECT_EQ(c.Stored + c.QueueDrops, 50u);
    // The queue's ten and the few the stalled thread took before it stalled are stored.
    EXPECT_GE(c.QueueDrops, 30u);
    EXPECT_EQ(SyslogRows(f.Db).size(), c.Stored);
    ASSERT_TRUE(WaitUntil([&] { return ProgramLogLines(f.Db).size() == 1; }));
    const std::uint64_t firstLoss = c.QueueDrops;
    EXPECT_EQ(ProgramLogLines(f.Db)[0],
              QStringLiteral("Syslog server: %1 messages lost (queue full: %1, receive buffer full: 0)")
                  .arg(firstLoss));

    // More losses within the minute wait for the next report; stopping writes it.
    stall(30);
    ASSERT_TRUE(f.WaitSettled(80));
    c = f.Server->Counters();
    EXPECT_EQ(c.Stored + c.QueueDrops, 80u);
    EXPECT_GE(c.QueueDrops, firstLoss + 10u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ProgramLogLines(f.Db).size(), 1u);
    f.Server->Stop();
    const auto lines = ProgramLogLines(f.Db);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              QStringLiteral("Syslog server: %1 messages lost (queue full: %1, receive buffer full: 0)")
                  .arg(c.QueueDrops - firstLoss));
}

TEST(SyslogServer, KernelDropsAreCountedFromTheSocket) {
    TSyslogServerLimits limits;
    limits.ReceiveBufferBytes = 1; // the system's smallest buffer: a datagram or two
    SyslogFixture f(limits);
    f.Db.StartTransaction(); // as the program runs: inserts inside the long transaction
    f.StartOnLoopback();
    const std::string payload(1400, 'k');
    const int sent = 20000;
    {
        // One socket sending as fast as it can outruns the reader.
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(f.Port()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < sent; ++i)
            ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(fd);
    }
    ASSERT_TRUE(WaitUntil([&] { return f.Server->QueuedMessages() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // A last datagram, queued after every drop, carries the socket's final drop count.
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "last"));
    ASSERT_TRUE(f.WaitSettled(sent + 1));
    const TSyslogCounters c = f.Server->Counters();
    EXPECT_GT(c.KernelDrops, 0u);
    EXPECT_EQ(c.Stored + c.QueueDrops + c.KernelDrops, std::uint64_t(sent) + 1);
    RecordProperty("KernelDrops", std::to_string(c.KernelDrops));
    EXPECT_EQ(c.Received, c.Stored + c.QueueDrops);
    EXPECT_EQ(SyslogRows(f.Db).back().Status, "last");
    f.Server->Stop();
    const auto lines = ProgramLogLines(f.Db);
    ASSERT_FALSE(lines.empty());
    std::uint64_t reported = 0;
    const QRegularExpression loss(
        QStringLiteral("^Syslog server: (\\d+) messages lost \\(queue full: (\\d+), "
                       "receive buffer full: (\\d+)\\)$"));
    for (const QString& line : lines) {
        const auto m = loss.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        reported += m.captured(3).toULongLong();
    }
    EXPECT_EQ(reported, c.KernelDrops);
}

TEST(SyslogServer, StopEndsPromptlyAndCountsWhatItCouldNotStore) {
    TSyslogServerLimits limits;
    limits.StopDrainMs = 0;
    SyslogFixture f(limits);
    f.StartOnLoopback();
    DatabaseStall stalled(f.Db);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "q" + std::to_string(i)));
    ASSERT_TRUE(WaitUntil([&] { return f.Server->Counters().Received == 20; }));
    std::thread stopper([&] { f.Server->Stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stalled.Release();
    stopper.join();
    const TSyslogCounters c = f.Server->Counters();
    EXPECT_EQ(c.Stored + c.StopDrops, 20u);
    EXPECT_GT(c.StopDrops, 0u);
    EXPECT_EQ(c.QueueDrops, 0u); // the queue never filled
    EXPECT_EQ(f.Server->QueuedMessages(), 0u);
    const auto lines = ProgramLogLines(f.Db);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              QStringLiteral("Syslog server: %1 messages lost (queue full: 0, receive buffer full: 0, "
                             "cut off at stop: %1)")
                  .arg(c.StopDrops));
}

TEST(SyslogServer, FailingInsertsAreCountedAndReported) {
    SyslogFixture f;
    f.Db.ExecuteStatement(QStringLiteral("drop table syslog"));
    f.StartOnLoopback();
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "lost"));
    ASSERT_TRUE(f.WaitSettled(1));
    EXPECT_EQ(f.Server->Counters().StoreFailures, 1u);
    ASSERT_TRUE(WaitUntil([&] { return ProgramLogLines(f.Db).size() == 1; }));
    const QString line = ProgramLogLines(f.Db)[0];
    EXPECT_TRUE(line.startsWith(QStringLiteral("Syslog server: 1 messages not stored (Error executing SQL")))
        << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("no such table: syslog)"))) << line.toStdString();
    EXPECT_EQ(SyslogLossText(2, 3, 4, "disk I/O error"),
              "Syslog server: 5 messages lost (queue full: 2, receive buffer full: 3), 4 messages not stored "
              "(disk I/O error)");
}

TEST(SyslogServer, LargeMessagesInTheLongTransactionAreCommittedPastTheCacheCap) {
    TSyslogServerLimits limits;
    limits.TransactionCacheBytes = 1 << 20;
    SyslogFixture f(limits);
    f.Db.StartTransaction();
    f.StartOnLoopback();
    const std::string big(30000, 'b');
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), big));
    ASSERT_TRUE(f.WaitSettled(100));
    EXPECT_EQ(f.Server->Counters().Stored, 100u);
    // A reader of the file sees rows although the long transaction was never committed by its owner,
    // and the transaction is open again for the other writers.
    const auto committedRows = [&]() -> qint64 {
        try {
            TSQLiteDatabase reader(QString::fromStdString(f.Dir.file("dbm.db")));
            return reader.OpenResultTable(QStringLiteral("select count(*) from syslog"))->FieldInt64(0);
        } catch (const ESQLiteException&) {
            return -1; // the commit holds the file this moment
        }
    };
    EXPECT_TRUE(WaitUntil([&] { return committedRows() > 0; }));
    EXPECT_TRUE(f.Db.InTransaction());
    EXPECT_LT(f.Db.PageCacheBytes(), 4 << 20);
}
