#pragma once
// The command line of orvix-ups.
#include <stdexcept>
#include <string>
#include <vector>

enum class TCommand { Help, Version, Ports, Read, Write, Factory };

struct TArguments {
    TCommand Command = TCommand::Help;
    std::string Port;
    int Rated = 0;
    std::vector<std::string> Sets; // "NAME=VALUE"
    std::string FromFile, LogFile;
    bool AnyLimit = false, NoVerify = false, Json = false;
};

class TUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// args without the program name; throws TUsageError with what is wrong.
TArguments ParseArguments(const std::vector<std::string>& args);

extern const char* const UsageText;
extern const char* const VersionText;
