#pragma once
// The port's receiver of notices on the user-interface thread: the dispatch
// thread posts data-available notices to it, and a deferred close posts
// CloseComplete to itself.
#include "ApdNotice.h"

#include <QObject>

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
    TApdCustomComPort& Port;
};
