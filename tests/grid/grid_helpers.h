// Shared helpers of the grid model tests: a grid with one column of every kind, locales.
#pragma once

#include "grid/GxGrid.h"

#include <QLocale>
#include <memory>

namespace gridtest {

inline QLocale English() {
    return QLocale(QLocale::English, QLocale::UnitedStates);
}
inline QLocale German() {
    return QLocale(QLocale::German, QLocale::Germany);
}

// Columns: Name (text), Enabled (check box), Count (number), number_ (increment), Kind (list),
// When (date), Status (text).
std::unique_ptr<TDataGrid> MakeGrid(const QLocale& locale = English());

// Runs fn and returns the message of the grid error it raised ("" when none).
template <class Fn> QString ErrorOf(Fn&& fn) {
    try {
        fn();
    } catch (const EGridError& e) {
        return e.Message();
    }
    return QString();
}

} // namespace gridtest
