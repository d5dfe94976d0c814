// Network probes over the protocol clients.
#include "core/NetHostProbes.h"

#include "net/SnmpQuery.h"
#include "net/blcksock.h"
#include "net/httpsend.h"
#include "net/pingloop.h"
#include "net/pingsend.h"
#include "net/snmpsend.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A plain IPv4 address text (nothing a URL or a lookup would read differently).
bool NumericIPv4(const std::string& Host, sockaddr_in& Sin, int Port) {
    Sin = sockaddr_in{};
    if (Port <= 0 || Port > 65535 || ::inet_pton(AF_INET, Host.c_str(), &Sin.sin_addr) != 1) {
        return false;
    }
    Sin.sin_family = AF_INET;
    Sin.sin_port = htons(static_cast<uint16_t>(Port));
    return true;
}

// The HTTP probe's exchange over a connection made already: the client takes it as its kept-alive
// connection to Host, so the request and the answer are the blocking probe's own.
std::string HttpProbeOver(int Fd, const std::string& Host, int TimeoutMs, int LeftMs,
                          std::shared_ptr<TNetCancel> Cancel) {
    THTTPSend http;
    http.Cancel = std::move(Cancel);
    http.Timeout = TimeoutMs;
    http.TotalTimeout = LeftMs;
    http.MaxBodySize = HttpProbeBodyLimit;
    http.Sock.SetSocket(Fd);
    http.AliveHost = Host;
    http.AlivePort = "80";
    http.ExecuteMethod("GET", Host);
    return std::to_string(http.ResultCode) + " " + http.ResultString;
}

// What the probe answers when no connection could be made.
const std::string NoConnection = "500 ";

} // namespace

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

void TNetHostProbes::HttpProbeAsync(const std::string& Host, int TimeoutMs, TRunBlocking Run,
                                    std::function<void(const std::string&)> Done) {
    sockaddr_in to{};
    const int fd = NumericIPv4(Host, to, 80) && TimeoutMs > 0
                       ? ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)
                       : -1;
    if (fd < 0) {
        return IHostProbes::HttpProbeAsync(Host, TimeoutMs, std::move(Run), std::move(Done));
    }
    std::shared_ptr<TNetCancel> cancel = CurrentCancel();
    const int64_t begun = NowMs();
    auto connected = [fd, Host, TimeoutMs, begun, cancel, Run = std::move(Run),
                      Done = std::move(Done)](int Revents) {
        int error = 0;
        socklen_t length = sizeof error;
        const int left = TimeoutMs - static_cast<int>(NowMs() - begun);
        if (Revents <= 0 || (Revents & POLLNVAL) ||
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0 || left <= 0) {
            ::close(fd);
            Done(NoConnection);
            return;
        }
        // The connection is the job's: closed with it when it never runs.
        std::shared_ptr<int> owned(new int(fd), [](int* Fd) {
            if (*Fd >= 0) {
                ::close(*Fd);
            }
            delete Fd;
        });
        Run([owned, Host, TimeoutMs, left, cancel, Done] {
            Done(HttpProbeOver(std::exchange(*owned, -1), Host, TimeoutMs, left, cancel));
        });
    };
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        connected(POLLOUT);
    } else if (errno == EINPROGRESS) {
        FEchoLoop->Watch(fd, POLLOUT, TimeoutMs, cancel, std::move(connected));
    } else {
        connected(0);
    }
}

// One SNMP GET awaited on the loop: a fresh socket connected to the agent, the request once, and
// the first answer whose request-id is the request's, as the one-shot GET takes it.
struct TNetHostProbes::TAwaitedGet : std::enable_shared_from_this<TAwaitedGet> {
    TNetHostProbes* Probes = nullptr;
    TIcmpEchoLoop* Loop = nullptr;
    std::string Agent;
    int Fd = -1;
    int Id = 0;
    int64_t Deadline = 0;
    std::shared_ptr<TNetCancel> Cancel;
    std::function<void(const std::string&)> Done;

    void Await() {
        auto self = shared_from_this();
        const int left = static_cast<int>(Deadline - NowMs());
        if (left <= 0) {
            return End({});
        }
        Loop->Watch(Fd, POLLIN, left, Cancel, [self](int Revents) { self->Ready(Revents); });
    }

    void Ready(int Revents) {
        if (Revents <= 0) {
            return End({});
        }
        char space[65536];
        for (;;) {
            const ssize_t n = ::recv(Fd, space, sizeof space, MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    return Await();
                }
                // A refusal (or any error) of the connected socket ends the wait, as it ends the GET's.
                return End({});
            }
            TSNMPRec reply;
            try {
                if (!reply.DecodePacket(std::string(space, static_cast<std::size_t>(n))) ||
                    reply.RequestID != Id) {
                    continue;
                }
                const TSNMPMib* mib = reply.VarBindAt(0);
                return End(mib ? mib->Value : std::string());
            } catch (...) {
                return End({});
            }
        }
    }

    void End(const std::string& Result) {
        ::close(Fd);
        Fd = -1;
        Probes->GiveAwaitedSlot(Agent);
        auto done = std::move(Done);
        done(Result);
    }
};

bool TNetHostProbes::TryTakeAwaitedSlot(const std::string& Agent) {
    std::lock_guard<std::mutex> guard(FAgentLock);
    if (FAwaited >= SnmpGetsAwaited) {
        return false;
    }
    TAgent& agent = FAgents[Agent];
    if (agent.Gets >= SnmpGetsPerAgent) {
        return false;
    }
    ++agent.Gets;
    ++FAwaited;
    return true;
}

void TNetHostProbes::GiveAwaitedSlot(const std::string& Agent) {
    {
        std::lock_guard<std::mutex> guard(FAgentLock);
        --FAwaited;
    }
    GiveAgentSlot(Agent);
}

void TNetHostProbes::SnmpGetAsync(const std::string& Host, const std::string& Community,
                                  const std::string& OID, TRunBlocking Run,
                                  std::function<void(const std::string&)> Done) {
    sockaddr_in to{};
    const std::string agent = Host + " " + FSnmpPort;
    if (!NumericIPv4(Host, to, std::atoi(FSnmpPort.c_str())) || !TryTakeAwaitedSlot(agent)) {
        return IHostProbes::SnmpGetAsync(Host, Community, OID, std::move(Run), std::move(Done));
    }
    auto get = std::make_shared<TAwaitedGet>();
    get->Probes = this;
    get->Loop = FEchoLoop.get();
    get->Agent = agent;
    get->Cancel = CurrentCancel();
    get->Done = std::move(Done);
    get->Deadline = NowMs() + 5000;
    std::string request;
    try {
        TSNMPRec query;
        query.ResetRecord();
        query.Community = Community;
        query.PDUType = 160;
        query.AddVarBind(OID, "", 5);
        get->Id = query.RequestID;
        request = query.EncodePacket();
    } catch (...) {
        request.clear();
    }
    get->Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (get->Fd < 0) {
        GiveAwaitedSlot(agent);
        auto done = std::move(get->Done);
        return done({});
    }
    if (request.empty() || ::connect(get->Fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
        ::send(get->Fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
        return get->End({});
    }
    get->Await();
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
