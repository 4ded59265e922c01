#include "WatchedPort.h"

#include <exception>

void TWatchedPort::SetOpen(bool open) {
    if (open) {
        OpenError.clear();
        Refusal.reset();
    }
    try {
        Port.SetOpen(open);
    } catch (const std::exception& e) {
        OpenError = e.what();
        Refusal = LastPortRefusal();
        throw;
    }
}

void TWatchedPort::WriteString(const std::string& text) {
    Port.WriteString(text);
    Log.Sent(text);
}

char TWatchedPort::ReadChar() {
    const char c = Port.ReadChar();
    Log.Received(c);
    return c;
}
