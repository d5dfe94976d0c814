// Which host-table columns show: twelve chosen by the operator's boxes, the rest always hidden,
// and tall rows while the host-type picture column shows.
#pragma once

#include "grid/GxCustomGridControl.h"

struct TSettings;
class TDataGrid;

// Row height with and without the host-type picture column.
inline constexpr int PictureRowHeight = 85;
inline constexpr int PlainRowHeight = 18;

// Hides every column of Grid.
void HideEveryColumn(TDataGrid& Grid);

// Applies the boxes of Settings to the host table Grid; columns the grid lacks are passed over.
void ApplyColumnVisibility(TDataGrid& Grid, const TSettings& Settings);

// Settings line 15's index as a line style: 0 vertical lines only, 1 horizontal lines only,
// 2 both; false for any other index (nothing changes then).
bool GridLinesStyleOfIndex(int Index, TGridLinesStyle& Style);

// The host table's grid lines on or off (Grid_show_CheckBox) and their style (Grid_Style_ComboBox).
void ApplyGridLines(TDataGrid& Grid, const TSettings& Settings);
