// Shut-down's wait for the worker threads is bounded: a worker stuck in a call that cannot be
// cancelled is given up on after the limit, with one program-log line, and the close goes on.
#include "core/ProgramLogSink.h"
#include "tests/core/engine_fixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <chrono>

TEST(CheckEngineShutdown, WorkerStuckInAnUncancellableCallIsGivenUpOnAfterTheLimit) {
    EngineFixture f;
    f.AddHost({});
    f.Probes.SetStubborn("127.0.0.1", 4000);
    QStringList lines;
    std::mutex linesLock;
    SetProgramLogSink([&](const QString& Line) {
        std::lock_guard g(linesLock);
        lines.append(Line);
    });
    ASSERT_TRUE(f.Controller->BitBtn7Click());
    ASSERT_TRUE(f.WaitFor([&] { return f.Probes.PingCalls("127.0.0.1") > 0; }, 5000));
    QElapsedTimer clock;
    clock.start();
    f.Controller->Shutdown(300);
    const qint64 took = clock.elapsed();
    EXPECT_LT(took, 2000) << "the close waited " << took << " ms for the stuck worker";
    EXPECT_TRUE(f.Controller->ThreadsRunning());
    {
        std::lock_guard g(linesLock);
        ASSERT_EQ(lines.size(), 1) << lines.join('|').toStdString();
        EXPECT_EQ(lines[0], "Error! 1 monitoring thread(s) did not end within 800 ms; the program closes without "
                            "waiting for them.");
    }
    // A second call gives up at once and says nothing more.
    clock.restart();
    f.Controller->Shutdown(300);
    EXPECT_LT(clock.elapsed(), 200);
    // The worker ends by itself once its call returns; only then does the fixture go.
    EXPECT_TRUE(f.WaitFor([&] { return !f.Controller->ThreadsRunning(); }, 10000));
    SetProgramLogSink({});
    EXPECT_EQ(lines.size(), 1);
}
