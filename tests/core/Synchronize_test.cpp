// Synchronous calls from worker threads onto the main thread.
#include "core/Synchronize.h"

#include "core/ProgramLogSink.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

// Serves the main thread's events until done is set (bounded).
void ServeUntil(const std::atomic<bool>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done && std::chrono::steady_clock::now() < limit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

} // namespace

TEST(Synchronize, RunsOnTheMainThreadAndBlocksTheWorker) {
    QThread* mainThread = QThread::currentThread();
    std::atomic<bool> done{false};
    QThread* ranOn = nullptr;
    int value = 0;
    bool ok = false;
    std::thread worker([&] {
        ok = Synchronize([&] {
            ranOn = QThread::currentThread();
            value = 42;
        });
        // The function has completed before Synchronize returned.
        EXPECT_EQ(value, 42);
        done = true;
    });
    ServeUntil(done);
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(ranOn, mainThread);
}

TEST(Synchronize, RunsDirectlyOnTheMainThread) {
    bool ran = false;
    EXPECT_TRUE(Synchronize([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(IsMainThread());
}

TEST(Synchronize, ExceptionsAreReportedAndStayOnTheirSide) {
    QStringList lines;
    SetProgramLogSink([&](const QString& line) { lines << line; });
    std::atomic<bool> done{false};
    bool ok = true;
    std::thread worker([&] {
        ok = Synchronize([] { throw std::runtime_error("boom"); });
        done = true;
    });
    ServeUntil(done);
    worker.join();
    SetProgramLogSink(nullptr);
    EXPECT_FALSE(ok);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QStringLiteral("Error in Synchronize: boom"));
}

TEST(Synchronize, WaitServingSynchronizeServesWorkersWithoutOtherEvents) {
    std::atomic<bool> workerEnded{false};
    std::atomic<int> served{0};
    bool otherEventRan = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { otherEventRan = true; }, Qt::QueuedConnection);
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            Synchronize([&] { ++served; });
        }
        workerEnded = true;
    });
    EXPECT_TRUE(WaitServingSynchronize([&] { return workerEnded.load(); }, 10000));
    worker.join();
    EXPECT_EQ(served, 20);
    EXPECT_FALSE(otherEventRan);
    QCoreApplication::processEvents();
    EXPECT_TRUE(otherEventRan);
}

TEST(Synchronize, WaitServingSynchronizeGivesUpAtItsLimit) {
    EXPECT_FALSE(WaitServingSynchronize([] { return false; }, 20));
}

TEST(Synchronize, ClosingReleasesWaitingWorkersUnrun) {
    std::atomic<bool> inCall{false};
    bool ran = false;
    bool ok = true;
    std::thread worker([&] {
        inCall = true;
        ok = Synchronize([&] { ran = true; });
    });
    // The main thread does not serve; the worker waits until calls are closed.
    while (!inCall) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SetSynchronizeClosed(true);
    worker.join();
    EXPECT_FALSE(ok);
    SetSynchronizeClosed(false);
    // The withdrawn call never runs later either.
    QCoreApplication::processEvents();
    EXPECT_EQ(ServeSynchronizeCalls(), 0);
    EXPECT_FALSE(ran);
}
