#include "LinkSequencer.h"

#include "ApdExceptions.h"
#include "NumberText.h"
#include "VoltageClass.h"

#include <algorithm>

TLinkSequencer::TLinkSequencer(ISettingsWindow& window, IComPort& port)
    : Window(window), Port(port) {}

TLinkSequencer::~TLinkSequencer() = default;

void TLinkSequencer::InitializeLink() {
    Window.SetCaption(WindowCaption);
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
    const int index = Window.PortItemIndex();
    if (index >= 0 && index <= 3) SelectedPort = index + 1;
    if (SelectedPort == 0) {
        Window.ErrorBox("Please select comport before connect to the UPS");
        return;
    }
    Connected = OpenComPort(SelectedPort);
    if (!Connected) {
        Window.DetailedErrorBox("Cannot initialize COM port", "COM" + NumberToText(SelectedPort) +
                                                                  ": " + LastOpenError->Reason +
                                                                  " (" + LastOpenError->Kind + ")");
        return;
    }
    Window.LockCommandControls();
    // The reopened port discarded what was unread, so a partial line is stale too.
    Reply.Discard();
    // Always identify first: the device on this port may not be the one read before.
    StartSequence(TLinkMode::Reading);
}

void TLinkSequencer::LMDButton3Click() {
    if (!EnterReadingIfConnected()) return;
    Window.LockCommandControls();
    Window.ShowStatus(" Reading data from UPS");
    StartSequence(TLinkMode::Reading);
}

void TLinkSequencer::LMDButton4Click() {
    if (!Connected) {
        Window.ShowStatus(" Connect COM port first !");
        Window.ErrorBox("Connect to the UPS before save config!");
        return;
    }
    if (!LimitsSuitTheUnit()) return;
    Window.LockCommandControls();
    RejectedCommand.clear();
    StartSequence(TLinkMode::Saving);
}

// Factory values or dialog choices for a 100 V unit saved into a 230 V unit
// (or the reverse) would set it far off its mains: the operator must confirm.
bool TLinkSequencer::LimitsSuitTheUnit() {
    const TNumberText upper = ParseNumberText(Window.EditText(1));
    const TNumberText lower = ParseNumberText(Window.EditText(2));
    if (!upper.Ok || !lower.Ok) return true; // the save itself refuses such a value
    const auto conflict = VoltageClassMismatch(upper.Value, lower.Value, HeldUpperLimit);
    return !conflict || Window.AskYesNo("The limits to save " + *conflict + ". Save anyway?");
}

bool TLinkSequencer::EnterReadingIfConnected() {
    LinkMode = TLinkMode::Reading;
    if (!Connected) {
        Window.ShowStatus(" Connect COM port first !");
        Window.ErrorBox("Connect to the UPS before read config!");
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
    SetTimer(true);
}

void TLinkSequencer::SetTimer(bool enabled) {
    TimerEnabled = enabled;
    Window.SetTimerEnabled(enabled);
}

void TLinkSequencer::StopSequence(const std::string& status) {
    Window.ShowStatus(status);
    Window.UnlockCommandControls();
    SetTimer(false);
}

void TLinkSequencer::ReportSilence() {
    Window.ShowStatus("Communication error !");
    Window.UnlockCommandControls();
    Connected = false;
    NoReplyTicks = 0;
    SetTimer(false);
}

// A failure inside a tick or a reply ends the sequence like a silent line,
// naming what failed; the caller still reports it.
void TLinkSequencer::FailSequence(const std::string& what) {
    Window.ShowStatus("Communication error ! " + what);
    Window.UnlockCommandControls();
    Connected = false;
    NoReplyTicks = 0;
    SetTimer(false);
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
    if (StepIndex == 1) Window.ShowStatus(" Saving configuration");
    if (RepeatDue()) {
        TProtocolContext ctx{Window, Settings, *HexTool};
        const TSaveCommand command = BuildSaveCommand(ctx, StepIndex);
        if (!command.InvalidField.empty()) {
            StopSequence(" Invalid value: " + command.InvalidField);
            return;
        }
        if (command.Line) SendStepCommand(*command.Line);
        if (command.Line && StepIndex == 1)
            UpperLimitSaving = HexTool->HexToWord(command.Line->substr(3)) / 10;
    }
    if (NoReplyTicks >= ReplyWaitTicks) {
        ReportSilence();
        return;
    }
    if (StepIndex == LastStep) StopSequence(SaveEndStatus(" Saving Complete"));
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
    ProcessReplyAs(answered->Mode, line);
    if (line == "NK") Window.SetCaption(Window.Caption() + NumberToText(StepIndex));
}

// A reply that does not fit its read command belongs to another one: taking
// it would put a value where it does not belong, so the read ends and no field
// changes. The outlet delay is only taken when the unit has outlets.
bool TLinkSequencer::ReadReplyFits(const std::string& line) {
    if (StepIndex < 1 || StepIndex > LastStep) return true;
    const std::string command = ReadCommands[StepIndex];
    if (line == "NK") {
        Window.SetCaption(Window.Caption() + NumberToText(StepIndex + 1));
        EndRead(" Read failed: UPS rejected " + command);
        return false;
    }
    if (StepIndex == LastStep && !Settings.FlagsR34[15]) return true;
    if (ReplyFitsRead(StepIndex, line)) return true;
    EndRead(" Unexpected reply to " + command + ": \"" + line.substr(0, 16) + "\"");
    return false;
}

// The unit's state is only partly known: a save must wait for a new connect.
void TLinkSequencer::EndRead(const std::string& status) {
    StopSequence(status);
    Connected = false;
    NoReplyTicks = 0;
}

void TLinkSequencer::ProcessReply(const std::string& line) {
    ProcessReplyAs(LinkMode, line);
}

void TLinkSequencer::ProcessReplyAs(TLinkMode mode, const std::string& line) {
    if (mode == TLinkMode::Reading)
        ProcessReadReply(line);
    else
        ProcessSaveReply(line);
}

void TLinkSequencer::ProcessReadReply(const std::string& line) {
    if (StepIndex >= 0 && StepIndex <= LastStep) {
        if (StepIndex == 1) HeldUpperLimit = HexTool->HexToWord(line) / 10;
        TProtocolContext ctx{Window, Settings, *HexTool};
        if (!ApplyReadReply(ctx, StepIndex, line)) {
            IdentificationFailing = true;
            Window.PlainMessageBox("This program can use only with Morbeck Orvix series");
            IdentificationFailing = false;
            // Nothing may be saved to a device that failed identification, and
            // the window must not stay locked.
            SetTimer(false);
            Window.UnlockCommandControls();
            Connected = false;
        }
    }
    if (StepIndex > LastStep - 1) {
        const bool outlets = Window.ComboItemIndex(9) == 0;
        Window.SetEditEnabled(4, outlets);
        Window.SetUpDownEnabled(4, outlets);
        for (int c = 10; c <= 14; ++c)
            Window.SetComboEnabled(c, outlets);
        StepIndex = 1;
        StopSequence(" Reading data from UPS completed");
    } else {
        ++StepIndex;
    }
}

void TLinkSequencer::ProcessSaveReply(const std::string& line) {
    if (line == "NK") NoteRejection(StepIndex);
    if (StepIndex == 1 && line != "NK") HeldUpperLimit = UpperLimitSaving;
    if (StepIndex > LastStep) {
        StepIndex = 1;
        StopSequence(SaveEndStatus(" Save all configuration success"));
        return;
    }
    ++StepIndex;
}

// The answer to the last command can come after " Saving Complete" was shown.
void TLinkSequencer::NoteRejection(int step) {
    if (RejectedCommand.empty() && step >= 0 && step <= LastStep)
        RejectedCommand = SaveCommands[step];
    if (!TimerEnabled) Window.ShowStatus(SaveEndStatus(""));
}

std::string TLinkSequencer::SaveEndStatus(const std::string& success) const {
    if (RejectedCommand.empty()) return success;
    return " Save failed: UPS rejected " + RejectedCommand;
}
