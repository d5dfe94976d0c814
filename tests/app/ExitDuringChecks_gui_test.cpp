// Exit while the check thread waits on a device that never answers: the program still closes
// within 2 s, and what was written before is committed.
#include "core/DataFolder.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/main_form.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSpinBox>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener that takes connections into its backlog and never answers.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        listen(fd_, 16);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~SilentServer() { close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

bool WaitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

} // namespace

TEST(ExitDuringChecks, HangingHttpCheckDoesNotHoldTheClose) {
    zt::test::TempDir data;
    SetDataFolder(QString::fromStdString(data.path()));
    ResetShutdownRequest();
    MonitoringActive = false;
    SilentServer server;
    CreateForms();
    ASSERT_TRUE(MonitorDatabase.IsOpen());
    TDataGrid& hosts = *Form1->DataGrid1;
    int row = hosts.AddRow();
    hosts.Cell("Kod_", row).SetAsString("1");
    hosts.Cell("Host", row).SetAsString("silent");
    hosts.Cell("IP", row).SetAsString(QStringLiteral("127.0.0.1:%1").arg(server.port()));
    hosts.Cell("Status", row).SetAsString("OK");
    hosts.Cell("Enabled", row).SetAsBoolean(true);
    hosts.Cell("Http_check", row).SetAsBoolean(true);
    Form1->OptionsPage().Timeout_Spin->setValue(10000); // the probe alone could wait 50 s
    // The long transaction is open from the start-up load on.
    ASSERT_TRUE(MonitorDatabase.InTransaction());
    MonitorDatabase.ExecuteStatement(
        "insert into syslog (Date_time,Status,IP) values ('1','before','127.0.0.1')");
    Form1->BitBtn7Click();
    ASSERT_TRUE(MonitoringActive.load());
    // Let the check thread reach the HTTP probe.
    WaitFor([] { return false; }, 300);
    QElapsedTimer clock;
    clock.start();
    CloseProgram();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(Form1->Monitor().ThreadsRunning());
    EXPECT_FALSE(MonitorDatabase.InTransaction());
    TSQLiteDatabase reader(QString::fromStdString(data.file("dbm.db")));
    EXPECT_EQ(reader.OpenResultTable("select Status from syslog")->FieldText(0), "before");
    DestroyForms();
    MonitorDatabase.Close();
    SetDataFolder(QString());
    SetProgramLogSink(nullptr);
    ResetShutdownRequest();
}
