#include "UnitHexTools.h"

char THexTool::HexDigitChar(std::uint8_t value) const {
    if (value <= 9) return static_cast<char>('0' + value);
    if (value <= 15) return static_cast<char>('A' + value - 10);
    return '\0';
}

std::uint8_t THexTool::HexCharValue(char c) const {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return 0;
}

std::string THexTool::WordToHex(std::uint32_t value) const {
    std::uint32_t v = value & 0xFFFFu;
    std::string text = "    ";
    if (v < 4096) {
        text[0] = '0';
    } else {
        text[0] = HexDigitChar(static_cast<std::uint8_t>(v >> 12));
        v &= 0x0FFF;
    }
    if (v < 256) {
        text[1] = '0';
    } else {
        text[1] = HexDigitChar(static_cast<std::uint8_t>(v >> 8));
        v &= 0xFF;
    }
    if (v < 16) {
        text[2] = '0';
    } else {
        text[2] = HexDigitChar(static_cast<std::uint8_t>(v >> 4));
        v &= 0xF;
    }
    text[3] = HexDigitChar(static_cast<std::uint8_t>(v));
    return text;
}

std::uint16_t THexTool::HexToWord(const std::string& text) const {
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = i < text.size() ? text[i] : '0';
        result = result * 16 + HexCharValue(c);
    }
    return static_cast<std::uint16_t>(result);
}
