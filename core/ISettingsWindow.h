#pragma once
// What the protocol core touches of the main settings window. Controls are
// addressed by their number: edit 1..4 is MaskEdit1..4, combo 1..14 is
// ComboBox1..14, up-down 3 and 4 are UpDown3 and UpDown4.
#include <string>

class ISettingsWindow {
  public:
    virtual ~ISettingsWindow() = default;

    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& text) = 0;

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

    // RadioGroup1's selected item, -1 when none.
    virtual int PortItemIndex() const = 0;

    virtual void SetTimerEnabled(bool enabled) = 0;

    // Modal; both return when the operator closes the box.
    virtual void ErrorBox(const std::string& text) = 0;
    // An error box that also tells why, as its detailed text; a view without
    // room for that shows the text alone.
    virtual void DetailedErrorBox(const std::string& text, const std::string& detail) {
        static_cast<void>(detail);
        ErrorBox(text);
    }
    virtual void PlainMessageBox(const std::string& text) = 0;
    // A Yes/No question whose default answer is No; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;

    virtual void LockCommandControls() = 0;
    virtual void UnlockCommandControls() = 0;
    virtual void ShowStatus(const std::string& text) = 0;
};
