#pragma once
// The --log transcript: one line per command sent and per reply line
// received, each with a local timestamp to the millisecond, appended to a file.
//   2024-05-14 09:31:02.417 > R5
//   2024-05-14 09:31:02.431 < 0B40
// Lines starting with "#" say what the run was and how it ended.
#include <cstdio>
#include <string>

class TTranscript {
  public:
    TTranscript() = default;
    ~TTranscript();
    TTranscript(const TTranscript&) = delete;
    TTranscript& operator=(const TTranscript&) = delete;

    // Appends to path; false with the system's reason when it cannot.
    bool Open(const std::string& path, std::string& error);

    void Note(const std::string& text);
    void Sent(const std::string& text); // a command line, its CR LF dropped
    void Received(char c);              // a reply line is written at its LF
    // Writes what came after the last LF, if anything.
    void FlushPartial();

    // A line could not be written (a full disk, /dev/full): why, with the
    // file's name; empty while every line went out.
    const std::string& LostReason() const { return Lost; }

  private:
    void Line(char direction, const std::string& text);

    std::FILE* File = nullptr;
    std::string Pending;
    std::string Path, Lost;
};

#include "IComPort.h"

// The serial port as the sequencer sees it, with every command sent and every
// character received written to the transcript on the way.
class TTranscribedPort : public IComPort {
  public:
    TTranscribedPort(IComPort& port, TTranscript& log) : Port(port), Log(log) {}

    void SetOpen(bool open) override { Port.SetOpen(open); }
    void SetComNumber(int number) override { Port.SetComNumber(number); }
    void WriteString(const std::string& text) override {
        Port.WriteString(text);
        Log.Sent(text);
    }
    char ReadChar() override {
        const char c = Port.ReadChar();
        Log.Received(c);
        return c;
    }

  private:
    IComPort& Port;
    TTranscript& Log;
};
