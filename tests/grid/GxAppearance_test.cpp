// Appearance properties of the grid model: the defaults a new grid has, the fixed Version, line
// widths by option and style, what each writer asks to repaint, the writable FirstRow and the
// cell formatting hook.
#include "grid_helpers.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

using namespace gridtest;

namespace {

// Records the arguments of every emission of one signal.
template <class... Args> struct Spy {
    std::vector<std::tuple<Args...>> calls;
    template <class Obj, class Sig> Spy(Obj* object, Sig signal) {
        QObject::connect(object, signal, [this](Args... args) { calls.emplace_back(args...); });
    }
    int count() const { return int(calls.size()); }
    bool isEmpty() const { return calls.empty(); }
    void clear() { calls.clear(); }
};

} // namespace

TEST(GridAppearance, NewGridHasThePublishedDefaults) {
    TDataGrid grid;
    EXPECT_EQ(grid.AppearanceOptions(), aoHideSelection | aoHighlightSlideCells);
    EXPECT_FALSE(grid.AutoScroll());
    EXPECT_EQ(grid.BorderStyle(), bsSingle);
    EXPECT_TRUE(grid.Caption().isEmpty());
    EXPECT_EQ(grid.Color(), clWindow);
    EXPECT_TRUE(grid.EnableVisualStyles());
    EXPECT_EQ(grid.FixedCols(), 0);
    EXPECT_EQ(grid.FooterSize(), 18);
    EXPECT_EQ(grid.GridStyle(), gsReport);
    EXPECT_EQ(grid.GridLinesColor(), clBtnFace);
    EXPECT_EQ(grid.GridLinesStyle(), lsNormal);
    EXPECT_EQ(grid.HeaderSize(), 18);
    EXPECT_EQ(grid.HeaderStyle(), hsAuto);
    EXPECT_TRUE(grid.HideScrollBar());
    EXPECT_EQ(grid.HighlightedTextColor(), clHighlightText);
    EXPECT_EQ(grid.HomeEndBehaviour(), hebTopBottom);
    EXPECT_EQ(grid.InactiveSelectionColor(), clBtnFace);
    EXPECT_EQ(grid.InputEnterMode(), imEditing);
    EXPECT_EQ(grid.InputSize(), 16);
    EXPECT_EQ(grid.Options(), TGridOptions(goHeader));
    EXPECT_FALSE(grid.ReadOnly());
    EXPECT_EQ(grid.RowSize(), 16);
    EXPECT_EQ(grid.SelectionColor(), clHighlight);
    EXPECT_EQ(grid.SelectionMoveDirection(), mdDown);
    EXPECT_EQ(grid.SlidesOptions(), soFrame | soHideSelection);
    EXPECT_EQ(grid.SlideSelectionColor(), clWindow);
    EXPECT_EQ(grid.SlideSize(), 80);
    EXPECT_EQ(grid.SortedStyle(), soDefault);
    EXPECT_TRUE(grid.TabLeaveControl());
    EXPECT_TRUE(grid.TabStop());
    EXPECT_FALSE(grid.WantReturns());
    EXPECT_FALSE(grid.WantTabs());
    EXPECT_EQ(grid.Version(), QByteArray("5.2.5"));
    grid.SetVersion("6.0");
    EXPECT_EQ(grid.Version(), QByteArray("5.2.5"));
}

TEST(GridAppearance, SystemColoursAreNegativeAndIndexed) {
    EXPECT_EQ(uint32_t(clBtnFace), 0x8000000Fu);
    EXPECT_EQ(uint32_t(clBtnShadow), 0x80000010u);
    EXPECT_EQ(uint32_t(clGrayText), 0x80000011u);
    EXPECT_EQ(uint32_t(clBtnHighlight), 0x80000014u);
    EXPECT_EQ(uint32_t(cl3DDkShadow), 0x80000015u);
    EXPECT_EQ(uint32_t(clWindowFrame), 0x80000006u);
    EXPECT_EQ(uint32_t(clInfoBk), 0x80000018u);
    EXPECT_TRUE(IsSystemColor(clWindow));
    EXPECT_FALSE(IsSystemColor(clWhite));
    EXPECT_EQ(clSilver, 0xC0C0C0);
    EXPECT_EQ(clNavy, 0x800000);
}

TEST(GridAppearance, LineWidthsFollowOptionsStyleAndRelief) {
    TDataGrid grid;
    EXPECT_EQ(grid.LineWidthV() + grid.LineWidthH() + grid.RowPitchExtra(), 0); // no goGrid
    grid.SetOptions(goHeader | goGrid);
    EXPECT_EQ(grid.LineWidthV(), 1);
    EXPECT_EQ(grid.LineWidthH(), 1);
    EXPECT_EQ(grid.LineWidthL(), 0);
    EXPECT_EQ(grid.RowPitchExtra(), 1);
    grid.SetGridLinesStyle(lsHorizontalOnly);
    EXPECT_EQ(grid.LineWidthV(), 0);
    grid.SetGridLinesStyle(lsActiveHorzOnly);
    EXPECT_EQ(grid.LineWidthV(), 0);
    EXPECT_EQ(grid.LineWidthH(), 1);
    grid.SetGridLinesStyle(lsVerticalOnly);
    EXPECT_EQ(grid.LineWidthV(), 1);
    EXPECT_EQ(grid.LineWidthH(), 0);
    grid.SetGridLinesStyle(lsNormal);
    grid.SetAppearanceOptions(ao3DGridLines);
    EXPECT_EQ(grid.LineWidthL(), 1);
    EXPECT_EQ(grid.LineWidthT(), 1);
    EXPECT_EQ(grid.RowPitchExtra(), 2);
}

TEST(GridAppearance, WritersAskForTheRepaintOfWhatDependsOnThem) {
    TDataGrid grid;
    Spy<int> areas(&grid, &TGxCustomGridControl::AreasInvalidated);
    Spy<> bars(&grid, &TGxCustomGridControl::ScrollBarsChanged);
    auto lastAreas = [&] {
        if (areas.isEmpty())
            return 0;
        const int value = std::get<0>(areas.calls.back());
        areas.calls.pop_back();
        return value;
    };

    grid.SetGridLinesStyle(lsFramed); // stored and shown: the options page changes it live
    EXPECT_EQ(lastAreas(), int(gaClient));
    grid.SetAppearanceOptions(aoHintMarks);
    EXPECT_EQ(lastAreas(), int(gaClient));
    EXPECT_EQ(bars.count(), 2);
    grid.SetCaption("none");
    EXPECT_EQ(lastAreas(), int(gaBody));
    for (auto write :
         {+[](TDataGrid& g) { g.SetFooterSize(20); }, +[](TDataGrid& g) { g.SetGridLinesColor(1); },
          +[](TDataGrid& g) { g.SetInputSize(10); }, +[](TDataGrid& g) { g.SetInactiveSelectionColor(2); },
          +[](TDataGrid& g) { g.SetSlideSize(60); },
          +[](TDataGrid& g) {
              g.SetSortedStyle(soWhite);
          }}) {
        write(grid);
        EXPECT_EQ(lastAreas(), int(gaClient));
    }
    grid.SetEnableVisualStyles(false);
    EXPECT_EQ(lastAreas(), int(gaClient | gaBorder));
    grid.SetHeaderStyle(hsOffice2010);
    EXPECT_EQ(lastAreas(), int(gaClient | gaBorder));
    areas.clear();
    grid.SetSelectionColor(3);
    grid.SetReadOnly(true);
    grid.SetAutoScroll(true);
    EXPECT_TRUE(areas.isEmpty());
    grid.SetBorderStyle(bsNone);
    EXPECT_EQ(lastAreas(), int(gaBorder | gaClient));

    grid.BeginUpdate(); // nothing is repainted inside an update
    grid.SetColor(clRed);
    grid.SetGridLinesStyle(lsNormal);
    EXPECT_TRUE(areas.isEmpty());
    grid.EndUpdate();

    const int before = bars.count();
    grid.SetRowSize(0);
    EXPECT_EQ(grid.RowSize(), 16);
    EXPECT_EQ(bars.count(), before);
    grid.SetHideScrollBar(false);
    EXPECT_EQ(bars.count(), before + 1);
}

TEST(GridAppearance, HighlightedTextColourRepaintsTheCurrentCellOrTheSelectedRows) {
    auto grid = MakeGrid();
    grid->AddRow(5);
    grid->SetSelectedRow(2);
    Spy<int, int> cells(grid.get(), &TGxCustomGridControl::CellInvalidated);
    Spy<int> rows(grid.get(), &TGxCustomGridControl::RowInvalidated);
    grid->SetHighlightedTextColor(clRed);
    ASSERT_EQ(cells.count(), 1);
    EXPECT_EQ(std::get<1>(cells.calls[0]), 2);
    EXPECT_TRUE(rows.isEmpty());
    grid->SetOptions(goHeader | goSelectFullRow | goMultiSelect);
    grid->SelectCell(0, 3, true, 0);
    grid->SelectCell(0, 1, true, ssCtrl);
    rows.clear();
    grid->SetHighlightedTextColor(clBlue);
    QList<int> named;
    for (const auto& call : rows.calls)
        named.append(std::get<0>(call));
    EXPECT_EQ(named, QList<int>({1, 3}));
}

TEST(GridAppearance, FirstRowIsWritableWithinTheRows) {
    auto grid = MakeGrid();
    grid->AddRow(10);
    Spy<> changed(grid.get(), &TGxCustomGridControl::FirstRowChanged);
    grid->SetFirstRow(4);
    EXPECT_EQ(grid->FirstRow(), 4);
    EXPECT_EQ(changed.count(), 1);
    grid->SetFirstRow(10);
    grid->SetFirstRow(-1);
    grid->SetFirstRow(4);
    EXPECT_EQ(grid->FirstRow(), 4);
    EXPECT_EQ(changed.count(), 1);
    grid->DeleteRow(0); // a row above the top moves the top up with its row
    EXPECT_EQ(grid->FirstRow(), 3);
}

TEST(GridAppearance, AddedRowsAreNamedAsARange) {
    auto grid = MakeGrid();
    grid->AddRow(3);
    Spy<int, int> ranges(grid.get(), &TGxCustomGridControl::RowsInvalidated);
    Spy<int> areas(grid.get(), &TGxCustomGridControl::AreasInvalidated);
    grid->AddRow(4);
    ASSERT_EQ(ranges.count(), 1);
    EXPECT_EQ(std::get<0>(ranges.calls[0]), 3);
    EXPECT_EQ(std::get<1>(ranges.calls[0]), 6);
    EXPECT_TRUE(areas.isEmpty()); // not the whole body
}

TEST(GridAppearance, CellFormattingAddsBoldAndAsksTheHook) {
    auto grid = MakeGrid();
    grid->AddRow(2);
    grid->Cell(0, 1).SetFontStyle(fsItalic);
    TColor color = clBlack;
    TFontStyles style = 0;
    grid->FormatCell(0, 1, color, style, csBoldTextSelection);
    EXPECT_EQ(style, fsItalic | fsBold);
    int calls = 0;
    grid->OnCellFormating = [&](QObject* sender, int col, int row, TColor& textColor, TFontStyles& fontStyle,
                                TCellState state) {
        ++calls;
        EXPECT_EQ(sender, grid.get());
        EXPECT_EQ(col, 0);
        EXPECT_EQ(row, 0);
        EXPECT_EQ(state, TCellState(csSelected));
        textColor = clRed;
        fontStyle |= fsUnderline;
    };
    style = 0;
    grid->FormatCell(0, 0, color, style, csSelected);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(color, clRed);
    EXPECT_EQ(style, fsUnderline);
}
