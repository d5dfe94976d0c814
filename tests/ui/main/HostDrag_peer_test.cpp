// The host drag on a real X server through the program's own windows: xdotool presses a host row of
// the hosts page, drags it over Qt's own drag onto a group node of the tree (or off every node),
// and sqlite3 reads where table hosts puts the host; the probe reports which hosts the page shows.
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>

namespace ztt = ::zt::test;

namespace {

std::string ProbePath() {
    return ztt::SiblingProgram("host_page_probe");
}

bool WaitFor(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
    return ztt::WaitUntil(Done, Limit);
}

struct TPoint {
    int X = 0, Y = 0;
};

// Groups 2 "Office" and 5 "Printers"; hosts h0-h4 in group 2, p0 in group 5.
class HostDragXvfb : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "xdotool", "sqlite3"})
            if (!ztt::HaveProgram(program))
                GTEST_SKIP() << program
                             << " is missing: install xvfb, xdotool and sqlite3 (scripts/install-deps.sh)";
        ztt::RunCommand("mkdir -p " + dir.file("Data"));
        {
            TSQLiteDatabase db(QString::fromStdString(Database()));
            CreateMissingTables(db);
            db.ExecuteStatement(
                "insert into list_group (Name, N_group) values ('Office', 2), ('Printers', 5)");
            for (int i = 0; i < 5; ++i)
                db.ExecuteStatement("insert into hosts (Host, IP, N_group, Enabled) values (?, ?, '2', '-1')",
                                    {QStringLiteral("h%1").arg(i), QStringLiteral("127.0.0.%1").arg(10 + i)});
            db.ExecuteStatement(
                "insert into hosts (Host, IP, N_group, Enabled) values ('p0', '127.0.1.1', '5', '-1')");
        }
        server = ztt::PeerProcess({"sh", ztt::PeerScript("xvfb.sh"), dir.file("x")});
        ASSERT_TRUE(
            WaitFor([&] { return !ztt::ReadFile(dir.file("x/display")).empty(); }, std::chrono::seconds(10)))
            << ztt::ReadFile(dir.file("x/xvfb.log"));
        display = ":" + QString::fromStdString(ztt::ReadFile(dir.file("x/display"))).trimmed().toStdString();
        std::vector<std::string> command{"env",
                                         "-u",
                                         "QT_QPA_PLATFORMTHEME",
                                         "DISPLAY=" + display,
                                         "QT_QPA_PLATFORM=xcb",
                                         "SDL_AUDIODRIVER=dummy",
                                         "LANG=C.UTF-8",
                                         "XDG_RUNTIME_DIR=" + dir.path(),
                                         ProbePath(),
                                         dir.path()};
        if (GetParam())
            command.push_back("sorted");
        probe = ztt::PeerProcess(command);
        ASSERT_TRUE(
            WaitFor([&] { return !ztt::ReadFile(dir.file("ready")).empty(); }, std::chrono::seconds(30)))
            << "the probe did not show its window";
        std::istringstream in(ztt::ReadFile(dir.file("ready")));
        std::string kind, name;
        TPoint point;
        while (in >> kind) {
            if (kind == "empty") {
                in >> empty.X >> empty.Y;
                continue;
            }
            in >> name >> point.X >> point.Y;
            (kind == "row" ? rows : nodes)[name] = point;
        }
    }

    std::string Database() const { return dir.file("Data/dbm.db"); }
    std::string Sql(const std::string& Query) {
        return ztt::RunCommand("sqlite3 " + Database() + " \"" + Query + "\"");
    }
    std::string Shown() { return ztt::ReadFile(dir.file("shown")); }

    void Xdotool(const std::string& Arguments) {
        int rc = 0;
        const std::string output =
            ztt::RunCommand("DISPLAY=" + display + " xdotool " + Arguments + " 2>&1", &rc);
        ASSERT_EQ(rc, 0) << Arguments << ": " << output;
    }

    // Presses at From, waits past the drag delay, then moves to To in steps and lets go.
    void Drag(TPoint From, TPoint To) {
        Xdotool("mousemove " + std::to_string(From.X) + " " + std::to_string(From.Y));
        Xdotool("sleep 0.2 mousedown 1 sleep 0.3");
        const int steps = 12;
        for (int i = 1; i <= steps; ++i) {
            const int x = From.X + (To.X - From.X) * i / steps;
            const int y = From.Y + (To.Y - From.Y) * i / steps;
            Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.05");
        }
        Xdotool("sleep 0.3 mouseup 1");
    }

    ztt::TempDir dir;
    ztt::PeerProcess server;
    ztt::PeerProcess probe;
    std::string display;
    std::map<std::string, TPoint> rows, nodes;
    TPoint empty;
};

} // namespace

TEST_P(HostDragXvfb, AHostOfGroup2DroppedOnGroup5IsStoredThereAndHidden) {
    ASSERT_EQ(rows.size(), 5u);
    ASSERT_EQ(nodes.count("5"), 1u);
    // Sorted by name descending, h4 is the first row shown; unsorted, h3 is the fourth.
    const std::string host = GetParam() ? "h4" : "h3";
    const std::string before = Shown();
    Drag(rows[host], nodes["5"]);
    ASSERT_TRUE(WaitFor([&] { return Sql("select N_group from hosts where Host='" + host + "'") == "5\n"; },
                        std::chrono::seconds(10)))
        << Sql("select Host, N_group from hosts");
    EXPECT_TRUE(WaitFor([&] { return Shown() != before; }, std::chrono::seconds(5)));
    EXPECT_EQ(Shown(), GetParam() ? "h3,h2,h1,h0\n" : "h0,h1,h2,h4\n");
    EXPECT_EQ(Sql("select count(*) from hosts where N_group='2'"), "4\n");
}

TEST_P(HostDragXvfb, ADropOffEveryNodeChangesNothing) {
    const std::string before = Sql("select group_concat(Host || '=' || N_group) from hosts");
    const std::string shown = Shown();
    Drag(rows["h1"], empty);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Sql("select group_concat(Host || '=' || N_group) from hosts"), before);
    EXPECT_EQ(Shown(), shown);
    // The page still takes a drag afterwards.
    Drag(rows["h0"], nodes["5"]);
    EXPECT_TRUE(WaitFor([&] { return Sql("select N_group from hosts where Host='h0'") == "5\n"; },
                        std::chrono::seconds(10)));
}

INSTANTIATE_TEST_SUITE_P(Grid, HostDragXvfb, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& Info) {
                             return Info.param ? "Sorted" : "InLoadOrder";
                         });
