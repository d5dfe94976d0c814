// The big status hint of the tray icon; it owns the text tray icon.
#include "ui/main/BigHint.h"

TBig_hint_form* Big_hint_form = nullptr;

TBig_hint_form::TBig_hint_form(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Big_hint_form"));
}

void TBig_hint_form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
