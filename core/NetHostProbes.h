// The real network side of the checks: one fresh client per request (ICMP echo, HTTP probe,
// SNMPv1 GET), all sharing one cancellation signal so stop ends every call in flight.
#pragma once

#include "core/MonitorInterfaces.h"

#include <memory>
#include <mutex>

class TNetCancel;

class TNetHostProbes : public IHostProbes {
public:
    TNetHostProbes();
    ~TNetHostProbes() override;
    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override;
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override;
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override;
    void CancelAll() override;
    void ResetCancel() override;
    // The SNMP port (tests use an agent on a private port).
    void SetSnmpPort(const std::string& Port) { FSnmpPort = Port; }

private:
    std::shared_ptr<TNetCancel> CurrentCancel();

    std::mutex FLock;
    std::shared_ptr<TNetCancel> FCancel;
    std::string FSnmpPort = "161";
};
