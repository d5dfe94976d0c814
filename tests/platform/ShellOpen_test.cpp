// The shell layer: which addresses may become a console command's argument, and the seam of the
// desktop's open.
#include "platform/ShellOpen.h"

#include "tests/support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ShellOpen, AnAddressBecomesOneArgumentOnlyWhenItCannotReadAsAnOption) {
    EXPECT_EQ(TerminalHostArgument("127.0.0.9"), "127.0.0.9");
    EXPECT_EQ(TerminalHostArgument("fe80::1"), "fe80::1");
    EXPECT_EQ(TerminalHostArgument("host.example.org"), "host.example.org");
    for (const char* refused : {"", "-x", "-t", "127.0.0.9 -t", " 127.0.0.9", "a\tb", "a\nb", "a\x01"}) {
        EXPECT_EQ(TerminalHostArgument(QString::fromLatin1(refused)), "") << refused;
    }
    EXPECT_EQ(TerminalHostArgument(QString::fromUtf8("a\u00a0b")), ""); // no-break space
    EXPECT_EQ(TerminalHostArgument(QString::fromUtf8("a\u200eb")), ""); // a format character
    EXPECT_EQ(TerminalHostArgument(QString::fromUtf8("сервер")), "сервер");
}

TEST(ShellOpen, TheHandlerSeesTheAddressAndItsAnswerIsReturned) {
    QUrl seen;
    SetShellOpenHandler([&](const QUrl& Url) {
        seen = Url;
        return false;
    });
    EXPECT_FALSE(ShellOpenUrl(QUrl("http://[fe80::1]")));
    EXPECT_EQ(seen.toString(), "http://[fe80::1]");
    SetShellOpenHandler({});
}

TEST(ShellOpen, AMissingProgramOrAHugeAddressIsSaidBeforeAnyTerminalStarts) {
    zt::test::TempDir dir;
    const std::string marker = dir.file("started");
    auto program = [&](const char* Name, const std::string& Body) {
        zt::test::WriteFile(dir.file(Name), "#!/bin/sh\n" + Body);
        ::chmod(dir.file(Name).c_str(), 0700);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(dir.path()));
    const QString noTerminal = RunHostCommandInTerminal("ping", "127.0.0.9");
    program("x-terminal-emulator", "echo \"$@\" > '" + marker + "'\n");
    const QString noTelnet = RunHostCommandInTerminal("telnet", "127.0.0.9");
    const QString huge = RunHostCommandInTerminal("telnet", QString(200000, u'a'));
    program("telnet", "");
    const QString started = RunHostCommandInTerminal("telnet", "127.0.0.9");
    qputenv("PATH", path);
    EXPECT_EQ(noTerminal,
              "No terminal program (x-terminal-emulator) is installed. Install a terminal emulator "
              "(Debian package xterm).");
    EXPECT_EQ(noTelnet, "The program \"telnet\" is not installed (Debian package inetutils-telnet).");
    EXPECT_EQ(huge, "The address is 200000 characters long; a command takes at most 255.");
    EXPECT_EQ(started, "");
    for (int i = 0; i < 100 && zt::test::ReadFile(marker).empty(); ++i) {
        QThread::msleep(50);
    }
    EXPECT_EQ(zt::test::ReadFile(marker), "-e telnet 127.0.0.9\n"); // the only start
}
