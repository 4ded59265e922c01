// orvix-config: configures a UPS of the Orvix Sine / Benlo / Quenda line over
// a serial port. It takes no arguments but --version and --help, and writes
// no files.
#include "Application.h"
#include "OrvixVersion.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before any window or display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("orvix-config %s\n", ORVIX_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: orvix-config [--version | --help]\n\n"
                "Configures a UPS of the Orvix Sine / Benlo / Quenda line over a serial\n"
                "port (COM1 to COM4). It takes no arguments; ORVIX_COM1 to ORVIX_COM4 name\n"
                "other devices for the ports. See orvix-config(1).\n");
            return 0;
        }
    }
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
