// Loopback senders and table readers for the syslog server tests.
#include "tests/core/syslog_fixture.h"

#include "core/DatabaseSchema.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

bool SendDatagram(const std::string& Host, int Port, const std::string& Bytes) {
    sockaddr_storage to{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&to);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&to);
    if (inet_pton(AF_INET, Host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(Port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, Host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(Port));
        length = sizeof *v6;
    } else {
        return false;
    }
    const int fd = ::socket(to.ss_family, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    const ssize_t sent =
        ::sendto(fd, Bytes.data(), Bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), length);
    ::close(fd);
    return sent == static_cast<ssize_t>(Bytes.size());
}

bool WaitUntil(const std::function<bool()>& Condition, int LimitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return Condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<SyslogRow> SyslogRows(TSQLiteDatabase& Database) {
    std::vector<SyslogRow> rows;
    const auto table =
        Database.OpenResultTable(QStringLiteral("select Date_time, Status, IP from syslog order by ID"));
    for (; !table->AtEnd(); table->NextRow())
        rows.push_back({table->FieldTextOrEmpty(0), table->FieldTextOrEmpty(1), table->FieldTextOrEmpty(2)});
    return rows;
}

DatabaseStall::DatabaseStall(TSQLiteDatabase& Database) {
    std::future<void> held = FHeld.get_future();
    FHolder = std::thread([this, &Database, released = FRelease.get_future()]() mutable {
        Database.RunLocked([&](sqlite3*) {
            FHeld.set_value();
            released.wait();
            return 0;
        });
    });
    held.wait();
}

void DatabaseStall::Release() {
    if (!FHolder.joinable())
        return;
    FRelease.set_value();
    FHolder.join();
}

SyslogFixture::SyslogFixture(TSyslogServerLimits Limits) {
    Db.Open(QString::fromStdString(Dir.file("dbm.db")));
    CreateMissingTables(Db);
    Server = std::make_unique<TSyslogServer>(Db, Limits);
}

SyslogFixture::~SyslogFixture() {
    Server.reset();
}

void SyslogFixture::StartOnLoopback(const std::string& Address) {
    Server->SetEnabled(true);
    const TSyslogStartResult started = Server->Start(Address, 0);
    ASSERT_TRUE(started.Ok) << started.Reason.toStdString();
    ASSERT_GT(Server->BoundPort(), 0);
}

bool SyslogFixture::WaitSettled(std::uint64_t Count, int LimitMs) {
    return WaitUntil(
        [&] {
            const TSyslogCounters c = Server->Counters();
            return c.Stored + c.QueueDrops + c.StopDrops + c.KernelDrops + c.StoreFailures + c.Ignored >=
                       Count &&
                   Server->QueuedMessages() == 0;
        },
        LimitMs);
}
