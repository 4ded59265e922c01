#pragma once
// Integers as the UPS and the operator write them.
#include <cstdint>
#include <string>
#include <string_view>

struct TNumberText {
    std::int32_t Value = 0; // the digits read so far, also on error
    bool Ok = false;
};

// Leading blanks, an optional sign, decimal digits or "$", "x", "0x" hex digits.
// Stops with an error at the first foreign character (a trailing blank too),
// on an empty text, and on a value outside the 32-bit signed range.
TNumberText ParseNumberText(std::string_view text);

// Plain decimal digits with a leading "-" for negative values.
std::string NumberToText(std::int64_t value);
