// orvix-ups: the command-line tool over the utility's protocol core and link.
#include "Actions.h"
#include "Interrupts.h"
#include "Session.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int RunInEventLoop(const TArguments& a) {
    switch (a.Command) {
    case TCommand::Read:
        return RunRead(a);
    case TCommand::Get:
        return RunGet(a);
    case TCommand::Diff:
        return RunDiff(a);
    default:
        return RunWrite(a);
    }
}

// By now every line is written and the port is closed. Under Wine the
// process was seen to hang now and then in the event loop's teardown (the
// console-event wait), after its work was done: on Windows it ends here.
int Ended(int code) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
#endif
    return code;
}

} // namespace

int main(int argc, char** argv) {
    TArguments a;
    try {
        a = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const TUsageError& e) {
        std::cerr << "orvix-ups: " << e.what() << "\n(orvix-ups --help shows the usage)\n";
        return ExitUsage;
    }
    switch (a.Command) {
    case TCommand::Help:
        std::cout << UsageText();
        return ExitOk;
    case TCommand::Version:
        std::cout << VersionText;
        return ExitOk;
    case TCommand::Ports:
        return RunPorts(a);
    case TCommand::Settings:
        return RunSettings(a);
    default:
        break;
    }
    Interrupts::Install();
    // The port's notices and the 200 ms timer need an event loop.
    QCoreApplication app(argc, argv);
    return Ended(RunInEventLoop(a));
}
