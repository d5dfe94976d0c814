// The group picker with its own copy of the group tree.
#pragma once

#include "core/DatabaseLoader.h"
#include "core/WindowRoles.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;
class TMonitorServices;

class TGroup_Select_Form : public QDialog, public IGroupPicker {
    Q_OBJECT

public:
    explicit TGroup_Select_Form(TMonitorServices& Services, QWidget* parent = nullptr);
    bool PickGroup(const TGroupTree& Nodes, int& Group, QString& Path) override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // Replaces the picker's nodes by Nodes (parents before children) and selects none.
    void ShowTree(const TGroupTree& Nodes);

    // OK: the selected node's own N_group and its path from the top become the choice; Close
    // leaves the choice as it was.
    void BitBtn1Click();
    void BitBtn2Click();
    bool HasSelection() const { return FChosen; }

    int SelectedGroup = 0;
    QString SelectedPath;

    QTreeWidget* TreeView1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // "OK"
    QPushButton* BitBtn2 = nullptr; // "Close"

private:
    TGroupTree FNodes;
    bool FChosen = false;
};

extern TGroup_Select_Form* Group_Select_Form;
