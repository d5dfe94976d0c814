// The fit check of the window tests: each control's caption measured as the style lays it out,
// against the part of the control that is still on screen.
#include "tests/support/WidgetFit.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace zt::test {

namespace {

// Mnemonic ampersands are not drawn, a doubled one is drawn once.
QString WithoutMnemonics(const QString& Text) {
    QString out;
    out.reserve(Text.size());
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == QLatin1Char('&') && i + 1 < Text.size()) {
            ++i;
        }
        out += Text[i];
    }
    return out;
}

QString WindowName(const QWidget& Control) {
    const QWidget* window = Control.window();
    return window->objectName().isEmpty() ? QString::fromLatin1(window->metaObject()->className())
                                          : window->objectName();
}

// Unnamed controls (labels made in a layout) by their class and the nearest named ancestor.
QString ObjectName(const QObject& Control) {
    if (!Control.objectName().isEmpty()) {
        return Control.objectName();
    }
    QString name = QString::fromLatin1(Control.metaObject()->className());
    for (const QObject* up = Control.parent(); up; up = up->parent()) {
        if (!up->objectName().isEmpty()) {
            return name + QStringLiteral(" in ") + up->objectName();
        }
    }
    return name;
}

// The width of Inner (in Control's coordinates) that is left once every ancestor up to the window
// has clipped it.
int ShownWidth(const QWidget& Control, QRect Inner) {
    const QWidget* at = &Control;
    while (!at->isWindow() && at->parentWidget()) {
        Inner.translate(at->pos());
        at = at->parentWidget();
        Inner &= at->rect();
    }
    return std::max(0, Inner.width());
}

void Add(std::vector<TMisfit>& Out, const QWidget& Control, const QString& Text, int Needed, int Available) {
    if (Needed > Available) {
        Out.push_back({WindowName(Control), ObjectName(Control), Text, Needed, Available});
    }
}

int LabelTextWidth(const QLabel& Label) {
    const QString text = Label.text();
    const Qt::TextFormat format = Label.textFormat();
    if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument document;
        document.setDefaultFont(Label.font());
        document.setDocumentMargin(0);
        document.setHtml(text);
        return int(std::ceil(document.idealWidth()));
    }
    // A label shows its mnemonic only when it has a buddy.
    return Label.buddy()
               ? CaptionWidth(Label, text)
               : CaptionWidth(Label, QString(text).replace(QStringLiteral("&"), QStringLiteral("&&")));
}

void CheckLabel(std::vector<TMisfit>& Out, const QLabel& Label) {
    if (Label.text().isEmpty()) {
        return;
    }
    const QRect inner = Label.contentsRect().adjusted(Label.margin(), 0, -Label.margin(), 0);
    if (Label.wordWrap()) {
        // A wrapped label needs room for its longest word, and its lines need height.
        int widest = 0;
        for (const QString& word : Label.text().split(QRegularExpression(QStringLiteral("\\s+")))) {
            widest = std::max(widest, CaptionWidth(Label, word));
        }
        Add(Out, Label, Label.text(), widest, ShownWidth(Label, inner));
        return;
    }
    Add(Out, Label, Label.text(), LabelTextWidth(Label), ShownWidth(Label, inner));
}

int IconRoom(const QAbstractButton& Button) {
    return Button.icon().isNull() ? 0 : Button.iconSize().width() + 4;
}

void CheckPushButton(std::vector<TMisfit>& Out, const QPushButton& Button) {
    if (Button.text().isEmpty()) {
        return;
    }
    QStyleOptionButton option;
    option.initFrom(&Button);
    option.text = Button.text();
    option.icon = Button.icon();
    option.iconSize = Button.iconSize();
    if (Button.autoDefault()) {
        option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    int content = CaptionWidth(Button, Button.text()) + IconRoom(Button);
    if (Button.menu()) {
        content += Button.style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, &Button);
    }
    // A style may give short captions a minimum width; only its margins count here.
    constexpr int wide = 1000;
    const int margins = Button.style()
                            ->sizeFromContents(QStyle::CT_PushButton, &option,
                                               QSize(wide, Button.fontMetrics().height()), &Button)
                            .width() -
                        wide;
    Add(Out, Button, Button.text(), content + margins, ShownWidth(Button, Button.rect()));
}

// Check boxes and radio buttons: the indicator, the style's spacing, then the caption.
void CheckIndicatorButton(std::vector<TMisfit>& Out, const QAbstractButton& Button, bool Radio) {
    if (Button.text().isEmpty()) {
        return;
    }
    const QStyle* style = Button.style();
    QStyleOptionButton option;
    option.initFrom(&Button);
    const int indicator = style->pixelMetric(
        Radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, &option, &Button);
    const int spacing = style->pixelMetric(
        Radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing, &option, &Button);
    const int needed = indicator + spacing + IconRoom(Button) + CaptionWidth(Button, Button.text());
    Add(Out, Button, Button.text(), needed, ShownWidth(Button, Button.rect()));
}

// The title as the style places it, with as much room after it as before it.
void CheckGroupBox(std::vector<TMisfit>& Out, const QGroupBox& Box) {
    if (Box.title().isEmpty()) {
        return;
    }
    QStyleOptionGroupBox option;
    option.initFrom(&Box);
    option.text = Box.title();
    option.lineWidth = 1;
    option.textAlignment = Box.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (Box.isCheckable()) {
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    }
    if (Box.isFlat()) {
        option.features |= QStyleOptionFrame::Flat;
    }
    const QStyle* style = Box.style();
    const QRect label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &Box);
    int start = label.left();
    if (Box.isCheckable()) {
        start = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxCheckBox, &Box).left();
    }
    // The label rectangle follows the text, so it is never narrower than the title.
    const int text = std::max(label.width(), CaptionWidth(Box, Box.title()));
    const int needed = label.left() + text + start;
    Add(Out, Box, Box.title(), needed, ShownWidth(Box, Box.rect()));
}

void CheckTabBar(std::vector<TMisfit>& Out, const QTabBar& Bar) {
    QStyleOptionTab option;
    option.initFrom(&Bar);
    const int space = Bar.style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, &Bar);
    for (int i = 0; i < Bar.count(); ++i) {
        if (!Bar.isTabVisible(i)) {
            continue;
        }
        const QString text = Bar.tabText(i);
        const int icon = Bar.tabIcon(i).isNull() ? 0 : Bar.iconSize().width() + 4;
        const int needed = CaptionWidth(Bar, text) + space + icon;
        const int available = ShownWidth(Bar, Bar.tabRect(i) & Bar.rect());
        if (needed > available) {
            Out.push_back({WindowName(Bar), ObjectName(Bar) + QStringLiteral(" tab %1").arg(i), text, needed,
                           available});
        }
    }
}

bool AnyAction(const QMenu& Menu, bool (*Test)(const QAction&)) {
    const QList<QAction*> actions = Menu.actions();
    return std::any_of(actions.begin(), actions.end(), [Test](const QAction* a) { return Test(*a); });
}

} // namespace

int CaptionWidth(const QWidget& Control, const QString& Text) {
    const QFontMetrics metrics = Control.fontMetrics();
    int widest = 0;
    for (const QString& line : Text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(WithoutMnemonics(line)));
    }
    return widest;
}

std::vector<TMisfit> FindMisfits(const QWidget& Root) {
    std::vector<TMisfit> out;
    QList<const QWidget*> widgets{&Root};
    for (const QWidget* child : Root.findChildren<QWidget*>()) {
        widgets << child;
    }
    for (const QWidget* widget : widgets) {
        if (!widget->isVisible()) {
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            CheckLabel(out, *label);
        } else if (const auto* push = qobject_cast<const QPushButton*>(widget)) {
            CheckPushButton(out, *push);
        } else if (const auto* check = qobject_cast<const QCheckBox*>(widget)) {
            CheckIndicatorButton(out, *check, false);
        } else if (const auto* radio = qobject_cast<const QRadioButton*>(widget)) {
            CheckIndicatorButton(out, *radio, true);
        } else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
            CheckGroupBox(out, *box);
        } else if (const auto* bar = qobject_cast<const QTabBar*>(widget)) {
            CheckTabBar(out, *bar);
        }
    }
    return out;
}

std::vector<TMisfit> FindMenuMisfits(QMenu& Menu, const QString& WindowName) {
    std::vector<TMisfit> out;
    Menu.ensurePolished();
    Menu.adjustSize();
    const QStyle* style = Menu.style();
    const QFontMetrics metrics = Menu.fontMetrics();
    const bool checkable = AnyAction(Menu, [](const QAction& a) { return a.isCheckable(); });
    const bool icons = AnyAction(Menu, [](const QAction& a) { return !a.icon().isNull(); });
    // The shortcut column is as wide as the widest shortcut.
    int shortcuts = 0;
    for (const QAction* action : Menu.actions()) {
        const qsizetype tab = action->text().indexOf(u'\t');
        if (tab >= 0) {
            shortcuts = std::max(shortcuts, metrics.horizontalAdvance(action->text().mid(tab + 1)));
        }
    }
    const QList<QAction*> actions = Menu.actions();
    for (qsizetype index = 0; index < actions.size(); ++index) {
        QAction* action = actions[index];
        if (!action->isVisible() || action->isSeparator() || action->text().isEmpty()) {
            continue;
        }
        QStyleOptionMenuItem option;
        option.initFrom(&Menu);
        option.text = action->text();
        option.menuItemType = action->menu() ? QStyleOptionMenuItem::SubMenu : QStyleOptionMenuItem::Normal;
        option.checkType = !action->isCheckable() ? QStyleOptionMenuItem::NotCheckable
                           : action->actionGroup() && action->actionGroup()->isExclusive()
                               ? QStyleOptionMenuItem::Exclusive
                               : QStyleOptionMenuItem::NonExclusive;
        option.menuHasCheckableItems = checkable;
        option.maxIconWidth = icons ? style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &Menu) + 4 : 0;
        option.reservedShortcutWidth = shortcuts;
        option.font = Menu.font();
        QString text = action->text();
        const qsizetype tab = text.indexOf(u'\t');
        if (tab >= 0) {
            text.truncate(tab);
        }
        const QSize content(
            metrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, text).width(),
            metrics.height());
        const int needed =
            style->sizeFromContents(QStyle::CT_MenuItem, &option, content, &Menu).width() + shortcuts;
        const int available = (Menu.actionGeometry(action) & Menu.rect()).width();
        if (needed > available) {
            const QString item =
                action->objectName().isEmpty() ? QStringLiteral("item %1").arg(index) : action->objectName();
            out.push_back({WindowName, ObjectName(Menu) + QStringLiteral(" / ") + item, action->text(),
                           needed, available});
        }
    }
    return out;
}

std::vector<TMisfit> FindMenuBarMisfits(QMenuBar& Bar) {
    std::vector<TMisfit> out;
    QStyleOptionMenuItem option;
    option.initFrom(&Bar);
    const int margins =
        Bar.style()->sizeFromContents(QStyle::CT_MenuBarItem, &option, QSize(0, 0), &Bar).width();
    for (QAction* action : Bar.actions()) {
        if (!action->isVisible() || action->isSeparator()) {
            continue;
        }
        const int needed = CaptionWidth(Bar, action->text()) + margins;
        const int available = ShownWidth(Bar, Bar.actionGeometry(action) & Bar.rect());
        if (needed > available) {
            out.push_back({WindowName(Bar),
                           ObjectName(Bar) + QStringLiteral(" / ") +
                               (action->menu() ? ObjectName(*action->menu()) : ObjectName(*action)),
                           action->text(), needed, available});
        }
        if (QMenu* menu = action->menu()) {
            const std::vector<TMisfit> items = FindMenuMisfits(*menu, WindowName(Bar));
            out.insert(out.end(), items.begin(), items.end());
        }
    }
    return out;
}

std::string MisfitReport(const std::vector<TMisfit>& Misfits) {
    std::string report;
    for (const TMisfit& m : Misfits) {
        report += QStringLiteral("%1 / %2: \"%3\" needs %4 px, has %5 px\n")
                      .arg(m.Window, m.Object, m.Text)
                      .arg(m.Needed)
                      .arg(m.Available)
                      .toStdString();
    }
    return report;
}

} // namespace zt::test
