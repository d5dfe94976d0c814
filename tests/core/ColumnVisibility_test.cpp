// The host table's columns as the boxes choose them: the eight ticked by default show, every
// other column of the 41 is hidden, and the picture column makes the rows 85 pixels high.
#include "core/ColumnVisibility.h"
#include "core/HostGrid.h"
#include "core/SettingsModel.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

#include <gtest/gtest.h>

namespace {

QStringList VisibleColumns(const TDataGrid& Grid) {
    QStringList names;
    for (int c = 0; c < Grid.ColumnCount(); ++c) {
        if (Grid.Columns().GetColumn(c)->Visible()) {
            names << Grid.Columns().GetColumn(c)->Name();
        }
    }
    return names;
}

} // namespace

TEST(ColumnVisibility, DefaultsShowTheEightTickedColumnsAndHideTheOther33) {
    TDataGrid grid;
    CreateHostGridColumns(grid);
    ASSERT_EQ(grid.ColumnCount(), 41);
    ApplyColumnVisibility(grid, TSettings{});
    EXPECT_EQ(VisibleColumns(grid),
              (QStringList{"number_", "Host", "HType2", "IP", "Status", "Enabled", "Kol_vo_p", "Kod_"}));
}

TEST(ColumnVisibility, EveryBoxShowsItsColumnAndThePictureColumnMakesTallRows) {
    TDataGrid grid;
    CreateHostGridColumns(grid);
    grid.AddRow();
    grid.AddRow();
    TSettings s;
    s.CheckBox_Nomer = s.CheckBox_ID = s.CheckBox_Host_Name = s.CheckBox_host_type2 = false;
    s.CheckBox_HostIP = s.CheckBox_Status = s.CheckBox_Enabled = s.CheckBox_Tiks = false;
    s.CheckBox_last_down = s.CheckBox_note = s.CheckBox_DownTime = s.CheckBox_host_type = true;
    ApplyColumnVisibility(grid, s);
    EXPECT_EQ(VisibleColumns(grid), (QStringList{"HType", "Date_Pod", "Note_", "TimeDown"}));
    EXPECT_EQ(grid.GetRowHeight(0), PictureRowHeight);
    EXPECT_EQ(grid.GetRowHeight(1), 85);

    s.CheckBox_host_type = false;
    ApplyColumnVisibility(grid, s);
    EXPECT_EQ(grid.GetRowHeight(0), PlainRowHeight);
    EXPECT_EQ(grid.GetRowHeight(1), 18);
    grid.AddRow();
    EXPECT_EQ(grid.GetRowHeight(2), 18);
}

TEST(ColumnVisibility, LineStyleIndexesAndTheGridLinesBox) {
    TGridLinesStyle style = lsFramed;
    ASSERT_TRUE(GridLinesStyleOfIndex(0, style));
    EXPECT_EQ(style, lsVerticalOnly);
    ASSERT_TRUE(GridLinesStyleOfIndex(1, style));
    EXPECT_EQ(style, lsHorizontalOnly);
    ASSERT_TRUE(GridLinesStyleOfIndex(2, style));
    EXPECT_EQ(style, lsNormal);
    for (int other : {-1, 3, 99}) {
        style = lsFramed;
        EXPECT_FALSE(GridLinesStyleOfIndex(other, style));
        EXPECT_EQ(style, lsFramed) << other;
    }
    TDataGrid grid;
    grid.SetOptions(goHeader | goGrid | goSelectFullRow);
    TSettings s;
    s.Grid_show_CheckBox = false;
    s.Grid_Style_ComboBox = 0;
    ApplyGridLines(grid, s);
    EXPECT_EQ(grid.Options(), TGridOptions(goHeader | goSelectFullRow));
    EXPECT_EQ(grid.GridLinesStyle(), lsVerticalOnly);
    s.Grid_show_CheckBox = true;
    s.Grid_Style_ComboBox = 2;
    ApplyGridLines(grid, s);
    EXPECT_EQ(grid.Options(), TGridOptions(goHeader | goSelectFullRow | goGrid));
    EXPECT_EQ(grid.GridLinesStyle(), lsNormal);
}
