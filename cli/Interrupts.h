#pragma once
// SIGINT, SIGTERM and SIGHUP while orvix-ups talks to a UPS (on Windows:
// Ctrl-C, Ctrl-Break and the console's closing, counted as those three):
// instead of dying mid-save with the port left in a bad state, the run is
// told about each one in its event loop and decides how to stop.
#include <functional>
#include <string>

namespace Interrupts {

// Catches the three (and, on POSIX, ignores SIGPIPE, so that a closed output
// is an error to report rather than a silent death).
void Install();
// Hands each one to the event loop; needs the application object.
void WatchInEventLoop();
// Takes those that arrived while no event loop ran.
void Poll();

int Count();                  // interruptions received so far
int First();                  // the first one's signal number, 0 when none
int ExitCode();               // 128 + the first one's signal number
std::string Name(int signal); // "SIGINT"; "Ctrl-C" on Windows

// Called in the event loop with each one as it arrives.
extern std::function<void(int signal)> OnSignal;

// For the platform's part: counts one and calls OnSignal, in the event loop.
void Deliver(int signal);

} // namespace Interrupts
