// Scrolling base of the table control: scroll bar models that keep their own range, page and
// position and drive the window's scroll bars, the control that moves its pixels by the delta
// its descendant computes, and middle-button rolling.
#pragma once

#include "grid/widgets/GxSharedDraw.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <functional>

class TGxCustomScrollControl;

enum TScrollBarKind : int8_t { sbHorizontal = 0, sbVertical = 1 };
// Scroll requests, as the window's scroll bars send them.
enum TScrollCode : uint8_t {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scThumbPosition,
    scThumbTrack,
    scTop,
    scBottom,
    scEndScroll,
};
// What kind of scroll moved a bar last.
enum TScrollNote : uint8_t { snNone, snLine, snPage, snThumb, snTopBottom };

// A scroll bar's model: range Min..Max, the visible part PageSize and the position. It is not a
// window; its owner scrolls its content when the position changes.
class TGxCustomScrollBar {
public:
    explicit TGxCustomScrollBar(TGxCustomScrollControl* owner);
    virtual ~TGxCustomScrollBar() = default;
    TGxCustomScrollBar(const TGxCustomScrollBar&) = delete;
    TGxCustomScrollBar& operator=(const TGxCustomScrollBar&) = delete;

    TScrollBarKind Kind() const { return FKind; }
    void SetKind(TScrollBarKind value);
    int BarId() const { return FBarId; } // -1 until the kind is set
    bool AutoHide() const { return FAutoHide; }
    void SetAutoHide(bool value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    // Never below 0; the position follows a smaller Max.
    void SetMax(int value);
    int Position() const { return FPosition; }
    int OldPosition() const { return FOldPosition; }
    // Clamped to Min..Max; scrolls the owner unless updating or ManualScroll.
    void SetPosition(int value);
    int PageSize() const { return FPageSize; }
    void SetPageSize(int value); // 0 or less becomes 1
    int SmallChange() const { return FSmallChange; }
    void SetSmallChange(int value) { FSmallChange = value; }
    int LargeChange() const { return FLargeChange; }
    void SetLargeChange(int value) { FLargeChange = value; }
    bool ManualScroll() const { return FManualScroll; }
    void SetManualScroll(bool value) { FManualScroll = value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TScrollNote LastScroll() const { return FLastScroll; }
    void NoteScroll(TScrollNote value) { FLastScroll = value; }

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() {
        if (FUpdateCount > 0)
            --FUpdateCount;
    }
    int UpdateCount() const { return FUpdateCount; }

    void First() { SetPosition(0); }
    void Last() { SetPosition(FMax - FPageSize + 1); }
    void MoveBy(int delta) { SetPosition(FPosition + delta); }
    // Scroll requests to the owner (line up only above position 0; none while Max < 1).
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    bool AtEnd() const { return FPosition + FPageSize >= FMax; }
    bool AtStart() const { return FPosition == 0; }

    // Shows the model in the window's scroll bar.
    virtual void Refresh() {}

protected:
    TGxCustomScrollControl* Owner() const { return FOwner; }
    void RequestScroll(TScrollCode code);

private:
    TGxCustomScrollControl* FOwner;
    TScrollBarKind FKind = sbHorizontal;
    int FBarId = -1;
    bool FAutoHide = true;
    bool FEnabled = true;
    int FMin = 0;
    int FMax = 0;
    int FPosition = 0;
    int FOldPosition = 0;
    int FPageSize = 1;
    int FSmallChange = 1;
    int FLargeChange = 1;
    bool FManualScroll = false;
    int FUpdateCount = 0;
    bool FVisible = false;
    TScrollNote FLastScroll = snNone;
};

// Drives one of the window's own scroll bars: its maximum is Max - PageSize + 1, its page
// PageSize, its value Position; hidden when not Visible.
class TGxScrollBar : public TGxCustomScrollBar {
public:
    using TGxCustomScrollBar::TGxCustomScrollBar;
    void Refresh() override;
    QScrollBar* Bar() const;

private:
    bool FRefreshing = false;
};

// A control whose content moves by the pixel deltas its descendant computes, within one clip
// rectangle per direction.
class TGxCustomScrollControl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TGxCustomScrollControl(QWidget* parent = nullptr);

    // The part of the client area that moves when scrolling horizontally or vertically.
    void SetHorzClipRect(const QRect& rect) { FHorzClip = rect; }
    void SetVertClipRect(const QRect& rect) { FVertClip = rect; }
    const QRect& HorzClipRect() const { return FHorzClip; }
    const QRect& VertClipRect() const { return FVertClip; }

    // Called by a bar whose position changed: asks for the delta and scrolls the content.
    void BarPositionChanged(TGxCustomScrollBar& bar);
    // A scroll request of a bar (the window system's scroll message).
    virtual void HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition = 0);

    // Focus this control's window; move the focus to the next or previous control.
    void FocusControl();
    void SelectNext(bool forward);

protected:
    virtual int HorzScrollDelta(int oldPosition, int newPosition);
    virtual int VertScrollDelta(int oldPosition, int newPosition);
    virtual void AfterScroll(TGxCustomScrollBar& bar);
    virtual void BeforeScroll(TGxCustomScrollBar& bar);
    virtual void ScrollContent(TGxCustomScrollBar& bar, int dx, int dy);
    // The frame around the client area; the base draws the frame of the style.
    virtual void PaintFrame(QPainter& canvas);

    bool event(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QRect FHorzClip;
    QRect FVertClip;
};

// The grid's scrolling base: both window scroll bars, the wheel switch and middle-button
// rolling with its marker.
class TGxScrollControl : public TGxCustomScrollControl {
    Q_OBJECT
public:
    explicit TGxScrollControl(QWidget* parent = nullptr);
    ~TGxScrollControl() override;

    TGxScrollBar& HorzScrollBar() { return FHorzScrollBar; }
    TGxScrollBar& VertScrollBar() { return FVertScrollBar; }
    bool MouseWheelEnabled() const { return FMouseWheelEnabled; }
    void SetMouseWheelEnabled(bool value) { FMouseWheelEnabled = value; }
    bool RollSwitch() const { return FRollSwitch; }
    void SetRollSwitch(bool value) { FRollSwitch = value; }

    void HandleScroll(TScrollBarKind kind, TScrollCode code, int trackPosition = 0) override;

    // Rolling state, for the window's users and tests.
    bool Rolling() const { return FRolling; }
    int RollDirection() const { return FRollDirection; } // -1 up, 0 none, 1 down
    int RollInterval() const { return FRollTimer.interval(); }
    QPoint RollOrigin() const { return FRollOrigin; }
    TRollShadow& RollShadow() { return *FRollShadow; }
    // The cursors 4003 (both ways), 4004 (up) and 4005 (down), drawn in code.
    static QCursor RollCursor(int id);

    std::function<void(QObject* sender, int position)> OnHorizontalScroll;
    std::function<void(QObject* sender, int position)> OnVerticalScroll;

protected:
    // One wheel notch (120 of angle delta): the base scrolls one line (a page with Ctrl).
    virtual void DoMouseWheel(bool down, Qt::KeyboardModifiers modifiers);
    void StartRolling(const QPoint& localPoint);
    void UpdateRolling(const QPoint& localPoint);
    void StopRolling();
    void RollTick();

    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BarAction(TScrollBarKind kind, int action);

    TGxScrollBar FHorzScrollBar;
    TGxScrollBar FVertScrollBar;
    bool FMouseWheelEnabled = true;
    QPointer<TRollShadow> FRollShadow;
    QTimer FRollTimer;
    bool FRollSwitch = true;
    QPoint FRollOrigin;
    int FRollDistance = 0;
    int FRollDirection = 0;
    bool FRolling = false;
    int FWheelRest = 0; // angle delta short of a whole notch
    QMetaObject::Connection FAppStateConnection;
};
