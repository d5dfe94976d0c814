// The ping page's lines: the reply rules by answer kind, the date in front, and one real echo over
// loopback.
#include "core/ToolPing.h"

#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "core/TraceRoute.h"
#include "net/pingsend.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <arpa/inet.h>

namespace {

TIcmpEchoResult Answer(TICMPError Error, const char* From = "198.18.41.1", int Ms = 7) {
    TIcmpEchoResult result;
    result.Answered = true;
    result.Sent = true;
    result.Error = Error;
    result.From = From;
    result.RoundTripMs = Ms;
    return result;
}

} // namespace

TEST(ToolPing, ReplyTextByAnswer) {
    EXPECT_EQ(ToolPingReplyText(Answer(IE_NoError, "198.18.43.2", 3)),
              "Reply from 198.18.43.2 bytes=32 time=3 ms");
    EXPECT_EQ(ToolPingReplyText(Answer(IE_UnreachRoute)), "Destination host unreachable.");
    EXPECT_EQ(ToolPingReplyText(Answer(IE_UnreachAddr)), "Destination host unreachable.");
    for (TICMPError other : {IE_Other, IE_TTLExceed, IE_UnreachOther, IE_UnreachAdmin, IE_UnreachPort})
        EXPECT_EQ(ToolPingReplyText(Answer(other)), "Requested Timed out.") << other;
    TIcmpEchoResult silence;
    silence.Sent = true;
    EXPECT_EQ(ToolPingReplyText(silence), "Requested Timed out.");
    TIcmpEchoResult refused; // no socket could be opened
    refused.LastError = 10013;
    EXPECT_EQ(ToolPingReplyText(refused), "Requested Timed out.");
}

TEST(ToolPing, PingAndTraceLinesFollowTheLanguage) {
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(zt::test::SourcePath("Data/")), "German"));
    EXPECT_EQ(ToolPingReplyText(Answer(IE_NoError, "198.18.43.2", 3)),
              "Antwort von 198.18.43.2: Bytes=32 Zeit=3 ms");
    EXPECT_EQ(TraceHeaderText("t", "198.18.43.2", 30) + TraceCompleteText(),
              QString::fromUtf8("Route zu t [198.18.43.2] wird verfolgt\r\nüber höchstens 30 Abschnitte:\r\n"
                                "Verfolgung beendet.\r\n"));
    LangTexts::UseBuiltInEnglish();
}

TEST(ToolPing, DatedLine) {
    const double when = QDateTimeToDateTime(QDateTime(QDate(2024, 3, 9), QTime(7, 5, 4)));
    EXPECT_EQ(DatedPingLine(when, "Requested Timed out."),
              DateTimeToDisplayText(when) + " Requested Timed out.");
    EXPECT_TRUE(DateTimeToDisplayText(when).endsWith("2024 07:05:04"));
}

TEST(ToolPing, EchoOverLoopback) {
    if (IcmpSocketKindFor(AF_INET) == ISK_None)
        GTEST_SKIP() << "no ICMP echo possible here";
    const TPingThread ping("127.0.0.1");
    EXPECT_EQ(ping.Target(), "127.0.0.1");
    const QString line = ping.Execute(nullptr);
    const QRegularExpression shape("^(.+) Reply from 127\\.0\\.0\\.1 bytes=32 time=\\d+ ms$");
    const auto match = shape.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    EXPECT_TRUE(DisplayTextToDateTime(match.captured(1)).has_value());
}

TEST(ToolPing, UnresolvedTargetIsUndatedAndCancelGivesNothing) {
    EXPECT_EQ(TPingThread("").Execute(nullptr), "Requested Timed out.");
    TNetCancel cancel;
    cancel.Raise();
    EXPECT_EQ(TPingThread("127.0.0.1").Execute(&cancel), "");
}
