#include "Session.h"

#include "Commands.h"
#include "ErrorDisplay.h"
#include "Interrupts.h"
#include "PortDiagnosis.h"
#include "PortNaming.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>

namespace {

// A sequence ends on its own within a few seconds; this only guards against a
// line that keeps trickling characters without ever ending a reply.
constexpr int SequenceLimitMs = 30000;
// The answer to the last save command comes after " Saving Complete".
constexpr int LastReplyWaitMs = 1000;
// Answers still due when a run ends are let in before the port closes, so
// that none is left on the line for the next run.
constexpr int DueReplyWaitMs = 2000;

// What each save command carries, for messages.
std::string CommandMeaning(const std::string& command) {
    static const std::pair<const char*, const char*> meanings[] = {
        {"Xw", "the write enable"},
        {"R5", "upper_limit_v"},
        {"R4", "lower_limit_v"},
        {"TD", "shutdown_delay_min"},
        {"F%", "frequency_tolerance_hz"},
        {"R31", "biweekly_self_test, fault_alarm_delay, backup_warning_auto_stop"},
        {"R28", "alarm_sound_stop and the warning sounds"},
        {"R34", "the outlet management switches"},
        {"R42", "outlet_delay_s"},
    };
    for (const auto& [c, m] : meanings)
        if (command == c) return m;
    return "an unknown setting";
}

} // namespace

std::optional<TFailure> FailureOfOutcome(const TOutcome& o) {
    const std::string& command = o.Command;
    switch (o.Kind) {
    case TOutcomeKind::UnexpectedReply:
        return TFailure{ExitNoReply,
                        "the UPS answered " + command + " (" + CommandMeaning(command) +
                            ") with a reply that does not fit it: \"" + o.Detail.substr(0, 16) +
                            "\"; nothing of it was taken. Is something else on the line?"};
    case TOutcomeKind::ReadRejected:
        return TFailure{ExitRejected, "the UPS rejected the read of " + command + " (" +
                                          CommandMeaning(command) + ") with \"NK\""};
    case TOutcomeKind::SaveRejected:
        return TFailure{ExitRejected, "the UPS rejected " + command + "= (" +
                                          CommandMeaning(command) +
                                          ") with \"NK\"; the save went on with the rest"};
    case TOutcomeKind::InvalidValue:
        return TFailure{ExitUsage, std::string("the ") +
                                       (o.Setting ? Setting(*o.Setting).Name : "value") +
                                       " to save cannot be sent; nothing was"};
    default:
        return std::nullopt;
    }
}

std::optional<TPortTarget> ResolvePort(const std::string& text) {
    if (text.size() == 4 && std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(text[2])) == 'M' && text[3] >= '1' &&
        text[3] <= '4') {
        const std::string name = "COM" + text.substr(3);
        return TPortTarget{name, text[3] - '0', DeviceOfComPort(text[3] - '0')};
    }
    if (IsDevicePath(text)) return TPortTarget{text, 1, text};
    return std::nullopt;
}

std::string Where(const TPortTarget& port) {
    return port.Name + (port.Name == port.Path ? "" : " (" + port.Path + ")");
}

TUpsSession::TUpsSession(const TPortTarget& port, TTranscript& log, bool progress)
    : Port(port), Log(log), ShowProgressLine(progress) {
    ComPort1.SetDevicePath(port.Path);
    ComPort1.SetBaud(TLinkSequencer::LineBaud);
    ComPort1.SetAutoOpen(false);
    ComPort1.OnTriggerAvail = [this](TApdCustomComPort&, std::uint16_t count) { OnData(count); };
    View.OnTimer = [this] { OnTick(); };
    View.OnEnded = [this](const TOutcome& outcome) { OnEnded(outcome); };
    View.OnErrorBox = [this](const std::string& text) {
        ErrorBoxText = text;
        Finish();
    };
    View.OnMessageBox = [this](const std::string& text) {
        MessageBoxText = text;
        Finish();
    };
    // A failure inside a port notice reaches the application's error display.
    SetApplicationErrorDisplay([this](const std::string& message) { Fail(message); });
    Interrupts::WatchInEventLoop();
    Interrupts::OnSignal = [this](int signal) { OnSignal(signal); };
    Current = this;
    NewLink();
}

void TUpsSession::NewLink() {
    Link = std::make_unique<TLinkSequencer>(View, Transcribed);
    Link->ReplyWaitTicks = ReplyWaitTicks;
    Link->OnReplyTaken = [this](const TSentCommand& answered, const std::string& line) {
        OnReply(answered, line);
    };
    Link->InitializeLink();
}

TUpsSession* TUpsSession::Current = nullptr;

TUpsSession::~TUpsSession() {
    Close();
    Interrupts::OnSignal = nullptr;
    SetApplicationErrorDisplay(nullptr);
    Current = nullptr;
}

void TUpsSession::Close() {
    LetDueRepliesArrive();
    Progress(true);
    View.SetTimerEnabled(false);
    ComPort1.OnTriggerAvail = nullptr;
    try {
        ComPort1.SetOpen(false);
    } catch (const std::exception&) {
        // Closing a port that is going away anyway.
    }
    Log.FlushPartial();
}

void TUpsSession::CloseCurrent() {
    if (Current) Current->Close();
}

void TUpsSession::Begin(TPhase phase) {
    Phase = phase;
    Done = TimedOut = false;
    ErrorBoxText.clear();
    MessageBoxText.clear();
    FailureText.clear();
}

void TUpsSession::RunLoop(int limitMs) {
    Interrupts::Poll(); // a signal before the loop ran
    if (Done) return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [this] {
        TimedOut = true;
        Finish();
    });
    limit.start(limitMs);
    Loop = &loop;
    loop.exec();
    Loop = nullptr;
    Progress(true);
}

void TUpsSession::Finish() {
    Done = true;
    if (Loop) Loop->quit();
}

void TUpsSession::Fail(const std::string& what) {
    if (FailureText.empty()) FailureText = what;
    View.SetTimerEnabled(false);
    Finish();
}

void TUpsSession::OnTick() {
    try {
        Link->Timer1Timer();
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    Progress();
}

void TUpsSession::OnData(int count) {
    try {
        Link->ComPort1TriggerAvail(count);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    if ((Phase == TPhase::AwaitLastReply || Phase == TPhase::Draining) && !Link->AwaitingReplies())
        Finish();
}

void TUpsSession::LetDueRepliesArrive() {
    if (SignalStop || !ComPort1.Open() || !Link->AwaitingReplies()) return;
    if (!DeviceExists(Port.Path)) return; // the device went away
    Begin(TPhase::Draining);
    RunLoop(DueReplyWaitMs);
    Phase = TPhase::Idle;
}

// A signal during a read, or before anything was sent, stops at once. A save
// runs to its end, since a unit left halfway holds a mix of old and new
// values; a second signal stops even that.
void TUpsSession::OnSignal(int signal) {
    const bool saving = Phase == TPhase::Saving || Phase == TPhase::AwaitLastReply;
    if (saving && Interrupts::Count() == 1) {
        Log.Note(Interrupts::Name(signal) + " received: the save goes on to its end");
        Progress(true);
        std::cerr << "orvix-ups: " << Interrupts::Name(signal)
                  << ": the save goes on to its end (about 2 s); a second signal stops it at "
                     "once\n";
        return;
    }
    Log.Note(Interrupts::Name(signal) + " received: stopping at once");
    SignalStop = true;
    View.SetTimerEnabled(false);
    Finish();
}

// Each reply as the sequencer took it for the command it answers.
void TUpsSession::OnReply(const TSentCommand& answered, const std::string& line) {
    if (answered.Mode == TLinkMode::Saving && answered.Step >= 1 && answered.Step <= LastStep)
        SaveReplies.emplace_back(SaveCommands[answered.Step], line);
}

void TUpsSession::OnEnded(const TOutcome& outcome) {
    const bool saveEnded = outcome.Kind == TOutcomeKind::SaveCompleted ||
                           outcome.Kind == TOutcomeKind::SaveRejected;
    if (Phase == TPhase::AwaitLastReply || Phase == TPhase::Draining) return;
    // The last command's answer is still to come when a save ends.
    if (Phase == TPhase::Saving && saveEnded && Link->AwaitingReplies()) {
        Phase = TPhase::AwaitLastReply;
        if (Loop)
            QTimer::singleShot(LastReplyWaitMs, Loop, [this] {
                if (Phase == TPhase::AwaitLastReply) Finish();
            });
        return;
    }
    Finish();
}

void TUpsSession::Progress(bool clear) {
    if (!ShowProgressLine) return;
    if (clear) {
        if (ProgressShown) std::cerr << "\r\033[K" << std::flush;
        ProgressShown = false;
        return;
    }
    const int step = Link->StepIndex;
    if (step < 0 || step > LastStep || Phase == TPhase::Idle) return;
    const bool reading = Link->LinkMode == TLinkMode::Reading;
    std::string what = reading ? std::string("reading ") + ReadCommands[step]
                               : std::string("writing ") + SaveCommands[step] + (step ? "=" : "");
    std::cerr << "\r\033[K" << what << " (" << step + 1 << "/" << LastStep + 1 << ")" << std::flush;
    ProgressShown = true;
}

TFailure TUpsSession::NoReply(const std::string& detail) const {
    const std::string where = Where(Port);
    if (!DeviceExists(Port.Path))
        return {ExitNoReply, "the device " + Port.Path + " went away during the exchange" +
                                 " (unplugged?); nothing further was sent"};
    std::string message = "no reply from the UPS on " + where;
    if (!detail.empty()) message += " (" + detail + ")";
    return {ExitNoReply, message + ": check the cable, that the UPS is connected to this port, " +
                             "and that it is switched on"};
}

TFailure TUpsSession::Stopped(bool saving) const {
    std::string message = "stopped by " + Interrupts::Name(Interrupts::First());
    if (saving)
        message += " during the save; the UPS took " + WrittenRegisters() +
                   "; run orvix-ups read to see what it holds";
    return {Interrupts::ExitCode(), message};
}

std::string TUpsSession::WrittenRegisters() const {
    std::string taken;
    for (const auto& [command, reply] : SaveReplies)
        if (reply != "NK")
            taken += (taken.empty() ? "" : ", ") + command + "= (" + CommandMeaning(command) + ")";
    return taken.empty() ? "none of the \"=\" commands" : taken;
}

// A port refused only for the exclusive mode a finished program left behind
// is cleared, and the transcript says so.
bool TUpsSession::ClearStaleExclusiveMode() {
    if (!::ClearStaleExclusiveMode(Port.Path, Refusal)) return false;
    Log.Note(Port.Path + " was left in exclusive mode with no process holding it; cleared");
    return true;
}

TResult TUpsSession::Connect() {
    Begin(TPhase::Reading);
    SaveReplies.clear();
    Interrupts::Poll();
    if (SignalStop) return Stopped(false);
    View.SetPortItemIndex(Port.ComNumber - 1);
    auto open = [this] {
        Link->LMDButton1Click();
        Refusal = OpenRefusal();
        return Link->Outcome().Kind != TOutcomeKind::PortFailed;
    };
    try {
        if (!open() && ClearStaleExclusiveMode()) {
            Begin(TPhase::Reading);
            open();
        }
    } catch (const std::exception& e) {
        // A failure the sequencer does not catch; the window would show it in a box.
        return TFailure{ExitPort,
                        DescribeOpenFailure(Port.Name, Port.Path, e.what(), std::nullopt)};
    }
    if (const auto& error = Link->OpenError())
        return TFailure{ExitPort,
                        DescribeOpenFailure(Port.Name, Port.Path, error->Reason, Refusal)};
    Log.Note("connected to " + Where(Port));
    RunLoop(SequenceLimitMs);
    auto result = JudgeRead();
    if (!result) Log.Note("identification " + Link->Settings.Identification);
    return result;
}

TResult TUpsSession::Read() {
    Begin(TPhase::Reading);
    Link->LMDButton3Click();
    RunLoop(SequenceLimitMs);
    return JudgeRead();
}

TResult TUpsSession::JudgeRead() {
    Phase = TPhase::Idle;
    if (SignalStop) return Stopped(false);
    if (!FailureText.empty()) return NoReply(FailureText);
    if (!ErrorBoxText.empty()) return TFailure{ExitNoReply, ErrorBoxText};
    const TOutcome& outcome = Link->Outcome();
    if (outcome.Kind == TOutcomeKind::NotOurs) {
        const std::string where = Port.Name == Port.Path ? Port.Path : Port.Name;
        return TFailure{ExitNotOurs,
                        "the device on " + where +
                            " is not a UPS of the Orvix Sine / Benlo / Quenda line: it "
                            "identified itself as \"" +
                            outcome.Detail + "\" (\"" + MessageBoxText + "\")"};
    }
    if (auto f = FailureOfOutcome(outcome)) return f;
    if (outcome.Kind == TOutcomeKind::NoReply) return NoReply("");
    if (outcome.Kind == TOutcomeKind::Failed) return NoReply(outcome.Detail);
    if (TimedOut || outcome.Kind != TOutcomeKind::ReadCompleted)
        return NoReply("the read did not end within " + std::to_string(SequenceLimitMs / 1000) +
                       " s");
    return std::nullopt;
}

TResult TUpsSession::ReadBack() {
    if (Link->Connected) return Read();
    // A failed line leaves the link waiting for answers that will not come;
    // start afresh, as a new run would.
    View.SetTimerEnabled(false);
    NewLink();
    return Connect();
}

TResult TUpsSession::Save() {
    Begin(TPhase::Saving);
    SaveReplies.clear();
    FLastReplyMissing = false;
    Link->LMDButton4Click();
    RunLoop(SequenceLimitMs);
    const bool awaited = Phase == TPhase::AwaitLastReply;
    FLastReplyMissing = awaited && Link->AwaitingReplies();
    TimedOut = TimedOut && !awaited;
    return JudgeSave();
}

TResult TUpsSession::JudgeSave() {
    Phase = TPhase::Idle;
    if (SignalStop) return Stopped(true);
    if (!FailureText.empty()) return NoReply(FailureText);
    if (!ErrorBoxText.empty()) return TFailure{ExitNoReply, ErrorBoxText};
    const TOutcome& outcome = Link->Outcome();
    if (outcome.Kind == TOutcomeKind::NoReply || outcome.Kind == TOutcomeKind::Failed)
        return NoReply("during the save");
    if (auto f = FailureOfOutcome(outcome)) return f;
    if (TimedOut || (outcome.Kind != TOutcomeKind::SaveCompleted &&
                     outcome.Kind != TOutcomeKind::SaveConfirmed))
        return NoReply("the save did not end within " + std::to_string(SequenceLimitMs / 1000) +
                       " s");
    return std::nullopt;
}

TResult TUpsSession::Factory(int rated) {
    Begin(TPhase::Idle);
    if (!Link->EnterReadingIfConnected()) return TFailure{ExitNoReply, ErrorBoxText};
    ApplyFactoryValues(Link->Settings, rated);
    return std::nullopt;
}
