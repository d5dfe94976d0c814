// The group picker with its own copy of the group tree.
#pragma once

#include <QDialog>

class TMonitorServices;

class TGroup_Select_Form : public QDialog {
    Q_OBJECT

public:
    explicit TGroup_Select_Form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TGroup_Select_Form* Group_Select_Form;
