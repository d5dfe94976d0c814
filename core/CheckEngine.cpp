// The check thread's pass loop and the five checks.
#include "core/CheckEngine.h"

#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/ExceptionGuard.h"
#include "core/HostGridColumns.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace {

const char* const SysDescrOid = "1.3.6.1.2.1.1.1.0";

template <class TColumn> qint64 CellNumber(TDataGrid& Grid, TColumn Column, int Row) {
    return TextToInt64(Grid.Cell(Column, Row).GetAsString());
}

template <class TColumn> void SetCellNumber(TDataGrid& Grid, TColumn Column, int Row, qint64 Value) {
    Grid.Cell(Column, Row).SetAsString(Int64ToText(Value));
}

// Whether the grid steps of echo, HTTP, SNMP and the overall state could change anything for a
// host whose row held the snapshot's values: a failure, a counter not at 0, a status showing its
// down text, or an overall state other than OK.
bool MayChange(const THostSnapshot& Host, const THostPassResults& Results, bool SnmpAsked) {
    bool answered = false;
    if (Host.PingCheck) {
        if (!Results.PingError.isEmpty() || Host.IcmpCount != 0 ||
            ContainsText(Host.IcmpStatus, LangText(LangLine::IcmpDown))) {
            return true;
        }
        answered = true;
    }
    if (Host.HttpCheck) {
        if (Results.HttpResult.isEmpty() || Host.HttpCount != 0 ||
            ContainsText(Host.HttpStatus, LangText(LangLine::HttpDown))) {
            return true;
        }
        answered = true;
    }
    if (SnmpAsked) {
        if (Results.SnmpReply.isEmpty() || Host.SnmpCount != 0 ||
            ContainsText(Host.SnmpStatus, LangText(LangLine::SnmpDown))) {
            return true;
        }
        answered = true;
    }
    return !answered || Host.Status != LangText(LangLine::StatusOk);
}

} // namespace

// One host whose probes were started, waiting for its turn to be applied.
struct TInFlightHost {
    TNewThread* Engine = nullptr;
    THostSnapshot Host;
    THostProbeResults Results;
    // Probes not yet ended; the last one to end hands the host to the walk.
    std::atomic<int> Pending{0};
    // The echo's outcome was taken: a callback that comes again, or after a failed start, is ignored.
    std::atomic<bool> EchoTaken{false};
    // Check thread only: the host's place in the pass, and whether the walk has taken its end.
    std::size_t Order = 0;
    bool Ended = false;
    // No probe of the host but its echo: it holds no socket and counts against the echoes' bound.
    bool EchoOnly = false;
};

// Hosts whose probes have all ended, handed from the workers to the walk.
struct TProbesDone {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TInFlightHost*> Ended;
    // The walk sleeps until a host ends: only then does the last probe of a host wake it.
    bool Waiting = false;
    // Echoes started whose outcome has not come back; their records stay until it has.
    std::size_t EchoesOut = 0;
    // HTTP and SNMP probes waiting on the probes' own thread, not yet handed to a worker nor ended:
    // they may still hand a job to the pool, and refer to their records.
    std::size_t Awaited = 0;
};

namespace {

// Set on the walk's thread while it queues a host's probes: blocking jobs handed over meanwhile
// join the batch the walk submits at once.
thread_local std::vector<TPoolJob>* tQueueing = nullptr;

} // namespace

void TNewThread::Execute() {
    FBound = std::max(1, FOwner.ProbeBound());
    if (FBound > 1) {
        // Echoes hold no worker; a host's HTTP and SNMP probes wait side by side on the workers,
        // whose number stays small whatever the bound.
        FPool = std::make_unique<TProbePool>(std::min<std::size_t>(std::size_t(FBound) * 2, MaxProbeWorkers));
    }
    // The workers end with this call, whatever way it returns: their probes were cancelled by
    // the stop that ended it, and so were the echoes in flight, whose outcomes still come back.
    // The records their jobs and echoes refer to go after them.
    struct TPoolEnd {
        TNewThread& Thread;
        ~TPoolEnd() {
            // Jobs handed over from now on run where they are handed (stopped, they end at once).
            std::unique_ptr<TProbePool> pool;
            {
                std::lock_guard<std::mutex> guard(Thread.FPoolLock);
                pool = std::move(Thread.FPool);
            }
            pool.reset();
            {
                std::unique_lock<std::mutex> lock(Thread.FDone->Lock);
                Thread.FDone->Changed.wait(
                    lock, [this] { return Thread.FDone->EchoesOut == 0 && Thread.FDone->Awaited == 0; });
            }
            Thread.FInFlight.clear();
            Thread.FSpareSlots.clear();
            Thread.FDone->Ended.clear();
        }
    } poolEnd{*this};
    if (FPool && !MakeSpareSlots()) {
        return;
    }
    while (MonitoringActive.load()) {
        if (!WaitForCountdown()) {
            return;
        }
        // Clear the last pass's event queue and take the hosts of this pass in one call.
        std::vector<quint64> handles;
        if (!OnGuiThread([&] {
                if (FOwner.DownHostGrid().RowCount() > 0) {
                    FOwner.ClearEventQueue();
                }
                TDataGrid& hosts = FOwner.Hosts();
                handles.reserve(hosts.RowCount());
                for (int r = 0; r < hosts.RowCount(); ++r) {
                    handles.push_back(hosts.RowHandle(r));
                }
            })) {
            return;
        }
        if (!WalkHosts(handles)) {
            return;
        }
        if (!MonitoringActive.load()) {
            return;
        }
        EndOfPass();
        if (!WorkerDelay(FPauseMs)) {
            return;
        }
    }
}

bool TNewThread::MakeSpareSlots() {
    // Made while the first countdown runs: as many records as a pass can have in flight, which
    // later passes reuse. Made during the first pass instead, they cost it a heap that grows under
    // it, while the passes after it find them ready.
    int rows = 0;
    if (!OnGuiThread([&] { rows = FOwner.Hosts().RowCount(); })) {
        return false;
    }
    const std::size_t wanted = std::min<std::size_t>(
        std::size_t(rows), std::size_t(FBound) + std::size_t(EchoHostsInFlightBound(FBound)));
    FSpareSlots.reserve(wanted);
    while (FSpareSlots.size() < wanted && MonitoringActive.load()) {
        auto slot = std::make_unique<TInFlightHost>();
        slot->Engine = this;
        FSpareSlots.push_back(std::move(slot));
    }
    return MonitoringActive.load();
}

bool TNewThread::WaitForCountdown() {
    for (;;) {
        bool running = false;
        if (!OnGuiThread([&] { running = FOwner.PassCountdownRunning(); })) {
            return false;
        }
        if (!running) {
            return MonitoringActive.load();
        }
        if (!WorkerDelay(50)) {
            return false;
        }
    }
}

void TNewThread::EndOfPass() {
    // A failure of the dispatcher or the countdown is reported; it never ends this thread.
    Guarded("end of pass", [&] {
        OnGuiThread([&] {
            if (FOwner.DownHostGrid().RowCount() > 0) {
                Guarded("alarm dispatch", [&] { FOwner.DispatchAlarms(); });
            }
            FOwner.StartPassCountdown();
        });
    });
}

bool TNewThread::OnHostRow(quint64 Handle, const std::function<void(int Row)>& Step) {
    bool found = false;
    if (!OnGuiThread([&] {
            int row = FOwner.Hosts().RowByHandle(Handle);
            if (row < 0) {
                return;
            }
            found = true;
            FCurrentRow = row;
            Step(row);
        })) {
        return false;
    }
    return found;
}

void TNewThread::RunWrites(const std::vector<THostWriteBack>& Writes) {
    for (const THostWriteBack& write : Writes) {
        FStore.Run(write);
    }
}

void TNewThread::ShowProgress(int Line, const QString& Host) {
    // The status bar shows the latest text every 50 ms at most, so the text is built only when
    // that much time has passed since the last one, not for every probe. The first always shows.
    constexpr qint64 ShowEveryMs = 50;
    const qint64 now = FProgressClock.elapsed();
    qint64 due = FProgressDueMs.load(std::memory_order_relaxed);
    if (now < due || !FProgressDueMs.compare_exchange_strong(due, now + ShowEveryMs)) {
        return;
    }
    FOwner.ShowCheckProgress((Line < 0 ? QStringLiteral("Traffic check") : LangText(Line)) +
                             QLatin1Char(' ') + Host);
}

namespace {

// Hosts applied together in one call onto the GUI thread, at most.
constexpr std::size_t ApplyBatch = 64;

bool HasLateChecks(const THostSnapshot& Host) {
    return Host.SPingAlarm || Host.PortCheck;
}

// Whether the host's probes hold sockets of their own while in flight (HTTP or SNMP): those count
// against the socket-derived bound, a host with no probe but its echo against the echoes' one.
bool HoldsSockets(const THostSnapshot& Host) {
    return Host.HttpCheck || (Host.SnmpCheck && !Host.Comunity.isEmpty() && !Host.IP.isEmpty());
}

// Room to start a batch of hosts of one kind: none in flight, or at least Batch below the bound.
bool RoomForBatch(std::size_t InFlight, std::size_t Bound, std::size_t Batch) {
    return InFlight == 0 || (InFlight < Bound && Bound - InFlight >= Batch);
}

} // namespace

TNewThread::TNewThread(IEngineOwner& Owner, int PauseMs, int PingTimeoutMs)
    : FOwner(Owner), FStore(Owner.Database()), FPingTimeoutMs(PingTimeoutMs), FPauseMs(PauseMs),
      FDone(std::make_unique<TProbesDone>()) {
    FProgressClock.start();
}

TNewThread::~TNewThread() {
    FPool.reset();
}

std::unique_ptr<TInFlightHost> TNewThread::TakeSlot() {
    if (FSpareSlots.empty()) {
        auto slot = std::make_unique<TInFlightHost>();
        slot->Engine = this;
        return slot;
    }
    std::unique_ptr<TInFlightHost> slot = std::move(FSpareSlots.back());
    FSpareSlots.pop_back();
    return slot;
}

void TNewThread::QueueProbes(TInFlightHost& Slot, std::vector<TPoolJob>& Jobs) {
    const THostSnapshot& host = Slot.Host;
    Slot.Results.SnmpAsked = host.SnmpCheck && !host.Comunity.isEmpty() && !host.IP.isEmpty();
    TProbeKind kinds[2];
    int count = 0;
    if (host.HttpCheck) {
        kinds[count++] = TProbeKind::Http;
    }
    if (Slot.Results.SnmpAsked) {
        kinds[count++] = TProbeKind::Snmp;
    }
    if (count == 0 && !host.PingCheck) {
        // Nothing to ask: the host has ended already.
        Slot.Pending.store(0);
        std::lock_guard<std::mutex> guard(FDone->Lock);
        FDone->Ended.push_back(&Slot);
        return;
    }
    // Each probe only writes its own fields of the results; the count tells when all have ended.
    Slot.Pending.store(count + int(host.PingCheck));
    if (host.PingCheck) {
        StartEcho(Slot);
    }
    tQueueing = &Jobs;
    for (int i = 0; i < count; ++i) {
        StartAwaited(kinds[i], Slot);
    }
    tQueueing = nullptr;
}

void TNewThread::HandToWorker(TInFlightHost& Slot, std::function<void()> Job) {
    if (tQueueing) {
        tQueueing->push_back({&Slot, std::move(Job)});
        return;
    }
    {
        std::lock_guard<std::mutex> guard(FPoolLock);
        if (FPool) {
            FPool->Submit(std::move(Job), &Slot);
            return;
        }
    }
    Job();
}

void TNewThread::LeaveAwaited() {
    std::lock_guard<std::mutex> guard(FDone->Lock);
    if (--FDone->Awaited == 0) {
        FDone->Changed.notify_all();
    }
}

void TNewThread::StartAwaited(TProbeKind Kind, TInFlightHost& Slot) {
    const THostSnapshot& host = Slot.Host;
    ShowProgress(Kind == TProbeKind::Http ? LangLine::HttpProgress : LangLine::SnmpProgress, host.Host);
    {
        std::lock_guard<std::mutex> guard(FDone->Lock);
        ++FDone->Awaited;
    }
    // Left: the probe no longer waits on the probes' thread; Answered: its outcome was taken.
    struct TState {
        std::atomic<bool> Left{false};
        std::atomic<bool> Answered{false};
    };
    auto state = std::make_shared<TState>();
    TInFlightHost* slot = &Slot;
    auto leave = [this, state] {
        if (!state->Left.exchange(true)) {
            LeaveAwaited();
        }
    };
    auto done = [this, slot, Kind, state, leave](const std::string& Answer) {
        if (state->Answered.exchange(true)) {
            return;
        }
        Guarded("probe of one host", [&] { TakeAnswer(Kind, Answer, slot->Results); });
        ProbeEnded(*slot, false);
        leave();
    };
    auto run = [this, slot, done, leave](std::function<void()> Job) {
        HandToWorker(*slot, [Job = std::move(Job), done] {
            if (MonitoringActive.load()) {
                Guarded("probe of one host", Job);
            }
            // A job that ended without an outcome (stopped, or an exception) ends the probe empty.
            done({});
        });
        leave();
    };
    bool started = false;
    Guarded("probe of one host", [&] {
        if (Kind == TProbeKind::Http) {
            FOwner.Probes().HttpProbeAsync(host.IP.toStdString(), Slot.Results.Settings->Timeout_Spin * 5,
                                           run, done);
        } else {
            FOwner.Probes().SnmpGetAsync(host.IP.toStdString(), host.Comunity.toStdString(), SysDescrOid, run,
                                         done);
        }
        started = true;
    });
    // A probe that could not even start ends here, without an answer.
    if (!started) {
        done({});
    }
}

void TNewThread::TakeAnswer(TProbeKind Kind, const std::string& Answer, THostProbeResults& Results) {
    if (Kind == TProbeKind::Http) {
        Results.HttpProbe = QString::fromStdString(Answer);
        Results.HttpResult = IsHttpDown(Results.HttpProbe) ? QString() : Results.HttpProbe;
    } else {
        Results.SnmpReply = QString::fromStdString(Answer);
    }
}

void TNewThread::ProbeEnded(TInFlightHost& Slot, bool Echo) {
    const bool last = Slot.Pending.fetch_sub(1) == 1;
    if (!last && !Echo) {
        return;
    }
    // The last probe of the host hands it to the walk; the slot is not touched after this. The
    // walk's end waits for the echoes' count, so it is told while the lock is held.
    std::lock_guard<std::mutex> guard(FDone->Lock);
    bool wake = false;
    if (last) {
        FDone->Ended.push_back(&Slot);
        wake = FDone->Waiting;
        FDone->Waiting = false;
    }
    if (Echo) {
        wake = --FDone->EchoesOut == 0 || wake;
    }
    if (wake) {
        FDone->Changed.notify_all();
    }
}

void TNewThread::StartEcho(TInFlightHost& Slot) {
    ShowProgress(LangLine::IcmpProgress, Slot.Host.Host);
    Slot.EchoTaken.store(false);
    {
        std::lock_guard<std::mutex> guard(FDone->Lock);
        ++FDone->EchoesOut;
    }
    TInFlightHost* slot = &Slot;
    auto done = [slot](const TPingOutcome& Outcome) {
        if (slot->EchoTaken.exchange(true)) {
            return;
        }
        Guarded("probe of one host", [&] { TakeEcho(Outcome, slot->Results); });
        slot->Engine->ProbeEnded(*slot, true);
    };
    bool started = false;
    Guarded("probe of one host", [&] {
        FOwner.Probes().PingAsync(Slot.Host.IP.toStdString(), FPingTimeoutMs, done);
        started = true;
    });
    // An echo that could not even start ends here, as one without a reply.
    if (!started) {
        done(TPingOutcome{"Unknown error", -1, false});
    }
}

bool TNewThread::AwaitEnded(std::vector<TInFlightHost*>& Ended) {
    // The walk never runs a probe itself while it waits: a blocking one would keep it from
    // starting the next hosts as others end.
    std::unique_lock<std::mutex> lock(FDone->Lock);
    while (FDone->Ended.empty()) {
        if (!MonitoringActive.load()) {
            FDone->Waiting = false;
            return false;
        }
        FDone->Waiting = true;
        FDone->Changed.wait_for(lock, std::chrono::milliseconds(20));
    }
    FDone->Waiting = false;
    Ended.swap(FDone->Ended);
    return true;
}

bool TNewThread::WalkHosts(const std::vector<quint64>& Handles) {
    // Hosts are read ahead in blocks with one call onto the GUI thread each; a block older than
    // a second is read again, so a host is never probed with settings much older than that.
    constexpr qint64 FreshMs = 1000;
    std::deque<THostSnapshot> ahead;
    QElapsedTimer age;
    std::size_t next = 0;
    // The hosts started and not yet applied, in host order. A host whose probes ended with
    // nothing to apply leaves an empty entry, so what is held for a finished host is small and a
    // slow host at the head never keeps the hosts after it from starting: only the hosts whose
    // probes have not ended count against the bound.
    std::deque<std::unique_ptr<TInFlightHost>>& window = FInFlight;
    std::size_t headOrder = 0;
    std::size_t nextOrder = 0;
    // Hosts whose probes have not ended, at most: the bound for those with HTTP or SNMP probes,
    // whose sockets it keeps under the open-file limit, and a far larger one for hosts with only an
    // echo in flight, which holds neither a socket nor a thread, so that silent hosts waiting out
    // their time-out never keep the rest of the pass from starting. New hosts are started a quarter
    // of a bound at a time, so the pool is told of a batch of probes at once instead of being woken
    // for each.
    std::size_t inFlight = 0;
    std::size_t echoesInFlight = 0;
    const std::size_t bound = FPool ? std::size_t(FBound) : 1;
    const std::size_t refill = FPool ? std::max<std::size_t>(1, bound / 4) : 1;
    const std::size_t echoBound = FPool ? std::size_t(EchoHostsInFlightBound(FBound)) : 1;
    const std::size_t echoRefill = std::max<std::size_t>(1, echoBound / 4);
    const auto fits = [&](const THostSnapshot& Host) {
        return HoldsSockets(Host) ? inFlight < bound : echoesInFlight < echoBound;
    };
    // Whether a batch of the hosts ahead may start; while the next host's kind is not known yet,
    // room for either kind will do (reading it shows whether it fits).
    const auto roomToStart = [&] {
        if (next >= Handles.size()) {
            return false;
        }
        if (!ahead.empty() && age.elapsed() <= FreshMs && ahead.front().Present && ahead.front().Enabled) {
            return HoldsSockets(ahead.front()) ? RoomForBatch(inFlight, bound, refill)
                                               : RoomForBatch(echoesInFlight, echoBound, echoRefill);
        }
        return RoomForBatch(inFlight, bound, refill) || RoomForBatch(echoesInFlight, echoBound, echoRefill);
    };
    std::vector<TPoolJob> jobs;
    std::vector<TInFlightHost*> ready;
    std::vector<TInFlightHost*> ended;
    for (;;) {
        if (!MonitoringActive.load()) {
            return false;
        }
        // Start the probes of the hosts ahead while the bound has room; the pool runs them in
        // host order.
        const bool roomForBatch = FPool ? roomToStart() : window.empty();
        while (roomForBatch && next < Handles.size()) {
            if (ahead.empty() || age.elapsed() > FreshMs) {
                ahead.clear();
                if (!OnGuiThread([&] { ReadAhead(Handles, next, ahead); })) {
                    return false;
                }
                age.start();
            }
            // Hosts start in host order: one its bound has no room for waits, and so do those after it.
            if (FPool && ahead.front().Present && ahead.front().Enabled && !fits(ahead.front())) {
                break;
            }
            THostSnapshot host = std::move(ahead.front());
            ahead.pop_front();
            ++next;
            if (!host.Present || !host.Enabled) {
                continue;
            }
            std::unique_ptr<TInFlightHost> slot = TakeSlot();
            slot->Host = std::move(host);
            slot->Results = THostProbeResults();
            slot->Order = nextOrder++;
            slot->Ended = false;
            // One snapshot of the options for all of this host's steps, taken as its probes start:
            // a change made meanwhile applies to every host whose probes start after it.
            slot->Results.Settings = FOwner.Settings();
            TInFlightHost& started = *slot;
            window.push_back(std::move(slot));
            if (!FPool) {
                Guarded("probes of one host", [&] { ProbeHost(started.Host, started.Results); });
                started.Ended = true;
                break;
            }
            started.EchoOnly = !HoldsSockets(started.Host);
            ++(started.EchoOnly ? echoesInFlight : inFlight);
            QueueProbes(started, jobs);
        }
        if (FPool) {
            FPool->SubmitAll(jobs);
            {
                std::lock_guard<std::mutex> guard(FDone->Lock);
                ended.swap(FDone->Ended);
            }
            TakeEnded(ended, window, headOrder, inFlight, echoesInFlight);
        }
        // Entries of hosts that ended with nothing to apply leave the head.
        while (!window.empty() && !window.front()) {
            window.pop_front();
            ++headOrder;
        }
        if (window.empty()) {
            if (next >= Handles.size()) {
                break;
            }
            continue;
        }
        TInFlightHost& first = *window.front();
        if (!first.Ended) {
            // More hosts can start: they do before the walk waits for anything.
            if (roomToStart()) {
                continue;
            }
            if (!AwaitEnded(ended)) {
                return false;
            }
            TakeEnded(ended, window, headOrder, inFlight, echoesInFlight);
            continue;
        }
        if (!MonitoringActive.load()) {
            return false;
        }
        // The hosts right behind it whose probes have ended too, and that need no step beyond the
        // grid, are applied with it in one call onto the GUI thread.
        ready.assign(1, &first);
        std::size_t taken = 1;
        if (FPool && !HasLateChecks(first.Host)) {
            while (taken < window.size() && ready.size() < ApplyBatch &&
                   (!window[taken] || (window[taken]->Ended && !HasLateChecks(window[taken]->Host)))) {
                if (window[taken]) {
                    ready.push_back(window[taken].get());
                }
                ++taken;
            }
        }
        bool goOn = true;
        if (ready.size() > 1) {
            goOn = ApplyReadyHosts(ready);
        } else {
            // One bad row is reported and the pass goes on with the next host.
            Guarded("check of one host", [&] { goOn = CheckHost(first.Host, first.Results); });
        }
        // Applied: their records serve the next hosts.
        for (std::size_t i = 0; i < taken; ++i) {
            if (window.front()) {
                FSpareSlots.push_back(std::move(window.front()));
            }
            window.pop_front();
            ++headOrder;
        }
        if (!goOn) {
            return false;
        }
    }
    return MonitoringActive.load();
}

void TNewThread::TakeEnded(std::vector<TInFlightHost*>& Ended,
                           std::deque<std::unique_ptr<TInFlightHost>>& Window, std::size_t HeadOrder,
                           std::size_t& InFlight, std::size_t& EchoesInFlight) {
    for (TInFlightHost* slot : Ended) {
        --(slot->EchoOnly ? EchoesInFlight : InFlight);
        slot->Ended = true;
        // A host whose turn would change nothing gives its record back at once: applying it in
        // host order would do nothing either.
        if (!NeedsGridSteps(slot->Host, slot->Results)) {
            FSpareSlots.push_back(std::move(Window[slot->Order - HeadOrder]));
        }
    }
    Ended.clear();
}

THostSnapshot TNewThread::ReadSnapshot(quint64 Handle, const THostColumnIndexes& Columns) {
    THostSnapshot host;
    host.Handle = Handle;
    int row = FOwner.Hosts().RowByHandle(Handle);
    if (row < 0) {
        return host;
    }
    ReadHostRecord(FOwner.Hosts(), Columns, row, HostField::Pass, host);
    host.Present = true;
    return host;
}

void TNewThread::ReadAhead(const std::vector<quint64>& Handles, std::size_t From,
                           std::deque<THostSnapshot>& Ahead) {
    constexpr std::size_t Block = 256;
    const THostColumnIndexes columns(FOwner.Hosts());
    for (std::size_t i = From; i < Handles.size() && i - From < Block; ++i) {
        Ahead.push_back(ReadSnapshot(Handles[i], columns));
    }
}

void TNewThread::ProbeHost(const THostSnapshot& Host, THostProbeResults& Results) {
    // The network parts of echo, HTTP and SNMP; their grid steps run later, in that order, in one
    // call onto the GUI thread, which keeps the engine's own cost per host small.
    if (Host.PingCheck) {
        ProbeIcmp(Host, Results);
    }
    if (Host.HttpCheck && MonitoringActive.load()) {
        ProbeHttp(Host, Results);
    }
    if (Host.SnmpCheck && MonitoringActive.load()) {
        Results.SnmpAsked = ProbeSnmp(Host, Results);
    }
}

bool TNewThread::TakeResults(const THostSnapshot& Host, const THostProbeResults& Probed) {
    FSettings = Probed.Settings;
    // Every result starts empty for each host, so a check that is off this pass is never judged
    // by the previous host's answer.
    FHttpResult = Probed.HttpResult;
    FHttpProbe = Probed.HttpProbe;
    FPingError = Probed.PingError;
    FPingSkipped = Probed.PingSkipped;
    FSnmpReply = Probed.SnmpReply;
    return NeedsGridSteps(Host, Probed);
}

bool TNewThread::NeedsGridSteps(const THostSnapshot& Host, const THostProbeResults& Probed) {
    if (Host.SPingAlarm || Host.PortCheck) {
        return true;
    }
    THostPassResults results{Probed.HttpResult, Probed.PingError, Probed.SnmpReply, Probed.PingSkipped};
    // An echo that could not be sent is neither an answer nor a failure.
    THostSnapshot asked = Host;
    asked.PingCheck = Host.PingCheck && !Probed.PingSkipped;
    const bool nothingAsked = !asked.PingCheck && !Host.HttpCheck && !Host.SnmpCheck && Host.PingCheck;
    // A host that answered everything and was already OK in every respect changes nothing: its
    // grid steps are left out, so a healthy host costs no call onto the GUI thread.
    return !nothingAsked && MayChange(asked, results, Probed.SnmpAsked);
}

bool TNewThread::ApplyGridSteps(const THostSnapshot& Host, std::vector<THostWriteBack>& Writes,
                                std::optional<THostWriteBack>& Status) {
    int row = FOwner.Hosts().RowByHandle(Host.Handle);
    // A host disabled while its probes ran is skipped at its turn, as one read then would be.
    if (row < 0 || !FOwner.Hosts().Cell(FColumns->Enabled, row).GetAsBoolean()) {
        return false;
    }
    FCurrentRow = row;
    if (Host.PingCheck && !FPingSkipped) {
        ApplyIcmp(row, Writes);
    }
    if (Host.HttpCheck) {
        ApplyHttp(row, Writes);
    }
    if (FSnmpAsked) {
        ApplySnmp(row, Host, Writes);
    }
    if (!Host.SPingAlarm && !Host.PortCheck) {
        THostPassResults results{FHttpResult, FPingError, FSnmpReply, FPingSkipped};
        Status =
            UpdateHostStatus(FOwner.Hosts(), *FColumns, *FStatusWords, row, results, FSettings->ploss_spin);
    }
    return true;
}

bool TNewThread::ApplyReadyHosts(const std::vector<TInFlightHost*>& Ready) {
    struct TApplied {
        const TInFlightHost* Slot = nullptr;
        bool Present = false;
        std::vector<THostWriteBack> Writes;
        std::optional<THostWriteBack> Status;
    };
    std::vector<TApplied> applied;
    for (const TInFlightHost* slot : Ready) {
        if (NeedsGridSteps(slot->Host, slot->Results)) {
            applied.emplace_back().Slot = slot;
        }
    }
    if (applied.empty()) {
        return true;
    }
    // One call onto the GUI thread for the grid steps of all of them, in host order; no grid step
    // reads the database, so their SQL can follow in the same order.
    if (!OnGuiThread([&] {
            FColumns.emplace(FOwner.Hosts());
            FStatusWords.emplace();
            for (TApplied& host : applied) {
                Guarded("check of one host", [&] {
                    TakeResults(host.Slot->Host, host.Slot->Results);
                    FSnmpAsked = host.Slot->Results.SnmpAsked;
                    host.Present = ApplyGridSteps(host.Slot->Host, host.Writes, host.Status);
                });
            }
        })) {
        return false;
    }
    for (TApplied& host : applied) {
        Guarded("check of one host", [&] {
            RunWrites(host.Writes);
            if (host.Present && host.Status) {
                FStore.Run(*host.Status);
            }
        });
    }
    return MonitoringActive.load();
}

bool TNewThread::CheckHost(const THostSnapshot& Host, const THostProbeResults& Probed) {
    const quint64 Handle = Host.Handle;
    const bool lateChecks = Host.SPingAlarm || Host.PortCheck;
    if (!TakeResults(Host, Probed)) {
        return true;
    }
    FSnmpAsked = Probed.SnmpAsked;
    const int thresholdN = FSettings->ploss_spin;
    THostPassResults results{FHttpResult, FPingError, FSnmpReply, FPingSkipped};
    std::vector<THostWriteBack> writes;
    std::optional<THostWriteBack> status;
    bool present = false;
    if (!OnGuiThread([&] {
            FColumns.emplace(FOwner.Hosts());
            FStatusWords.emplace();
            present = ApplyGridSteps(Host, writes, status);
        })) {
        return false;
    }
    RunWrites(writes);
    if (!present) {
        return MonitoringActive.load();
    }
    if (!lateChecks) {
        if (status) {
            FStore.Run(*status);
        }
        return true;
    }
    if (Host.SPingAlarm && !CheckLatency(Handle, Host)) {
        return MonitoringActive.load();
    }
    if (Host.PortCheck && MonitoringActive.load() && !CheckTraffic(Handle, Host)) {
        return MonitoringActive.load();
    }
    if (!MonitoringActive.load()) {
        return false;
    }
    if (!OnGuiThread([&] {
            int row = FOwner.Hosts().RowByHandle(Handle);
            if (row >= 0) {
                status = UpdateHostStatus(FOwner.Hosts(), row, results, thresholdN);
            }
        })) {
        return false;
    }
    if (status) {
        FStore.Run(*status);
    }
    return true;
}

void TNewThread::Record(int Row, const QString& Text, int Colour, const char* Code,
                        std::vector<THostWriteBack>& Writes) {
    THostEventWrites w = QueueHostEvent(FOwner.Hosts(), FOwner.DownHostGrid(), Row, Text, Colour, Code,
                                        FSettings->Up_Sound_Edit);
    Writes.push_back(w.LogInsert);
    Writes.push_back(w.HostsUpdate);
}

void TNewThread::ProbeIcmp(const THostSnapshot& Host, THostProbeResults& Results) {
    ShowProgress(LangLine::IcmpProgress, Host.Host);
    TakeEcho(FOwner.Probes().Ping(Host.IP.toStdString(), FPingTimeoutMs), Results);
}

void TNewThread::TakeEcho(const TPingOutcome& outcome, THostProbeResults& Results) {
    Results.PingSkipped = outcome.Skipped;
    Results.PingError = EchoFailureText(QString::fromStdString(outcome.ErrorDesc), outcome.TimeMs,
                                        LangText(LangLine::EchoUnknownError));
}

void TNewThread::ApplyCountedCheck(int Row, const TCountedCheck& Check, std::vector<THostWriteBack>& Writes) {
    TDataGrid& hosts = FOwner.Hosts();
    TCell& status = hosts.Cell(Check.StatusColumn, Row);
    qint64 count = CellNumber(hosts, Check.CounterColumn, Row);
    if (Check.Failed) {
        SetCellNumber(hosts, Check.CounterColumn, Row, ++count);
    } else {
        if (count != 0) {
            SetCellNumber(hosts, Check.CounterColumn, Row, count = 0);
        }
        if (ContainsText(status.GetAsString(), Check.DownText)) {
            status.SetAsString(Check.UpStatus);
            Record(Row, Check.UpEvent, EventColourLime, "IU", Writes);
        }
    }
    if (count >= FSettings->ploss_spin && !ContainsText(status.GetAsString(), Check.DownText)) {
        status.SetAsString(Check.DownStatus);
        Record(Row, Check.DownStatus, EventColourRed, "ID", Writes);
    }
}

void TNewThread::ApplyIcmp(int Row, std::vector<THostWriteBack>& Writes) {
    const QString downText = LangText(LangLine::IcmpDown);
    const QString upText = LangText(LangLine::IcmpUp);
    ApplyCountedCheck(Row,
                      {FColumns->ICMP_Status, FColumns->ICMP_kol_vo_p, !FPingError.isEmpty(), downText,
                       upText, upText, downText + QLatin1Char(' ') + FPingError},
                      Writes);
}

void TNewThread::ProbeHttp(const THostSnapshot& Host, THostProbeResults& Results) {
    ShowProgress(LangLine::HttpProgress, Host.Host);
    // The HTTP time-out follows Timeout_Spin as it is for this host.
    Results.HttpProbe = QString::fromStdString(
        FOwner.Probes().HttpProbe(Host.IP.toStdString(), Results.Settings->Timeout_Spin * 5));
    Results.HttpResult = IsHttpDown(Results.HttpProbe) ? QString() : Results.HttpProbe;
}

void TNewThread::ApplyHttp(int Row, std::vector<THostWriteBack>& Writes) {
    const QString downText = LangText(LangLine::HttpDown);
    ApplyCountedCheck(Row,
                      {FColumns->Http_Status, FColumns->Http_Kol_vo, FHttpResult.isEmpty(), downText,
                       QStringLiteral("HTTP check ") + FHttpProbe,
                       LangText(LangLine::HttpUpEvent) + FHttpProbe,
                       downText + QLatin1Char(' ') + FHttpResult},
                      Writes);
}

bool TNewThread::ProbeSnmp(const THostSnapshot& Host, THostProbeResults& Results) {
    if (Host.Comunity.isEmpty() || Host.IP.isEmpty()) {
        return false;
    }
    ShowProgress(LangLine::SnmpProgress, Host.Host);
    Results.SnmpReply = QString::fromStdString(
        FOwner.Probes().SnmpGet(Host.IP.toStdString(), Host.Comunity.toStdString(), SysDescrOid));
    return true;
}

void TNewThread::ApplySnmp(int Row, const THostSnapshot& Host, std::vector<THostWriteBack>& Writes) {
    using namespace HostColumn;
    const QString downText = LangText(LangLine::SnmpDown);
    const QString upText = LangText(LangLine::SnmpUp);
    TDataGrid& hosts = FOwner.Hosts();
    TCell& status = hosts.Cell(FColumns->SNMP_Status, Row);
    qint64 count = CellNumber(hosts, FColumns->SNMP_kol_vo_p, Row);
    if (!FSnmpReply.isEmpty()) {
        if (count != 0) {
            SetCellNumber(hosts, FColumns->SNMP_kol_vo_p, Row, count = 0);
        }
    } else {
        SetCellNumber(hosts, FColumns->SNMP_kol_vo_p, Row, ++count);
    }
    auto edge = [&](const QString& text, int colour, const char* code) {
        Record(Row, text, colour, code, Writes);
        status.SetAsString(text);
        Writes.push_back(THostStore::ColumnWriteBack(SNMP_Status, text, Host.Kod));
    };
    if (count >= FSettings->ploss_spin && !ContainsText(status.GetAsString(), downText)) {
        edge(downText, EventColourRed, "SD");
    }
    if (count == 0 && ContainsText(status.GetAsString(), downText)) {
        edge(upText, EventColourLime, "SU");
    }
}

bool TNewThread::CheckLatency(quint64 Handle, const THostSnapshot& Host) {
    using namespace HostColumn;
    const int thresholdN = FSettings->ploss_spin;
    std::vector<qint64> samples;
    auto table = FOwner.Database().OpenResultTable(
        QStringLiteral("select * from Ping_data where ID_h=? order by id desc LIMIT ?"),
        {Host.Kod, thresholdN});
    for (; !table->AtEnd(); table->NextRow()) {
        samples.push_back(TextToInt64(table->FieldTextOrEmpty(2)));
    }
    TLatencyVerdict verdict = JudgeLatency(samples, Host.SpingKolVo);
    const QString problem = LangText(LangLine::LatencyProblem);
    auto eventText = [&](int wordLine) {
        return LangText(wordLine) + ' ' + LangText(LangLine::LatencyAverage) + ' ' +
               QString::number(verdict.Samples) + ' ' + LangText(LangLine::LatencySamples) + ' ' +
               QString::number(verdict.Average) + ' ' + LangText(LangLine::LatencyUnit);
    };
    std::vector<THostWriteBack> writes;
    bool present = OnHostRow(Handle, [&](int row) {
        TDataGrid& hosts = FOwner.Hosts();
        SetCellNumber(hosts, Avarage_Latency, row, verdict.Average);
        writes.push_back(
            THostStore::ColumnWriteBack(Avarage_Latency, QString::number(verdict.Average), Host.Kod));
        TCell& status = hosts.Cell(Latency_Status, row);
        if (verdict.AllOver) {
            qint64 count = CellNumber(hosts, Latency_kol_vo_p, row) + 1;
            SetCellNumber(hosts, Latency_kol_vo_p, row, count);
            writes.push_back(THostStore::ColumnWriteBack(Latency_kol_vo_p, Int64ToText(count), Host.Kod));
            if (count > thresholdN && !ContainsText(status.GetAsString(), problem)) {
                QString text = eventText(LangLine::LatencyProblem);
                Record(row, text, EventColourYellow, "LP", writes);
                status.SetAsString(text);
                writes.push_back(THostStore::ColumnWriteBack(Latency_Status, text, Host.Kod));
            }
            return;
        }
        SetCellNumber(hosts, Latency_kol_vo_p, row, 0);
        if (ContainsText(status.GetAsString(), problem)) {
            QString text = eventText(LangLine::LatencyNormal);
            status.SetAsString(text);
            Record(row, text, EventColourLime, "LU", writes);
        }
    });
    RunWrites(writes);
    return present;
}

bool TNewThread::CheckTraffic(quint64 Handle, const THostSnapshot& Host) {
    ShowProgress(-1, Host.Host);
    auto ports = FStore.SelectHostPorts(Host.Kod);
    for (; !ports->AtEnd(); ports->NextRow()) {
        if (ports->FieldTextOrEmpty(4) != QLatin1String("-1")) {
            continue;
        }
        const QString id = ports->FieldTextOrEmpty(0);
        const QString name = ports->FieldTextOrEmpty(3);
        if (ports->FieldTextOrEmpty(5) == QLatin1String("-1") &&
            !CheckTrafficDirection(Handle, id, name, true, ports->FieldTextOrEmpty(7),
                                   ports->FieldTextOrEmpty(9))) {
            return false;
        }
        if (ports->FieldTextOrEmpty(6) == QLatin1String("-1") &&
            !CheckTrafficDirection(Handle, id, name, false, ports->FieldTextOrEmpty(8),
                                   ports->FieldTextOrEmpty(10))) {
            return false;
        }
    }
    return true;
}

bool TNewThread::CheckTrafficDirection(quint64 Handle, const QString& PortId, const QString& PortName,
                                       bool Inbound, const QString& Threshold, const QString& Flag) {
    const QString rateColumn = Inbound ? QStringLiteral("Curr_traf_in") : QStringLiteral("Curr_traf_out");
    // Samples written within one second share a time; the id keeps their order.
    auto rates = FOwner.Database().OpenResultTable(QStringLiteral("Select ") + rateColumn +
                                                       QStringLiteral(" From traf_p where ID_p=? order by "
                                                                      "date_time desc, id desc limit 2"),
                                                   {PortId});
    qint64 newest = 0;
    qint64 previous = 0;
    if (!rates->AtEnd()) {
        newest = TextToInt64(rates->FieldTextOrEmpty(0));
        rates->NextRow();
        if (!rates->AtEnd()) {
            previous = TextToInt64(rates->FieldTextOrEmpty(0));
        }
    }
    qint64 threshold = TextToInt64(Threshold);
    if (previous == 0) {
        return true;
    }
    bool alarm = TrafficDropAlarm(previous, newest, threshold);
    if (!alarm) {
        if (Flag != QLatin1String("0")) {
            FStore.Run(THostStore::PortAlarmWriteBack(Inbound, QStringLiteral("0"), PortId));
        }
        return true;
    }
    if (Flag == QLatin1String("-1")) {
        return true;
    }
    FStore.Run(THostStore::PortAlarmWriteBack(Inbound, QStringLiteral("-1"), PortId));
    QString text = LangText(Inbound ? LangLine::InboundDrop : LangLine::OutboundDrop) + ' ' + PortName + ' ' +
                   LangText(LangLine::TrafficThreshold) + ' ' + Int64ToText(threshold) + QStringLiteral("%!");
    std::vector<THostWriteBack> writes;
    bool present = OnHostRow(Handle, [&](int row) { Record(row, text, EventColourYellow, "LP", writes); });
    RunWrites(writes);
    return present;
}
