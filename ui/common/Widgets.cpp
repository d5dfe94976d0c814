#include "ui/common/Widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

QPushButton* MakeButton(const char* Name, const QString& Caption, QWidget* Parent) {
    auto* button = Make<QPushButton>(Name, Parent);
    button->setAutoDefault(false);
    button->setText(Caption);
    return button;
}

QLabel* MakeLabel(const char* Name, const QString& Caption, QWidget* Parent) {
    auto* label = Make<QLabel>(Name, Parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(Caption);
    return label;
}

QCheckBox* MakeCheck(const char* Name, const QString& Caption, QWidget* Parent, bool Checked) {
    auto* box = Make<QCheckBox>(Name, Parent);
    box->setText(Caption);
    box->setChecked(Checked);
    return box;
}
