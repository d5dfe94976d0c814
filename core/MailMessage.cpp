// The alert mail's wire form.
#include "core/MailMessage.h"

#include <QRegularExpression>
#include <random>

namespace {

constexpr qsizetype SubjectWordBytes = 42;
constexpr qsizetype FoldWidth = 76;

// The length of the longest prefix of Utf8 (at most Limit bytes) that ends on a character boundary.
qsizetype Utf8PrefixLength(const QByteArray& Utf8, qsizetype From, qsizetype Limit) {
    qsizetype end = std::min(Utf8.size(), From + Limit);
    if (end == Utf8.size()) {
        return end - From;
    }
    // Step back while the byte at end continues a character (10xxxxxx).
    while (end > From && (uchar(Utf8[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end > From ? end - From : std::min(Limit, Utf8.size() - From);
}

QString FlattenLineBreaks(const QString& Text) {
    QString flat = Text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar c : {QChar('\r'), QChar('\n'), QChar(0)}) {
        flat.replace(c, QLatin1Char(' '));
    }
    return flat;
}

// "To: a, b" folded before an address that would pass the fold width.
QByteArray AddressHeader(const char* Name, const QStringList& Addresses) {
    QByteArray header = Name;
    header += ": ";
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < Addresses.size(); ++i) {
        const QByteArray address = Addresses[i].toUtf8();
        if (i > 0) {
            header += ',';
            if (header.size() - lineStart + 1 + address.size() > FoldWidth) {
                header += "\r\n";
                lineStart = header.size();
            }
            header += ' ';
        }
        header += address;
    }
    return header;
}

const char* const DayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

bool HasLineBreakOrNul(const QString& Text) {
    return Text.contains(QLatin1Char('\r')) || Text.contains(QLatin1Char('\n')) || Text.contains(QChar(0));
}

QStringList ParseRecipientList(const QString& Text) {
    QStringList addresses;
    for (const QString& piece : Text.split(QLatin1Char(','))) {
        QString address = piece.trimmed();
        const qsizetype open = address.lastIndexOf(QLatin1Char('<'));
        const qsizetype close = address.lastIndexOf(QLatin1Char('>'));
        if (open >= 0 && close > open) {
            address = address.mid(open + 1, close - open - 1).trimmed();
        }
        if (!address.isEmpty()) {
            addresses << address;
        }
    }
    return addresses;
}

QString MailMessageProblem(const TMailMessage& Message) {
    if (Message.SenderAddress.trimmed().isEmpty()) {
        return QStringLiteral("No sender address: enter the user name of the mail server.");
    }
    if (HasLineBreakOrNul(Message.SenderAddress)) {
        return QStringLiteral("The sender address holds a line break or NUL character.");
    }
    if (Message.Recipients.isEmpty()) {
        return QStringLiteral("No recipient address.");
    }
    for (const QString& r : Message.Recipients) {
        if (HasLineBreakOrNul(r)) {
            return QStringLiteral("A recipient address holds a line break or NUL character.");
        }
    }
    return {};
}

QByteArray EncodeMailSubject(const QString& Subject) {
    const QByteArray utf8 = FlattenLineBreaks(Subject).toUtf8();
    QByteArray value;
    for (qsizetype at = 0; at < utf8.size();) {
        const qsizetype n = Utf8PrefixLength(utf8, at, SubjectWordBytes);
        if (!value.isEmpty()) {
            value += "\r\n ";
        }
        value += "=?UTF-8?B?" + utf8.mid(at, n).toBase64() + "?=";
        at += n;
    }
    return value;
}

QByteArray MailDateText(const QDateTime& Time) {
    const QDate d = Time.date();
    const QTime t = Time.time();
    const int offset = Time.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(DayNames[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(MonthNames[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1Char(offset < 0 ? '-' : '+'))
        .arg(absOffset / 60, 2, 10, QLatin1Char('0'))
        .arg(absOffset % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

QByteArray NewMailMessageId(const QString& SenderAddress) {
    std::random_device device;
    QByteArray unique;
    for (int i = 0; i < 4; ++i) {
        const quint32 word = device();
        unique += QByteArray::number(word, 16).rightJustified(8, '0');
    }
    QString domain = SenderAddress.mid(SenderAddress.lastIndexOf(QLatin1Char('@')) + 1).trimmed();
    static const QRegularExpression plainDomain(QStringLiteral("^[A-Za-z0-9.-]+$"));
    if (!SenderAddress.contains(QLatin1Char('@')) || !plainDomain.match(domain).hasMatch()) {
        domain = QStringLiteral("localhost");
    }
    return "<" + unique + "@" + domain.toLatin1() + ">";
}

QByteArray BuildMailMessage(const TMailMessage& Message, const QDateTime& Date, const QByteArray& MessageId) {
    QByteArray m;
    m += QByteArray("From: \"") + MailSenderName + "\" <" + Message.SenderAddress.toUtf8() + ">\r\n";
    m += AddressHeader("To", Message.Recipients) + "\r\n";
    const QByteArray subject = EncodeMailSubject(Message.Subject);
    m += subject.isEmpty() ? QByteArray("Subject:\r\n") : "Subject: " + subject + "\r\n";
    m += "Date: " + MailDateText(Date) + "\r\n";
    m += "Message-ID: " + MessageId + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=\"UTF-8\"\r\n";
    m += "Content-Transfer-Encoding: 8bit\r\n";
    m += "\r\n";
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : Message.BodyLines) {
        for (const QString& part : line.split(lineBreak)) {
            m += part.toUtf8() + "\r\n";
        }
    }
    return m;
}
