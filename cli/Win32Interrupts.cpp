#include "Interrupts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWinEventNotifier>
#include <mutex>
#include <vector>
#include <windows.h>

namespace Interrupts {

namespace {

// The console's events under the POSIX signal numbers, so that the exit
// codes are those of Linux: 130 for Ctrl-C, 143 for Ctrl-Break, 129 when
// the console goes away (closed, logoff, shutdown).
constexpr int HangUp = 1, Interrupt = 2, Terminate = 15;

HANDLE Wake = nullptr; // set when an event waits in Pending
std::mutex Lock;
std::vector<int> Pending;
QPointer<QWinEventNotifier> Notifier; // owned by the application

// Runs on a thread the system starts for each event.
BOOL WINAPI Handler(DWORD event) {
    int signal = Terminate;
    if (event == CTRL_C_EVENT) signal = Interrupt;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        signal = HangUp;
    {
        const std::lock_guard<std::mutex> hold(Lock);
        Pending.push_back(signal);
    }
    SetEvent(Wake);
    // Returning from these ends the process at once; waiting lets a save
    // finish (the system allows about 5 s), and the process ends on its own.
    if (signal == HangUp) Sleep(INFINITE);
    return TRUE;
}

} // namespace

void Install() {
    if (Wake) return;
    Wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!Wake) return;
    // A program started in a new process group ignores Ctrl-C until told otherwise.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(Handler, TRUE);
}

void Poll() {
    if (!Wake) return;
    ResetEvent(Wake);
    std::vector<int> arrived;
    {
        const std::lock_guard<std::mutex> hold(Lock);
        arrived.swap(Pending);
    }
    for (const int signal : arrived)
        Deliver(signal);
}

void WatchInEventLoop() {
    if (!Wake || Notifier) return;
    Notifier = new QWinEventNotifier(Wake, QCoreApplication::instance());
    QObject::connect(Notifier, &QWinEventNotifier::activated, [] { Poll(); });
}

std::string Name(int signal) {
    switch (signal) {
    case Interrupt:
        return "Ctrl-C";
    case Terminate:
        return "Ctrl-Break";
    case HangUp:
        return "the console's closing";
    default:
        return "console event " + std::to_string(signal);
    }
}

} // namespace Interrupts
