// Test probe for the host drag on a real display: the program's own windows (created in their
// order on <dir>/Data) with the main window shown on its hosts page. It writes <dir>/ready with
// the screen points of the shown host rows ("row <Host> x y"), the tree nodes ("node <N_group> x
// y") and a free spot below them ("empty x y"), and keeps <dir>/shown holding the shown hosts.
// With "sorted" the host list is first sorted by name, descending. No pass runs and no long
// transaction opens, so every statement is on disk at once.
#include "core/DataFolder.h"
#include "core/DatabaseTransaction.h"
#include "core/MonitorController.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/MessageBox.h"
#include "ui/main/HostPageView.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>

namespace {

void WriteAtomic(const QString& Path, const QString& Text) {
    QFile file(Path + ".part");
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(Text.toUtf8());
    file.close();
    QFile::remove(Path);
    QFile::rename(Path + ".part", Path);
}

QString Point(QPoint P) {
    return QStringLiteral("%1 %2").arg(P.x()).arg(P.y());
}

QString ShownHosts(TDataGrid& Grid) {
    QStringList hosts;
    for (int r = 0; r < Grid.RowCount(); ++r)
        if (Grid.GetRowVisible(r))
            hosts << Grid.CellText(Grid.ColumnIndex(u"Host"), r);
    return hosts.join(u',') + u'\n';
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: host_page_probe <dir> [sorted]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool sorted = argc > 2 && QByteArray(argv[2]) == "sorted";
    SetDataFolder(dir + "/Data");
    SetMessageBoxHandler([](const QString&, const QString& Text) {
        std::fprintf(stderr, "message: %s\n", Text.toUtf8().constData());
    });
    CreateForms();
    Form1->Monitor().Timer4.stop();
    Form1->Monitor().Timer10.stop();
    // Without the commit timer the page's writes must reach the file at once: close the long
    // transaction the start-up load opened.
    CommitLongTransaction(MonitorDatabase);
    TDataGrid& hosts = *Form1->DataGrid1;
    if (sorted)
        hosts.SortColumn(hosts.Columns().ColumnByName("Host"), false);
    Form1->PageControl1->setCurrentWidget(Form1->TabSheet1);
    Form1->show();
    // The first activation puts the window where its placement says; the points are taken after.
    QTimer::singleShot(300, &app, [] {
        Form1->activateWindow();
        Form1->FormActivate();
    });

    THostPageView& page = Form1->HostPage();
    QTimer::singleShot(1500, &app, [&] {
        QString ready;
        TGxGridView& view = *page.HostGridView;
        const int host = hosts.ColumnIndex(u"Host");
        for (int r = 0; r < hosts.RowCount(); ++r)
            if (hosts.GetRowVisible(r))
                ready += "row " + hosts.CellText(host, r) + " " +
                         Point(view.viewport()->mapToGlobal(view.CellRect(host, r).center())) + "\n";
        QTreeWidget& tree = *page.TreeView1;
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            ready += "node " + THostPageView::NodeRecord(*it)->Group + " " +
                     Point(tree.viewport()->mapToGlobal(tree.visualItemRect(*it).center())) + "\n";
        ready +=
            "empty " + Point(tree.viewport()->mapToGlobal(QPoint(40, tree.viewport()->height() - 30))) + "\n";
        WriteAtomic(dir + "/ready", ready);
    });
    QString last;
    QTimer shown;
    QObject::connect(&shown, &QTimer::timeout, [&] {
        const QString now = ShownHosts(hosts);
        if (now != last) {
            last = now;
            WriteAtomic(dir + "/shown", now);
        }
    });
    shown.start(100);
    QTimer::singleShot(90000, &app, [] { QCoreApplication::exit(0); }); // never outlives its test
    const int rc = QApplication::exec();
    shown.stop();
    SetSynchronizeClosed(true);
    DestroyForms();
    return rc;
}
