#pragma once
// The main settings window without widgets: every control is a plain value,
// Timer1 is a real 200 ms QTimer, and the boxes are recorded instead of shown.
// The link sequencer drives it exactly as it drives the window.
#include "ISettingsWindow.h"

#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <vector>

class THeadlessWindow : public ISettingsWindow {
  public:
    THeadlessWindow();

    struct TCombo {
        std::vector<std::string> Items;
        int Index = -1;
        std::string Text;
        bool Enabled = true;
    };
    struct TEditField {
        std::string Text;
        bool Enabled = true;
    };
    struct TSpinner {
        int Min = 0, Max = 0, Position = 1;
        bool Enabled = true;
    };

    std::string Caption() const override { return FCaption; }
    void SetCaption(const std::string& text) override { FCaption = text; }
    std::string EditText(int edit) const override { return Edits.at(Slot(edit)).Text; }
    void SetEditText(int edit, const std::string& text) override;
    void SetEditEnabled(int edit, bool enabled) override { Edits.at(Slot(edit)).Enabled = enabled; }
    void SetUpDownPosition(int upDown, int position) override;
    void SetUpDownEnabled(int upDown, bool enabled) override;
    void SetComboText(int combo, const std::string& text) override;
    int ComboIndexOf(int combo, const std::string& text) const override;
    int ComboItemIndex(int combo) const override { return Combos.at(Slot(combo)).Index; }
    void SetComboItemIndex(int combo, int index) override;
    void SetComboEnabled(int combo, bool enabled) override;
    int PortItemIndex() const override { return PortIndex; }
    void SetTimerEnabled(bool enabled) override;
    void ErrorBox(const std::string& text) override;
    void PlainMessageBox(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void LockCommandControls() override { Locked = true; }
    void UnlockCommandControls() override { Locked = false; }
    void ShowStatus(const std::string& text) override;

    std::string ComboText(int combo) const { return Combos.at(Slot(combo)).Text; }
    const std::string& Status() const { return FStatus; }
    bool CommandControlsLocked() const { return Locked; }
    bool TimerActive() const { return Timer1.isActive(); }
    void SetPortItemIndex(int index) { PortIndex = index; }

    // Each one runs after the window has taken the event in.
    std::function<void()> OnTimer;
    std::function<void(const std::string&)> OnStatus;
    std::function<void(const std::string&)> OnErrorBox;
    std::function<void(const std::string&)> OnMessageBox;

  private:
    static std::size_t Slot(int n) { return static_cast<std::size_t>(n); }

    std::string FCaption, FStatus;
    std::array<TEditField, 5> Edits{};  // MaskEdit1..4 at their numbers
    std::array<TSpinner, 5> Spinners{}; // UpDown3 and UpDown4
    std::array<TCombo, 15> Combos{};    // ComboBox1..14
    int PortIndex = -1;
    bool Locked = false;
    QTimer Timer1;
};
