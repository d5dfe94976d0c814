// The real-time chart's sampler: a sample that cannot be stored is reported, never swallowed, and
// the page still hears that it ended.
#include "core/ToolChartsSampler.h"

#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <gtest/gtest.h>

TEST(RealtimeSampler, ASampleThatCannotBeStoredIsReportedAndItsEndStillArrives) {
    zt::test::TempDir dir;
    // No tables: the interface cannot be looked up.
    TSQLiteDatabase db(QString::fromStdString(dir.file("empty.db")));
    QStringList lines;
    SetProgramLogSink([&lines](const QString& Line) { lines << Line; });
    QObject page;
    bool done = false;
    {
        TRealtimeSampler sampler;
        sampler.Start(
            db, TRealtimeTarget{QStringLiteral("1"), QStringLiteral("127.0.0.1"), QStringLiteral("public")},
            QStringLiteral("9"), [] { return qint64(1000); }, &page, [&done] { done = true; });
        QElapsedTimer clock;
        clock.start();
        while (!done && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    SetProgramLogSink(nullptr);
    EXPECT_TRUE(done);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Error in Realtime sample: "))) << lines[0].toStdString();
}
