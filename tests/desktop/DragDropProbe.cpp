// Test probe for the real-display drag: a host grid view and a group tree wired as the host page
// wires them (a press that becomes a drag of "Kod_|row", a text target on the tree). It writes
// the screen points to use to <dir>/ready, and one line per drop and per finished drag to
// <dir>/events: "drop <text> <group or ->" and "result <drag result> <performed effect>".
#include "core/HostGrid.h"
#include "desktop/DragDropText.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

void Append(const QString& Path, const QString& Line) {
    QFile file(Path);
    if (file.open(QIODevice::Append))
        file.write((Line + "\n").toUtf8());
}

// DataGrid1MouseDown: the press on a row becomes a copy-only drag of its Kod_ and index.
class TPressHook : public QObject {
public:
    TPressHook(TGxGridView& View, TDropTextSource& Source, QString Events)
        : FView(View), FSource(Source), FEvents(std::move(Events)) {}

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() != QEvent::MouseButtonPress)
            return false;
        const QPoint press = static_cast<QMouseEvent*>(Event)->position().toPoint();
        int row = -1;
        for (int r = 0; r < FView.Grid().RowCount(); ++r)
            if (FView.RowRect(r).contains(press))
                row = r;
        if (row < 0 || !DetectDragStart(FView.viewport(), press))
            return false;
        FSource.SetText(FView.Grid().Cell("Kod_", row).GetAsString() + "|" + QString::number(row));
        try {
            const TDragResult result = FSource.PerformDrag(false);
            Append(FEvents,
                   QStringLiteral("result %1 %2").arg(int(result)).arg(FSource.GetPerformedDropEffect()));
        } catch (const EDragDropError& e) {
            Append(FEvents, "error " + e.Message());
        }
        return true;
    }

private:
    TGxGridView& FView;
    TDropTextSource& FSource;
    QString FEvents;
};

QString Point(QPoint P) {
    return QStringLiteral("%1 %2").arg(P.x()).arg(P.y());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: drag_drop_probe <dir>\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString events = dir + "/events";

    TDataGrid grid;
    CreateHostGridColumns(grid);
    grid.AddRow(5);
    for (int row = 0; row < 5; ++row) {
        grid.Cell("Kod_", row).SetAsString(QString::number(10 + row));
        grid.Cell("Host", row).SetAsString(QStringLiteral("host-%1").arg(row));
    }
    QWidget form;
    form.setWindowTitle("ZtDragProbe");
    form.setGeometry(40, 40, 800, 400);
    TGxGridView view(&grid, &form);
    view.setGeometry(0, 0, 500, 300);
    QTreeWidget tree(&form);
    tree.setGeometry(520, 0, 250, 300);
    tree.setHeaderHidden(true);
    for (const char* group : {"2", "5"}) {
        auto* node = new QTreeWidgetItem(&tree, QStringList(QStringLiteral("Group %1").arg(group)));
        node->setData(0, Qt::UserRole, QString::fromLatin1(group));
    }

    TDropTextSource source(&form);
    TDropTextTarget target(&form);
    target.SetTarget(&tree);
    target.OnDrop = [&](QObject*, TShiftState, QPoint APoint, uint32_t&) {
        QTreeWidgetItem* node = tree.itemAt(APoint);
        Append(events, "drop " + target.Text() + " " + (node ? node->data(0, Qt::UserRole).toString() : "-"));
    };
    TPressHook hook(view, source, events);
    view.viewport()->installEventFilter(&hook);
    form.show();

    QTimer::singleShot(700, &app, [&] {
        const QPoint row1 = view.viewport()->mapToGlobal(view.CellRect(1, 1).center());
        const QPoint row3 = view.viewport()->mapToGlobal(view.CellRect(1, 3).center());
        const QPoint group5 =
            tree.viewport()->mapToGlobal(tree.visualItemRect(tree.topLevelItem(1)).center());
        const QPoint empty = tree.viewport()->mapToGlobal(QPoint(60, tree.viewport()->height() - 40));
        QFile out(dir + "/ready.part");
        if (!out.open(QIODevice::WriteOnly))
            QCoreApplication::exit(3);
        out.write(
            (Point(row1) + " " + Point(row3) + " " + Point(group5) + " " + Point(empty) + "\n").toUtf8());
        out.close();
        QFile::rename(dir + "/ready.part", dir + "/ready");
    });
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(0); }); // never outlives its test
    return app.exec();
}
