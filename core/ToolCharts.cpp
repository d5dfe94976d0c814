// Chart data of the tools window. Stored times are decimal text of local wall-clock seconds (ten
// digits for every time after 2001), bound as text so the (id, date_time) indexes serve the bounds.
#include "core/ToolCharts.h"

#include "core/ExceptionGuard.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"

#include <cmath>

namespace {

const QDateTime WallEpoch(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);

QString BoolText(bool Value) {
    return Value ? QStringLiteral("-1") : QStringLiteral("0");
}

bool StrictInt(const QString& Text, qint64& Value) {
    bool ok = false;
    Value = Text.trimmed().toLongLong(&ok);
    return ok;
}

// The unsigned low 32 bits of a counter text; false for no number.
bool Counter32(const QString& Text, qint64& Value) {
    bool ok = false;
    qulonglong v = Text.trimmed().toULongLong(&ok);
    if (!ok)
        return false;
    Value = qint64(v & 0xFFFFFFFFull);
    return true;
}

TTrafficChartData ReadTraffic(TSQLiteDatabase& Database, const QString& Table, const QString& PortId,
                              qint64 From, qint64 To) {
    TTrafficChartData data;
    data.StartSeconds = From;
    data.EndSeconds = To;
    std::unique_ptr<TSQLiteTable> rows;
    try {
        rows = Database.OpenResultTable(
            QStringLiteral("select date_time, Curr_traf_out, Curr_traf_in from ") + Table +
                QStringLiteral(" where ID_p=? and date_time>=? and date_time<=?"
                               " order by date_time, id"),
            {PortId, Int64ToText(From), Int64ToText(To)});
    } catch (const ESQLiteException&) {
        return data;
    }
    qint64 max = 0;
    std::vector<std::pair<qint64, std::pair<qint64, qint64>>> raw;
    raw.reserve(size_t(rows->RowCount()));
    for (; !rows->AtEnd(); rows->NextRow()) {
        qint64 time = 0;
        if (!StrictInt(rows->FieldTextOrEmpty(0), time))
            continue;
        qint64 out = TextToInt64(rows->FieldTextOrEmpty(1));
        qint64 in = TextToInt64(rows->FieldTextOrEmpty(2));
        max = std::max({max, in, out});
        raw.push_back({time, {out, in}});
    }
    data.Scale = ScaleBitRate(double(max) * 8);
    for (const auto& [time, rates] : raw) {
        data.Out.push_back({time, data.Scale.Scale(double(rates.first) * 8)});
        data.In.push_back({time, data.Scale.Scale(double(rates.second) * 8)});
    }
    return data;
}

qint64 LastRate(TSQLiteDatabase& Database, const QString& PortId, const char* Column) {
    auto table = Database.OpenResultTable(
        QStringLiteral("select ") + QLatin1String(Column) +
            QStringLiteral(" from realtime_traf_p where ID_p=? order by id desc limit 1"),
        {PortId});
    return table->AtEnd() ? 0 : TextToInt64(table->FieldTextOrEmpty(0));
}

void InsertRealtime(TSQLiteDatabase& Database, const QString& PortId, qint64 In, qint64 Out, qint64 Now,
                    qint64 InRate, qint64 OutRate) {
    Database.ExecuteStatement(
        QStringLiteral("insert into realtime_traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,"
                       "curr_traf_out) values(?,?,?,?,?,?)"),
        {PortId, Int64ToText(In), Int64ToText(Out), Int64ToText(Now), Int64ToText(InRate),
         Int64ToText(OutRate)});
}

} // namespace

QDateTime ChartWallTime(qint64 WallSeconds) {
    // The wall clock's fields, read back as a local time: no zone offset enters.
    QDateTime wall = WallEpoch.addSecs(WallSeconds);
    return QDateTime(wall.date(), wall.time());
}

qint64 ChartWallSeconds(const QDateTime& Local) {
    QDateTime local = Local.toLocalTime();
    return WallEpoch.secsTo(QDateTime(local.date(), local.time(), Qt::UTC));
}

const QStringList& BitRateUnits() {
    static const QStringList units = {"Bit/s",  "KBit/s", "MBit/s", "GBit/s", "TBit/s",
                                      "PBit/s", "EBit/s", "ZBit/s", "YBit/s"};
    return units;
}

double TBitRateScale::Scale(double Bits) const {
    for (int i = 0; i < Divisions; ++i)
        Bits /= 1000;
    return Bits;
}

TBitRateScale ScaleBitRate(double MaxBits) {
    TBitRateScale scale;
    scale.ScaledMax = MaxBits;
    while (scale.ScaledMax > 1000 && scale.Divisions < 8) {
        scale.ScaledMax /= 1000;
        ++scale.Divisions;
    }
    scale.Unit = BitRateUnits()[scale.Divisions];
    return scale;
}

qint64 LatencyAxisMaximum(qint64 Max) {
    return Max < 20 ? Max + 1 : Max + Max / 20;
}

qint64 TrafficAxisMaximum(double ScaledMax) {
    qint64 rounded = qint64(std::llround(ScaledMax));
    return rounded + rounded / 20;
}

TLatencyChartData LoadLatencyChart(TSQLiteDatabase& Database, const QString& HostId, const QDateTime& EndTime,
                                   int TimeoutMs) {
    TLatencyChartData data;
    data.EndSeconds = ChartWallSeconds(EndTime);
    data.StartSeconds = data.EndSeconds - 3600;
    try {
        // As text: read by its declared type a lost reply's text would count as 0.
        auto rows =
            Database.OpenResultTable(QStringLiteral("select cast(Timeout as text), date_time from Ping_data "
                                                    "where ID_h=? and date_time>? and date_time<=?"
                                                    " order by date_time, id"),
                                     {HostId, Int64ToText(data.StartSeconds), Int64ToText(data.EndSeconds)});
        for (; !rows->AtEnd(); rows->NextRow()) {
            qint64 time = 0;
            if (!StrictInt(rows->FieldTextOrEmpty(1), time))
                continue;
            qint64 value = 0;
            if (!StrictInt(rows->FieldTextOrEmpty(0), value))
                value = TimeoutMs;
            data.Max = std::max(data.Max, value);
            data.Points.push_back({time, double(value)});
        }
    } catch (const ESQLiteException&) {
        ReportCurrentException("LoadLatencyChart");
    }
    data.AxisMax = LatencyAxisMaximum(data.Max);
    return data;
}

TTrafficChartData LoadTrafficChart(TSQLiteDatabase& Database, const QString& PortId,
                                   const QDateTime& EndTime) {
    const qint64 end = ChartWallSeconds(EndTime);
    // Slot k is the clock minute of EndTime - k minutes, k = 59 .. 0.
    const qint64 firstSlot = (end / 60 - 59) * 60;
    TTrafficChartData data = ReadTraffic(Database, QStringLiteral("traf_p"), PortId, firstSlot, end);
    data.AxisMax = TrafficAxisMaximum(data.Scale.ScaledMax);
    return data;
}

TTrafficChartData LoadRealtimeChart(TSQLiteDatabase& Database, const QString& PortId, qint64 NowSeconds) {
    return ReadTraffic(Database, QStringLiteral("realtime_traf_p"), PortId, NowSeconds - 60, NowSeconds);
}

qint64 RealtimeRate(qint64 Current, qint64 Previous, qint64 Elapsed, qint64 SpeedBits, qint64 Last) {
    qint64 rate = Last;
    if (Current > 0 && Previous > 0 && Current >= Previous) {
        qint64 candidate = (Current - Previous) / std::max<qint64>(Elapsed, 1);
        if (SpeedBits == 0 || candidate * 8 < SpeedBits)
            rate = candidate;
    }
    return rate < 0 ? -rate : rate;
}

bool RealtimeSample(TSQLiteDatabase& Database, const TRealtimeTarget& Target, const TRealtimeQuery& Query,
                    qint64 NowSeconds) {
    auto port = Database.OpenResultTable(
        QStringLiteral("select ID,Nomer_p,Name_p,Enabled_p, speed from m_port where Id=?"), {Target.PortId});
    if (port->AtEnd())
        return false;
    const QString index = port->FieldTextOrEmpty(1);
    const qint64 speedBits = TextToInt64(port->FieldTextOrEmpty(4)) * 1000000;
    const QString inOid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.") + index;
    const QString outOid = QStringLiteral("1.3.6.1.2.1.2.2.1.16.") + index;
    auto read = [&](const QString& Oid, qint64& Value) {
        qint64 v = 0;
        if (Counter32(Query(Target.Address, Target.Community, Oid), v))
            Value = v;
    };
    const QString newest = QStringLiteral(
        "select T_in,T_out,date_time from realtime_traf_p where ID_p=? order by id desc limit 1");
    qint64 in = 0, out = 0;
    if (Database.OpenResultTable(newest, {Target.PortId})->AtEnd()) {
        read(inOid, in);
        read(outOid, out);
        InsertRealtime(Database, Target.PortId, in, out, NowSeconds, 0, 0);
    }
    qint64 lastIn = 0, lastOut = 0, lastTime = NowSeconds;
    auto last = Database.OpenResultTable(newest, {Target.PortId});
    if (!last->AtEnd()) {
        Counter32(last->FieldTextOrEmpty(0), lastIn);
        Counter32(last->FieldTextOrEmpty(1), lastOut);
        if (!StrictInt(last->FieldTextOrEmpty(2), lastTime))
            lastTime = NowSeconds;
    }
    const qint64 elapsed = std::max<qint64>(NowSeconds - lastTime, 1);
    read(inOid, in);
    read(outOid, out);
    qint64 inRate =
        RealtimeRate(in, lastIn, elapsed, speedBits, LastRate(Database, Target.PortId, "curr_traf_in"));
    qint64 outRate =
        RealtimeRate(out, lastOut, elapsed, speedBits, LastRate(Database, Target.PortId, "curr_traf_out"));
    InsertRealtime(Database, Target.PortId, in, out, NowSeconds, inRate, outRate);
    return true;
}

void StoreTrafficAlarm(TSQLiteDatabase& Database, const QString& PortId, bool InAlarm, bool OutAlarm,
                       int InPercent, int OutPercent) {
    try {
        Database.ExecuteStatement(QStringLiteral("UPDATE m_port SET alarm_traf_in=?, alarm_traf_out=?, "
                                                 "in_value_pers=?, out_value_per=? where ID=?"),
                                  {BoolText(InAlarm), BoolText(OutAlarm), QString::number(InPercent),
                                   QString::number(OutPercent), PortId});
    } catch (const ESQLiteException&) {
        ReportCurrentException("StoreTrafficAlarm");
    }
}

bool LoadTrafficAlarm(TSQLiteDatabase& Database, const QString& PortId, TTrafficAlarm& Alarm) {
    try {
        auto row = Database.OpenResultTable(
            QStringLiteral(
                "select alarm_traf_in, alarm_traf_out, in_value_pers, out_value_per from m_port where ID=?"),
            {PortId});
        if (row->AtEnd())
            return false;
        Alarm.InAlarm = TextToInt64(row->FieldTextOrEmpty(0)) != 0;
        Alarm.OutAlarm = TextToInt64(row->FieldTextOrEmpty(1)) != 0;
        Alarm.InPercent = int(TextToInt64(row->FieldTextOrEmpty(2)));
        Alarm.OutPercent = int(TextToInt64(row->FieldTextOrEmpty(3)));
        return true;
    } catch (const ESQLiteException&) {
        return false;
    }
}

void ClearRealtimeTraffic(TSQLiteDatabase& Database) {
    try {
        Database.ExecuteStatement(QStringLiteral("delete from realtime_traf_p"));
    } catch (const ESQLiteException&) {
        ReportCurrentException("ClearRealtimeTraffic");
    }
}

QString SnmpChartPresetOid(int Item) {
    switch (Item) {
    case 1:
        return QStringLiteral("1.3.6.1.2.1.1.3.0");
    case 2:
        return QStringLiteral("1.3.6.1.4.1.9.2.1.57.0");
    case 3:
        return QStringLiteral("1.3.6.1.4.1.9.2.1.8.0");
    case 4:
        return QStringLiteral("1.3.6.1.2.1.2.2.1.14.X");
    case 5:
        return QStringLiteral("1.3.6.1.2.1.2.2.1.20.X");
    case 6:
        return QStringLiteral("1.3.6.1.2.1.2.2.1.8.X");
    default:
        return {};
    }
}
