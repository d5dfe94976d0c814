// Name resolution with a deadline: the system resolver cannot be interrupted, so a name is looked up
// on a worker of its own that the caller stops waiting for when its time is up or it is cancelled.
#pragma once

#include "net/netsock.h"

#include <initializer_list>
#include <string>

// ResolveSockAddr, bounded: numeric addresses resolve at once; a name is looked up on a worker
// thread, and this call gives up after TimeoutMs (10060) or as soon as one of CancelFds (-1 entries
// are ignored) becomes readable (10053). The worker finishes by itself and is then forgotten. Calls
// for the same name share one worker, and at most MaxPendingLookups workers wait on the resolver at
// a time (beyond that 11002), so a resolver that never answers costs a fixed number of threads.
int ResolveSockAddrWithin(TVarSin& Address, const std::string& Host, const std::string& Port, bool PreferIP4,
                          int SocketType, int Protocol, int Family, int TimeoutMs,
                          std::initializer_list<int> CancelFds);

inline constexpr int MaxPendingLookups = 32;

// Workers still waiting on the system resolver (for tests).
int PendingLookups();
