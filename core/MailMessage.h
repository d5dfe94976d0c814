// Builds an alert e-mail as it goes over the wire: the headers (From with the monitor's display
// name, To, a UTF-8 Base64 encoded-word Subject, Date, Message-ID, MIME-Version, a UTF-8 plain
// text body sent 8bit) and the body lines, all ended by CR LF. Dot-stuffing is the sender's job.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

inline constexpr char MailSenderName[] = "Monitoring system - Zorvanite Tarnequill Pro";

struct TMailMessage {
    QString SenderAddress;
    QStringList Recipients; // bare addresses
    QString Subject;
    QStringList BodyLines;
};

// True when Text holds a CR, an LF or a NUL: such a text may not reach an SMTP command or header.
bool HasLineBreakOrNul(const QString& Text);

// The addresses of a comma-separated list: each piece trimmed, "Name <address>" gives the
// address, empty pieces are skipped.
QStringList ParseRecipientList(const QString& Text);

// What keeps the message from being sent (empty when nothing): no sender, no recipient, a line
// break or NUL in the sender or a recipient.
QString MailMessageProblem(const TMailMessage& Message);

// The Subject header's value: line breaks become blanks and the UTF-8 text is cut into
// "=?UTF-8?B?...?=" words of at most 42 bytes each (never inside a character), joined by CR LF
// and a blank. An empty subject gives an empty value.
QByteArray EncodeMailSubject(const QString& Subject);

// "Thu, 05 Jan 2023 09:04:05 +0100": English names whatever the locale, the offset of Time.
QByteArray MailDateText(const QDateTime& Time);

// "<32 hex digits@domain>": random, with the sender's domain (or "localhost").
QByteArray NewMailMessageId(const QString& SenderAddress);

// The whole message: headers, an empty line, the body lines each followed by CR LF (a line
// holding line breaks is split at them).
QByteArray BuildMailMessage(const TMailMessage& Message, const QDateTime& Date, const QByteArray& MessageId);
