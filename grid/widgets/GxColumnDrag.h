// Floating windows of a header drag: the box that shows the dragged column's header under the
// mouse, and the two red arrows that mark where it would drop.
#pragma once

#include "grid/widgets/GxDisplays.h"
#include "grid/widgets/GxSharedDraw.h"

class TGxGridView;

// The default style in its classic look without the sort arrow, never drawn pressed: the box
// shows the header as it was before the press.
class TDragBoxStyle : public TDefaultStyleDisplay {
public:
    explicit TDragBoxStyle(TGxGridView* grid);
    uint8_t GetStyleFlags() const override {
        return TDefaultStyleDisplay::GetStyleFlags() & ~sfInvertPressed;
    }
};

class TColumnDragBox : public TGxFlyoutControl {
    Q_OBJECT
public:
    explicit TColumnDragBox(TGxGridView* grid);
    // Shows the header of a column (its width, the header height) under a screen point.
    void ShowFor(int col, const QPoint& globalMouse);
    // Top-left at mouse x - half the width, mouse y - the height + 4.
    void Follow(const QPoint& globalMouse);
    int Column() const { return FColumn; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TGxGridView* FGrid;
    TDragBoxStyle FStyle;
    int FColumn = -1;
};

// 9 x 9, filled red and shaped by its region: kind 2 points down and sits above the header,
// kind 1 points up and sits below it.
class TDragArrow : public TGxFlyoutControl {
    Q_OBJECT
public:
    TDragArrow(QWidget* owner, int kind);
    int Kind() const { return FKind; }
    static QRegion Shape(int kind);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FKind;
};
