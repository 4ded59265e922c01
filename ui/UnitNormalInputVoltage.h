#pragma once
// The rated input voltage dialog. It is the application's main window: the
// program runs exactly as long as it exists, so closing it ends the program,
// while hiding it does not.
#include "Controls.h"

#include <QWidget>
#include <cstdint>

class TFormNormalInputVoltage : public QWidget {
  public:
    TFormNormalInputVoltage();

    std::uint8_t RatedVoltage = 0; // 0 until OK records a choice
    bool EndRequested = false;     // closed: the program ends

    void FormCreate();
    void LMDButton1Click(); // OK
    void LMDButton2Click(); // Cancel

    TRadioGroup* RadioGroup1;
    TLMDButton* LMDButton1;
    TLMDButton* LMDButton2;

  protected:
    void closeEvent(QCloseEvent* event) override;
};

extern TFormNormalInputVoltage* FormNormalInputVoltage;
