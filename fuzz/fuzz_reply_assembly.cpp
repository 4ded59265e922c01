// Received characters in any order and any cut into events: lines hold only
// kept characters, never more than the buffer, and every LF ends one.
#include "FuzzCheck.h"
#include "ReplyAssembler.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReplyAssembler reply;
    std::string expected; // the kept characters of the current line, uncut
    std::size_t capacity = TReplyAssembler::FirstCapacity;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        reply.Store(c);
        if (!TReplyAssembler::IsDropped(c)) expected.push_back(c);
        FUZZ_CHECK(reply.ReplyLength() >= 0);
        FUZZ_CHECK(static_cast<std::size_t>(reply.ReplyLength()) <= capacity);
        if (c != '\n') continue;
        const std::string line = reply.TakeLine();
        FUZZ_CHECK(line == expected.substr(0, capacity)); // cut, never grown
        for (char k : line)
            FUZZ_CHECK(!TReplyAssembler::IsDropped(k));
        FUZZ_CHECK(reply.ReplyLength() == 0);
        expected.clear();
        capacity = TReplyAssembler::LaterCapacity;
        FUZZ_CHECK(reply.ReplyBuffer().size() == capacity);
    }
    return 0;
}
