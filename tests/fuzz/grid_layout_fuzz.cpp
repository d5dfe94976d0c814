// Fuzz target for the grid's layout file reader: any bytes load without crashing and leave the
// display order a permutation of the columns.
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "grid_layout_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    TDataGrid grid;
    for (int i = 0; i < 6; ++i)
        grid.AddColumn<TGxTextColumn>(QStringLiteral("C%1").arg(i));
    grid.AddColumn<TGxTreeColumn>("Tree");
    grid.AddRow(3);
    grid.Cell(0, 0).SetAsString("b");
    grid.Cell(0, 1).SetAsString("a");
    try {
        grid.LoadLayoutFromIniBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const EGridError&) {
    }
    std::vector<bool> seen(size_t(grid.ColumnCount()), false);
    for (int p = 0; p < grid.ColumnCount(); ++p)
        seen[size_t(grid.Columns().PositionItem(p)->Index())] = true;
    for (bool s : seen)
        if (!s)
            std::abort();
    (void)grid.LayoutToIniBytes();
    return 0;
}
