// The group picker's tree; see GroupPickerTree.h.
#include "core/GroupPickerTree.h"

#include "core/HostStore.h"
#include "core/SQLiteDb.h"

#include <QStringList>

namespace {

constexpr int NameField = 1;
constexpr int GroupField = 2;
constexpr int ParentField = 3;

TGroupTreeNode Node(int Parent, const QString& Name, const QString& ParentGroup, const QString& Group) {
    TGroupTreeNode node;
    node.ParentIndex = Parent;
    node.Caption = Name;
    node.Record = std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{Name, ParentGroup, Group});
    return node;
}

} // namespace

TGroupTree BuildGroupPickerTree(THostStore& Store) {
    TGroupTree tree;
    auto groups = Store.SelectGroups();
    for (; !groups->AtEnd(); groups->NextRow()) {
        if (groups->FieldTextOrEmpty(ParentField).isEmpty()) {
            tree.push_back(Node(-1, groups->FieldTextOrEmpty(NameField), QString(),
                                groups->FieldTextOrEmpty(GroupField)));
        }
    }
    groups = Store.SelectGroups();
    for (; !groups->AtEnd(); groups->NextRow()) {
        const QString parent = groups->FieldTextOrEmpty(ParentField);
        if (parent.isEmpty()) {
            continue;
        }
        RunDatabaseStep("Place a group in the picker", [&] {
            auto parentRow = Store.SelectGroupByNumber(parent);
            if (parentRow->AtEnd()) {
                return;
            }
            const QString parentGroup = parentRow->FieldTextOrEmpty(GroupField);
            const int present = int(tree.size());
            for (int i = 0; i < present; ++i) {
                if (tree[size_t(i)].Record->Group == parentGroup) {
                    tree.push_back(Node(i, groups->FieldTextOrEmpty(NameField), parent,
                                        groups->FieldTextOrEmpty(GroupField)));
                }
            }
        });
    }
    return tree;
}

QString GroupPickerPath(const TGroupTree& Tree, int Node) {
    QStringList names;
    for (int i = Node; i >= 0 && i < int(Tree.size()); i = Tree[size_t(i)].ParentIndex) {
        names.prepend(Tree[size_t(i)].Caption);
    }
    return names.join(QLatin1Char('\\'));
}
