// One SMTP session per attempt on libcurl's multi interface, so a cancel wakes the wait at once
// and the reply time-out is measured in milliseconds.
#include "core/SmtpSend.h"

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <thread>

using Clock = std::chrono::steady_clock;

// Registers a session's multi handle with its cancel object for the session's lifetime.
class TSmtpCancelScope {
public:
    TSmtpCancelScope(TSmtpCancel& Cancel, CURLM* Multi) : FCancel(Cancel) {
        std::lock_guard lock(FCancel.FMutex);
        FCancel.FMulti = Multi;
    }
    ~TSmtpCancelScope() {
        std::lock_guard lock(FCancel.FMutex);
        FCancel.FMulti = nullptr;
    }
    TSmtpCancelScope(const TSmtpCancelScope&) = delete;
    TSmtpCancelScope& operator=(const TSmtpCancelScope&) = delete;

private:
    TSmtpCancel& FCancel;
};

void TSmtpCancel::Cancel() {
    FCancelled.store(true);
    std::lock_guard lock(FMutex);
    if (FMulti) {
        curl_multi_wakeup(static_cast<CURLM*>(FMulti));
    }
}

namespace {

constexpr int PollSliceMs = 50;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

enum class TEnd { Done, Cancelled, ReplyTimeout };

// What one attempt saw, written by libcurl's callbacks on the session's thread.
struct TAttempt {
    const QByteArray* Message = nullptr;
    TSmtpCancel* Cancel = nullptr;
    int ReplyTimeoutMs = 0;
    qsizetype Offset = 0;
    bool HandedOver = false;
    bool PastConnect = false; // AUTH or MAIL went out: the connection itself worked
    TEnd Stop = TEnd::Done;
    Clock::time_point LastActivity = Clock::now();
    std::string LastRefusal; // the last 4xx or 5xx reply
};

// Ends the transfer with an error from inside libcurl: removing a handle in mid-transfer would
// make libcurl close the DATA with a final dot (a cut message delivered) and wait for its reply.
int CheckProgress(void* User, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* a = static_cast<TAttempt*>(User);
    if (a->Stop == TEnd::Done && a->Cancel->Cancelled()) {
        a->Stop = TEnd::Cancelled;
    }
    if (a->Stop == TEnd::Done &&
        Clock::now() - a->LastActivity > std::chrono::milliseconds(a->ReplyTimeoutMs)) {
        a->Stop = TEnd::ReplyTimeout;
    }
    return a->Stop == TEnd::Done ? 0 : 1;
}

size_t ReadMessage(char* Buffer, size_t Size, size_t Count, void* User) {
    auto* a = static_cast<TAttempt*>(User);
    const size_t room = Size * Count;
    const size_t left = size_t(a->Message->size() - a->Offset);
    const size_t n = std::min(room, left);
    std::memcpy(Buffer, a->Message->constData() + a->Offset, n);
    a->Offset += qsizetype(n);
    if (n > 0) {
        a->HandedOver = true;
    }
    return n;
}

int Watch(CURL*, curl_infotype Type, char* Data, size_t Size, void* User) {
    auto* a = static_cast<TAttempt*>(User);
    switch (Type) {
    case CURLINFO_HEADER_IN: {
        std::string line(Data, Size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (!line.empty() && (line[0] == '4' || line[0] == '5')) {
            a->LastRefusal = line;
        }
        a->LastActivity = Clock::now();
        break;
    }
    case CURLINFO_HEADER_OUT:
        if (Size >= 4 && (std::memcmp(Data, "AUTH", 4) == 0 || std::memcmp(Data, "MAIL", 4) == 0)) {
            a->PastConnect = true;
        }
        a->LastActivity = Clock::now();
        break;
    case CURLINFO_DATA_IN:
    case CURLINFO_DATA_OUT:
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT:
        a->LastActivity = Clock::now();
        break;
    default:
        break;
    }
    return 0;
}

QString HostForUrl(const QString& Host) {
    const QString host = Host.trimmed();
    return host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))
               ? QStringLiteral("[%1]").arg(host)
               : host;
}

// Runs the transfer to its end; libcurl's own limits cover the connection phase, the progress
// check the cancel and the silence between replies.
CURLcode Drive(CURLM* Multi) {
    for (;;) {
        int running = 0;
        curl_multi_perform(Multi, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(Multi, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                return msg->data.result;
            }
        }
        curl_multi_poll(Multi, nullptr, 0, PollSliceMs, nullptr);
    }
}

struct TAttemptResult {
    bool Sent = false;
    bool HandedOver = false;
    bool PastConnect = false;
    bool Cancelled = false;
    QString Reason;
};

TAttemptResult Attempt(const TSmtpSettings& S, const QString& Sender, const QStringList& Recipients,
                       const QByteArray& Message, TSmtpCancel& Cancel) {
    TAttemptResult result;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        result.Reason = QStringLiteral("Cannot start a mail session (libcurl)");
        return result;
    }
    std::unique_ptr<curl_slist, ListDeleter> rcpt;
    for (const QString& r : Recipients) {
        rcpt.reset(curl_slist_append(rcpt.release(), r.toUtf8().constData()));
    }
    TAttempt attempt;
    attempt.Message = &Message;
    attempt.Cancel = &Cancel;
    attempt.ReplyTimeoutMs = S.ReplyTimeoutMs;
    char error[CURL_ERROR_SIZE] = {};
    const QByteArray url =
        QStringLiteral("%1://%2:%3")
            .arg(S.ImplicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"), HostForUrl(S.Host))
            .arg(S.Port)
            .toUtf8();
    const QByteArray from = Sender.toUtf8();
    const QByteArray user = S.UserName.toUtf8();
    const QByteArray password = S.Password.toUtf8();
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(S.ConnectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, long((S.ReplyTimeoutMs + 999) / 1000 + 1));
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(h, CURLOPT_READDATA, &attempt);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(Message.size()));
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, Watch);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &attempt);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, CheckProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &attempt);
    curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
    if (S.ImplicitTls) {
        curl_easy_setopt(h, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1));
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (S.Login) {
        curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }
    curl_multi_add_handle(multi.get(), h);
    CURLcode code = CURLE_OK;
    {
        TSmtpCancelScope scope(Cancel, multi.get());
        code = Drive(multi.get());
    }
    curl_multi_remove_handle(multi.get(), h);
    result.HandedOver = attempt.HandedOver;
    result.PastConnect = attempt.PastConnect;
    if (code == CURLE_OK) {
        result.Sent = true;
        return result;
    }
    const QString refusal = QString::fromUtf8(attempt.LastRefusal);
    if (attempt.Stop == TEnd::Cancelled) {
        result.Cancelled = true;
        result.Reason = QStringLiteral("Cancelled: the mail was abandoned");
        return result;
    }
    if (attempt.Stop == TEnd::ReplyTimeout) {
        result.Reason =
            QStringLiteral("Timed out: no reply from the server within %1 ms").arg(S.ReplyTimeoutMs);
        return result;
    }
    result.Reason = QString::fromUtf8(error[0] ? error : curl_easy_strerror(code));
    if (!refusal.isEmpty()) {
        result.Reason += QStringLiteral(" (server: %1)").arg(refusal);
    }
    return result;
}

} // namespace

QString SmtpSettingsProblem(const TSmtpSettings& Settings) {
    const QString host = Settings.Host.trimmed();
    if (host.isEmpty()) {
        return QStringLiteral("No SMTP server given.");
    }
    if (HasLineBreakOrNul(Settings.Host)) {
        return QStringLiteral("The SMTP server name holds a line break or NUL character.");
    }
    for (QChar c : host) {
        if (c.isSpace() || c < QChar(0x20) || QStringLiteral("/?#@\\%").contains(c)) {
            return QStringLiteral("The SMTP server name \"%1\" is no host name or address.").arg(host);
        }
    }
    if (Settings.Port < 1 || Settings.Port > 65535) {
        return QStringLiteral("The SMTP port %1 is outside 1 to 65535.").arg(Settings.Port);
    }
    if (Settings.Login && (HasLineBreakOrNul(Settings.UserName) || HasLineBreakOrNul(Settings.Password))) {
        return QStringLiteral("The user name or password holds a line break or NUL character.");
    }
    return {};
}

TMailResult SendSmtpMessage(const TSmtpSettings& Settings, const QString& Sender,
                            const QStringList& Recipients, const QByteArray& Message, TSmtpCancel& Cancel) {
    TMailResult result;
    if (QString problem = SmtpSettingsProblem(Settings); !problem.isEmpty()) {
        result.Reason = problem;
        return result;
    }
    GlobalInit();
    for (int round = 0; round < 2 && !Cancel.Cancelled(); ++round) {
        ++result.Connections;
        const TAttemptResult a = Attempt(Settings, Sender, Recipients, Message, Cancel);
        result.Sent = a.Sent;
        result.Reason = a.Reason;
        // Only a failed connection is tried again: once a byte of the message went out the server
        // may hold a copy, and a refused log-in or address would only be refused again.
        if (a.Sent || a.Cancelled || a.HandedOver || a.PastConnect) {
            break;
        }
    }
    if (!result.Sent && result.Reason.isEmpty()) {
        result.Reason = QStringLiteral("Cancelled: the mail was abandoned");
    }
    return result;
}

TMailResult SendMail(const TSmtpSettings& Settings, const TMailMessage& Message, TSmtpCancel& Cancel) {
    if (QString problem = MailMessageProblem(Message); !problem.isEmpty()) {
        TMailResult result;
        result.Reason = problem;
        return result;
    }
    const QByteArray text =
        BuildMailMessage(Message, QDateTime::currentDateTime(), NewMailMessageId(Message.SenderAddress));
    return SendSmtpMessage(Settings, Message.SenderAddress, Message.Recipients, text, Cancel);
}

TMailResult SendMailPumping(const TSmtpSettings& Settings, const TMailMessage& Message,
                            const std::function<void()>& Pump, const std::function<bool()>& Abandon) {
    TSmtpCancel cancel;
    TMailResult result;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
        TMailResult r;
        try {
            r = SendMail(Settings, Message, cancel);
        } catch (const std::exception& e) {
            r.Reason = QString::fromLocal8Bit(e.what());
        }
        std::lock_guard lock(mutex);
        result = std::move(r);
        done = true;
        finished.notify_all();
    });
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (finished.wait_for(lock, std::chrono::milliseconds(5), [&] { return done; })) {
                break;
            }
        }
        if (Pump) {
            Pump();
        }
        if (Abandon && !cancel.Cancelled() && Abandon()) {
            cancel.Cancel();
        }
    }
    worker.join();
    return result;
}
