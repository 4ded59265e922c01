#pragma once
// Drives the connect-and-read, read and save sequences on the window's 200 ms
// timer: each tick sends the current step's command, each complete reply line
// is handled for the current step and moves the sequence on.
#include "Commands.h"
#include "FlagWords.h"
#include "IComPort.h"
#include "ISettingsWindow.h"
#include "ReplyAssembler.h"
#include "UnitHexTools.h"

#include <memory>
#include <string>

enum class TLinkMode { Reading, Saving };

class TLinkSequencer {
  public:
    static constexpr const char* WindowCaption =
        "Orvix Sine / Benlo / Quenda 特性 v1.09 (Japanese edition)";

    TLinkSequencer(ISettingsWindow& window, IComPort& port);
    ~TLinkSequencer();

    void InitializeLink();
    // Frees the hex codec; the owner stops the timer and the port first.
    void ReleaseLink();

    void LMDButton1Click(); // connect and read
    void LMDButton3Click(); // read
    void LMDButton4Click(); // save
    // Factory values refuse without a link and switch to reading mode.
    bool EnterReadingIfConnected();

    void Timer1Timer();
    void ComPort1TriggerAvail(int count);

    bool OpenComPort(int number);
    void SendCommand(const std::string& text);
    void ProcessReply(const std::string& line);

    TLinkMode LinkMode = TLinkMode::Saving;
    int StepIndex = 0;
    bool Connected = false;
    int SelectedPort = 0;
    int NoReplyTicks = 0;
    TReplyAssembler Reply;
    std::unique_ptr<THexTool> HexTool;
    TSettingsState Settings;

  private:
    void SetTimer(bool enabled);
    bool CountSilentTick();
    void ReportSilence();
    void StopSequence(const std::string& status);
    void RunSaveTick();
    void ProcessReadReply(const std::string& line);
    void ProcessSaveReply(const std::string& line);
    std::string SaveEndStatus(const std::string& success) const;

    ISettingsWindow& Window;
    IComPort& Port;
    // Set while the identification failure's box is open: lines that arrive in
    // its nested loop are dropped instead of stacking further boxes.
    bool IdentificationFailing = false;
    // The command the UPS answered "NK" to during the current save.
    std::string RejectedCommand;
    bool TimerEnabled = false;
};
