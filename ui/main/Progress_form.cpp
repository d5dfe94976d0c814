// The progress window shown while a large host table loads at start-up.
#include "ui/main/Progress_form.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QProgressBar>
#include <QVBoxLayout>

TProgress_Form* Progress_Form = nullptr;

namespace {
// Room the window manager takes from the title bar for its icon and buttons.
constexpr int TitleBarReserve = 160;
} // namespace

TProgress_Form::TProgress_Form(TMonitorServices&, QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("Progress_Form"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    resize(420, 60);
}

void TProgress_Form::FormCreate() {
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
    // The title carries the whole message (program, word and percentage): the window grows so the
    // title bar shows it uncut beside the frame's buttons.
    const int wanted = QFontMetrics(font()).horizontalAdvance(Caption) + TitleBarReserve;
    if (width() < wanted)
        resize(wanted, height());
}
void TProgress_Form::ProcessMessages() {
    QCoreApplication::processEvents();
}
void TProgress_Form::CloseProgress() {
    close();
}
