#include "HeadlessWindow.h"

#include <algorithm>
#include <cstdint>

namespace {
const std::string Unreadable = "読取不可";
}

THeadlessWindow::THeadlessWindow() {
    const std::vector<std::string> doIt = {"実行", "取り消し"}, yesNo = {"はい", "いいえ"};
    Combos[1].Items = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    for (int c = 2; c <= 14; ++c)
        Combos[Slot(c)].Items = (c >= 5 && c <= 8) ? yesNo : doIt;
    for (auto& c : Combos)
        c.Text = Unreadable;
    for (auto& e : Edits)
        e.Text = Unreadable;
    Combos[10].Enabled = false;
    Spinners[3] = {1, 600, 1, true};
    Spinners[4] = {0, 4000, 1, true};

    Timer1.setInterval(200);
    // The window's own timer is precise too; a coarse one drifts a tick by up to 10 ms.
    Timer1.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Timer1, &QTimer::timeout, [this] {
        if (OnTimer) OnTimer();
    });
}

void THeadlessWindow::SetEditText(int edit, const std::string& text) {
    Edits.at(Slot(edit)).Text = text;
}

void THeadlessWindow::SetUpDownPosition(int upDown, int position) {
    TSpinner& s = Spinners.at(Slot(upDown));
    // A signed 16-bit position within the range, as the spinner keeps it.
    s.Position = std::clamp(static_cast<int>(static_cast<std::int16_t>(position)), s.Min, s.Max);
}

void THeadlessWindow::SetUpDownEnabled(int upDown, bool enabled) {
    Spinners.at(Slot(upDown)).Enabled = enabled;
}

void THeadlessWindow::SetComboText(int combo, const std::string& text) {
    Combos.at(Slot(combo)).Text = text;
}

int THeadlessWindow::ComboIndexOf(int combo, const std::string& text) const {
    const auto& items = Combos.at(Slot(combo)).Items;
    const auto it = std::find(items.begin(), items.end(), text);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void THeadlessWindow::SetComboItemIndex(int combo, int index) {
    TCombo& c = Combos.at(Slot(combo));
    if (index >= 0 && index < static_cast<int>(c.Items.size())) {
        c.Index = index;
        c.Text = c.Items[static_cast<std::size_t>(index)];
    } else {
        c.Index = -1; // the field keeps its text
    }
}

void THeadlessWindow::SetComboEnabled(int combo, bool enabled) {
    Combos.at(Slot(combo)).Enabled = enabled;
}

void THeadlessWindow::SetTimerEnabled(bool enabled) {
    if (!enabled)
        Timer1.stop();
    else if (!Timer1.isActive())
        Timer1.start();
}

void THeadlessWindow::ErrorBox(const std::string& text) {
    if (OnErrorBox) OnErrorBox(text);
}

void THeadlessWindow::PlainMessageBox(const std::string& text) {
    if (OnMessageBox) OnMessageBox(text);
}

// The command line refuses limits of another voltage class itself, before a
// save starts, unless the technician forced them: a save that gets here goes.
bool THeadlessWindow::AskYesNo(const std::string&) {
    return true;
}

void THeadlessWindow::ShowStatus(const std::string& text) {
    FStatus = text;
    if (OnStatus) OnStatus(text);
}
