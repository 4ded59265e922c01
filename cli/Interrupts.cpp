#include "Interrupts.h"

namespace Interrupts {

std::function<void(int)> OnSignal;

namespace {
int Received = 0, FirstSignal = 0;
} // namespace

void Deliver(int signal) {
    if (!Received++) FirstSignal = signal;
    if (OnSignal) OnSignal(signal);
}

int Count() {
    return Received;
}

int First() {
    return FirstSignal;
}

int ExitCode() {
    return 128 + FirstSignal;
}

} // namespace Interrupts
