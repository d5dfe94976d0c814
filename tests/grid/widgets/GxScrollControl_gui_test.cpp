// Scroll bar models and the scrolling control: range and page rules, the window bar's maximum,
// position clamping on scroll requests, updates that move no pixels, the wheel switch and
// middle-button rolling with its stop conditions.
#include "widget_helpers.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

// Content of 10-pixel stripes that follow the vertical position; records every scroll.
class StripeControl : public TGxScrollControl {
public:
    StripeControl() {
        resize(200, 150);
        VertScrollBar().SetPageSize(10);
        VertScrollBar().SetMax(100);
        show();
        QApplication::processEvents();
        SetVertClipRect(viewport()->rect());
    }
    int Scrolls = 0;
    int LastDy = 0;
    int Offset = 0; // rows the content has moved
    void Tick() { RollTick(); }
    void StopNow() { StopRolling(); }

protected:
    int VertScrollDelta(int oldPosition, int newPosition) override {
        return (oldPosition - newPosition) * 10;
    }
    void ScrollContent(TGxCustomScrollBar& bar, int dx, int dy) override {
        ++Scrolls;
        LastDy = dy;
        Offset -= dy / 10;
        TGxScrollControl::ScrollContent(bar, dx, dy);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter canvas(viewport());
        for (int y = 0; y < viewport()->height(); ++y) {
            const int band = (y / 10 + Offset) % 2;
            canvas.fillRect(0, y, viewport()->width(), 1, band ? Qt::black : Qt::white);
        }
    }
};

void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(ScrollBarModel, RangePageAndScrollRequests) {
    StripeControl control;
    TGxScrollBar& bar = control.VertScrollBar();
    EXPECT_EQ(bar.Bar()->maximum(), 91); // Max - PageSize + 1
    EXPECT_EQ(bar.Bar()->pageStep(), 10);
    control.HandleScroll(sbVertical, scThumbTrack, 95);
    EXPECT_EQ(bar.Position(), 91);
    EXPECT_EQ(bar.LastScroll(), snThumb);
    control.HandleScroll(sbVertical, scTop);
    EXPECT_EQ(bar.Position(), 0);
    control.HandleScroll(sbVertical, scBottom);
    EXPECT_EQ(bar.Position(), 91);
    EXPECT_EQ(bar.LastScroll(), snTopBottom);
    bar.First();
    bar.Last();
    EXPECT_EQ(bar.Position(), 91);
    EXPECT_TRUE(bar.AtEnd());
    control.HandleScroll(sbVertical, scLineUp);
    EXPECT_EQ(bar.Position(), 90);
    control.HandleScroll(sbVertical, scPageUp);
    EXPECT_EQ(bar.Position(), 89); // LargeChange 1
    control.HandleScroll(sbVertical, scThumbTrack, -7);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_TRUE(bar.AtStart());
    // The window's own bar goes the same way.
    bar.Bar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(bar.Position(), 91);
    EXPECT_EQ(bar.Bar()->value(), 91);
    int reported = -1;
    control.OnVerticalScroll = [&](QObject*, int position) {
        reported = position;
    };
    bar.Bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar.Position(), 90);
    EXPECT_EQ(reported, 90);
}

TEST(ScrollBarModel, MaxNeverNegativeAndHiddenWhenAllFits) {
    StripeControl control;
    TGxScrollBar& bar = control.VertScrollBar();
    bar.SetPosition(50);
    EXPECT_TRUE(bar.Visible());
    bar.SetMax(-3);
    EXPECT_EQ(bar.Max(), 0);
    EXPECT_EQ(bar.Position(), 0); // follows the smaller Max
    EXPECT_FALSE(bar.Visible());
    EXPECT_EQ(control.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    bar.SetAutoHide(false);
    EXPECT_TRUE(bar.Visible()); // disabled rather than hidden
    EXPECT_FALSE(bar.Bar()->isEnabled());
    bar.SetPageSize(0);
    EXPECT_EQ(bar.PageSize(), 1);
    bar.SetMax(5);
    bar.SetAutoHide(true);
    EXPECT_TRUE(bar.Visible());
    bar.SetPageSize(5);
    bar.SetMax(4);
    EXPECT_FALSE(bar.Visible());
}

TEST(ScrollBarModel, NoPixelsMoveInsideAnUpdateOrWithManualScroll) {
    StripeControl control;
    TGxScrollBar& bar = control.VertScrollBar();
    bar.SetPosition(1);
    const QImage before = control.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int scrolls = control.Scrolls;
    bar.BeginUpdate();
    bar.SetPosition(6);
    bar.MoveBy(3);
    EXPECT_EQ(control.Scrolls, scrolls);
    QApplication::processEvents();
    EXPECT_EQ(control.viewport()->grab(QRect(0, 0, 10, 140)).toImage().convertToFormat(QImage::Format_RGB32),
              before.copy(0, 0, 10, 140));
    bar.EndUpdate();
    EXPECT_EQ(bar.Position(), 9);
    bar.SetManualScroll(true);
    bar.SetPosition(20);
    EXPECT_EQ(control.Scrolls, scrolls);
    bar.SetManualScroll(false);
    bar.SetPosition(21);
    EXPECT_EQ(control.Scrolls, scrolls + 1);
    EXPECT_EQ(control.LastDy, -10);
}

TEST(ScrollControlWheel, TheSwitchDecidesWhoHandlesTheWheel) {
    StripeControl control;
    QWheelEvent down(QPointF(10, 10), QPointF(control.mapToGlobal(QPoint(10, 10))), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(control.viewport(), &down);
    EXPECT_EQ(control.VertScrollBar().Position(), 1);
    EXPECT_TRUE(down.isAccepted());
    QWheelEvent ctrl(QPointF(10, 10), QPointF(control.mapToGlobal(QPoint(10, 10))), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    control.VertScrollBar().SetLargeChange(10);
    QApplication::sendEvent(control.viewport(), &ctrl);
    EXPECT_EQ(control.VertScrollBar().Position(), 11);
}

TEST(ScrollControlRolling, FortyPixelsDownStepsEverySixtyMilliseconds) {
    StripeControl control;
    QWidget* viewport = control.viewport();
    Mouse(viewport, QEvent::MouseButtonPress, QPoint(50, 50), Qt::MiddleButton, Qt::MiddleButton);
    ASSERT_TRUE(control.Rolling());
    EXPECT_EQ(control.RollInterval(), 1);
    EXPECT_TRUE(control.RollShadow().isVisible());
    EXPECT_EQ(control.RollShadow().pos(), viewport->mapToGlobal(QPoint(50, 50)) - QPoint(7, 11));
    Mouse(viewport, QEvent::MouseMove, QPoint(50, 53), Qt::NoButton, Qt::MiddleButton);
    EXPECT_EQ(control.RollDirection(), 0);
    control.Tick();
    EXPECT_EQ(control.VertScrollBar().Position(), 0);
    EXPECT_EQ(control.RollInterval(), 97);
    Mouse(viewport, QEvent::MouseMove, QPoint(50, 90), Qt::NoButton, Qt::MiddleButton);
    EXPECT_EQ(control.RollDirection(), 1);
    control.Tick();
    EXPECT_EQ(control.RollInterval(), 60);
    EXPECT_EQ(control.VertScrollBar().Position(), 1);
    control.Tick();
    EXPECT_EQ(control.VertScrollBar().Position(), 2);
    Mouse(viewport, QEvent::MouseMove, QPoint(50, 44), Qt::NoButton, Qt::MiddleButton);
    EXPECT_EQ(control.RollDirection(), -1);
    control.Tick();
    EXPECT_EQ(control.VertScrollBar().Position(), 1);
    EXPECT_EQ(control.RollInterval(), 94);
    Mouse(viewport, QEvent::MouseMove, QPoint(50, 200), Qt::NoButton, Qt::MiddleButton);
    control.Tick();
    EXPECT_EQ(control.RollInterval(), 1); // never below 1 ms
    Mouse(viewport, QEvent::MouseButtonRelease, QPoint(50, 200), Qt::LeftButton, Qt::MiddleButton);
    EXPECT_FALSE(control.Rolling());
    EXPECT_FALSE(control.RollShadow().isVisible());
    EXPECT_NE(QWidget::mouseGrabber(), viewport);
}

TEST(ScrollControlRolling, StopsWhenGrabFocusOrActivationIsLost) {
    StripeControl control;
    QWidget* viewport = control.viewport();
    auto start = [&] {
        Mouse(viewport, QEvent::MouseButtonPress, QPoint(50, 50), Qt::MiddleButton, Qt::MiddleButton);
        Mouse(viewport, QEvent::MouseMove, QPoint(50, 90), Qt::NoButton, Qt::MiddleButton);
        ASSERT_TRUE(control.Rolling());
    };
    start();
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(&control, &focusOut);
    EXPECT_FALSE(control.Rolling());

    start();
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(control.Rolling());

    start();
    QWidget other;
    other.show();
    other.grabMouse();
    const int position = control.VertScrollBar().Position();
    control.Tick();
    EXPECT_FALSE(control.Rolling());
    EXPECT_EQ(control.VertScrollBar().Position(), position);
    other.releaseMouse();

    control.SetRollSwitch(false);
    Mouse(viewport, QEvent::MouseButtonPress, QPoint(50, 50), Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_FALSE(control.Rolling());
}

TEST(ScrollControlRolling, CursorsAreDrawnInCode) {
    for (int id : {4003, 4004, 4005}) {
        const QCursor cursor = TGxScrollControl::RollCursor(id);
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32)) << id;
        EXPECT_EQ(cursor.hotSpot(), QPoint(16, 16));
    }
    const QImage both = TGxScrollControl::RollCursor(4003).pixmap().toImage();
    const QImage up = TGxScrollControl::RollCursor(4004).pixmap().toImage();
    const QImage down = TGxScrollControl::RollCursor(4005).pixmap().toImage();
    EXPECT_NE(qAlpha(both.pixel(16, 8)), 0);
    EXPECT_NE(qAlpha(both.pixel(16, 24)), 0);
    EXPECT_NE(qAlpha(up.pixel(16, 8)), 0);
    EXPECT_EQ(qAlpha(up.pixel(16, 24)), 0);
    EXPECT_EQ(qAlpha(down.pixel(16, 8)), 0);
    EXPECT_NE(qAlpha(down.pixel(16, 24)), 0);
}
