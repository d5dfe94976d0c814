// The program entry: sets up the application and runs the message loop.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Zorvanite Tarnequill Pro ");
    return app.exec();
}
