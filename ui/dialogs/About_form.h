// The about box.
#pragma once

#include <QDialog>

class TMonitorServices;

class TAbout_f : public QDialog {
    Q_OBJECT

public:
    explicit TAbout_f(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TAbout_f* About_f;
