// The big status hint of the tray icon; it owns the text tray icon.
#pragma once

#include <QWidget>

class TMonitorServices;

class TBig_hint_form : public QWidget {
    Q_OBJECT

public:
    explicit TBig_hint_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TBig_hint_form* Big_hint_form;
