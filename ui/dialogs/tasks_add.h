// The add/edit host dialog.
#pragma once

#include <QDialog>

class TMonitorServices;
struct THostDialogPreset;

class TTasks_form : public QDialog {
    Q_OBJECT

public:
    explicit TTasks_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);

    // Opens the dialog for the host page's Add or Edit with the values it gathered.
    void OpenHost(const THostDialogPreset& Preset);
};

extern TTasks_form* Tasks_form;
