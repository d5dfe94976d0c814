// Fuzz target for the grid's text file reader: any bytes load without crashing, and a bad cell
// only raises the grid's own error.
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "grid_text_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    TDataGrid grid;
    grid.AddColumn<TGxTextColumn>("Text");
    grid.AddColumn<TGxNumberColumn>("Number");
    grid.AddColumn<TGxCheckBoxColumn>("Check");
    grid.AddColumn<TGxDateColumn>("Date");
    grid.AddColumn<TGxImageColumn>("Int");
    grid.BeginUpdate();
    try {
        grid.LoadFromTextBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), u',', u'|');
    } catch (const EGridError&) {
    }
    grid.EndUpdate();
    // What was loaded writes out again in every form.
    for (uint8_t encoding : {0, 1, 2})
        (void)grid.TextFileBytes(u',', encoding, u'|');
    return 0;
}
