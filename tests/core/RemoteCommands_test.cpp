// The remote commands without a display: which rule a message matches, the exact reply texts
// ("groups" in tree order, "status|<group>" in any case, "status" from the online grid with its
// sorts and waits, the log of a day and of today, the help with yesterday's date), 2000-character
// pieces, a log date that never reaches SQL, and commands that arrive while one is being answered.
#include "core/RemoteCommands.h"

#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/LogGrids.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include "tests/support/TestSupport.h"

#include <QLocale>
#include <functional>
#include <gtest/gtest.h>

namespace {

double At(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0) {
    return QDateTimeToDateTime(QDateTime(QDate(Year, Month, Day), QTime(Hour, Minute, Second)));
}

qint64 UnixAt(int Year, int Month, int Day, int Hour, int Minute, int Second = 0) {
    return UnixTimeFromDateTime(At(Year, Month, Day, Hour, Minute, Second));
}

TGroupTreeNode Node(const QString& Caption, const QString& Group, int Parent = -1) {
    TGroupTreeNode node;
    node.ParentIndex = Parent;
    node.Caption = Caption;
    node.Record = std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{Caption, QString(), Group});
    return node;
}

class FakeHost : public IRemoteCommandHost {
public:
    FakeHost() {
        CreateHostGridColumns(Hosts);
        CreateEventLogGridColumns(Logs);
        for (int i = 0; i < 20; ++i)
            Down.AddColumn<TGxTextColumn>(QStringLiteral("c%1").arg(i));
    }
    const TGroupTree& GroupTree() override { return Tree; }
    TDataGrid& HostGrid() override { return Hosts; }
    TDataGrid& DownGrid() override { return Down; }
    void RefreshDownGrid() override {
        Calls << "refresh";
        if (OnRefresh)
            OnRefresh();
    }
    TDataGrid& LogsGrid() override { return Logs; }
    TSQLiteDatabase& Database() override { return *Db; }
    void PumpDelay(int Milliseconds) override {
        Calls << QStringLiteral("wait %1").arg(Milliseconds);
        if (OnPump) {
            auto pump = std::move(OnPump);
            OnPump = nullptr;
            pump();
        }
    }
    double Now() override { return Clock; }
    bool SendMessage(qint64 UIN, const QString& Text) override {
        Sent.push_back({UIN, Text});
        Calls << QStringLiteral("send %1").arg(UIN);
        return true;
    }
    void AddProgramLog(const QString& Text) override {
        Logged << Text;
        Calls << "log";
    }

    int AddHost(const QString& Name, const QString& Ip, const QString& Status, const QString& Group,
                const QString& Note = QString()) {
        const int row = Hosts.AddRow();
        Hosts.Cell(u"Host", row).SetAsString(Name);
        Hosts.Cell(u"IP", row).SetAsString(Ip);
        Hosts.Cell(u"Status", row).SetAsString(Status);
        Hosts.Cell(u"N_group", row).SetAsString(Group);
        Hosts.Cell(u"Note_", row).SetAsString(Note);
        Hosts.Cell(u"Date_Pod", row).SetAsString(QStringLiteral("14.03.2024 09:00:00"));
        Hosts.Cell(u"TimeDown", row).SetAsString(QStringLiteral("01:00:00"));
        return row;
    }

    TGroupTree Tree;
    TDataGrid Hosts, Down, Logs;
    TSQLiteDatabase* Db = nullptr;
    double Clock = At(2024, 3, 15, 10, 0, 0);
    std::function<void()> OnPump;
    std::function<void()> OnRefresh;
    std::vector<std::pair<qint64, QString>> Sent;
    QStringList Logged;
    QStringList Calls;
};

class RemoteCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Saved = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        LangTexts::UseBuiltInEnglish();
        Db.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Db);
        Host.Db = &Db;
        Host.Tree = {Node("Servers", "1"), Node("Web", "2", 0)};
    }
    void TearDown() override { QLocale::setDefault(Saved); }

    void AddEvent(qint64 Time, const QString& Text, int HostId) {
        Db.ExecuteStatement("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)",
                            {QString::number(Time), Text, QStringLiteral("ID"), HostId});
    }
    QStringList SentTexts() const {
        QStringList texts;
        for (const auto& sent : Host.Sent)
            texts << sent.second;
        return texts;
    }

    QLocale Saved;
    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    FakeHost Host;
    TRemoteCommands Commands{Host};
};

} // namespace

TEST(RemoteCommandRules, FirstMatchingRule) {
    const auto kind = [](const char* Message) {
        return ParseRemoteCommand(QString::fromUtf8(Message)).Kind;
    };
    EXPECT_EQ(kind("groups"), TRemoteCommandKind::Groups);
    EXPECT_EQ(kind("GROUPS"), TRemoteCommandKind::Groups);
    EXPECT_EQ(kind("groups "), TRemoteCommandKind::Help);
    EXPECT_EQ(kind("log"), TRemoteCommandKind::LogOfToday);
    EXPECT_EQ(kind("Log"), TRemoteCommandKind::LogOfToday);
    EXPECT_EQ(kind("log|14.03.2024"), TRemoteCommandKind::LogOfDay);
    EXPECT_EQ(kind("show log|status|x"), TRemoteCommandKind::LogOfDay);
    EXPECT_EQ(kind("status"), TRemoteCommandKind::Status);
    EXPECT_EQ(kind("STAT"), TRemoteCommandKind::Status);
    EXPECT_EQ(kind("status|Servers"), TRemoteCommandKind::GroupStatus);
    EXPECT_EQ(kind("hello"), TRemoteCommandKind::Help);
    EXPECT_EQ(kind(""), TRemoteCommandKind::Help);
    EXPECT_EQ(ParseRemoteCommand("LOG|14.03.2024").Argument, "14.03.2024");
    EXPECT_EQ(ParseRemoteCommand("Status|Web Servers").Argument, "web servers");
}

TEST(RemoteCommandRules, ReplyPieces) {
    const QString reply(4500, QLatin1Char('x'));
    const QStringList pieces = ReplyPieces(reply);
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0].size(), 2000);
    EXPECT_EQ(pieces[1].size(), 2000);
    EXPECT_EQ(pieces[2].size(), 500);
    EXPECT_EQ(pieces.join(QString()), reply);
    EXPECT_EQ(ReplyPieces(QString(2000, QLatin1Char('y'))).size(), 1);
    EXPECT_EQ(ReplyPieces(QString(2001, QLatin1Char('y'))).last(), "y");
    EXPECT_EQ(ReplyPieces(QString()), QStringList{QString()});
    // A character outside the basic plane stays whole.
    const QString emoji = QString(1999, QLatin1Char('a')) + QString::fromUtf8("😀") + QStringLiteral("b");
    const QStringList split = ReplyPieces(emoji);
    EXPECT_EQ(split[0].size(), 1999);
    EXPECT_EQ(split[1], QString::fromUtf8("😀b"));
}

TEST(RemoteCommandRules, GroupsInTreeOrder) {
    // Attach order puts a group stored before its parent later; the reply follows the tree.
    const TGroupTree tree = {Node("Servers", "1"), Node("Printers", "3"), Node("Web", "2", 0),
                             Node("Mail", "4", 2)};
    EXPECT_EQ(GroupsReply(tree), "Groups :\r\rServers\r- Web\r- Mail\rPrinters");
    EXPECT_EQ(GroupsReply({}), "Groups :\r");
}

TEST_F(RemoteCommandsTest, GroupsAnsweredToTheSenderAndLogged) {
    Commands.MessageReceived("GROUPS", "4242");
    ASSERT_EQ(Host.Sent.size(), 1u);
    EXPECT_EQ(Host.Sent[0].first, 4242);
    EXPECT_EQ(Host.Sent[0].second, "Groups :\r\rServers\r- Web");
    EXPECT_EQ(Host.Logged, QStringList{"ICQ message from 4242 received: GROUPS"});
}

TEST_F(RemoteCommandsTest, StatusOfAGroupInAnyCase) {
    Host.AddHost("db1", "10.0.0.1", "Down", "1", "primary");
    Host.AddHost("db2", "10.0.0.2", "OK", "1");
    Host.AddHost("www", "10.0.0.3", "Packet loss", "2");
    Host.AddHost("db3", "10.0.0.4", "Disabled", "1");
    const QString header = QStringLiteral(
        "Not Up hosts:\rHost name, IP address, Status, Description, Last down state, Down time");
    const QString expected =
        header + QStringLiteral("\rdb1, 10.0.0.1, Down, primary, 14.03.2024 09:00:00, 01:00:00"
                                "\rdb3, 10.0.0.4, Disabled, , 14.03.2024 09:00:00, 01:00:00");
    for (const char* message : {"status|servers", "status|SERVERS", "status|Servers"})
        Commands.MessageReceived(QString::fromLatin1(message), "1");
    EXPECT_EQ(SentTexts(), (QStringList{expected, expected, expected}));
    Host.Sent.clear();
    Commands.MessageReceived("status|web", "1");
    Commands.MessageReceived("status|nothing", "1");
    EXPECT_EQ(
        SentTexts(),
        (QStringList{header + "\rwww, 10.0.0.3, Packet loss, , 14.03.2024 09:00:00, 01:00:00", header}));
}

TEST_F(RemoteCommandsTest, StatusFromTheOnlineGrid) {
    Host.OnRefresh = [this] {
        Host.Down.ClearRows();
        for (const char* when : {"2024-03-15 09:00", "2024-03-14 08:00"}) {
            const int row = Host.Down.AddRow();
            for (int col = 0; col < 20; ++col)
                Host.Down.Cell(col, row).SetAsString(QStringLiteral("r%1c%2").arg(row).arg(col));
            Host.Down.Cell(12, row).SetAsString(QLatin1String(when));
        }
    };
    Commands.MessageReceived("stat", "7");
    ASSERT_EQ(Host.Sent.size(), 1u);
    // Sorted by the last down state, oldest first, while the reply is read.
    EXPECT_EQ(Host.Sent[0].second,
              "Not Up hosts:\rHost name, IP address, Status, Description, Last down state, Down "
              "time\rr1c0, r1c1, r1c4, r1c5, r1c18, 2024-03-14 08:00, r1c19"
              "\rr0c0, r0c1, r0c4, r0c5, r0c18, 2024-03-15 09:00, r0c19");
    EXPECT_EQ(Host.Calls, (QStringList{"log", "refresh", "wait 150", "wait 250", "send 7"}));
    // Sorted back afterwards.
    EXPECT_EQ(Host.Down.CellText(12, 0), "2024-03-15 09:00");
}

TEST_F(RemoteCommandsTest, HelpEndsWithYesterday) {
    Commands.MessageReceived("hello", "9");
    ASSERT_EQ(Host.Sent.size(), 1u);
    EXPECT_EQ(Host.Sent[0].second, LangText(350) + "\r" + LangText(351) + "\r" + LangText(352) + "\r" +
                                       LangText(353) + "\r" + LangText(354) + "\r" + LangText(355) +
                                       "14.03.2024)");
    EXPECT_TRUE(Host.Sent[0].second.endsWith("(for example log|14.03.2024)"));
}

TEST_F(RemoteCommandsTest, LogOfADayAndOfToday) {
    Db.ExecuteStatement("insert into hosts (host, IP) values (?, ?)", {"db1", "10.0.0.1"});
    AddEvent(UnixAt(2024, 3, 14, 23, 59, 59), "late", 1);
    AddEvent(UnixAt(2024, 3, 15, 0, 0, 0), "midnight", 1);
    AddEvent(UnixAt(2024, 3, 15, 9, 30, 5), "morning", 1);
    AddEvent(UnixAt(2024, 3, 16, 1, 0, 0), "tomorrow", 1);
    const QString header = QStringLiteral("Log file :\rDate/Time, Host name, IP address, Status");

    Commands.MessageReceived("log|14.03.2024", "1");
    Commands.MessageReceived("log", "1");
    Commands.MessageReceived("log|15.03.2024 09", "1");
    Commands.MessageReceived("log|", "1");
    const QStringList sent = SentTexts();
    ASSERT_EQ(sent.size(), 4);
    EXPECT_EQ(sent[0], header + "\r1, 14.03.2024 23:59:59, db1, 10.0.0.1, late");
    EXPECT_EQ(sent[1], header + "\r1, 15.03.2024 00:00:00, db1, 10.0.0.1, midnight"
                                "\r2, 15.03.2024 09:30:05, db1, 10.0.0.1, morning");
    EXPECT_EQ(sent[2], header + "\r1, 15.03.2024 09:30:05, db1, 10.0.0.1, morning");
    EXPECT_EQ(sent[3].count(QLatin1Char('\r')), 1 + 4);
    // Only "log|" waits after loading.
    EXPECT_EQ(Host.Calls.filter("wait"), (QStringList{"wait 300", "wait 300", "wait 300"}));
    // The page's grid holds the last day loaded.
    EXPECT_EQ(Host.Logs.RowCount(), 4);
}

TEST_F(RemoteCommandsTest, LogDateNeverReachesSQL) {
    AddEvent(UnixAt(2024, 3, 15, 9, 0, 0), "event", 1);
    Commands.MessageReceived("log|\" OR 1=1 --", "1");
    Commands.MessageReceived("log|'); delete from log; --", "1");
    EXPECT_EQ(SentTexts(), (QStringList{"Log file :\rDate/Time, Host name, IP address, Status",
                                        "Log file :\rDate/Time, Host name, IP address, Status"}));
    EXPECT_EQ(Db.OpenResultTable("select count(*) from log")->FieldInt64(0), 1);
    const TLogStatement statement = EventsBeginningWith(Db, "\" OR 1=1 --");
    EXPECT_FALSE(statement.SQL.contains("OR 1=1"));
    EXPECT_EQ(statement.Values, TSQLiteValues{"[]"});
}

TEST_F(RemoteCommandsTest, ACommandDuringAReplyWaitsForIt) {
    AddEvent(UnixAt(2024, 3, 14, 12, 0, 0), "event", 1);
    // The second message comes in while the first reply pumps messages.
    Host.OnPump = [this] {
        Commands.MessageReceived("groups", "2");
    };
    Commands.MessageReceived("log|14.03.2024", "1");
    ASSERT_EQ(Host.Sent.size(), 2u);
    EXPECT_EQ(Host.Sent[0].first, 1);
    EXPECT_TRUE(Host.Sent[0].second.startsWith("Log file :"));
    EXPECT_EQ(Host.Sent[0].second.count(QLatin1Char('\r')), 2); // the grid was not reloaded meanwhile
    EXPECT_EQ(Host.Sent[1], (std::pair<qint64, QString>{2, "Groups :\r\rServers\r- Web"}));
    EXPECT_EQ(Host.Calls, (QStringList{"log", "wait 300", "log", "send 1", "send 2"}));
    EXPECT_EQ(Host.Logged.size(), 2);
    EXPECT_FALSE(Commands.Busy());
}

TEST_F(RemoteCommandsTest, LongRepliesGoInPieces) {
    Host.Tree = {Node(QString(4490, QLatin1Char('g')), "1")};
    Commands.MessageReceived("groups", "5");
    ASSERT_EQ(Host.Sent.size(), 3u);
    EXPECT_EQ(Host.Sent[0].second.size(), 2000);
    EXPECT_EQ(Host.Sent[1].second.size(), 2000);
    EXPECT_EQ(Host.Sent[2].second.size(), 500);
    EXPECT_EQ(Host.Sent[0].second + Host.Sent[1].second + Host.Sent[2].second,
              "Groups :\r\r" + QString(4490, QLatin1Char('g')));
    EXPECT_EQ(Host.Logged.size(), 1);
}

TEST_F(RemoteCommandsTest, LogOverManyEventsIsCutToTheNewestWithALastLineAndPacedPieces) {
    Db.ExecuteStatement("insert into hosts (host, IP) values (?, ?)", {"db1", "10.0.0.1"});
    const qint64 start = UnixAt(2024, 3, 14, 0, 0, 0);
    Db.ExecuteStatement("with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
                        "insert into log (Date_time, L_Status, Stat_D, ID_h_d) "
                        "select ? + i, 'e' || i, 'ID', 1 from n",
                        {start});
    Commands.MessageReceived("log|", "1");
    const QString reply = SentTexts().join(QString());
    const QStringList lines = reply.split(QLatin1Char('\r'));
    ASSERT_EQ(lines.size(), 2 + 200 + 1);
    EXPECT_EQ(lines[2],
              "1, " + DateTimeToDisplayText(DateTimeFromUnixTime(start + 99801)) + ", db1, 10.0.0.1, e99801");
    EXPECT_EQ(lines[201], "200, " + DateTimeToDisplayText(DateTimeFromUnixTime(start + 100000)) +
                              ", db1, 10.0.0.1, e100000");
    EXPECT_EQ(lines.last(), "Only the last 200 of 100000 events are shown.");
    EXPECT_EQ(Host.Logs.RowCount(), 200);
    // Every piece after the first waits its turn.
    EXPECT_GT(Host.Sent.size(), 1u);
    EXPECT_EQ(Host.Calls.filter("wait 500").size(), qsizetype(Host.Sent.size()) - 1);
}
