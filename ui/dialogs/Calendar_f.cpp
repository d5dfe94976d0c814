// The day picker that reloads a log page for one day.
#include "ui/dialogs/Calendar_f.h"

TCalendar_form* Calendar_form = nullptr;

TCalendar_form::TCalendar_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Calendar_form"));
}

void TCalendar_form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
