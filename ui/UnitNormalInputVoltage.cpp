#include "UnitNormalInputVoltage.h"

#include "RadioKeys.h"
#include "UnitBenloQuenda.h"

#include <QApplication>
#include <QCloseEvent>

TFormNormalInputVoltage* FormNormalInputVoltage = nullptr;

TFormNormalInputVoltage::TFormNormalInputVoltage() {
    SetFixedWindow(this, 186, 155);
    SetAccessibleRole(this, QAccessible::Dialog);
    setFont(PixelFont(face::SansSerif, 11));
    RadioGroup1 = new TRadioGroup(
        this, " Please Select ", {0, 0, 185, 153}, font(),
        {"100 Voltage", "110 Voltage", "220 Voltage", "230 Voltage", "240 Voltage"}, 1);
    LMDButton1 = new TLMDButton(this, "OK", {100, 24, 75, 25}, font());
    LMDButton2 = new TLMDButton(this, "Cancel", {100, 64, 75, 25}, font());
    // The items keep to the left of the frame, under the buttons' column.
    for (int i = 0; i < 5; ++i)
        RadioGroup1->Button(i)->resize(88, RadioGroup1->Button(i)->height());
    SetTabOrder({RadioGroup1, LMDButton1, LMDButton2});
    std::vector<QRadioButton*> items;
    for (int i = 0; i < 5; ++i)
        items.push_back(RadioGroup1->Button(i));
    ChooseWithArrows(items, LMDButton1);
    OnClicked(LMDButton1, [this] { LMDButton1Click(); });
    OnClicked(LMDButton2, [this] { LMDButton2Click(); });
    FormCreate();
}

void TFormNormalInputVoltage::FormCreate() {
    setWindowTitle("INPUT VOLTAGE");
    RatedVoltage = 0;
}

void TFormNormalInputVoltage::LMDButton1Click() {
    static constexpr std::uint8_t Voltages[] = {100, 110, 220, 230, 240};
    const int index = RadioGroup1->ItemIndex();
    if (index >= 0 && index < 5) RatedVoltage = Voltages[index];
    FormBenloQuenda->show();
    hide();
}

void TFormNormalInputVoltage::LMDButton2Click() {
    close();
}

void TFormNormalInputVoltage::closeEvent(QCloseEvent* event) {
    event->accept();
    EndRequested = true;
    QApplication::quit();
}
