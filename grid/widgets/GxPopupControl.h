// Drop-down windows of the family's edits: the generic pop-up window that places itself on
// the screen and grabs the mouse while its edit keeps the keyboard, the scrolling string list,
// the calendar sheet, and the small push button they use.
#pragma once

#include "grid/widgets/GxCalendarSheet.h"
#include "grid/widgets/GxControl.h"

#include <QPixmap>
#include <QPointer>
#include <functional>

// How a list shows its "name=value" lines.
enum TItemsDisplayMode : uint8_t { dmDefault, dmNameList, dmValueList, dmIndentList };

// The text of item index by mode: the whole line, its name (before the first "="), or its
// value (after it; empty for a line without "="); empty for an index outside the list.
QString ItemDisplayText(const QStringList& items, int index, TItemsDisplayMode mode);
// dmIndentList: 10 pixels per unit of the name's number; a name that is no number, or a
// negative one, counts 0.
int ItemIndent(const QStringList& items, int index);

// A small push button painted by its owner's rules; the owner routes the mouse to it.
class TGxMiniButton : public QWidget {
    Q_OBJECT
public:
    explicit TGxMiniButton(QWidget* parent = nullptr);
    bool Down() const { return FDown; }
    void SetDown(bool value);
    bool Hot() const { return FHot; }
    void SetHot(bool value);
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& value);
    // 0 push button, 1 toolbar button.
    int ThemedStyle() const { return FThemedStyle; }
    void SetThemedStyle(int value);
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool FDown = false;
    bool FHot = false;
    QPixmap FGlyph;
    int FThemedStyle = 0;
    QString FCaption;
    int FTag = 0;
};

// The Today (tag 0) and None (tag 1) buttons of a calendar sheet, placed, pressed and
// hit-tested the same way by the month calendar and the calendar drop-down.
class TGxCalendarButtons {
public:
    explicit TGxCalendarButtons(QWidget* parent);
    TGxMiniButton& Today() const { return *FToday; }
    TGxMiniButton& None() const { return *FNone; }
    // Today at 20 with None shown, else centred; both at top 133, 47 x 20.
    void Place(int width, bool showNone);
    TGxMiniButton* At(const QPoint& point) const;
    bool Press(const QPoint& point);
    void Move(const QPoint& point);
    // The tag of the button released over while pressed, -1 otherwise.
    int Release(const QPoint& point);
    bool Pressing() const { return FPressed != nullptr; }

private:
    QPointer<TGxMiniButton> FToday;
    QPointer<TGxMiniButton> FNone;
    QPointer<TGxMiniButton> FPressed;
};

// A borderless top-most window shown under an edit. It never takes the focus: the edit keeps
// the keyboard and forwards what the window needs; the window holds the mouse grab while open.
class TGxPopupControl : public TGxControl {
    Q_OBJECT
public:
    // owner is the edit that opens the window (also its QObject parent).
    explicit TGxPopupControl(QWidget* owner = nullptr);
    ~TGxPopupControl() override;

    QWidget* OwnerEdit() const { return FOwnerEdit; }
    bool Closed() const { return FClosed; }
    bool Armed() const { return FArmed; }
    // The window's top-left for rect fitted into the available area of the nearest screen:
    // moved left to the right edge - width when it sticks out, else right to the left edge;
    // the same vertically.
    static QPoint FitIntoScreen(const QRect& rect);
    // Shows the window at (x, y) fitted into the screen, without activation, and grabs the mouse.
    void PopupAt(int x, int y);
    // Hides the window, lets the mouse go and fires OnCloseUp.
    void CloseUp();
    // Esc in the owning edit.
    virtual void Cancel() { CloseUp(); }

    std::function<void(TGxPopupControl* sender)> OnCloseUp;
    std::function<void(TGxPopupControl* sender, const QString& text)> OnSelect;

protected:
    // The mouse inside the window, in viewport coordinates.
    virtual void PopupPress(const QPoint& point) { BarMousePress(point); }
    virtual void PopupMove(const QPoint& point) { BarMouseMove(point); }
    // A release inside the window: the subclass selects at the point.
    virtual void PopupRelease(const QPoint& point) { Q_UNUSED(point); }
    void Select(const QString& text);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CheckHold();
    QPointer<QWidget> FOwnerEdit;
    bool FClosed = true;
    bool FArmed = false;
    QTimer FHoldCheck;
    QMetaObject::Connection FAppState;
};

// A scrolling list of strings: hot row under the mouse, selected row kept in view, the bar only
// when there are more strings than DropDownCount.
class TGxPopupList : public TGxPopupControl {
    Q_OBJECT
public:
    explicit TGxPopupList(QWidget* owner = nullptr);

    const QStringList& Items() const { return FItems; }
    void SetItems(const QStringList& value);
    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& value);
    bool ShowImages() const { return FShowImages; }
    void SetShowImages(bool value);
    TItemsDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TItemsDisplayMode value);
    int HotIndex() const { return FHotIndex; }
    int ItemIndex() const { return FItemIndex; }
    // -1 or a row; the row is scrolled into view.
    void SetItemIndex(int value);
    int RowHeight() const { return FRowHeight; }
    void SetRowHeight(int value); // 0 or less becomes 1
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value);
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor value);
    TColor HighlightTextColor() const { return FHighlightTextColor; }
    void SetHighlightTextColor(TColor value);
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor value);
    TDrawingOptions DrawStyle() const { return FDrawStyle; }
    void SetDrawStyle(TDrawingOptions value);

    // Rows that fit: the content height divided by the row height.
    int VisibleRowCount() const;
    QString RowText(int index) const { return ItemDisplayText(FItems, index, FDisplayMode); }
    QRect RowRect(int index) const;
    int RowAt(const QPoint& point) const;
    // Moves the selected row by delta within the items (keys of the owning edit).
    void MoveSelection(int delta);
    // Scrolls by rows (the wheel).
    void ScrollBy(int rows);
    void UpdateScrollBar();

    std::function<void(TGxPopupList* sender, QPainter& canvas, int index, bool selected, const QRect& rect)>
        OnDrawItem;

protected:
    void PaintContent(QPainter& canvas) override;
    void PopupPress(const QPoint& point) override;
    void PopupMove(const QPoint& point) override;
    void PopupRelease(const QPoint& point) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PaintRow(QPainter& canvas, int index, const QRect& rect, bool selected);
    void SetHotIndex(int value);
    void KeepInView(int index);

    QStringList FItems;
    QList<QPixmap> FImages;
    bool FShowImages = false;
    TItemsDisplayMode FDisplayMode = dmDefault;
    int FHotIndex = -1;
    int FItemIndex = -1;
    int FRowHeight = 16;
    int FDropDownCount = 8;
    TColor FHighlightColor = clHighlight;
    TColor FHighlightTextColor = clHighlightText;
    TColor FBackgroundColor = clWindow;
    TDrawingOptions FDrawStyle = doNormal;
    int FWheelRest = 0;
};

// The calendar drop-down: the month sheet with Today and None; a release over a day selects
// it and passes its text to the select event (None passes an empty text).
class TGxDatePopup : public TGxPopupControl {
    Q_OBJECT
public:
    explicit TGxDatePopup(QWidget* owner = nullptr);

    TGxCalendarSheet& Sheet() { return FSheet; }
    const TGxCalendarSheet& Sheet() const { return FSheet; }
    int Day() const { return FSheet.Day; }
    int Month() const { return FSheet.Month; }
    int Year() const { return FSheet.Year; }
    void SetDate(const QDate& value); // the shown month and day
    double SelectedDate() const { return FSelectedDate; }
    void SetSelectedDate(double value);
    QDate HotDate() const { return FHotDate; }
    bool Dragging() const { return FDragging; }
    TGxCalendarButtons& Buttons() { return FButtons; }
    void SetShowNoneButton(bool value);
    void SetTodayCaption(const QString& value) { FButtons.Today().SetCaption(value); }
    void SetNoneCaption(const QString& value) { FButtons.None().SetCaption(value); }

protected:
    void PaintContent(QPainter& canvas) override;
    void PaintFrame(QPainter& canvas) override { Q_UNUSED(canvas); }
    void PopupPress(const QPoint& point) override;
    void PopupMove(const QPoint& point) override;
    void PopupRelease(const QPoint& point) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetHotDate(const QDate& value);
    void SelectDay(const QDate& date);

    TGxCalendarSheet FSheet;
    TGxCalendarButtons FButtons;
    double FSelectedDate = 0;
    QDate FHotDate;
    bool FDragging = false;
    bool FShowNone = true;
};
