// Synchronous calls from worker threads onto the GUI (main) thread: the worker blocks until the
// GUI thread has run the function. The GUI thread can keep serving such calls while it waits for
// workers to end, so shut-down never deadlocks against a worker inside a call.
#pragma once

#include <functional>

class QObject;

// Runs fn on the main thread and waits for it. On the main thread itself (or before any
// QCoreApplication exists) fn runs at once. An exception thrown by fn is reported and swallowed.
// Returns false when fn threw or was not run because synchronous calls are closed.
bool Synchronize(const std::function<void()>& fn);

// Runs Fn on the main thread like Synchronize, but rethrows on the calling thread what Fn threw,
// so a worker's own guard sees the error. False when the main thread no longer takes calls
// (shut-down): the worker then ends.
bool OnGuiThread(const std::function<void()>& Fn);

// Posts Fn to the thread of Context (the application object when null) and returns at once: the
// one way results cross to the GUI thread without waiting. Fn runs from that thread's event loop
// under Guarded(Where); it is dropped when Context is destroyed first or no application exists.
void PostToGui(QObject* Context, const char* Where, std::function<void()> Fn);

// Runs every call waiting for the main thread now (main thread only). Returns how many ran.
int ServeSynchronizeCalls();

// On the main thread: serves synchronous calls until done() returns true or limitMs passed,
// without dispatching any other event. Returns done()'s last answer.
bool WaitServingSynchronize(const std::function<bool()>& done, int limitMs);

// Once closed, Synchronize() from a worker returns false at once without running anything, and
// calls already waiting are released unrun: used when the windows are about to be destroyed.
// Call it on the main thread.
void SetSynchronizeClosed(bool closed);
bool SynchronizeClosed();

// True on the thread that owns the QCoreApplication (also true when none exists).
bool IsMainThread();
