#pragma once
// Input-voltage limits tell which kind of unit holds them: a limit under 150 V
// belongs to a 100–110 V unit, 150 V or more to a 220–240 V unit. Every factory
// value and every limit choice falls in its class, so limits of one class
// written into a unit of the other are a mistake.
#include <optional>
#include <string>

enum class TVoltageClass { Low, High };

TVoltageClass VoltageClassOf(int limitVolts);
// "100–110 V" or "220–240 V".
std::string VoltageClassText(TVoltageClass voltageClass);

// Why limits of another class than the unit's upper limit must not simply be
// written, as "(124 V / 80 V) suit a 100–110 V UPS, but this UPS holds the
// limits of a 220–240 V UPS"; none when they fit (or the upper limit is unknown).
std::optional<std::string> VoltageClassMismatch(int upperToSave, int lowerToSave,
                                                std::optional<int> heldUpper);
