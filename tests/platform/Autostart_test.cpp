// The autostart entry's Exec value read back: every path our writer quotes comes back unchanged,
// also with blanks, quotes, percent signs and line breaks; other values read as none.
#include "platform/Autostart.h"

#include <gtest/gtest.h>

TEST(AutostartExec, EveryQuotedPathReadsBackExactly) {
    for (const QString& program :
         {QStringLiteral("/opt/zt/zorvanite-tarnequill"), QStringLiteral("/home/op/My Programs/zt"),
          QStringLiteral("/tmp/a\"b`c$d\\e%f%%g"), QStringLiteral("/tmp/Программы/монитор"),
          QStringLiteral("/tmp/line\nbreak\rand\ttab")}) {
        const QByteArray entry = AutostartEntryText(program);
        EXPECT_EQ(AutostartEntryProgram(entry), program) << program.toStdString();
        // One line per key, whatever the path holds.
        EXPECT_EQ(entry.count('\n'), 6) << program.toStdString();
    }
    EXPECT_EQ(QuotedExecArgument(QStringLiteral("/a b/%x\"\n")), QStringLiteral("\"/a b/%%x\\\\\"\\n\""));
}

TEST(AutostartExec, ValuesOfOtherFormsReadAsNone) {
    for (const char* value : {"/usr/bin/zt", "\"/usr/bin/zt\" %U", "\"/a\"b\"", "\"/a%U\"", "\"/a\\x\"", "\"",
                              "", "\"/a\\\\\""}) {
        EXPECT_EQ(ExecArgumentProgram(QString::fromUtf8(value)), std::nullopt) << value;
    }
    EXPECT_EQ(ExecArgumentProgram(QStringLiteral("\"/a\\sb\"")), QStringLiteral("/a b"));
    EXPECT_EQ(AutostartEntryProgram("[Other]\nExec=\"/x\"\n"), std::nullopt);
    EXPECT_EQ(AutostartEntryProgram("[Desktop Entry]\r\nName=x\r\nExec=\"/x y\"\r\n"),
              QStringLiteral("/x y"));
}
