#include "ErrorDisplay.h"

#include <iostream>
#include <mutex>

namespace {
std::mutex DisplayLock;
TErrorDisplay& Display() {
    static TErrorDisplay display;
    return display;
}
} // namespace

void SetApplicationErrorDisplay(TErrorDisplay display) {
    std::lock_guard lock(DisplayLock);
    Display() = std::move(display);
}

void ShowApplicationError(const std::string& message) {
    TErrorDisplay display;
    {
        std::lock_guard lock(DisplayLock);
        display = Display();
    }
    if (display)
        display(message);
    else
        std::cerr << "Error: " << message << std::endl;
}
