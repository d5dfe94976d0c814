// The traceroute's text pieces byte for byte, and a trace over loopback (one hop, the target).
#include "core/TraceRoute.h"

#include "net/blcksock.h"
#include "net/pingsend.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <arpa/inet.h>

TEST(TraceText, Pieces) {
    EXPECT_EQ(TraceHeaderText("trace-target", "198.18.43.2", 32),
              "Tracing route to trace-target [198.18.43.2]\r\nover of maximum 32 hops:\r\n");
    EXPECT_EQ(TraceProbeText(false, 2000), "    *    ");
    EXPECT_EQ(TraceProbeText(true, 0), "     0 ms");
    EXPECT_EQ(TraceProbeText(true, 12), "    12 ms");
    EXPECT_EQ(TraceProbeText(true, 1234567), "1234567 ms");
    EXPECT_EQ(TraceHopPrefix(1, TraceProbeText(true, 3)), "  1:      3 ms");
    EXPECT_EQ(TraceHopPrefix(2, TraceProbeText(false, 0)), "  2:     *    ");
    EXPECT_EQ(TraceHopPrefix(123, "x"), "123: x");
    EXPECT_EQ(TraceCompleteText(), "Trace complete.\r\n");
}

TEST(TraceText, HopEnd) {
    EXPECT_EQ(TraceHopEnd(false, "198.18.41.1", true, "hop-one"), "  Requested Timed out.\r\n");
    EXPECT_EQ(TraceHopEnd(true, "198.18.41.1", false, "hop-one"), "  198.18.41.1\r\n");
    EXPECT_EQ(TraceHopEnd(true, "198.18.41.1", true, "hop-one"), "  hop-one[198.18.41.1]\r\n");
    EXPECT_EQ(TraceHopEnd(true, "198.18.42.2", true, ""), "  [198.18.42.2]\r\n");
    EXPECT_EQ(TraceHopEnd(true, "198.18.42.2", true, "Unknown"), "  198.18.42.2\r\n");
}

namespace {

QString Trace(const TTraceParams& Params, const TNetCancel* Cancel = nullptr, int StopAfter = -1) {
    QString out;
    int pieces = 0;
    TTraceThread trace(Params, [&](const QString& Text) {
        out += Text;
        return StopAfter < 0 || ++pieces < StopAfter;
    });
    trace.Execute(Cancel);
    return out;
}

bool IcmpPossible() {
    return IcmpSocketKindFor(AF_INET) != ISK_None;
}

} // namespace

TEST(TraceRoute, LoopbackIsReachedAtTheFirstHop) {
    if (!IcmpPossible())
        GTEST_SKIP() << "no ICMP echo possible here";
    TTraceParams params;
    params.Target = "127.0.0.1";
    params.LookupNames = true;
    const QStringList lines = Trace(params).split("\r\n");
    ASSERT_EQ(lines.size(), 5) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], "Tracing route to 127.0.0.1 [127.0.0.1]");
    EXPECT_EQ(lines[1], "over of maximum 32 hops:");
    EXPECT_TRUE(
        QRegularExpression("^  1:( +\\d+ ms){3}  localhost\\[127\\.0\\.0\\.1\\]$").match(lines[2]).hasMatch())
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], "Trace complete.");
    EXPECT_EQ(lines[4], "");
}

TEST(TraceRoute, AnUnresolvableTargetEndsWithTheSystemText) {
    TTraceParams params;
    params.Target = "";
    EXPECT_EQ(Trace(params), "Host not found\r\n");
}

TEST(TraceRoute, ARaisedCancelOrARefusedPieceEndsTheTrace) {
    if (!IcmpPossible())
        GTEST_SKIP() << "no ICMP echo possible here";
    TTraceParams params;
    params.Target = "127.0.0.1";
    TNetCancel cancel;
    cancel.Raise();
    EXPECT_EQ(Trace(params, &cancel),
              "Tracing route to 127.0.0.1 [127.0.0.1]\r\nover of maximum 32 hops:\r\n");
    // Output refuses the second piece (the window was closed): nothing more is written.
    const QString out = Trace(params, nullptr, 2);
    EXPECT_TRUE(QRegularExpression("hops:\r\n  1: +\\d+ ms$").match(out).hasMatch()) << out.toStdString();
    EXPECT_FALSE(out.contains("Trace complete."));
}
