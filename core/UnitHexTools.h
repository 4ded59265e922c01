#pragma once
// Conversions between 16-bit values and their four-digit hex texts ("04D8").
#include <cstdint>
#include <string>

class THexTool {
  public:
    // '0'..'9', 'A'..'F' for 0..15; NUL for anything else.
    char HexDigitChar(std::uint8_t value) const;
    // 0..15 for a hex digit of either case; 0 for every other character.
    std::uint8_t HexCharValue(char c) const;
    // Exactly four uppercase digits of the low 16 bits of value.
    std::string WordToHex(std::uint32_t value) const;
    // The first four characters read as hex digits; missing or foreign ones count as 0.
    std::uint16_t HexToWord(const std::string& text) const;
};
