// A queue of pending calls served by the main thread. Workers enqueue a call, nudge the main
// thread through a queued invocation on the application object, and wait on a condition variable.
#include "core/Synchronize.h"

#include "core/ExceptionGuard.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct PendingCall {
    std::function<void()> fn;
    bool taken = false; // the main thread has started it: the worker must wait for the end
    bool done = false;
    bool ok = false;
};

std::mutex queueMutex;
std::condition_variable callDone;   // a call finished or calls were closed
std::condition_variable callQueued; // a worker queued a call (wakes WaitServingSynchronize)
std::deque<std::shared_ptr<PendingCall>> pending;
bool closedForCalls = false;
std::thread::id closingThread; // the main thread, which closed the calls

void NudgeMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return;
    }
    QMetaObject::invokeMethod(
        app, [] { ServeSynchronizeCalls(); }, Qt::QueuedConnection);
}

bool RunHere(const std::function<void()>& fn) {
    return Guarded("Synchronize", fn);
}

} // namespace

void PostToGui(QObject* Context, const char* Where, std::function<void()> Fn) {
    QObject* target = Context ? Context : QCoreApplication::instance();
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target, [Where, Fn = std::move(Fn)] { Guarded(Where, Fn); }, Qt::QueuedConnection);
}

bool IsMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

bool Synchronize(const std::function<void()>& fn) {
    {
        // Checked first: after closing, the application object may be gone, and then
        // IsMainThread() could no longer tell a worker from the main thread.
        std::lock_guard lock(queueMutex);
        if (closedForCalls && std::this_thread::get_id() != closingThread) {
            return false;
        }
    }
    if (IsMainThread()) {
        return RunHere(fn);
    }
    auto call = std::make_shared<PendingCall>();
    call->fn = fn;
    std::unique_lock lock(queueMutex);
    if (closedForCalls) {
        return false;
    }
    pending.push_back(call);
    // Nudged under the lock: once calls are closed no worker touches the application object,
    // which may then be destroyed.
    NudgeMainThread();
    callQueued.notify_all();
    callDone.wait(lock, [&] { return call->done || (closedForCalls && !call->taken); });
    if (call->done) {
        return call->ok;
    }
    // Closed before the main thread took the call: withdraw it so it never runs.
    std::erase(pending, call);
    return false;
}

int ServeSynchronizeCalls() {
    int served = 0;
    for (;;) {
        std::shared_ptr<PendingCall> call;
        {
            std::lock_guard lock(queueMutex);
            if (pending.empty()) {
                return served;
            }
            call = pending.front();
            pending.pop_front();
            call->taken = true;
        }
        const bool ok = RunHere(call->fn);
        {
            std::lock_guard lock(queueMutex);
            call->ok = ok;
            call->done = true;
        }
        callDone.notify_all();
        ++served;
    }
}

bool WaitServingSynchronize(const std::function<bool()>& done, int limitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        ServeSynchronizeCalls();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        // Short slices: done() may change without anyone notifying us.
        std::unique_lock lock(queueMutex);
        callQueued.wait_for(lock, std::chrono::milliseconds(5), [] { return !pending.empty(); });
    }
}

void SetSynchronizeClosed(bool closed) {
    {
        std::lock_guard lock(queueMutex);
        closedForCalls = closed;
        closingThread = std::this_thread::get_id();
    }
    callDone.notify_all();
}

bool SynchronizeClosed() {
    std::lock_guard lock(queueMutex);
    return closedForCalls;
}

bool OnGuiThread(const std::function<void()>& Fn) {
    std::exception_ptr error;
    bool ran = Synchronize([&] {
        try {
            Fn();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error) {
        std::rethrow_exception(error);
    }
    return ran;
}
