// The ping page of the tools window: one echo per timer tick and the line it adds to the page.
#pragma once

#include <QString>

struct TIcmpEchoResult;
class TNetCancel;

// The line of one tick before its date, in the current language: "Reply from A bytes=32 time=N ms"
// for an echo reply, "Destination host unreachable." for a network or host unreachable answer, else
// "Requested Timed out." (any other answer, silence, or no echo possible at all).
QString ToolPingReplyText(const TIcmpEchoResult& Result);
// The date and time of DateTime (the one display form), a blank, then Text.
QString DatedPingLine(double DateTime, const QString& Text);
// The check engine's fixed English time-out text (the tools page takes the language's line).
inline constexpr const char* PingTimedOutText = "Requested Timed out.";

class TPingThread {
public:
    // The target is taken here, when the tick creates the thread.
    explicit TPingThread(QString Target, int TimeoutMs = 2000);

    // Resolves the target and sends one echo of 32 zero bytes; returns the memo line (dated
    // unless the name did not resolve). Empty when Cancel was raised meanwhile.
    QString Execute(const TNetCancel* Cancel) const;

    const QString& Target() const { return FTarget; }

private:
    QString FTarget;
    int FTimeoutMs;
};
