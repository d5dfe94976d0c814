// The notification settings and their file ESettings.cnfg: 15 lines ended by CR LF, booleans as
// "-1"/"0", enciphered with RC6 under a fixed key. The cipher leaves a tail under 16 bytes plain,
// so the writer pads the text with empty lines to whole blocks; files with a plain tail still read.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

inline constexpr int NotificationSettingsLineCount = 15;

// The key text of the settings file.
QByteArray NotificationSettingsKey();

// One copy of the settings form's controls, in file order, with the form's defaults.
struct TNotificationSettings {
    QString Email;                  // 0  Email_Edit
    bool UseBuiltInServer = true;   // 1  RadioButton_AS_mail_server
    bool UseSpecificServer = false; // 2 RadioButton_specific_server
    bool SendIfDown = true;         // 3  CheckBox_send_if_down
    bool SendIfUp = true;           // 4  CheckBox_send_if_up
    QString UserEmail;              // 5  Edit_user_email (login and sender)
    QString Password;               // 6  Pass_Edit
    QString SmtpHost;               // 7  Smtp_Edit
    int Port = 25;                  // 8  Edit_port
    bool SmtpAuth = false;          // 9  CheckBox_SMTP_auth
    bool Ssl = false;               // 10 CheckBox_SSL
    QString IcqUin;                 // 11 ICQ_UIN_Edit
    QString IcqPassword;            // 12 ICQ_Password_Edit
    QString SkypeLogin;             // 13 Skype_login_edit
    QString SkypePassword;          // 14 Skype_pasword_edit
};

// The 15 lines in file order.
QStringList NotificationSettingsLines(const TNotificationSettings& Settings);

// Applies Lines[0..14] to Settings in order and stops at the first failure: a missing line, a
// boolean line that is no boolean, a port that is no whole number from 1 to 65535. Lines before
// the failure stay applied, later fields keep their values. Returns the number of lines applied.
int ApplyNotificationSettingsLines(const QStringList& Lines, TNotificationSettings& Settings);

// Plain file text: each line UTF-8 followed by CR LF.
QByteArray NotificationSettingsText(const TNotificationSettings& Settings);
// Text with line ends appended (CR LF pairs, one LF first for an odd gap) to a whole number of
// cipher blocks; the reader takes them as empty lines after the 15th and ignores them.
QByteArray PadNotificationSettingsText(QByteArray Text);
// The file's bytes: the padded plain text enciphered, no byte left plain.
QByteArray EncodeNotificationSettings(const TNotificationSettings& Settings);
// The file's lines: deciphered, a UTF-8 byte-order mark dropped, split at CR LF, LF or CR (a final
// line end gives no extra line); empty lines after the 15th (the padding) are dropped.
QStringList DecodeNotificationSettings(const QByteArray& FileBytes);

// Reads the file (through ReadSettingsFile) and applies its lines; without a readable file Settings
// stays as it is. A file from which fewer than 15 lines apply is said in one program-log line.
// Returns the number of lines applied (0 without a file).
int LoadNotificationSettingsFile(const QString& FileName, TNotificationSettings& Settings);

// Writes the enciphered bytes to a mode-0600 temporary file beside FileName, flushed and renamed
// over it; no plain text reaches the disk. On failure the old file stays whole, the temporary file
// is removed and Error receives the reason.
bool SaveNotificationSettingsFile(const QString& FileName, const TNotificationSettings& Settings,
                                  QString* Error = nullptr);
