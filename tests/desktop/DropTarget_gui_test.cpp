// The drop target on the scripted backend: registration, the effect rules, what a drop writes
// back, the speed test and auto-scrolling, paste from the clipboard and drops from other
// programs.
#include "desktop/DragDropText.h"
#include "desktop/ScriptedDragDrop.h"

#include "dragdrop_helpers.h"

#include "tests/support/FakeTrayIconBackend.h"

#include <QApplication>
#include <QScrollBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace ddtest;

namespace {

QByteArray Utf16Z(const QString& Text) {
    return QByteArray(reinterpret_cast<const char*>(Text.utf16()), (Text.size() + 1) * 2);
}

// A text target whose scroll step a test can run.
class TSteppedTarget : public TDropTextTarget {
public:
    using TDropTextTarget::TDropTextTarget;
    void Step() { ScrollTimerTimer(); }
};

// A window with a tree of 200 nodes (so it scrolls) and a plain pad beside it.
class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setGeometry(200, 150, 400, 300);
        tree = new QTreeWidget(&window);
        tree->setGeometry(10, 10, 200, 150);
        tree->setHeaderHidden(true);
        for (int i = 0; i < 200; ++i)
            new QTreeWidgetItem(tree, QStringList(QStringLiteral("Group %1").arg(i)));
        pad = new QWidget(&window);
        pad->setGeometry(250, 10, 100, 100);
        window.show();
        QApplication::processEvents();
        text.Put(CF_TEXT, QByteArray("12|3\0", 5));
        text.Put(CF_LOCALE, Le32(1033));
        backend->SetTime(5000);
    }
    QPoint InTree(QPoint Client) const { return tree->viewport()->mapToGlobal(Client); }
    QPoint Middle() const { return InTree(tree->viewport()->rect().center()); }

    TScopedScriptedBackend backend;
    QWidget window;
    QTreeWidget* tree = nullptr;
    QWidget* pad = nullptr;
    TStaticDataObject text;
};

} // namespace

TEST_F(DropTargetTest, RegistrationOrderAndLifetime) {
    TDropTextTarget target;
    target.SetTarget(tree);
    EXPECT_EQ(target.Targets(), std::vector<QWidget*>{tree});
    EXPECT_EQ(backend->TargetOf(tree), &target);
    target.Register(tree); // once only
    EXPECT_EQ(target.Targets().size(), 1u);
    // One control at a time unless MultiTarget.
    target.Register(pad);
    EXPECT_EQ(target.Targets(), std::vector<QWidget*>{pad});
    EXPECT_EQ(backend->TargetOf(tree), nullptr);
    target.SetMultiTarget(true);
    target.Register(&window);
    target.Register(tree); // inside the window: right after it
    EXPECT_EQ(target.Targets(), (std::vector<QWidget*>{pad, &window, tree}));
    EXPECT_EQ(target.FindTarget(Middle()), tree);
    EXPECT_EQ(target.FindTarget(pad->mapToGlobal(QPoint(5, 5))), pad);
    EXPECT_EQ(target.FindTarget(QPoint(1, 1)), nullptr);
    target.Unregister(&window);
    EXPECT_EQ(target.Targets(), (std::vector<QWidget*>{pad, tree}));
    // A destroyed control is forgotten.
    auto* doomed = new QWidget(&window);
    target.Register(doomed);
    delete doomed;
    EXPECT_EQ(target.Targets(), (std::vector<QWidget*>{pad, tree}));
    target.Unregister();
    EXPECT_TRUE(target.Targets().empty());
    EXPECT_EQ(backend->TargetOf(pad), nullptr);
    // A refused registration raises.
    TRecordingTarget other;
    backend->RegisterDragDrop(pad, &other);
    EXPECT_THROW(target.Register(pad), EDragDropError);
    backend->RevokeDragDrop(pad);
}

TEST_F(DropTargetTest, EnteringOutsideEveryControlSwitchesShowImageAndAutoScrollOff) {
    TDropTextTarget target;
    target.SetTarget(tree);
    EXPECT_TRUE(target.ShowImage());
    EXPECT_TRUE(target.AutoScroll());
    uint32_t effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.DragEnter(&text, MK_LBUTTON, pad->mapToGlobal(QPoint(5, 5)), &effect), S_OK);
    EXPECT_EQ(target.CurrentTarget(), nullptr);
    EXPECT_FALSE(target.ShowImage());
    EXPECT_FALSE(target.AutoScroll());
    target.DragLeave();
    effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, Middle(), &effect);
    EXPECT_EQ(target.CurrentTarget(), tree);
    EXPECT_FALSE(target.ShowImage()); // for good
    EXPECT_FALSE(target.AutoScroll());
    target.DragLeave();
}

TEST_F(DropTargetTest, ACopyOnlySourceGivesCopyPlainAndWithCtrlShift) {
    TDropTextTarget target;
    target.SetTarget(tree);
    EXPECT_EQ(target.DragTypes(), (TDragTypes{dtCopy, dtLink}));
    for (uint32_t keys : {MK_LBUTTON, MK_LBUTTON | MK_CONTROL | MK_SHIFT, MK_LBUTTON | MK_SHIFT}) {
        uint32_t effect = DROPEFFECT_COPY;
        ASSERT_EQ(target.DragEnter(&text, keys, Middle(), &effect), S_OK);
        EXPECT_EQ(effect, DROPEFFECT_COPY) << keys;
        effect = DROPEFFECT_COPY;
        ASSERT_EQ(target.DragOver(keys, Middle(), &effect), S_OK);
        EXPECT_EQ(effect, DROPEFFECT_COPY) << keys;
        target.DragLeave();
    }
    uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    target.DragEnter(&text, MK_LBUTTON | MK_CONTROL | MK_SHIFT, Middle(), &effect);
    EXPECT_EQ(effect, DROPEFFECT_LINK);
    target.DragLeave();
    // A MOVE-only source gets nothing, and the target lets the data object go.
    effect = DROPEFFECT_MOVE;
    target.DragEnter(&text, MK_LBUTTON, Middle(), &effect);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(target.DataObject(), nullptr);
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, Middle(), &effect), DV_E_CLIPFORMAT);
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(target.Drop(&text, 0, Middle(), &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, 0u);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.DragOver(0, Middle(), &effect), E_UNEXPECTED); // no control under the drag now
    EXPECT_EQ(effect, 0u);
}

TEST_F(DropTargetTest, TheDropFiresOnDropAndKeepsTheText) {
    TDropTextTarget target;
    target.SetTarget(tree);
    QPoint at;
    uint32_t seen = 0;
    QString inHandler;
    target.OnDrop = [&](QObject* Sender, TShiftState, QPoint APoint, uint32_t& Effect) {
        EXPECT_EQ(Sender, &target);
        at = APoint;
        seen = Effect;
        inHandler = target.Text();
    };
    const QPoint client(30, 40);
    uint32_t effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.DragEnter(&text, MK_LBUTTON, InTree(client), &effect), S_OK);
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.Drop(&text, 0, InTree(client), &effect), S_OK);
    EXPECT_EQ(at, client); // in the viewport's coordinates: itemAt finds the node
    EXPECT_EQ(seen, DROPEFFECT_COPY);
    EXPECT_EQ(inHandler, "12|3");
    EXPECT_EQ(target.Text(), "12|3"); // until the next drag
    EXPECT_EQ(target.DataObject(), nullptr);
    EXPECT_EQ(text.Bytes(Named("Performed DropEffect")), Le32(DROPEFFECT_COPY));
    effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, InTree(client), &effect);
    target.DragLeave();
    EXPECT_TRUE(target.Text().isEmpty());
}

TEST_F(DropTargetTest, OptimizedMoveReportsCopyOnlyWhenTheWriteWasAccepted) {
    TDropTextTarget target;
    target.SetTarget(tree);
    target.SetDragTypes({dtMove});
    target.SetOptimizedMove(true);
    auto drop = [&](TStaticDataObject& Data) {
        uint32_t effect = DROPEFFECT_MOVE;
        target.DragEnter(&Data, MK_LBUTTON, Middle(), &effect);
        effect = DROPEFFECT_MOVE;
        EXPECT_EQ(target.Drop(&Data, 0, Middle(), &effect), S_OK);
        return effect;
    };
    EXPECT_EQ(drop(text), DROPEFFECT_COPY);
    EXPECT_EQ(text.Bytes(Named("Performed DropEffect")), Le32(DROPEFFECT_COPY));
    TStaticDataObject readOnly;
    readOnly.Put(CF_TEXT, QByteArray("1|1\0", 4));
    readOnly.SetReadOnly(true);
    EXPECT_EQ(drop(readOnly), DROPEFFECT_MOVE);
    target.SetOptimizedMove(false);
    EXPECT_EQ(drop(text), DROPEFFECT_MOVE);
    EXPECT_EQ(text.Bytes(Named("Performed DropEffect")), Le32(DROPEFFECT_MOVE));
}

TEST_F(DropTargetTest, AcceptFormatAndGetDataOnEnter) {
    TDropTextTarget target;
    target.SetTarget(tree);
    target.OnAcceptFormat = [](QObject*, TCustomDataFormat*, bool& Accept) {
        Accept = false;
    };
    uint32_t effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, Middle(), &effect);
    EXPECT_EQ(effect, 0u);
    target.DragLeave();
    target.OnAcceptFormat = nullptr;
    target.SetGetDataOnEnter(true);
    QString onEnter;
    target.OnEnter = [&](QObject*, TShiftState, QPoint, uint32_t&) {
        onEnter = target.Text();
    };
    effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, Middle(), &effect);
    EXPECT_EQ(onEnter, "12|3");
    TStaticDataObject empty;
    empty.Put(CF_TEXT, QByteArray());
    target.DragLeave();
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.DragEnter(&empty, MK_LBUTTON, Middle(), &effect), DV_E_CLIPFORMAT);
    EXPECT_EQ(effect, 0u);
}

TEST(DropTargetSpeed, TwentyPixelsPerSecondIsSlowEnough) {
    TDragSpeedTest speed;
    speed.Reset(0, QPoint(0, 0));
    EXPECT_TRUE(speed.Test(5, QPoint(100, 0))); // under 10 ms nothing is measured
    speed.Reset(0, QPoint(0, 0));
    EXPECT_TRUE(speed.Test(50, QPoint(1, 0))); // exactly 20 px/s
    speed.Reset(0, QPoint(0, 0));
    EXPECT_FALSE(speed.Test(49, QPoint(1, 0)));
    // The reference follows the pointer: a fast move, then rest.
    speed.Reset(0, QPoint(0, 0));
    EXPECT_FALSE(speed.Test(20, QPoint(1, 0)));
    EXPECT_FALSE(speed.Test(40, QPoint(1, 0)));
    EXPECT_TRUE(speed.Test(60, QPoint(1, 0)));
}

TEST_F(DropTargetTest, FastMovesNearTheEdgeDoNotScrollRestingDoes) {
    TSteppedTarget target;
    target.SetTarget(tree);
    QScrollBar& bar = *tree->verticalScrollBar();
    ASSERT_TRUE(bar.isVisibleTo(tree));
    const int bottom = tree->viewport()->height() - 3;
    uint32_t effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, InTree(QPoint(20, bottom)), &effect);
    EXPECT_EQ(effect, DROPEFFECT_COPY | DROPEFFECT_SCROLL); // outside the inner rectangle
    EXPECT_FALSE(target.InnerRect().contains(QPoint(20, bottom)));
    // Moving along the edge at 100 px/s.
    for (int i = 1; i <= 5; ++i) {
        backend->Advance(20);
        effect = DROPEFFECT_COPY;
        target.DragOver(MK_LBUTTON, InTree(QPoint(20 + 2 * i, bottom)), &effect);
        EXPECT_FALSE(target.ScrollTimer().isActive()) << i;
    }
    // Resting: the timer runs, first after 50 ms.
    const QPoint rest = InTree(QPoint(30, bottom));
    for (int i = 0; i < 3; ++i) {
        backend->Advance(20);
        effect = DROPEFFECT_COPY;
        target.DragOver(MK_LBUTTON, rest, &effect);
    }
    ASSERT_TRUE(target.ScrollTimer().isActive());
    EXPECT_EQ(target.ScrollTimer().interval(), 50);
    // Each step scrolls one line and comes again 50 ms later.
    backend->SetCursorPos(rest);
    const int before = bar.value();
    for (int i = 1; i <= 3; ++i) {
        backend->Advance(50);
        target.Step();
        EXPECT_EQ(bar.value(), before + i);
        EXPECT_TRUE(target.ScrollTimer().isActive());
        EXPECT_EQ(target.ScrollTimer().interval(), 50);
    }
    // The pointer moving fast again stops the steps.
    backend->Advance(10);
    backend->SetCursorPos(rest + QPoint(0, 40));
    target.Step();
    EXPECT_EQ(bar.value(), before + 3);
    EXPECT_FALSE(target.ScrollTimer().isActive());
    // Inside the inner rectangle there is no scroll bit and no timer.
    backend->Advance(20);
    effect = DROPEFFECT_COPY;
    target.DragOver(MK_LBUTTON, Middle(), &effect);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_FALSE(target.ScrollTimer().isActive());
    target.DragLeave();
}

TEST_F(DropTargetTest, OnScrollDecidesDirectionAndInterval) {
    TSteppedTarget target;
    target.SetTarget(tree);
    QScrollBar& bar = *tree->verticalScrollBar();
    std::vector<TScrollDirections> asked;
    target.OnScroll = [&](QObject*, QPoint, TScrollDirections& Scroll, int& Interval) {
        asked.push_back(Scroll);
        Interval = 120;
        if (asked.size() == 2)
            Scroll = 0;
    };
    const QPoint top = InTree(QPoint(20, 2));
    uint32_t effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, top, &effect);
    backend->SetCursorPos(top);
    backend->Advance(50);
    target.Step(); // at the top already: nothing to scroll up
    EXPECT_TRUE(asked.empty());
    bar.setValue(10);
    backend->Advance(50);
    target.Step();
    EXPECT_EQ(bar.value(), 9);
    EXPECT_EQ(target.ScrollTimer().interval(), 120);
    backend->Advance(120);
    target.Step();
    EXPECT_EQ(bar.value(), 9); // the handler said no
    EXPECT_FALSE(target.ScrollTimer().isActive());
    EXPECT_EQ(asked, (std::vector<TScrollDirections>{ScrollBit(sdUp), ScrollBit(sdUp)}));
    target.DragLeave();
}

TEST_F(DropTargetTest, RestingNearTheEdgeScrollsOnTheRealClock) {
    backend->SetRealClock(true);
    TDropTextTarget target;
    target.SetTarget(tree);
    QScrollBar& bar = *tree->verticalScrollBar();
    const QPoint rest = InTree(QPoint(20, tree->viewport()->height() - 3));
    backend->SetCursorPos(rest);
    uint32_t effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, rest, &effect);
    const int before = bar.value();
    // The window system repeats DragOver while the pointer rests.
    ProcessEventsUntil(
        [&] {
            uint32_t over = DROPEFFECT_COPY;
            target.DragOver(MK_LBUTTON, rest, &over);
            return bar.value() >= before + 3;
        },
        3000);
    EXPECT_GE(bar.value(), before + 3);
    target.DragLeave();
    EXPECT_FALSE(target.ScrollTimer().isActive());
}

TEST_F(DropTargetTest, PasteFromTheClipboard) {
    TDropTextTarget target;
    EXPECT_FALSE(target.CanPasteFromClipboard());
    EXPECT_EQ(target.PasteFromClipboard(), 0u);
    text.Put(Named("Preferred DropEffect"), Le32(DROPEFFECT_COPY));
    backend->SetClipboard(&text);
    EXPECT_TRUE(target.CanPasteFromClipboard());
    QPoint at(-1, -1);
    target.OnDrop = [&](QObject*, TShiftState Shift, QPoint APoint, uint32_t&) {
        at = APoint;
        EXPECT_EQ(Shift, 0);
    };
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_COPY);
    EXPECT_EQ(at, QPoint(0, 0));
    EXPECT_EQ(target.Text(), "12|3");
    EXPECT_EQ(text.Bytes(Named("Paste Succeeded")), Le32(DROPEFFECT_COPY));
    backend->SetClipboard(nullptr);
}

TEST_F(DropTargetTest, AnyProgramMayDropTextOnTheTree) {
    TDropTextTarget target;
    target.SetTarget(tree);
    QString dropped;
    target.OnDrop = [&](QObject*, TShiftState, QPoint, uint32_t&) {
        dropped = target.Text();
    };
    TStaticDataObject foreign;
    foreign.Put(CF_UNICODETEXT, Utf16Z("abc"));
    uint32_t effect = 0;
    ASSERT_EQ(backend->RunForeignDrag(&foreign, DROPEFFECT_COPY | DROPEFFECT_MOVE,
                                      {TDragStep::Move(Middle()), TDragStep::Release()}, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(dropped, "abc");
    // A plain drag asks for MOVE, which the tree does not take: it falls back to COPY.
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(backend->Drags().back().Effects, std::vector<uint32_t>{DROPEFFECT_COPY});
    EXPECT_EQ(foreign.Bytes(Named("Performed DropEffect")), Le32(DROPEFFECT_COPY));
}

TEST_F(DropTargetTest, AReparentedControlKeepsItsRegistration) {
    TDropTextTarget target;
    target.SetTarget(tree);
    QWidget other;
    other.setGeometry(600, 150, 300, 300);
    tree->setParent(&other);
    tree->move(20, 20);
    tree->show();
    other.show();
    QApplication::processEvents();
    QString dropped;
    target.OnDrop = [&](QObject*, TShiftState, QPoint, uint32_t&) {
        dropped = target.Text();
    };
    uint32_t effect = 0;
    backend->RunForeignDrag(&text, DROPEFFECT_COPY, {TDragStep::Move(Middle()), TDragStep::Release()},
                            &effect);
    EXPECT_EQ(dropped, "12|3");
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    tree->setParent(&window);
}
