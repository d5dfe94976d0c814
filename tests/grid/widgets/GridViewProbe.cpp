// Test probe for the real-display test: shows the probe scene in a top-level grid view on the
// display the environment names and writes "x y width height" of the view's client area in
// screen coordinates to the file given as its argument once it has been painted.
#include "widget_helpers.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: grid_view_probe <ready-file>\n");
        return 2;
    }
    QApplication app(argc, argv);
    widgettest::UseTestLook();
    auto grid = widgettest::MakeProbeGrid();
    TGxGridView view(grid.get());
    view.setWindowTitle(QStringLiteral("ZtGridProbe"));
    view.setGeometry(20, 30, widgettest::ProbeWidth, widgettest::ProbeHeight);
    view.show();
    const QString readyFile = QString::fromLocal8Bit(argv[1]);
    // Reported once the first paints are on the screen.
    QTimer::singleShot(700, &app, [&] {
        const QPoint origin = view.viewport()->mapToGlobal(QPoint(0, 0));
        QFile out(readyFile + QStringLiteral(".part"));
        if (!out.open(QIODevice::WriteOnly))
            QCoreApplication::exit(3);
        out.write(QStringLiteral("%1 %2 %3 %4\n")
                      .arg(origin.x())
                      .arg(origin.y())
                      .arg(view.viewport()->width())
                      .arg(view.viewport()->height())
                      .toUtf8());
        out.close();
        QFile::rename(readyFile + QStringLiteral(".part"), readyFile);
    });
    QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(0); }); // never outlives its test
    return app.exec();
}
