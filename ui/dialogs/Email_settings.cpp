// The e-mail and instant-message notification settings dialog.
#include "ui/dialogs/Email_settings.h"

TEmail_settings_form* Email_settings_form = nullptr;

TEmail_settings_form::TEmail_settings_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Email_settings_form"));
}

void TEmail_settings_form::FormCreate(TMonitorServices&) {
    // The notification settings file is decrypted and read here.
}
