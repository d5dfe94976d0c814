// The host types dialog.
#include "ui/dialogs/types_of_host_form.h"

TTypes_form* Types_form = nullptr;

TTypes_form::TTypes_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Types_form"));
}

void TTypes_form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
