// The date and time range dialog of the tools window's charts.
#pragma once

#include <QDialog>

class TMonitorServices;

class TSelect_date_Form : public QDialog {
    Q_OBJECT

public:
    explicit TSelect_date_Form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TSelect_date_Form* Select_date_Form;
