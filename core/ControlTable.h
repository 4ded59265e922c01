#pragma once
// What the main window's value controls hold: the text of a value not yet
// read, the items of each combo box and the range of each spinner. The
// window, orvix-ups and the tests all take them from here.
#include <string>
#include <vector>

extern const char* const UnreadableText; // "読取不可"

// The items of ComboBox1..14: "1" to "10" (Hz) for ComboBox1; "実行" and
// "取り消し" for the flag boxes 2–4 and 9–14, "はい" and "いいえ" for 5–8,
// item 0 standing for a set bit.
const std::vector<std::string>& ComboItems(int combo);

struct TSpinRange {
    int Min, Max;
};
// UpDown3, the shutdown delay in minutes, and UpDown4, the outlet delay in seconds.
TSpinRange SpinnerRange(int upDown);
