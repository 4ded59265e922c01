#include "ApdNoticeWindow.h"

#include "ApdComPort.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace {
const QEvent::Type DataNoticeType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type CloseCompleteType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TDataNoticeEvent : public QEvent {
  public:
    explicit TDataNoticeEvent(std::shared_ptr<TNoticeTicket> ticket)
        : QEvent(DataNoticeType), Ticket(std::move(ticket)) {}
    std::shared_ptr<TNoticeTicket> Ticket;
};
} // namespace

TApdNoticeWindow::TApdNoticeWindow(TApdCustomComPort& port) : Port(port) {}

TApdNoticeWindow::~TApdNoticeWindow() = default;

void TApdNoticeWindow::PostDataNotice(std::shared_ptr<TNoticeTicket> ticket) {
    QCoreApplication::postEvent(this, new TDataNoticeEvent(std::move(ticket)));
}

void TApdNoticeWindow::PostCloseComplete(int delayMs) {
    if (delayMs <= 0) {
        QCoreApplication::postEvent(this, new QEvent(CloseCompleteType));
        return;
    }
    QTimer::singleShot(delayMs, this, [this] { QCoreApplication::postEvent(this, new QEvent(CloseCompleteType)); });
}

bool TApdNoticeWindow::event(QEvent* e) {
    if (e->type() == DataNoticeType) {
        Port.HandleDataNotice(static_cast<TDataNoticeEvent*>(e)->Ticket);
        return true;
    }
    if (e->type() == CloseCompleteType) {
        Port.HandleCloseComplete();
        return true;
    }
    return QObject::event(e);
}
