// The dialog's mail against aiosmtpd on loopback: the test mail's exact lines and log line, its
// failure shown and logged, the GUI kept working while a silent server is waited for, the alarm
// entry point with its body and send-if switches, and a mail abandoned at shut-down.
#include "core/CheckRules.h"
#include "core/MonitorState.h"
#include "tests/core/mail_helpers.h"
#include "tests/ui/dialogs/email_fixture.h"

#include <QJsonArray>
#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;
using zt::test::CountingFront;
using zt::test::FrontMode;

class EmailSettingsPeerTest : public EmailSettingsFixture {
protected:
    void SetUp() override {
        EmailSettingsFixture::SetUp();
        if (!Peer.Unavailable().empty()) {
            GTEST_SKIP() << Peer.Unavailable();
        }
    }
    void TearDown() override {
        ResetShutdownRequest();
        MonitoringActive = false;
        EmailSettingsFixture::TearDown();
    }
    zt::test::SmtpRecorder Peer;
};

TEST_F(EmailSettingsPeerTest, TestEmailSendsTheTwoLinesAndLogs) {
    UseServer(Peer.PlainPort());
    Form->Email_Edit->setText("a@x.example, b@y.example");
    Form->Send_test_Email_Button->click();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    EXPECT_EQ(Log(), QStringList{"Send email alert: Test message"});
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_EQ(m["subject"].toString(), "Host Alert: Host is change state!");
    EXPECT_EQ(m["body"].toString(),
              "Host: Example site, www.example.org - ICMP check failed! Requested Timed out.\r\n"
              "This is test message from monitoring system - Zorvanite Tarnequill Pro.\r\n");
    EXPECT_EQ(m["rcpt_tos"].toArray().size(), 2);
    EXPECT_EQ(m["mail_from"].toString(), "alerts@mail.example");
    EXPECT_TRUE(m["auth"].isNull());
    EXPECT_TRUE(Peer.Auths().empty());
}

TEST_F(EmailSettingsPeerTest, SslAndAuthenticationUseImplicitTlsAndLogin) {
    UseServer(Peer.TlsPort(), true, true);
    const TMailResult r = SendNotificationMail("ops@x.example", "Subject", {"", "Host: web - Down"});
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    ASSERT_TRUE(Peer.WaitForMessages(1));
    const QJsonObject m = Peer.Messages().at(0);
    EXPECT_TRUE(m["tls"].toBool());
    EXPECT_EQ(m["auth"].toObject()["mechanism"].toString(), "LOGIN");
    EXPECT_EQ(m["auth"].toObject()["login"].toString(), "alerts@mail.example");
    EXPECT_EQ(m["mail_from"].toString(), "alerts@mail.example");
}

TEST_F(EmailSettingsPeerTest, SslWithoutAuthenticationDoesNotLogIn) {
    UseServer(Peer.TlsPort(), true, false);
    ASSERT_TRUE(SendNotificationMail("ops@x.example", "Subject", {"b"}).Sent);
    ASSERT_TRUE(Peer.WaitForMessages(1));
    EXPECT_TRUE(Peer.Messages().at(0)["tls"].toBool());
    EXPECT_TRUE(Peer.Auths().empty());
}

TEST_F(EmailSettingsPeerTest, TestEmailFailureIsShownWithTheReasonAndLogged) {
    UseServer(Peer.PlainPort(), false, true);
    Form->Pass_Edit->setText("wrong");
    Form->Email_Edit->setText("ops@x.example");
    Form->Send_test_Email_Button->click();
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith("The test email has not been sent: Login denied"))
        << Boxes[0].toStdString();
    ASSERT_EQ(Log().size(), 1);
    EXPECT_TRUE(Log()[0].startsWith("Send email alert: Test message not sent: Login denied"))
        << Log()[0].toStdString();
    EXPECT_TRUE(Peer.Messages().empty());
}

TEST_F(EmailSettingsPeerTest, AlarmEntryPointSendsTheBodyAsMemo1) {
    UseServer(Peer.PlainPort());
    const TMailResult r = SendNotificationMail("ops@x.example", "Host Alert: web changed state: Down",
                                               {"", "Host: web - Down"});
    ASSERT_TRUE(r.Sent) << r.Reason.toStdString();
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_EQ(Form->Memo1->toPlainText(), "\nHost: web - Down");
    ASSERT_TRUE(Peer.WaitForMessages(1));
    EXPECT_EQ(Peer.Messages().at(0)["body"].toString(), "\r\nHost: web - Down\r\n");
    EXPECT_EQ(Peer.Messages().at(0)["subject"].toString(), "Host Alert: web changed state: Down");
}

TEST_F(EmailSettingsPeerTest, SendIfDownOffAndSendIfUpOnMailsOnlyUpEvents) {
    UseServer(Peer.PlainPort());
    Form->FormCreate();
    Form->CheckBox_send_if_down->setChecked(false);
    Form->CheckBox_send_if_up->setChecked(true);
    struct Event {
        QString State;
        int Colour;
    };
    int sent = 0;
    for (const Event& e : {Event{"Down", 255}, Event{"OK", 65280}, Event{"Packet loss", 65535}}) {
        const auto options = Services.Settings().Snapshot();
        if (EventQualifies(e.Colour, options->CheckBox_send_if_down, options->CheckBox_send_if_up)) {
            sent += SendNotificationMail("ops@x.example", "web - " + e.State, {"", e.State}).Sent ? 1 : 0;
        }
    }
    EXPECT_EQ(sent, 1);
    ASSERT_TRUE(Peer.WaitForMessages(1));
    std::this_thread::sleep_for(milliseconds(200));
    ASSERT_EQ(Peer.Messages().size(), 1u);
    EXPECT_EQ(Peer.Messages().at(0)["subject"].toString(), "web - OK");
}

TEST_F(EmailSettingsPeerTest, SilentServerFailsInTimeWhileTheGuiIsServed) {
    CountingFront front(0, {FrontMode::Silent});
    UseServer(front.Port());
    Form->SetMailTimeouts(5000, 300);
    Form->Email_Edit->setText("ops@x.example");
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    const auto start = steady_clock::now();
    Form->Send_test_Email_Button->click();
    const auto took = duration_cast<milliseconds>(steady_clock::now() - start).count();
    timer.stop();
    EXPECT_LT(took, 3000);
    EXPECT_GT(ticks, 20);
    EXPECT_EQ(front.Connections(), 2);
    EXPECT_EQ(
        Boxes,
        QStringList{"The test email has not been sent: Timed out: no reply from the server within 300 ms"});
}

TEST_F(EmailSettingsPeerTest, TestButtonIsDisabledWhileItsMailIsInFlight) {
    CountingFront front(0, {FrontMode::Silent});
    UseServer(front.Port());
    Form->SetMailTimeouts(5000, 300);
    Form->Email_Edit->setText("ops@x.example");
    bool enabledDuring = true;
    QTimer::singleShot(100, Form.get(), [&] { enabledDuring = Form->Send_test_Email_Button->isEnabled(); });
    Form->Send_test_Email_Button->click();
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(Form->Send_test_Email_Button->isEnabled());
}

TEST_F(EmailSettingsPeerTest, ShutDownAbandonsTheMailInFlight) {
    CountingFront front(0, {FrontMode::Silent});
    UseServer(front.Port());
    Form->SetMailTimeouts(20000, 20000);
    QTimer::singleShot(200, [] { RequestShutdown(); });
    const auto start = steady_clock::now();
    const TMailResult r = SendNotificationMail("ops@x.example", "s", {"b"});
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, "Cancelled: the mail was abandoned");
    EXPECT_EQ(Log(),
              QStringList{"Email alert: not sent to ops@x.example: Cancelled: the mail was abandoned"});
    EXPECT_EQ(front.Connections(), 1);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000);
}

TEST_F(EmailSettingsPeerTest, AlarmMailIsAbandonedWhenMonitoringEndsButATestMailIsNot) {
    CountingFront front(0, {FrontMode::Silent});
    UseServer(front.Port());
    Form->SetMailTimeouts(20000, 600);
    MonitoringActive = true;
    QTimer::singleShot(150, [] { MonitoringActive = false; });
    auto start = steady_clock::now();
    TMailResult r = SendNotificationMail("ops@x.example", "s", {"b"});
    EXPECT_EQ(r.Reason, "Cancelled: the mail was abandoned");
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 500);

    MonitoringActive = true;
    QTimer::singleShot(150, [] { MonitoringActive = false; });
    r = Form->SendNotificationMail("ops@x.example", "s");
    EXPECT_EQ(r.Reason, "Timed out: no reply from the server within 600 ms");
}

TEST_F(EmailSettingsPeerTest, AbandonMailInFlightEndsItAtOnce) {
    CountingFront front(0, {FrontMode::Silent});
    UseServer(front.Port());
    Form->SetMailTimeouts(20000, 20000);
    QTimer::singleShot(150, Form.get(), [this] { Form->AbandonMailInFlight(); });
    const auto start = steady_clock::now();
    EXPECT_EQ(Form->SendNotificationMail("ops@x.example", "s").Reason, "Cancelled: the mail was abandoned");
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000);
    // The request ends with the mail: the next one runs normally.
    Form->SetMailTimeouts(20000, 300);
    EXPECT_EQ(Form->SendNotificationMail("ops@x.example", "s").Reason,
              "Timed out: no reply from the server within 300 ms");
}

} // namespace
