// Painters of the table control: the seven header styles (headers with their sort arrows,
// footer, input-row and indicator cells, the empty areas) and one cell painter per column kind.
#pragma once

#include "grid/GxColumnClasses.h"
#include "grid/GxCustomGridControl.h"
#include "grid/widgets/GxSharedDraw.h"

#include <QImage>
#include <QObject>
#include <QPainter>
#include <QVector>

class TGxGridView;

// The pictures of an image column, a strings column or a tree column, all of one size.
class TGxImageList : public QObject {
    Q_OBJECT
public:
    TGxImageList(int width, int height, QObject* parent = nullptr);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }
    int Add(const QImage& image); // scaled to the list's size; returns its index
    void Draw(QPainter& canvas, int x, int y, int index) const;
    TImageListRef Ref() { return TImageListRef{this, FWidth}; }
    static const TGxImageList* From(const TImageListRef& ref);

private:
    int FWidth;
    int FHeight;
    QVector<QImage> FImages;
};

// ---- header styles ------------------------------------------------------------------------

// Style flags: headers track the mouse, a pressed header is inverted, no sort arrow.
enum TStyleFlag : uint8_t { sfTrackMouse = 1, sfInvertPressed = 2, sfNoSortArrow = 4 };

class TStyleDisplay {
public:
    explicit TStyleDisplay(TGxGridView* grid);
    virtual ~TStyleDisplay() = default;
    TStyleDisplay(const TStyleDisplay&) = delete;
    TStyleDisplay& operator=(const TStyleDisplay&) = delete;
    virtual void Assign(const TStyleDisplay& source);

    TGxGridView* Grid() const { return FGrid; }
    bool RightToLeft = false;
    bool SortArrow = true;
    bool HeaderBackground = true;
    bool Themed = false;

    virtual int GetHeaderMargin(const TGxCustomColumn& column) const;
    virtual uint8_t GetStyleFlags() const { return 0; }
    virtual void AdjustHeaderTextRect(QRect& rect) const { Q_UNUSED(rect); }
    virtual void DrawSortArrow(QPainter& canvas, int x, int y, bool ascending);
    virtual void DrawFooterContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);
    virtual void DrawHeaderContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);
    virtual void DrawBandBackground(QPainter& canvas, const QRect& rect) { DrawCornerCell(canvas, rect); }
    virtual void DrawCornerCell(QPainter& canvas, const QRect& rect);
    virtual void DrawFooterCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect, bool raised);
    virtual void DrawHeaderCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);
    virtual void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);
    virtual void DrawIndicatorCell(QPainter& canvas, const QRect& rect, int level);
    virtual void DrawIndicatorMark(QPainter& canvas, const QRect& rect, bool current, bool selected);
    virtual void DrawInputCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect, bool focused,
                               bool current, bool raised);
    virtual void DrawEmptyHeaderArea(QPainter& canvas, const QRect& rect);
    virtual void DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);

    // Where DrawHeaderContent puts the caption's left edge and the sort arrow for a header
    // rectangle (also used by the footer with its own caption and alignment).
    struct TContentLayout {
        int TextStart = 0;
        int Extent = 0;
        int GlyphX = -1;
        int ArrowX = 0;
        int ArrowY = 0;
        bool ArrowShown = false;
    };
    TContentLayout HeaderLayout(const TGxCustomColumn& column, const QRect& rect) const;

protected:
    QColor Rgb(TColor color) const;
    TGridFont HeaderFont() const;
    void InvertPressed(QPainter& canvas, const TGxCustomColumn& column, const QRect& rect);
    TContentLayout Layout(const TGxCustomColumn& column, const QRect& rect, const QString& caption,
                          TAlignment alignment, THeaderOrientation orientation, bool multiLine,
                          TDisplayMode mode, int glyphWidth) const;
    bool IsPressed(const TGxCustomColumn& column) const;
    bool IsHot(const TGxCustomColumn& column) const;

private:
    TGxGridView* FGrid;
};

// A filled triangle 9 wide and 5 high with its outline: pointing up (apex at (x + 4, y)) or
// down (apex at (x + 4, y + 4)).
void DrawArrowTriangle(QPainter& canvas, int x, int y, bool ascending, const QColor& outline,
                       const QColor& fill);

class TDefaultStyleDisplay : public TStyleDisplay {
public:
    using TStyleDisplay::TStyleDisplay;
    uint8_t GetStyleFlags() const override { return Themed ? sfTrackMouse : sfInvertPressed; }
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
    void DrawCornerCell(QPainter& canvas, const QRect& rect) override;
    void DrawEmptyHeaderArea(QPainter& canvas, const QRect& rect) override;
    virtual void DrawAutoHeaderPart(QPainter& canvas, TGxCustomColumn& column, const QRect& rect);
};

class TFlatStyleDisplay : public TStyleDisplay {
public:
    using TStyleDisplay::TStyleDisplay;
    uint8_t GetStyleFlags() const override { return sfInvertPressed; }
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override {
        DrawStyledHeader(canvas, column, rect);
    }
    void DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
};

// The two gradient styles share their drawing; they differ in colours.
class TOfficeStyleDisplay : public TStyleDisplay {
public:
    TOfficeStyleDisplay(TGxGridView* grid, int topSlot, int bottomSlot);
    void AdjustHeaderTextRect(QRect& rect) const override { rect.setLeft(rect.left() + 2); }
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override {
        DrawStyledHeader(canvas, column, rect);
    }
    void DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
    void DrawCornerCell(QPainter& canvas, const QRect& rect) override;
    void DrawIndicatorCell(QPainter& canvas, const QRect& rect, int level) override;
    void DrawBandBackground(QPainter& canvas, const QRect& rect) override;

protected:
    TColor TopColor() const;
    TColor BottomColor() const;

private:
    int FTopSlot;
    int FBottomSlot;
};

class TOffice2007StyleDisplay : public TOfficeStyleDisplay {
public:
    explicit TOffice2007StyleDisplay(TGxGridView* grid);
};

class TOffice2010StyleDisplay : public TOfficeStyleDisplay {
public:
    explicit TOffice2010StyleDisplay(TGxGridView* grid);
    void DrawSortArrow(QPainter& canvas, int x, int y, bool ascending) override;
};

class TOldStyleDisplay : public TStyleDisplay {
public:
    using TStyleDisplay::TStyleDisplay;
    uint8_t GetStyleFlags() const override { return sfInvertPressed; }
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
};

class TOutlookStyleDisplay : public TStyleDisplay {
public:
    using TStyleDisplay::TStyleDisplay;
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override {
        DrawStyledHeader(canvas, column, rect);
    }
    void DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
};

class TVistaStyleDisplay : public TStyleDisplay {
public:
    using TStyleDisplay::TStyleDisplay;
    uint8_t GetStyleFlags() const override { return sfTrackMouse; }
    void DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override {
        DrawStyledHeader(canvas, column, rect);
    }
    void DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
    void DrawHeaderContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) override;
};

// ---- cell painters ------------------------------------------------------------------------

// What a painter or a mouse handler knows of the cell it serves; the view fills it in before
// each call.
class TVirtualColElement {
public:
    TVirtualColElement(TGxCustomColumn& column, TGxGridView* window) : Window(window), FColumn(column) {}
    TGxCustomColumn& Column() const { return FColumn; }

    QRect CellRect;
    TCellInfo Value;
    int Level = 0;
    bool HasChildren = false;
    bool Expanded = false;
    int ImageIndex = -1;
    bool Hot = false;
    bool Pressed = false;
    TGxGridView* Window;
    // Set by the cell preparation: the text colour and the font style of the cell.
    QColor TextColor;
    TFontStyles FontStyle = 0;

private:
    TGxCustomColumn& FColumn;
};

class TGxColumnDisplay : public TColumnDisplay, public TVirtualColElement {
public:
    using TVirtualColElement::TVirtualColElement;
    // The cell rectangle narrowed by 2 pixels on the left and right.
    virtual QRect GetTextRect() const;
    virtual void DrawText(QPainter& canvas, const QString& text, const QRect& rect);
    virtual void DrawHintMark(QPainter& canvas);
    virtual int GetContentWidthHint() const { return 0; }
    // Width the cell's content needs (its measured text by default).
    virtual int GetContentWidth() const;
    // Size of the display text as the painter lays it out in the text rectangle.
    virtual QSize MeasureText() const;
    virtual void Paint(QPainter& canvas) = 0;
    int TextWidth(const QString& text) const override;

    // The text this painter shows for its current value.
    QString DisplayText() const;
    // DrawText flags of the column (ellipsis only when painting).
    TDrawTextFlags TextFlags(bool painting) const;

protected:
    QFont CellFont() const;
};

class TTextColumnDisplay : public TGxColumnDisplay {
public:
    using TGxColumnDisplay::TGxColumnDisplay;
    void Paint(QPainter& canvas) override;
};
class TNumberColumnDisplay : public TTextColumnDisplay {
public:
    using TTextColumnDisplay::TTextColumnDisplay;
};
class TDateColumnDisplay : public TTextColumnDisplay {
public:
    using TTextColumnDisplay::TTextColumnDisplay;
};
class TIncrementColumnDisplay : public TTextColumnDisplay {
public:
    using TTextColumnDisplay::TTextColumnDisplay;
};

class TCheckBoxColumnDisplay : public TGxColumnDisplay {
public:
    using TGxColumnDisplay::TGxColumnDisplay;
    void Paint(QPainter& canvas) override;
    virtual void PaintCheckBox(QPainter& canvas, const QRect& rect, bool checked, bool pressed, bool hot);
    int GetContentWidth() const override;
    // The box as painted: 13 x 13 with visual styles, else 11 x 11, placed with a 2-pixel margin.
    QRect BoxRect() const;
};

class TImageColumnDisplay : public TGxColumnDisplay {
public:
    using TGxColumnDisplay::TGxColumnDisplay;
    void Paint(QPainter& canvas) override;
    int GetContentWidth() const override;
};

class TStringsColumnDisplay : public TGxColumnDisplay {
public:
    using TGxColumnDisplay::TGxColumnDisplay;
    void Paint(QPainter& canvas) override;
    int GetContentWidth() const override;
    int ItemImageIndex() const;
};

class TTreeColumnDisplay : public TGxColumnDisplay {
public:
    using TGxColumnDisplay::TGxColumnDisplay;
    void Paint(QPainter& canvas) override;
    int GetContentWidth() const override;
    // The expand button's 9 x 9 rectangle for the current row.
    QRect ButtonRect() const;
};

// The box of a check-box cell as it is painted: 13 x 13 with visual styles, else 11 x 11,
// placed by the column's alignments with a 2-pixel margin.
QRect CheckBoxRect(const TGxCustomColumn& column, const QRect& cell, bool themed);
// The 9 x 9 expand button of a tree cell at a level.
QRect TreeButtonRect(const QRect& cell, int level);

// ---- cell mouse handlers ------------------------------------------------------------------

// The mouse and key behaviour of check-box and tree cells. The view fills the element with the
// cell (its rectangle placed at 0, 0: coordinates are relative to the cell's top-left corner)
// and hooks the two events before each call.
class TGxColumnPlay : public TColumnPlay, public TVirtualColElement {
public:
    using TVirtualColElement::TVirtualColElement;
    // True when the play acted on the key.
    virtual bool KeyPress(QChar key) {
        Q_UNUSED(key);
        return false;
    }
    virtual void MouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
    virtual void MouseLeave() {}
    virtual void MouseMove(TShiftState shift, int x, int y);
    // True when the play acted on the release.
    virtual bool MouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);
    // Takes the value the column's painter holds.
    virtual void Activate();
    // The value changed; the expanded state of the row should flip.
    std::function<void()> OnChange;
    std::function<void()> OnToggleExpand;
};

// Space, or a release inside the box, toggles the value (only under coEditing).
class TCheckBoxColumnPlay : public TGxColumnPlay {
public:
    using TGxColumnPlay::TGxColumnPlay;
    bool KeyPress(QChar key) override;
    void MouseDown(Qt::MouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool MouseUp(Qt::MouseButton button, TShiftState shift, int x, int y) override;
    QRect BoxRect() const;
};

// '+' and '-' (unless ExpandLock) and a click on the expand button flip the row's expanded
// state; it acts without coEditing.
class TTreeColumnPlay : public TGxColumnPlay {
public:
    using TGxColumnPlay::TGxColumnPlay;
    bool KeyPress(QChar key) override;
    bool MouseUp(Qt::MouseButton button, TShiftState shift, int x, int y) override;
    QRect ButtonRect() const { return TreeButtonRect(CellRect, Level); }
};

std::unique_ptr<TGxColumnPlay> CreateColumnPlay(TGxCustomColumn& column, TPlayClass cls, TGxGridView* window);

std::unique_ptr<TGxColumnDisplay> CreateColumnDisplay(TGxCustomColumn& column, TDisplayClass cls,
                                                      TGxGridView* window);
