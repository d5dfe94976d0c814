// The tray icon over a recording notification area: showing and hiding, the tip cut to 127
// characters, click versus double click, and enter, move and exit from the pointer poll.
#include "desktop/NotifyTrayIcon.h"

#include "tests/support/FakeTrayIconBackend.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

class NotifyTrayIconTest : public ::testing::Test {
protected:
    NotifyTrayIconTest() {
        auto backend = std::make_unique<TFakeTrayIconBackend>();
        Fake = backend.get();
        Icon = std::make_unique<TNotifyTrayIcon>(std::move(backend));
    }
    static int DoubleClickMs() { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); }

    TFakeTrayIconBackend* Fake = nullptr;
    std::unique_ptr<TNotifyTrayIcon> Icon;
};

TEST_F(NotifyTrayIconTest, IconVisibleAddsAndRemovesTheIcon) {
    EXPECT_FALSE(Icon->IconVisible());
    Icon->SetIconVisible(true);
    Icon->SetIconVisible(false);
    Icon->SetIconVisible(true);
    EXPECT_TRUE(Icon->IconVisible());
    EXPECT_EQ(Fake->VisibleChanges, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(Fake->Visible());
}

TEST(NotifyTrayIcon, GoingAwayRemovesTheIcon) {
    std::vector<bool> log;
    auto backend = std::make_unique<TFakeTrayIconBackend>();
    backend->OutsideVisibleLog = &log;
    {
        TNotifyTrayIcon icon(std::move(backend));
        icon.SetIconVisible(true);
    }
    EXPECT_EQ(log, (std::vector<bool>{true, false}));
}

TEST_F(NotifyTrayIconTest, HintIsCutTo127Characters) {
    QString hint;
    for (int i = 0; i < 200; ++i)
        hint += QChar(u'a' + i % 26);
    Icon->SetHint(hint);
    EXPECT_EQ(Icon->Hint(), hint);
    EXPECT_EQ(Icon->TipText(), hint.left(127));
    EXPECT_EQ(Fake->ToolTip(), hint.left(127));
    EXPECT_EQ(Fake->ToolTip().size(), 127);
    Icon->SetShowHint(false);
    EXPECT_EQ(Fake->ToolTip(), "");
    Icon->SetShowHint(true);
    Icon->SetHint(QStringLiteral("short"));
    EXPECT_EQ(Fake->ToolTip(), "short");
}

TEST_F(NotifyTrayIconTest, SetIconUpdatesTheEntryOnce) {
    const int before = Fake->IconUpdates;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    Icon->SetIcon(QIcon(red));
    EXPECT_EQ(Fake->IconUpdates, before + 1);
    EXPECT_EQ(Fake->LastIcon.pixmap(16, 16).toImage().pixel(3, 3), qRgb(255, 0, 0));
}

TEST_F(NotifyTrayIconTest, ClickFiresAtOnceWithoutADoubleClickHandler) {
    int clicks = 0;
    QStringList mouse;
    Icon->OnClick = [&] {
        ++clicks;
    };
    Icon->OnMouseDown = [&](TTrayMouseButton b, QPoint) {
        mouse << QStringLiteral("down%1").arg(int(b));
    };
    Icon->OnMouseUp = [&](TTrayMouseButton b, QPoint) {
        mouse << QStringLiteral("up%1").arg(int(b));
    };
    Fake->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(mouse, QStringList({"down0", "up0"}));
}

TEST_F(NotifyTrayIconTest, ClickWaitsTheDoubleClickIntervalWhenADoubleClickHandlerIsSet) {
    int clicks = 0;
    int doubles = 0;
    QElapsedTimer clock;
    qint64 clickedAfter = -1;
    Icon->OnClick = [&] {
        ++clicks;
        clickedAfter = clock.elapsed();
    };
    Icon->OnDblClick = [&] {
        ++doubles;
    };
    clock.start();
    Fake->Click();
    EXPECT_EQ(clicks, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return clicks > 0; }, 10 * DoubleClickMs()));
    ProcessEventsFor(DoubleClickMs() / 2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubles, 0);
    // A precise timer never fires early; QElapsedTimer counts whole milliseconds.
    EXPECT_GE(clickedAfter, DoubleClickMs() - 1);
    std::printf("click reported after %lld ms (double-click interval %d ms)\n", (long long)clickedAfter,
                DoubleClickMs());
}

TEST_F(NotifyTrayIconTest, DoubleClickGivesOneDoubleClickAndNoClick) {
    int clicks = 0;
    int doubles = 0;
    Icon->OnClick = [&] {
        ++clicks;
    };
    Icon->OnDblClick = [&] {
        ++doubles;
    };
    Fake->DoubleClick();
    EXPECT_EQ(doubles, 1);
    ProcessEventsFor(2 * DoubleClickMs());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(doubles, 1);
    // The next single click is reported again.
    Fake->Click();
    EXPECT_TRUE(ProcessEventsUntil([&] { return clicks == 1; }, 10 * DoubleClickMs()));
    EXPECT_EQ(doubles, 1);
}

TEST_F(NotifyTrayIconTest, DoubleClickRunsTheMenusDefaultAction) {
    QMenu menu;
    QAction* first = menu.addAction(QStringLiteral("first"));
    QAction* chosen = menu.addAction(QStringLiteral("chosen"));
    menu.setDefaultAction(chosen);
    int firstRuns = 0, chosenRuns = 0;
    QObject::connect(first, &QAction::triggered, [&] { ++firstRuns; });
    QObject::connect(chosen, &QAction::triggered, [&] { ++chosenRuns; });
    Icon->SetPopupMenu(&menu);
    EXPECT_EQ(Fake->ContextMenu, &menu);
    Icon->OnDblClick = [] {
    };
    Fake->DoubleClick();
    EXPECT_EQ(chosenRuns, 1);
    EXPECT_EQ(firstRuns, 0);
}

TEST_F(NotifyTrayIconTest, RightAndMiddleButtons) {
    QStringList mouse;
    Icon->OnMouseDown = [&](TTrayMouseButton b, QPoint p) {
        mouse << QStringLiteral("down%1@%2").arg(int(b)).arg(p.x());
    };
    Icon->OnMouseUp = [&](TTrayMouseButton b, QPoint) {
        mouse << QStringLiteral("up%1").arg(int(b));
    };
    Fake->Cursor = QPoint(7, 9);
    Fake->Activate(TTrayActivation::Context);
    Fake->Activate(TTrayActivation::Middle);
    EXPECT_EQ(mouse, QStringList({"down1@7", "down2@7", "up2"}));
}

TEST_F(NotifyTrayIconTest, DisabledIgnoresEverything) {
    int events = 0;
    Icon->OnClick = [&] {
        ++events;
    };
    Icon->OnMouseEnter = [&] {
        ++events;
    };
    Icon->SetEnabled(false);
    Icon->SetWantEnterExitEvents(true);
    Icon->SetIconVisible(true);
    Fake->IconGeometry = QRect(100, 100, 22, 22);
    Fake->Cursor = QPoint(105, 105);
    Fake->Click();
    ProcessEventsFor(60);
    EXPECT_EQ(events, 0);
}

TEST_F(NotifyTrayIconTest, EnterOnceMovePerPositionExitAtTheNextPoll) {
    QStringList events;
    int queriesAtExit = -1;
    Icon->OnMouseEnter = [&] {
        events << QStringLiteral("enter");
    };
    Icon->OnMouseMove = [&](QPoint p) {
        events << QStringLiteral("move %1,%2").arg(p.x()).arg(p.y());
    };
    Icon->OnMouseExit = [&] {
        events << QStringLiteral("exit");
        queriesAtExit = Fake->CursorQueries;
    };
    EXPECT_EQ(TNotifyTrayIcon::ExitPollMs, 20);
    Fake->IconGeometry = QRect(100, 100, 22, 22);
    Fake->Cursor = QPoint(10, 10);
    Icon->SetWantEnterExitEvents(true);
    Icon->SetIconVisible(true);
    ProcessEventsFor(50);
    EXPECT_TRUE(events.isEmpty());

    Fake->Cursor = QPoint(101, 102);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !events.isEmpty(); }, 2000));
    ProcessEventsFor(50);
    Fake->Cursor = QPoint(110, 111);
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() == 3; }, 2000));
    ProcessEventsFor(50);
    EXPECT_EQ(events, QStringList({"enter", "move 101,102", "move 110,111"}));
    EXPECT_EQ(Icon->LastMousePos(), QPoint(110, 111));

    QElapsedTimer clock;
    const int queriesAtLeave = Fake->CursorQueries;
    Fake->Cursor = QPoint(300, 300);
    clock.start();
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() == 4; }, 2000));
    EXPECT_EQ(events.last(), "exit");
    // The first poll after leaving reports the exit, so it comes within two poll periods.
    EXPECT_EQ(queriesAtExit, queriesAtLeave + 1);
    std::printf("exit reported %lld ms after leaving\n", (long long)clock.elapsed());
    ProcessEventsFor(50);
    EXPECT_EQ(events.size(), 4);

    // Back in: enter once more.
    Fake->Cursor = QPoint(105, 105);
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() == 6; }, 2000));
    EXPECT_EQ(events.mid(4), QStringList({"enter", "move 105,105"}));
}

TEST_F(NotifyTrayIconTest, NoGeometryNoEnterOrExit) {
    int events = 0;
    Icon->OnMouseEnter = [&] {
        ++events;
    };
    Icon->OnMouseExit = [&] {
        ++events;
    };
    Icon->SetWantEnterExitEvents(true);
    Icon->SetIconVisible(true);
    Fake->Cursor = QPoint(0, 0);
    ProcessEventsFor(60);
    EXPECT_EQ(events, 0);
}

TEST_F(NotifyTrayIconTest, NoPollWhileHiddenOrUnwanted) {
    Fake->IconGeometry = QRect(0, 0, 22, 22);
    Icon->SetIconVisible(true);
    ProcessEventsFor(60);
    EXPECT_EQ(Fake->CursorQueries, 0);
    Icon->SetWantEnterExitEvents(true);
    Icon->SetIconVisible(false);
    ProcessEventsFor(60);
    EXPECT_EQ(Fake->CursorQueries, 0);
}

} // namespace
