// The progress window shown while a large host table loads at start-up.
#include "ui/main/Progress_form.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QVBoxLayout>

TProgress_Form* Progress_Form = nullptr;

TProgress_Form::TProgress_Form(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("Progress_Form"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    resize(420, 60);
}

void TProgress_Form::FormCreate(TMonitorServices&) {
    // Nothing to load: the host load shows the window when it needs it.
}

void TProgress_Form::SetMaximum(int Maximum) {
    ProgressBar1->setRange(0, Maximum);
}
void TProgress_Form::ShowProgress() {
    show();
}
void TProgress_Form::SetPosition(int Position) {
    ProgressBar1->setValue(Position);
}
void TProgress_Form::SetCaption(const QString& Caption) {
    setWindowTitle(Caption);
}
void TProgress_Form::ProcessMessages() {
    QCoreApplication::processEvents();
}
void TProgress_Form::CloseProgress() {
    close();
}
