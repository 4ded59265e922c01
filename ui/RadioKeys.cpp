#include "RadioKeys.h"

#include "Controls.h"

#include <QKeyEvent>
#include <QPointer>
#include <algorithm>

namespace {
class TRadioKeys : public QObject {
  public:
    TRadioKeys(const std::vector<QRadioButton*>& group, QAbstractButton* ok)
        : QObject(ok), Group(group), Ok(ok) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        const auto at = std::find(Group.begin(), Group.end(), watched);
        if (at == Group.end()) return false;
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            Step(at - Group.begin(), -1);
            return true;
        case Qt::Key_Down:
        case Qt::Key_Right:
            Step(at - Group.begin(), +1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A held key repeats: only its first press counts, as on the buttons.
            if (!key->isAutoRepeat() && Ok) Ok->click();
            return true;
        default:
            return false;
        }
    }

  private:
    void Step(std::ptrdiff_t from, int direction) {
        const auto n = static_cast<std::ptrdiff_t>(Group.size());
        for (std::ptrdiff_t i = 1; i < n; ++i) {
            QRadioButton* next = Group[static_cast<std::size_t>((from + direction * i + n) % n)];
            if (!next->isEnabled() || !next->isVisible()) continue;
            next->setFocus(direction < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            if (!next->isChecked()) next->click();
            return;
        }
    }

    std::vector<QRadioButton*> Group;
    QPointer<QAbstractButton> Ok;
};
} // namespace

void ChooseWithArrows(const std::vector<QRadioButton*>& group, QAbstractButton* ok) {
    auto* keys = new TRadioKeys(group, ok);
    for (QRadioButton* b : group)
        b->installEventFilter(keys);
}
