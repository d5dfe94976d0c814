// The fit check of the window tests: every shown caption (label, button, check box, radio button,
// group box title, tab, menu item) whose text needs more room than its control has on screen.
#pragma once

#include <QString>

#include <string>
#include <vector>

class QMenu;
class QMenuBar;
class QWidget;

namespace zt::test {

// One caption that does not fit: where it is, what it says, and the widths in pixels.
struct TMisfit {
    QString Window; // the top-level window's object name
    QString Object; // the control's object name; an unnamed one by its class and named parent
    QString Text;
    int Needed = 0;
    int Available = 0;
};

// Text widths as the style draws them: the font's advance of the widest line, mnemonics hidden.
int CaptionWidth(const QWidget& Control, const QString& Text);

// Every visible label, button, check box, radio button, group box title and tab under Root,
// measured in its widget's font with the style's margins. A control cut by an ancestor's edge
// (the window's or a box's) has only the part still shown.
std::vector<TMisfit> FindMisfits(const QWidget& Root);

// Every visible action of Menu, after the menu has laid itself out; WindowName names its owner.
std::vector<TMisfit> FindMenuMisfits(QMenu& Menu, const QString& WindowName);

// The menu bar's titles (a title pushed into the overflow has no room at all) and every action
// of each of its menus.
std::vector<TMisfit> FindMenuBarMisfits(QMenuBar& Bar);

// One line per misfit: window, object, "text", needed vs available width.
std::string MisfitReport(const std::vector<TMisfit>& Misfits);

} // namespace zt::test
