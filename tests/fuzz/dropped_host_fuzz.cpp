// Fuzz target for the text a host row carries when dragged onto a group: any text moves at most
// the one host its id names, into the group asked for, and the shown rows stay numbered 1, 2, ...;
// the drag text of every row reads back as its id and row.
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2)
        return 0;
    TSQLiteDatabase db(QStringLiteral(":memory:"));
    CreateMissingTables(db);
    THostStore store(db);
    for (int i = 0; i < 4; ++i)
        store.InsertHost({"host", "IP", "N_group", "Enabled"},
                         {QStringLiteral("h%1").arg(i), i, i % 2 + 1, "-1"});
    TDataGrid grid;
    CreateHostGridColumns(grid);
    LoadHostsIntoGrid(db, grid, nullptr, QString());
    ShowGroupHosts(grid, QStringLiteral("1"));
    const int kod = grid.ColumnIndex(QStringLiteral("Kod_"));
    const int group = grid.ColumnIndex(QStringLiteral("N_group"));
    const int number = grid.ColumnIndex(QStringLiteral("number_"));
    for (int row = 0; row < grid.RowCount(); ++row) {
        const auto read = ParseDroppedHost(HostDragText(grid, row));
        if (!read || QString::number(read->Kod) != grid.CellText(kod, row) || read->Row != row)
            __builtin_trap();
    }

    const QString target = QString::number(Data[0] % 4);
    const bool showAll = Data[1] & 1;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(Data + 2), qsizetype(Size - 2));
    QStringList before;
    for (int row = 0; row < grid.RowCount(); ++row)
        before << grid.CellText(group, row);
    const auto dropped = ParseDroppedHost(text);
    const bool moved = DropHostOnGroup(grid, store, text, target, showAll);
    if (moved && !dropped)
        __builtin_trap();
    int changed = 0;
    for (int row = 0; row < grid.RowCount(); ++row) {
        if (grid.CellText(group, row) == before[row])
            continue;
        ++changed;
        if (!moved || grid.CellText(group, row) != target ||
            grid.CellText(kod, row) != QString::number(dropped->Kod))
            __builtin_trap();
    }
    if (changed > 1)
        __builtin_trap();
    int shown = 0;
    for (int row = 0; row < grid.RowCount(); ++row)
        if (grid.GetRowVisible(row) && grid.CellText(number, row) != QString::number(++shown))
            __builtin_trap();
    return 0;
}
