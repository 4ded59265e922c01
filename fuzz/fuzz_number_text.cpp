// Number texts: what parses is what prints, and a parse that fails still
// reports the digits read so far without overflowing.
#include "FuzzCheck.h"
#include "NumberText.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TNumberText n = ParseNumberText(text);
    if (n.Ok) {
        const TNumberText again = ParseNumberText(NumberToText(n.Value));
        FUZZ_CHECK(again.Ok && again.Value == n.Value);
        FUZZ_CHECK(!text.empty() && text.back() != ' ');
    }
    if (text.find_first_not_of(' ') == std::string::npos) FUZZ_CHECK(!n.Ok && n.Value == 0);
    if (size >= sizeof(std::int32_t)) {
        std::int32_t v;
        std::memcpy(&v, data, sizeof v);
        const std::string printed = NumberToText(v);
        const TNumberText back = ParseNumberText(printed);
        FUZZ_CHECK(back.Ok && back.Value == v);
        FUZZ_CHECK(printed.find_first_not_of("-0123456789") == std::string::npos);
    }
    return 0;
}
