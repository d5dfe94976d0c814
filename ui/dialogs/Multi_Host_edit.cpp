// The dialog that edits several hosts at once.
#include "ui/dialogs/Multi_Host_edit.h"

TMultiple_hosts_edit_form* Multiple_hosts_edit_form = nullptr;

TMultiple_hosts_edit_form::TMultiple_hosts_edit_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Multiple_hosts_edit_form"));
}

void TMultiple_hosts_edit_form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
