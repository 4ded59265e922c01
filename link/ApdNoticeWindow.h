#pragma once
// The port's receiver of notices on the user-interface thread. The dispatch
// thread queues a data-available notice and wakes the event loop through an
// eventfd watched by a socket notifier; a deferred close posts CloseComplete
// to this object from the user-interface thread itself.
#include "ApdNotice.h"

#include <QObject>
#include <deque>
#include <mutex>

class QSocketNotifier;
class TApdCustomComPort;

class TApdNoticeWindow : public QObject, public INoticeTarget {
  public:
    explicit TApdNoticeWindow(TApdCustomComPort& port);
    ~TApdNoticeWindow() override;

    void PostDataNotice(std::shared_ptr<TNoticeTicket> ticket) override;
    // delayMs > 0 looks again a little later, while the threads still end.
    void PostCloseComplete(int delayMs = 0);

  protected:
    bool event(QEvent* e) override;

  private:
    void TakeNotices();

    TApdCustomComPort& Port;
    int WakeFd = -1;
    QSocketNotifier* Notifier = nullptr;
    std::mutex QueueLock;
    std::deque<std::shared_ptr<TNoticeTicket>> Queue;
};
