// A syslog server on a temporary database with loopback senders, and readers of what it stored.
#pragma once

#include "core/SQLiteDb.h"
#include "core/SyslogServer.h"
#include "tests/support/TestSupport.h"

#include <QString>

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct SyslogRow {
    QString DateTime;
    QString Status;
    QString IP;
};

// Sends one datagram from a fresh socket to Host (an IPv4 or IPv6 address) and Port; false when the
// send failed.
bool SendDatagram(const std::string& Host, int Port, const std::string& Bytes);
// Polls Condition every 5 ms until it holds or LimitMs pass; its last answer.
bool WaitUntil(const std::function<bool()>& Condition, int LimitMs = 10000);

std::vector<SyslogRow> SyslogRows(TSQLiteDatabase& Database);
std::vector<QString> ProgramLogLines(TSQLiteDatabase& Database);

// Holds the database layer's lock from another thread until Release (or destruction), stalling the
// storing thread as a long statement of the GUI would.
class DatabaseStall {
public:
    explicit DatabaseStall(TSQLiteDatabase& Database);
    ~DatabaseStall() { Release(); }
    DatabaseStall(const DatabaseStall&) = delete;
    DatabaseStall& operator=(const DatabaseStall&) = delete;
    void Release();

private:
    std::promise<void> FHeld;
    std::promise<void> FRelease;
    std::thread FHolder;
};

class SyslogFixture {
public:
    explicit SyslogFixture(TSyslogServerLimits Limits = {});
    ~SyslogFixture();

    // Starts on 127.0.0.1 and a free port with storing on; fails the test when it cannot.
    void StartOnLoopback(const std::string& Address = "127.0.0.1");
    // Waits until Count datagrams were stored (or counted as lost).
    bool WaitSettled(std::uint64_t Count, int LimitMs = 20000);
    int Port() const { return Server->BoundPort(); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    std::unique_ptr<TSyslogServer> Server;
};
