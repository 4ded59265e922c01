#pragma once
// What the upper and lower input voltage limit dialogs share: four radio
// buttons captioned with the rated voltage's limit choices, OK copying the
// chosen voltage into a limit field of the main settings window.
#include "Controls.h"

#include <QDialog>
#include <array>

class TLimitDialog : public QDialog {
  public:
    TLimitDialog(QWidget* owner, int clientHeight, int buttonTop, const char* caption,
                 int targetEdit);

    void FormCreate();
    void LMDButton1Click(); // OK
    void LMDButton2Click(); // Cancel

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    std::array<QRadioButton*, 4> RadioButton{};
    TLMDButton* LMDButton1;
    TLMDButton* LMDButton2;

  protected:
    void showEvent(QShowEvent* event) override;
    virtual void FormShow();
    void PutCaptions(int ratedVoltage);
    void UncheckAll();

  private:
    const char* CaptionText;
    int TargetEdit; // MaskEdit1 (the upper limit) or MaskEdit2 of the main settings window
};
