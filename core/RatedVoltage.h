#pragma once
// What a unit's rated input voltage decides: the choices of the upper and
// lower limit dialogs (a percentage off the rated voltage and the volts it
// stands for; fixed values, not computed) and the factory limits. The window's
// dialogs, the factory values and orvix-ups all read them here.
#include <array>
#include <string>

struct TLimitChoice {
    int Percent, Volts;
};

struct TRatedVoltage {
    int Rated;
    std::array<TLimitChoice, 4> Upper, Lower;
    int FactoryUpper, FactoryLower;
};

const std::array<TRatedVoltage, 5>& RatedVoltages();
// None for a voltage no unit is rated for (0: none chosen).
const TRatedVoltage* FindRatedVoltage(int rated);
// Whether the dialog offers a choice: 30 % above 240 V, 312 V, is beyond what
// the unit accepts, so its button is disabled.
bool LimitOffered(bool upper, int rated, const TLimitChoice& choice);
// A radio button's caption: the percentage, then the volts as the caption's
// last three characters, in a 34-character column layout.
std::string LimitCaption(const TLimitChoice& choice);
