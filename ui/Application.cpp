#include "Application.h"

#include "Controls.h"
#include "IconArt.h"
#include "UnitBenloQuenda.h"
#include "UnitLowerLimit.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QApplication>
#include <QStyleFactory>

void InitializeApplication() {
    QApplication::setApplicationName("orvix-config");
    // Docks and task bars match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName("org.orvix.OrvixConfig");
    // Every window without an icon of its own (the dialogs, the message boxes).
    QApplication::setWindowIcon(ProgramIcon());
    // The classic look of the windows this program was drawn for.
    if (QStyle* style = QStyleFactory::create("Windows")) QApplication::setStyle(style);
    InstallFontSubstitutions();
    QApplication::setFont(PixelFont(face::SansSerif, 11));
    QApplication::setQuitOnLastWindowClosed(false);
    InstallErrorDisplay();
    InstallAccessibility();
}

void CreateForms() {
    FormNormalInputVoltage = new TFormNormalInputVoltage();
    FormBenloQuenda = new TFormBenloQuenda();
    // The limit dialogs stay over the main settings window (transient for it).
    FormUpperLimit = new TFormUpperLimit(FormBenloQuenda);
    FormLowerLimit = new TFormLowerLimit(FormBenloQuenda);
}

void DestroyForms() {
    delete FormLowerLimit;
    delete FormUpperLimit;
    delete FormBenloQuenda;
    delete FormNormalInputVoltage;
    FormLowerLimit = nullptr;
    FormUpperLimit = nullptr;
    FormBenloQuenda = nullptr;
    FormNormalInputVoltage = nullptr;
}
