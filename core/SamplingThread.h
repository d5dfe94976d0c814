// The sampling thread: about once a minute it walks the enabled hosts and stores the octet
// counters and byte rates of their monitored interfaces in traf_p, and one echo time per
// latency-sampled host in Ping_data. The counter reads and echoes of many hosts run side by side
// on a bounded pool; the rows are stored in host order, as a walk of one host after another would.
#pragma once

#include "core/HostStore.h"
#include "core/MonitorInterfaces.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class IEngineOwner;
class TSQLiteDatabase;

// Inserts one traffic sample; a failure is ignored.
void InsertTrafficSample(TSQLiteDatabase& Database, const QString& PortId, qint64 InCounter,
                         qint64 OutCounter, qint64 InRate, qint64 OutRate);

class TProbePool;

class TPort_Monitoring_Thread {
public:
    explicit TPort_Monitoring_Thread(IEngineOwner& Owner);
    ~TPort_Monitoring_Thread();
    void Execute();

    // What the sampler reads of one enabled host at the start of a walk.
    struct TSampledHost {
        bool PortCheck;
        bool PingCheck;
        QString IP;
        QString Community;
        QString Kod;
    };
    // The answers of one monitored interface, read before its rows are stored.
    struct TSampledPort {
        QString Id;
        qint64 SpeedMbit = 0;
        bool Baseline = false; // traf_p held no row: the first reads are its baseline
        qint64 BaseIn = 0;
        qint64 BaseOut = 0;
        qint64 In = 0;
        qint64 Out = 0;
    };
    // One host of a walk: its reads, then (in host order) its rows.
    struct THostSample {
        TSampledHost Host;
        std::vector<TSampledPort> Ports; // the interfaces read completely, in m_port order
        TPingOutcome Echo;
        bool Echoed = false;
        int Pending = 0; // reads still running, under the walk's lock
    };

private:
    struct TReadsDone;
    bool Walk();
    // The network reads of one host: the interface counters, then (or beside them) the echo.
    void StartReads(const std::shared_ptr<THostSample>& Sample, const std::shared_ptr<TReadsDone>& Done);
    void ReadPorts(THostSample& Sample);
    void ReadEcho(THostSample& Sample);
    // Stores one host's rows; false when monitoring stopped or the GUI closed.
    bool StoreHost(const THostSample& Sample, bool RestartWindow);
    void StoreInterface(const TSampledPort& Port);
    // The counter's value, the low 32 bits kept; 0 when the read failed or is not a number.
    qint64 ReadCounter(const QString& Host, const QString& Community, const QString& Oid);
    qint64 PreviousRate(const QString& PortId, const char* Column);

    IEngineOwner& FOwner;
    THostStore FStore;
    int FBound = 1;
    std::unique_ptr<TProbePool> FPool;
};
