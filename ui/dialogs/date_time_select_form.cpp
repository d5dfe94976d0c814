// The "Select date" dialog of the tools window's charts.
#include "ui/dialogs/date_time_select_form.h"

#include "core/ExceptionGuard.h"
#include "ui/dialogs/ToolChartPages.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>

TSelect_date_Form* Select_date_Form = nullptr;

TSelect_date_Form::TSelect_date_Form(TMonitorServices&, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Select_date_Form"));
    setWindowTitle(QStringLiteral("Traffic from selected date"));
    auto* grid = new QGridLayout(this);
    Label1 = new QLabel(QStringLiteral("Traffic from selected date"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateTimePicker2 = new QTimeEdit(this);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    DateTimePicker2->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton(QStringLiteral("Close"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(DateTimePicker1, 1, 0);
    grid->addWidget(DateTimePicker2, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] {
        Guarded("TSelect_date_Form.DateTimePicker1Change", [this] { DateTimePicker1Change(); });
    });
    connect(DateTimePicker2, &QTimeEdit::timeChanged, this, [this] {
        Guarded("TSelect_date_Form.DateTimePicker2Change", [this] { DateTimePicker1Change(); });
    });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TSelect_date_Form.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TSelect_date_Form.BitBtn2Click", [this] { BitBtn2Click(); }); });
    Preset(QDateTime::currentDateTime());
}

void TSelect_date_Form::FormCreate() {
    Preset(QDateTime::currentDateTime());
}

void TSelect_date_Form::Preset(const QDateTime& Now) {
    // Both pickers from the same instant: shortly after midnight the hour before is yesterday's.
    const QDateTime start = Now.addSecs(-3600);
    const QSignalBlocker dateBlock(DateTimePicker1);
    const QSignalBlocker timeBlock(DateTimePicker2);
    DateTimePicker1->setDate(start.date());
    DateTimePicker2->setTime(start.time());
}

QDateTime TSelect_date_Form::EndTime() const {
    return QDateTime(DateTimePicker1->date(), DateTimePicker2->time()).addSecs(3600);
}

void TSelect_date_Form::DateTimePicker1Change() {
    if (!FPages)
        return;
    if (FPages->ChartDateMode == 1)
        FPages->DrawTrafficChart(EndTime());
    else
        FPages->DrawLatencyChart(EndTime());
}

void TSelect_date_Form::BitBtn1Click() {
    DateTimePicker1Change();
    close();
}

void TSelect_date_Form::BitBtn2Click() {
    close();
}
