// Language lines into captions, hints, tab texts, titles, column headers and combo items.
#include "ui/main/LanguageTargets.h"

#include "core/LangTexts.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMultiHash>
#include <QTabWidget>
#include <QTextDocument>

#include <algorithm>

namespace {

#include "ui/main/LangTargets.inc"

QTabWidget* TabsShowing(QWidget* Page, int* Index) {
    for (QWidget* parent = Page->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent)) {
            *Index = tabs->indexOf(Page);
            return *Index >= 0 ? tabs : nullptr;
        }
    }
    return nullptr;
}

bool HasCaption(QObject* Object) {
    return qobject_cast<QMenu*>(Object) || qobject_cast<QAction*>(Object) ||
           qobject_cast<QAbstractButton*>(Object) || qobject_cast<QLabel*>(Object) ||
           qobject_cast<QGroupBox*>(Object);
}

// The named controls of the kind the property needs; a grid's model may share its view's name.
bool Fits(QObject* Object, const TLangTarget& Target) {
    switch (Target.Property) {
    case lpText:
        return HasCaption(Object);
    case lpHint:
        return Object->isWidgetType() || qobject_cast<QAction*>(Object);
    case lpTab: {
        int index = -1;
        return Object->isWidgetType() && TabsShowing(static_cast<QWidget*>(Object), &index);
    }
    case lpTitle:
        return Object->isWidgetType();
    case lpHeader: {
        auto* view = qobject_cast<TGxGridView*>(Object);
        return view && view->Grid().Columns().ColumnByName(QLatin1String(Target.Column));
    }
    case lpItem: {
        auto* combo = qobject_cast<QComboBox*>(Object);
        return combo && Target.Item < combo->count();
    }
    }
    return false;
}

// A tooltip that looks like markup is escaped, so it shows as written.
QString PlainHint(const QString& Text) {
    return Qt::mightBeRichText(Text) ? QStringLiteral("<p>") + Text.toHtmlEscaped() + QStringLiteral("</p>")
                                     : Text;
}

void SetCaption(QObject* Object, const QString& Text) {
    if (auto* menu = qobject_cast<QMenu*>(Object))
        menu->setTitle(Text);
    else if (auto* action = qobject_cast<QAction*>(Object))
        action->setText(Text);
    else if (auto* button = qobject_cast<QAbstractButton*>(Object))
        button->setText(Text);
    else if (auto* label = qobject_cast<QLabel*>(Object)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(Text);
    } else if (auto* box = qobject_cast<QGroupBox*>(Object))
        box->setTitle(Text);
}

void SetHeader(TGxGridView& View, const char* Column, const QString& Text) {
    TGxCustomColumn* column = View.Grid().Columns().ColumnByName(QLatin1String(Column));
    if (column->Header().Caption() == Text)
        return;
    column->Header().SetCaption(Text);
    // A caption longer than its column gets room, also in a column shown only later; one that
    // got shorter leaves the width alone.
    WidenColumnFor(*column, View.fontMetrics(), Text);
}

void Apply(QObject* Object, const TLangTarget& Target, const QString& Text) {
    switch (Target.Property) {
    case lpText:
        SetCaption(Object, Text);
        break;
    case lpHint:
        if (auto* action = qobject_cast<QAction*>(Object))
            action->setToolTip(PlainHint(Text));
        else
            static_cast<QWidget*>(Object)->setToolTip(PlainHint(Text));
        break;
    case lpTab: {
        int index = -1;
        if (QTabWidget* tabs = TabsShowing(static_cast<QWidget*>(Object), &index))
            tabs->setTabText(index, Text);
        break;
    }
    case lpTitle:
        static_cast<QWidget*>(Object)->setWindowTitle(Text);
        break;
    case lpHeader:
        SetHeader(*static_cast<TGxGridView*>(Object), Target.Column, Text);
        break;
    case lpItem:
        static_cast<QComboBox*>(Object)->setItemText(Target.Item, Text);
        break;
    }
}

} // namespace

void WidenColumnFor(TGxCustomColumn& Column, const QFontMetrics& Metrics, const QString& Text) {
    const int needed = Metrics.horizontalAdvance(Text) + 16;
    if (Column.Width() < needed)
        Column.SetWidth(needed);
}

std::span<const TLangTarget> LangTargets() {
    return LangTargetRows;
}

namespace {

// The window's objects by name, looked up once for all of its rows.
class TNamedObjects {
public:
    explicit TNamedObjects(QWidget& Window) : FWindow(Window) {
        for (QObject* object : Window.findChildren<QObject*>())
            if (!object->objectName().isEmpty())
                FObjects.insert(object->objectName(), object);
    }

    QObject* Find(const TLangTarget& Target) const {
        if (FWindow.objectName() != QLatin1String(Target.Window))
            return nullptr;
        if (!*Target.Control)
            return Fits(&FWindow, Target) ? &FWindow : nullptr;
        // values() lists the latest insertion first; the first made object comes first.
        const QList<QObject*> named = FObjects.values(QLatin1String(Target.Control));
        for (auto it = named.rbegin(); it != named.rend(); ++it)
            if (Fits(*it, Target))
                return *it;
        return nullptr;
    }

private:
    QWidget& FWindow;
    QMultiHash<QString, QObject*> FObjects;
};

} // namespace

QObject* FindLangTarget(QWidget& Window, const TLangTarget& Target) {
    return TNamedObjects(Window).Find(Target);
}

QString LangTargetText(QWidget& Window, const TLangTarget& Target) {
    QObject* object = FindLangTarget(Window, Target);
    if (!object)
        return {};
    switch (Target.Property) {
    case lpText:
        if (auto* menu = qobject_cast<QMenu*>(object))
            return menu->title();
        if (auto* action = qobject_cast<QAction*>(object))
            return action->text();
        if (auto* button = qobject_cast<QAbstractButton*>(object))
            return button->text();
        if (auto* label = qobject_cast<QLabel*>(object))
            return label->text();
        return static_cast<QGroupBox*>(object)->title();
    case lpHint:
        if (auto* action = qobject_cast<QAction*>(object))
            return action->toolTip();
        return static_cast<QWidget*>(object)->toolTip();
    case lpTab: {
        int index = -1;
        return TabsShowing(static_cast<QWidget*>(object), &index)->tabText(index);
    }
    case lpTitle:
        return static_cast<QWidget*>(object)->windowTitle();
    case lpHeader:
        return static_cast<TGxGridView*>(object)
            ->Grid()
            .Columns()
            .ColumnByName(QLatin1String(Target.Column))
            ->Header()
            .Caption();
    case lpItem:
        return static_cast<QComboBox*>(object)->itemText(Target.Item);
    }
    return {};
}

int ApplyLangTargets(QWidget& Window, const LangTextTable& Texts, int LineCount) {
    const TNamedObjects objects(Window);
    int found = 0;
    for (const TLangTarget& target : LangTargets()) {
        if (target.Line >= LineCount)
            break;
        if (QObject* object = objects.Find(target)) {
            Apply(object, target, Texts.Text(target.Line));
            ++found;
        }
    }
    return found;
}

void ApplyLangTargetsToAllWindows(const LangTextTable& Texts, int LineCount) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const QString name = window->objectName();
        const bool named = std::any_of(LangTargets().begin(), LangTargets().end(),
                                       [&](const TLangTarget& t) { return name == QLatin1String(t.Window); });
        if (named)
            ApplyLangTargets(*window, Texts, LineCount);
    }
}
