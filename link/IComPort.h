#pragma once
// The serial port as the link sequencer uses it; TApdComPort implements it.
#include <string>

class IComPort {
  public:
    virtual ~IComPort() = default;
    virtual void SetOpen(bool open) = 0;
    virtual void SetComNumber(int number) = 0;
    virtual void WriteString(const std::string& text) = 0;
    virtual char ReadChar() = 0;
};
