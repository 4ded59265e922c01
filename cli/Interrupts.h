#pragma once
// SIGINT, SIGTERM and SIGHUP while orvix-ups talks to a UPS: instead of dying
// mid-save with the terminal left in exclusive mode, the run is told about
// each signal in its event loop and decides how to stop.
#include <functional>
#include <string>

namespace Interrupts {

// Catches the three signals (and ignores SIGPIPE, so that a closed output
// is an error to report rather than a silent death).
void Install();
// Hands each signal to the event loop; needs the application object.
void WatchInEventLoop();
// Takes signals that arrived while no event loop ran.
void Poll();

int Count();                  // signals received so far
int First();                  // the first one's number, 0 when none
int ExitCode();               // 128 + the first signal's number
std::string Name(int signal); // "SIGINT"

// Called in the event loop with each signal as it arrives.
extern std::function<void(int signal)> OnSignal;

} // namespace Interrupts
