// The e-mail and instant-message notification settings dialog.
#pragma once

#include <QDialog>

class TMonitorServices;

class TEmail_settings_form : public QDialog {
    Q_OBJECT

public:
    explicit TEmail_settings_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TEmail_settings_form* Email_settings_form;
