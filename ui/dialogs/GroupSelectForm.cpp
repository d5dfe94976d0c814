// The group picker with its own copy of the group tree.
#include "ui/dialogs/GroupSelectForm.h"

TGroup_Select_Form* Group_Select_Form = nullptr;

TGroup_Select_Form::TGroup_Select_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Group_Select_Form"));
}

void TGroup_Select_Form::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
