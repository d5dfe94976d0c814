// The dialog that switches alarm sounds off for a period.
#include "ui/dialogs/DisableSoundForm.h"

TSoundDisableForm* SoundDisableForm = nullptr;

TSoundDisableForm::TSoundDisableForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SoundDisableForm"));
}

void TSoundDisableForm::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
