// Which host-table columns show: twelve chosen by the operator's boxes, the rest always hidden,
// and tall rows while the host-type picture column shows.
#pragma once

struct TSettings;
class TDataGrid;

// Row height with and without the host-type picture column.
inline constexpr int PictureRowHeight = 85;
inline constexpr int PlainRowHeight = 18;

// Hides every column of Grid.
void HideEveryColumn(TDataGrid& Grid);

// Applies the boxes of Settings to the host table Grid; columns the grid lacks are passed over.
void ApplyColumnVisibility(TDataGrid& Grid, const TSettings& Settings);
