// orvix-config: configures a UPS of the Orvix Sine / Benlo / Quenda line over
// a serial port. It takes no arguments and writes no files.
#include "Application.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Layouts are in pixels at 96 dpi and must not scale.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    InitializeApplication();
    CreateForms();
    FormNormalInputVoltage->show();
    const int rc = QApplication::exec();
    DestroyForms();
    return rc;
}
