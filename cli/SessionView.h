#pragma once
// The sequencer's view for orvix-ups: no controls, since the settings are
// read from and written into the sequencer's own; a real 200 ms timer; the
// boxes and outcomes handed to the session instead of shown.
#include "ISettingsView.h"

#include <QTimer>
#include <functional>
#include <string>

class TSessionView : public ISettingsView {
  public:
    TSessionView();

    std::string Caption() const override { return FCaption; }
    void SetCaption(const std::string& text) override { FCaption = text; }
    int PortItemIndex() const override { return PortIndex; }
    void SetTimerEnabled(bool enabled) override;
    void ErrorBox(const std::string& text) override;
    void PlainMessageBox(const std::string& text) override;
    // orvix-ups refuses limits of another voltage class itself, before a save
    // starts, unless the technician forced them: a save that gets here goes.
    bool AskYesNo(const std::string&) override { return true; }
    void LockCommandControls() override {}
    void UnlockCommandControls() override {}
    void ShowStatus(const std::string&) override {}
    void ShowSettings(const TUpsSettings&, const std::vector<TSettingId>&, TShowCause) override {}
    std::optional<TSettingId> CollectSettings(TUpsSettings&) override { return std::nullopt; }
    void SequenceEnded(const TOutcome& outcome) override;

    void SetPortItemIndex(int index) { PortIndex = index; }
    bool TimerActive() const { return Timer1.isActive(); }

    // Each one runs after the view has taken the event in.
    std::function<void()> OnTimer;
    std::function<void(const std::string&)> OnErrorBox, OnMessageBox;
    std::function<void(const TOutcome&)> OnEnded;

  private:
    std::string FCaption;
    int PortIndex = -1;
    QTimer Timer1;
};
