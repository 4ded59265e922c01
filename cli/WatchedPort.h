#pragma once
// The serial port as the sequencer sees it, watched on the way: it keeps why
// an open failed (with the holder of a busy device), writes every command and
// reply to the transcript, and cuts reply lines exactly as the sequencer does,
// so the line that moved a step can be named. It also pairs every reply line
// with the command it answers on the wire (a UPS answers one line per command,
// in order), so a reply taken for the wrong command can be caught.
#include "IComPort.h"
#include "PosixPortHolder.h"
#include "ReplyAssembler.h"
#include "Transcript.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class TWatchedPort : public IComPort {
  public:
    TWatchedPort(IComPort& port, TTranscript& log) : Port(port), Log(log) {}

    void SetOpen(bool open) override;
    void SetComNumber(int number) override { Port.SetComNumber(number); }
    void WriteString(const std::string& text) override;
    char ReadChar() override;

    // Around one data-available event: the reply line it completed, if any.
    void BeginEvent();
    std::optional<std::string> EndEvent();
    // The commands that the lines completed in this event answer ("" for a
    // line nobody asked for).
    const std::vector<std::string>& AnsweredInEvent() const { return Answered; }
    // A reopened port: nothing is pending any more.
    void Reset();

    std::string OpenError;              // the message of the last failed open
    std::optional<TPortHolder> Refusal; // who holds the device, when that was why
    std::string LastCommand;            // without CR LF

  private:
    IComPort& Port;
    TTranscript& Log;
    TReplyAssembler Assembler;
    int Taken = 0;
    char Last = '\0';
    std::deque<std::string> Unanswered;
    std::vector<std::string> Answered;
};
