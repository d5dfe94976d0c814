#include "core/HostBulkAdd.h"

#include <gtest/gtest.h>

TEST(HostBulkAdd, RangeClampsStartToEndAndNamesByOctet) {
    const auto Hosts = ExpandHostRange(127, 0, 0, 10, 5, "New Host");
    ASSERT_EQ(Hosts.size(), 1u);
    EXPECT_EQ(Hosts[0].Host, "New Host_5");
    EXPECT_EQ(Hosts[0].IP, "127.0.0.5");
    const auto Block = ExpandHostRange(127, 0, 0, 1, 254, "N");
    ASSERT_EQ(Block.size(), 254u);
    EXPECT_EQ(Block.front().IP, "127.0.0.1");
    EXPECT_EQ(Block.back().Host, "N_254");
}

TEST(HostBulkAdd, ListSkipsBlankLinesKeepsNumberingAndEmptiesMissingNotes) {
    const auto Hosts =
        ExpandHostList({"127.0.0.1", "", "127.0.0.3", "::1"}, {"first", "x", "third"}, "New Host");
    ASSERT_EQ(Hosts.size(), 3u);
    EXPECT_EQ(Hosts[0].Host, "New Host_0");
    EXPECT_EQ(Hosts[0].Note, "first");
    EXPECT_EQ(Hosts[1].Host, "New Host_2");
    EXPECT_EQ(Hosts[1].Note, "third");
    EXPECT_EQ(Hosts[2].Host, "New Host_3");
    EXPECT_EQ(Hosts[2].IP, "::1");
    EXPECT_TRUE(Hosts[2].Note.isEmpty());
}

TEST(HostBulkAdd, TypeNamesThatWouldLeaveTheFolderOrRepeatAreRefused) {
    const QStringList Existing{"Server", "Router"};
    EXPECT_TRUE(ValidHostTypeName("Printer", Existing));
    EXPECT_TRUE(ValidHostTypeName(QString::fromUtf8("Принтер"), Existing));
    for (const QString& Bad :
         {QString(), QString("../x"), QString("a/b"), QString("a\\b"), QString(".hidden"),
          QString("tab\tname"), QString(QChar(0)) + "x", QString("server")})
        EXPECT_FALSE(ValidHostTypeName(Bad, Existing)) << Bad.toStdString();
}
