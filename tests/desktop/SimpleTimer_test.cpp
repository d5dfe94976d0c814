// The lightweight timer: interval 0, the handler being cleared and set again, auto-disable and a
// handler that throws.
#include "core/SimpleTimer.h"

#include "tests/support/FakeTrayIconBackend.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(SimpleTimer, StartsDisabledWithOneSecond) {
    TSimpleTimer timer;
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
    EXPECT_FALSE(timer.AutoDisable());
}

TEST(SimpleTimer, TicksWhileEnabled) {
    int ticks = 0;
    TSimpleTimer timer(5, [&] { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 3; }, 2000));
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Running());
    const int stopped = ticks;
    ProcessEventsFor(30);
    EXPECT_EQ(ticks, stopped);
}

TEST(SimpleTimer, IntervalZeroStartsNothing) {
    TSimpleTimer timer(0, [] {});
    EXPECT_FALSE(timer.Start());
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
}

TEST(SimpleTimer, IntervalZeroStopsButKeepsEnabledAndALaterIntervalRestarts) {
    int ticks = 0;
    TSimpleTimer timer(5, [&] { ++ticks; });
    ASSERT_TRUE(timer.Start());
    timer.SetInterval(0);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
    timer.SetInterval(5);
    EXPECT_TRUE(timer.Running());
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 1; }, 2000));
}

TEST(SimpleTimer, ClearingTheHandlerStopsButKeepsEnabled) {
    int ticks = 0;
    TSimpleTimer timer(5, [&] { ++ticks; });
    timer.Start();
    timer.SetOnTimer(nullptr);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
    timer.SetOnTimer([&] { ++ticks; });
    EXPECT_TRUE(timer.Running());
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 1; }, 2000));
}

TEST(SimpleTimer, AutoDisableTicksOnceAndDisablesBeforeTheHandler) {
    int ticks = 0;
    bool enabledInHandler = true;
    TSimpleTimer timer;
    timer.SetInterval(5);
    timer.SetAutoDisable(true);
    timer.SetOnTimer([&] {
        ++ticks;
        enabledInHandler = timer.Enabled();
    });
    timer.Start();
    ProcessEventsFor(60);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(enabledInHandler);
    EXPECT_FALSE(timer.Enabled());
    // Started again from its own handler, it ticks again.
    timer.SetOnTimer([&] {
        if (++ticks < 4)
            timer.Start();
    });
    timer.Start();
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks == 4; }, 2000));
}

TEST(SimpleTimer, AThrowingHandlerKeepsTheTimerRunning) {
    int ticks = 0;
    TSimpleTimer timer(5, [&] {
        ++ticks;
        throw std::runtime_error("handler failed");
    });
    timer.Start();
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 2; }, 2000));
    EXPECT_TRUE(timer.Running());
}
