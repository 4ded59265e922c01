#include "KeyStroke.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace {
class TKeyStrokeGuard : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) return false;
        const quint64 time = key->timestamp();
        if (event->type() == QEvent::KeyRelease) {
            if (!key->isAutoRepeat()) {
                Released = true;
                ReleaseTime = time;
            }
            return false;
        }
        // X repeats a held key as a release and a press of the same time;
        // Qt flags only some such pairs, or none.
        const bool repeat = Down && Since.elapsed() <= LostReleaseMs &&
                            (key->isAutoRepeat() || !Released || (time && time == ReleaseTime));
        if (!repeat) Home = widget->window();
        Down = true;
        Released = false;
        Since.start();
        return repeat && widget->window() != Home; // a repeat outside its window
    }

  private:
    // A release that went to another program's window is never seen; a held
    // key repeats well within this gap, so after it a press is a new stroke.
    static constexpr qint64 LostReleaseMs = 3000;
    bool Down = false, Released = false;
    quint64 ReleaseTime = 0;
    QPointer<QWidget> Home;
    QElapsedTimer Since;
};
} // namespace

void InstallKeyStrokeGuard() {
    qApp->installEventFilter(new TKeyStrokeGuard(qApp));
}
