// Traceroute over the ICMP echo primitive: one echo per probe with the hop's TTL and no payload.
#include "core/TraceRoute.h"

#include "core/HostLookup.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "net/netsock.h"
#include "net/pingsend.h"

#include <arpa/inet.h>
#include <chrono>

namespace {

QString SystemText(int Code) {
    return QString::fromStdString(SocketErrorText(Code)) + QStringLiteral("\r\n");
}

int ElapsedMs(std::chrono::steady_clock::time_point Since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Since)
            .count());
}

} // namespace

QString TraceHeaderText(const QString& Target, const QString& Address, int MaxHops) {
    return LangText(LangLine::TraceHeader).arg(Target, Address) + QStringLiteral("\r\n") +
           LangText(LangLine::TraceMaxHops).arg(MaxHops) + QStringLiteral("\r\n");
}

QString TraceProbeText(bool Replied, int Ms) {
    return Replied ? QString::asprintf("%6d ms", Ms) : QStringLiteral("    *    ");
}

QString TraceHopPrefix(int Ttl, const QString& Text) {
    return QString::asprintf("%3d: ", Ttl) + Text;
}

QString TraceHopEnd(bool Replied, const QString& Address, bool WithName, const QString& Name) {
    QString text = LangText(LangLine::PingTimedOut);
    if (Replied) {
        text = Address;
        if (WithName && Name != QLatin1String("Unknown"))
            text = Name + QLatin1Char('[') + Address + QLatin1Char(']');
    }
    return QStringLiteral("  ") + text + QStringLiteral("\r\n");
}

QString TraceCompleteText() {
    return LangText(LangLine::TraceComplete) + QStringLiteral("\r\n");
}

TTraceThread::TTraceThread(TTraceParams Params, std::function<bool(const QString&)> Output)
    : FParams(std::move(Params)), FOutput(std::move(Output)) {}

bool TTraceThread::Emit(const QString& Text) {
    if (!FStopped && !FOutput(Text))
        FStopped = true;
    return !FStopped;
}

void TTraceThread::Execute(const TNetCancel* Cancel) {
    auto cancelled = [&] {
        return FStopped || (Cancel && Cancel->Raised());
    };
    QString address;
    if (!ResolveHostToIp(FParams.Target, address)) {
        Emit(SystemText(WSAHOST_NOT_FOUND));
        return;
    }
    if (IcmpSocketKindFor(AF_INET) == ISK_None) {
        Emit(SystemText(WSAEACCES));
        return;
    }
    if (!Emit(TraceHeaderText(FParams.Target, address, FParams.MaxHops)))
        return;

    TIcmpEchoParams probe;
    probe.Target.sin.sin_family = AF_INET;
    inet_pton(AF_INET, address.toLatin1().constData(), &probe.Target.sin.sin_addr);
    probe.PacketSize = 0;
    probe.TimeoutMs = FParams.ProbeTimeoutMs;
    probe.Cancel = Cancel;
    QString lastFrom;
    for (int ttl = 1; ttl <= FParams.MaxHops && lastFrom != address; ++ttl) {
        probe.TTL = ttl;
        bool replied = false;
        for (int n = 0; n < 3; ++n) {
            if (cancelled())
                return;
            const auto start = std::chrono::steady_clock::now();
            const TIcmpEchoResult result = IcmpEchoExchange(probe);
            ++probe.Seq;
            if (cancelled())
                return;
            QString text = TraceProbeText(result.Answered, ElapsedMs(start));
            if (result.Answered) {
                replied = true;
                lastFrom = QString::fromStdString(result.From);
            }
            if (n == 0)
                text = TraceHopPrefix(ttl, text);
            if (!Emit(text))
                return;
        }
        QString name;
        if (replied && FParams.LookupNames)
            ReverseLookup(lastFrom, name);
        if (cancelled() || !Emit(TraceHopEnd(replied, lastFrom, FParams.LookupNames, name)))
            return;
    }
    Emit(TraceCompleteText());
}
