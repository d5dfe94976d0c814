// The SNMP utility of the tools window: one query whose value becomes one line, and switching an
// interface on or off with a SET of its ifAdminStatus.
#pragma once

#include "core/InterfaceWalk.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class TNetCancel;
class TToolJob;

class TSNMP_util_Thread {
public:
    // Clear empties the result memo, AddLine adds the result; both run on the GUI thread.
    TSNMP_util_Thread(TSnmpAgent Agent, std::string Oid, int PduType, std::function<void()> Clear,
                      std::function<void(const QString&)> AddLine);

    // Clears, queries (the value, empty on any failure), adds the one line.
    void Execute(TToolJob& Job);

private:
    TSnmpAgent FAgent;
    std::string FOid;
    int FPduType;
    std::function<void()> FClear;
    std::function<void(const QString&)> FAddLine;
};

// SET of "1.3.6.1.2.1.2.2.1.7." + Index to INTEGER "1" (Up) or "2"; true only when the agent
// accepted it (error-status 0).
bool SetInterfaceAdminStatus(const TSnmpAgent& Agent, const QString& Index, bool Up,
                             std::shared_ptr<TNetCancel> Cancel);

// What the operator is told after "Enable port" (lines 400 and 401) or "Disable port".
QString PortSwitchMessage(bool Enable, bool Accepted);
