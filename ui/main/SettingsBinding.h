// Option controls bound to the settings model: a control shows the model's value, takes the
// field's range, and writes every change of the operator's back; a change of the model from
// elsewhere (the settings file) shows in the control.
#pragma once

#include "core/SettingsModel.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

// Each binding lives as long as the control; the model must outlive the control.
void BindSpinBox(QSpinBox& Box, TSettingsModel& Model, int TSettings::*Member);
void BindCheckBox(QCheckBox& Box, TSettingsModel& Model, bool TSettings::*Member);
void BindLineEdit(QLineEdit& Edit, TSettingsModel& Model, QString TSettings::*Member);
