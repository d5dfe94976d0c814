// The column settings dialog; created last, it loads the start-up settings.
#include "ui/main/column_options.h"

#include "core/ColumnVisibility.h"
#include "core/DataFolder.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SettingsFiles.h"
#include "ui/main/main_form.h"

#include <QFile>

TColumn_Form* Column_Form = nullptr;

TColumn_Form::TColumn_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Column_Form"));
}

void TColumn_Form::FormCreate(TMonitorServices& Services) {
    FServices = &Services;
    LoadStartupSettings();
}

void TColumn_Form::LoadStartupSettings() {
    // The language first. No settings file names one yet, so the system's language chooses it; a
    // missing file leaves the built-in English texts and one program-log line.
    LangTexts::Load(DataFolder(), FirstLanguageName());
    if (!FServices) {
        return;
    }
    // Each line is read on its own: a missing or bad line keeps its default and the rest still
    // apply. Lines 40 and 47 belong to the database and language loaders; the settings model
    // holds them too so the next save writes them back.
    QFile file(DataFolder() + QStringLiteral("Settings.cnfg"));
    TSettings values = *FServices->Settings().Snapshot();
    if (file.open(QIODevice::ReadOnly)) {
        std::vector<int> lines = StartupSettingsLines();
        lines.push_back(40);
        lines.push_back(47);
        ApplySettingsLines(FileTextToLines(file.readAll()), lines, values);
        FServices->Settings().Replace(values);
    }
    // The age clean-up runs whatever the file held.
    DeleteAgedRows(FServices->Database(), *FServices->Settings().Snapshot(), CurrentLocalUnixTime());
    ApplyColumnVisibility();
    // Idempotent: a server the options already started goes on.
    if (Form1) {
        Form1->StartSyslogServer();
    }
    // The sound list and messaging sign-on join here.
}

void TColumn_Form::ApplyColumnVisibility() {
    if (FServices) {
        ::ApplyColumnVisibility(FServices->DataGrid1(), *FServices->Settings().Snapshot());
    }
}
