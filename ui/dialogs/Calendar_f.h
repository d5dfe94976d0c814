// The day picker that reloads a log page for one day.
#pragma once

#include <QDialog>

class TMonitorServices;

class TCalendar_form : public QDialog {
    Q_OBJECT

public:
    explicit TCalendar_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TCalendar_form* Calendar_form;
