// Base of the family's drop-down windows: a framed client area with a vertical scroll bar that
// the control paints itself, and the press-and-hold repeat of its buttons and page areas.
#pragma once

#include "grid/widgets/GxScrollControl.h"

#include <QTimer>

// A vertical scroll bar painted on its owner's canvas within its bounds. PageSize is the
// thumb's height in pixels.
class TGxVertScrollBar : public TGxCustomScrollBar {
public:
    // Bits of a part's state.
    static constexpr int psHot = 1;
    static constexpr int psPressed = 2;
    enum TPart : uint8_t { spNone, spBack, spForward, spPageBack, spPageForward, spThumb };

    explicit TGxVertScrollBar(TGxCustomScrollControl* owner);

    const QRect& Bounds() const { return FBounds; }
    void SetBounds(const QRect& value) { FBounds = value; }
    // The system width of a vertical scroll bar; the buttons are as high as it.
    int ButtonSize() const;
    int TrackLength() const { return FBounds.height() - 2 * ButtonSize(); }
    QRect BackRect() const;
    QRect ForwardRect() const;
    // A thumb only with Max > 0 and a track at least as long as the page (its arithmetic
    // divides by what is left of the track); empty otherwise.
    bool HasThumb() const;
    QRect ThumbRect() const;
    TPart PartAt(const QPoint& point) const;
    // Thumb dragged to an offset from the top of the track: Position = Round(Y / (track / Max)).
    void DragTo(int offset);

    int BackState() const { return FBackState; }
    int ForwardState() const { return FForwardState; }
    int ThumbState() const { return FThumbState; }
    void SetStates(int back, int forward, int thumb);

    // QStyle's scroll-bar sub-controls with themes, else the classic checkered track, arrows
    // and raised thumb.
    void Paint(QPainter& canvas) const;
    void Refresh() override;

private:
    QWidget* OwnerWidget() const;
    QRect FBounds;
    int FBackState = 0;
    int FForwardState = 0;
    int FThumbState = 0;
};

// What a held button or page area repeats.
enum TGxPressedAction : uint8_t { paNone, paLineUp, paLineDown, paPageUp, paPageDown };

class TGxControl : public TGxCustomScrollControl {
    Q_OBJECT
public:
    static constexpr int RepeatDelayMs = 300;
    static constexpr int RepeatIntervalMs = 50;

    explicit TGxControl(QWidget* parent = nullptr);

    TGxVertScrollBar& VertScrollBar() { return FVertScrollBar; }
    const TGxVertScrollBar& VertScrollBar() const { return FVertScrollBar; }
    TGxPressedAction PressedAction() const { return FAction; }
    // From (2, 2): the client width - 4 less the bar when it shows, the client height - 4.
    QRect ContentRect() const;
    // Places the bar in the column right of the content.
    void UpdateBarBounds();

    void HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition = 0) override;

protected:
    // The content between the frames; the base fills it with the control's colour.
    virtual void PaintContent(QPainter& canvas);
    // The bar's position changed: the content follows.
    virtual void Scrolled() { viewport()->update(); }
    void PaintFrame(QPainter& canvas) override;
    void ScrollContent(TGxCustomScrollBar& bar, int dx, int dy) override;

    // The bar's share of the mouse; true when the event was the bar's.
    bool BarMousePress(const QPoint& point);
    bool BarMouseMove(const QPoint& point);
    bool BarMouseRelease();
    void ClearHot();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DoAction();
    TGxVertScrollBar FVertScrollBar;
    TGxVertScrollBar FHorzScrollBar; // made, never shown
    QTimer FDelayTimer;
    QTimer FRepeatTimer;
    TGxPressedAction FAction = paNone;
    int FDragOffset = 0;
};
