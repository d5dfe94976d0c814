// Shared helpers of the grid widget tests: grids with known columns, views of them at a fixed
// size, pixels of their grab() and the classic drawing switch.
#pragma once

#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QColor>
#include <QImage>
#include <memory>

namespace widgettest {

// Columns Name (text), Enabled (check box), Count (number), Status (text), each 80 wide.
std::unique_ptr<TDataGrid> MakeGrid(int rows = 0);

// A view of grid at width x height (the window's outer size), shown offscreen.
std::unique_ptr<TGxGridView> MakeView(TDataGrid& grid, int width = 400, int height = 200);

// The viewport's pixels as the view paints them now.
QImage Grab(TGxGridView& view);

inline QRgb Rgb(int r, int g, int b) {
    return qRgb(r, g, b) & 0xFFFFFF;
}
// The pixel as 0xRRGGBB.
inline QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}
inline QRgb Expect(const QColor& color) {
    return color.rgb() & 0xFFFFFF;
}

// Classic drawing (no visual styles) for the lifetime of the object.
class ClassicDrawing {
public:
    ClassicDrawing() { SetVisualStylesAvailable(false); }
    ~ClassicDrawing() { SetVisualStylesAvailable(true); }
};

// The scene the real-display test shows in both worlds: 100,000 rows in the Office 2010
// header style with grid lines, row 3 selected in a fixed colour whatever the focus, row 5
// painted $F5FCFE, in a view of ProbeSize.
inline constexpr int ProbeWidth = 500;
inline constexpr int ProbeHeight = 300;
inline constexpr int ProbeRows = 100000;
std::unique_ptr<TDataGrid> MakeProbeGrid();
// Fusion, its standard palette and DejaVu Sans 9, as the shared test main sets them.
void UseTestLook();

// Saves an image under /tmp for a look (path printed).
void SaveShot(const QImage& image, const QString& name);

} // namespace widgettest
