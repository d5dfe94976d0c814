// The e-mail and instant-message notification settings dialog: the alert recipients, the mail
// server, the up/down switches and the messaging account, kept in ESettings.cnfg, and the routine
// that sends one alert mail.
#pragma once

#include "core/AlarmChannels.h"
#include "core/NotificationSettings.h"
#include "core/SmtpSend.h"
#include "core/WindowRoles.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

// What the dialog's "Test message" needs from the messaging client. Until a client is bound every
// call reports "not signed on".
struct TMessagingSeam {
    std::function<bool()> LoggedIn;
    std::function<void(qint64 Uin, const QString& Password, quint32 Status)> Login;
    // True only when the message was handed to a signed-on client.
    std::function<bool(qint64 Uin, const QString& Text)> SendMessage;
};

class TMonitorServices;

// Also the monitor's mail channel: the alarm dispatcher sends its alert mail through this form.
class TEmail_settings_form : public QDialog, public IMailChannel, public INotificationDialog {
    Q_OBJECT

public:
    explicit TEmail_settings_form(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TEmail_settings_form() override;

    // Creation handler: loads ESettings.cnfg once (without a readable file the defaults stay),
    // binds the switches and the messaging account the dispatcher reads to the options, and
    // registers the form as the mail channel.
    void FormCreate();

    // IMailChannel: the alert mail, body and all (see the free function below).
    TSendResult SendNotificationMail(const QString& Recipients, const QString& Subject,
                                     const QStringList& Body) override;

    // Handlers.
    void RadioButton_AS_mail_serverClick(); // both radio buttons: the six server controls
    void Email_EditClick();                 // a click into the placeholder empties it
    void OK_ButtonClick();                  // save, then close; a failed save is shown, the dialog stays
    void Cancel_ButtonClick();
    void Send_test_Email_ButtonClick();
    void Test_message_ButtonClick();
    void MemoClick(QLabel* Memo);

    // Sends one mail whose body is Memo1 to the comma-separated Recipients. Runs the session on a
    // worker thread while this thread keeps serving events; never raises.
    TMailResult SendNotificationMail(const QString& Recipients, const QString& Subject);

    // Shown modally on a page: 0 e-mail, 2 messaging (1 is the hidden tab).
    int ShowOnPage(int PageIndex) override;

    // The controls as one settings copy, and back.
    TNotificationSettings CurrentSettings() const override;
    void ApplySettings(const TNotificationSettings& Settings);
    QString SettingsFileName() const; // <Data folder>ESettings.cnfg

    // Ends a mail in flight at once (it is reported as not sent); shut-down does the same.
    void AbandonMailInFlight();

    // Seams and limits (tests pass short ones).
    void SetMessagingSeam(TMessagingSeam Seam);
    void SetUrlOpener(std::function<void(const QString& Url)> Opener);
    void SetMailTimeouts(int ConnectMs, int ReplyMs);
    void SetIcqWaitRoundMs(int Ms);

    static QString PlaceholderEmail();
    static QStringList TestMailBody();

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // e-mail
    QWidget* TabSheet2 = nullptr; // hidden
    QWidget* TabSheet3 = nullptr; // messaging
    QLineEdit* Email_Edit = nullptr;
    QRadioButton* RadioButton_AS_mail_server = nullptr;
    QRadioButton* RadioButton_specific_server = nullptr;
    QCheckBox* CheckBox_send_if_down = nullptr;
    QCheckBox* CheckBox_send_if_up = nullptr;
    QLineEdit* Edit_user_email = nullptr;
    QLineEdit* Pass_Edit = nullptr;
    QLineEdit* Smtp_Edit = nullptr;
    QSpinBox* Edit_port = nullptr;
    QCheckBox* CheckBox_SMTP_auth = nullptr;
    QCheckBox* CheckBox_SSL = nullptr;
    QLineEdit* ICQ_UIN_Edit = nullptr;
    QLineEdit* ICQ_Password_Edit = nullptr;
    QLineEdit* Skype_login_edit = nullptr;
    QLineEdit* Skype_pasword_edit = nullptr;
    QPlainTextEdit* Memo1 = nullptr;    // body of the next mail
    QPlainTextEdit* Settings = nullptr; // the file's lines
    QLabel* Memo2 = nullptr;            // sign-up notes, one per tab
    QLabel* Memo3 = nullptr;
    QLabel* Memo4 = nullptr;
    QPushButton* Send_test_Email_Button = nullptr;
    QPushButton* Test_message_Button = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* Cancel_Button = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend TMailResult SendNotificationMail(const QString&, const QString&, const QStringList&);
    TMailResult SendMemo(const QString& Recipients, const QString& Subject, bool AbandonWhenMonitoringStops);
    void BuildPages();

    void BindDispatcherOptions(TMonitorServices& Services);

    TMonitorServices* FServices; // set by the constructor, never null
    TMessagingSeam FMessaging;
    std::function<void(const QString&)> FOpenUrl;
    int FConnectTimeoutMs = 10000;
    int FReplyTimeoutMs = 30000;
    int FIcqWaitRoundMs = 100;
    int FSendDepth = 0;
    bool FAbandonRequested = false;
};

extern TEmail_settings_form* Email_settings_form;

// The alarm dispatcher's mail: Body becomes Memo1, then it is sent to Recipients with the form's
// settings. A mail in flight is abandoned when the program closes or monitoring ends meanwhile.
// Not sent (with the reason) while the form does not exist. A failure writes one program-log line
// with the recipients and the reason.
TMailResult SendNotificationMail(const QString& Recipients, const QString& Subject, const QStringList& Body);
