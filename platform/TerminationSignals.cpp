// The termination signals' mask on the calling thread.
#include "platform/TerminationSignals.h"

#include <pthread.h>

sigset_t TerminationSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

void HoldTerminationSignals() {
    const sigset_t set = TerminationSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ReleaseTerminationSignals() {
    const sigset_t set = TerminationSignalSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TTerminationSignalsHeld::TTerminationSignalsHeld() {
    const sigset_t set = TerminationSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &FSaved);
}

TTerminationSignalsHeld::~TTerminationSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &FSaved, nullptr);
}
