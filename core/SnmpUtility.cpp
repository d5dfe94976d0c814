// The SNMP utility's query and the interface switch; network on the worker, memo steps on the GUI.
#include "core/SnmpUtility.h"

#include "core/LangTexts.h"
#include "core/ToolWorkers.h"
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"

TSNMP_util_Thread::TSNMP_util_Thread(TSnmpAgent Agent, std::string Oid, int PduType,
                                     std::function<void()> Clear, std::function<void(const QString&)> AddLine)
    : FAgent(std::move(Agent)), FOid(std::move(Oid)), FPduType(PduType), FClear(std::move(Clear)),
      FAddLine(std::move(AddLine)) {}

void TSNMP_util_Thread::Execute(TToolJob& Job) {
    if (!Job.Gui(FClear))
        return;
    std::string value;
    SnmpQuery(FAgent.Host, FAgent.Community, FOid, FPduType, value, FAgent.Port, FAgent.TimeoutMs,
              Job.Cancel());
    const QString line = QString::fromStdString(value);
    Job.Gui([&] { FAddLine(line); });
}

bool SetInterfaceAdminStatus(const TSnmpAgent& Agent, const QString& Index, bool Up,
                             std::shared_ptr<TNetCancel> Cancel) {
    return SnmpSetValue(IfAdminStatusOid + Index.toStdString(), Agent.Community, Agent.Host, 2,
                        Up ? "1" : "2", Agent.Port, Agent.TimeoutMs, std::move(Cancel));
}

QString PortSwitchMessage(bool Enable, bool Accepted) {
    if (Enable)
        return LangText(Accepted ? 400 : 401);
    return Accepted ? QStringLiteral("Port has been down successfully.")
                    : QStringLiteral("Port has NOT been disabled.");
}
