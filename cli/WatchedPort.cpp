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
    LastCommand = text.substr(0, text.find_first_of("\r\n"));
    Unanswered.push_back(LastCommand);
    Log.Sent(text);
}

char TWatchedPort::ReadChar() {
    const char c = Port.ReadChar();
    Log.Received(c);
    Assembler.Store(c);
    Last = c;
    ++Taken;
    if (c == '\n') {
        Answered.push_back(Unanswered.empty() ? std::string() : Unanswered.front());
        if (!Unanswered.empty()) Unanswered.pop_front();
    }
    return c;
}

void TWatchedPort::BeginEvent() {
    Taken = 0;
    Answered.clear();
}

void TWatchedPort::Reset() {
    Assembler = TReplyAssembler();
    Unanswered.clear();
}

std::optional<std::string> TWatchedPort::EndEvent() {
    if (Taken == 0 || Last != '\n') return std::nullopt;
    return Assembler.TakeLine();
}
