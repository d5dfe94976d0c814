// The program's one lightweight timer on the GUI thread: an interval, an enabled flag, an optional
// stop after the first tick and one OnTimer handler. It counts while it is enabled, its interval is
// above 0 and it has a handler; a handler that throws is reported and the timer goes on.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class TSimpleTimer : public QObject {
    Q_OBJECT

public:
    // Interval 1000 ms, disabled, no handler.
    explicit TSimpleTimer(QObject* parent = nullptr);
    TSimpleTimer(int Interval, std::function<void()> OnTimer, QObject* parent = nullptr);
    // Interval and enabled flag given, no handler yet.
    TSimpleTimer(int Interval, bool Enabled, QObject* parent);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    // Changing the interval of an enabled timer restarts it; 0 stops it but leaves it enabled,
    // so a later non-zero interval starts it again.
    int Interval() const { return FInterval; }
    void SetInterval(int Value);

    // Stops the timer before the handler runs, so it ticks once per start.
    bool AutoDisable() const { return FAutoDisable; }
    void SetAutoDisable(bool Value) { FAutoDisable = Value; }

    // Clearing the handler stops an enabled timer without disabling it; setting one again
    // restarts it.
    const std::function<void()>& OnTimer() const { return FOnTimer; }
    void SetOnTimer(std::function<void()> Value);

    // Starts (or restarts) the timer and enables it; false and nothing started for interval 0.
    // Without a handler it is only enabled, and counts once one is set.
    bool Start();
    // Stops the timer; Disable also clears Enabled.
    void Stop(bool Disable = true);

    // Whether the timer is counting now.
    bool Running() const { return FTimer.isActive(); }

private:
    void Tick();

    QTimer FTimer;
    std::function<void()> FOnTimer;
    int FInterval = 1000;
    bool FEnabled = false;
    bool FAutoDisable = false;
};
