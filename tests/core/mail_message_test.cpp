// The alert mail's wire form: exact header and body bytes, encoded-word subjects cut only between
// characters, the date in English whatever the locale, and the refusal of line breaks and NULs.
#include "core/MailMessage.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QDateTime FixedDate(int OffsetSeconds = 3600) {
    return QDateTime(QDate(2024, 3, 5), QTime(9, 4, 5), QTimeZone(OffsetSeconds));
}

TEST(MailMessageTest, WholeMessageBytes) {
    TMailMessage m;
    m.SenderAddress = "alerts@mail.example";
    m.Recipients = {"a@x.example", "b@y.example"};
    m.Subject = "Host Alert: web - Down";
    m.BodyLines = {"", "Host: web - Down", "Привет"};
    const QByteArray expected =
        "From: \"Monitoring system - Zorvanite Tarnequill Pro\" <alerts@mail.example>\r\n"
        "To: a@x.example, b@y.example\r\n"
        "Subject: =?UTF-8?B?SG9zdCBBbGVydDogd2ViIC0gRG93bg==?=\r\n"
        "Date: Tue, 05 Mar 2024 09:04:05 +0100\r\n"
        "Message-ID: <id.1@mail.example>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
        "Content-Transfer-Encoding: 8bit\r\n"
        "\r\n"
        "\r\n"
        "Host: web - Down\r\n"
        "Привет\r\n";
    EXPECT_EQ(BuildMailMessage(m, FixedDate(), "<id.1@mail.example>"), expected);
}

TEST(MailMessageTest, BodyLineBreaksBecomeCrLfAndDotsAreLeftToTheSender) {
    TMailMessage m;
    m.SenderAddress = "s@x.example";
    m.Recipients = {"r@x.example"};
    m.BodyLines = {"one\ntwo\r\nthree\rfour", ".dot"};
    const QByteArray text = BuildMailMessage(m, FixedDate(), "<i@x>");
    EXPECT_TRUE(text.endsWith("\r\n\r\none\r\ntwo\r\nthree\r\nfour\r\n.dot\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\nSubject:\r\n"));
    m.BodyLines.clear();
    EXPECT_TRUE(
        BuildMailMessage(m, FixedDate(), "<i@x>").endsWith("Content-Transfer-Encoding: 8bit\r\n\r\n"));
}

TEST(MailMessageTest, LongCyrillicSubjectSplitsBetweenCharacters) {
    QString subject;
    for (int i = 0; i < 300; ++i) {
        subject += QChar(0x0410 + i % 32); // А..Я, two bytes each
    }
    subject.replace(7, 1, QStringLiteral("€")); // a three-byte character in the mix
    const QByteArray value = EncodeMailSubject(subject);
    QByteArray decoded;
    const QList<QByteArray> words = value.split('\n');
    EXPECT_GT(words.size(), 10);
    static const QRegularExpression word(QStringLiteral("^ ?=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]+)\\?=\\r?$"));
    for (const QByteArray& w : words) {
        SCOPED_TRACE(w.toStdString());
        const auto match = word.match(QString::fromLatin1(w));
        ASSERT_TRUE(match.hasMatch());
        EXPECT_LE(w.trimmed().size(), 75);
        const QByteArray piece = QByteArray::fromBase64(match.captured(1).toLatin1());
        EXPECT_LE(piece.size(), 42);
        // Every piece is whole UTF-8 on its own.
        EXPECT_EQ(QString::fromUtf8(piece).toUtf8(), piece);
        EXPECT_FALSE(QString::fromUtf8(piece).contains(QChar::ReplacementCharacter));
        decoded += piece;
    }
    EXPECT_EQ(QString::fromUtf8(decoded), subject);
}

TEST(MailMessageTest, SubjectLineBreaksBecomeBlanks) {
    EXPECT_EQ(QByteArray::fromBase64(EncodeMailSubject("a\r\nb\nc\rd").mid(10).chopped(2)),
              QByteArray("a b c d"));
    EXPECT_TRUE(EncodeMailSubject(QString()).isEmpty());
    EXPECT_EQ(EncodeMailSubject(QString(1, QChar(0))), QByteArray("=?UTF-8?B?IA==?="));
}

TEST(MailMessageTest, DateIsEnglishWithTheOffset) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(MailDateText(FixedDate()), QByteArray("Tue, 05 Mar 2024 09:04:05 +0100"));
    EXPECT_EQ(MailDateText(FixedDate(-19800)), QByteArray("Tue, 05 Mar 2024 09:04:05 -0530"));
    EXPECT_EQ(MailDateText(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59), QTimeZone::utc())),
              QByteArray("Sun, 31 Dec 2023 23:59:59 +0000"));
    QLocale::setDefault(saved);
}

TEST(MailMessageTest, MessageIdsAreUniqueAndCarryTheSenderDomain) {
    const QByteArray a = NewMailMessageId("alerts@mail.example");
    const QByteArray b = NewMailMessageId("alerts@mail.example");
    EXPECT_NE(a, b);
    EXPECT_TRUE(
        QRegularExpression("^<[0-9a-f]{32}@mail\\.example>$").match(QString::fromLatin1(a)).hasMatch())
        << a.toStdString();
    EXPECT_TRUE(NewMailMessageId("no-domain").endsWith("@localhost>"));
    EXPECT_TRUE(NewMailMessageId("x@bad domain>").endsWith("@localhost>"));
}

TEST(MailMessageTest, RecipientListIsCommaSeparated) {
    EXPECT_EQ(ParseRecipientList("a@x.example, b@y.example"), (QStringList{"a@x.example", "b@y.example"}));
    EXPECT_EQ(ParseRecipientList(" Ops Team <ops@x.example> ,, ,c@z.example "),
              (QStringList{"ops@x.example", "c@z.example"}));
    EXPECT_TRUE(ParseRecipientList(" , ").isEmpty());
}

TEST(MailMessageTest, LongRecipientListIsFolded) {
    TMailMessage m;
    m.SenderAddress = "s@x.example";
    for (int i = 0; i < 8; ++i) {
        m.Recipients << QStringLiteral("recipient.number.%1@example.org").arg(i);
    }
    const QByteArray text = BuildMailMessage(m, FixedDate(), "<i@x>");
    const QByteArray headers = text.left(text.indexOf("\r\n\r\n"));
    for (const QByteArray& line : headers.split('\n')) {
        EXPECT_LE(line.size(), 79) << line.toStdString();
    }
    EXPECT_TRUE(headers.contains(
        "recipient.number.0@example.org, recipient.number.1@example.org,\r\n recipient.number.2"));
}

TEST(MailMessageTest, LineBreaksAndNulInAddressesAreRefused) {
    TMailMessage m;
    m.SenderAddress = "s@x.example";
    m.Recipients = {"a@x.example"};
    EXPECT_TRUE(MailMessageProblem(m).isEmpty());
    for (const QString& bad : {QString("a@x.example\r\nRCPT TO:<b@y>"), QString("a@x\n"), QString("a\r"),
                               QString("a") + QChar(0) + "b"}) {
        TMailMessage r = m;
        r.Recipients << bad;
        EXPECT_EQ(MailMessageProblem(r), "A recipient address holds a line break or NUL character.");
        TMailMessage s = m;
        s.SenderAddress = bad;
        EXPECT_EQ(MailMessageProblem(s), "The sender address holds a line break or NUL character.");
    }
    TMailMessage none = m;
    none.Recipients.clear();
    EXPECT_EQ(MailMessageProblem(none), "No recipient address.");
    TMailMessage noSender = m;
    noSender.SenderAddress = " ";
    EXPECT_EQ(MailMessageProblem(noSender), "No sender address: enter the user name of the mail server.");
}

} // namespace
