// The shell layer: which addresses may become a console command's argument, and the seam of the
// desktop's open.
#include "platform/ShellOpen.h"

#include <gtest/gtest.h>

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
