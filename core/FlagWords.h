#pragma once
// The four flag words and the replies kept between a read and a save, so that
// bits no setting shows travel back unchanged.
#include "UnitHexTools.h"

#include <array>
#include <cstdint>
#include <string>

// Index k is bit k of the word.
using FlagWord = std::array<bool, 16>;

void DecodeFlagWord(FlagWord& flags, std::uint16_t value);
std::uint16_t EncodeFlagWord(const FlagWord& flags);

class TSettingsState {
  public:
    FlagWord FlagsR31{}, FlagsR28{}, FlagsR34{}, FlagsR42{};

    std::string FPercentText;
    std::int32_t FPercentNumber = 0;
    std::string HexR31, HexR28, HexR34, HexR42;

    void DecodeR31(const THexTool& hex) { DecodeFlagWord(FlagsR31, hex.HexToWord(HexR31)); }
    void DecodeR28(const THexTool& hex) { DecodeFlagWord(FlagsR28, hex.HexToWord(HexR28)); }
    void DecodeR34(const THexTool& hex) { DecodeFlagWord(FlagsR34, hex.HexToWord(HexR34)); }
    // Returns the delay held in bits 0 to 11.
    int DecodeR42(const THexTool& hex);

    std::uint16_t EncodeR31() const { return EncodeFlagWord(FlagsR31); }
    std::uint16_t EncodeR28() const { return EncodeFlagWord(FlagsR28); }
    std::uint16_t EncodeR34() const { return EncodeFlagWord(FlagsR34); }
    // Replaces bits 0 to 11 with the delay (a value outside 0..4095 clears
    // them) and returns the whole word as hex text.
    std::string EncodeR42(const THexTool& hex, std::int64_t delay);
};
