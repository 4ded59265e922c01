#pragma once
// The main window's numbered controls as a view of a unit's settings: which
// control shows which setting, how a read or the factory values fill them,
// and how a save takes them back. Toolkit-free, so that the window and the
// tests' stand-in window share it. Edit 1..4 is MaskEdit1..4, combo 1..14 is
// ComboBox1..14, up-down 3 and 4 are UpDown3 and UpDown4.
#include "ISettingsView.h"
#include "SettingsTable.h"

#include <optional>
#include <string>
#include <vector>

class TControlView : public ISettingsView {
  public:
    virtual std::string EditText(int edit) const = 0;
    virtual void SetEditText(int edit, const std::string& text) = 0;
    virtual void SetEditEnabled(int edit, bool enabled) = 0;

    virtual void SetUpDownPosition(int upDown, int position) = 0;
    virtual void SetUpDownEnabled(int upDown, bool enabled) = 0;

    virtual void SetComboText(int combo, const std::string& text) = 0;
    // Index of the item whose text equals text, -1 when none does.
    virtual int ComboIndexOf(int combo, const std::string& text) const = 0;
    // -1 when no item is selected.
    virtual int ComboItemIndex(int combo) const = 0;
    virtual void SetComboItemIndex(int combo, int index) = 0;
    virtual void SetComboEnabled(int combo, bool enabled) = 0;

    void ShowSettings(const TUpsSettings& settings, const std::vector<TSettingId>& changed,
                      TShowCause cause) override;
    std::optional<TSettingId> CollectSettings(TUpsSettings& settings) override;
    void SequenceEnded(const TOutcome& outcome) override;

    // The items of ComboBox1..14 and the range of UpDown3 and UpDown4.
    static const std::vector<std::string>& ComboItems(int combo);
    struct TSpinRange {
        int Min, Max;
    };
    static TSpinRange SpinnerRange(int upDown);
    // The outlet controls other than ComboBox9 take input only while it is
    // on "実行" (outlet management on).
    void EnableOutletControls(bool enabled);

  private:
    void ShowFlag(int combo, const std::optional<int>& value);
};
