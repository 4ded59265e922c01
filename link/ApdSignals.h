#pragma once
// The dispatcher's signals: a set of flags under one lock, each like an event
// object. A waiter is released by any flag of its mask and consumes what it saw.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class TApdSignals {
  public:
    enum : std::uint32_t {
        ComEventReady = 1u << 0,
        ComEventDone = 1u << 1,
        ThreadReady = 1u << 2,
        SendQueued = 1u << 3,
        SendFlush = 1u << 4,
        // Set once when a worker thread has ended; never consumed.
        ComEnded = 1u << 5,
        DispEnded = 1u << 6,
        OutEnded = 1u << 7,
    };
    static constexpr int Infinite = -1;

    void Set(std::uint32_t flags) {
        {
            std::lock_guard lock(Mutex);
            Flags |= flags;
        }
        Changed.notify_all();
    }
    void Reset(std::uint32_t flags) {
        std::lock_guard lock(Mutex);
        Flags &= ~flags;
    }
    // Returns the flags of mask that were set (consumed unless they are end
    // flags), or 0 when timeoutMs passed first.
    std::uint32_t Wait(std::uint32_t mask, int timeoutMs) {
        std::unique_lock lock(Mutex);
        auto ready = [&] { return (Flags & mask) != 0; };
        if (timeoutMs < 0)
            Changed.wait(lock, ready);
        else if (!Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return 0;
        const std::uint32_t seen = Flags & mask;
        Flags &= ~(seen & ~(ComEnded | DispEnded | OutEnded));
        return seen;
    }
    bool IsSet(std::uint32_t flags) {
        std::lock_guard lock(Mutex);
        return (Flags & flags) == flags;
    }

  private:
    std::mutex Mutex;
    std::condition_variable Changed;
    std::uint32_t Flags = 0;
};
