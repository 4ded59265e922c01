#include "NumberText.h"

namespace {
int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

TNumberText ParseNumberText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    bool anyDigit = false;
    bool ok = true;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], hex);
        if (d < 0) {
            ok = false;
            break;
        }
        const std::int64_t next = magnitude * (hex ? 16 : 10) + d;
        if (next > limit) {
            ok = false;
            break;
        }
        magnitude = next;
        anyDigit = true;
    }
    if (!anyDigit) ok = false;
    const std::int64_t value = negative ? -magnitude : magnitude;
    return {static_cast<std::int32_t>(value), ok};
}

std::string NumberToText(std::int64_t value) {
    return std::to_string(value);
}
