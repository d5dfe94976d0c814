// The pumping wait, built on a local event loop ended by a precise single-shot timer (a coarse
// timer may fire a little early).
#include "core/PumpDelay.h"

#include "core/Synchronize.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

void PumpDelay(int ms) {
    if (!QCoreApplication::instance() || !IsMainThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? ms : 0));
        return;
    }
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}
