// The about box.
#include "ui/dialogs/About_form.h"

TAbout_f* About_f = nullptr;

TAbout_f::TAbout_f(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About_f"));
}

void TAbout_f::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
