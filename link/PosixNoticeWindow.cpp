// The notice window on Linux: a QObject on the user-interface thread, woken
// through its own eventfd; CloseComplete is a posted Qt event.
#include "ApdNoticeWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

const QEvent::Type CloseCompleteType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TQtNoticeWindow : public QObject, public TApdNoticeWindow {
  public:
    explicit TQtNoticeWindow(TApdCustomComPort& port) : TApdNoticeWindow(port) {
        WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (WakeFd < 0) throw std::runtime_error("Out of memory");
        Notifier = new QSocketNotifier(WakeFd, QSocketNotifier::Read, this);
        QObject::connect(Notifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t value;
            while (read(WakeFd, &value, sizeof value) < 0 && errno == EINTR) {
            }
            TakeNotices();
        });
    }
    ~TQtNoticeWindow() override {
        delete Notifier;
        close(WakeFd);
    }

  protected:
    void WakeAndWait(const std::shared_ptr<TNoticeTicket>& ticket, int timeoutMs) override {
        const std::uint64_t one = 1;
        while (write(WakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
        ticket->WaitDone(timeoutMs);
    }
    void PostCloseCompleteEvent(int delayMs) override {
        if (delayMs <= 0) {
            QCoreApplication::postEvent(this, new QEvent(CloseCompleteType));
            return;
        }
        QTimer::singleShot(delayMs, this, [this] {
            QCoreApplication::postEvent(this, new QEvent(CloseCompleteType));
        });
    }
    void DeleteLater() override { deleteLater(); }
    bool event(QEvent* e) override {
        if (e->type() != CloseCompleteType) return QObject::event(e);
        CloseCompleteArrived();
        return true;
    }

  private:
    int WakeFd = -1;
    QSocketNotifier* Notifier = nullptr;
};

} // namespace

std::unique_ptr<TApdNoticeWindow> TApdNoticeWindow::Create(TApdCustomComPort& port) {
    return std::make_unique<TQtNoticeWindow>(port);
}
