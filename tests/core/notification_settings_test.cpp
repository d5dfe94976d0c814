// ESettings.cnfg: the 15 lines and their exact bytes, the cipher over the text padded to whole
// blocks, the ordered load that stops at the first bad line, and the private atomic save.
#include "core/NotificationSettings.h"
#include "core/ProgramLogSink.h"
#include "core/RC6.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

TNotificationSettings Sample() {
    TNotificationSettings s;
    s.Email = "ops@example.org, Анна <anna@example.org>";
    s.UseBuiltInServer = false;
    s.UseSpecificServer = true;
    s.SendIfDown = false;
    s.SendIfUp = true;
    s.UserEmail = "alerts@mail.example";
    s.Password = "pa ss;word!";
    s.SmtpHost = "127.0.0.1";
    s.Port = 2525;
    s.SmtpAuth = true;
    s.Ssl = true;
    s.IcqUin = "123456789";
    s.IcqPassword = "icq-pw";
    s.SkypeLogin = "voice.login";
    s.SkypePassword = "voice-pw";
    return s;
}

const char* const SampleText = "ops@example.org, Анна <anna@example.org>\r\n"
                               "0\r\n-1\r\n0\r\n-1\r\n"
                               "alerts@mail.example\r\npa ss;word!\r\n127.0.0.1\r\n2525\r\n"
                               "-1\r\n-1\r\n123456789\r\nicq-pw\r\nvoice.login\r\nvoice-pw\r\n";

QByteArray Cipher(const char* Plain) {
    return Rc6EncryptBytes(QByteArray(Plain), "Marblesplint");
}

TEST(NotificationSettingsTest, FifteenLinesInFileOrderWithCrLfAndBooleanTexts) {
    EXPECT_EQ(NotificationSettingsText(Sample()), QByteArray(SampleText));
    EXPECT_EQ(NotificationSettingsText(TNotificationSettings{}),
              QByteArray("\r\n-1\r\n0\r\n-1\r\n-1\r\n\r\n\r\n\r\n25\r\n0\r\n0\r\n\r\n\r\n\r\n\r\n"));
    EXPECT_EQ(NotificationSettingsKey(), QByteArray("Marblesplint"));
}

TEST(NotificationSettingsTest, FileIsThePaddedTextEncipheredWholeWithNoPlainByte) {
    TNotificationSettings s;
    s.Email = "a@b.test";
    s.IcqUin = "12345";
    s.IcqPassword = "Pw12345"; // 61 bytes of text, the password in the last partial block
    const QByteArray plain = NotificationSettingsText(s);
    const QByteArray old = Rc6EncryptBytes(plain, "Marblesplint"); // written with a plain tail
    ASSERT_TRUE(old.endsWith("Pw12345\r\n\r\n\r\n"));
    const QByteArray file = EncodeNotificationSettings(s);
    ASSERT_EQ(file.size(), 64);
    TRc6State state;
    Rc6SetKey(state, "Marblesplint");
    Rc6KeySchedule(state);
    const QByteArray padded = plain + "\n\r\n";
    for (qsizetype at = 0; at < 64; at += 16) {
        QByteArray block = padded.mid(at, 16);
        Rc6EncryptBlock(state, reinterpret_cast<uint8_t*>(block.data()));
        EXPECT_EQ(file.mid(at, 16), block) << at;
    }
    for (const QByteArray& bytes : {file, old}) { // both read back the same fifteen values
        TNotificationSettings read;
        EXPECT_EQ(ApplyNotificationSettingsLines(DecodeNotificationSettings(bytes), read), 15);
        EXPECT_EQ(NotificationSettingsText(read), plain);
    }
}

TEST(NotificationSettingsTest, DecodeGivesBackTheLines) {
    const QStringList lines = DecodeNotificationSettings(EncodeNotificationSettings(Sample()));
    EXPECT_EQ(lines, NotificationSettingsLines(Sample()));
    TNotificationSettings read;
    EXPECT_EQ(ApplyNotificationSettingsLines(lines, read), 15);
    EXPECT_EQ(NotificationSettingsText(read), QByteArray(SampleText));
}

TEST(NotificationSettingsTest, LineEndsAndByteOrderMarkAreAccepted) {
    const QStringList lf = DecodeNotificationSettings(Cipher("\xEF\xBB\xBF"
                                                             "a@x.example\n0\n-1\rlast"));
    EXPECT_EQ(lf, (QStringList{"a@x.example", "0", "-1", "last"}));
    EXPECT_EQ(DecodeNotificationSettings(Cipher("one\r\n\r\nthree\r\n")), (QStringList{"one", "", "three"}));
    EXPECT_TRUE(DecodeNotificationSettings(QByteArray()).isEmpty());
}

TEST(NotificationSettingsTest, FiveLineFileAppliesLinesZeroToFour) {
    TNotificationSettings s;
    const int applied = ApplyNotificationSettingsLines(
        DecodeNotificationSettings(Cipher("five@example.org\r\n0\r\n-1\r\n0\r\n0\r\n")), s);
    EXPECT_EQ(applied, 5);
    EXPECT_EQ(s.Email, "five@example.org");
    EXPECT_FALSE(s.UseBuiltInServer);
    EXPECT_TRUE(s.UseSpecificServer);
    EXPECT_FALSE(s.SendIfDown);
    EXPECT_FALSE(s.SendIfUp);
    EXPECT_EQ(NotificationSettingsText(s), QByteArray("five@example.org\r\n0\r\n-1\r\n0\r\n0\r\n"
                                                      "\r\n\r\n\r\n25\r\n0\r\n0\r\n\r\n\r\n\r\n\r\n"));
}

TEST(NotificationSettingsTest, LoadStopsAtTheFirstBadLine) {
    QStringList lines = NotificationSettingsLines(Sample());
    lines[4] = "maybe"; // CheckBox_send_if_up is no boolean
    TNotificationSettings s;
    EXPECT_EQ(ApplyNotificationSettingsLines(lines, s), 4);
    EXPECT_EQ(s.Email, Sample().Email);
    EXPECT_FALSE(s.SendIfDown);
    EXPECT_TRUE(s.SendIfUp);            // default kept
    EXPECT_TRUE(s.UserEmail.isEmpty()); // later lines never applied

    lines = NotificationSettingsLines(Sample());
    lines[8] = "25x";
    TNotificationSettings p;
    EXPECT_EQ(ApplyNotificationSettingsLines(lines, p), 8);
    EXPECT_EQ(p.Port, 25);
    EXPECT_EQ(p.SmtpHost, "127.0.0.1");
    EXPECT_FALSE(p.SmtpAuth);
    for (const char* bad : {"0", "65536", "-25", ""}) {
        lines[8] = bad;
        TNotificationSettings q;
        EXPECT_EQ(ApplyNotificationSettingsLines(lines, q), 8) << bad;
    }
}

TEST(NotificationSettingsTest, BooleanLinesTakeTheUsualSpellings) {
    TNotificationSettings s;
    EXPECT_EQ(ApplyNotificationSettingsLines({"", "True", "false", "1", "0"}, s), 5);
    EXPECT_TRUE(s.UseBuiltInServer);
    EXPECT_FALSE(s.UseSpecificServer);
    EXPECT_TRUE(s.SendIfDown);
    EXPECT_FALSE(s.SendIfUp);
}

TEST(NotificationSettingsTest, ExtraLinesAreIgnored) {
    QStringList lines = NotificationSettingsLines(Sample());
    lines << "sixteenth"
          << "seventeenth";
    TNotificationSettings s;
    EXPECT_EQ(ApplyNotificationSettingsLines(lines, s), 15);
    EXPECT_EQ(s.SkypePassword, "voice-pw");
}

TEST(NotificationSettingsTest, LineBreakInsideAFieldCannotShiftLaterLines) {
    TNotificationSettings s = Sample();
    s.Password = "two\r\nlines";
    TNotificationSettings read;
    EXPECT_EQ(ApplyNotificationSettingsLines(DecodeNotificationSettings(EncodeNotificationSettings(s)), read),
              15);
    EXPECT_EQ(read.Password, "two  lines");
    EXPECT_EQ(read.SmtpHost, "127.0.0.1");
}

class NotificationSettingsFileTest : public ::testing::Test {
protected:
    QString File() const { return QString::fromStdString(Dir.file("ESettings.cnfg")); }
    zt::test::TempDir Dir;
};

TEST_F(NotificationSettingsFileTest, MissingFileKeepsTheDefaults) {
    TNotificationSettings s;
    EXPECT_EQ(LoadNotificationSettingsFile(File(), s), 0);
    EXPECT_EQ(NotificationSettingsText(s), NotificationSettingsText(TNotificationSettings{}));
}

TEST_F(NotificationSettingsFileTest, SaveWritesTheCipheredBytesPrivatelyAndTwiceIdentically) {
    QString error;
    ASSERT_TRUE(SaveNotificationSettingsFile(File(), Sample(), &error)) << error.toStdString();
    const std::string first = zt::test::ReadFile(Dir.file("ESettings.cnfg"));
    EXPECT_EQ(QByteArray::fromStdString(first), EncodeNotificationSettings(Sample()));
    struct stat st {};
    ASSERT_EQ(::stat(Dir.file("ESettings.cnfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_TRUE(SaveNotificationSettingsFile(File(), Sample(), &error));
    EXPECT_EQ(zt::test::ReadFile(Dir.file("ESettings.cnfg")), first);
    // An older file with wider rights becomes private too.
    ::chmod(Dir.file("ESettings.cnfg").c_str(), 0644);
    ASSERT_TRUE(SaveNotificationSettingsFile(File(), Sample(), &error));
    ASSERT_EQ(::stat(Dir.file("ESettings.cnfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(zt::test::RunCommand("ls -A '" + Dir.path() + "'"), "ESettings.cnfg\n");
    TNotificationSettings read;
    EXPECT_EQ(LoadNotificationSettingsFile(File(), read), 15);
    EXPECT_EQ(NotificationSettingsText(read), QByteArray(SampleText));
}

TEST_F(NotificationSettingsFileTest, FailedSaveGivesTheReasonAndKeepsTheOldFileWhole) {
    ASSERT_TRUE(SaveNotificationSettingsFile(File(), TNotificationSettings{}));
    const std::string old = zt::test::ReadFile(Dir.file("ESettings.cnfg"));
    // A file size limit makes the write fail even for root.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 40;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    QString error;
    const bool saved_ok = SaveNotificationSettingsFile(File(), Sample(), &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved_ok);
    EXPECT_TRUE(error.startsWith("Cannot write ")) << error.toStdString();
    EXPECT_TRUE(error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(zt::test::ReadFile(Dir.file("ESettings.cnfg")), old);
    EXPECT_EQ(zt::test::RunCommand("ls -A '" + Dir.path() + "'"), "ESettings.cnfg\n");

    QString missing;
    EXPECT_FALSE(SaveNotificationSettingsFile(QString::fromStdString(Dir.file("no/such/ESettings.cnfg")),
                                              Sample(), &missing));
    EXPECT_TRUE(missing.startsWith("Cannot create a temporary file for ")) << missing.toStdString();
}

TEST_F(NotificationSettingsFileTest, PlainFileWithoutCipherLoadsOnlyWhatReadsAsLines) {
    // A file of fewer than 16 bytes is plain on disk and reads back as it is.
    zt::test::WriteFile(Dir.file("ESettings.cnfg"), "a@b.xy\r\n0\r\n"); // 11 bytes
    TNotificationSettings s;
    EXPECT_EQ(LoadNotificationSettingsFile(File(), s), 2);
    EXPECT_EQ(s.Email, "a@b.xy");
    EXPECT_FALSE(s.UseBuiltInServer);
}

TEST_F(NotificationSettingsFileTest, AFileThatCannotBeReadIsSaidInTheProgramLog) {
    QStringList log;
    SetProgramLogSink([&log](const QString& Line) { log << Line; });
    ASSERT_TRUE(QDir().mkpath(File())); // a folder where the file belongs
    TNotificationSettings s;
    EXPECT_EQ(LoadNotificationSettingsFile(File(), s), 0);
    SetProgramLogSink(nullptr);
    EXPECT_EQ(log, QStringList("Settings file \"" + File() +
                               "\" was not read (it is not a regular file); the defaults are used."));
}

} // namespace
