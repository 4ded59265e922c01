#pragma once
// The main settings window: port choice, connect, read, edit, factory values
// and save. It owns the serial port, the 200 ms timer and the link sequencer,
// and is the sequencer's view: its controls show the unit's settings.
#include "ApdComPort.h"
#include "Controls.h"
#include "ControlView.h"
#include "LinkSequencer.h"

#include <QTimer>
#include <QWidget>
#include <array>

class TFormBenloQuenda : public QWidget, public TControlView {
  public:
    TFormBenloQuenda();
    ~TFormBenloQuenda() override;

    // Handlers.
    void FormCreate();
    void LMDButton1Click();
    void LMDButton2Click();
    void LMDButton3Click();
    void LMDButton4Click();
    void LMDButton5Click();
    void LMDButton6Click();
    void LMDButton7Click();
    void ComboBox5Change();
    void ComboBox9Change();
    void UpDown3Click();
    void UpDown4Click();
    void Timer1Timer();
    void ComPort1TriggerAvail(TApdCustomComPort& cp, std::uint16_t count);

    // The view the link sequencer drives.
    std::string Caption() const override;
    void SetCaption(const std::string& text) override;
    std::string EditText(int edit) const override;
    void SetEditText(int edit, const std::string& text) override;
    void SetEditEnabled(int edit, bool enabled) override;
    void SetUpDownPosition(int upDown, int position) override;
    void SetUpDownEnabled(int upDown, bool enabled) override;
    void SetComboText(int combo, const std::string& text) override;
    int ComboIndexOf(int combo, const std::string& text) const override;
    int ComboItemIndex(int combo) const override;
    void SetComboItemIndex(int combo, int index) override;
    void SetComboEnabled(int combo, bool enabled) override;
    int PortItemIndex() const override;
    void SetTimerEnabled(bool enabled) override;
    void ErrorBox(const std::string& text) override;
    void DetailedErrorBox(const std::string& text, const std::string& detail) override;
    void PlainMessageBox(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void LockCommandControls() override;
    void UnlockCommandControls() override;
    void ShowStatus(const std::string& text) override;

    TApdComPort ComPort1;
    QTimer Timer1;
    TLinkSequencer Link{*this, ComPort1};

    QFrame* Panel1;
    TShadowLabel* LMDSimpleLabel1;
    TShadowLabel* LMDSimpleLabel2;
    TRadioGroup* RadioGroup1;
    std::array<TLMDButton*, 8> LMDButton{}; // LMDButton1..7 at their numbers
    std::array<TEdit*, 5> MaskEdit{};       // MaskEdit1..4
    std::array<TUpDown*, 5> UpDown{};       // UpDown3 and UpDown4
    std::array<TComboBox*, 15> ComboBox{};  // ComboBox1..14
    std::array<QLabel*, 22> Label{};        // Label1..21
    TStatusBar* StatusBar1;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildFrame();
    void BuildSettings();
    void BuildOutletGroup();
    void BuildTabOrder();
    void AddLabel(int n, const char* caption, QPoint at, const QFont& font, QColor color);
    void AddEdit(int n, QRect at, const QFont& font, int labelNo, QColor color);
    void AddCombo(int n, QWidget* parent, QRect at, const QFont& font, int labelNo, QColor color);
};

extern TFormBenloQuenda* FormBenloQuenda;
