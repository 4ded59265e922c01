#pragma once
// One UPS on one port, driven through the link sequencer exactly as the
// window drives it: connect-and-read, read, factory values and save, each run
// in a Qt event loop until the sequence has ended, and judged by the texts,
// boxes and steps the window would show.
#include "ApdComPort.h"
#include "HeadlessWindow.h"
#include "LinkSequencer.h"
#include "Settings.h"
#include "Transcript.h"
#include "WatchedPort.h"

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
// "COM1".."COM4" (any case) or a path with a "/"; nullopt for anything else.
std::optional<TPortTarget> ResolvePort(const std::string& text);
// "COM1 (/dev/ttyS0)", or the path alone.
std::string Where(const TPortTarget& port);

// The failure a status text of the sequencer stands for; none for the
// statuses of a sequence that ran its course. command names the step, for
// messages.
std::optional<TFailure> FailureOfStatus(const std::string& status);

class TUpsSession {
  public:
    TUpsSession(const TPortTarget& port, TTranscript& log, bool progress);
    ~TUpsSession();
    TUpsSession(const TUpsSession&) = delete;
    TUpsSession& operator=(const TUpsSession&) = delete;

    TResult Connect();          // open the port and read the unit ("接続")
    TResult Read();             // read again ("データの読取")
    TResult Save();             // the save sequence ("データの登録")
    TResult Factory(int rated); // factory values into the controls ("工場出荷時に設定")
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

    // The settings as the controls hold them, with the registers of the last read.
    TUnitSettings Settings() const;
    THeadlessWindow& Window() { return FWindow; }
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
    void OnStatus(const std::string& text);
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
    THeadlessWindow FWindow;
    TApdComPort ComPort1;
    TWatchedPort Watched{ComPort1, Log};
    std::unique_ptr<TLinkSequencer> Link;
    int ReplyWaitTicks = 3;

    TPhase Phase = TPhase::Idle;
    QEventLoop* Loop = nullptr;
    bool Done = false, TimedOut = false, FLastReplyMissing = false, SignalStop = false;
    std::string ErrorBoxText, MessageBoxText, FailureText;
    std::string Identification, RejectedRead;
    std::vector<std::pair<std::string, std::string>> Replies;
    std::vector<std::pair<std::string, std::string>> SaveReplies; // "R5", "OK"
    bool ProgressShown = false;
};
