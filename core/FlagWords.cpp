#include "FlagWords.h"

void DecodeFlagWord(FlagWord& flags, std::uint16_t value) {
    for (int k = 0; k < 16; ++k)
        flags[k] = ((value >> k) & 1u) != 0;
}

std::uint16_t EncodeFlagWord(const FlagWord& flags) {
    std::uint32_t word = 0;
    for (int k = 0; k < 16; ++k)
        if (flags[k]) word |= 1u << k;
    return static_cast<std::uint16_t>(word);
}

int TSettingsState::DecodeR42(const THexTool& hex) {
    DecodeFlagWord(FlagsR42, hex.HexToWord(HexR42));
    return EncodeFlagWord(FlagsR42) & 0x0FFF;
}

std::string TSettingsState::EncodeR42(const THexTool& hex, std::int64_t delay) {
    std::int64_t v = delay;
    // Bit by bit from the top, so anything above 4095 or below 0 clears all twelve.
    for (int k = 11; k >= 1; --k) {
        const std::int64_t weight = std::int64_t{1} << k;
        if (v / weight == 1) {
            FlagsR42[k] = true;
            v -= weight;
        } else {
            FlagsR42[k] = false;
        }
    }
    FlagsR42[0] = v == 1;
    return hex.WordToHex(EncodeFlagWord(FlagsR42));
}
