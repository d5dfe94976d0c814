// Syslog server against real senders on loopback: util-linux logger (RFC 3164, RFC 5424, a 100,000
// line flood), python3 sockets (malformed and largest datagrams, a paced flood, a program holding the
// port), sqlite3 counting the rows, and setpriv for a listener without the right to port 514.
#include "tests/core/syslog_fixture.h"

#include "core/DatabaseSchema.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <chrono>
#include <climits>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using zt::test::HaveProgram;
using zt::test::PeerScript;
using zt::test::RunCommand;

namespace {

std::string Quote(const std::string& Text) {
    std::string quoted = "'";
    for (const char c : Text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What logger wrote (its -s copy), without the line end.
std::string Logger(int Port, const std::string& Arguments) {
    int rc = 0;
    std::string written = RunCommand(
        PeerScript("logger.sh") + " " + std::to_string(Port) + " " + Arguments + " 2>&1 >/dev/null", &rc);
    EXPECT_EQ(rc, 0) << written;
    while (!written.empty() && written.back() == '\n')
        written.pop_back();
    return written;
}

std::string Sender(const std::string& Arguments) {
    int rc = 0;
    const std::string out = RunCommand("python3 " + PeerScript("syslog-sender.py") + " " + Arguments, &rc);
    EXPECT_EQ(rc, 0) << out;
    return out;
}

std::string Hex(const std::string& Bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : Bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// Waits until nothing more arrives for a moment and the queue is empty.
void WaitQuiet(TSyslogServer& Server) {
    std::uint64_t last = ~0ull;
    for (int i = 0; i < 600; ++i) {
        const std::uint64_t now = Server.Counters().Received;
        if (now == last && Server.QueuedMessages() == 0)
            return;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

class SyslogPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"logger", "python3", "sqlite3"})
            if (!HaveProgram(program))
                GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh installs it)";
    }
};

} // namespace

TEST_F(SyslogPeerTest, LoggerMessagesAreStoredAsWrittenWithTheirHostName) {
    SyslogFixture f;
    f.StartOnLoopback();
    const std::string rfc3164 = Logger(f.Port(), "--rfc3164 -t zt " + Quote("He said \"hi\""));
    ASSERT_TRUE(f.WaitSettled(1));
    const std::string cyrillic = "Привет, мир: «ёжик» \"в тумане\"";
    const std::string rfc5424 =
        Logger(f.Port(), "--rfc5424 -t zt -p local3.err --msgid M1 " + Quote(cyrillic));
    ASSERT_TRUE(f.WaitSettled(2));

    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].Status.endsWith(QStringLiteral("zt: He said \"hi\"")))
        << rows[0].Status.toStdString();
    EXPECT_EQ(rows[0].Status.toStdString(), rfc3164);
    // "<13>Mmm dd hh:mm:ss HOST zt: ...": the host field logger wrote.
    ASSERT_GT(rfc3164.size(), 20u);
    const std::string host = rfc3164.substr(20, rfc3164.find(' ', 20) - 20);
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(rows[0].IP.toStdString(), host);

    EXPECT_EQ(rows[1].Status.toStdString(), rfc5424);
    EXPECT_TRUE(rows[1].Status.startsWith(QStringLiteral("<155>1 "))) << rfc5424;
    EXPECT_TRUE(rows[1].Status.endsWith(QString::fromStdString(cyrillic)));
    EXPECT_TRUE(rows[1].Status.contains(QStringLiteral(" zt - M1 ")));
    EXPECT_EQ(rows[1].IP.toStdString(), host);

    // sqlite3 reads the same rows.
    EXPECT_EQ(
        RunCommand("sqlite3 " + f.Dir.file("dbm.db") + " 'select count(*), min(IP), max(IP) from syslog'"),
        "2|" + host + "|" + host + "\n");
}

TEST_F(SyslogPeerTest, OptionOffStoresNothingWhileListening) {
    SyslogFixture f;
    f.StartOnLoopback();
    f.Server->SetEnabled(false);
    Logger(f.Port(), "--rfc3164 -t zt off");
    Logger(f.Port(), "--rfc5424 -t zt off");
    EXPECT_EQ(SendSyslogTestMessage("127.0.0.1", f.Port()), 0);
    ASSERT_TRUE(WaitUntil([&] { return f.Server->Counters().Ignored == 3; }));
    EXPECT_EQ(RunCommand("sqlite3 " + f.Dir.file("dbm.db") + " 'select count(*) from syslog'"), "0\n");
}

TEST_F(SyslogPeerTest, MalformedAndLargestDatagramsFromPython) {
    SyslogFixture f;
    f.StartOnLoopback("");
    const std::string datagrams[] = {
        std::string("\xff\xfe\x00"
                    "abc\r\n",
                    8),
        "<999>Dec  9 01:12:00 vm x",
        "",
        std::string("\0\0", 2),
        "<13>1 - - - - - - \xc3",
        "<13>Dec  9 01:12:00 router kernel: link up\n",
    };
    std::string arguments = "send 127.0.0.1 " + std::to_string(f.Port());
    for (const std::string& d : datagrams)
        arguments += " '" + Hex(d) + "'";
    Sender(arguments);
    ASSERT_TRUE(f.WaitSettled(6));
    Sender("big 127.0.0.1 " + std::to_string(f.Port()) + " 65507");
    Sender("send ::1 " + std::to_string(f.Port()) + " " + Hex("<13>1 - - six - - - over IPv6"));
    ASSERT_TRUE(f.WaitSettled(8));

    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0].Status, QString::fromLatin1("\xff\xfe", 2) + QChar(0) + QStringLiteral("abc"));
    EXPECT_EQ(rows[0].IP, "127.0.0.1");
    EXPECT_EQ(rows[1].Status, "<999>Dec  9 01:12:00 vm x");
    EXPECT_EQ(rows[1].IP, "127.0.0.1");
    EXPECT_EQ(rows[2].Status, "");
    EXPECT_EQ(rows[3].Status, "");
    EXPECT_EQ(rows[4].Status, QString::fromLatin1("<13>1 - - - - - - \xc3"));
    EXPECT_EQ(rows[4].IP, "127.0.0.1");
    EXPECT_EQ(rows[5].Status, "<13>Dec  9 01:12:00 router kernel: link up");
    EXPECT_EQ(rows[5].IP, "router");
    EXPECT_EQ(rows[6].Status.size(), 65507);
    EXPECT_TRUE(rows[6].Status.startsWith(QStringLiteral("<13>Dec  9 01:12:00 bigsender big: yyy")));
    EXPECT_TRUE(rows[6].Status.endsWith(QStringLiteral("yyy")));
    EXPECT_EQ(rows[6].IP, "bigsender");
    EXPECT_EQ(rows[7].IP, "::1");
    EXPECT_EQ(
        RunCommand("sqlite3 " + f.Dir.file("dbm.db") + " 'select length(Status) from syslog where ID = 7'"),
        "65507\n");
}

TEST_F(SyslogPeerTest, LoggerFloodLosesNothingUncountedAndAltersNothing) {
    SyslogFixture f;
    f.Db.StartTransaction(); // the program's long transaction
    f.StartOnLoopback();
    int rc = 0;
    RunCommand("seq -f 'seq=%06g' 1 100000 | logger -n 127.0.0.1 -P " + std::to_string(f.Port()) +
                   " -d --rfc3164 -t flood",
               &rc);
    ASSERT_EQ(rc, 0);
    WaitQuiet(*f.Server);
    // Queued after every drop, this one carries the socket's final drop count.
    ASSERT_TRUE(SendDatagram("127.0.0.1", f.Port(), "end of flood"));
    ASSERT_TRUE(f.WaitSettled(100001, 120000));
    const TSyslogCounters c = f.Server->Counters();
    f.Db.CommitTransaction();

    const auto rows = SyslogRows(f.Db);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().Status, "end of flood");
    const QRegularExpression shape(QStringLiteral("^<13>[A-Z][a-z]{2} [ 1-3][0-9] [0-9:]{8} [!-~]+ flood: "
                                                  "seq=([0-9]{6})$"));
    std::set<int> seen;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        const auto m = shape.match(rows[i].Status);
        ASSERT_TRUE(m.hasMatch()) << rows[i].Status.toStdString();
        const int seq = m.captured(1).toInt();
        EXPECT_GE(seq, 1);
        EXPECT_LE(seq, 100000);
        EXPECT_TRUE(seen.insert(seq).second) << "stored twice: " << seq;
    }
    EXPECT_EQ(seen.size() + 1, c.Stored);
    EXPECT_EQ(c.Stored + c.QueueDrops + c.KernelDrops, 100001u);
    EXPECT_EQ(c.StoreFailures, 0u);
    EXPECT_EQ(RunCommand("sqlite3 " + f.Dir.file("dbm.db") + " 'select count(*) from syslog'"),
              std::to_string(c.Stored) + "\n");
    std::printf("flood: stored %llu, queue drops %llu, kernel drops %llu\n",
                static_cast<unsigned long long>(c.Stored), static_cast<unsigned long long>(c.QueueDrops),
                static_cast<unsigned long long>(c.KernelDrops));
    f.Server->Stop();
    if (c.QueueDrops + c.KernelDrops > 0) {
        const auto lines = ProgramLogLines(f.Db);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Syslog server: "))) << lines[0].toStdString();
    }
}

TEST_F(SyslogPeerTest, PacedFloodFromPythonArrivesWholeAndInOrder) {
    SyslogFixture f;
    f.Db.StartTransaction();
    f.StartOnLoopback();
    const std::string out = Sender("paced 127.0.0.1 " + std::to_string(f.Port()) + " 5000 1 p");
    ASSERT_EQ(out.substr(0, out.find(' ')), "5000");
    ASSERT_TRUE(f.WaitSettled(5000));
    f.Db.CommitTransaction();
    const auto rows = SyslogRows(f.Db);
    ASSERT_EQ(rows.size(), 5000u);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(rows[i].Status, QString::asprintf("<14>Dec  9 01:12:00 paced p: seq=%07d", i + 1));
    EXPECT_EQ(rows[0].IP, "paced");
    const TSyslogCounters c = f.Server->Counters();
    EXPECT_EQ(c.QueueDrops + c.KernelDrops, 0u);
}

TEST_F(SyslogPeerTest, PortHeldByAnotherProgramGivesALogLineAndTheProgramRunsOn) {
    SyslogFixture f;
    const int port = zt::test::FreeUdpPort();
    const std::string ready = f.Dir.file("ready");
    zt::test::PeerProcess holder(
        {"python3", PeerScript("syslog-sender.py"), "hold", "127.0.0.1", std::to_string(port), ready});
    ASSERT_TRUE(WaitUntil([&] { return access(ready.c_str(), F_OK) == 0; }));
    f.Server->SetEnabled(true);
    const TSyslogStartResult result = f.Server->Start("", port);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, 10048);
    const QString reason =
        QStringLiteral("Syslog server cannot listen on UDP %1: Address already in use (10048)").arg(port);
    EXPECT_EQ(result.Reason, reason);
    const auto lines = ProgramLogLines(f.Db);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], reason);
    // Once the other program is gone the same start succeeds.
    holder.stop();
    ASSERT_TRUE(f.Server->Start("", port).Ok);
    EXPECT_EQ(SendSyslogTestMessage("127.0.0.1", port), 0);
    ASSERT_TRUE(f.WaitSettled(1));
    EXPECT_EQ(SyslogRows(f.Db).size(), 1u);
}

// Runs inside the unprivileged child of the next test only.
TEST(SyslogPermissionChild, StartsOnPort514) {
    const char* path = std::getenv("ZT_SYSLOG_CHILD_DB");
    if (!path)
        GTEST_SKIP() << "run by SyslogPermission as another user";
    TSQLiteDatabase db(QString::fromLocal8Bit(path));
    TSyslogServer server(db);
    const TSyslogStartResult result = server.Start("127.0.0.1", 514);
    std::printf("child: ok=%d error=%d\n", result.Ok ? 1 : 0, result.Error);
    EXPECT_FALSE(result.Ok);
}

TEST(SyslogPermission, NoRightToPort514GivesALogLine) {
    if (!zt::test::IsRoot() || !HaveProgram("setpriv"))
        GTEST_SKIP() << "needs root and setpriv to run a child as nobody";
    if (std::atoi(zt::test::ReadFile("/proc/sys/net/ipv4/ip_unprivileged_port_start").c_str()) <= 514)
        GTEST_SKIP() << "port 514 is open to every user on this system";
    zt::test::TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string path = dir.file("dbm.db");
    {
        TSQLiteDatabase db(QString::fromStdString(path));
        CreateMissingTables(db);
    }
    ::chmod(path.c_str(), 0666);
    char exe[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    int rc = 0;
    const std::string out =
        RunCommand("setpriv --reuid=nobody --clear-groups env ZT_SYSLOG_CHILD_DB=" + path + " " + exe +
                       " --gtest_filter=SyslogPermissionChild.StartsOnPort514 2>&1",
                   &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("child: ok=0 error=10013"), std::string::npos) << out;
    TSQLiteDatabase db(QString::fromStdString(path));
    const auto lines = ProgramLogLines(db);
    ASSERT_EQ(lines.size(), 1u) << out;
    EXPECT_EQ(lines[0], "Syslog server cannot listen on UDP 127.0.0.1:514: Permission denied (10013)");
}
