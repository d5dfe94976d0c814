// The check rules: latency verdict, traffic drop and rate, HTTP verdict and statement shapes.
#include "core/CheckRules.h"

#include "core/TextConversions.h"
#include "core/ToolPing.h"

#include <QTime>
#include <cstdlib>

bool ContainsText(const QString& Cell, const QString& Word) {
    return !Word.isEmpty() && Cell.contains(Word);
}

bool IsHttpDown(const QString& Result) {
    return Result == QLatin1String("0 ") || Result == QLatin1String("500 ");
}

TLatencyVerdict JudgeLatency(const std::vector<qint64>& SampleMs, qint64 ThresholdMs) {
    TLatencyVerdict verdict;
    verdict.Samples = int(SampleMs.size());
    qint64 sum = 0;
    int over = 0;
    for (qint64 sample : SampleMs) {
        sum += sample;
        if (sample > ThresholdMs) {
            ++over;
        }
    }
    verdict.Average = SampleMs.empty() ? 0 : sum / qint64(SampleMs.size());
    verdict.AllOver = over >= verdict.Samples;
    return verdict;
}

bool TrafficDropAlarm(qint64 Previous, qint64 Newest, qint64 ThresholdPercent) {
    if (Previous == 0) {
        return false;
    }
    double drop = double(Previous - Newest) / double(Previous) * 100.0;
    return drop > double(ThresholdPercent) && Previous > 20000;
}

qint64 TrafficRate(qint64 Current, qint64 Last, qint64 Seconds, qint64 SpeedMbit, qint64 PreviousRate) {
    qint64 keep = std::llabs(PreviousRate);
    if (Seconds < 0) {
        return keep;
    }
    if (Seconds == 0) {
        Seconds = 1;
    }
    if (!(Current > 0 && Last > 0 && Current >= Last)) {
        return keep;
    }
    qint64 rate = (Current - Last) / Seconds;
    if (SpeedMbit != 0 && double(rate) * 8.0 >= double(SpeedMbit) * 1000000.0) {
        return keep;
    }
    return std::llabs(rate);
}

QString PaddedAssignments(const QStringList& Columns, int Width) {
    QStringList parts;
    for (const QString& column : Columns) {
        QString head = column + QLatin1Char('=');
        parts << head.leftJustified(Width, QLatin1Char(' ')) + QLatin1Char('?');
    }
    return parts.join(QLatin1String(", "));
}

QString EchoFailureText(const QString& ReplyErrorDesc, int PingTimeMs, const QString& UnknownErrorText) {
    if (ReplyErrorDesc != QLatin1String("Unknown error")) {
        return ReplyErrorDesc;
    }
    return PingTimeMs < 0 ? QString::fromLatin1(PingTimedOutText) : UnknownErrorText;
}

bool EventQualifies(int Colour, bool SendIfDown, bool SendIfUp) {
    return Colour == EventColourLime ? SendIfUp : SendIfDown;
}

QString ClockText(double DateTime) {
    return DateTimeToQDateTime(DateTime).time().toString(QStringLiteral("HH:mm:ss"));
}
