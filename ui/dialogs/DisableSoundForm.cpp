// The sound-off dialog: two lines of text and two choices.
#include "ui/dialogs/DisableSoundForm.h"

#include "core/AlertFlags.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TSoundDisableForm* SoundDisableForm = nullptr;

TSoundDisableForm::TSoundDisableForm(TMonitorServices&, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SoundDisableForm"));
    setModal(true);
    auto* layout = new QGridLayout(this);
    Label1 = new QLabel(LangText(237), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(LangText(343), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    BitBtn1 = new QPushButton(LangText(238), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(LangText(239), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn1->setAutoDefault(false);
    BitBtn2->setAutoDefault(false);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Label2, 0, 1);
    layout->addWidget(BitBtn1, 1, 0);
    layout->addWidget(BitBtn2, 1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TSoundDisableForm.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TSoundDisableForm.BitBtn2Click", [this] { BitBtn2Click(); }); });
}

void TSoundDisableForm::FormCreate() {
    // Nothing to load: the main window hands over its box and settings save when it shows us.
}

void TSoundDisableForm::BitBtn1Click() {
    close();
}

void TSoundDisableForm::BitBtn2Click() {
    // Setting the box runs its handler, as a click would.
    if (SoundAlarmBox) {
        SoundAlarmBox->setChecked(!SoundMuted);
    }
    if (SaveSettings) {
        SaveSettings();
    }
    close();
}
