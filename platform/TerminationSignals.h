// SIGTERM and SIGINT, the signals the program answers with its close sequence, held and released
// on the calling thread. Threads start with their creator's mask, so a thread started while they
// are held keeps them held.
#pragma once

#include <csignal>

sigset_t TerminationSignalSet();

// Holds them in the calling thread and every thread it starts later, until released: a signal
// that comes while the program is still starting waits for the close sequence instead of ending
// the process half made. The first call of main.
void HoldTerminationSignals();
void ReleaseTerminationSignals();

// Holds them for a scope, then gives the thread back the mask it had.
class TTerminationSignalsHeld {
public:
    TTerminationSignalsHeld();
    ~TTerminationSignalsHeld();
    TTerminationSignalsHeld(const TTerminationSignalsHeld&) = delete;
    TTerminationSignalsHeld& operator=(const TTerminationSignalsHeld&) = delete;

private:
    sigset_t FSaved;
};
