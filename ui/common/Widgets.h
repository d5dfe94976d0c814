// The widget makers and the click binder every window builds with: one set, one argument order
// (object name, caption, parent, then the rest).
#pragma once

#include "core/ExceptionGuard.h"

#include <QAbstractButton>
#include <QObject>
#include <QString>

#include <type_traits>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

// A child widget with its object name (the name the language files and the tests find it by).
template <class T> T* Make(const char* Name, QWidget* Parent) {
    auto* widget = new T(Parent);
    widget->setObjectName(QLatin1String(Name));
    return widget;
}

// Enter belongs to the fields of a form, never to a default button.
QPushButton* MakeButton(const char* Name, const QString& Caption, QWidget* Parent);
QLabel* MakeLabel(const char* Name, const QString& Caption, QWidget* Parent);
QCheckBox* MakeCheck(const char* Name, const QString& Caption, QWidget* Parent, bool Checked = false);

// Runs Handler on a click, guarded under the handler's name Where (a literal). Handler is a
// callable or a member function of Owner; the connection goes with Owner.
template <class O, class F> void BindClick(QAbstractButton* Button, const char* Where, O* Owner, F Handler) {
    QObject::connect(Button, &QAbstractButton::clicked, Owner, [Owner, Where, Handler] {
        Guarded(Where, [&] {
            if constexpr (std::is_member_function_pointer_v<F>)
                (Owner->*Handler)();
            else
                Handler();
        });
    });
}
