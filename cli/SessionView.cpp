#include "SessionView.h"

#include "LinkSequencer.h"

TSessionView::TSessionView() {
    Timer1.setInterval(TLinkSequencer::TickMs);
    // The window's own timer is precise too; a coarse one drifts a tick by up to 10 ms.
    Timer1.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Timer1, &QTimer::timeout, [this] {
        if (OnTimer) OnTimer();
    });
}

void TSessionView::SetTimerEnabled(bool enabled) {
    if (!enabled)
        Timer1.stop();
    else if (!Timer1.isActive())
        Timer1.start();
}

void TSessionView::ErrorBox(const std::string& text) {
    if (OnErrorBox) OnErrorBox(text);
}

void TSessionView::PlainMessageBox(const std::string& text) {
    if (OnMessageBox) OnMessageBox(text);
}

void TSessionView::SequenceEnded(const TOutcome& outcome) {
    if (OnEnded) OnEnded(outcome);
}
