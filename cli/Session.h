#pragma once
// One UPS on one port, driven through the link sequencer exactly as the
// window drives it: connect-and-read, read, factory values and save, each run
// in a Qt event loop until the sequence has ended, and judged by the outcome
// the sequencer reports.
#include "ApdComPort.h"
#include "LinkSequencer.h"
#include "SessionView.h"
#include "Settings.h"
#include "PortHolder.h"
#include "Transcript.h"

#include <memory>
#include <optional>
#include <string>

class QEventLoop;

enum TExitCode {
    ExitOk = 0,
    ExitUsage = 1,      // usage, or a value that is refused (nothing sent)
    ExitPort = 2,       // the port cannot be opened
    ExitNoReply = 3,    // no reply, or the line failed
    ExitNotOurs = 4,    // the identification failed
    ExitRejected = 5,   // the UPS answered "NK"
    ExitDiffers = 6,    // the read-back differs from what was written
    ExitLostOutput = 7, // the transcript or the output could not be written
};

struct TFailure {
    int Exit;
    std::string Message;
};
using TResult = std::optional<TFailure>;

struct TPortTarget {
    std::string Name; // "COM2", or the device path as given
    int ComNumber;    // the port choice the window would make
    std::string Path; // the device it maps to
};
// "COM1".."COM4" (any case) or a device path ("/dev/ttyUSB0"; on Windows also
// "\\.\COM12"); nullopt for anything else.
std::optional<TPortTarget> ResolvePort(const std::string& text);
// "COM1 (/dev/ttyS0)", or the path alone.
std::string Where(const TPortTarget& port);

// The failure an outcome of the sequencer stands for, for the outcomes that
// need no more than the outcome to tell; none for a sequence that ran its course.
std::optional<TFailure> FailureOfOutcome(const TOutcome& outcome);

class TUpsSession {
  public:
    TUpsSession(const TPortTarget& port, TTranscript& log, bool progress);
    ~TUpsSession();
    TUpsSession(const TUpsSession&) = delete;
    TUpsSession& operator=(const TUpsSession&) = delete;

    TResult Connect();          // open the port and read the unit ("接続")
    TResult Read();             // read again ("データの読取")
    TResult Save();             // the save sequence ("データの登録")
    TResult Factory(int rated); // factory values into the settings ("工場出荷時に設定")
    // After a save that stopped early: read again, reconnecting if the line
    // failed; the port may be gone.
    TResult ReadBack();
    // Lets the answers still due arrive (at most about 2 s), so that none is
    // left on the line for the next run, then closes the port: its exclusive
    // mode and lock file go with it.
    void Close();
    // Closes the session that is open, if any, before a run reports its end.
    static void CloseCurrent();

    // Silent ticks before "no reply"; the window waits three.
    void SetReplyWaitTicks(int ticks) { Link->ReplyWaitTicks = ReplyWaitTicks = ticks; }
    // The "=" commands of the last save the UPS answered, with their meaning:
    // "R5= (upper_limit_v), R4= (lower_limit_v)"; "none" when none was.
    std::string WrittenRegisters() const;
    // A signal stopped the last sequence before its end.
    bool StoppedBySignal() const { return SignalStop; }

    // The unit's settings as last read, with the registers of that read.
    TUpsSettings Settings() const { return Link->Settings; }
    // What the next save sends.
    TUpsSettings& Model() { return Link->Settings; }
    // The save ended without an answer to its last command.
    bool LastReplyMissing() const { return FLastReplyMissing; }

  private:
    enum class TPhase { Idle, Reading, Saving, AwaitLastReply, Draining };

    void Begin(TPhase phase);
    void RunLoop(int limitMs);
    void Finish();
    void Fail(const std::string& what);
    void OnTick();
    void OnData(int count);
    void OnReply(const TSentCommand& answered, const std::string& line);
    void OnEnded(const TOutcome& outcome);
    void OnSignal(int signal);
    bool ClearStaleExclusiveMode();
    void LetDueRepliesArrive();
    void NewLink();
    void Progress(bool clear = false);
    TResult JudgeRead();
    TResult JudgeSave();
    TFailure NoReply(const std::string& detail) const;
    TFailure Stopped(bool saving) const;

    static TUpsSession* Current;
    TPortTarget Port;
    TTranscript& Log;
    bool ShowProgressLine;
    TSessionView View;
    TApdComPort ComPort1;
    TTranscribedPort Transcribed{ComPort1, Log};
    std::unique_ptr<TLinkSequencer> Link;
    int ReplyWaitTicks = 3;

    TPhase Phase = TPhase::Idle;
    QEventLoop* Loop = nullptr;
    bool Done = false, TimedOut = false, FLastReplyMissing = false, SignalStop = false;
    std::string ErrorBoxText, MessageBoxText, FailureText;
    std::vector<std::pair<std::string, std::string>> SaveReplies; // "R5", "OK"
    std::optional<TPortHolder> Refusal; // who held the port when an open was refused
    bool ProgressShown = false;
};
