#pragma once
// What the link sequencer needs of whatever shows a unit's settings: the main
// window, or orvix-ups without one.
#include "Outcome.h"
#include "UpsSettings.h"

#include <optional>
#include <string>
#include <vector>

enum class TShowCause { Read, Factory };

class ISettingsView {
  public:
    virtual ~ISettingsView() = default;

    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& text) = 0;
    // The port chosen, 0..3; -1 when none is.
    virtual int PortItemIndex() const = 0;
    // The 200 ms tick that drives every sequence.
    virtual void SetTimerEnabled(bool enabled) = 0;

    // Modal; each returns when the operator closes the box.
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

    // The settings changed were read or set to factory values: show them.
    virtual void ShowSettings(const TUpsSettings& settings, const std::vector<TSettingId>& changed,
                              TShowCause cause) = 0;
    // Before a save: puts what the operator set into the settings. Returns the
    // first value that cannot be taken, if any; nothing is sent then.
    virtual std::optional<TSettingId> CollectSettings(TUpsSettings& settings) = 0;
    // A sequence ended (or its last answer came after it ended).
    virtual void SequenceEnded(const TOutcome& outcome) { static_cast<void>(outcome); }
};
