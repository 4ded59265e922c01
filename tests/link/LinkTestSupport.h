#pragma once
// The far end of a serial line and the user-interface thread's event loop for
// the link tests, one implementation per platform: a pseudo-terminal and the
// Qt event loop on Linux; on Windows (under Wine) a pseudo-terminal mapped to
// the COM port, reached through a relay, and the thread's message loop.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the tests' main needs before anything else: the Qt application on
// Linux, sockets and plain output on Windows.
class TestHost {
  public:
    TestHost(int& argc, char** argv);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

  private:
    struct Impl;
    Impl* P;
};

// The far end of COM n: what it sends reaches the port, what the port writes
// arrives here. On Linux it also points ORVIX_COMn at its terminal.
struct TestPty {
    explicit TestPty(int comNumber = 1);
    ~TestPty();
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;
    // Gives up when the port takes nothing for 30 s.
    void Send(const std::string& bytes) const;
    // What arrives within timeoutMs, up to want bytes.
    std::string Receive(std::size_t want, int timeoutMs = 3000) const;
    // The platform's part of Receive: up to size bytes that arrive within
    // timeoutMs; 0 or less when none came.
    long ReceiveSome(char* buffer, std::size_t size, int timeoutMs) const;
    const int ComNumber;
#ifdef _WIN32
    std::uintptr_t Socket;
#else
    void Hangup(); // close the master: the port's end sees a hang-up
    int Master = -1;
    std::string Path;
#endif
};

// The line as the device shows it while the port holds it. The modem lines
// only where the test can see them (a pseudo-terminal on Linux has none).
struct TLineView {
    int Baud = 0, DataBits = 0, Parity = -1, StopBits = 0;
    std::optional<bool> Dtr, Rts;
};
TLineView ViewLine(const TestPty& pty);

// A COM number whose device does not exist.
int MissingComNumber();
// Wine lets a second open of a COM port through; Windows and Linux refuse it.
bool RunningUnderWine();

// Runs the event loop until pred() holds or timeoutMs passes.
bool RunUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Runs the event loop for ms milliseconds.
void RunFor(int ms);

int OpenHandleCount();
int ThreadCount();
// Process CPU time (user + system) in milliseconds.
double CpuMs();
// Context switches of all threads so far, or -1 where the platform keeps no count.
long ContextSwitches();
