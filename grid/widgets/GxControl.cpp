// Base of the family's drop-down windows.
#include "grid/widgets/GxControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <cmath>

namespace {

// A filled triangle of the given height pointing up or down, centred in rect.
void DrawArrow(QPainter& canvas, const QRect& rect, bool up, const QColor& color) {
    const int size = std::max(2, std::min(rect.width(), rect.height()) / 4);
    const int cx = rect.left() + rect.width() / 2;
    const int cy = rect.top() + rect.height() / 2;
    for (int i = 0; i < size; ++i) {
        const int y = up ? cy - size / 2 + i : cy + size / 2 - i;
        canvas.fillRect(QRect(cx - i, y, 2 * i + 1, 1), color);
    }
}

} // namespace

// ---- vertical bar -------------------------------------------------------------------------

TGxVertScrollBar::TGxVertScrollBar(TGxCustomScrollControl* owner) : TGxCustomScrollBar(owner) {
    SetKind(sbVertical);
    SetPageSize(8);
}

QWidget* TGxVertScrollBar::OwnerWidget() const {
    return Owner() ? Owner()->viewport() : nullptr;
}

int TGxVertScrollBar::ButtonSize() const {
    const QWidget* owner = OwnerWidget();
    QStyle* style = owner ? owner->style() : nullptr;
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, owner) : 16;
}

QRect TGxVertScrollBar::BackRect() const {
    return QRect(FBounds.left(), FBounds.top(), FBounds.width(), ButtonSize());
}

QRect TGxVertScrollBar::ForwardRect() const {
    const int size = ButtonSize();
    return QRect(FBounds.left(), FBounds.top() + FBounds.height() - size, FBounds.width(), size);
}

bool TGxVertScrollBar::HasThumb() const {
    return Max() > 0 && TrackLength() >= PageSize();
}

QRect TGxVertScrollBar::ThumbRect() const {
    if (!HasThumb())
        return QRect();
    const int offset = int(std::lround(double(Position()) * (TrackLength() - PageSize()) / Max()));
    return QRect(FBounds.left(), FBounds.top() + ButtonSize() + offset, FBounds.width(), PageSize());
}

TGxVertScrollBar::TPart TGxVertScrollBar::PartAt(const QPoint& point) const {
    if (!FBounds.contains(point))
        return spNone;
    if (BackRect().contains(point))
        return spBack;
    if (ForwardRect().contains(point))
        return spForward;
    const QRect thumb = ThumbRect();
    if (thumb.isEmpty())
        return spNone;
    if (thumb.contains(point))
        return spThumb;
    return point.y() < thumb.top() ? spPageBack : spPageForward;
}

void TGxVertScrollBar::DragTo(int offset) {
    if (!HasThumb() || TrackLength() <= 0)
        return;
    SetPosition(int(std::lround(offset / (double(TrackLength()) / Max()))));
}

void TGxVertScrollBar::SetStates(int back, int forward, int thumb) {
    if (back == FBackState && forward == FForwardState && thumb == FThumbState)
        return;
    FBackState = back;
    FForwardState = forward;
    FThumbState = thumb;
    Refresh();
}

void TGxVertScrollBar::Refresh() {
    if (QWidget* owner = OwnerWidget(); owner && Visible())
        owner->update(FBounds);
}

void TGxVertScrollBar::Paint(QPainter& canvas) const {
    const QWidget* owner = OwnerWidget();
    if (!owner || FBounds.isEmpty())
        return;
    const QPalette& palette = owner->palette();
    const bool enabled = Enabled() && owner->isEnabled();
    const QRect back = BackRect();
    const QRect forward = ForwardRect();
    const QRect track(FBounds.left(), back.bottom() + 1, FBounds.width(), std::max(TrackLength(), 0));
    const QRect thumb = Max() >= 1 ? ThumbRect() : QRect();
    if (ThemesActive()) {
        QStyleOptionSlider option;
        option.initFrom(owner);
        option.orientation = Qt::Vertical;
        option.minimum = 0;
        option.maximum = Max();
        option.sliderPosition = option.sliderValue = Position();
        option.pageStep = PageSize();
        if (!enabled)
            option.state &= ~QStyle::State_Enabled;
        option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_HasFocus);
        // Track and arrows through the style's scroll bar (its buttons are as long as ours:
        // the scroll bar extent); the pressed or hot arrow is the active sub-control.
        QStyleOptionSlider bar = option;
        bar.rect = FBounds;
        bar.subControls = QStyle::SC_ScrollBarAddLine | QStyle::SC_ScrollBarSubLine |
                          QStyle::SC_ScrollBarGroove | QStyle::SC_ScrollBarAddPage |
                          QStyle::SC_ScrollBarSubPage;
        bar.activeSubControls = QStyle::SC_None;
        if (FBackState) {
            bar.activeSubControls = QStyle::SC_ScrollBarSubLine;
            bar.state |= FBackState & psPressed ? QStyle::State_Sunken : QStyle::State_MouseOver;
        } else if (FForwardState) {
            bar.activeSubControls = QStyle::SC_ScrollBarAddLine;
            bar.state |= FForwardState & psPressed ? QStyle::State_Sunken : QStyle::State_MouseOver;
        }
        canvas.save();
        canvas.setClipRect(FBounds);
        canvas.fillRect(FBounds, palette.color(QPalette::Window));
        owner->style()->drawComplexControl(QStyle::CC_ScrollBar, &bar, &canvas, owner);
        // Styles that leave the arrows out still show where the buttons are.
        for (const auto& [rect, up] : {std::pair{back, true}, std::pair{forward, false}}) {
            QStyleOption arrow;
            arrow.initFrom(owner);
            arrow.rect = rect.adjusted(3, 3, -3, -3);
            owner->style()->drawPrimitive(up ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                                          &arrow, &canvas, owner);
        }
        // The thumb is ours (PageSize pixels high), drawn as the style's raised panel.
        if (!thumb.isEmpty()) {
            QStyleOptionButton face;
            face.initFrom(owner);
            face.rect = thumb;
            face.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
            face.state |= FThumbState & psPressed ? QStyle::State_Sunken : QStyle::State_Raised;
            if (FThumbState & psHot)
                face.state |= QStyle::State_MouseOver;
            owner->style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &face, &canvas, owner);
        }
        canvas.restore();
        return;
    }
    // Classic: a checkered track, arrow buttons and a raised thumb.
    canvas.fillRect(track, ColorToQColor(clScrollBar, palette));
    canvas.fillRect(track, QBrush(ColorToQColor(clBtnHighlight, palette), Qt::Dense4Pattern));
    const QColor arrow = ColorToQColor(enabled ? clBtnText : clGrayText, palette);
    auto button = [&](const QRect& rect, bool up, int state) {
        if (state & psPressed) {
            canvas.fillRect(rect, ColorToQColor(clBtnFace, palette));
            const QColor shadow = ColorToQColor(clBtnShadow, palette);
            Draw3DFrame(canvas, rect, shadow, shadow);
            DrawArrow(canvas, rect.translated(1, 1), up, arrow);
        } else {
            DrawButtonFrame(canvas, rect, false, palette);
            DrawArrow(canvas, rect, up, arrow);
        }
    };
    button(back, true, FBackState);
    button(forward, false, FForwardState);
    if (!thumb.isEmpty())
        DrawButtonFrame(canvas, thumb, false, palette);
}

// ---- control ------------------------------------------------------------------------------

TGxControl::TGxControl(QWidget* parent)
    : TGxCustomScrollControl(parent), FVertScrollBar(this), FHorzScrollBar(this) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    FHorzScrollBar.SetKind(sbHorizontal);
    FDelayTimer.setSingleShot(true);
    FDelayTimer.setInterval(RepeatDelayMs);
    FRepeatTimer.setInterval(RepeatIntervalMs);
    connect(&FDelayTimer, &QTimer::timeout, this, [this] { FRepeatTimer.start(); });
    connect(&FRepeatTimer, &QTimer::timeout, this, [this] { DoAction(); });
}

QRect TGxControl::ContentRect() const {
    // No frame and no window scroll bars: the client area is the whole window, also before a
    // hidden window's viewport has followed a resize.
    int width = this->width() - 4;
    if (FVertScrollBar.Visible())
        width -= FVertScrollBar.ButtonSize();
    return QRect(2, 2, std::max(width, 0), std::max(height() - 4, 0));
}

void TGxControl::UpdateBarBounds() {
    const QRect content = ContentRect();
    FVertScrollBar.SetBounds(QRect(content.right() + 1, 2, FVertScrollBar.ButtonSize(), content.height()));
}

void TGxControl::HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition) {
    if (kind != sbVertical)
        return;
    TGxVertScrollBar& bar = FVertScrollBar;
    switch (code) {
    case scLineUp:
        bar.SetPosition(bar.Position() - bar.SmallChange());
        break;
    case scLineDown:
        bar.SetPosition(bar.Position() + bar.SmallChange());
        break;
    case scPageUp:
        bar.SetPosition(bar.Position() - bar.LargeChange());
        break;
    case scPageDown:
        bar.SetPosition(bar.Position() + bar.LargeChange());
        break;
    case scThumbTrack:
    case scThumbPosition:
        bar.SetPosition(trackPosition);
        break;
    case scTop:
        bar.SetPosition(0);
        break;
    case scBottom:
        bar.SetPosition(bar.Max());
        break;
    default:
        break;
    }
}

void TGxControl::ScrollContent(TGxCustomScrollBar& bar, int dx, int dy) {
    Q_UNUSED(bar);
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    Scrolled();
}

void TGxControl::PaintContent(QPainter& canvas) {
    canvas.fillRect(ContentRect(), palette().color(QPalette::Base));
}

void TGxControl::PaintFrame(QPainter& canvas) {
    // A black frame round the client area and one in the control's colour inside it.
    const QRect outer = rect();
    Draw3DFrame(canvas, outer, Qt::black, Qt::black);
    const QColor inner = palette().color(QPalette::Base);
    Draw3DFrame(canvas, outer.adjusted(1, 1, -1, -1), inner, inner);
}

void TGxControl::paintEvent(QPaintEvent*) {
    QPainter canvas(viewport());
    PaintFrame(canvas);
    PaintContent(canvas);
    if (FVertScrollBar.Visible())
        FVertScrollBar.Paint(canvas);
}

void TGxControl::resizeEvent(QResizeEvent* event) {
    TGxCustomScrollControl::resizeEvent(event);
    UpdateBarBounds();
}

void TGxControl::DoAction() {
    switch (FAction) {
    case paLineUp:
        FVertScrollBar.LineUp();
        break;
    case paLineDown:
        FVertScrollBar.LineDown();
        break;
    case paPageUp:
        FVertScrollBar.PageUp();
        break;
    case paPageDown:
        FVertScrollBar.PageDown();
        break;
    case paNone:
        break;
    }
}

bool TGxControl::BarMousePress(const QPoint& point) {
    if (!FVertScrollBar.Visible())
        return false;
    UpdateBarBounds();
    const auto part = FVertScrollBar.PartAt(point);
    if (part == TGxVertScrollBar::spNone)
        return FVertScrollBar.Bounds().contains(point);
    if (part == TGxVertScrollBar::spThumb) {
        if (FVertScrollBar.Max() < 1)
            return true;
        FDragOffset = point.y() - FVertScrollBar.ThumbRect().top();
        FVertScrollBar.SetStates(0, 0, TGxVertScrollBar::psPressed | TGxVertScrollBar::psHot);
        return true;
    }
    switch (part) {
    case TGxVertScrollBar::spBack:
        FAction = paLineUp;
        FVertScrollBar.SetStates(TGxVertScrollBar::psPressed | TGxVertScrollBar::psHot, 0, 0);
        break;
    case TGxVertScrollBar::spForward:
        FAction = paLineDown;
        FVertScrollBar.SetStates(0, TGxVertScrollBar::psPressed | TGxVertScrollBar::psHot, 0);
        break;
    case TGxVertScrollBar::spPageBack:
        FAction = paPageUp;
        break;
    default:
        FAction = paPageDown;
        break;
    }
    // One step at once, then the delay before the repeat.
    DoAction();
    FRepeatTimer.stop();
    FDelayTimer.start();
    return true;
}

bool TGxControl::BarMouseMove(const QPoint& point) {
    if (!FVertScrollBar.Visible())
        return false;
    TGxVertScrollBar& bar = FVertScrollBar;
    const bool dragging = bar.ThumbState() & TGxVertScrollBar::psPressed;
    if (dragging) {
        bar.DragTo(point.y() - FDragOffset - (bar.Bounds().top() + bar.ButtonSize()));
        return true;
    }
    const bool inColumn = point.x() >= bar.Bounds().left() && point.x() <= bar.Bounds().right();
    if (!inColumn) {
        ClearHot();
        return false;
    }
    const auto part = bar.PartAt(point);
    auto keep = [](int state, bool hot) {
        return (state & TGxVertScrollBar::psPressed) | (hot ? TGxVertScrollBar::psHot : 0);
    };
    bar.SetStates(keep(bar.BackState(), part == TGxVertScrollBar::spBack),
                  keep(bar.ForwardState(), part == TGxVertScrollBar::spForward),
                  keep(bar.ThumbState(), part == TGxVertScrollBar::spThumb));
    return true;
}

bool TGxControl::BarMouseRelease() {
    const bool had = FAction != paNone || (FVertScrollBar.ThumbState() & TGxVertScrollBar::psPressed) ||
                     (FVertScrollBar.BackState() & TGxVertScrollBar::psPressed) ||
                     (FVertScrollBar.ForwardState() & TGxVertScrollBar::psPressed);
    FAction = paNone;
    FDelayTimer.stop();
    FRepeatTimer.stop();
    FVertScrollBar.SetStates(FVertScrollBar.BackState() & TGxVertScrollBar::psHot,
                             FVertScrollBar.ForwardState() & TGxVertScrollBar::psHot,
                             FVertScrollBar.ThumbState() & TGxVertScrollBar::psHot);
    viewport()->update();
    return had;
}

void TGxControl::ClearHot() {
    FVertScrollBar.SetStates(FVertScrollBar.BackState() & TGxVertScrollBar::psPressed,
                             FVertScrollBar.ForwardState() & TGxVertScrollBar::psPressed,
                             FVertScrollBar.ThumbState() & TGxVertScrollBar::psPressed);
}

void TGxControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        BarMousePress(event->position().toPoint());
}

void TGxControl::mouseMoveEvent(QMouseEvent* event) {
    BarMouseMove(event->position().toPoint());
}

void TGxControl::mouseReleaseEvent(QMouseEvent* event) {
    Q_UNUSED(event);
    BarMouseRelease();
}

void TGxControl::leaveEvent(QEvent* event) {
    TGxCustomScrollControl::leaveEvent(event);
    ClearHot();
}
