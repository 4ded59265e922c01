#include "RatedVoltage.h"

#include <cstdio>

const std::array<TRatedVoltage, 5>& RatedVoltages() {
    // clang-format off
    static const std::array<TRatedVoltage, 5> table = {{
        {100, {{{10, 110}, {15, 115}, {20, 120}, {24, 124}}},
              {{{5, 95}, {10, 90}, {15, 85}, {20, 80}}}, 124, 80},
        {110, {{{10, 121}, {15, 126}, {20, 132}, {25, 136}}},
              {{{10, 99}, {15, 93}, {20, 88}, {25, 82}}}, 136, 88},
        {220, {{{15, 253}, {20, 264}, {25, 275}, {30, 286}}},
              {{{15, 187}, {20, 176}, {25, 165}, {30, 154}}}, 275, 165},
        {230, {{{15, 265}, {20, 276}, {25, 288}, {30, 299}}},
              {{{15, 196}, {20, 184}, {25, 173}, {30, 161}}}, 288, 173},
        {240, {{{15, 276}, {20, 288}, {25, 300}, {30, 312}}},
              {{{15, 204}, {20, 192}, {25, 180}, {30, 168}}}, 300, 180},
    }};
    // clang-format on
    return table;
}

const TRatedVoltage* FindRatedVoltage(int rated) {
    for (const auto& r : RatedVoltages())
        if (r.Rated == rated) return &r;
    return nullptr;
}

bool LimitOffered(bool upper, int rated, const TLimitChoice& choice) {
    return !(upper && rated == 240 && choice.Volts == 312);
}

std::string LimitCaption(const TLimitChoice& choice) {
    char text[40];
    std::snprintf(text, sizeof text, "%4d%30d", choice.Percent, choice.Volts);
    return text;
}
