// Fuzz target for the group tree builder over random list_group tables (at most 48 rows, numbers and
// parents drawn from a small range so rows share them): each group gets one node at most, a parent
// always comes before its children, and the tree never has more nodes than rows.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TSQLiteDatabase db(QStringLiteral(":memory:"));
    CreateMissingTables(db);
    int rows = 0;
    // Three bytes a row: the number, the parent (0 for none, 255 for a text that is no number) and a
    // name byte.
    for (size_t at = 0; at + 3 <= Size && rows < 48; at += 3, ++rows) {
        const int group = Data[at] % 16;
        const uint8_t parent = Data[at + 1];
        QString parentText;
        if (parent == 255)
            parentText = QStringLiteral("x");
        else if (parent % 17 != 0)
            parentText = QString::number(parent % 17 - 1);
        db.ExecuteStatement(
            QStringLiteral("insert into list_group (Name, N_group, parent_id) values (?,?,?)"),
            {QString(QChar(u'A' + Data[at + 2] % 26)), group, parentText});
    }
    const TGroupTree tree = BuildGroupTree(db);
    if (tree.size() > static_cast<size_t>(rows))
        __builtin_trap();
    QSet<QString> groups;
    for (size_t i = 0; i < tree.size(); ++i) {
        const TGroupTreeNode& node = tree[i];
        if (node.ParentIndex >= static_cast<int>(i) || node.ParentIndex < -1 || !node.Record)
            __builtin_trap();
        if (groups.contains(node.Record->Group))
            __builtin_trap();
        groups.insert(node.Record->Group);
    }
    return 0;
}
