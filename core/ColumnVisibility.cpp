#include "core/ColumnVisibility.h"

#include "core/SettingsModel.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

#include <utility>

namespace {

void SetColumnVisible(TDataGrid& Grid, const char* Name, bool Visible) {
    if (TGxCustomColumn* column = Grid.Columns().ColumnByName(QLatin1String(Name))) {
        column->SetVisible(Visible);
    }
}

} // namespace

void HideEveryColumn(TDataGrid& Grid) {
    for (int c = 0; c < Grid.ColumnCount(); ++c) {
        Grid.Columns().GetColumn(c)->SetVisible(false);
    }
}

void ApplyColumnVisibility(TDataGrid& Grid, const TSettings& S) {
    Grid.BeginUpdate();
    // Every column outside the twelve is always hidden.
    HideEveryColumn(Grid);
    const std::pair<const char*, bool> chosen[] = {
        {"number_", S.CheckBox_Nomer},      {"Kod_", S.CheckBox_ID},
        {"Host", S.CheckBox_Host_Name},     {"Htype2", S.CheckBox_host_type2},
        {"IP", S.CheckBox_HostIP},          {"Status", S.CheckBox_Status},
        {"Enabled", S.CheckBox_Enabled},    {"Kol_vo_p", S.CheckBox_Tiks},
        {"Date_Pod", S.CheckBox_last_down}, {"Note_", S.CheckBox_note},
        {"TimeDown", S.CheckBox_DownTime},  {"HType", S.CheckBox_host_type},
    };
    for (const auto& [name, visible] : chosen) {
        SetColumnVisible(Grid, name, visible);
    }
    const int height = S.CheckBox_host_type ? PictureRowHeight : PlainRowHeight;
    Grid.SetRowSize(height);
    for (int row = 0; row < Grid.RowCount(); ++row) {
        Grid.SetRowHeight(row, height);
    }
    Grid.EndUpdate();
}

bool GridLinesStyleOfIndex(int Index, TGridLinesStyle& Style) {
    switch (Index) {
    case 0:
        Style = lsVerticalOnly;
        return true;
    case 1:
        Style = lsHorizontalOnly;
        return true;
    case 2:
        Style = lsNormal;
        return true;
    default:
        return false;
    }
}

void ApplyGridLines(TDataGrid& Grid, const TSettings& Settings) {
    const TGridOptions options = Grid.Options();
    Grid.SetOptions(Settings.Grid_show_CheckBox ? options | goGrid : options & ~TGridOptions(goGrid));
    TGridLinesStyle style;
    if (GridLinesStyleOfIndex(Settings.Grid_Style_ComboBox, style)) {
        Grid.SetGridLinesStyle(style);
    }
}
