// Header styles and cell painters of the table control.
#include "grid/widgets/GxDisplays.h"
#include "grid/GxConvert.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

// ---- image lists --------------------------------------------------------------------------

TGxImageList::TGxImageList(int width, int height, QObject* parent)
    : QObject(parent), FWidth(width), FHeight(height) {}

int TGxImageList::Add(const QImage& image) {
    FImages.append(image.size() == QSize(FWidth, FHeight)
                       ? image
                       : image.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return int(FImages.size()) - 1;
}

void TGxImageList::Draw(QPainter& canvas, int x, int y, int index) const {
    if (index >= 0 && index < FImages.size())
        DrawGraphic(canvas, x, y, FImages[index]);
}

const TGxImageList* TGxImageList::From(const TImageListRef& ref) {
    return qobject_cast<const TGxImageList*>(ref.List);
}

// ---- shared pieces ------------------------------------------------------------------------

void DrawArrowTriangle(QPainter& canvas, int x, int y, bool ascending, const QColor& outline,
                       const QColor& fill) {
    for (int k = 0; k < 5; ++k) {
        // Row k of the triangle, counted from its apex.
        const int row = ascending ? y + k : y + 4 - k;
        const int from = x + 4 - k;
        const int to = x + 4 + k;
        if (k == 4) { // the base
            canvas.fillRect(GxRect(from, row, to + 1, row + 1), outline);
            continue;
        }
        canvas.fillRect(QRect(from, row, 1, 1), outline);
        canvas.fillRect(QRect(to, row, 1, 1), outline);
        if (to - from > 1)
            canvas.fillRect(GxRect(from + 1, row, to, row + 1), fill);
    }
}

namespace {

TDrawTextFlags AlignFlag(TAlignment alignment) {
    if (alignment == taRightJustify)
        return DT_RIGHT;
    return alignment == taCenter ? DT_CENTER : DT_LEFT;
}

int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

void Invert(QPainter& canvas, const QRect& rect) {
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_NotDestination);
    canvas.fillRect(rect, Qt::black);
    canvas.restore();
}

// Edit-mask text: '0', '9', '#', 'L', 'l', 'A', 'a', 'C', 'c' take the next character of the
// text, '\' quotes the next mask character, ';' ends the mask; anything else is literal.
QString FormatMaskText(const QString& mask, const QString& text) {
    if (mask.isEmpty())
        return text;
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar m = mask[i];
        if (m == u';')
            break;
        if (m == u'\\' && i + 1 < mask.size()) {
            out += mask[++i];
            continue;
        }
        if (QStringLiteral("09#LlAaCc").contains(m)) {
            if (next < text.size())
                out += text[next++];
            continue;
        }
        out += m;
    }
    return out;
}

} // namespace

// ---- base style ---------------------------------------------------------------------------

TStyleDisplay::TStyleDisplay(TGxGridView* grid) : FGrid(grid) {}

void TStyleDisplay::Assign(const TStyleDisplay& source) {
    RightToLeft = source.RightToLeft;
    SortArrow = source.SortArrow;
    HeaderBackground = source.HeaderBackground;
    Themed = source.Themed;
}

QColor TStyleDisplay::Rgb(TColor color) const {
    return FGrid ? FGrid->Rgb(color) : ColorToQColor(color);
}

TGridFont TStyleDisplay::HeaderFont() const {
    return FGrid ? FGrid->Grid().Font() : TGridFont();
}

bool TStyleDisplay::IsPressed(const TGxCustomColumn& column) const {
    return FGrid && FGrid->PressedHeaderColumn() == column.Index();
}

bool TStyleDisplay::IsHot(const TGxCustomColumn& column) const {
    return FGrid && FGrid->HotHeaderColumn() == column.Index();
}

int TStyleDisplay::GetHeaderMargin(const TGxCustomColumn& column) const {
    if (!SortArrow || !HeaderBackground)
        return 0;
    return Themed && column.Header().DisplayMode() == dmTextOnly ? 11 : 2;
}

void TStyleDisplay::DrawSortArrow(QPainter& canvas, int x, int y, bool ascending) {
    if (Themed) {
        const QColor grey = Rgb(clGrayText);
        DrawArrowTriangle(canvas, x, y, ascending, grey, grey);
        return;
    }
    // Etched arrow, 8 pixels wide: shadowed left slope, lit right slope and base.
    const QColor shadow = Rgb(clBtnShadow);
    const QColor light = Rgb(clBtnHighlight);
    if (ascending) {
        GxLine(canvas, x + 3, y, x - 1, y + 4, shadow);
        GxLine(canvas, x + 4, y, x + 8, y + 4, light);
        GxLine(canvas, x, y + 4, x + 8, y + 4, light);
    } else {
        GxLine(canvas, x, y, x + 8, y, light);
        GxLine(canvas, x, y + 1, x + 4, y + 5, shadow);
        GxLine(canvas, x + 7, y + 1, x + 3, y + 5, light);
    }
}

TStyleDisplay::TContentLayout TStyleDisplay::Layout(const TGxCustomColumn& column, const QRect& rect,
                                                    const QString& caption, TAlignment alignment,
                                                    THeaderOrientation orientation, bool multiLine,
                                                    TDisplayMode mode, int glyphWidth) const {
    TContentLayout layout;
    const QFontMetrics& metrics = FGrid ? FGrid->Metrics(HeaderFont()) : QFontMetrics(QApplication::font());
    if (mode != dmImageOnly) {
        if (orientation == hoHorizontal)
            layout.Extent =
                (multiLine ? MultiLineTextWidth(metrics, caption) : TextWidthW(metrics, caption)) + 2;
        else
            layout.Extent = TextHeightW(metrics, caption) + 2;
    }
    const int left = rect.left();
    const int right = Right(rect);
    const int width = rect.width();
    const int sortedGap = column.Sorted() ? 31 : 0;
    if (glyphWidth <= 0 || mode == dmTextOnly) {
        if (alignment == taRightJustify)
            layout.TextStart = right - layout.Extent - sortedGap;
        else if (alignment == taCenter && layout.Extent < width)
            layout.TextStart = left + (width - layout.Extent) / 2;
        else
            layout.TextStart = left + 2;
    } else {
        if (alignment == taRightJustify)
            layout.GlyphX = right - glyphWidth - layout.Extent - 2 - sortedGap;
        else if (alignment == taCenter)
            layout.GlyphX = left + (width - glyphWidth - 2 - layout.Extent) / 2;
        else
            layout.GlyphX = left + 3;
        layout.TextStart = layout.GlyphX + glyphWidth + 2;
    }
    layout.ArrowX = layout.TextStart + layout.Extent + 19;
    layout.ArrowY = (rect.top() + Bottom(rect)) / 2 - 4;
    layout.ArrowShown = SortArrow && column.Sorted() && !(GetStyleFlags() & sfNoSortArrow) &&
                        (layout.ArrowX + 8 < right || !column.Header().HideArrow());
    return layout;
}

TStyleDisplay::TContentLayout TStyleDisplay::HeaderLayout(const TGxCustomColumn& column,
                                                          const QRect& rect) const {
    const TColumnHeader& header = column.Header();
    const QPixmap glyph = FGrid ? FGrid->HeaderGlyph(column.Index()) : QPixmap();
    return Layout(column, rect, header.Caption(), header.Alignment(), header.Orientation(),
                  header.MultiLine(), header.DisplayMode(), glyph.isNull() ? 0 : glyph.width());
}

void TStyleDisplay::InvertPressed(QPainter& canvas, const TGxCustomColumn& column, const QRect& rect) {
    if (!IsPressed(column) || !(GetStyleFlags() & sfInvertPressed))
        return;
    Invert(canvas, column.IsOnlyColumn() ? rect.adjusted(-1, -1, 0, 0) : rect.adjusted(0, 0, -1, 0));
}

void TStyleDisplay::DrawHeaderContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const TColumnHeader& header = column.Header();
    const QPixmap glyph = FGrid ? FGrid->HeaderGlyph(column.Index()) : QPixmap();
    const TContentLayout layout = HeaderLayout(column, rect);
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    if (layout.GlyphX >= 0 && !glyph.isNull())
        canvas.drawPixmap(layout.GlyphX, rect.top() + (rect.height() - glyph.height()) / 2, glyph);
    if (header.DisplayMode() != dmImageOnly) {
        QRect textRect = GxRect(layout.TextStart, rect.top(), Right(rect), Bottom(rect));
        AdjustHeaderTextRect(textRect);
        canvas.setFont(FGrid ? FGrid->ToFont(HeaderFont()) : QApplication::font());
        canvas.setPen(Rgb(HeaderFont().Color));
        if (header.Orientation() == hoHorizontal) {
            TDrawTextFlags flags = DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER;
            if (!header.MultiLine())
                flags |= DT_SINGLELINE;
            if (RightToLeft)
                flags |= DT_RTLREADING;
            GxDrawText(canvas, header.Caption(), textRect, flags);
        } else {
            DrawVerticalText(canvas, textRect, header.Caption());
        }
    }
    canvas.restore();
    if (layout.ArrowShown)
        DrawSortArrow(canvas, layout.ArrowX, layout.ArrowY, column.SortKind() == skAscending);
    InvertPressed(canvas, column, rect);
}

void TStyleDisplay::DrawFooterContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const TColumnFooter& footer = column.Footer();
    QString text = footer.Caption();
    if (footer.FormatMaskKind() == mkFloat) {
        const QLocale& locale = column.Locale();
        const auto value = TryTextToFloat(text, locale);
        text = FormatFloatMask(footer.FormatMask(), value.value_or(0.0), locale);
    } else {
        text = FormatMaskText(footer.FormatMask(), text);
    }
    text = footer.TextBefore() + text + footer.TextAfter();
    const TContentLayout layout =
        Layout(column, rect, text, footer.Alignment(), hoHorizontal, false, footer.DisplayMode(), 0);
    canvas.setFont(FGrid ? FGrid->ToFont(column.Font()) : QApplication::font());
    canvas.setPen(Rgb(column.Font().Color));
    QRect textRect = GxRect(layout.TextStart, rect.top(), Right(rect), Bottom(rect));
    GxDrawText(canvas, text, textRect,
               DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE |
                   (RightToLeft ? TDrawTextFlags(DT_RTLREADING) : 0u));
}

void TStyleDisplay::DrawCornerCell(QPainter& canvas, const QRect& rect) {
    canvas.fillRect(rect, Rgb(FGrid ? FGrid->Grid().Color() : clWindow));
}

void TStyleDisplay::DrawFooterCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect,
                                   bool raised) {
    const QRect fill = raised ? rect.adjusted(0, 0, -1, -1) : rect;
    canvas.fillRect(fill, Rgb(column.Footer().Color()));
    if (raised) {
        const QColor face = Rgb(clBtnFace);
        GxLine(canvas, rect.left(), Bottom(rect) - 1, Right(rect), Bottom(rect) - 1, face);
        GxLine(canvas, Right(rect) - 1, rect.top(), Right(rect) - 1, Bottom(rect), face);
    }
    canvas.save();
    canvas.setClipRect(fill, Qt::IntersectClip);
    DrawFooterContent(canvas, column, fill);
    canvas.restore();
}

void TStyleDisplay::DrawHeaderCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    if (HeaderBackground)
        DrawHeaderBackground(canvas, column, rect);
    DrawHeaderContent(canvas, column, rect);
}

void TStyleDisplay::DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    Q_UNUSED(canvas);
    Q_UNUSED(column);
    Q_UNUSED(rect);
}

void TStyleDisplay::DrawIndicatorCell(QPainter& canvas, const QRect& rect, int level) {
    Q_UNUSED(level);
    const int l = rect.left();
    const int t = rect.top();
    const int r = Right(rect);
    const int b = Bottom(rect);
    canvas.fillRect(rect, Rgb(clBtnFace));
    const QColor light = Rgb(clBtnHighlight);
    const QColor shadow = Rgb(clBtnShadow);
    // Edges with their corner pixels left out.
    GxLine(canvas, l + 1, t, r - 1, t, light);
    GxLine(canvas, l, t + 1, l, b - 1, light);
    GxLine(canvas, l + 1, b - 1, r - 1, b - 1, shadow);
    GxLine(canvas, r - 1, t + 1, r - 1, b - 1, shadow);
}

void TStyleDisplay::DrawIndicatorMark(QPainter& canvas, const QRect& rect, bool current, bool selected) {
    if (selected)
        Invert(canvas, rect);
    if (!current)
        return;
    const QPoint p = PlaceBox(6, 11, taVerticalCenter, taCenter, rect, 0);
    const QColor ink = Rgb(clWindowText);
    for (int k = 0; k <= 10; ++k) {
        const int width = k <= 5 ? k + 1 : 11 - k;
        canvas.fillRect(QRect(p.x(), p.y() + k, width, 1), ink);
    }
}

void TStyleDisplay::DrawInputCell(QPainter& canvas, TGxCustomColumn& column, const QRect& rect, bool focused,
                                  bool current, bool raised) {
    Q_UNUSED(raised);
    const bool editing = FGrid && FGrid->EditingInputColumn() == column.Index();
    TColor text = clHighlightText;
    TColor back = clBtnFace;
    if (!focused || editing) {
        text = clGrayText;
        back = column.Color();
    } else if (current) {
        back = clHighlight;
    } else if (column.IsCurrentColumn()) {
        text = clGrayText;
        back = column.Color();
    }
    if (editing) {
        canvas.fillRect(rect, Rgb(column.Color()));
        Draw3DFrame(canvas, rect, Rgb(clBtnShadow), Rgb(clBtnShadow));
    } else {
        canvas.fillRect(rect, Rgb(back));
    }
    if (focused && current && !editing) {
        const QColor line = Rgb(clHighlight);
        GxLine(canvas, rect.left(), Bottom(rect) - 1, Right(rect), Bottom(rect) - 1, line);
        GxLine(canvas, Right(rect) - 1, rect.top(), Right(rect) - 1, Bottom(rect), line);
    }
    QString value;
    column.GetInputValue(value);
    TAlignment alignment = column.Alignment();
    if (column.InputValue().isEmpty()) {
        value = column.InputCaption();
        alignment = taCenter;
    }
    canvas.setFont(FGrid ? FGrid->ToFont(column.Font()) : QApplication::font());
    canvas.setPen(Rgb(text));
    QRect textRect = rect.adjusted(2, 0, -1, -1);
    GxDrawText(canvas, value, textRect,
               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | AlignFlag(alignment));
}

void TStyleDisplay::DrawEmptyHeaderArea(QPainter& canvas, const QRect& rect) {
    canvas.fillRect(rect, Rgb(FGrid ? FGrid->Grid().Color() : clWindow));
}

void TStyleDisplay::DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    Q_UNUSED(canvas);
    Q_UNUSED(column);
    Q_UNUSED(rect);
}

// ---- default style ------------------------------------------------------------------------

void TDefaultStyleDisplay::DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column,
                                                const QRect& rect) {
    if (Themed) {
        const int state = IsPressed(column) ? 3 : IsHot(column) ? 2 : 1;
        DrawThemePart(Grid(), canvas, rect, HP_HEADERITEM, state, TThemeClass::Header);
        return;
    }
    DrawAutoHeaderPart(canvas, column, rect);
}

void TDefaultStyleDisplay::DrawAutoHeaderPart(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const QColor face = Rgb(column.Header().Color());
    const QColor light = Rgb(clBtnHighlight);
    const QColor shadow = Rgb(clBtnShadow);
    const int l = rect.left();
    const int t = rect.top();
    const int r = Right(rect);
    const int b = Bottom(rect);
    canvas.fillRect(rect.adjusted(1, 1, -1, -1), face);
    if (column.IsOnlyColumn()) {
        Draw3DFrame(canvas, rect, light, shadow);
        return;
    }
    // Neighbouring headers read as one bar: the inner edges stop short of the ends.
    const int segment = column.HeaderSegment();
    GxLine(canvas, l, t, r, t, light);
    if (segment == 1) {
        GxLine(canvas, l, t + 1, l, b - 1, light);
    } else {
        canvas.fillRect(QRect(l, t + 1, 1, 1), face);
        GxLine(canvas, l, t + 2, l, b - 2, light);
        canvas.fillRect(QRect(l, b - 2, 1, 1), face);
    }
    GxLine(canvas, l, b - 1, r, b - 1, shadow);
    if (segment == 3) {
        GxLine(canvas, r - 1, t, r - 1, b, shadow);
    } else {
        canvas.fillRect(QRect(r - 1, t + 1, 1, 1), face);
        GxLine(canvas, r - 1, t + 2, r - 1, b - 2, shadow);
        canvas.fillRect(QRect(r - 1, b - 2, 1, 1), face);
    }
}

void TDefaultStyleDisplay::DrawCornerCell(QPainter& canvas, const QRect& rect) {
    if (Themed)
        DrawThemePart(Grid(), canvas, rect, HP_HEADERITEM, 1, TThemeClass::Header);
    else
        DrawButtonFrame(canvas, rect, false, Grid() ? Grid()->palette() : QApplication::palette());
}

void TDefaultStyleDisplay::DrawEmptyHeaderArea(QPainter& canvas, const QRect& rect) {
    if (Themed)
        DrawThemePart(Grid(), canvas, rect, HP_HEADEREMPTY, 1, TThemeClass::Header);
    else
        TStyleDisplay::DrawEmptyHeaderArea(canvas, rect);
}

// ---- flat, old style, Outlook, Vista ------------------------------------------------------

void TFlatStyleDisplay::DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    Q_UNUSED(column);
    canvas.fillRect(rect, Rgb(clBtnFace));
    const QColor line = Rgb(clGrayText);
    GxLine(canvas, rect.left(), Bottom(rect) - 1, Right(rect), Bottom(rect) - 1, line);
    GxLine(canvas, Right(rect) - 1, rect.top(), Right(rect) - 1, Bottom(rect), line);
}

void TOldStyleDisplay::DrawHeaderBackground(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    Q_UNUSED(column);
    canvas.fillRect(rect, Rgb(clBtnFace));
    Draw3DFrame(canvas, rect, Rgb(clBtnHighlight), Rgb(cl3DDkShadow));
}

void TOutlookStyleDisplay::DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const TColor face = column.Header().Color();
    canvas.fillRect(rect, Rgb(clBtnFace));
    // Three shaded lines at the bottom, lightening upwards.
    const int alphas[3] = {50, 100, 150};
    for (int i = 0; i < 3; ++i) {
        const int y = Bottom(rect) - 1 - i;
        GxLine(canvas, rect.left(), y, Right(rect), y, Rgb(Blend(face, clBtnShadow, alphas[i])));
    }
    GxLine(canvas, Right(rect) - 1, rect.top() + 2, Right(rect) - 1, Bottom(rect) - 3, Rgb(clBtnShadow));
}

void TVistaStyleDisplay::DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const int half = rect.height() / 2;
    const TColor bottom = IsHot(column) || IsPressed(column) ? Blend(clWhite, clHighlight, 200)
                                                             : Blend(clWhite, clBtnFace, 128);
    canvas.fillRect(QRect(rect.left(), rect.top(), rect.width(), half), Qt::white);
    VerticalGradient(canvas, QRect(rect.left(), rect.top() + half, rect.width(), rect.height() - half),
                     clWhite, bottom);
    GxLine(canvas, Right(rect) - 1, rect.top(), Right(rect) - 1, Bottom(rect), Rgb(clBtnFace));
}

void TVistaStyleDisplay::DrawHeaderContent(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    // The arrow sits at the top centre of the header, above the caption.
    const bool arrow = SortArrow;
    SortArrow = false;
    TStyleDisplay::DrawHeaderContent(canvas, column, rect);
    SortArrow = arrow;
    if (SortArrow && column.Sorted())
        DrawSortArrow(canvas, rect.left() + (rect.width() - 9) / 2, rect.top(),
                      column.SortKind() == skAscending);
}

// ---- gradient styles ----------------------------------------------------------------------

TOfficeStyleDisplay::TOfficeStyleDisplay(TGxGridView* grid, int topSlot, int bottomSlot)
    : TStyleDisplay(grid), FTopSlot(topSlot), FBottomSlot(bottomSlot) {}

TColor TOfficeStyleDisplay::TopColor() const {
    return FTopSlot == 0 ? clWhite : StyleColor(FTopSlot);
}

TColor TOfficeStyleDisplay::BottomColor() const {
    return StyleColor(FBottomSlot);
}

void TOfficeStyleDisplay::DrawStyledHeader(QPainter& canvas, TGxCustomColumn& column, const QRect& rect) {
    const bool pressed = IsPressed(column);
    VerticalGradient(canvas, rect, pressed ? BottomColor() : TopColor(),
                     pressed ? TopColor() : BottomColor());
    const int x = Right(rect) - 1;
    const int segment = column.HeaderSegment();
    const QColor border = Rgb(StyleColor(2));
    if (segment == 0 || segment == 3)
        GxLine(canvas, x, rect.top(), x, Bottom(rect), border);
    else
        GxLine(canvas, x, rect.top() + 2, x, Bottom(rect) - 3, Rgb(StyleColor(10)));
    GxLine(canvas, rect.left(), Bottom(rect) - 1, Right(rect), Bottom(rect) - 1, border);
}

void TOfficeStyleDisplay::DrawCornerCell(QPainter& canvas, const QRect& rect) {
    VerticalGradient(canvas, rect, TopColor(), BottomColor());
    const QColor border = Rgb(StyleColor(2));
    GxLine(canvas, Right(rect) - 1, rect.top(), Right(rect) - 1, Bottom(rect), border);
    GxLine(canvas, rect.left(), Bottom(rect) - 1, Right(rect), Bottom(rect) - 1, border);
}

void TOfficeStyleDisplay::DrawIndicatorCell(QPainter& canvas, const QRect& rect, int level) {
    Q_UNUSED(level);
    DrawCornerCell(canvas, rect);
}

void TOfficeStyleDisplay::DrawBandBackground(QPainter& canvas, const QRect& rect) {
    canvas.fillRect(rect, Rgb(StyleColor(11)));
}

TOffice2007StyleDisplay::TOffice2007StyleDisplay(TGxGridView* grid) : TOfficeStyleDisplay(grid, 0, 11) {}

TOffice2010StyleDisplay::TOffice2010StyleDisplay(TGxGridView* grid) : TOfficeStyleDisplay(grid, 6, 7) {}

void TOffice2010StyleDisplay::DrawSortArrow(QPainter& canvas, int x, int y, bool ascending) {
    DrawArrowTriangle(canvas, x, y, ascending, Qt::black, Rgb(0x00B5ACA5));
}

// ---- cell painters ------------------------------------------------------------------------

QFont TGxColumnDisplay::CellFont() const {
    return Window ? Window->ToFont(Column().Font(), FontStyle) : QApplication::font();
}

int TGxColumnDisplay::TextWidth(const QString& text) const {
    if (!Window)
        return QFontMetrics(QApplication::font()).horizontalAdvance(text);
    return TextWidthW(Window->Metrics(Column().Font(), FontStyle), text);
}

QRect TGxColumnDisplay::GetTextRect() const {
    return CellRect.adjusted(2, 0, -2, 0);
}

QString TGxColumnDisplay::DisplayText() const {
    QString text;
    Column().GetDisplayText(Value, text);
    return text;
}

TDrawTextFlags TGxColumnDisplay::TextFlags(bool painting) const {
    const TGxCustomColumn& column = Column();
    TDrawTextFlags flags = DT_NOPREFIX | AlignFlag(column.Alignment());
    if (column.BiDiMode() != bdLeftToRight)
        flags |= DT_RTLREADING;
    if (column.VerticalAlignment() == taAlignBottom)
        flags |= DT_BOTTOM;
    else if (column.VerticalAlignment() == taVerticalCenter)
        flags |= DT_VCENTER;
    if (painting && column.WrapKind() == wkEllipsis)
        flags |= DT_END_ELLIPSIS;
    if (painting && column.WrapKind() == wkPathEllipsis)
        flags |= DT_PATH_ELLIPSIS;
    if (column.WrapKind() == wkWordWrap)
        flags |= DT_WORDBREAK;
    if (column.WrapKind() != wkWordWrap && !column.GetMultiLine())
        flags |= DT_SINGLELINE;
    return flags;
}

void TGxColumnDisplay::DrawText(QPainter& canvas, const QString& text, const QRect& rect) {
    const TDrawTextFlags flags = TextFlags(true);
    if (flags & DT_SINGLELINE) {
        QRect r = rect;
        GxDrawText(canvas, text, r, flags);
        return;
    }
    DrawLinesAligned(canvas, text, rect, flags, Column().VerticalAlignment());
}

void TGxColumnDisplay::DrawHintMark(QPainter& canvas) {
    const int right = CellRect.left() + CellRect.width();
    const int top = CellRect.top();
    const QColor red(255, 0, 0);
    for (int k = 0; k <= 4; ++k)
        canvas.fillRect(GxRect(right - 5 + k, top + k, right, top + k + 1), red);
}

QSize TGxColumnDisplay::MeasureText() const {
    const QString text = DisplayText();
    if (!Window)
        return QSize(TextWidth(text), QFontMetrics(QApplication::font()).height());
    const QFontMetrics& metrics = Window->Metrics(Column().Font(), FontStyle);
    const TDrawTextFlags flags = TextFlags(false);
    if (flags & DT_SINGLELINE)
        return QSize(TextWidthW(metrics, text), metrics.height());
    const int wrap = (flags & DT_WORDBREAK) ? std::max(GetTextRect().width(), 1) : (1 << 20);
    const QRect r = metrics.boundingRect(
        QRect(0, 0, wrap, 1 << 20), MapDrawTextFlags(flags & ~TDrawTextFlags(DT_VCENTER | DT_BOTTOM)), text);
    return QSize(r.width(), std::max(r.height(), metrics.height()));
}

int TGxColumnDisplay::GetContentWidth() const {
    return MeasureText().width();
}

void TTextColumnDisplay::Paint(QPainter& canvas) {
    DrawText(canvas, DisplayText(), GetTextRect());
}

// ---- check box ----------------------------------------------------------------------------

QRect CheckBoxRect(const TGxCustomColumn& column, const QRect& cell, bool themed) {
    const int size = themed ? 13 : 11;
    const QPoint p = PlaceBox(size, size, column.VerticalAlignment(), column.Alignment(), cell, 2);
    return QRect(p, QSize(size, size));
}

QRect TreeButtonRect(const QRect& cell, int level) {
    const int middle = cell.top() + cell.height() / 2;
    return QRect(cell.left() + level * 19 + 2, middle - 5, 9, 9);
}

QRect TCheckBoxColumnDisplay::BoxRect() const {
    return CheckBoxRect(Column(), CellRect, Window && Window->Themed());
}

int TCheckBoxColumnDisplay::GetContentWidth() const {
    return Window && Window->Themed() ? 13 : 11;
}

void TCheckBoxColumnDisplay::Paint(QPainter& canvas) {
    const bool checked = Column().CellKind() == ckInteger ? Value.AsInteger != 0 : Value.AsBoolean;
    PaintCheckBox(canvas, BoxRect(), checked, Pressed, Hot);
}

void TCheckBoxColumnDisplay::PaintCheckBox(QPainter& canvas, const QRect& rect, bool checked, bool pressed,
                                           bool hot) {
    if (Window && Window->Themed()) {
        const int state = (checked ? 5 : 1) + (pressed ? 2 : hot ? 1 : 0);
        DrawThemePart(Window, canvas, rect, BP_CHECKBOX, state, TThemeClass::Button);
        return;
    }
    const QPalette palette = Window ? Window->palette() : QApplication::palette();
    canvas.fillRect(rect, ColorToQColor(pressed ? clBtnFace : clWindow, palette));
    const QColor frame = ColorToQColor(clBtnShadow, palette);
    Draw3DFrame(canvas, rect, frame, frame);
    if (!checked)
        return;
    const QColor ink = ColorToQColor(clWindowText, palette);
    const int x = rect.left();
    const int y = rect.top();
    for (int k = 0; k < 3; ++k) {
        const QPoint tick[3] = {QPoint(x + 2, y + 4 + k), QPoint(x + 4, y + 6 + k), QPoint(x + 9, y + 1 + k)};
        GxPolyline(canvas, tick, 3, ink);
    }
}

// ---- image --------------------------------------------------------------------------------

void TImageColumnDisplay::Paint(QPainter& canvas) {
    const auto* images = TGxImageList::From(static_cast<const TGxImageColumn&>(Column()).Images());
    const int index = Value.AsInteger;
    if (!images || index < 0 || index >= images->Count())
        return;
    const QPoint p = PlaceBox(images->Width(), images->Height(), Column().VerticalAlignment(),
                              Column().Alignment(), CellRect, 2);
    images->Draw(canvas, p.x(), p.y(), index);
}

int TImageColumnDisplay::GetContentWidth() const {
    const auto* images = TGxImageList::From(static_cast<const TGxImageColumn&>(Column()).Images());
    return images ? images->Width() : 0;
}

// ---- strings and list ---------------------------------------------------------------------

int TStringsColumnDisplay::ItemImageIndex() const {
    const auto& column = static_cast<const TGxStringsColumn&>(Column());
    if (column.CellKind() == ckInteger)
        return Value.AsInteger;
    return int(column.Items().indexOf(Value.AsString));
}

void TStringsColumnDisplay::Paint(QPainter& canvas) {
    const auto& column = static_cast<const TGxStringsColumn&>(Column());
    const auto* images = TGxImageList::From(column.Images());
    const bool showImages = images && column.DisplayMode() != dmTextOnly;
    if (column.DisplayMode() != dmImageOnly) {
        QRect r = GetTextRect();
        if (showImages)
            r.setLeft(r.left() + images->Width() + 4);
        DrawText(canvas, DisplayText(), r);
    }
    if (showImages) {
        const int index = ItemImageIndex();
        if (index >= 0 && index < images->Count())
            images->Draw(canvas, CellRect.left() + 2,
                         CellRect.top() + (CellRect.height() - images->Height()) / 2, index);
    }
}

int TStringsColumnDisplay::GetContentWidth() const {
    const auto& column = static_cast<const TGxStringsColumn&>(Column());
    const auto* images = TGxImageList::From(column.Images());
    const int imageWidth = images ? images->Width() : 0;
    switch (column.DisplayMode()) {
    case dmImageOnly:
        return imageWidth;
    case dmTextAndImage:
        return MeasureText().width() + imageWidth + 4;
    default:
        return MeasureText().width();
    }
}

// ---- tree ---------------------------------------------------------------------------------

QRect TTreeColumnDisplay::ButtonRect() const {
    return TreeButtonRect(CellRect, Level);
}

void TTreeColumnDisplay::Paint(QPainter& canvas) {
    const auto& column = static_cast<const TGxTreeColumn&>(Column());
    const auto* images = TGxImageList::From(column.Images());
    const int indent = CellRect.left() + Level * 19 + 16;
    const QPalette palette = Window ? Window->palette() : QApplication::palette();
    if (column.ShowLines()) {
        // A dotted elbow from the button column to the text.
        const int middle = CellRect.top() + CellRect.height() / 2;
        const int x = CellRect.left() + Level * 19 + 6;
        const QColor line = ColorToQColor(clGrayText, palette);
        for (int y = CellRect.top(); y < middle; y += 2)
            canvas.fillRect(QRect(x, y, 1, 1), line);
        for (int px = x; px < indent - 2; px += 2)
            canvas.fillRect(QRect(px, middle, 1, 1), line);
    }
    int textLeft = indent;
    if (images && ImageIndex >= 0) {
        images->Draw(canvas, indent, CellRect.top() + (CellRect.height() - images->Height()) / 2, ImageIndex);
        textLeft += images->Width();
    }
    if (HasChildren && column.ShowButtons()) {
        const QRect button = ButtonRect();
        if (Window && Window->Themed()) {
            DrawThemePart(Window, canvas, button, TVP_GLYPH, Expanded ? 2 : 1, TThemeClass::TreeView);
        } else {
            const QColor ink =
                ColorToQColor(Hot && column.HighlightButton() ? clHighlightText : clGrayText, palette);
            Draw3DFrame(canvas, button, ink, ink);
            const int cx = button.left() + 4;
            const int cy = button.top() + 4;
            GxLine(canvas, cx - 2, cy, cx + 3, cy, ink);
            if (!Expanded)
                GxLine(canvas, cx, cy - 2, cx, cy + 3, ink);
        }
    }
    QRect r = GetTextRect();
    r.setLeft(std::max(r.left(), textLeft));
    DrawText(canvas, DisplayText(), r);
}

int TTreeColumnDisplay::GetContentWidth() const {
    const auto* images = TGxImageList::From(static_cast<const TGxTreeColumn&>(Column()).Images());
    return MeasureText().width() + Level * 19 + 16 + (images ? images->Width() : 0);
}

// ---- cell mouse handlers ------------------------------------------------------------------

void TGxColumnPlay::MouseDown(Qt::MouseButton button, TShiftState shift, int x, int y) {
    Q_UNUSED(button);
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
}

void TGxColumnPlay::MouseMove(TShiftState shift, int x, int y) {
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
}

bool TGxColumnPlay::MouseUp(Qt::MouseButton button, TShiftState shift, int x, int y) {
    Q_UNUSED(button);
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    return false;
}

void TGxColumnPlay::Activate() {
    if (!Window)
        return;
    if (TGxColumnDisplay* display = Window->DisplayOf(Column()))
        Value = display->Value;
}

QRect TCheckBoxColumnPlay::BoxRect() const {
    return CheckBoxRect(Column(), CellRect, Window && Window->Themed());
}

bool TCheckBoxColumnPlay::KeyPress(QChar key) {
    if (key != u' ' || !Column().HasOption(coEditing))
        return false;
    if (OnChange)
        OnChange();
    return true;
}

void TCheckBoxColumnPlay::MouseDown(Qt::MouseButton button, TShiftState, int x, int y) {
    Pressed = button == Qt::LeftButton && BoxRect().contains(x, y);
    Hot = BoxRect().contains(x, y);
}

void TCheckBoxColumnPlay::MouseLeave() {
    Hot = false;
}

void TCheckBoxColumnPlay::MouseMove(TShiftState, int x, int y) {
    Hot = BoxRect().contains(x, y);
}

bool TCheckBoxColumnPlay::MouseUp(Qt::MouseButton button, TShiftState, int x, int y) {
    const bool wasPressed = Pressed;
    Pressed = false;
    if (button != Qt::LeftButton || !wasPressed || !BoxRect().contains(x, y) ||
        !Column().HasOption(coEditing))
        return false;
    if (OnChange)
        OnChange();
    return true;
}

bool TTreeColumnPlay::KeyPress(QChar key) {
    const auto& column = static_cast<const TGxTreeColumn&>(Column());
    if ((key != u'+' && key != u'-') || column.ExpandLock() || !HasChildren)
        return false;
    if ((key == u'+') == Expanded)
        return true; // already in that state
    if (OnToggleExpand)
        OnToggleExpand();
    return true;
}

bool TTreeColumnPlay::MouseUp(Qt::MouseButton button, TShiftState, int x, int y) {
    const auto& column = static_cast<const TGxTreeColumn&>(Column());
    if (button != Qt::LeftButton || !HasChildren || !column.ShowButtons() || !ButtonRect().contains(x, y))
        return false;
    if (OnToggleExpand)
        OnToggleExpand();
    return true;
}

std::unique_ptr<TGxColumnPlay> CreateColumnPlay(TGxCustomColumn& column, TPlayClass cls,
                                                TGxGridView* window) {
    switch (cls) {
    case TPlayClass::TCheckBoxColumnPlay:
        return std::make_unique<TCheckBoxColumnPlay>(column, window);
    case TPlayClass::TTreeColumnPlay:
        if (dynamic_cast<TGxTreeColumn*>(&column))
            return std::make_unique<TTreeColumnPlay>(column, window);
        return nullptr;
    default:
        return nullptr;
    }
}

std::unique_ptr<TGxColumnDisplay> CreateColumnDisplay(TGxCustomColumn& column, TDisplayClass cls,
                                                      TGxGridView* window) {
    switch (cls) {
    case TDisplayClass::TCheckBoxColumnDisplay:
        return std::make_unique<TCheckBoxColumnDisplay>(column, window);
    case TDisplayClass::TNumberColumnDisplay:
        return std::make_unique<TNumberColumnDisplay>(column, window);
    case TDisplayClass::TIncrementColumnDisplay:
        return std::make_unique<TIncrementColumnDisplay>(column, window);
    case TDisplayClass::TImageColumnDisplay:
        if (!dynamic_cast<TGxImageColumn*>(&column))
            return std::make_unique<TTextColumnDisplay>(column, window);
        return std::make_unique<TImageColumnDisplay>(column, window);
    case TDisplayClass::TStringsColumnDisplay:
        if (!dynamic_cast<TGxStringsColumn*>(&column))
            return std::make_unique<TTextColumnDisplay>(column, window);
        return std::make_unique<TStringsColumnDisplay>(column, window);
    case TDisplayClass::TDateColumnDisplay:
        return std::make_unique<TDateColumnDisplay>(column, window);
    case TDisplayClass::TTreeColumnDisplay:
        if (!dynamic_cast<TGxTreeColumn*>(&column))
            return std::make_unique<TTextColumnDisplay>(column, window);
        return std::make_unique<TTreeColumnDisplay>(column, window);
    default:
        return std::make_unique<TTextColumnDisplay>(column, window);
    }
}
