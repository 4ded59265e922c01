#pragma once
// The stand-in UPS's registers and its answer to one command line.
#include <map>
#include <set>
#include <string>

struct TUpsOptions {
    bool WrongId = false;
    bool ShortId = false;
    std::set<std::string> RejectCommands; // "R4=" rejects every write to R4, "TD" a read of TD
    bool IgnoreWrites = false;            // "OK" to every valid write, values kept
    std::map<std::string, std::string> Replies; // a command answered with a fixed text instead
};

class TUpsModel {
  public:
    explicit TUpsModel(TUpsOptions options);

    // The reply line to a command line (without line ends).
    std::string Answer(const std::string& command);

    // "name value" lines, one per register.
    std::string StateText() const;
    const std::string& Register(const std::string& name) const { return Registers.at(name); }

  private:
    bool Write(const std::string& name, const std::string& value);
    bool Store(const std::string& name, const std::string& value);
    bool Rejected(const std::string& command) const;

    TUpsOptions Options;
    std::map<std::string, std::string> Registers;
    bool WriteEnabled = false;
};
