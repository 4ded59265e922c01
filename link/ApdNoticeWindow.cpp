#include "ApdNoticeWindow.h"

#include "ApdComPort.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
const QEvent::Type CloseCompleteType = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

TApdNoticeWindow::TApdNoticeWindow(TApdCustomComPort& port) : Port(port) {
    WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (WakeFd < 0) throw std::runtime_error("Out of memory");
    Notifier = new QSocketNotifier(WakeFd, QSocketNotifier::Read, this);
    QObject::connect(Notifier, &QSocketNotifier::activated, this, [this] { TakeNotices(); });
}

TApdNoticeWindow::~TApdNoticeWindow() {
    delete Notifier;
    close(WakeFd);
}

void TApdNoticeWindow::PostDataNotice(std::shared_ptr<TNoticeTicket> ticket) {
    {
        std::lock_guard lock(QueueLock);
        Queue.push_back(std::move(ticket));
    }
    const std::uint64_t one = 1;
    while (write(WakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TApdNoticeWindow::TakeNotices() {
    std::uint64_t value;
    while (read(WakeFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
    for (;;) {
        std::shared_ptr<TNoticeTicket> ticket;
        {
            std::lock_guard lock(QueueLock);
            if (Queue.empty()) return;
            ticket = std::move(Queue.front());
            Queue.pop_front();
        }
        // The handler may close the port, which destroys this object later,
        // never while it runs here.
        Port.HandleDataNotice(ticket);
    }
}

void TApdNoticeWindow::PostCloseComplete(int delayMs) {
    if (delayMs <= 0) {
        QCoreApplication::postEvent(this, new QEvent(CloseCompleteType));
        return;
    }
    QTimer::singleShot(delayMs, this, [this] {
        QCoreApplication::postEvent(this, new QEvent(CloseCompleteType));
    });
}

bool TApdNoticeWindow::event(QEvent* e) {
    if (e->type() == CloseCompleteType) {
        Port.HandleCloseComplete();
        return true;
    }
    return QObject::event(e);
}
