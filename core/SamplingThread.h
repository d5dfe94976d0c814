// The sampling thread: about once a minute it walks the enabled hosts and stores the octet
// counters and byte rates of their monitored interfaces in traf_p, and one echo time per
// latency-sampled host in Ping_data.
#pragma once

#include "core/HostStore.h"

#include <QString>
#include <QtGlobal>

class IEngineOwner;
class TSQLiteDatabase;

// Inserts one traffic sample; a failure is ignored.
void InsertTrafficSample(TSQLiteDatabase& Database, const QString& PortId, qint64 InCounter,
                         qint64 OutCounter, qint64 InRate, qint64 OutRate);

class TPort_Monitoring_Thread {
public:
    explicit TPort_Monitoring_Thread(IEngineOwner& Owner);
    void Execute();

private:
    // What the sampler reads of one enabled host at the start of a walk.
    struct TSampledHost {
        bool PortCheck;
        bool PingCheck;
        QString IP;
        QString Community;
        QString Kod;
    };
    bool Walk();
    bool SampleHost(const TSampledHost& Host, bool RestartWindow);
    void SampleInterface(const QString& Host, const QString& Community, const QString& PortId,
                         const QString& Index, qint64 SpeedMbit);
    // The counter's value, the low 32 bits kept; 0 when the read failed or is not a number.
    qint64 ReadCounter(const QString& Host, const QString& Community, const QString& Oid);
    qint64 PreviousRate(const QString& PortId, const char* Column);

    IEngineOwner& FOwner;
    THostStore FStore;
};
