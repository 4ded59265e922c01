#include "Interrupts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Interrupts {

namespace {

int Pipe[2] = {-1, -1};
QPointer<QSocketNotifier> Notifier; // owned by the application

void Handler(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto n = write(Pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void Install() {
    if (Pipe[0] >= 0) return;
    if (pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = Handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void Poll() {
    char byte;
    while (Pipe[0] >= 0 && read(Pipe[0], &byte, 1) == 1)
        Deliver(static_cast<unsigned char>(byte));
}

void WatchInEventLoop() {
    if (Pipe[0] < 0 || Notifier) return;
    Notifier = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(Notifier, &QSocketNotifier::activated, [] { Poll(); });
}

std::string Name(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}

} // namespace Interrupts
