// The group picker with its own copy of the group tree.
#include "ui/dialogs/GroupSelectForm.h"

#include "core/ExceptionGuard.h"
#include "core/GroupPickerTree.h"
#include "ui/dialogs/HostDialogParts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TGroup_Select_Form* Group_Select_Form = nullptr;

TGroup_Select_Form::TGroup_Select_Form(TMonitorServices&, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Group_Select_Form"));
    setWindowTitle(QStringLiteral("Select group"));
    auto* layout = new QVBoxLayout(this);
    TreeView1 = Make<QTreeWidget>("TreeView1", this);
    TreeView1->setHeaderHidden(true);
    layout->addWidget(TreeView1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = MakeButton("BitBtn1", QStringLiteral("OK"), this);
    BitBtn2 = MakeButton("BitBtn2", QStringLiteral("Close"), this);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    resize(280, 320);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TGroup_Select_Form.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TGroup_Select_Form.BitBtn2Click", [this] { BitBtn2Click(); }); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { Guarded("TGroup_Select_Form.BitBtn1Click", [this] { BitBtn1Click(); }); });
}

void TGroup_Select_Form::FormCreate() {
    // The tree is built afresh each time the host dialog opens the picker.
}

bool TGroup_Select_Form::PickGroup(const TGroupTree& Nodes, int& Group, QString& Path) {
    ShowTree(Nodes);
    if (exec() != QDialog::Accepted || !HasSelection()) {
        return false;
    }
    Group = SelectedGroup;
    Path = SelectedPath;
    return true;
}

void TGroup_Select_Form::ShowTree(const TGroupTree& Nodes) {
    FNodes = Nodes;
    FChosen = false;
    TreeView1->clear();
    std::vector<QTreeWidgetItem*> items;
    for (const TGroupTreeNode& node : FNodes) {
        const int parent = node.ParentIndex;
        auto* item = parent >= 0 && parent < int(items.size()) ? new QTreeWidgetItem(items[size_t(parent)])
                                                               : new QTreeWidgetItem(TreeView1);
        item->setText(0, node.Caption);
        item->setData(0, Qt::UserRole, int(items.size()));
        items.push_back(item);
    }
    TreeView1->expandAll();
}

void TGroup_Select_Form::BitBtn1Click() {
    QTreeWidgetItem* item = TreeView1->currentItem();
    if (!item) {
        return;
    }
    const int node = item->data(0, Qt::UserRole).toInt();
    if (node < 0 || node >= int(FNodes.size())) {
        return;
    }
    SelectedGroup = FNodes[size_t(node)].Record->Group.toInt();
    SelectedPath = GroupPickerPath(FNodes, node);
    FChosen = true;
    accept();
}

void TGroup_Select_Form::BitBtn2Click() {
    reject();
}
