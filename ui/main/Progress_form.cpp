// The progress window shown while a large host table loads at start-up.
#include "ui/main/Progress_form.h"

TProgress_Form* Progress_Form = nullptr;

TProgress_Form::TProgress_Form(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Progress_Form"));
}

void TProgress_Form::FormCreate() {
    // The window's start-up work joins here.
}
