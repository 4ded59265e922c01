#pragma once
// Builds reply lines out of the received characters; the caller ends a line
// at each LF.
#include <string>

class TReplyAssembler {
  public:
    static constexpr int FirstCapacity = 42;
    static constexpr int LaterCapacity = 35;

    // Drops control characters and the marks "!", "$", "*", "@"; stores the
    // rest unless the buffer is full, in which case the line is cut.
    void Store(char c);
    // The line so far; the buffer starts again with the later capacity.
    std::string TakeLine();
    // Drops a partial line, keeping the capacity.
    void Discard() {
        Length = 0;
        Cut = false;
    }
    // The line so far lost characters to a full buffer: it is no reply.
    bool Overflowed() const { return Cut; }

    int ReplyLength() const { return Length; }
    const std::string& ReplyBuffer() const { return Buffer; }

    static bool IsDropped(char c);

  private:
    std::string Buffer = std::string(FirstCapacity, ' ');
    int Length = 0;
    bool Cut = false;
};
