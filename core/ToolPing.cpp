// The tools window's repeating ping over the ICMP echo primitive.
#include "core/ToolPing.h"

#include "core/HostLookup.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "net/pingsend.h"

#include <arpa/inet.h>

QString ToolPingReplyText(const TIcmpEchoResult& Result) {
    if (Result.Answered && Result.Error == IE_NoError)
        return LangText(LangLine::PingReply)
            .arg(QString::fromStdString(Result.From), QString::number(Result.RoundTripMs));
    if (Result.Answered && (Result.Error == IE_UnreachRoute || Result.Error == IE_UnreachAddr))
        return LangText(LangLine::PingUnreachable);
    return LangText(LangLine::PingTimedOut);
}

QString DatedPingLine(double DateTime, const QString& Text) {
    return DateTimeToDisplayText(DateTime) + QLatin1Char(' ') + Text;
}

TPingThread::TPingThread(QString Target, int TimeoutMs) : FTarget(std::move(Target)), FTimeoutMs(TimeoutMs) {}

QString TPingThread::Execute(const TNetCancel* Cancel) const {
    QString address;
    if (!ResolveHostToIp(FTarget, address))
        return LangText(LangLine::PingTimedOut);
    TIcmpEchoParams echo;
    echo.Target.sin.sin_family = AF_INET;
    inet_pton(AF_INET, address.toLatin1().constData(), &echo.Target.sin.sin_addr);
    echo.PacketSize = 32;
    echo.PayloadFill = '\0';
    echo.TimeoutMs = FTimeoutMs;
    echo.Cancel = Cancel;
    const TIcmpEchoResult result = IcmpEchoExchange(echo);
    if (Cancel && Cancel->Raised())
        return QString();
    return DatedPingLine(NowDateTime(), ToolPingReplyText(result));
}
