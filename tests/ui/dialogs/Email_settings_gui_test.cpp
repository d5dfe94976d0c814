// The notification settings dialog headless: its controls, names and defaults, the hidden tab,
// the handlers, OK and Cancel with the settings file, the test mail's checks, the test message
// on the messaging seam, the sign-up notes and how the pages look.
#include "core/NotificationSettings.h"
#include "core/RC6.h"
#include "tests/ui/dialogs/email_fixture.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <sys/stat.h>

namespace {

class EmailSettingsGuiTest : public EmailSettingsFixture {};

void Press(QWidget* Widget) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Widget->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Widget, &press);
}

TEST_F(EmailSettingsGuiTest, ControlsNamesAndDefaults) {
    TEmail_settings_form& f = *Form;
    EXPECT_EQ(f.objectName(), "Email_settings_form");
    EXPECT_EQ(f.windowTitle(), "Email notifications");
    for (const char* name :
         {"Email_Edit", "RadioButton_AS_mail_server", "RadioButton_specific_server", "CheckBox_send_if_down",
          "CheckBox_send_if_up", "Edit_user_email", "Pass_Edit", "Smtp_Edit", "Edit_port",
          "CheckBox_SMTP_auth", "CheckBox_SSL", "ICQ_UIN_Edit", "ICQ_Password_Edit", "Skype_login_edit",
          "Skype_pasword_edit", "Memo1", "Settings", "PageControl1"}) {
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(f.Email_Edit->text(), TEmail_settings_form::PlaceholderEmail());
    EXPECT_TRUE(f.Email_Edit->text().endsWith("@example.org"));
    EXPECT_TRUE(f.RadioButton_AS_mail_server->isChecked());
    EXPECT_EQ(f.RadioButton_AS_mail_server->text(), "Use Zorvanite Tarnequil Pro mail server");
    EXPECT_FALSE(f.RadioButton_specific_server->isChecked());
    EXPECT_EQ(f.RadioButton_specific_server->text(), "Use specific mail server");
    EXPECT_TRUE(f.CheckBox_send_if_down->isChecked());
    EXPECT_EQ(f.CheckBox_send_if_down->text(), "Send notification when host is down");
    EXPECT_TRUE(f.CheckBox_send_if_up->isChecked());
    EXPECT_EQ(f.CheckBox_send_if_up->text(), "Send notification when host is up");
    EXPECT_EQ(f.Edit_port->value(), 25);
    EXPECT_FALSE(f.CheckBox_SMTP_auth->isChecked());
    EXPECT_EQ(f.CheckBox_SMTP_auth->text(), "SMTP server requires authentication");
    EXPECT_FALSE(f.CheckBox_SSL->isChecked());
    EXPECT_FALSE(f.CheckBox_SSL->isEnabled());
    EXPECT_EQ(f.CheckBox_SSL->text(), "SSL support");
    for (QLineEdit* e : {f.Edit_user_email, f.Pass_Edit, f.Smtp_Edit, f.ICQ_UIN_Edit, f.ICQ_Password_Edit,
                         f.Skype_login_edit, f.Skype_pasword_edit}) {
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    }
    for (QLineEdit* e : {f.Pass_Edit, f.ICQ_Password_Edit, f.Skype_pasword_edit}) {
        EXPECT_EQ(e->echoMode(), QLineEdit::Password) << e->objectName().toStdString();
    }
    EXPECT_TRUE(f.Memo1->isHidden());
    EXPECT_TRUE(f.Settings->isHidden());
    EXPECT_EQ(f.Send_test_Email_Button->text(), "Send test Email");
    EXPECT_EQ(f.Test_message_Button->text(), "Test message");
    EXPECT_EQ(f.OK_Button->text(), "OK");
    EXPECT_EQ(f.Cancel_Button->text(), "Cancel");
}

TEST_F(EmailSettingsGuiTest, ThreePagesWithTheMiddleOneHidden) {
    QTabWidget* pages = Form->PageControl1;
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->widget(0), Form->TabSheet1);
    EXPECT_EQ(pages->widget(1), Form->TabSheet2);
    EXPECT_EQ(pages->widget(2), Form->TabSheet3);
    EXPECT_TRUE(pages->isTabVisible(0));
    EXPECT_FALSE(pages->isTabVisible(1));
    EXPECT_TRUE(pages->isTabVisible(2));
    EXPECT_TRUE(Form->TabSheet2->isAncestorOf(Form->Skype_login_edit));
    EXPECT_TRUE(Form->TabSheet3->isAncestorOf(Form->ICQ_UIN_Edit));
    for (int page : {0, 2}) {
        int seen = -1;
        QTimer::singleShot(0, Form.get(), [&] {
            seen = pages->currentIndex();
            Form->Cancel_Button->click();
        });
        EXPECT_EQ(Form->ShowOnPage(page), int(QDialog::Rejected));
        EXPECT_EQ(seen, page);
    }
}

TEST_F(EmailSettingsGuiTest, RadioButtonsSwitchTheSixServerControls) {
    auto six = [this] {
        return QList<QWidget*>{Form->Edit_user_email,    Form->Pass_Edit, Form->Smtp_Edit,
                               Form->CheckBox_SMTP_auth, Form->Edit_port, Form->CheckBox_SSL};
    };
    for (QWidget* w : six()) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    Form->RadioButton_specific_server->click();
    for (QWidget* w : six()) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    Form->RadioButton_AS_mail_server->click();
    for (QWidget* w : six()) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(Form->Email_Edit->isEnabled());
}

TEST_F(EmailSettingsGuiTest, ClickIntoThePlaceholderEmptiesIt) {
    Press(Form->Email_Edit);
    EXPECT_TRUE(Form->Email_Edit->text().isEmpty());
    Form->Email_Edit->setText("ops@x.example");
    Press(Form->Email_Edit);
    EXPECT_EQ(Form->Email_Edit->text(), "ops@x.example");
}

TEST_F(EmailSettingsGuiTest, OkSavesTheControlsCipheredAndCloses) {
    Form->Email_Edit->setText("ops@x.example");
    Form->CheckBox_send_if_down->setChecked(false);
    // The built-in server is chosen: the disabled server controls are still written.
    Form->Smtp_Edit->setText("smtp.mail.example");
    Form->Edit_port->setValue(465);
    Form->CheckBox_SSL->setChecked(true);
    Form->ICQ_UIN_Edit->setText("123456");
    Form->Skype_login_edit->setText("voice");
    Form->open();
    ASSERT_TRUE(Form->isVisible());
    Form->OK_Button->click();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), int(QDialog::Accepted));
    const QByteArray bytes = QByteArray::fromStdString(zt::test::ReadFile(Dir.file("ESettings.cnfg")));
    EXPECT_EQ(bytes, EncodeNotificationSettings(Form->CurrentSettings()));
    EXPECT_EQ(DecodeNotificationSettings(bytes),
              (QStringList{"ops@x.example", "-1", "0", "0", "-1", "", "", "smtp.mail.example", "465", "0",
                           "-1", "123456", "", "voice", ""}));
    struct stat st {};
    ASSERT_EQ(::stat(Dir.file("ESettings.cnfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(Form->Settings->toPlainText().isEmpty());
    EXPECT_TRUE(Boxes.isEmpty());

    TEmail_settings_form second(Services);
    second.FormCreate();
    EXPECT_EQ(NotificationSettingsText(second.CurrentSettings()),
              NotificationSettingsText(Form->CurrentSettings()));
    EXPECT_FALSE(second.Smtp_Edit->isEnabled());
}

TEST_F(EmailSettingsGuiTest, CancelClosesWithoutSavingAndKeepsWhatWasTyped) {
    Form->open();
    Form->Email_Edit->setText("typed@x.example");
    Form->Cancel_Button->click();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), int(QDialog::Rejected));
    EXPECT_EQ(Form->Email_Edit->text(), "typed@x.example");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Dir.file("ESettings.cnfg"))));
}

TEST_F(EmailSettingsGuiTest, FailedSaveShowsTheReasonAndStaysOpen) {
    SetDataFolder(QString::fromStdString(Dir.file("missing")));
    Form->open();
    Form->OK_Button->click();
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith(
        "The notification settings could not be saved: Cannot create a temporary file for "))
        << Boxes[0].toStdString();
    EXPECT_TRUE(Boxes[0].contains("No such file or directory"));
    EXPECT_TRUE(Form->isVisible());
    Form->reject();
}

TEST_F(EmailSettingsGuiTest, FormCreateAppliesTheFileInOrder) {
    TNotificationSettings s;
    s.Email = "five@x.example";
    s.UseBuiltInServer = false;
    s.UseSpecificServer = true;
    s.SendIfDown = false;
    s.SendIfUp = false;
    s.SmtpHost = "never.applied";
    QStringList lines = NotificationSettingsLines(s).mid(0, 5);
    QByteArray text;
    for (const QString& l : lines) {
        text += l.toUtf8() + "\r\n";
    }
    zt::test::WriteFile(Dir.file("ESettings.cnfg"),
                        Rc6EncryptBytes(text, NotificationSettingsKey()).toStdString());
    TEmail_settings_form loaded(Services);
    loaded.FormCreate();
    EXPECT_EQ(loaded.Email_Edit->text(), "five@x.example");
    EXPECT_TRUE(loaded.RadioButton_specific_server->isChecked());
    EXPECT_FALSE(loaded.CheckBox_send_if_down->isChecked());
    EXPECT_FALSE(loaded.CheckBox_send_if_up->isChecked());
    EXPECT_TRUE(loaded.Smtp_Edit->text().isEmpty());
    EXPECT_EQ(loaded.Edit_port->value(), 25);
    EXPECT_TRUE(loaded.Smtp_Edit->isEnabled()); // the specific server's controls follow the loaded choice
}

TEST_F(EmailSettingsGuiTest, FormCreateWithoutAFileKeepsTheDefaults) {
    TEmail_settings_form loaded(Services);
    loaded.FormCreate();
    EXPECT_EQ(NotificationSettingsText(loaded.CurrentSettings()),
              NotificationSettingsText(TEmail_settings_form(Services).CurrentSettings()));
    EXPECT_EQ(loaded.Email_Edit->text(), TEmail_settings_form::PlaceholderEmail());
}

TEST_F(EmailSettingsGuiTest, TestEmailNeedsAnAddress) {
    for (const QString& address : {TEmail_settings_form::PlaceholderEmail(), QString(), QString("  ")}) {
        Boxes.clear();
        Form->Email_Edit->setText(address);
        Form->Send_test_Email_Button->click();
        EXPECT_EQ(Boxes, QStringList{"Input your email for alert messages!"});
    }
    EXPECT_EQ(Form->Memo1->toPlainText(),
              "Host: Example site, www.example.org - ICMP check failed! Requested Timed out.\n"
              "This is test message from monitoring system - Zorvanite Tarnequill Pro.");
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(EmailSettingsGuiTest, BuiltInServerFailsClearlyNeverSent) {
    Form->Email_Edit->setText("ops@x.example");
    Form->Send_test_Email_Button->click();
    const QString reason =
        "The built-in mail server has no account here: choose \"Use specific mail server\" "
        "and enter your server's settings.";
    EXPECT_EQ(Boxes, QStringList{"The test email has not been sent: " + reason});
    EXPECT_EQ(Log(), QStringList{"Send email alert: Test message not sent: " + reason});
    EXPECT_TRUE(Form->Send_test_Email_Button->isEnabled());
    const TMailResult r = SendNotificationMail("ops@x.example", "s", {"body"});
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, reason);
    EXPECT_EQ(Log().last(), "Email alert: not sent to ops@x.example: " + reason);
}

TEST_F(EmailSettingsGuiTest, EntryPointRefusesLineBreaksInRecipients) {
    UseServer(zt::test::FreeTcpPort());
    const TMailResult r = SendNotificationMail("ops@x.example\r\nRCPT TO:<x@y>", "s", {"b"});
    EXPECT_FALSE(r.Sent);
    EXPECT_EQ(r.Reason, "A recipient address holds a line break or NUL character.");
    Email_settings_form = nullptr;
    EXPECT_EQ(SendNotificationMail("ops@x.example", "s", {"b"}).Reason,
              "The notification settings are not loaded.");
}

TEST_F(EmailSettingsGuiTest, TheDispatchersOptionsFollowTheFormAndItIsTheMailChannel) {
    Form->ICQ_UIN_Edit->setText("1111");
    Form->FormCreate();
    const auto loaded = Services.Settings().Snapshot();
    EXPECT_EQ(loaded->ICQ_UIN_Edit, "1111"); // the form's values reach the options at start
    Form->CheckBox_send_if_down->setChecked(false);
    Form->ICQ_UIN_Edit->setText("4242");
    Form->ICQ_Password_Edit->setText("pw");
    const auto s = Services.Settings().Snapshot();
    EXPECT_FALSE(s->CheckBox_send_if_down);
    EXPECT_TRUE(s->CheckBox_send_if_up);
    EXPECT_EQ(s->ICQ_UIN_Edit, "4242");
    EXPECT_EQ(s->ICQ_Password_Edit, "pw");
    EXPECT_EQ(&Services.Channels().Mail(), static_cast<IMailChannel*>(Form.get()));
    Form.reset();
    Email_settings_form = nullptr;
    EXPECT_NE(&Services.Channels().Mail(), nullptr); // withdrawn: the null channel again
    EXPECT_FALSE(Services.Channels().Mail().SendNotificationMail("ops@x.example", "s", {"b"}).Sent);
}

// A messaging client that signs on after a number of looks, recording what it was asked.
struct FakeMessaging {
    int SignOnAfter = -1; // looks at LoggedIn before it reports signed on; -1 never
    int Looks = 0;
    bool SendResult = true;
    QStringList Calls;
    TMessagingSeam Seam() {
        return {[this] { return SignOnAfter >= 0 && Looks++ >= SignOnAfter; },
                [this](qint64 uin, const QString& pw, quint32 status) {
                    Calls << QStringLiteral("Login %1 %2 %3").arg(uin).arg(pw).arg(status);
                },
                [this](qint64 uin, const QString& text) {
                    Calls << QStringLiteral("Send %1 %2").arg(uin).arg(text);
                    return SendResult;
                }};
    }
};

TEST_F(EmailSettingsGuiTest, TestMessageAsksForTheUinAndStopsWhenCancelledOrEmpty) {
    FakeMessaging client;
    Form->SetMessagingSeam(client.Seam());
    Answer = std::nullopt;
    Form->Test_message_Button->click();
    EXPECT_EQ(Asked, (QStringList{"Input your ICQ UIN", "Your ICQ UIN:"}));
    Answer = QString(" ");
    Form->Test_message_Button->click();
    EXPECT_TRUE(client.Calls.isEmpty());
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(EmailSettingsGuiTest, TestMessageSignsOnWaitsAndSendsTheFixedText) {
    FakeMessaging client;
    client.SignOnAfter = 3;
    Form->SetMessagingSeam(client.Seam());
    Form->SetIcqWaitRoundMs(1);
    Form->ICQ_UIN_Edit->setText("111222");
    Form->ICQ_Password_Edit->setText("secret");
    Answer = QString("333444");
    Form->Test_message_Button->click();
    EXPECT_EQ(client.Calls,
              (QStringList{"Login 111222 secret 0",
                           "Send 333444 Host Alert: Facebook - ICMP check failed! Requested Timed "
                           "out.\rThis is test message."}));
    EXPECT_EQ(Log(), QStringList{"ICQ alert: Test message."});
}

TEST_F(EmailSettingsGuiTest, TestMessageTimesOutAfter150Rounds) {
    FakeMessaging client;
    client.SendResult = false; // not signed on: the client sends nothing
    Form->SetMessagingSeam(client.Seam());
    Form->SetIcqWaitRoundMs(1);
    Form->ICQ_UIN_Edit->setText("111222");
    Answer = QString("333444");
    Form->Test_message_Button->click();
    EXPECT_EQ(Log(),
              (QStringList{"ICQ alert: Error! Connection timeout!", "ICQ alert: Error, check settings!"}));
}

TEST_F(EmailSettingsGuiTest, TestMessageWaitIsBoundedBy150Rounds) {
    int looks = 0;
    Form->SetMessagingSeam({[&] {
                                ++looks;
                                return false;
                            },
                            {},
                            {}});
    Form->SetIcqWaitRoundMs(1);
    Form->ICQ_UIN_Edit->setText("1");
    Answer = QString("2");
    Form->Test_message_Button->click();
    EXPECT_EQ(looks, 1 + 151); // once before the sign-on, then before each of the 150 rounds and after
    EXPECT_EQ(Log(),
              (QStringList{"ICQ alert: Error! Connection timeout!", "ICQ alert: Error, check settings!"}));
}

TEST_F(EmailSettingsGuiTest, UinThatIsNoWholeNumberIsReportedNotRaised) {
    FakeMessaging client;
    Form->SetMessagingSeam(client.Seam());
    Form->SetIcqWaitRoundMs(1);
    Form->ICQ_UIN_Edit->setText("12ab");
    Answer = QString("333");
    Form->Test_message_Button->click();
    EXPECT_TRUE(client.Calls.isEmpty());
    EXPECT_EQ(Log(), QStringList{"ICQ alert: Error, check settings!"});

    client.SignOnAfter = 0;
    Answer = QString("not a number");
    Form->Test_message_Button->click();
    EXPECT_TRUE(client.Calls.isEmpty());
    EXPECT_EQ(Log(), (QStringList{"ICQ alert: Error, check settings!", "ICQ alert: Error, check settings!"}));
}

TEST_F(EmailSettingsGuiTest, WithoutAMessagingClientTheTestMessageIsNotSent) {
    Form->SetIcqWaitRoundMs(1);
    Form->ICQ_UIN_Edit->setText("111");
    Answer = QString("222");
    Form->Test_message_Button->click();
    EXPECT_EQ(Log(),
              (QStringList{"ICQ alert: Error! Connection timeout!", "ICQ alert: Error, check settings!"}));
}

TEST_F(EmailSettingsGuiTest, NotesOpenTheSignUpPages) {
    QStringList opened;
    Form->SetUrlOpener([&](const QString& url) { opened << url; });
    for (QLabel* note : {Form->Memo2, Form->Memo3, Form->Memo4}) {
        EXPECT_EQ(note->cursor().shape(), Qt::PointingHandCursor);
        Press(note);
    }
    EXPECT_EQ(opened, (QStringList{"https://mail.example.org/signup", "https://voice.example.org/signup",
                                   "https://messenger.example.org/signup"}));
    EXPECT_TRUE(Form->TabSheet1->isAncestorOf(Form->Memo2));
    EXPECT_TRUE(Form->TabSheet2->isAncestorOf(Form->Memo3));
    EXPECT_TRUE(Form->TabSheet3->isAncestorOf(Form->Memo4));
}

TEST_F(EmailSettingsGuiTest, PagesShowEveryCaptionWhole) {
    Form->RadioButton_specific_server->setChecked(true);
    Form->show();
    const char* shots = std::getenv("ZT_SCREENSHOT_DIR");
    for (int page : {0, 2}) {
        Form->PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        const QPixmap picture = Form->grab();
        EXPECT_FALSE(picture.isNull());
        if (shots) {
            picture.save(
                QStringLiteral("%1/email_settings_page%2.png").arg(QString::fromLocal8Bit(shots)).arg(page));
        }
        for (QAbstractButton* b : Form->PageControl1->currentWidget()->findChildren<QAbstractButton*>()) {
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
        }
    }
    Form->hide();
}

} // namespace
