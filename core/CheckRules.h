// The arithmetic and text rules of the checks, kept apart from threads, grids and the database
// so each can be tested on its own.
#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// Event colours (blue-green-red values).
inline constexpr int EventColourRed = 255;
inline constexpr int EventColourYellow = 65535;
inline constexpr int EventColourLime = 65280;

// Whether Cell contains Word; an empty word is never contained (a missing language line must
// not make every status look "down").
bool ContainsText(const QString& Cell, const QString& Word);

// An HTTP probe result that counts as down: exactly "0 " or exactly "500 ".
bool IsHttpDown(const QString& Result);

// The latency rule over the newest samples of a host.
struct TLatencyVerdict {
    int Samples = 0;
    qint64 Average = 0;   // whole-number mean, 0 without samples
    bool AllOver = false; // every sample over the threshold (also when there are none)
};
TLatencyVerdict JudgeLatency(const std::vector<qint64>& SampleMs, qint64 ThresholdMs);

// The traffic rule: a drop of more than Threshold percent from a previous rate above 20000 B/s.
bool TrafficDropAlarm(qint64 Previous, qint64 Newest, qint64 ThresholdPercent);

// One interface direction's rate in bytes per second from two counter readings. Seconds below 1
// count as 1; a negative interval (clock set back), a counter of 0, a counter that went back, or
// a rate at or above the interface speed (Mbit/s, 0 = no cap) keeps the previous rate. The result
// is never negative.
qint64 TrafficRate(qint64 Current, qint64 Last, qint64 Seconds, qint64 SpeedMbit, qint64 PreviousRate);

// The assignments of an UPDATE as the engine writes them: each column name, "=", blanks up to
// Width characters and a parameter, joined by ", ".
QString PaddedAssignments(const QStringList& Columns, int Width);

// The ICMP check's failure text for one echo (the echo client's reply text and round-trip time):
// empty on a reply; an echo that got nothing back in time (the client's "Unknown error" without a
// round trip) reads as the time-out it is, as the tools window's ping says it; another "Unknown
// error" (an answer of no known kind) is UnknownErrorText; any other text is the client's own.
QString EchoFailureText(const QString& ReplyErrorDesc, int PingTimeMs, const QString& UnknownErrorText);

// Whether an event of this colour is sent by mail or message under the send-if options.
bool EventQualifies(int Colour, bool SendIfDown, bool SendIfUp);

// "HH:MM:SS" of a date-time's time of day.
QString ClockText(double DateTime);
