// The one-shot SNMP read behind every SNMP value the program shows or checks: one SNMPv1 GET or
// GETNEXT of one OID with a fresh client; the value text or empty text, never an exception.
#pragma once

#include "net/blcksock.h"

#include <memory>
#include <string>

// Result is the value text of the answer's first binding (bytes for an OCTET STRING), or empty when
// nothing usable arrived within 5000 ms on UDP port 161. PDUType is 160 (GET) or 161 (GETNEXT).
void SnmpQuery(const std::string& Host, const std::string& Community, const std::string& OID, int PDUType,
               std::string& Result);

// The same with the agent's port and the time-out given, and a cancel signal that, when raised from
// another thread, ends the wait at once (Result is then empty).
void SnmpQuery(const std::string& Host, const std::string& Community, const std::string& OID, int PDUType,
               std::string& Result, const std::string& Port, int TimeoutMs = 5000,
               std::shared_ptr<TNetCancel> Cancel = nullptr);
