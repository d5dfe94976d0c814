// The column settings dialog; created last, it loads the start-up settings.
#include "ui/main/column_options.h"

TColumn_Form* Column_Form = nullptr;

TColumn_Form::TColumn_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Column_Form"));
}

void TColumn_Form::FormCreate() {
    LoadStartupSettings();
}

void TColumn_Form::LoadStartupSettings() {
    // Filled by the settings loader.
}
