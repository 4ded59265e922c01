#pragma once
// The port's receiver of notices on the user-interface thread. The dispatch
// thread queues a data-available notice here and wakes the user-interface
// thread the platform's way (a descriptor watched by the Qt event loop on Linux,
// a message sent to a hidden window on Windows); a deferred close posts
// CloseComplete to this object from the user-interface thread itself.
//
// A handler may close or destroy its port, and may run nested event loops of
// any length. So this object counts the deliveries on the stack, and a port
// that lets go of it while one runs hands over its dispatcher too: both are
// freed only once the outermost delivery has returned.
#include "ApdDispatcherFactory.h"
#include "ApdNotice.h"

#include <deque>
#include <memory>
#include <mutex>

class TApdCustomComPort;

class TApdNoticeWindow : public INoticeTarget {
  public:
    // The platform's notice window, made on the calling (user-interface) thread.
    static std::unique_ptr<TApdNoticeWindow> Create(TApdCustomComPort& port);
    ~TApdNoticeWindow() override;
    TApdNoticeWindow(const TApdNoticeWindow&) = delete;
    TApdNoticeWindow& operator=(const TApdNoticeWindow&) = delete;

    // Dispatch thread.
    void HandNotice(const std::shared_ptr<TNoticeTicket>& ticket, int timeoutMs) override;

    // User-interface thread. delayMs > 0 looks again a little later, while the
    // threads still end.
    void PostCloseComplete(int delayMs = 0) { PostCloseCompleteEvent(delayMs); }
    // A data-available notice's handler is on the stack.
    bool Delivering() const { return Deliveries > 0; }
    // CloseComplete is wanted again once no delivery is on the stack.
    void PostCloseCompleteWhenIdle() { CloseWaiting = true; }
    // The port is done with this object: it frees itself and the dispatcher,
    // at once or, while busy, when the outermost delivery returns.
    static void Dispose(std::unique_ptr<TApdNoticeWindow> window, TDispatcherPtr dispatcher);

  protected:
    explicit TApdNoticeWindow(TApdCustomComPort& port) : Port(&port) {}

    // --- the platform's part ---
    // Dispatch thread: wakes the user-interface thread, which then calls
    // TakeNotices, and waits as HandNotice says.
    virtual void WakeAndWait(const std::shared_ptr<TNoticeTicket>& ticket, int timeoutMs) = 0;
    // User-interface thread: CloseComplete reaches CloseCompleteArrived later.
    virtual void PostCloseCompleteEvent(int delayMs) = 0;
    // User-interface thread: deletes this object from the event loop, once
    // nothing of it is on the stack.
    virtual void DeleteLater() = 0;

    // User-interface thread, called by the platform's part.
    void TakeNotices();
    void CloseCompleteArrived();

  private:
    void Deliver(const std::shared_ptr<TNoticeTicket>& ticket);
    void Leave(bool delivery);

    TApdCustomComPort* Port; // none once the port let go of this object
    TDispatcherPtr Orphan;
    int Frames = 0;     // deliveries and CloseCompletes of this object on the stack
    int Deliveries = 0; // deliveries alone
    bool CloseWaiting = false;
    std::mutex QueueLock;
    std::deque<std::shared_ptr<TNoticeTicket>> Queue;
};
