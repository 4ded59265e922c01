#include "ControlTable.h"

#include <stdexcept>

const char* const UnreadableText = "読取不可";

const std::vector<std::string>& ComboItems(int combo) {
    static const std::vector<std::string> hertz = {"1", "2", "3", "4", "5",
                                                   "6", "7", "8", "9", "10"};
    static const std::vector<std::string> doIt = {"実行", "取り消し"};
    static const std::vector<std::string> yesNo = {"はい", "いいえ"};
    if (combo == 1) return hertz;
    if (combo >= 5 && combo <= 8) return yesNo;
    if (combo >= 2 && combo <= 14) return doIt;
    throw std::out_of_range("no ComboBox" + std::to_string(combo));
}

TSpinRange SpinnerRange(int upDown) {
    if (upDown == 3) return {1, 600};
    if (upDown == 4) return {0, 4000};
    throw std::out_of_range("no UpDown" + std::to_string(upDown));
}
