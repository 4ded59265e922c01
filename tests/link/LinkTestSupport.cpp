// What the link tests' support does the same way on every platform.
#include "LinkTestSupport.h"

#include <algorithm>
#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;

long MsUntil(Clock::time_point end) {
    return static_cast<long>(
        std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count());
}
} // namespace

std::string TestPty::Receive(std::size_t want, int timeoutMs) const {
    std::string data;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (data.size() < want) {
        const long left = MsUntil(end);
        if (left <= 0) break;
        char buffer[4096];
        const long n = ReceiveSome(buffer, std::min(sizeof buffer, want - data.size()),
                                   static_cast<int>(left));
        if (n <= 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

bool RunUntil(const std::function<bool()>& pred, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() > end) return false;
        RunFor(2);
    }
    return true;
}
