// The column settings dialog; created last, it loads the start-up settings.
#include "ui/main/column_options.h"

#include "core/DataFolder.h"
#include "core/LangTexts.h"

TColumn_Form* Column_Form = nullptr;

TColumn_Form::TColumn_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Column_Form"));
}

void TColumn_Form::FormCreate(TMonitorServices&) {
    LoadStartupSettings();
}

void TColumn_Form::LoadStartupSettings() {
    // The language first. No settings file names one yet, so the system's language chooses it; a
    // missing file leaves the built-in English texts and one program-log line.
    LangTexts::Load(DataFolder(), FirstLanguageName());
    // The settings lines, the age clean-up, sounds, column visibility, syslog and messaging join
    // here with the settings files.
}
