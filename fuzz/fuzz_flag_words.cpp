// Flag words: decode and encode are inverse; the outlet delay replaces
// exactly bits 0 to 11 and keeps what was read above them.
#include "FlagWords.h"
#include "FuzzCheck.h"
#include "NumberText.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const THexTool hex;
    const auto word = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    FlagWord flags{};
    DecodeFlagWord(flags, word);
    FUZZ_CHECK(EncodeFlagWord(flags) == word);
    for (int k = 0; k < 16; ++k)
        FUZZ_CHECK(flags[static_cast<std::size_t>(k)] == (((word >> k) & 1u) != 0));

    TSettingsState state;
    state.HexR42 = hex.WordToHex(word);
    state.DecodeR42(hex);
    // The delay as the window's field would give it: the digits before anything else.
    const std::string delay(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::int32_t v = ParseNumberText(delay).Value;
    const std::uint16_t sent = hex.HexToWord(state.EncodeR42(hex, v));
    FUZZ_CHECK((sent & 0xF000u) == (word & 0xF000u));
    FUZZ_CHECK((sent & 0x0FFFu) == (v >= 0 && v <= 4095 ? static_cast<unsigned>(v) : 0u));
    return 0;
}
