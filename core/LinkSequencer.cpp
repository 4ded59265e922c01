#include "LinkSequencer.h"

#include "ApdExceptions.h"
#include "NumberText.h"
#include "VoltageClass.h"

#include <algorithm>

TLinkSequencer::TLinkSequencer(ISettingsView& view, IComPort& port) : View(view), Port(port) {}

TLinkSequencer::~TLinkSequencer() = default;

void TLinkSequencer::InitializeLink() {
    View.SetCaption(WindowCaption);
    NoReplyTicks = 0;
    Reply = TReplyAssembler();
    HexTool = std::make_unique<THexTool>();
}

void TLinkSequencer::ReleaseLink() {
    HexTool.reset();
}

namespace {
template <class E> bool Is(const std::exception& e) {
    return dynamic_cast<const E*>(&e) != nullptr;
}
// The failures an open reports to the operator as "Cannot initialize COM
// port", by kind; any other one is not the port's and goes on up.
const char* OpenFailureKind(const std::exception& e) {
    const std::pair<bool (*)(const std::exception&), const char*> kinds[] = {
        {Is<EAlreadyOpen>, "in use"},      {Is<EBadId>, "no such port"},
        {Is<EInOutError>, "system error"}, {Is<EBadArgument>, "bad argument"},
        {Is<EBaudRate>, "baud rate"},      {Is<EByteSize>, "byte size"},
        {Is<EDefault>, "settings"},        {Is<EHardware>, "hardware"},
        {Is<EMemory>, "memory"},           {Is<ENoHandles>, "no handles"},
        {Is<ENullApi>, "no driver"},       {Is<EOutOfMemory>, "memory"}};
    for (const auto& [is, kind] : kinds)
        if (is(e)) return kind;
    return nullptr;
}
} // namespace

bool TLinkSequencer::OpenComPort(int number) {
    LastOpenError.reset();
    try {
        Port.SetOpen(false);
        Port.SetComNumber(number);
        Port.SetOpen(true);
    } catch (const std::exception& e) {
        const char* kind = OpenFailureKind(e);
        if (!kind) throw;
        LastOpenError = TOpenError{kind, e.what()};
        return false;
    }
    return true;
}

void TLinkSequencer::LMDButton1Click() {
    SelectedPort = 0;
    Connected = false; // whatever the open below does, the old link is gone
    HeldUpperLimit.reset();
    Port.SetOpen(false);
    const int index = View.PortItemIndex();
    if (index >= 0 && index <= 3) SelectedPort = index + 1;
    if (SelectedPort == 0) {
        View.ErrorBox("Please select comport before connect to the UPS");
        Report({TOutcomeKind::NoPortChosen});
        return;
    }
    Connected = OpenComPort(SelectedPort);
    if (!Connected) {
        const std::string why = "COM" + NumberToText(SelectedPort) + ": " + LastOpenError->Reason +
                                " (" + LastOpenError->Kind + ")";
        View.DetailedErrorBox("Cannot initialize COM port", why);
        Report({TOutcomeKind::PortFailed, {}, why});
        return;
    }
    View.LockCommandControls();
    // The reopened port discarded what was unread, so a partial line is stale too.
    Reply.Discard();
    // Always identify first: the device on this port may not be the one read before.
    StartSequence(TLinkMode::Reading);
}

void TLinkSequencer::LMDButton3Click() {
    if (!EnterReadingIfConnected()) return;
    View.LockCommandControls();
    View.ShowStatus(" Reading data from UPS");
    StartSequence(TLinkMode::Reading);
}

void TLinkSequencer::LMDButton4Click() {
    if (!Connected) {
        View.ShowStatus(StatusText({TOutcomeKind::NotConnected}));
        View.ErrorBox("Connect to the UPS before save config!");
        Report({TOutcomeKind::NotConnected});
        return;
    }
    // Every value is checked before the first command goes out: a value found
    // invalid halfway would leave the unit half-written.
    auto invalid = View.CollectSettings(Settings);
    if (!invalid) invalid = UnsendableSetting(Settings);
    if (invalid) {
        const TOutcome outcome{TOutcomeKind::InvalidValue, {}, {}, invalid};
        View.ShowStatus(StatusText(outcome));
        Report(outcome);
        return;
    }
    if (!LimitsSuitTheUnit()) return;
    View.LockCommandControls();
    RejectedCommand.clear();
    StartSequence(TLinkMode::Saving);
}

// Factory values or dialog choices for a 100 V unit saved into a 230 V unit
// (or the reverse) would set it far off its mains: the operator must confirm.
bool TLinkSequencer::LimitsSuitTheUnit() {
    const auto conflict = VoltageClassMismatch(*Settings[TSettingId::UpperLimit],
                                               *Settings[TSettingId::LowerLimit], HeldUpperLimit);
    return !conflict || View.AskYesNo("The limits to save " + *conflict + ". Save anyway?");
}

bool TLinkSequencer::EnterReadingIfConnected() {
    LinkMode = TLinkMode::Reading;
    if (!Connected) {
        View.ShowStatus(StatusText({TOutcomeKind::NotConnected}));
        View.ErrorBox("Connect to the UPS before read config!");
        Report({TOutcomeKind::NotConnected});
        return false;
    }
    return true;
}

void TLinkSequencer::StartSequence(TLinkMode mode) {
    LinkMode = mode;
    StepIndex = 0;
    NoReplyTicks = 0;
    HoldTicks = 0;
    ++Sequence; // replies to earlier runs are no answer to this one
    // Nothing goes out before the line has been quiet for a tick: what still
    // arrives from before could otherwise be taken for this run's replies.
    AwaitingQuiet = true;
    QuietTicks = 0;
    WaitedTicks = 0;
    CharsSinceTick = false;
    if (mode == TLinkMode::Reading) Settings.Registers.clear();
    LastOutcome = {};
    SetTimer(true);
}

void TLinkSequencer::SetTimer(bool enabled) {
    TimerEnabled = enabled;
    View.SetTimerEnabled(enabled);
}

void TLinkSequencer::Report(const TOutcome& outcome) {
    LastOutcome = outcome;
    View.SequenceEnded(outcome);
}

void TLinkSequencer::EndSequence(const TOutcome& outcome) {
    View.ShowStatus(StatusText(outcome));
    View.UnlockCommandControls();
    SetTimer(false);
    Report(outcome);
}

void TLinkSequencer::ReportSilence() {
    Connected = false;
    NoReplyTicks = 0;
    EndSequence({TOutcomeKind::NoReply});
}

// A failure inside a tick or a reply ends the sequence like a silent line,
// naming what failed; the caller still reports it.
void TLinkSequencer::FailSequence(const std::string& what) {
    Connected = false;
    NoReplyTicks = 0;
    EndSequence({TOutcomeKind::Failed, {}, what});
}

void TLinkSequencer::Timer1Timer() {
    if (!HexTool) return;
    try {
        RunTick();
    } catch (const std::exception& e) {
        FailSequence(e.what());
        throw;
    }
}

void TLinkSequencer::RunTick() {
    if (AwaitingQuiet && !LineWentQuiet()) return;
    if (HoldForEarlierReplies()) return;
    if (LinkMode == TLinkMode::Reading)
        RunReadTick();
    else
        RunSaveTick();
}

// The first tick of a sequence comes a tick after its start, so a line that
// was quiet meanwhile costs no time. Replies still due to earlier commands are
// waited for a while longer, and what arrives meanwhile only settles them; a
// line that never goes quiet ends the sequence.
bool TLinkSequencer::LineWentQuiet() {
    const bool quiet = !CharsSinceTick;
    CharsSinceTick = false;
    QuietTicks = quiet ? QuietTicks + 1 : 0;
    if (quiet && (Ledger.Empty() || QuietTicks >= 2 * ReplyWaitTicks)) {
        // Due replies not come by now count as lost: the line was silent for
        // twice as long as any step waits for its reply.
        Ledger.Forget();
        Reply.Discard();
        AwaitingQuiet = false;
        NoReplyTicks = 0;
        HoldTicks = 0;
        return true;
    }
    if (++WaitedTicks >= QuietLimitTicks + 2 * ReplyWaitTicks) ReportSilence();
    return false;
}

// While replies to earlier commands are still on their way, a new command
// would not be told from them. Going on without them would let a late one be
// taken for a later step's reply, so a line silent for as long as a step may
// wait ends the sequence instead.
bool TLinkSequencer::HoldForEarlierReplies() {
    if (!Ledger.AwaitingOthers(Current())) return false;
    if (++HoldTicks >= ReplyWaitTicks) ReportSilence();
    return true;
}

// The step's command goes out once, and again only after a tick in which no
// character arrived (the tick before a step's wait runs out): a reply on its
// way needs no second command, and a longer wait repeats later.
bool TLinkSequencer::RepeatDue() const {
    return Ledger.Empty() || NoReplyTicks >= std::max(2, ReplyWaitTicks - 1);
}

void TLinkSequencer::SendStepCommand(const std::string& command) {
    SendCommand(command);
    Ledger.Sent(Current());
}

void TLinkSequencer::RunReadTick() {
    ++NoReplyTicks;
    if (StepIndex >= 0 && StepIndex <= LastStep && RepeatDue())
        SendStepCommand(ReadCommands[StepIndex]);
    if (NoReplyTicks >= ReplyWaitTicks) ReportSilence();
}

void TLinkSequencer::RunSaveTick() {
    if (StepIndex < 0 || StepIndex > LastStep) return;
    // A save that gets no answer ends like a read does instead of resending forever.
    ++NoReplyTicks;
    if (StepIndex == 1) View.ShowStatus(" Saving configuration");
    if (RepeatDue()) {
        const auto line = BuildSaveCommand(Settings, *HexTool, StepIndex);
        if (line) SendStepCommand(*line);
        if (line && StepIndex == 1) UpperLimitSaving = Settings[TSettingId::UpperLimit].value_or(0);
    }
    if (NoReplyTicks >= ReplyWaitTicks) {
        ReportSilence();
        return;
    }
    if (StepIndex == LastStep) EndSequence(SaveEnd(TOutcomeKind::SaveCompleted));
}

void TLinkSequencer::SendCommand(const std::string& text) {
    Port.WriteString(text + "\r\n");
}

void TLinkSequencer::ComPort1TriggerAvail(int count) {
    if (NoReplyTicks != 0) NoReplyTicks = 0;
    HoldTicks = 0;
    if (count > 0) CharsSinceTick = true;
    try {
        // All of the event's characters are taken before any line is handled:
        // a handler's message box runs a nested loop that may take the next ones.
        std::string received;
        for (int i = 0; i < count; ++i)
            received.push_back(Port.ReadChar());
        for (const char c : received) {
            const bool wasCut = Reply.Overflowed();
            Reply.Store(c);
            if (c == '\n') {
                const bool cut = Reply.Overflowed();
                TakeLine(Reply.TakeLine(), cut);
            } else if (Reply.Overflowed() && !wasCut) {
                EndOnOverlongLine();
            }
        }
    } catch (const std::exception& e) {
        FailSequence(e.what());
        throw;
    }
}

// A line longer than the reply buffer answers no command of ours: the
// running sequence ends at once instead of waiting for its end, and nothing
// of it is taken.
void TLinkSequencer::EndOnOverlongLine() {
    if (TimerEnabled && !AwaitingQuiet) ReportSilence();
}

// Every line ends at its LF, also several in one event: each is the reply to
// one command.
void TLinkSequencer::TakeLine(const std::string& line, bool cut) {
    const auto answered = Ledger.Answered();
    if (IdentificationFailing || !HexTool || !answered || cut) return;
    if (answered->Sequence != Sequence || answered->Step != StepIndex) {
        // The reply to a command that was sent again after its first reply.
        if (line == "NK" && answered->Mode == TLinkMode::Saving && answered->Sequence == Sequence)
            NoteRejection(answered->Step);
        return;
    }
    // A read that ended (silence, a misfit) takes no late values: the status
    // must not turn into "completed" over a partial read.
    if (answered->Mode == TLinkMode::Reading && !TimerEnabled) return;
    if (OnReplyTaken) OnReplyTaken(*answered, line);
    if (answered->Mode == TLinkMode::Reading && !ReadReplyFits(line)) return;
    ProcessReply(answered->Mode, line);
    if (line == "NK") View.SetCaption(View.Caption() + NumberToText(StepIndex));
}

// A reply that does not fit its read command belongs to another one: taking
// it would put a value where it does not belong, so the read ends and no field
// changes. The outlet delay is only taken when the unit has outlets.
bool TLinkSequencer::ReadReplyFits(const std::string& line) {
    if (StepIndex < 1 || StepIndex > LastStep) return true;
    const std::string command = ReadCommands[StepIndex];
    if (line == "NK") {
        View.SetCaption(View.Caption() + NumberToText(StepIndex + 1));
        EndRead({TOutcomeKind::ReadRejected, command});
        return false;
    }
    if (StepIndex == LastStep && !Settings.Words.FlagsR34[15]) return true;
    if (ReplyFitsRead(StepIndex, line)) return true;
    EndRead({TOutcomeKind::UnexpectedReply, command, line});
    return false;
}

// The unit's state is only partly known: a save must wait for a new connect.
void TLinkSequencer::EndRead(const TOutcome& outcome) {
    Connected = false;
    NoReplyTicks = 0;
    EndSequence(outcome);
}

void TLinkSequencer::ProcessReply(TLinkMode mode, const std::string& line) {
    if (mode == TLinkMode::Reading)
        ProcessReadReply(line);
    else
        ProcessSaveReply(line);
}

void TLinkSequencer::ProcessReadReply(const std::string& line) {
    if (StepIndex >= 0 && StepIndex <= LastStep) {
        if (!ApplyReadReply(Settings, *HexTool, StepIndex, line)) {
            FailIdentification();
        } else {
            if (StepIndex == 1) HeldUpperLimit = Settings[TSettingId::UpperLimit];
            View.ShowSettings(Settings, SettingsOfStep(StepIndex), TShowCause::Read);
        }
    }
    if (StepIndex > LastStep - 1) {
        StepIndex = 1;
        EndSequence({TOutcomeKind::ReadCompleted});
    } else {
        ++StepIndex;
    }
}

void TLinkSequencer::FailIdentification() {
    IdentificationFailing = true;
    View.PlainMessageBox("This program can use only with Morbeck Orvix series");
    IdentificationFailing = false;
    // Nothing may be saved to a device that failed identification, and the
    // window must not stay locked.
    SetTimer(false);
    View.UnlockCommandControls();
    Connected = false;
    Report({TOutcomeKind::NotOurs, {}, Settings.Identification});
}

void TLinkSequencer::ProcessSaveReply(const std::string& line) {
    if (line == "NK") NoteRejection(StepIndex);
    if (StepIndex == 1 && line != "NK") HeldUpperLimit = UpperLimitSaving;
    if (StepIndex > LastStep) {
        StepIndex = 1;
        EndSequence(SaveEnd(TOutcomeKind::SaveConfirmed));
        return;
    }
    ++StepIndex;
}

// The answer to the last command can come after " Saving Complete" was shown.
void TLinkSequencer::NoteRejection(int step) {
    if (RejectedCommand.empty() && step >= 0 && step <= LastStep)
        RejectedCommand = SaveCommands[step];
    if (TimerEnabled || RejectedCommand.empty()) return;
    const TOutcome rejected = SaveEnd(TOutcomeKind::SaveRejected);
    View.ShowStatus(StatusText(rejected));
    Report(rejected);
}

TOutcome TLinkSequencer::SaveEnd(TOutcomeKind success) const {
    if (RejectedCommand.empty()) return {success};
    return {TOutcomeKind::SaveRejected, RejectedCommand};
}
