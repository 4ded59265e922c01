#include "ApdNoticeWindow.h"

#include "ApdComPort.h"
#include "ApdDispatcher.h"
#include "ErrorDisplay.h"

#include <exception>

TApdNoticeWindow::~TApdNoticeWindow() = default;

void TApdNoticeWindow::Dispose(std::unique_ptr<TApdNoticeWindow> window,
                               TDispatcherPtr dispatcher) {
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
        DeleteLater(); // nothing of ours is on the stack any more
    } else if (CloseWaiting) {
        CloseWaiting = false;
        PostCloseComplete();
    }
}

void TApdNoticeWindow::HandNotice(const std::shared_ptr<TNoticeTicket>& ticket, int timeoutMs) {
    {
        std::lock_guard lock(QueueLock);
        Queue.push_back(ticket);
    }
    WakeAndWait(ticket, timeoutMs);
}

void TApdNoticeWindow::TakeNotices() {
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

void TApdNoticeWindow::CloseCompleteArrived() {
    ++Frames;
    if (Port) Port->HandleCloseComplete();
    Leave(false);
}
