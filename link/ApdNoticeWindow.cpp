#include "ApdNoticeWindow.h"

#include "ApdComPort.h"
#include "ErrorDisplay.h"

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

TApdNoticeWindow::TApdNoticeWindow(TApdCustomComPort& port) : Port(&port) {
    WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (WakeFd < 0) throw std::runtime_error("Out of memory");
    Notifier = new QSocketNotifier(WakeFd, QSocketNotifier::Read, this);
    QObject::connect(Notifier, &QSocketNotifier::activated, this, [this] { TakeNotices(); });
}

TApdNoticeWindow::~TApdNoticeWindow() {
    delete Notifier;
    close(WakeFd);
}

void TApdNoticeWindow::Dispose(std::unique_ptr<TApdNoticeWindow> window,
                               std::unique_ptr<TApdBaseDispatcher> dispatcher) {
    if (!window || window->Frames == 0) {
        window.reset();
        dispatcher.reset();
        return;
    }
    TApdNoticeWindow* w = window.release(); // from now on it frees itself
    w->Port = nullptr;
    w->Orphan = std::move(dispatcher);
}

void TApdNoticeWindow::Leave(bool delivery) {
    if (delivery) --Deliveries;
    if (--Frames > 0) return;
    if (!Port) {
        deleteLater(); // nothing of ours is on the stack any more
    } else if (CloseWaiting) {
        CloseWaiting = false;
        PostCloseComplete();
    }
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
    ++Frames;
    ++Deliveries;
    for (;;) {
        std::shared_ptr<TNoticeTicket> ticket;
        {
            std::lock_guard lock(QueueLock);
            if (Queue.empty()) break;
            ticket = std::move(Queue.front());
            Queue.pop_front();
        }
        Deliver(ticket);
    }
    Leave(true);
}

void TApdNoticeWindow::Deliver(const std::shared_ptr<TNoticeTicket>& ticket) {
    // The dispatcher is found by the handle the notice carries; it stays alive
    // while this delivery is on the stack, whatever the handler does.
    TApdBaseDispatcher* dispatcher = TApdBaseDispatcher::Find(ticket->Handle);
    if (!Port || !dispatcher) return;
    const int count = dispatcher->BeginNotice(ticket);
    if (count < 0) return; // its wait expired: dropped, never run late
    try {
        if (count > 0) Port->TriggerAvail(static_cast<std::uint16_t>(count));
    } catch (const std::exception& e) {
        ShowApplicationError(e.what());
    }
    dispatcher->EndNotice(ticket);
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
    if (e->type() != CloseCompleteType) return QObject::event(e);
    ++Frames;
    if (Port) Port->HandleCloseComplete();
    Leave(false);
    return true;
}
