#include "ReplyAssembler.h"

bool TReplyAssembler::IsDropped(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code <= 31 || c == '!' || c == '$' || c == '*' || c == '@';
}

void TReplyAssembler::Store(char c) {
    if (IsDropped(c)) return;
    if (Length >= static_cast<int>(Buffer.size())) {
        Cut = true;
        return;
    }
    Buffer[static_cast<std::size_t>(Length)] = c;
    ++Length;
}

std::string TReplyAssembler::TakeLine() {
    std::string line = Buffer.substr(0, static_cast<std::size_t>(Length));
    Length = 0;
    Cut = false;
    Buffer.assign(LaterCapacity, ' ');
    return line;
}
