// The add/edit host dialog.
#include "ui/dialogs/tasks_add.h"

#include "core/HostDialogPreset.h"

TTasks_form* Tasks_form = nullptr;

TTasks_form::TTasks_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Tasks_form"));
}

void TTasks_form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}

void TTasks_form::OpenHost(const THostDialogPreset&) {
    // The dialog's controls join here.
}
