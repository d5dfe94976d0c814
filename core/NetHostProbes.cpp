// Network probes over the protocol clients.
#include "core/NetHostProbes.h"

#include "net/SnmpQuery.h"
#include "net/blcksock.h"
#include "net/httpsend.h"
#include "net/pingsend.h"

TNetHostProbes::TNetHostProbes() : FCancel(std::make_shared<TNetCancel>()) {}

TNetHostProbes::~TNetHostProbes() = default;

std::shared_ptr<TNetCancel> TNetHostProbes::CurrentCancel() {
    std::lock_guard<std::mutex> guard(FLock);
    return FCancel;
}

void TNetHostProbes::CancelAll() {
    CurrentCancel()->Raise();
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

std::string TNetHostProbes::HttpProbe(const std::string& Host, int TimeoutMs) {
    return ::HttpProbe(Host, TimeoutMs, CurrentCancel());
}

std::string TNetHostProbes::SnmpGet(const std::string& Host, const std::string& Community,
                                    const std::string& OID) {
    std::string result;
    SnmpQuery(Host, Community, OID, 160, result, FSnmpPort, 5000, CurrentCancel());
    return result;
}
