// One-shot SNMP query: a fresh client per call, so any thread may call it at any time.
#include "net/SnmpQuery.h"

#include "net/snmpsend.h"

void SnmpQuery(const std::string& Host, const std::string& Community, const std::string& OID, int PDUType,
               std::string& Result, const std::string& Port, int TimeoutMs,
               std::shared_ptr<TNetCancel> Cancel) {
    Result.clear();
    try {
        TSNMPSend Snmp;
        Snmp.Timeout = TimeoutMs;
        Snmp.TargetPort = Port;
        Snmp.Cancel = std::move(Cancel);
        Snmp.Query.ResetRecord();
        Snmp.TargetHost = Host;
        Snmp.Query.Community = Community;
        Snmp.Query.PDUType = PDUType;
        Snmp.Query.AddVarBind(OID, "", 5);
        if (!Snmp.ExecuteRequest())
            return;
        if (const TSNMPMib* Mib = Snmp.Reply.VarBindAt(0))
            Result = Mib->Value;
    } catch (...) {
        Result.clear();
    }
}

void SnmpQuery(const std::string& Host, const std::string& Community, const std::string& OID, int PDUType,
               std::string& Result) {
    SnmpQuery(Host, Community, OID, PDUType, Result, "161", 5000, nullptr);
}
