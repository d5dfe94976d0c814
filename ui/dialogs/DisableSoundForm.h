// The dialog that switches alarm sounds off for a period.
#pragma once

#include <QDialog>

class TMonitorServices;

class TSoundDisableForm : public QDialog {
    Q_OBJECT

public:
    explicit TSoundDisableForm(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TSoundDisableForm* SoundDisableForm;
