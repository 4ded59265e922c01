// The yardstick for orvix-config's start-up: a bare Qt Widgets window with one
// label, started the same way.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QLabel label("bare window");
    label.setWindowTitle("bare window");
    label.show();
    return QApplication::exec();
}
