// The table of controls each language line is shown in, and setting a window's controls from it.
// The table is generated from tools/lang/master.tsv (ui/main/LangTargets.inc).
#pragma once

#include <QString>

#include <span>

class LangTextTable;
class QFontMetrics;
class QObject;
class TGxCustomColumn;
class QWidget;

enum TLangProperty { lpText, lpHint, lpTab, lpTitle, lpHeader, lpItem };

struct TLangTarget {
    int Line;
    const char* Window;  // object name of the top-level window
    const char* Control; // object name inside it; empty: the window itself
    TLangProperty Property;
    const char* Column; // lpHeader: the grid column's name
    int Item;           // lpItem: the combo box item's index
};

// Widens Column, when it is narrower, to show Text (a header caption or a cell word) whole.
void WidenColumnFor(TGxCustomColumn& Column, const QFontMetrics& Metrics, const QString& Text);

// Every row of the table, in line order.
std::span<const TLangTarget> LangTargets();

// The object Target names inside Window, or nullptr. For a header it is the grid view; for a tab,
// the page. Null also when the control is of a kind the property does not apply to, or when the
// column or item it names does not exist.
QObject* FindLangTarget(QWidget& Window, const TLangTarget& Target);

// What Target shows now (null when FindLangTarget finds nothing); tooltips as set.
QString LangTargetText(QWidget& Window, const TLangTarget& Target);

// Sets the targets of Window's rows whose line is below LineCount to the lines' texts in Texts.
// Missing targets are skipped. Texts are shown as written, never as markup. A header wider than
// its column widens the column. Returns the number of targets found.
int ApplyLangTargets(QWidget& Window, const LangTextTable& Texts, int LineCount);

// ApplyLangTargets for every top-level window the table names.
void ApplyLangTargetsToAllWindows(const LangTextTable& Texts, int LineCount);
