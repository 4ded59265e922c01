#pragma once
// What the upper and lower input voltage limit dialogs share: four radio
// buttons captioned from a table by the rated voltage, OK copying the chosen
// voltage into a limit field of the main settings window.
#include "Controls.h"

#include <QDialog>
#include <array>

struct TLimitRow {
    int Rated;
    std::array<const char*, 4> Captions;
};

class TLimitDialog : public QDialog {
  public:
    TLimitDialog(QWidget* owner, int clientHeight, int buttonTop, const char* caption,
                 int targetEdit, const std::array<TLimitRow, 5>& table);

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
    int TargetEdit; // MaskEdit1 or MaskEdit2 of the main settings window
    const std::array<TLimitRow, 5>& Table;
};
