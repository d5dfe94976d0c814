// The notification settings dialog: its pages, the settings file, the test mail and the test
// message, and the alert mail entry point.
#include "ui/dialogs/Email_settings.h"

#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/ProgramLog.h"
#include "core/PumpDelay.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "ui/main/SettingsBinding.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>

TEmail_settings_form* Email_settings_form = nullptr;

namespace {

const char* const EmailSignUpUrl = "https://mail.example.org/signup";
const char* const MessagingSignUpUrl = "https://messenger.example.org/signup";
const char* const VoiceSignUpUrl = "https://voice.example.org/signup";

constexpr int IcqWaitRounds = 150;
constexpr quint32 IcqTestStatus = 0;

QString BuiltInServerReason() {
    return QStringLiteral("The built-in mail server has no account here: choose \"Use specific mail server\" "
                          "and enter your server's settings.");
}

// A UIN is a whole decimal number; anything else is refused rather than read as a prefix.
std::optional<qint64> WholeNumber(const QString& Text) {
    bool ok = false;
    const qint64 value = Text.trimmed().toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

TMessagingSeam SignedOffMessaging() {
    return {[] { return false; }, [](qint64, const QString&, quint32) {},
            [](qint64, const QString&) {
                return false;
            }};
}

QLineEdit* NewEdit(QWidget* Parent, const char* Name, bool Masked = false) {
    auto* edit = new QLineEdit(Parent);
    edit->setObjectName(QString::fromLatin1(Name));
    if (Masked) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

QCheckBox* NewCheck(QWidget* Parent, const char* Name, const QString& Text, bool Checked) {
    auto* box = new QCheckBox(Text, Parent);
    box->setObjectName(QString::fromLatin1(Name));
    box->setChecked(Checked);
    return box;
}

QLabel* NewNote(QWidget* Parent, const char* Name, const QString& Text, const char* Url) {
    auto* note = new QLabel(Text, Parent);
    note->setObjectName(QString::fromLatin1(Name));
    note->setWordWrap(true);
    note->setCursor(Qt::PointingHandCursor);
    note->setProperty("signUpUrl", QString::fromLatin1(Url));
    note->setFrameShape(QFrame::StyledPanel);
    note->setMargin(4);
    return note;
}

// A field's caption, named after the field so the language loader finds it.
QLabel* NewCaption(QWidget* Parent, const char* Name, const QString& Text) {
    auto* label = new QLabel(Text, Parent);
    label->setObjectName(QString::fromLatin1(Name));
    return label;
}

QPushButton* NewButton(QWidget* Parent, const char* Name, const QString& Text) {
    auto* button = new QPushButton(Text, Parent);
    button->setObjectName(QString::fromLatin1(Name));
    return button;
}

} // namespace

TEmail_settings_form::TEmail_settings_form(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FServices(&Services), FMessaging(SignedOffMessaging()),
      FOpenUrl([](const QString& Url) { QDesktopServices::openUrl(QUrl(Url)); }) {
    setObjectName(QStringLiteral("Email_settings_form"));
    setWindowTitle(QStringLiteral("Email notifications"));
    BuildPages();
    RadioButton_AS_mail_serverClick();
}

TEmail_settings_form::~TEmail_settings_form() {
    FServices->Channels().SetMail(nullptr);
}

void TEmail_settings_form::BuildPages() {
    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1);

    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* mail = new QVBoxLayout(TabSheet1);
    mail->addWidget(
        NewCaption(TabSheet1, "Label_Email_Edit", QStringLiteral("Email address for alert messages")));
    Email_Edit = NewEdit(TabSheet1, "Email_Edit");
    Email_Edit->setText(PlaceholderEmail());
    Email_Edit->installEventFilter(this);
    mail->addWidget(Email_Edit);
    RadioButton_AS_mail_server =
        new QRadioButton(QStringLiteral("Use Zorvanite Tarnequil Pro mail server"), TabSheet1);
    RadioButton_AS_mail_server->setObjectName(QStringLiteral("RadioButton_AS_mail_server"));
    RadioButton_AS_mail_server->setChecked(true);
    RadioButton_specific_server = new QRadioButton(QStringLiteral("Use specific mail server"), TabSheet1);
    RadioButton_specific_server->setObjectName(QStringLiteral("RadioButton_specific_server"));
    mail->addWidget(RadioButton_AS_mail_server);
    mail->addWidget(RadioButton_specific_server);

    auto* server = new QGroupBox(TabSheet1);
    auto* form = new QFormLayout(server);
    Edit_user_email = NewEdit(server, "Edit_user_email");
    Pass_Edit = NewEdit(server, "Pass_Edit", true);
    Smtp_Edit = NewEdit(server, "Smtp_Edit");
    Edit_port = new QSpinBox(server);
    Edit_port->setObjectName(QStringLiteral("Edit_port"));
    Edit_port->setRange(1, 65535);
    Edit_port->setValue(25);
    form->addRow(NewCaption(server, "Label_Edit_user_email", QStringLiteral("User name")), Edit_user_email);
    form->addRow(NewCaption(server, "Label_Pass_Edit", QStringLiteral("Password")), Pass_Edit);
    form->addRow(NewCaption(server, "Label_Smtp_Edit", QStringLiteral("Smtp server")), Smtp_Edit);
    form->addRow(NewCaption(server, "Label_Edit_port", QStringLiteral("Port")), Edit_port);
    CheckBox_SMTP_auth =
        NewCheck(server, "CheckBox_SMTP_auth", QStringLiteral("SMTP server requires authentication"), false);
    CheckBox_SSL = NewCheck(server, "CheckBox_SSL", QStringLiteral("SSL support"), false);
    form->addRow(CheckBox_SMTP_auth);
    form->addRow(CheckBox_SSL);
    mail->addWidget(server);

    CheckBox_send_if_down = NewCheck(TabSheet1, "CheckBox_send_if_down",
                                     QStringLiteral("Send notification when host is down"), true);
    CheckBox_send_if_up =
        NewCheck(TabSheet1, "CheckBox_send_if_up", QStringLiteral("Send notification when host is up"), true);
    mail->addWidget(CheckBox_send_if_down);
    mail->addWidget(CheckBox_send_if_up);
    Send_test_Email_Button =
        NewButton(TabSheet1, "Send_test_Email_Button", QStringLiteral("Send test Email"));
    mail->addWidget(Send_test_Email_Button, 0, Qt::AlignLeft);
    Memo2 = NewNote(TabSheet1, "Memo2",
                    QStringLiteral("No mailbox for alerts yet? Click here to open a free web mail account."),
                    EmailSignUpUrl);
    mail->addWidget(Memo2);
    mail->addStretch();

    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* voice = new QFormLayout(TabSheet2);
    Skype_login_edit = NewEdit(TabSheet2, "Skype_login_edit");
    Skype_pasword_edit = NewEdit(TabSheet2, "Skype_pasword_edit", true);
    voice->addRow(NewCaption(TabSheet2, "Label_Skype_login_edit", QStringLiteral("Login")), Skype_login_edit);
    voice->addRow(NewCaption(TabSheet2, "Label_Skype_pasword_edit", QStringLiteral("Password")),
                  Skype_pasword_edit);
    Memo3 =
        NewNote(TabSheet2, "Memo3", QStringLiteral("No account yet? Click here to sign up."), VoiceSignUpUrl);
    voice->addRow(Memo3);

    TabSheet3 = new QWidget(PageControl1);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* messaging = new QFormLayout(TabSheet3);
    ICQ_UIN_Edit = NewEdit(TabSheet3, "ICQ_UIN_Edit");
    ICQ_Password_Edit = NewEdit(TabSheet3, "ICQ_Password_Edit", true);
    messaging->addRow(NewCaption(TabSheet3, "Label_ICQ_UIN_Edit", QStringLiteral("ICQ number (UIN):")),
                      ICQ_UIN_Edit);
    messaging->addRow(NewCaption(TabSheet3, "Label_ICQ_Password_Edit", QStringLiteral("ICQ password:")),
                      ICQ_Password_Edit);
    Test_message_Button = NewButton(TabSheet3, "Test_message_Button", QStringLiteral("Test message"));
    messaging->addRow(Test_message_Button);
    Memo4 =
        NewNote(TabSheet3, "Memo4",
                QStringLiteral("The monitor signs on with its own ICQ number. No number yet? Click here to "
                               "register one."),
                MessagingSignUpUrl);
    messaging->addRow(Memo4);

    PageControl1->addTab(TabSheet1, QStringLiteral("Email"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Skype"));
    PageControl1->addTab(TabSheet3, QStringLiteral("ICQ"));
    PageControl1->setTabVisible(1, false);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->hide();
    Settings = new QPlainTextEdit(this);
    Settings->setObjectName(QStringLiteral("Settings"));
    Settings->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    OK_Button = NewButton(this, "OK_Button", QStringLiteral("OK"));
    Cancel_Button = NewButton(this, "Cancel_Button", QStringLiteral("Cancel"));
    buttons->addWidget(OK_Button);
    buttons->addWidget(Cancel_Button);
    layout->addLayout(buttons);

    auto guard = [this](const char* Name, void (TEmail_settings_form::*Handler)()) {
        return [this, Name, Handler] {
            Guarded(Name, [this, Handler] { (this->*Handler)(); });
        };
    };
    connect(RadioButton_AS_mail_server, &QRadioButton::toggled, this,
            guard("TEmail_settings_form.RadioButton_AS_mail_serverClick",
                  &TEmail_settings_form::RadioButton_AS_mail_serverClick));
    connect(OK_Button, &QPushButton::clicked, this,
            guard("TEmail_settings_form.OK_ButtonClick", &TEmail_settings_form::OK_ButtonClick));
    connect(Cancel_Button, &QPushButton::clicked, this,
            guard("TEmail_settings_form.Cancel_ButtonClick", &TEmail_settings_form::Cancel_ButtonClick));
    connect(Send_test_Email_Button, &QPushButton::clicked, this,
            guard("TEmail_settings_form.Send_test_Email_ButtonClick",
                  &TEmail_settings_form::Send_test_Email_ButtonClick));
    connect(Test_message_Button, &QPushButton::clicked, this,
            guard("TEmail_settings_form.Test_message_ButtonClick",
                  &TEmail_settings_form::Test_message_ButtonClick));
    for (QLabel* note : {Memo2, Memo3, Memo4}) {
        note->installEventFilter(this);
    }
}

bool TEmail_settings_form::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::MouseButtonPress) {
        if (Watched == Email_Edit) {
            Guarded("TEmail_settings_form.Email_EditClick", [this] { Email_EditClick(); });
        } else if (auto* note = qobject_cast<QLabel*>(Watched);
                   note && (note == Memo2 || note == Memo3 || note == Memo4)) {
            Guarded("TEmail_settings_form.MemoClick", [this, note] { MemoClick(note); });
            return true;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

QString TEmail_settings_form::PlaceholderEmail() {
    return QStringLiteral("your.name@example.org");
}

QStringList TEmail_settings_form::TestMailBody() {
    return {QStringLiteral("Host: Example site, www.example.org - ICMP check failed! Requested Timed out."),
            QStringLiteral("This is test message from monitoring system - Zorvanite Tarnequill Pro.")};
}

QString TEmail_settings_form::SettingsFileName() const {
    return DataFolder() + QStringLiteral("ESettings.cnfg");
}

TNotificationSettings TEmail_settings_form::CurrentSettings() const {
    TNotificationSettings s;
    s.Email = Email_Edit->text();
    s.UseBuiltInServer = RadioButton_AS_mail_server->isChecked();
    s.UseSpecificServer = RadioButton_specific_server->isChecked();
    s.SendIfDown = CheckBox_send_if_down->isChecked();
    s.SendIfUp = CheckBox_send_if_up->isChecked();
    s.UserEmail = Edit_user_email->text();
    s.Password = Pass_Edit->text();
    s.SmtpHost = Smtp_Edit->text();
    s.Port = Edit_port->value();
    s.SmtpAuth = CheckBox_SMTP_auth->isChecked();
    s.Ssl = CheckBox_SSL->isChecked();
    s.IcqUin = ICQ_UIN_Edit->text();
    s.IcqPassword = ICQ_Password_Edit->text();
    s.SkypeLogin = Skype_login_edit->text();
    s.SkypePassword = Skype_pasword_edit->text();
    return s;
}

void TEmail_settings_form::ApplySettings(const TNotificationSettings& s) {
    Email_Edit->setText(s.Email);
    // Two radio buttons in one group: the checked one wins (the specific server when both are).
    RadioButton_AS_mail_server->setChecked(s.UseBuiltInServer);
    RadioButton_specific_server->setChecked(s.UseSpecificServer);
    if (!s.UseBuiltInServer && !s.UseSpecificServer) {
        RadioButton_AS_mail_server->setChecked(true);
    }
    CheckBox_send_if_down->setChecked(s.SendIfDown);
    CheckBox_send_if_up->setChecked(s.SendIfUp);
    Edit_user_email->setText(s.UserEmail);
    Pass_Edit->setText(s.Password);
    Smtp_Edit->setText(s.SmtpHost);
    Edit_port->setValue(s.Port);
    CheckBox_SMTP_auth->setChecked(s.SmtpAuth);
    CheckBox_SSL->setChecked(s.Ssl);
    ICQ_UIN_Edit->setText(s.IcqUin);
    ICQ_Password_Edit->setText(s.IcqPassword);
    Skype_login_edit->setText(s.SkypeLogin);
    Skype_pasword_edit->setText(s.SkypePassword);
    RadioButton_AS_mail_serverClick();
}

void TEmail_settings_form::FormCreate() {
    TMonitorServices& Services = *FServices;
    TNotificationSettings settings = CurrentSettings();
    Settings->clear();
    if (LoadNotificationSettingsFile(SettingsFileName(), settings) > 0) {
        ApplySettings(settings);
    }
    BindDispatcherOptions(Services);
    FServices = &Services;
    Services.Channels().SetMail(this);
    // The test message goes through whichever messaging client is registered.
    TAlarmChannels* channels = &Services.Channels();
    SetMessagingSeam({[channels] { return channels->Messaging().LoggedIn(); },
                      [channels](qint64 Uin, const QString& Password, quint32 Status) {
                          channels->Messaging().Login(Uin, Password, Status);
                      },
                      [channels](qint64 Uin, const QString& Text) {
                          return channels->Messaging().SendMessage(Uin, Text);
                      }});
}

// The dispatcher reads these from the options; the form's loaded values go there first, then
// every change of the controls follows.
void TEmail_settings_form::BindDispatcherOptions(TMonitorServices& Services) {
    TSettingsModel& model = Services.Settings();
    model.Update([this](TSettings& s) {
        s.CheckBox_send_if_down = CheckBox_send_if_down->isChecked();
        s.CheckBox_send_if_up = CheckBox_send_if_up->isChecked();
        s.ICQ_UIN_Edit = ICQ_UIN_Edit->text();
        s.ICQ_Password_Edit = ICQ_Password_Edit->text();
    });
    BindCheckBox(*CheckBox_send_if_down, model, &TSettings::CheckBox_send_if_down);
    BindCheckBox(*CheckBox_send_if_up, model, &TSettings::CheckBox_send_if_up);
    BindLineEdit(*ICQ_UIN_Edit, model, &TSettings::ICQ_UIN_Edit);
    BindLineEdit(*ICQ_Password_Edit, model, &TSettings::ICQ_Password_Edit);
}

TSendResult TEmail_settings_form::SendNotificationMail(const QString& Recipients, const QString& Subject,
                                                       const QStringList& Body) {
    // The dispatcher writes the one "not sent" line, with this reason.
    Memo1->setPlainText(Body.join(QLatin1Char('\n')));
    const TMailResult mail = SendMemo(Recipients, Subject, true);
    return {mail.Sent, mail.Reason};
}

void TEmail_settings_form::RadioButton_AS_mail_serverClick() {
    const bool specific = !RadioButton_AS_mail_server->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{Edit_user_email, Pass_Edit, Smtp_Edit,
                                                      CheckBox_SMTP_auth, Edit_port, CheckBox_SSL}) {
        w->setEnabled(specific);
    }
}

void TEmail_settings_form::Email_EditClick() {
    if (Email_Edit->text() == PlaceholderEmail()) {
        Email_Edit->clear();
    }
}

void TEmail_settings_form::OK_ButtonClick() {
    const TNotificationSettings settings = CurrentSettings();
    Settings->setPlainText(NotificationSettingsLines(settings).join(QLatin1Char('\n')));
    QString error;
    const bool saved = SaveNotificationSettingsFile(SettingsFileName(), settings, &error);
    Settings->clear();
    if (!saved) {
        ShowMessageBox(QStringLiteral("The notification settings could not be saved: %1").arg(error));
        return;
    }
    accept();
}

void TEmail_settings_form::Cancel_ButtonClick() {
    reject();
}

void TEmail_settings_form::MemoClick(QLabel* Memo) {
    FOpenUrl(Memo->property("signUpUrl").toString());
}

int TEmail_settings_form::ShowOnPage(int PageIndex) {
    RadioButton_AS_mail_serverClick();
    PageControl1->setCurrentIndex(PageIndex);
    return exec();
}

void TEmail_settings_form::SetMessagingSeam(TMessagingSeam Seam) {
    const TMessagingSeam none = SignedOffMessaging();
    FMessaging.LoggedIn = Seam.LoggedIn ? std::move(Seam.LoggedIn) : none.LoggedIn;
    FMessaging.Login = Seam.Login ? std::move(Seam.Login) : none.Login;
    FMessaging.SendMessage = Seam.SendMessage ? std::move(Seam.SendMessage) : none.SendMessage;
}

void TEmail_settings_form::SetUrlOpener(std::function<void(const QString&)> Opener) {
    FOpenUrl = std::move(Opener);
}

void TEmail_settings_form::SetMailTimeouts(int ConnectMs, int ReplyMs) {
    FConnectTimeoutMs = ConnectMs;
    FReplyTimeoutMs = ReplyMs;
}

void TEmail_settings_form::SetIcqWaitRoundMs(int Ms) {
    FIcqWaitRoundMs = Ms;
}

void TEmail_settings_form::AbandonMailInFlight() {
    if (FSendDepth > 0) {
        FAbandonRequested = true;
    }
}

TMailResult TEmail_settings_form::SendNotificationMail(const QString& Recipients, const QString& Subject) {
    return SendMemo(Recipients, Subject, false);
}

TMailResult TEmail_settings_form::SendMemo(const QString& Recipients, const QString& Subject,
                                           bool AbandonWhenMonitoringStops) {
    if (RadioButton_AS_mail_server->isChecked()) {
        TMailResult refused;
        refused.Reason = BuiltInServerReason();
        return refused;
    }
    TSmtpSettings server;
    server.Host = Smtp_Edit->text();
    server.Port = Edit_port->value();
    server.UserName = Edit_user_email->text();
    server.Password = Pass_Edit->text();
    server.Login = CheckBox_SMTP_auth->isChecked();
    server.ImplicitTls = CheckBox_SSL->isChecked();
    server.ConnectTimeoutMs = FConnectTimeoutMs;
    server.ReplyTimeoutMs = FReplyTimeoutMs;
    if (HasLineBreakOrNul(Recipients)) {
        TMailResult refused;
        refused.Reason = QStringLiteral("A recipient address holds a line break or NUL character.");
        return refused;
    }
    TMailMessage message;
    message.SenderAddress = Edit_user_email->text();
    message.Recipients = ParseRecipientList(Recipients);
    message.Subject = Subject;
    const QString body = Memo1->toPlainText();
    if (!body.isEmpty()) {
        message.BodyLines = body.split(QLatin1Char('\n'));
    }
    TMonitorController& monitor = FServices->Controller();
    const bool monitoringAtStart = monitor.MonitoringOn();
    auto abandon = [this, AbandonWhenMonitoringStops, monitoringAtStart, &monitor] {
        return FAbandonRequested || ShutdownRequested() ||
               (AbandonWhenMonitoringStops && monitoringAtStart && !monitor.MonitoringOn());
    };
    ++FSendDepth;
    TMailResult result = SendMailPumping(
        server, message, [] { QCoreApplication::processEvents(QEventLoop::AllEvents); }, abandon);
    if (--FSendDepth == 0) {
        FAbandonRequested = false;
    }
    return result;
}

void TEmail_settings_form::Send_test_Email_ButtonClick() {
    Memo1->setPlainText(TestMailBody().join(QLatin1Char('\n')));
    const QString recipients = Email_Edit->text();
    if (recipients.trimmed().isEmpty() || recipients == PlaceholderEmail()) {
        ShowMessageBox(QStringLiteral("Input your email for alert messages!"));
        return;
    }
    Send_test_Email_Button->setEnabled(false);
    const TMailResult result =
        SendNotificationMail(recipients, QStringLiteral("Host Alert: Host is change state!"));
    Send_test_Email_Button->setEnabled(true);
    if (result.Sent) {
        AddProgramLog(QStringLiteral("Send email alert: Test message"));
        return;
    }
    AddProgramLog(QStringLiteral("Send email alert: Test message not sent: %1").arg(result.Reason));
    ShowMessageBox(QStringLiteral("The test email has not been sent: %1").arg(result.Reason));
}

void TEmail_settings_form::Test_message_ButtonClick() {
    const std::optional<QString> answer =
        InputQuery(QStringLiteral("Input your ICQ UIN"), QStringLiteral("Your ICQ UIN:"));
    if (!answer || answer->trimmed().isEmpty()) {
        return;
    }
    const QString checkSettings = QStringLiteral("ICQ alert: Error, check settings!");
    if (!FMessaging.LoggedIn()) {
        const std::optional<qint64> own = WholeNumber(ICQ_UIN_Edit->text());
        if (!own) {
            AddProgramLog(checkSettings);
            return;
        }
        FMessaging.Login(*own, ICQ_Password_Edit->text(), IcqTestStatus);
    }
    for (int round = 0; !FMessaging.LoggedIn(); ++round) {
        if (round >= IcqWaitRounds || ShutdownRequested()) {
            AddProgramLog(QStringLiteral("ICQ alert: Error! Connection timeout!"));
            break;
        }
        QCoreApplication::processEvents();
        PumpDelay(FIcqWaitRoundMs);
    }
    const std::optional<qint64> target = WholeNumber(*answer);
    const QString text = QStringLiteral("Host Alert: Facebook - ICMP check failed! Requested Timed out.") +
                         QLatin1Char('\r') + QStringLiteral("This is test message.");
    // A message the client could not send (not signed on) is an error, never "sent".
    if (!target || !FMessaging.SendMessage(*target, text)) {
        AddProgramLog(checkSettings);
        return;
    }
    AddProgramLog(QStringLiteral("ICQ alert: Test message."));
}

TMailResult SendNotificationMail(const QString& Recipients, const QString& Subject, const QStringList& Body) {
    if (!Email_settings_form) {
        TMailResult none;
        none.Reason = QStringLiteral("The notification settings are not loaded.");
        return none;
    }
    Email_settings_form->Memo1->setPlainText(Body.join(QLatin1Char('\n')));
    TMailResult result = Email_settings_form->SendMemo(Recipients, Subject, true);
    if (!result.Sent) {
        // The caller logs its own "not sent" line; this one keeps the reason.
        AddProgramLog(QStringLiteral("Email alert: not sent to %1: %2").arg(Recipients, result.Reason));
    }
    return result;
}
