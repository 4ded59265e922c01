#pragma once
// Drives the connect-and-read, read and save sequences on the view's 200 ms
// timer: each tick sends the current step's command, each reply line that
// answers it goes into the settings and moves the sequence on. How each
// sequence ended is reported to the view as a typed outcome.
#include "Commands.h"
#include "IComPort.h"
#include "ISettingsView.h"
#include "OrvixVersion.h"
#include "Outcome.h"
#include "ReplyAssembler.h"
#include "ReplyLedger.h"
#include "UnitHexTools.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class TLinkSequencer {
  public:
    // The line's speed and the tick that paces every sequence.
    static constexpr int LineBaud = 4800;
    static constexpr int TickMs = 200;
    static constexpr const char* WindowCaption =
        "Orvix Sine / Benlo / Quenda 特性 v" ORVIX_VERSION " (Japanese edition)";

    TLinkSequencer(ISettingsView& view, IComPort& port);
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
    // Why the last open failed: the kind of failure and the link's own words
    // for it (with the system's reason where it gave one).
    struct TOpenError {
        std::string Kind, Reason;
    };
    const std::optional<TOpenError>& OpenError() const { return LastOpenError; }
    void SendCommand(const std::string& text);
    // How the last sequence (or connect, save or factory refusal) ended.
    const TOutcome& Outcome() const { return LastOutcome; }

    // Replies to commands already sent are still to come.
    bool AwaitingReplies() const { return !Ledger.Empty(); }
    // Called with each reply line taken for the command it answers, before
    // it is handled: for tools that show or record the raw replies.
    std::function<void(const TSentCommand& answered, const std::string& line)> OnReplyTaken;

    // Silent ticks after which a step's reply counts as missing and the
    // sequence ends with "Communication error !". Three, as the window waits;
    // tools talking to a slow UPS may wait longer.
    int ReplyWaitTicks = 3;

    TLinkMode LinkMode = TLinkMode::Saving;
    int StepIndex = 0;
    bool Connected = false;
    int SelectedPort = 0;
    int NoReplyTicks = 0;
    TReplyAssembler Reply;
    std::unique_ptr<THexTool> HexTool;
    // The unit's settings as last read, set to factory values or collected
    // from the view for a save; a save sends them.
    TUpsSettings Settings;

  private:
    bool LimitsSuitTheUnit();
    void StartSequence(TLinkMode mode);
    void SetTimer(bool enabled);
    void RunTick();
    bool LineWentQuiet();
    bool HoldForEarlierReplies();
    bool RepeatDue() const;
    void SendStepCommand(const std::string& command);
    void ReportSilence();
    void EndSequence(const TOutcome& outcome);
    void Report(const TOutcome& outcome);
    void FailSequence(const std::string& what);
    void RunReadTick();
    void RunSaveTick();
    void TakeLine(const std::string& line, bool cut);
    void EndOnOverlongLine();
    bool ReadReplyFits(const std::string& line);
    void EndRead(const TOutcome& outcome);
    void FailIdentification();
    void ProcessReply(TLinkMode mode, const std::string& line);
    void ProcessReadReply(const std::string& line);
    void ProcessSaveReply(const std::string& line);
    void NoteRejection(int step);
    TOutcome SaveEnd(TOutcomeKind success) const;
    TSentCommand Current() const { return {LinkMode, StepIndex, Sequence}; }

    ISettingsView& View;
    IComPort& Port;
    TReplyLedger Ledger;
    unsigned Sequence = 0;
    // Ticks since characters last arrived while the next command waits for
    // the replies to earlier ones.
    int HoldTicks = 0;
    // Before a sequence's first command: the line must have been quiet for a
    // tick. QuietTicks counts quiet ticks in a row, WaitedTicks all of them;
    // a line busy for QuietLimitTicks (more for a longer reply wait) fails.
    static constexpr int QuietLimitTicks = 25;
    bool AwaitingQuiet = false;
    int QuietTicks = 0;
    int WaitedTicks = 0;
    bool CharsSinceTick = false;
    // Set while the identification failure's box is open: lines that arrive in
    // its nested loop are dropped instead of stacking further boxes.
    bool IdentificationFailing = false;
    // The upper limit the unit holds, as last read or saved; none before a
    // read on this connect. Limits of another voltage class need a Yes.
    std::optional<int> HeldUpperLimit;
    std::optional<TOpenError> LastOpenError;
    TOutcome LastOutcome;
    int UpperLimitSaving = 0;
    // The command the UPS answered "NK" to during the current save.
    std::string RejectedCommand;
    bool TimerEnabled = false;
};
