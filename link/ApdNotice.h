#pragma once
// A data-available notice handed from the dispatch thread to the user-interface
// thread. The dispatch thread waits a limited time for the handler; a notice
// whose wait expired before the handler started is dropped, never run late.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class TNoticeTicket {
  public:
    TNoticeTicket(int handle, std::uint16_t count) : Handle(handle), Count(count) {}
    const int Handle;
    const std::uint16_t Count;

    // User-interface thread: false when the notice expired and must be dropped.
    bool Begin() {
        std::lock_guard lock(Mutex);
        if (State != Pending) return false;
        State = Running;
        return true;
    }
    void Finish() {
        {
            std::lock_guard lock(Mutex);
            State = Done;
        }
        Changed.notify_all();
    }

    // Dispatch thread: true when the handler returned within timeoutMs.
    bool WaitDone(int timeoutMs) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return State == Done || State == Expired || Abandoned;
        }) && State == Done;
    }
    // Dispatch thread, once the wait is over: a notice not yet begun never
    // will be. True when its handler never started (and no close dropped it).
    bool ExpireIfPending() {
        std::lock_guard lock(Mutex);
        if (State != Pending) return false;
        State = Expired;
        return !Abandoned;
    }
    // A close drops a notice whose handler has not started; false when the
    // handler is running, and the close must wait for it.
    bool DropUnlessRunning() {
        bool running;
        {
            std::lock_guard lock(Mutex);
            if (State == Pending) State = Expired;
            running = State == Running;
        }
        Changed.notify_all();
        return !running;
    }
    // Ends the wait at once, even for a running handler (the port is being destroyed).
    void Abandon() {
        {
            std::lock_guard lock(Mutex);
            Abandoned = true;
            if (State == Pending) State = Expired;
        }
        Changed.notify_all();
    }

    // Characters the handler took, once they were removed (under the
    // dispatcher's ReceiveLock).
    int Consumed = 0;

  private:
    enum { Pending, Running, Done, Expired } State = Pending;
    bool Abandoned = false;
    std::mutex Mutex;
    std::condition_variable Changed;
};

// The receiver of notices on the user-interface thread.
class INoticeTarget {
  public:
    virtual ~INoticeTarget() = default;
    // Dispatch thread: hands the notice to the user-interface thread and
    // returns once its handler has returned, timeoutMs have passed, or the
    // notice was dropped or abandoned, whichever comes first.
    virtual void HandNotice(const std::shared_ptr<TNoticeTicket>& ticket, int timeoutMs) = 0;
    // User-interface thread, while the port is destroyed from inside a
    // handler: a delivery on the stack stops holding the dispatch thread.
    virtual void ReleaseDispatchThread() {}
};
