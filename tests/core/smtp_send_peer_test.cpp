// The SMTP sender against real servers on loopback: aiosmtpd records envelopes and reads each
// message back with Python's email package; exim accepts over plain and implicit TLS with AUTH
// LOGIN; a counting front drops or cuts connections to check the one reconnect.
#include "core/SmtpSend.h"
#include "tests/core/mail_helpers.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <thread>

namespace {

using zt::test::CountingFront;
using zt::test::EximPeer;
using zt::test::FrontMode;
using zt::test::MailPeerPassword;
using zt::test::MailPeerUser;
using zt::test::SmtpRecorder;

TSmtpSettings Server(int Port, bool Tls = false, bool Login = false) {
    TSmtpSettings s;
    s.Host = "127.0.0.1";
    s.Port = Port;
    s.ImplicitTls = Tls;
    s.Login = Login;
    s.UserName = MailPeerUser;
    s.Password = MailPeerPassword;
    s.ConnectTimeoutMs = 5000;
    s.ReplyTimeoutMs = 5000;
    return s;
}

TMailMessage Alert(const QString& Recipients = "ops@x.example") {
    TMailMessage m;
    m.SenderAddress = MailPeerUser;
    m.Recipients = ParseRecipientList(Recipients);
    m.Subject = "Host Alert: web changed state: Down";
    m.BodyLines = {"", "Host: web 10.0.0.1 - Down"};
    return m;
}

QStringList Strings(const QJsonValue& Array) {
    QStringList list;
    for (const QJsonValue& v : Array.toArray()) {
        list << v.toString();
    }
    return list;
}

class SmtpRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Peer.Unavailable().empty()) {
            GTEST_SKIP() << Peer.Unavailable();
        }
    }
    TMailResult Send(const TSmtpSettings& S, const TMailMessage& M) {
        TSmtpCancel cancel;
        return SendMail(S, M, cancel);
    }
    SmtpRecorder Peer;
};

TEST_F(SmtpRecorderTest, PlainWithoutAuthenticationSendsNoAuthAndTheWholeMessage) {
    const TMailResult r = Send(Server(Peer.PlainPort()), Alert());
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    EXPECT_TRUE(r.Reason.isEmpty());
    EXPECT_EQ(r.Connections, 1);
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_TRUE(Peer.Auths().empty());
    EXPECT_FALSE(m["tls"].toBool());
    EXPECT_TRUE(m["auth"].isNull());
    EXPECT_EQ(m["mail_from"].toString(), MailPeerUser);
    EXPECT_EQ(Strings(m["rcpt_tos"]), QStringList{"ops@x.example"});
    EXPECT_EQ(m["from_name"].toString(), "Monitoring system - Zorvanite Tarnequill Pro");
    EXPECT_EQ(m["from_address"].toString(), MailPeerUser);
    EXPECT_EQ(m["to"].toString(), "ops@x.example");
    EXPECT_EQ(m["subject"].toString(), "Host Alert: web changed state: Down");
    EXPECT_EQ(m["content_type"].toString(), "text/plain");
    EXPECT_EQ(m["charset"].toString(), "utf-8");
    EXPECT_EQ(m["cte"].toString(), "8bit");
    EXPECT_EQ(m["mime_version"].toString(), "1.0");
    EXPECT_FALSE(m["date"].toString().isEmpty());
    EXPECT_TRUE(
        QRegularExpression("^<[0-9a-f]{32}@mail\\.example>$").match(m["message_id"].toString()).hasMatch());
    EXPECT_TRUE(m["defects"].toArray().isEmpty());
    EXPECT_EQ(m["body"].toString(), "\r\nHost: web 10.0.0.1 - Down\r\n");
    EXPECT_TRUE(m["headers"].toString().contains("Subject: =?UTF-8?B?"));
}

TEST_F(SmtpRecorderTest, ImplicitTlsWithAuthLoginAndTheUserNameAsSender) {
    const TMailResult r = Send(Server(Peer.TlsPort(), true, true), Alert());
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_TRUE(m["tls"].toBool());
    EXPECT_EQ(m["auth"].toObject()["mechanism"].toString(), "LOGIN");
    EXPECT_EQ(m["auth"].toObject()["login"].toString(), MailPeerUser);
    EXPECT_EQ(m["mail_from"].toString(), MailPeerUser);
    const auto auths = Peer.Auths();
    ASSERT_EQ(auths.size(), 1u);
    EXPECT_EQ(auths[0]["mechanism"].toString(), "LOGIN");
    EXPECT_TRUE(auths[0]["success"].toBool());
}

TEST_F(SmtpRecorderTest, TlsWithoutAuthenticationLogsInNowhere) {
    const TMailResult r = Send(Server(Peer.TlsPort(), true, false), Alert());
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMessages(1));
    EXPECT_TRUE(Peer.Messages().at(0)["tls"].toBool());
    EXPECT_TRUE(Peer.Auths().empty());
}

TEST_F(SmtpRecorderTest, PlainClientOnTheTlsPortFails) {
    TSmtpSettings s = Server(Peer.TlsPort());
    s.ReplyTimeoutMs = 1000;
    s.ConnectTimeoutMs = 1000;
    EXPECT_FALSE(Send(s, Alert()).Sent);
    EXPECT_TRUE(Peer.Messages().empty());
}

TEST_F(SmtpRecorderTest, TwoRecipientsGiveTwoRcpt) {
    const TMailResult r = Send(Server(Peer.PlainPort()), Alert("a@x.example, b@y.example"));
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_EQ(Strings(m["rcpt_tos"]), (QStringList{"a@x.example", "b@y.example"}));
    EXPECT_EQ(m["to"].toString(), "a@x.example, b@y.example");
}

TEST_F(SmtpRecorderTest, LongCyrillicSubjectAndBodyReadBackExactly) {
    QString subject;
    for (int i = 0; i < 300; ++i) {
        subject += QChar(0x0430 + (i * 7) % 32);
    }
    TMailMessage message = Alert();
    message.Subject = subject;
    message.BodyLines = {"", "Хост: сервер-1 - Недоступен", ".точка в начале", "€ and ASCII"};
    const TMailResult r = Send(Server(Peer.PlainPort()), message);
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_EQ(m["subject"].toString(), subject);
    EXPECT_EQ(m["from_name"].toString(), "Monitoring system - Zorvanite Tarnequill Pro");
    EXPECT_EQ(m["charset"].toString(), "utf-8");
    EXPECT_EQ(m["body"].toString(), "\r\nХост: сервер-1 - Недоступен\r\n.точка в начале\r\n€ and ASCII\r\n");
    EXPECT_TRUE(m["defects"].toArray().isEmpty());
}

TEST_F(SmtpRecorderTest, OneRefusedRecipientMeansNotSent) {
    const TMailResult r = Send(Server(Peer.PlainPort()), Alert("ok@x.example, refuse@y.example"));
    EXPECT_FALSE(r.Sent);
    EXPECT_TRUE(r.Reason.contains("RCPT")) << r.Reason.toStdString();
    EXPECT_TRUE(r.Reason.contains("(server: 550 5.1.1 Recipient refused)")) << r.Reason.toStdString();
    EXPECT_EQ(r.Connections, 1); // a refused address is not tried again
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Peer.Messages().empty());
}

TEST_F(SmtpRecorderTest, WrongPasswordIsNotSent) {
    TSmtpSettings s = Server(Peer.PlainPort(), false, true);
    s.Password = "wrong";
    const TMailResult r = Send(s, Alert());
    EXPECT_FALSE(r.Sent);
    EXPECT_TRUE(r.Reason.contains("Login denied")) << r.Reason.toStdString();
    EXPECT_TRUE(r.Reason.contains("535 5.7.8")) << r.Reason.toStdString();
    EXPECT_EQ(r.Connections, 1);
    EXPECT_EQ(Peer.Auths().size(), 1u);
    EXPECT_TRUE(Peer.Messages().empty());
}

TEST_F(SmtpRecorderTest, FirstConnectionDroppedIsDeliveredOnTheSecond) {
    CountingFront front(Peer.PlainPort(), {FrontMode::Drop, FrontMode::Forward});
    const TMailResult r = Send(Server(front.Port()), Alert());
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    EXPECT_EQ(r.Connections, 2);
    EXPECT_EQ(front.Connections(), 2);
    ASSERT_TRUE(Peer.WaitForMessages(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Peer.Messages().size(), 1u);
}

TEST_F(SmtpRecorderTest, ConnectionCutAfterMessageBytesIsNeverRetried) {
    CountingFront front(Peer.PlainPort(), {FrontMode::CutInData, FrontMode::Forward});
    const TMailResult r = Send(Server(front.Port()), Alert());
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Connections, 1);
    EXPECT_EQ(front.Connections(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Peer.Messages().empty());
}

class EximTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Peer.Unavailable().empty()) {
            GTEST_SKIP() << Peer.Unavailable();
        }
    }
    EximPeer Peer;
};

TEST_F(EximTest, PlainWithoutAuthentication) {
    TSmtpCancel cancel;
    const TMailResult r = SendMail(Server(Peer.PlainPort()), Alert(), cancel);
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMailbox("Host: web 10.0.0.1 - Down"));
    const std::string box = Peer.Mailbox();
    EXPECT_NE(box.find("From: \"Monitoring system - Zorvanite Tarnequill Pro\" <alerts@mail.example>"),
              std::string::npos);
    EXPECT_NE(box.find("Content-Type: text/plain; charset=\"UTF-8\""), std::string::npos);
    EXPECT_NE(box.find("Envelope-to: ops@x.example"), std::string::npos);
    const std::string log = Peer.MainLog();
    EXPECT_NE(log.find("<= alerts@mail.example"), std::string::npos);
    EXPECT_EQ(log.find(" A=login:"), std::string::npos);
}

TEST_F(EximTest, ImplicitTlsWithAuthLogin) {
    TSmtpCancel cancel;
    const TMailResult r = SendMail(Server(Peer.TlsPort(), true, true), Alert(), cancel);
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMailbox("Host: web 10.0.0.1 - Down"));
    const std::string log = Peer.MainLog();
    EXPECT_NE(log.find("P=esmtpsa X=TLS"), std::string::npos) << log;
    EXPECT_NE(log.find("A=login:alerts@mail.example"), std::string::npos) << log;
}

TEST_F(EximTest, WrongPasswordIsNotSent) {
    TSmtpSettings s = Server(Peer.TlsPort(), true, true);
    s.Password = "wrong";
    TSmtpCancel cancel;
    const TMailResult r = SendMail(s, Alert(), cancel);
    EXPECT_FALSE(r.Sent);
    EXPECT_TRUE(r.Reason.contains("Login denied")) << r.Reason.toStdString();
    EXPECT_TRUE(r.Reason.contains("535")) << r.Reason.toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Peer.Mailbox(), "");
}

} // namespace
