#pragma once
// The port's receiver of notices on the user-interface thread. The dispatch
// thread queues a data-available notice and wakes the event loop through an
// eventfd watched by a socket notifier; a deferred close posts CloseComplete
// to this object from the user-interface thread itself.
//
// A handler may close or destroy its port, and may run nested event loops of
// any length. So this object counts the deliveries on the stack, and a port
// that lets go of it while one runs hands over its dispatcher too: both are
// freed only once the outermost delivery has returned.
#include "ApdNotice.h"

#include <QObject>
#include <deque>
#include <memory>
#include <mutex>

class QSocketNotifier;
class TApdBaseDispatcher;
class TApdCustomComPort;

class TApdNoticeWindow : public QObject, public INoticeTarget {
  public:
    explicit TApdNoticeWindow(TApdCustomComPort& port);
    ~TApdNoticeWindow() override;

    // Dispatch thread.
    void PostDataNotice(std::shared_ptr<TNoticeTicket> ticket) override;

    // User-interface thread. delayMs > 0 looks again a little later, while the
    // threads still end.
    void PostCloseComplete(int delayMs = 0);
    // A data-available notice's handler is on the stack.
    bool Delivering() const { return Deliveries > 0; }
    // CloseComplete is wanted again once no delivery is on the stack.
    void PostCloseCompleteWhenIdle() { CloseWaiting = true; }
    // The port is done with this object: it frees itself and the dispatcher,
    // at once or, while busy, when the outermost delivery returns.
    static void Dispose(std::unique_ptr<TApdNoticeWindow> window,
                        std::unique_ptr<TApdBaseDispatcher> dispatcher);

  protected:
    bool event(QEvent* e) override;

  private:
    void TakeNotices();
    void Deliver(const std::shared_ptr<TNoticeTicket>& ticket);
    void Leave(bool delivery);

    TApdCustomComPort* Port; // none once the port let go of this object
    std::unique_ptr<TApdBaseDispatcher> Orphan;
    int Frames = 0;     // deliveries and CloseCompletes of this object on the stack
    int Deliveries = 0; // deliveries alone
    bool CloseWaiting = false;
    int WakeFd = -1;
    QSocketNotifier* Notifier = nullptr;
    std::mutex QueueLock;
    std::deque<std::shared_ptr<TNoticeTicket>> Queue;
};
