// Data of the tools window's charts, without a display: the hour of latency of a host, the hour of
// traffic of a monitored interface and the last minute of real-time traffic, read from the sampler's
// tables with bound statements and scaled for the axes. Stored times count local wall-clock seconds.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <vector>

class TSQLiteDatabase;

struct TChartPoint {
    qint64 WallSeconds = 0; // as stored
    double Value = 0;
};

// The local date-time a stored wall-clock time stands for (the axis position of a point).
QDateTime ChartWallTime(qint64 WallSeconds);
// The stored wall-clock seconds of a local date-time.
qint64 ChartWallSeconds(const QDateTime& Local);

// The bit-rate units, "Bit/s" to "YBit/s".
const QStringList& BitRateUnits();

// Scaling of a maximum in bit/s: divided by 1000 while strictly above 1000, at most eight times.
struct TBitRateScale {
    int Divisions = 0;
    double ScaledMax = 0;
    QString Unit;
    double Scale(double Bits) const;
};
TBitRateScale ScaleBitRate(double MaxBits);

// Latency axis maximum: Max + Max div 20, or Max + 1 below 20.
qint64 LatencyAxisMaximum(qint64 Max);
// Traffic axis maximum: round(Max) + round(Max) div 20.
qint64 TrafficAxisMaximum(double ScaledMax);

struct TLatencyChartData {
    std::vector<TChartPoint> Points; // ms, time order
    qint64 Max = 0;
    qint64 AxisMax = 1;
    qint64 StartSeconds = 0; // exclusive
    qint64 EndSeconds = 0;   // inclusive
};

// The hour (EndTime - 1 h, EndTime] of host HostId (its Kod_) from Ping_data; a reply that is no
// number (lost) is plotted at TimeoutMs.
TLatencyChartData LoadLatencyChart(TSQLiteDatabase& Database, const QString& HostId, const QDateTime& EndTime,
                                   int TimeoutMs);

struct TTrafficChartData {
    std::vector<TChartPoint> Out; // series 0, scaled
    std::vector<TChartPoint> In;  // series 1, scaled
    TBitRateScale Scale;
    qint64 AxisMax = 0; // hourly chart only
    qint64 StartSeconds = 0;
    qint64 EndSeconds = 0;
};

// The 60 minute slots ending at EndTime's minute of interface PortId (the m_port id) from traf_p:
// each row sits in the slot of its own minute; rows outside the hour are not read.
TTrafficChartData LoadTrafficChart(TSQLiteDatabase& Database, const QString& PortId,
                                   const QDateTime& EndTime);
// The last 60 s up to NowSeconds of realtime_traf_p (the axis maximum is left to the chart).
TTrafficChartData LoadRealtimeChart(TSQLiteDatabase& Database, const QString& PortId, qint64 NowSeconds);

// One real-time sample of an interface into realtime_traf_p. Query answers one SNMP GET (the value
// text, empty on failure); it may block and runs on the caller's thread.
struct TRealtimeTarget {
    QString PortId;
    QString Address;
    QString Community;
};
using TRealtimeQuery =
    std::function<QString(const QString& Address, const QString& Community, const QString& OID)>;
// Returns false when the interface is not in m_port.
bool RealtimeSample(TSQLiteDatabase& Database, const TRealtimeTarget& Target, const TRealtimeQuery& Query,
                    qint64 NowSeconds);
// The rate of one direction by the sampling rule; Last is the last stored rate.
qint64 RealtimeRate(qint64 Current, qint64 Previous, qint64 Elapsed, qint64 SpeedBits, qint64 Last);

// Page 6 "OK": the interface's traffic alarm settings; errors swallowed.
void StoreTrafficAlarm(TSQLiteDatabase& Database, const QString& PortId, bool InAlarm, bool OutAlarm,
                       int InPercent, int OutPercent);
struct TTrafficAlarm {
    bool InAlarm = false;
    bool OutAlarm = false;
    int InPercent = 50;
    int OutPercent = 50;
};
// What "View" loads back; false when the interface is unknown.
bool LoadTrafficAlarm(TSQLiteDatabase& Database, const QString& PortId, TTrafficAlarm& Alarm);
// "delete from realtime_traf_p"; errors swallowed.
void ClearRealtimeTraffic(TSQLiteDatabase& Database);

// Page 8's OID presets: item 1-6 give the OID ("X" stays for the user), any other item nothing.
QString SnmpChartPresetOid(int Item);
