// Sends one mail over SMTP with libcurl: plain (smtp://) or with TLS from the first byte
// (smtps://, TLS 1.0 or newer, no certificate check), AUTH LOGIN only when asked. Bounded by a
// connect time-out and a time-out for each reply, cancellable from any thread. A second connection
// is made only when the first failed while connecting (before AUTH or MAIL, so before any byte of
// the message was handed over): a mail is never delivered twice. It counts as sent only when every
// RCPT and the DATA were accepted.
#pragma once

#include "core/MailMessage.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TSmtpSettings {
    QString Host;
    int Port = 25;
    bool ImplicitTls = false;
    bool Login = false; // AUTH LOGIN with UserName and Password
    QString UserName;
    QString Password;
    int ConnectTimeoutMs = 10000; // TCP connect, TLS handshake, greeting and log-in
    int ReplyTimeoutMs = 30000;   // longest silence while waiting for the server
};

struct TMailResult {
    bool Sent = false;
    QString Reason;      // why not, with libcurl's text and the server's last reply; empty when sent
    int Connections = 0; // connection attempts made
};

// Ends a session in flight from another thread; a cancelled session makes no second connection.
class TSmtpCancel {
public:
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }

private:
    friend class TSmtpCancelScope;
    std::atomic<bool> FCancelled{false};
    std::mutex FMutex;
    void* FMulti = nullptr; // the session's multi handle while one runs
};

// What keeps these settings from being used (empty when nothing): no host, a host that is no plain
// name or address (line break, NUL, blank, '/', '@' ...), a port outside 1..65535.
QString SmtpSettingsProblem(const TSmtpSettings& Settings);

// One mail on the calling thread: the envelope is Sender and Recipients, Message the whole text
// (libcurl does the dot-stuffing).
TMailResult SendSmtpMessage(const TSmtpSettings& Settings, const QString& Sender,
                            const QStringList& Recipients, const QByteArray& Message, TSmtpCancel& Cancel);

// Checks, builds (Date now, a new Message-ID) and sends Message on the calling thread.
TMailResult SendMail(const TSmtpSettings& Settings, const TMailMessage& Message, TSmtpCancel& Cancel);

// The same on a worker thread while the calling thread keeps calling Pump (at least every few
// milliseconds); when Abandon returns true the session is cancelled. Returns once the worker ended.
TMailResult SendMailPumping(const TSmtpSettings& Settings, const TMailMessage& Message,
                            const std::function<void()>& Pump, const std::function<bool()>& Abandon);
