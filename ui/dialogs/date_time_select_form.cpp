// The date and time range dialog of the tools window's charts.
#include "ui/dialogs/date_time_select_form.h"

TSelect_date_Form* Select_date_Form = nullptr;

TSelect_date_Form::TSelect_date_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Select_date_Form"));
}

void TSelect_date_Form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
