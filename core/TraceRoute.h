// The traceroute of the tools window: the text pieces it writes and the probe loop that writes
// them (echo requests with rising TTL, three per hop), display-free.
#pragma once

#include <QString>

#include <functional>

class TNetCancel;

// The texts below are those of the current language; in English:
// "Tracing route to <target> [<address>]" CR LF "over of maximum <hops> hops:" CR LF.
QString TraceHeaderText(const QString& Target, const QString& Address, int MaxHops);
// A probe's text: "    *    " without a reply, else Format("%6d ms", Ms).
QString TraceProbeText(bool Replied, int Ms);
// The first probe's text behind its hop number: Format("%3d: %s", Ttl, Text).
QString TraceHopPrefix(int Ttl, const QString& Text);
// The text that ends a hop line: two blanks, then without a reply "Requested Timed out.", else the
// address, or with names on Name + "[" + Address + "]" (Name may be empty; "Unknown" keeps the
// bare address); then CR LF.
QString TraceHopEnd(bool Replied, const QString& Address, bool WithName, const QString& Name);
// "Trace complete." CR LF.
QString TraceCompleteText();

struct TTraceParams {
    QString Target;
    int MaxHops = 32;
    bool LookupNames = false; // CheckBox1
    int ProbeTimeoutMs = 2000;
};

class TTraceThread {
public:
    // Output receives each piece as soon as it is known (on the calling thread); it returns false
    // when the trace is to end at once.
    TTraceThread(TTraceParams Params, std::function<bool(const QString&)> Output);

    // The whole trace; ends early when Cancel is raised (then nothing more is written). A target
    // that does not resolve, or echo requests that the system refuses, end with the system's text
    // for the error.
    void Execute(const TNetCancel* Cancel);

private:
    bool Emit(const QString& Text);

    TTraceParams FParams;
    std::function<bool(const QString&)> FOutput;
    bool FStopped = false;
};
