// The host types dialog.
#pragma once

#include <QDialog>

class TMonitorServices;

class TTypes_form : public QDialog {
    Q_OBJECT

public:
    explicit TTypes_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TTypes_form* Types_form;
