#pragma once
// The serial port as the sequencer sees it, watched on the way: it keeps why
// an open failed (with the holder of a busy device) and writes every command
// and every received character to the transcript.
#include "IComPort.h"
#include "PosixPortHolder.h"
#include "Transcript.h"

#include <optional>
#include <string>

class TWatchedPort : public IComPort {
  public:
    TWatchedPort(IComPort& port, TTranscript& log) : Port(port), Log(log) {}

    void SetOpen(bool open) override;
    void SetComNumber(int number) override { Port.SetComNumber(number); }
    void WriteString(const std::string& text) override;
    char ReadChar() override;

    std::string OpenError;              // the message of the last failed open
    std::optional<TPortHolder> Refusal; // who holds the device, when that was why

  private:
    IComPort& Port;
    TTranscript& Log;
};
