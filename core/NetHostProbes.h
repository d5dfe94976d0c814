// The real network side of the checks: one fresh client per request (ICMP echo, HTTP probe,
// SNMPv1 GET), all sharing one cancellation signal so stop ends every call in flight. Asynchronous
// echoes share the sockets and the one thread of an echo loop instead.
#pragma once

#include "core/MonitorInterfaces.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class TNetCancel;
class TIcmpEchoLoop;
struct TIcmpEchoResult;

class TNetHostProbes : public IHostProbes {
public:
    TNetHostProbes();
    ~TNetHostProbes() override;
    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override;
    void PingAsync(const std::string& Host, int TimeoutMs,
                   std::function<void(const TPingOutcome&)> Done) override;
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override;
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override;
    // A numeric IPv4 host's connection is made, and its GET's answer awaited, on the echo loop's
    // thread; only the exchange over a connection made goes to Run. Anything else goes to Run whole.
    void HttpProbeAsync(const std::string& Host, int TimeoutMs, TRunBlocking Run,
                        std::function<void(const std::string&)> Done) override;
    void SnmpGetAsync(const std::string& Host, const std::string& Community, const std::string& OID,
                      TRunBlocking Run, std::function<void(const std::string&)> Done) override;
    void CancelAll() override;
    void ResetCancel() override;
    // The SNMP port (tests use an agent on a private port).
    void SetSnmpPort(const std::string& Port) { FSnmpPort = Port; }

    // GETs one agent is asked at once, at most: an agent takes requests from a receive queue of a
    // few hundred datagrams and drops the rest, and the one-shot GET never repeats a request, so a
    // burst at one agent (many hosts of one address) would count answering hosts as failed.
    static constexpr int SnmpGetsPerAgent = 64;
    // GETs awaited on the loop at once, at most (beyond that they wait on a worker): agents behind one
    // receive queue (one process bound to many addresses) lose a larger burst.
    static constexpr int SnmpGetsAwaited = 256;

    // What Ping returns for an echo's result.
    static TPingOutcome EchoOutcome(const TIcmpEchoResult& Result);

private:
    std::shared_ptr<TNetCancel> CurrentCancel();
    // False when the probes were cancelled while the agent was busy.
    bool TakeAgentSlot(const std::string& Agent, const TNetCancel& Cancel);
    // The same without waiting, within SnmpGetsAwaited: false when the agent or the loop is full.
    bool TryTakeAwaitedSlot(const std::string& Agent);
    void GiveAwaitedSlot(const std::string& Agent);
    struct TAwaitedGet;
    void GiveAgentSlot(const std::string& Agent);

    std::mutex FLock;
    std::shared_ptr<TNetCancel> FCancel;
    std::string FSnmpPort = "161";
    // Per agent address and port with GETs in flight, under FAgentLock: a GET that ends hands its
    // place to one GET waiting for the same agent.
    struct TAgent {
        int Gets = 0;
        int Waiting = 0;
        std::condition_variable Free;
    };
    std::mutex FAgentLock;
    std::map<std::string, TAgent> FAgents;
    int FAwaited = 0;
    // Last: it ends its echoes (their Done runs) before the rest goes.
    std::unique_ptr<TIcmpEchoLoop> FEchoLoop;
};
