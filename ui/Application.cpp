#include "Application.h"

#include "Controls.h"
#include "UnitBenloQuenda.h"
#include "UnitLowerLimit.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QApplication>
#include <QStyleFactory>

void InitializeApplication() {
    QApplication::setApplicationName("orvix-config");
    // The classic look of the windows this program was drawn for.
    if (QStyle* style = QStyleFactory::create("Windows")) QApplication::setStyle(style);
    InstallFontSubstitutions();
    QApplication::setFont(PixelFont(face::SansSerif, 11));
    QApplication::setQuitOnLastWindowClosed(false);
    InstallErrorDisplay();
}

void CreateForms() {
    FormNormalInputVoltage = new TFormNormalInputVoltage();
    FormBenloQuenda = new TFormBenloQuenda();
    FormUpperLimit = new TFormUpperLimit();
    FormLowerLimit = new TFormLowerLimit();
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
