// Two-way bindings between option controls and the settings model.
#include "ui/main/SettingsBinding.h"

#include "core/ExceptionGuard.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

namespace {

template <class TValue> void Store(TSettingsModel& Model, TValue TSettings::*Member, const TValue& Value) {
    TSettings values = *Model.Snapshot();
    values.*Member = Value;
    Model.Replace(values);
}

// Connects a control's change signal to the model, and the model's notification to the control;
// both connections end with the control.
template <class TControl, class TValue, class TSignal, class TShow>
void Bind(TControl& Control, TSettingsModel& Model, TValue TSettings::*Member, TSignal Signal, TShow Show) {
    Show(Model.Snapshot().get()->*Member);
    QObject::connect(&Control, Signal, &Control, [&Model, Member](const TValue& Value) {
        try {
            Store(Model, Member, Value);
        } catch (...) {
            ReportCurrentException("settings binding");
        }
    });
    QObject::connect(&Model, &TSettingsModel::Changed, &Control,
                     [&Model, Member, Show] { Show(Model.Snapshot().get()->*Member); });
}

} // namespace

void BindSpinBox(QSpinBox& Box, TSettingsModel& Model, int TSettings::*Member) {
    const TSettingsField& field = SettingsFieldOf(Member);
    Box.setRange(field.Min, field.Max);
    Bind(Box, Model, Member, &QSpinBox::valueChanged, [&Box](int Value) {
        if (Box.value() != Value) {
            Box.setValue(Value);
        }
    });
}

void BindCheckBox(QCheckBox& Box, TSettingsModel& Model, bool TSettings::*Member) {
    Bind(Box, Model, Member, &QCheckBox::toggled, [&Box](bool Value) {
        if (Box.isChecked() != Value) {
            Box.setChecked(Value);
        }
    });
}

void BindLineEdit(QLineEdit& Edit, TSettingsModel& Model, QString TSettings::*Member) {
    Bind(Edit, Model, Member, &QLineEdit::textChanged, [&Edit](const QString& Value) {
        if (Edit.text() != Value) {
            Edit.setText(Value);
        }
    });
}
