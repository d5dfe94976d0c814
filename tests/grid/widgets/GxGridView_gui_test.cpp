// The grid view: area and row geometry for every band combination, scroll ranges, the paint
// order's colours and lines in the classic drawing, selection and focus, check boxes, the
// Caption of an empty grid, the Office 2010 header, header content layout and sort arrows,
// themed drawing through the style, painting cost at 100,000 rows, repaints of named areas
// only, best fit and row heights.
#include "widget_helpers.h"

#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QThread>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <set>

using namespace widgettest;

namespace {

QRgb Palette(const TGxGridView& view, TColor color) {
    return view.Rgb(color).rgb() & 0xFFFFFF;
}

int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

void Unfocus(TGxGridView& view) {
    view.clearFocus();
    QApplication::processEvents();
}

bool Focus(TGxGridView& view) {
    view.activateWindow();
    view.setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    return view.GridFocused();
}

// Runs the event loop until pending repaints are done.
void Settle(TGxGridView& view) {
    view.FlushPendingUpdates();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

// Records the regions the viewport is asked to paint.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* target) { target->installEventFilter(this); }
    QList<QRegion> Regions;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Regions.append(static_cast<QPaintEvent*>(event)->region());
        return QObject::eventFilter(object, event);
    }
};

// Leftmost and rightmost columns holding a pixel other than the background in a rectangle.
std::pair<int, int> InkSpan(const QImage& image, const QRect& rect, QRgb background) {
    int first = -1;
    int last = -1;
    for (int x = rect.left(); x < Right(rect); ++x)
        for (int y = rect.top(); y < Bottom(rect); ++y)
            if (At(image, x, y) != background) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

// ---- geometry ---------------------------------------------------------------------------

TEST(GridViewGeometry, AreasRowsAndCellsForEveryBandCombination) {
    for (int bits = 0; bits < 64; ++bits) {
        auto grid = MakeGrid(10);
        TGridOptions options = 0;
        if (bits & 1)
            options |= goHeader;
        if (bits & 2)
            options |= goInput;
        if (bits & 4)
            options |= goFooter;
        if (bits & 8)
            options |= goIndicator;
        if (bits & 16)
            options |= goGrid;
        grid->SetOptions(options);
        if (bits & 32)
            grid->SetAppearanceOptions(ao3DGridLines);
        grid->SetRowVisible(3, false);
        grid->SetRowHeight(5, 30);
        auto view = MakeView(*grid, 420, 300);
        SCOPED_TRACE(bits);
        const int cw = view->viewport()->width();
        const int ch = view->viewport()->height();
        const int H = (bits & 16) ? 1 : 0;
        const int T = (bits & 16) && (bits & 32) ? 1 : 0;
        const int P = T + H;
        const int left0 = (bits & 8) ? 12 : 0;
        const int W = 320;
        EXPECT_EQ(view->HeaderRect(), (bits & 1) ? GxRect(left0, 0, left0 + W, 18) : QRect());
        const int inputTop = (bits & 1) ? 18 : 0;
        EXPECT_EQ(view->InputRect(),
                  (bits & 2) ? GxRect(left0, inputTop, left0 + W, inputTop + 22 + H) : QRect());
        const int bodyTop = inputTop + ((bits & 2) ? 22 + H : 0);
        const int bodyBottom = (bits & 4) ? ch - 22 - H : ch;
        EXPECT_EQ(view->BodyRect(), GxRect(left0, bodyTop, std::min(left0 + W, cw), bodyBottom));
        EXPECT_EQ(view->FooterRect(), (bits & 4) ? GxRect(left0, ch - 22 - H, left0 + W, ch) : QRect());
        EXPECT_EQ(view->IndicatorRect(), (bits & 8) ? GxRect(0, 0, 12, ch) : QRect());
        int top = bodyTop + T;
        for (int row = 0; row < 10; ++row) {
            if (row == 3)
                continue; // hidden
            EXPECT_EQ(view->RowTop(row), top) << row;
            const int height = row == 5 ? 30 : 16;
            EXPECT_EQ(view->CellRect(2, row), GxRect(left0 + 160, top, left0 + 240, top + height)) << row;
            EXPECT_EQ(view->RowRect(row), GxRect(0, top, std::min(left0 + W, cw), top + height + H));
            top += height + P;
        }
        EXPECT_EQ(view->RowTop(12), top + 2 * (16 + P)); // past the last row: RowSize
        if (bits & 1) {
            EXPECT_EQ(view->HeaderCellRect(*grid->Columns().GetColumn(1)),
                      GxRect(left0 + 80, 0, left0 + 160, 18));
        }
        if (bits & 4) {
            EXPECT_EQ(view->FooterCellRect(*grid->Columns().GetColumn(0)),
                      GxRect(left0, ch - 18 - H, left0 + 80, ch));
        }
    }
}

TEST(GridViewGeometry, VerticalRangeAndPage) {
    auto grid = MakeGrid(1);
    auto view = MakeView(*grid, 400, 200);
    EXPECT_EQ(view->VertScrollBar().Max(), 0); // exactly one row
    EXPECT_FALSE(view->VertScrollBar().Visible());
    grid->AddRow(5); // all fit
    EXPECT_EQ(view->VertScrollBar().Max(), 0);
    grid->AddRow(94);
    const int body = view->BodyRect().height();
    EXPECT_EQ(view->VertScrollBar().Max(), 100);
    EXPECT_EQ(view->VertScrollBar().PageSize(), body / 16 + 1);
    EXPECT_EQ(view->VertScrollBar().LargeChange(), body / 16 + 1);
    EXPECT_TRUE(view->VertScrollBar().Visible());
    grid->SetRowVisible(0, false);
    EXPECT_EQ(view->VertScrollBar().Max(), 99); // visible rows only
    view->HandleScroll(sbVertical, scBottom);
    const int fit = view->FittingRows();
    EXPECT_EQ(view->VertScrollBar().Position(), 99 - fit);
    EXPECT_EQ(grid->FirstRow(), 100 - fit); // the hidden row 0 does not count
    view->HandleScroll(sbVertical, scLineUp);
    EXPECT_EQ(grid->FirstRow(), 99 - fit);
    view->HandleScroll(sbVertical, scTop);
    EXPECT_EQ(grid->FirstRow(), 1);
    // Horizontal: range W (+12 with the indicator), page client width + 1.
    grid->SetOptions(goHeader | goIndicator);
    view->resize(200, 200);
    QApplication::processEvents();
    view->UpdateScrollBars();
    EXPECT_EQ(view->HorzScrollBar().Max(), 332);
    EXPECT_EQ(view->HorzScrollBar().PageSize(), view->viewport()->width() + 1);
    EXPECT_EQ(view->HorzScrollBar().LargeChange(), view->viewport()->width() - 9);
    EXPECT_TRUE(view->HorzScrollBar().Visible());
    view->HandleScroll(sbHorizontal, scBottom);
    EXPECT_EQ(grid->HorzScrollPos(), 332 - view->viewport()->width());
    EXPECT_EQ(view->CellRect(0, 1).left(), 12 - grid->HorzScrollPos());
}

TEST(GridViewGeometry, SlidesAreCardsWithCellsAtTheirBounds) {
    auto grid = MakeGrid(5);
    grid->SetGridStyle(gsSlides);
    grid->Columns().GetColumn(1)->SlideBounds().SetLeft(100);
    auto view = MakeView(*grid, 400, 300);
    const int cw = view->viewport()->width();
    EXPECT_EQ(view->BodyRect(), GxRect(0, 18, cw, view->viewport()->height()));
    EXPECT_EQ(view->SlideRect(0), GxRect(0, 18, cw, 98));
    EXPECT_EQ(view->SlideRect(2), GxRect(0, 178, cw, 258));
    EXPECT_EQ(view->SlideCellRect(1, 1), QRect(100, 98 + 8, 80, 16));
    EXPECT_EQ(view->HorzScrollBar().Max(), 0);
    int slides = 0;
    grid->OnSlideColoring = [&](QObject*, int, TColor& color, TColor&, TCellState) {
        ++slides;
        color = 255;
    };
    const QImage image = Grab(*view);
    EXPECT_EQ(slides, 4); // three whole cards and a part of the fourth
    EXPECT_EQ(At(image, 300, 30), Rgb(255, 0, 0));
}

// ---- classic painting -------------------------------------------------------------------

TEST(GridViewClassic, CellColoursArePaintedAsRgb) {
    ClassicDrawing classic;
    auto grid = MakeGrid(5);
    const TColor colours[4] = {255, 65535, 65280, 0x00F5FCFE};
    for (int r = 0; r < 4; ++r)
        grid->Cell(3, r).SetCellColor(colours[r]);
    auto view = MakeView(*grid);
    const QImage image = Grab(*view);
    const QRgb expected[4] = {Rgb(255, 0, 0), Rgb(255, 255, 0), Rgb(0, 255, 0), Rgb(254, 252, 245)};
    for (int r = 0; r < 4; ++r) {
        const QRect cell = view->CellRect(3, r);
        EXPECT_EQ(At(image, Right(cell) - 4, cell.top() + 1), expected[r]) << r;
        EXPECT_EQ(At(image, Right(cell) - 4, Bottom(cell) - 1), expected[r]) << r;
    }
    EXPECT_EQ(At(image, Right(view->CellRect(3, 4)) - 4, view->CellRect(3, 4).top() + 1),
              Palette(*view, clWindow));
}

TEST(GridViewClassic, GridLineStyles) {
    ClassicDrawing classic;
    auto grid = MakeGrid(3);
    grid->SetOptions(goHeader | goGrid);
    auto view = MakeView(*grid);
    const QRgb line = Palette(*view, clBtnFace);
    const QRgb window = Palette(*view, clWindow);
    QImage image = Grab(*view);
    QRect cell = view->CellRect(0, 0);
    EXPECT_EQ(At(image, cell.left() + 40, Bottom(cell)), line);  // bottom line
    EXPECT_EQ(At(image, Right(cell) - 1, cell.top() + 3), line); // right line inside the cell
    EXPECT_EQ(At(image, Right(cell) - 2, cell.top() + 3), window);

    grid->SetGridLinesStyle(lsFramed);
    image = Grab(*view);
    const QRect last = view->CellRect(3, 2);
    EXPECT_EQ(At(image, last.left() + 40, Bottom(last)), 0u);      // last row's bottom line
    EXPECT_EQ(At(image, Right(last) - 1, last.top() + 3), 0u);     // last column's right line
    EXPECT_EQ(At(image, Right(view->CellRect(3, 0)) - 1, 25), 0u); // on every row
    EXPECT_EQ(At(image, cell.left() + 40, Bottom(cell)), line);    // others keep the line colour
    EXPECT_EQ(At(image, Right(cell) - 1, cell.top() + 3), line);

    grid->SetGridLinesStyle(lsHorizontalOnly);
    image = Grab(*view);
    const QRect body = view->BodyRect();
    for (int y = body.top(); y < Bottom(body); ++y)
        ASSERT_EQ(At(image, 79, y), At(image, 70, y)) << y; // no vertical line anywhere
    EXPECT_EQ(At(image, 40, Bottom(cell)), line);

    grid->SetGridLinesStyle(lsActiveRows);
    image = Grab(*view);
    const int below = Bottom(view->CellRect(0, 2)) + 1;
    for (int y = below; y < Bottom(body); ++y)
        for (int x = body.left(); x < Right(body); ++x)
            ASSERT_EQ(At(image, x, y), window) << x << "," << y;
    EXPECT_EQ(At(image, 40, Bottom(cell)), line); // rows keep their lines
}

TEST(GridViewClassic, SortedStylesAndRelief) {
    ClassicDrawing classic;
    auto grid = MakeGrid(3);
    for (int r = 0; r < 3; ++r)
        grid->Cell(3, r).SetCellColor(0x00F5FCFE);
    grid->Columns().GetColumn(3)->SetSorted(true);
    auto view = MakeView(*grid);
    const QRect cell = view->CellRect(3, 1);
    grid->SetSortedStyle(soWhite);
    EXPECT_EQ(At(Grab(*view), Right(cell) - 4, cell.top() + 2), Rgb(255, 255, 255));
    grid->SetSortedStyle(soDarker);
    EXPECT_EQ(At(Grab(*view), Right(cell) - 4, cell.top() + 2), Rgb(243, 241, 234));
    grid->SetSortedStyle(soDefault);
    EXPECT_EQ(At(Grab(*view), Right(cell) - 4, cell.top() + 2), Rgb(254, 252, 245));
    grid->SetOptions(goHeader | goGrid);
    grid->SetAppearanceOptions(ao3DGridLines);
    const QImage image = Grab(*view);
    const QRect c = view->CellRect(0, 1);
    EXPECT_EQ(At(image, c.left() + 30, c.top() - 1), Palette(*view, clBtnHighlight)); // top highlight
    EXPECT_EQ(At(image, c.left(), c.top() + 5), Palette(*view, clBtnHighlight));      // left highlight
}

TEST(GridViewClassic, SelectionFollowsFocusAndHideSelection) {
    ClassicDrawing classic;
    auto grid = MakeGrid(4);
    grid->SetSelectedRow(1);
    auto view = MakeView(*grid);
    Unfocus(*view);
    ASSERT_FALSE(view->GridFocused());
    const QRect cell = view->CellRect(0, 1);
    const QPoint sample(Right(cell) - 4, cell.top() + 2);
    EXPECT_EQ(At(Grab(*view), sample.x(), sample.y()), Palette(*view, clWindow)); // aoHideSelection
    grid->SetAppearanceOptions(aoHighlightSlideCells);
    EXPECT_EQ(At(Grab(*view), sample.x(), sample.y()), Palette(*view, clBtnFace)); // InactiveSelectionColor
    grid->SetInactiveSelectionColor(255);
    EXPECT_EQ(At(Grab(*view), sample.x(), sample.y()), Rgb(255, 0, 0));
    grid->Columns().GetColumn(0)->SetOptions(DefaultColumnOptions | coDontHighlight);
    EXPECT_EQ(At(Grab(*view), sample.x(), sample.y()), Palette(*view, clWindow));
    grid->Columns().GetColumn(0)->SetOptions(DefaultColumnOptions);
    if (!Focus(*view))
        GTEST_SKIP() << "the platform gives no focus to the window";
    QImage image = Grab(*view);
    EXPECT_EQ(At(image, sample.x(), sample.y()), Palette(*view, clHighlight));
    // The dotted focus rectangle: every other pixel of the outline is inverted.
    EXPECT_NE(At(image, cell.left(), cell.top()), Palette(*view, clHighlight));
    EXPECT_EQ(At(image, cell.left() + 1, cell.top()), Palette(*view, clHighlight));
    grid->SetAppearanceOptions(aoHideFocus);
    image = Grab(*view);
    EXPECT_EQ(At(image, cell.left(), cell.top()), Palette(*view, clHighlight));
    grid->SetSelectionColor(65280);
    EXPECT_EQ(At(Grab(*view), sample.x(), sample.y()), Rgb(0, 255, 0));
}

TEST(GridViewClassic, CheckBoxTickAndBox) {
    ClassicDrawing classic;
    auto grid = MakeGrid(2);
    grid->Cell(1, 0).SetAsBoolean(true);
    grid->SetRowHeight(1, 30);
    grid->Columns().GetColumn(1)->SetVerticalAlignment(taAlignBottom);
    auto view = MakeView(*grid);
    const QImage image = Grab(*view);
    const QRect cell = view->CellRect(1, 0);
    const int x = cell.left() + 2;
    const int y = cell.top() + 3; // centred: 16 / 2 - 11 / 2
    const QRgb frame = Palette(*view, clBtnShadow);
    const QRgb fill = Palette(*view, clWindow);
    const QRgb ink = Palette(*view, clWindowText);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(At(image, x + i, y), frame);
        EXPECT_EQ(At(image, x + i, y + 10), frame);
        EXPECT_EQ(At(image, x, y + i), frame);
        EXPECT_EQ(At(image, x + 10, y + i), frame);
    }
    std::set<std::pair<int, int>> tick;
    for (int k = 0; k < 3; ++k)
        for (auto [dx, dy] : {std::pair{2, 4}, {3, 5}, {4, 6}, {5, 5}, {6, 4}, {7, 3}, {8, 2}})
            tick.insert({dx, dy + k});
    for (int dy = 1; dy < 10; ++dy)
        for (int dx = 1; dx < 10; ++dx)
            EXPECT_EQ(At(image, x + dx, y + dy), tick.count({dx, dy}) ? ink : fill) << dx << "," << dy;
    // The empty box of the taller row keeps its size and sits at the bottom.
    const QRect tall = view->CellRect(1, 1);
    const int by = Bottom(tall) - 11 - 2;
    EXPECT_EQ(At(image, x, by), frame);
    EXPECT_EQ(At(image, x + 10, by + 10), frame);
    EXPECT_EQ(At(image, x + 4, by + 6), fill);
    EXPECT_EQ(At(image, x, by - 1), fill);
}

TEST(GridViewClassic, CaptionOfAnEmptyGridSitsFourPixelsBelowTheBodyTop) {
    ClassicDrawing classic;
    auto grid = MakeGrid(0);
    grid->SetCaption("No hosts in this group");
    int empties = 0;
    grid->OnCellColoring = [&](QObject*, int, int, TColor&, TColor&, TCellState state) {
        empties += (state & csEmpty) ? 1 : 0;
    };
    auto view = MakeView(*grid);
    empties = 0;
    const QImage image = Grab(*view);
    const QRect body = view->BodyRect();
    EXPECT_EQ(empties, 4 * ((body.height() + 15) / 16));
    QImage reference(image.size(), QImage::Format_RGB32);
    reference.fill(view->Rgb(clWindow));
    QPainter canvas(&reference);
    canvas.setFont(view->font());
    canvas.setPen(view->Rgb(clWindowText));
    const int line = QFontMetrics(view->font()).height();
    canvas.drawText(QRect(body.left(), body.top() + 4, body.width(), line), Qt::AlignLeft | Qt::AlignTop,
                    grid->Caption());
    canvas.end();
    EXPECT_EQ(image.copy(body), reference.copy(body));
    grid->AddRow(1);
    EXPECT_EQ(InkSpan(Grab(*view), GxRect(body.left() + 5, body.top() + 4, 75, body.top() + 4 + line),
                      Palette(*view, clWindow))
                  .first,
              -1);
}

TEST(GridViewClassic, TextOnADarkCellColourIsLight) {
    ClassicDrawing classic;
    auto grid = MakeGrid(2);
    grid->Cell(0, 0).SetAsString("Up");
    grid->Cell(0, 0).SetCellColor(0x008000); // dark green
    auto view = MakeView(*grid);
    const QImage cell = Grab(*view).copy(view->CellRect(0, 0).adjusted(1, 1, -2, -2));
    int lightest = 0;
    for (int i = 0; i < cell.width() * cell.height(); ++i)
        lightest = std::max(lightest, qGray(cell.pixel(i % cell.width(), i / cell.width())));
    EXPECT_GT(lightest, 200);
}

TEST(GridViewClassic, AmpersandsArePaintedAsText) {
    ClassicDrawing classic;
    auto grid = MakeGrid(2);
    grid->Cell(0, 0).SetAsString("A&B");
    grid->Cell(0, 1).SetAsString("AB");
    grid->Columns().GetColumn(0)->Header().SetCaption("R&D");
    auto view = MakeView(*grid);
    const QImage image = Grab(*view);
    const QRgb window = Palette(*view, clWindow);
    const auto withAmp = InkSpan(image, view->CellRect(0, 0), window);
    const auto without = InkSpan(image, view->CellRect(0, 1), window);
    const QFontMetrics metrics(view->font());
    const int amp = metrics.horizontalAdvance("A&B") - metrics.horizontalAdvance("AB");
    EXPECT_GT(amp, 4);
    EXPECT_NEAR((withAmp.second - withAmp.first) - (without.second - without.first), amp, 1);
}

TEST(GridViewClassic, NoVisibleColumnOrRowPaintsSafely) {
    ClassicDrawing classic;
    auto grid = MakeGrid(5);
    grid->SetOptions(goHeader | goInput | goFooter | goIndicator | goGrid | goSelectFullRow);
    grid->SetSelectedRow(2);
    for (int c = 0; c < 4; ++c)
        grid->Columns().GetColumn(c)->SetVisible(false);
    auto view = MakeView(*grid);
    QImage image = Grab(*view);
    EXPECT_EQ(At(image, 200, 100), Palette(*view, clWindow));
    for (int r = 0; r < 5; ++r)
        grid->SetRowVisible(r, false);
    grid->Columns().GetColumn(2)->SetVisible(true);
    image = Grab(*view);
    EXPECT_EQ(At(image, 300, 100), Palette(*view, clWindow));
    TDataGrid bare;
    bare.SetOptions(goHeader | goInput | goFooter | goIndicator | goGrid);
    TGxGridView empty(&bare);
    empty.show();
    EXPECT_FALSE(Grab(empty).isNull());
}

// ---- header styles ----------------------------------------------------------------------

TEST(GridViewHeader, Office2010HeaderLinesAndArrow) {
    auto grid = MakeGrid(3);
    grid->SetHeaderStyle(hsOffice2010);
    grid->Columns().GetColumn(2)->SetSorted(true);
    auto view = MakeView(*grid);
    const QImage image = Grab(*view);
    const QRgb border = Rgb(101, 147, 207);
    const QRgb separator = Rgb(154, 198, 255);
    for (int x = 0; x < 320; ++x) {
        if (x % 80 == 79)
            continue;
        ASSERT_EQ(At(image, x, 0), Rgb(255, 255, 255)) << x;
        ASSERT_EQ(At(image, x, 17), border) << x;
    }
    EXPECT_EQ(At(image, 40, 1), Expect(ColorToQColor(MixColors(0x00FFFFFF, 0x00FFD2AF, 1 / 18.0))));
    for (int y = 0; y < 18; ++y) {
        const bool middle = y >= 2 && y < 15; // from top + 2 to bottom - 3
        EXPECT_EQ(At(image, 79, y) == separator, middle) << y;
        EXPECT_EQ(At(image, 239, y) == separator, middle) << y;
        EXPECT_EQ(At(image, 319, y), border) << y; // the last header
    }
    const TGxCustomColumn& sorted = *grid->Columns().GetColumn(2);
    const int extent = QFontMetrics(view->font()).horizontalAdvance(sorted.Header().Caption()) + 2;
    const int x = 160 + 2 + extent + 19;
    const int y = 18 / 2 - 4;
    EXPECT_EQ(view->StyleDisplay().HeaderLayout(sorted, view->HeaderCellRect(sorted)).ArrowX, x);
    EXPECT_EQ(At(image, x, y + 4), 0u);
    EXPECT_EQ(At(image, x + 4, y), 0u);
    EXPECT_EQ(At(image, x + 8, y + 4), 0u);
    EXPECT_EQ(At(image, x + 4, y + 2), Rgb(165, 172, 181));
    EXPECT_EQ(At(image, x + 4, y + 3), Rgb(165, 172, 181));
    EXPECT_NE(At(image, x + 4, y - 1), 0u);
    EXPECT_NE(At(image, x, y + 3), 0u);
    // Descending points down.
    grid->Columns().GetColumn(2)->SetSortKind(skDescending);
    const QImage down = Grab(*view);
    EXPECT_EQ(At(down, x, y), 0u);
    EXPECT_EQ(At(down, x + 4, y + 4), 0u);
    EXPECT_EQ(At(down, x + 8, y), 0u);
    EXPECT_EQ(At(down, x + 4, y + 1), Rgb(165, 172, 181));
    // The border is one pixel in colour 2.
    const QImage frame = view->grab().toImage();
    EXPECT_EQ(frame.pixel(0, 50) & 0xFFFFFF, border);
    EXPECT_EQ(frame.pixel(view->width() - 1, 50) & 0xFFFFFF, border);
}

TEST(GridViewHeader, SortedRightAlignedCaptionEndsThirtyOnePixelsEarly) {
    ClassicDrawing classic;
    auto grid = MakeGrid(3);
    TGxCustomColumn& column = *grid->Columns().GetColumn(3);
    column.SetWidth(120);
    column.Header().SetAlignment(taRightJustify);
    auto view = MakeView(*grid);
    const QRect header = view->HeaderCellRect(column);
    const int extent = QFontMetrics(view->font()).horizontalAdvance(column.Header().Caption()) + 2;
    const QImage plain = Grab(*view);
    column.SetSorted(true);
    const QImage sorted = Grab(*view);
    const int right = Right(header);
    EXPECT_EQ(sorted.copy(right - extent - 31, 2, extent - 2, 14),
              plain.copy(right - extent, 2, extent - 2, 14));
    EXPECT_NE(sorted.copy(right - extent, 2, extent - 2, 14), plain.copy(right - extent, 2, extent - 2, 14));
    // Left alignment keeps its place.
    column.Header().SetAlignment(taLeftJustify);
    EXPECT_EQ(view->StyleDisplay().HeaderLayout(column, header).TextStart, header.left() + 2);
    column.Header().SetAlignment(taCenter);
    EXPECT_EQ(view->StyleDisplay().HeaderLayout(column, header).TextStart,
              header.left() + (120 - extent) / 2);
}

TEST(GridViewHeader, AnArrowNearTheEdgeShowsOnlyWithHideArrowFalse) {
    auto grid = MakeGrid(3);
    grid->SetHeaderStyle(hsOffice2010);
    TGxCustomColumn& column = *grid->Columns().GetColumn(3);
    auto view = MakeView(*grid);
    const int extent = QFontMetrics(view->font()).horizontalAdvance(column.Header().Caption()) + 2;
    column.SetWidth(extent + 29); // the arrow's x + 8 meets the right edge
    column.SetSorted(true);
    const QRect header = view->HeaderCellRect(column);
    const auto layout = view->StyleDisplay().HeaderLayout(column, header);
    ASSERT_EQ(layout.ArrowX + 8, Right(header));
    EXPECT_FALSE(layout.ArrowShown);
    EXPECT_NE(At(Grab(*view), layout.ArrowX + 4, layout.ArrowY), 0u);
    column.Header().SetHideArrow(false);
    EXPECT_EQ(At(Grab(*view), layout.ArrowX + 4, layout.ArrowY), 0u);
    column.SetWidth(extent + 30); // one pixel more room: shown either way
    column.Header().SetHideArrow(true);
    EXPECT_TRUE(view->StyleDisplay().HeaderLayout(column, view->HeaderCellRect(column)).ArrowShown);
}

namespace {

struct Drawn {
    int Element;
    QStyle::State State;
    QRect Rect;
    bool Control;
};

// Records what the grid asks the style to draw.
class RecordingStyle : public QProxyStyle {
public:
    RecordingStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
    mutable std::vector<Drawn> Calls;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        Calls.push_back({int(element), option->state, option->rect, true});
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        Calls.push_back({int(element), option->state, option->rect, false});
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

TEST(GridViewThemed, TheStyleSeesPressedAndHotHeadersAndCheckBoxes) {
    auto grid = MakeGrid(3);
    grid->Cell(1, 0).SetAsBoolean(true);
    auto view = MakeView(*grid);
    RecordingStyle style;
    view->setStyle(&style);
    ASSERT_TRUE(view->Themed());
    view->SetPressedHeaderColumn(1);
    // The mouse over the third header makes it hot.
    QMouseEvent move(QEvent::MouseMove, QPointF(200, 5),
                     QPointF(view->viewport()->mapToGlobal(QPoint(200, 5))), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    EXPECT_EQ(view->HotHeaderColumn(), 2);
    style.Calls.clear();
    Grab(*view);
    int pressed = 0, hot = 0, normal = 0, empty = 0, checked = 0, unchecked = 0;
    for (const Drawn& d : style.Calls) {
        if (d.Control && d.Element == QStyle::CE_HeaderSection) {
            if (d.State & QStyle::State_Sunken) {
                ++pressed;
                EXPECT_EQ(d.Rect, view->HeaderCellRect(*grid->Columns().GetColumn(1)));
            } else if (d.State & QStyle::State_MouseOver) {
                ++hot;
                EXPECT_EQ(d.Rect, view->HeaderCellRect(*grid->Columns().GetColumn(2)));
            } else {
                ++normal;
            }
        }
        if (d.Control && d.Element == QStyle::CE_HeaderEmptyArea)
            ++empty;
        if (!d.Control && d.Element == QStyle::PE_IndicatorCheckBox) {
            EXPECT_EQ(d.Rect.size(), QSize(13, 13));
            (d.State & QStyle::State_On ? checked : unchecked)++;
        }
    }
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(hot, 1);
    EXPECT_EQ(normal, 2);
    EXPECT_EQ(empty, 1);
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(unchecked, 2);
    EXPECT_EQ(view->DisplayOf(*grid->Columns().GetColumn(1))->GetContentWidth(), 13);
    view->setStyle(nullptr);
}

// ---- painting cost and repaint requests -------------------------------------------------

TEST(GridViewPaint, OnePaintColoursExactlyTheCellsInView) {
    auto grid = MakeGrid(0);
    grid->BeginUpdate();
    grid->AddRow(100000);
    grid->EndUpdate();
    auto view = MakeView(*grid, 500, 331);
    const QRect body = view->BodyRect();
    ASSERT_NE(body.height() % 16, 0);
    long calls = 0;
    long empties = 0;
    grid->OnCellColoring = [&](QObject*, int, int, TColor&, TColor&, TCellState state) {
        ++calls;
        empties += (state & csEmpty) ? 1 : 0;
    };
    Grab(*view);
    EXPECT_EQ(calls, 4L * ((body.height() + 15) / 16));
    EXPECT_EQ(empties, 0);
    view->HandleScroll(sbVertical, scBottom);
    const int fit = view->FittingRows();
    EXPECT_EQ(grid->FirstRow(), 100000 - fit);
    calls = empties = 0;
    Grab(*view);
    const int emptyRows = (body.height() - fit * 16 + 15) / 16;
    EXPECT_EQ(emptyRows, 1);
    EXPECT_EQ(calls, 4L * (fit + emptyRows));
    EXPECT_EQ(empties, 4L * emptyRows);
}

TEST(GridViewPaint, WritesRepaintTheirCellOnlyAndOffViewWritesNothing) {
    auto grid = MakeGrid(0);
    grid->BeginUpdate();
    grid->AddRow(100000);
    grid->EndUpdate();
    auto view = MakeView(*grid, 500, 300);
    PaintRecorder recorder(view->viewport());
    Settle(*view);
    recorder.Regions.clear();
    const int paints = view->PaintCount();
    grid->Cell(0, 99999).SetAsString("far away");
    grid->Cell(3, 5000).SetAsString("far away");
    Settle(*view);
    EXPECT_EQ(view->PaintCount(), paints);
    grid->Cell(3, 2).SetAsString("Down");
    Settle(*view);
    ASSERT_EQ(recorder.Regions.size(), 1);
    EXPECT_EQ(recorder.Regions[0], QRegion(view->CellRect(3, 2)));
    // A burst of writes is painted together.
    recorder.Regions.clear();
    for (int r = 0; r < 10; ++r)
        grid->Cell(0, r).SetAsString("x");
    Settle(*view);
    EXPECT_EQ(recorder.Regions.size(), 1);
    // Styles that the options page changes live are shown at once.
    recorder.Regions.clear();
    grid->SetGridLinesStyle(lsFramed);
    Settle(*view);
    EXPECT_EQ(recorder.Regions.size(), 1);
    recorder.Regions.clear();
    grid->SetAppearanceOptions(aoHintMarks);
    Settle(*view);
    EXPECT_EQ(recorder.Regions.size(), 1);
    // A header repaint touches the header only.
    recorder.Regions.clear();
    grid->Columns().GetColumn(1)->Header().SetAlignment(taCenter);
    Settle(*view);
    ASSERT_EQ(recorder.Regions.size(), 1);
    EXPECT_EQ(recorder.Regions[0], QRegion(GxRect(80, 0, 160, 18)));
}

TEST(GridViewPaint, PaintEventsReachTheirHandlers) {
    auto grid = MakeGrid(3);
    grid->Columns().GetColumn(2)->SetDrawingOptions(doCustom);
    grid->Cell(0, 1).SetHint("hint");
    grid->SetAppearanceOptions(aoHideSelection | aoHintMarks);
    auto view = MakeView(*grid);
    int custom = 0;
    int backgrounds = 0;
    int posts = 0;
    view->OnCustomDrawCell = [&](TGxGridView* sender, QPainter& canvas, int col, int row, const QRect& rect,
                                 TCellState) {
        EXPECT_EQ(sender, view.get());
        EXPECT_EQ(col, 2);
        EXPECT_EQ(rect, view->CellRect(2, row));
        canvas.fillRect(rect.adjusted(0, 0, -60, 0), Qt::blue);
        ++custom;
    };
    view->OnDrawCellBackground = [&](TGxGridView*, QPainter&, int col, int row, const QRect&,
                                     TCellState state, bool& defaultDrawing) {
        ++backgrounds;
        if (col == 3 && row == 0 && !(state & csEmpty))
            defaultDrawing = false;
    };
    view->OnPostDraw = [&](TGxGridView*, QPainter&) {
        ++posts;
    };
    const QImage image = Grab(*view);
    EXPECT_EQ(custom, 3);
    EXPECT_EQ(posts, 1);
    EXPECT_GT(backgrounds, 12); // also for the empty cells below
    EXPECT_EQ(At(image, view->CellRect(2, 0).left() + 5, view->CellRect(2, 0).top() + 5), Rgb(0, 0, 255));
    const QRect hinted = view->CellRect(0, 1);
    EXPECT_EQ(At(image, Right(hinted) - 5, hinted.top()), Rgb(255, 0, 0)); // the hint mark
    EXPECT_EQ(At(image, Right(hinted) - 1, hinted.top() + 4), Rgb(255, 0, 0));
    EXPECT_NE(At(image, Right(hinted) - 5, hinted.top() + 1), Rgb(255, 0, 0));
}

// ---- best fit and row height ------------------------------------------------------------

TEST(GridViewLayout, BestFitMeasuresHeaderAndCells) {
    auto grid = MakeGrid(4);
    grid->Cell(0, 2).SetAsString("a much longer host name");
    auto view = MakeView(*grid);
    const QFontMetrics metrics(view->font());
    TGxCustomColumn& column = *grid->Columns().GetColumn(0);
    column.SetPadding(3);
    view->AutoSizeColumn(0);
    EXPECT_EQ(column.Width(), 6 + metrics.horizontalAdvance("a much longer host name") + 5);
    view->AutoSizeColumn(0, bfHeaderOnly);
    EXPECT_EQ(column.Width(), 6 + metrics.horizontalAdvance("Name") + 5);
    grid->SetRowVisible(2, false);
    view->AutoSizeColumn(0, bfCellsOnly, true);
    EXPECT_EQ(column.Width(), 6 + metrics.horizontalAdvance("host3") + 5);
    grid->OnCellFormating = [](QObject*, int, int row, TColor&, TFontStyles& style, TCellState) {
        if (row == 3)
            style |= fsBold;
    };
    QFont bold = view->font();
    bold.setBold(true);
    view->AutoSizeColumn(0, bfCellsOnly, true);
    EXPECT_EQ(column.Width(), 6 + QFontMetrics(bold).horizontalAdvance("host3") + 5);
    view->AutoSizeColumn(1, bfCellsOnly);
    EXPECT_EQ(grid->Columns().GetColumn(1)->Width(), 13 + 5); // the themed check box
    // The model's text measure now asks the painter instead of guessing 7 pixels a character.
    EXPECT_EQ(column.MeasureTextWidth("Status"), metrics.horizontalAdvance("Status") + 5);
    grid->AddColumn<TGxTextColumn>("Late");
    EXPECT_NE(view->DisplayOf(*grid->Columns().GetColumn(4)), nullptr);
    EXPECT_EQ(grid->Columns().GetColumn(4)->MeasureTextWidth("Status"),
              metrics.horizontalAdvance("Status") + 5);
}

TEST(GridViewLayout, AutoRowHeightWrapsTextAndKeepsRowSize) {
    auto grid = MakeGrid(2);
    TGxCustomColumn& column = *grid->Columns().GetColumn(3);
    column.SetWrapKind(wkWordWrap);
    grid->Cell(3, 0).SetAsString("one two three four five six");
    auto view = MakeView(*grid);
    view->AutoRowHeight(0);
    const QFontMetrics metrics(view->font());
    const QRect expected = metrics.boundingRect(QRect(0, 0, 80 - 4, 1000), Qt::AlignLeft | Qt::TextWordWrap,
                                                "one two three four five six");
    EXPECT_EQ(grid->GetRowHeight(0), expected.height());
    EXPECT_GT(grid->GetRowHeight(0), 16);
    view->AutoRowHeight(1);
    EXPECT_EQ(grid->GetRowHeight(1), 16);
}

TEST(GridViewLayout, ScrollToRowAndWheelSteps) {
    auto grid = MakeGrid(200);
    auto view = MakeView(*grid, 400, 200);
    view->ScrollToRow(150);
    int top = view->RowTop(150);
    EXPECT_LE(top + 16, Bottom(view->BodyRect()));
    EXPECT_GT(grid->FirstRow(), 100);
    const int first = grid->FirstRow();
    QWheelEvent down(QPointF(10, 40), QPointF(view->mapToGlobal(QPoint(10, 40))), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &down);
    EXPECT_EQ(grid->FirstRow(), first + 1);
    view->ScrollToRow(3);
    EXPECT_EQ(grid->FirstRow(), 3);
    grid->SetFirstRow(20); // written from outside
    EXPECT_EQ(view->VertScrollBar().Position(), 20);
}

TEST(GridViewLayout, BestFitIsExactForKernedTexts) {
    // Kerning makes "AVAV..." much narrower than its characters' advances: the estimate that
    // spares shaping every row must never pick a narrower width than shaping all of them.
    auto grid = MakeGrid(0);
    const QStringList texts{"AVAVAVAVAVAVAVAVAV", "mmmmmmmmmmmmmmmm", "To Te Ta To Te Ta", "10.123.45.67",
                            "WAWAWAWAWAWAWAWAWA"};
    grid->AddRow(int(texts.size()) * 50);
    for (int r = 0; r < grid->RowCount(); ++r)
        grid->Cell(0, r).SetAsString(texts[r % texts.size()] + QString::number(r % 7));
    auto view = MakeView(*grid);
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (int r = 0; r < grid->RowCount(); ++r)
        widest = std::max(widest, metrics.horizontalAdvance(grid->CellText(0, r)));
    view->AutoSizeColumn(0, bfCellsOnly);
    EXPECT_EQ(grid->Columns().GetColumn(0)->Width(), widest + 5);
}
