// Scrolling base of the table control.
#include "grid/widgets/GxScrollControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QStyleOptionFrame>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

// ---- scroll bar model ---------------------------------------------------------------------

TGxCustomScrollBar::TGxCustomScrollBar(TGxCustomScrollControl* owner) : FOwner(owner) {}

void TGxCustomScrollBar::SetKind(TScrollBarKind value) {
    FKind = value;
    FBarId = value;
    Refresh();
}

void TGxCustomScrollBar::SetAutoHide(bool value) {
    FAutoHide = value;
    SetVisible(FMax != 0 || !FAutoHide);
    Refresh();
}

void TGxCustomScrollBar::SetEnabled(bool value) {
    FEnabled = value;
    Refresh();
}

void TGxCustomScrollBar::SetMax(int value) {
    value = std::max(value, 0);
    if (value == FMax)
        return;
    FMax = value;
    SetVisible(!(FPageSize >= FMax && FAutoHide));
    Refresh();
    if (FPosition > FMax)
        SetPosition(FMax);
}

void TGxCustomScrollBar::SetPageSize(int value) {
    value = std::max(value, 1);
    if (value == FPageSize)
        return;
    FPageSize = value;
    Refresh();
}

void TGxCustomScrollBar::SetPosition(int value) {
    FOldPosition = FPosition;
    FPosition = std::max(value < FMin ? FMin : std::min(value, FMax), 0);
    Refresh();
    if (FUpdateCount > 0 || FManualScroll || !FOwner || FPosition == FOldPosition)
        return;
    FOwner->BarPositionChanged(*this);
}

void TGxCustomScrollBar::SetVisible(bool value) {
    FVisible = value;
    Refresh();
}

void TGxCustomScrollBar::RequestScroll(TScrollCode code) {
    if (FOwner)
        FOwner->HandleScroll(FKind, code, FPosition);
}

void TGxCustomScrollBar::LineUp() {
    if (FMax >= 1 && FPosition > 0)
        RequestScroll(scLineUp);
}

void TGxCustomScrollBar::LineDown() {
    if (FMax >= 1)
        RequestScroll(scLineDown);
}

void TGxCustomScrollBar::PageUp() {
    if (FMax >= 1)
        RequestScroll(scPageUp);
}

void TGxCustomScrollBar::PageDown() {
    if (FMax >= 1)
        RequestScroll(scPageDown);
}

QScrollBar* TGxScrollBar::Bar() const {
    if (!Owner() || BarId() < 0)
        return nullptr;
    return Kind() == sbVertical ? Owner()->verticalScrollBar() : Owner()->horizontalScrollBar();
}

void TGxScrollBar::Refresh() {
    QScrollBar* bar = Bar();
    if (FRefreshing || !bar)
        return;
    FRefreshing = true;
    const QSignalBlocker blocker(bar);
    bar->setRange(Min(), std::max(Min(), Max() - PageSize() + 1));
    bar->setPageStep(PageSize());
    bar->setSingleStep(std::max(SmallChange(), 1));
    bar->setValue(Position());
    bar->setEnabled(Max() > 0 && Enabled() && Owner()->isEnabled());
    const Qt::ScrollBarPolicy policy = Visible() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (Kind() == sbVertical && Owner()->verticalScrollBarPolicy() != policy)
        Owner()->setVerticalScrollBarPolicy(policy);
    else if (Kind() == sbHorizontal && Owner()->horizontalScrollBarPolicy() != policy)
        Owner()->setHorizontalScrollBarPolicy(policy);
    FRefreshing = false;
}

// ---- scrolling control --------------------------------------------------------------------

TGxCustomScrollControl::TGxCustomScrollControl(QWidget* parent) : QAbstractScrollArea(parent) {
    // The control paints all of its client area itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
}

int TGxCustomScrollControl::HorzScrollDelta(int oldPosition, int newPosition) {
    Q_UNUSED(oldPosition);
    Q_UNUSED(newPosition);
    return 0;
}

int TGxCustomScrollControl::VertScrollDelta(int oldPosition, int newPosition) {
    Q_UNUSED(oldPosition);
    Q_UNUSED(newPosition);
    return 0;
}

void TGxCustomScrollControl::AfterScroll(TGxCustomScrollBar& bar) {
    Q_UNUSED(bar);
}

void TGxCustomScrollControl::BeforeScroll(TGxCustomScrollBar& bar) {
    Q_UNUSED(bar);
}

void TGxCustomScrollControl::BarPositionChanged(TGxCustomScrollBar& bar) {
    if (bar.Kind() == sbVertical) {
        const int dy = VertScrollDelta(bar.OldPosition(), bar.Position());
        ScrollContent(bar, 0, dy);
    } else {
        const int dx = HorzScrollDelta(bar.OldPosition(), bar.Position());
        ScrollContent(bar, dx, 0);
    }
}

void TGxCustomScrollControl::ScrollContent(TGxCustomScrollBar& bar, int dx, int dy) {
    BeforeScroll(bar);
    const QRect& clip = bar.Kind() == sbVertical ? FVertClip : FHorzClip;
    if ((dx != 0 || dy != 0) && !clip.isEmpty()) {
        if (std::abs(dx) >= clip.width() || std::abs(dy) >= clip.height())
            viewport()->update(clip); // nothing stays in view: repaint instead of moving
        else
            viewport()->scroll(dx, dy, clip);
    }
    AfterScroll(bar);
}

void TGxCustomScrollControl::HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition) {
    Q_UNUSED(kind);
    Q_UNUSED(code);
    Q_UNUSED(trackPosition);
}

void TGxCustomScrollControl::FocusControl() {
    if (window() && window() != this)
        setFocus(Qt::OtherFocusReason);
}

void TGxCustomScrollControl::SelectNext(bool forward) {
    focusNextPrevChild(forward);
}

void TGxCustomScrollControl::PaintFrame(QPainter& canvas) {
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.lineWidth = frameWidth();
    option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &option, &canvas, this);
}

bool TGxCustomScrollControl::event(QEvent* event) {
    if (event->type() == QEvent::Paint) {
        // Only the frame belongs to this window; the client area is the viewport's.
        if (frameWidth() > 0) {
            QPainter canvas(this);
            PaintFrame(canvas);
        }
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TGxCustomScrollControl::scrollContentsBy(int dx, int dy) {
    // Content moves only through the bar models.
    Q_UNUSED(dx);
    Q_UNUSED(dy);
}

// ---- the grid's scrolling base ------------------------------------------------------------

TGxScrollControl::TGxScrollControl(QWidget* parent)
    : TGxCustomScrollControl(parent), FHorzScrollBar(this), FVertScrollBar(this),
      FRollShadow(new TRollShadow(this)) {
    FHorzScrollBar.SetKind(sbHorizontal);
    FVertScrollBar.SetKind(sbVertical);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FRollShadow->hide();
    FRollTimer.setInterval(1);
    connect(&FRollTimer, &QTimer::timeout, this, [this] { RollTick(); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { BarAction(sbHorizontal, action); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { BarAction(sbVertical, action); });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        FAppStateConnection =
            connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    StopRolling();
            });
}

TGxScrollControl::~TGxScrollControl() {
    disconnect(FAppStateConnection);
    FRollTimer.stop();
    if (FRolling && QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void TGxScrollControl::BarAction(TScrollBarKind kind, int action) {
    QScrollBar* bar = kind == sbVertical ? verticalScrollBar() : horizontalScrollBar();
    TScrollCode code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = scLineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = scLineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = scPageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = scPageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = scTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = scBottom;
        break;
    case QAbstractSlider::SliderMove:
        code = scThumbTrack;
        break;
    default:
        return;
    }
    HandleScroll(kind, code, bar->sliderPosition());
    // The model decides where the bar stands.
    const TGxScrollBar& model = kind == sbVertical ? FVertScrollBar : FHorzScrollBar;
    bar->setSliderPosition(std::clamp(model.Position(), bar->minimum(), bar->maximum()));
}

void TGxScrollControl::HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition) {
    TGxScrollBar& bar = kind == sbVertical ? FVertScrollBar : FHorzScrollBar;
    int target = bar.Position();
    switch (code) {
    case scLineUp:
        target -= bar.SmallChange();
        bar.NoteScroll(snLine);
        break;
    case scLineDown:
        target += bar.SmallChange();
        bar.NoteScroll(snLine);
        break;
    case scPageUp:
        target -= bar.LargeChange();
        bar.NoteScroll(snPage);
        break;
    case scPageDown:
        target += bar.LargeChange();
        bar.NoteScroll(snPage);
        break;
    case scThumbPosition:
    case scThumbTrack:
        target = trackPosition;
        bar.NoteScroll(snThumb);
        break;
    case scTop:
        target = 0;
        bar.NoteScroll(snTopBottom);
        break;
    case scBottom:
        target = bar.Max();
        bar.NoteScroll(snTopBottom);
        break;
    default:
        return;
    }
    target = std::max(target, 0);
    if (target > bar.Max() - bar.PageSize())
        target = bar.Max() - bar.PageSize() + 1;
    bar.SetPosition(target);
    auto& handler = kind == sbVertical ? OnVerticalScroll : OnHorizontalScroll;
    if (handler)
        handler(this, bar.Position());
}

void TGxScrollControl::DoMouseWheel(bool down, Qt::KeyboardModifiers modifiers) {
    const bool page = modifiers & Qt::ControlModifier;
    if (down)
        page ? FVertScrollBar.PageDown() : FVertScrollBar.LineDown();
    else
        page ? FVertScrollBar.PageUp() : FVertScrollBar.LineUp();
}

void TGxScrollControl::wheelEvent(QWheelEvent* event) {
    if (!FMouseWheelEnabled) {
        TGxCustomScrollControl::wheelEvent(event);
        return;
    }
    // One step per notch of 120, whatever the platform's lines per notch; fine-grained wheels
    // add up to whole notches.
    FWheelRest += event->angleDelta().y();
    while (FWheelRest >= 120) {
        FWheelRest -= 120;
        DoMouseWheel(false, event->modifiers());
    }
    while (FWheelRest <= -120) {
        FWheelRest += 120;
        DoMouseWheel(true, event->modifiers());
    }
    event->accept(); // handled here: no wheel event reaches the control's users
}

// ---- rolling ------------------------------------------------------------------------------

QCursor TGxScrollControl::RollCursor(int id) {
    // Up and down arrow heads around a dot; the directed cursors keep one head.
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter canvas(&picture);
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(QPen(Qt::white, 1));
    canvas.setBrush(Qt::black);
    const QPolygon up({QPoint(16, 5), QPoint(22, 11), QPoint(10, 11)});
    const QPolygon down({QPoint(16, 27), QPoint(22, 21), QPoint(10, 21)});
    if (id != 4005)
        canvas.drawPolygon(up);
    if (id != 4004)
        canvas.drawPolygon(down);
    canvas.drawEllipse(QRect(13, 13, 6, 6));
    canvas.end();
    return QCursor(picture, 16, 16);
}

void TGxScrollControl::StartRolling(const QPoint& localPoint) {
    FRollOrigin = localPoint;
    FRollDistance = 0;
    FRollDirection = 0;
    FRolling = true;
    FRollShadow->ShowAt(viewport()->mapToGlobal(localPoint));
    viewport()->setCursor(RollCursor(4003));
    FRollTimer.setInterval(1);
    FRollTimer.start();
    viewport()->grabMouse();
}

void TGxScrollControl::UpdateRolling(const QPoint& localPoint) {
    FRollDistance = localPoint.y() - FRollOrigin.y();
    if (FRollDistance < -5) {
        viewport()->setCursor(RollCursor(4004));
        FRollDirection = -1;
    } else if (FRollDistance <= 5) {
        viewport()->setCursor(RollCursor(4003));
        FRollDirection = 0;
    } else {
        viewport()->setCursor(RollCursor(4005));
        FRollDirection = 1;
    }
}

void TGxScrollControl::StopRolling() {
    if (!FRolling)
        return;
    FRolling = false;
    FRollDirection = 0;
    FRollTimer.stop();
    FRollShadow->hide();
    viewport()->unsetCursor();
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void TGxScrollControl::RollTick() {
    // Someone else took the mouse: rolling cannot be ended by a release any more.
    if (QWidget::mouseGrabber() != viewport() && QWidget::mouseGrabber() != nullptr) {
        StopRolling();
        return;
    }
    FRollTimer.setInterval(std::max(1, 100 - std::abs(FRollDistance)));
    if (FRollDirection < 0)
        FVertScrollBar.LineUp();
    else if (FRollDirection > 0)
        FVertScrollBar.LineDown();
}

bool TGxScrollControl::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (FRolling) {
            StopRolling();
            return true;
        }
        if (mouse->button() == Qt::MiddleButton && FRollSwitch) {
            StartRolling(mouse->position().toPoint());
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (FRolling) {
            UpdateRolling(static_cast<QMouseEvent*>(event)->position().toPoint());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (FRolling) {
            StopRolling();
            return true;
        }
        break;
    case QEvent::UngrabMouse:
        StopRolling();
        break;
    default:
        break;
    }
    return TGxCustomScrollControl::viewportEvent(event);
}

void TGxScrollControl::focusOutEvent(QFocusEvent* event) {
    StopRolling();
    TGxCustomScrollControl::focusOutEvent(event);
}

void TGxScrollControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        viewport()->update();
        FHorzScrollBar.Refresh();
        FVertScrollBar.Refresh();
    } else if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        StopRolling();
    }
    TGxCustomScrollControl::changeEvent(event);
}
