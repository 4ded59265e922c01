// orvix-ups: the command-line tool over the utility's protocol core and link.
#include "Actions.h"
#include "Interrupts.h"
#include "Session.h"

#include <QCoreApplication>
#include <iostream>

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
    return RunInEventLoop(a);
}
