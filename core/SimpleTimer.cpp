// The lightweight timer on a precise Qt timer (a coarse one may fire 5 % early, which would
// break the double-click hold-back of the tray icon and cut the messaging time-out short).
#include "core/SimpleTimer.h"

#include "core/ExceptionGuard.h"

TSimpleTimer::TSimpleTimer(QObject* parent) : QObject(parent) {
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TSimpleTimer::Tick);
}

TSimpleTimer::TSimpleTimer(int Interval, std::function<void()> OnTimer, QObject* parent)
    : TSimpleTimer(parent) {
    FInterval = Interval;
    FOnTimer = std::move(OnTimer);
}

TSimpleTimer::TSimpleTimer(int Interval, bool Enabled, QObject* parent) : TSimpleTimer(parent) {
    FInterval = Interval;
    FEnabled = Enabled && Interval > 0;
}

void TSimpleTimer::SetEnabled(bool Value) {
    if (Value)
        Start();
    else
        Stop(true);
}

void TSimpleTimer::SetInterval(int Value) {
    if (Value == FInterval)
        return;
    FInterval = Value;
    if (!FEnabled)
        return;
    if (FInterval == 0)
        Stop(false);
    else
        Start();
}

void TSimpleTimer::SetOnTimer(std::function<void()> Value) {
    FOnTimer = std::move(Value);
    if (!FEnabled)
        return;
    if (!FOnTimer)
        Stop(false);
    else if (!Running())
        Start();
}

bool TSimpleTimer::Start() {
    if (FInterval <= 0)
        return false;
    if (Running())
        Stop(false);
    FEnabled = true;
    if (FOnTimer)
        FTimer.start(FInterval);
    return true;
}

void TSimpleTimer::Stop(bool Disable) {
    if (Disable)
        FEnabled = false;
    FTimer.stop();
}

void TSimpleTimer::Tick() {
    if (FAutoDisable)
        Stop(true);
    // A copy: the handler may replace itself while it runs.
    const std::function<void()> handler = FOnTimer;
    if (handler)
        Guarded("TSimpleTimer.OnTimer", handler);
}
