// The hex word codec: four uppercase digits that read back to the low 16
// bits; any text reads as its first four characters, case aside.
#include "FuzzCheck.h"
#include "UnitHexTools.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const THexTool hex;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint16_t word = hex.HexToWord(text);
    FUZZ_CHECK(word == hex.HexToWord(text.substr(0, 4)));
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FUZZ_CHECK(word == hex.HexToWord(upper));
    unsigned expected = 0;
    for (std::size_t i = 0; i < 4; ++i)
        expected = expected * 16 + (i < text.size() ? hex.HexCharValue(text[i]) : 0);
    FUZZ_CHECK(word == expected);
    if (size >= sizeof(std::uint32_t)) {
        std::uint32_t v;
        std::memcpy(&v, data, sizeof v);
        const std::string h = hex.WordToHex(v);
        FUZZ_CHECK(h.size() == 4);
        FUZZ_CHECK(h.find_first_not_of("0123456789ABCDEF") == std::string::npos);
        FUZZ_CHECK(hex.HexToWord(h) == (v & 0xFFFFu));
    }
    return 0;
}
