// The SMTP sender against loopback fronts that drop or never answer: refused input makes no
// connection, the time-outs and a cancel end a session, a failed first connection gets exactly one
// more, and the pumping wait keeps the calling thread's work going.
#include "core/SmtpSend.h"
#include "tests/core/mail_helpers.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono;
using zt::test::CountingFront;
using zt::test::FrontMode;

TMailMessage Alert() {
    TMailMessage m;
    m.SenderAddress = "alerts@mail.example";
    m.Recipients = {"ops@x.example"};
    m.Subject = "Host Alert: web - Down";
    m.BodyLines = {"", "Host: web - Down"};
    return m;
}

TSmtpSettings Loopback(int Port) {
    TSmtpSettings s;
    s.Host = "127.0.0.1";
    s.Port = Port;
    s.ConnectTimeoutMs = 2000;
    s.ReplyTimeoutMs = 300;
    return s;
}

TEST(SmtpSendTest, LineBreaksInHostRecipientsOrSenderAreRefusedWithoutConnecting) {
    CountingFront front(0, {FrontMode::Drop});
    TSmtpCancel cancel;
    for (const QString& host :
         {QString("127.0.0.1\r\nMAIL FROM:<x>"), QString("127.0.0.1\n"), QString("127.0.0.1") + QChar(0)}) {
        TSmtpSettings s = Loopback(front.Port());
        s.Host = host;
        const TMailResult r = SendMail(s, Alert(), cancel);
        EXPECT_FALSE(r.Sent);
        EXPECT_EQ(r.Reason, "The SMTP server name holds a line break or NUL character.");
        EXPECT_EQ(r.Connections, 0);
    }
    TMailMessage badRecipient = Alert();
    badRecipient.Recipients << "b@y.example\r\nDATA";
    EXPECT_EQ(SendMail(Loopback(front.Port()), badRecipient, cancel).Reason,
              "A recipient address holds a line break or NUL character.");
    TMailMessage badSender = Alert();
    badSender.SenderAddress = "alerts@mail.example\nRSET";
    EXPECT_EQ(SendMail(Loopback(front.Port()), badSender, cancel).Reason,
              "The sender address holds a line break or NUL character.");
    EXPECT_EQ(front.Connections(), 0);
}

TEST(SmtpSendTest, HostAndPortMustBePlain) {
    TSmtpSettings s = Loopback(25);
    s.Host = "";
    EXPECT_EQ(SmtpSettingsProblem(s), "No SMTP server given.");
    for (const char* host : {"mail.example/path", "user@mail.example", "mail example", "mail.example?x"}) {
        s.Host = host;
        EXPECT_EQ(SmtpSettingsProblem(s),
                  QStringLiteral("The SMTP server name \"%1\" is no host name or address.").arg(host));
    }
    s.Host = "::1";
    EXPECT_TRUE(SmtpSettingsProblem(s).isEmpty());
    s.Port = 0;
    EXPECT_EQ(SmtpSettingsProblem(s), "The SMTP port 0 is outside 1 to 65535.");
    s.Port = 25;
    s.Login = true;
    s.Password = "a\r\nb";
    EXPECT_EQ(SmtpSettingsProblem(s), "The user name or password holds a line break or NUL character.");
}

TEST(SmtpSendTest, BothConnectionsDroppedIsNotSentAfterExactlyTwo) {
    CountingFront front(0, {FrontMode::Drop});
    TSmtpCancel cancel;
    const TMailResult r = SendMail(Loopback(front.Port()), Alert(), cancel);
    EXPECT_FALSE(r.Sent);
    EXPECT_FALSE(r.Reason.isEmpty());
    EXPECT_EQ(r.Connections, 2);
    EXPECT_EQ(front.Connections(), 2);
}

TEST(SmtpSendTest, RefusedConnectionIsNotSent) {
    const int closedPort = zt::test::FreeTcpPort();
    TSmtpCancel cancel;
    const TMailResult r = SendMail(Loopback(closedPort), Alert(), cancel);
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Connections, 2);
    EXPECT_TRUE(r.Reason.contains("onnect")) << r.Reason.toStdString();
}

TEST(SmtpSendTest, SilentServerFailsWithinTheReplyTimeOut) {
    CountingFront front(0, {FrontMode::Silent});
    TSmtpCancel cancel;
    TSmtpSettings s = Loopback(front.Port());
    s.ConnectTimeoutMs = 10000;
    s.ReplyTimeoutMs = 300;
    const auto start = steady_clock::now();
    const TMailResult r = SendMail(s, Alert(), cancel);
    const auto took = duration_cast<milliseconds>(steady_clock::now() - start);
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, "Timed out: no reply from the server within 300 ms");
    EXPECT_EQ(front.Connections(), 2);
    EXPECT_LT(took.count(), 3000);
}

TEST(SmtpSendTest, SilentServerDuringTheConnectPhaseMeetsTheConnectTimeOut) {
    CountingFront front(0, {FrontMode::Silent});
    TSmtpCancel cancel;
    TSmtpSettings s = Loopback(front.Port());
    s.ConnectTimeoutMs = 250;
    s.ReplyTimeoutMs = 30000;
    const auto start = steady_clock::now();
    const TMailResult r = SendMail(s, Alert(), cancel);
    EXPECT_FALSE(r.Sent);
    EXPECT_TRUE(r.Reason.contains("imeout") || r.Reason.contains("timed out")) << r.Reason.toStdString();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 5000);
}

TEST(SmtpSendTest, CancelFromAnotherThreadEndsTheSessionWithoutASecondConnection) {
    CountingFront front(0, {FrontMode::Silent});
    TSmtpCancel cancel;
    TSmtpSettings s = Loopback(front.Port());
    s.ConnectTimeoutMs = 20000;
    s.ReplyTimeoutMs = 20000;
    std::thread canceller([&] {
        std::this_thread::sleep_for(milliseconds(200));
        cancel.Cancel();
    });
    const auto start = steady_clock::now();
    const TMailResult r = SendMail(s, Alert(), cancel);
    canceller.join();
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, "Cancelled: the mail was abandoned");
    EXPECT_EQ(front.Connections(), 1);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000);
}

TEST(SmtpSendTest, PumpingWaitServesTheCallerAndAbandonCancels) {
    CountingFront front(0, {FrontMode::Silent});
    TSmtpSettings s = Loopback(front.Port());
    s.ConnectTimeoutMs = 20000;
    s.ReplyTimeoutMs = 20000;
    int pumps = 0;
    const auto start = steady_clock::now();
    const TMailResult r = SendMailPumping(
        s, Alert(), [&] { ++pumps; }, [&] { return steady_clock::now() - start > milliseconds(300); });
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, "Cancelled: the mail was abandoned");
    EXPECT_EQ(r.Connections, 1);
    EXPECT_GT(pumps, 20);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000);
}

TEST(SmtpSendTest, PumpingWaitReturnsTheWorkersResult) {
    CountingFront front(0, {FrontMode::Drop});
    std::atomic<int> pumps{0};
    const TMailResult r = SendMailPumping(Loopback(front.Port()), Alert(), [&] { ++pumps; }, {});
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Connections, 2);
    TMailMessage noRecipient = Alert();
    noRecipient.Recipients.clear();
    EXPECT_EQ(SendMailPumping(Loopback(front.Port()), noRecipient, {}, {}).Reason, "No recipient address.");
}

} // namespace
