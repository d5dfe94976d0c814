// A wait that keeps the calling thread's event loop running: timers, windows and queued calls
// (including synchronous calls from workers) are served while it waits.
#pragma once

// Waits ms milliseconds. On the application's thread events are dispatched meanwhile; on a
// thread without events, or before an application exists, it simply sleeps.
void PumpDelay(int ms);
