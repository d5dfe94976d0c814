// The main window shows in its status bar when the database cannot be written, as reported by the
// database layer from any thread, and again when writing works.
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "desktop/StatusBarEx.h"
#include "ui/main/StatusView.h"
#include "ui/main/main_form.h"

#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

// Writes from a thread of its own, as the check thread does; failures are the caller's to see.
void WriteFromWorker(const QString& SQL) {
    std::thread worker([SQL] {
        try {
            MonitorDatabase.ExecuteStatement(SQL);
        } catch (const ESQLiteException&) {
        }
    });
    worker.join();
}

bool WaitForText(TForm1& Form, const QString& Text) {
    QElapsedTimer clock;
    clock.start();
    while (Form.DatabaseWriteState() != Text && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return Form.DatabaseWriteState() == Text;
}

} // namespace

TEST(DatabaseWriteState, StatusBarShowsTheFailedWriteAndTheRecovery) {
    zt::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("dbm.db"));
    MonitorDatabase.Open(file);
    MonitorDatabase.ExecuteStatement(QStringLiteral("create table t (x INTEGER)"));
    {
        TMonitorServices services{MonitorDatabase, QString()};
        TForm1 form(services);
        auto* bar = form.findChild<TStatusBarPro*>(QStringLiteral("StatusBar1"));
        ASSERT_NE(bar, nullptr);
        TStatusPanelPro& panel = bar->Panels()[DatabaseWriteStatePanel];
        EXPECT_EQ(form.DatabaseWriteState(), QString());
        zt::test::StderrCapture quiet;
        MonitorDatabase.ExecuteStatement(QStringLiteral("PRAGMA query_only = 1"));
        WriteFromWorker(QStringLiteral("insert into t values (1)"));
        WriteFromWorker(QStringLiteral("insert into t values (2)"));
        EXPECT_TRUE(
            WaitForText(form, QStringLiteral("Error! The database \"%1\" cannot be written: attempt to "
                                             "write a readonly database")
                                  .arg(file)))
            << form.DatabaseWriteState().toStdString();
        EXPECT_EQ(panel.Text(), form.DatabaseWriteState());
        EXPECT_EQ(panel.FontColor(), clRed);
        MonitorDatabase.ExecuteStatement(QStringLiteral("PRAGMA query_only = 0"));
        WriteFromWorker(QStringLiteral("insert into t values (3)"));
        EXPECT_TRUE(WaitForText(form, QStringLiteral("The database \"%1\" can be written again.").arg(file)));
        EXPECT_EQ(panel.FontColor(), clBlack);
    }
    // The window has gone: a report now reaches nobody and harms nothing.
    MonitorDatabase.ExecuteStatement(QStringLiteral("PRAGMA query_only = 1"));
    WriteFromWorker(QStringLiteral("insert into t values (4)"));
    QCoreApplication::processEvents();
    MonitorDatabase.Close();
}
