#pragma once
// The command line of orvix-ups.
#include <stdexcept>
#include <string>
#include <vector>

enum class TCommand { Help, Version, Ports, Read, Write, Factory, Get, Settings, Diff };

struct TArguments {
    TCommand Command = TCommand::Help;
    std::string Port;
    int Rated = 0;
    std::vector<std::string> Sets; // "NAME=VALUE"
    std::string FromFile, LogFile;
    bool AnyLimit = false, NoVerify = false, Json = false;
    bool Force = false, DryRun = false, Quiet = false;
    int ReplyWaitMs = 0;            // 0: the window's three ticks
    std::vector<std::string> Words; // the command line as given, for the transcript
    std::vector<std::string> Names; // get: the settings asked for
    struct TSide {
        bool Port; // a port to read, else a saved file
        std::string Where;
    };
    std::vector<TSide> Sides; // diff: the two sides in the order given
};

class TUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// args without the program name; throws TUsageError with what is wrong.
TArguments ParseArguments(const std::vector<std::string>& args);

// The candidate closest to a mistyped word, for "did you mean"; empty when
// none is close.
std::string Closest(const std::string& word, const std::vector<std::string>& candidates);

std::string UsageText();
extern const char* const VersionText;
