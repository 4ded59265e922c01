#pragma once
// Pseudo-terminals and a real Qt event loop for the serial link tests.
#include <functional>
#include <string>

// A pseudo-terminal pair: the port opens Path, the test is the master end.
struct TestPty {
    TestPty();
    ~TestPty();
    void Send(const std::string& bytes) const;
    // What arrives at the master end within timeoutMs, up to want bytes.
    std::string Receive(std::size_t want, int timeoutMs = 3000) const;
    void Hangup(); // close the master: the port's end sees a hang-up
    int Master = -1;
    std::string Path;
};

// Runs the event loop until pred() holds or timeoutMs passes.
bool RunUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Runs the event loop for ms milliseconds.
void RunFor(int ms);

int OpenDescriptorCount();
int ThreadCount();
// Process CPU time (user + system) in milliseconds.
double CpuMs();
