#pragma once
// Starts orvix-ups-sim as a child process and hands out its terminal's path.
#include <string>
#include <sys/types.h>
#include <vector>

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return TerminalPath; }
    pid_t Pid() const { return Child; }
    // Sends SIGTERM and waits; returns the exit status (or -1).
    int Stop();

    static std::string Binary();

  private:
    pid_t Child = -1;
    std::string TerminalPath;
};

// A terminal opened raw, as the utility would, with reads that wait at most timeoutMs.
class RawTerminal {
  public:
    explicit RawTerminal(const std::string& path);
    ~RawTerminal();
    int Fd() const { return Descriptor; }
    void Write(const std::string& text);
    // Everything up to and including the next LF, or what came within timeoutMs.
    std::string ReadLine(int timeoutMs = 3000);
    // Whatever arrives within timeoutMs.
    std::string ReadFor(int timeoutMs);

  private:
    int Descriptor = -1;
};

std::string ReadFile(const std::string& path);
// The strings as a null-terminated array, for the argv and envp of posix_spawn.
std::vector<char*> CStrings(std::vector<std::string>& strings);
std::string TempPath(const std::string& name);
