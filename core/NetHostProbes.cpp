// Network probes over the protocol clients.
#include "core/NetHostProbes.h"

#include "net/SnmpQuery.h"
#include "net/blcksock.h"
#include "net/httpsend.h"
#include "net/pingloop.h"
#include "net/pingsend.h"

TNetHostProbes::TNetHostProbes()
    : FCancel(std::make_shared<TNetCancel>()), FEchoLoop(std::make_unique<TIcmpEchoLoop>()) {}

TNetHostProbes::~TNetHostProbes() = default;

std::shared_ptr<TNetCancel> TNetHostProbes::CurrentCancel() {
    std::lock_guard<std::mutex> guard(FLock);
    return FCancel;
}

void TNetHostProbes::CancelAll() {
    CurrentCancel()->Raise();
    FEchoLoop->Sweep();
    // GETs waiting for their agent end as well.
    std::lock_guard<std::mutex> guard(FAgentLock);
    for (auto& [name, agent] : FAgents) {
        agent.Free.notify_all();
    }
}

bool TNetHostProbes::TakeAgentSlot(const std::string& Agent, const TNetCancel& Cancel) {
    std::unique_lock<std::mutex> lock(FAgentLock);
    // The entry stays while anyone counts on it: it goes when its last GET ends and nobody waits.
    TAgent& agent = FAgents[Agent];
    ++agent.Waiting;
    // Each GET in flight ends within its time-out, and a cancel wakes this wait at once.
    agent.Free.wait(lock, [&] { return agent.Gets < SnmpGetsPerAgent || Cancel.Raised(); });
    --agent.Waiting;
    if (agent.Gets >= SnmpGetsPerAgent) {
        return false;
    }
    if (Cancel.Raised()) {
        if (agent.Gets == 0 && agent.Waiting == 0) {
            FAgents.erase(Agent);
        }
        return false;
    }
    ++agent.Gets;
    return true;
}

void TNetHostProbes::GiveAgentSlot(const std::string& Agent) {
    std::lock_guard<std::mutex> guard(FAgentLock);
    auto it = FAgents.find(Agent);
    TAgent& agent = it->second;
    --agent.Gets;
    if (agent.Waiting > 0) {
        agent.Free.notify_one();
    } else if (agent.Gets == 0) {
        FAgents.erase(it);
    }
}

void TNetHostProbes::ResetCancel() {
    // A fresh signal, so calls of the old run that still hold the raised one stay cancelled.
    std::lock_guard<std::mutex> guard(FLock);
    FCancel = std::make_shared<TNetCancel>();
}

TPingOutcome TNetHostProbes::Ping(const std::string& Host, int TimeoutMs) {
    TPINGSend ping;
    ping.Cancel = CurrentCancel();
    ping.Timeout = TimeoutMs;
    ping.Ping(Host);
    // Refused the socket itself: the echo never went out.
    const bool skipped = ping.SocketKind() == ISK_None && ping.LastError() == WSAEACCES;
    return {ping.ReplyErrorDesc(), ping.PingTime(), skipped};
}

TPingOutcome TNetHostProbes::EchoOutcome(const TIcmpEchoResult& Result) {
    if (Result.Answered) {
        return {ICMPErrorText(Result.Error), Result.RoundTripMs, false};
    }
    // Refused the socket itself: the echo never went out.
    const bool skipped = Result.Kind == ISK_None && Result.LastError == WSAEACCES;
    return {ICMPErrorText(IE_Other), -1, skipped};
}

void TNetHostProbes::PingAsync(const std::string& Host, int TimeoutMs,
                               std::function<void(const TPingOutcome&)> Done) {
    FEchoLoop->Start(Host, TimeoutMs, CurrentCancel(),
                     [Done = std::move(Done)](const TIcmpEchoResult& Result) { Done(EchoOutcome(Result)); });
}

std::string TNetHostProbes::HttpProbe(const std::string& Host, int TimeoutMs) {
    return ::HttpProbe(Host, TimeoutMs, CurrentCancel());
}

std::string TNetHostProbes::SnmpGet(const std::string& Host, const std::string& Community,
                                    const std::string& OID) {
    std::shared_ptr<TNetCancel> cancel = CurrentCancel();
    const std::string agent = Host + " " + FSnmpPort;
    if (!TakeAgentSlot(agent, *cancel)) {
        return {};
    }
    struct TSlot {
        TNetHostProbes& Probes;
        const std::string& Agent;
        ~TSlot() { Probes.GiveAgentSlot(Agent); }
    } slot{*this, agent};
    std::string result;
    SnmpQuery(Host, Community, OID, 160, result, FSnmpPort, 5000, std::move(cancel));
    return result;
}
