#include "VoltageClass.h"

TVoltageClass VoltageClassOf(int limitVolts) {
    return limitVolts < 150 ? TVoltageClass::Low : TVoltageClass::High;
}

std::string VoltageClassText(TVoltageClass voltageClass) {
    return voltageClass == TVoltageClass::Low ? "100–110 V" : "220–240 V";
}

std::optional<std::string> VoltageClassMismatch(int upperToSave, int lowerToSave,
                                                std::optional<int> heldUpper) {
    if (!heldUpper) return std::nullopt;
    const TVoltageClass held = VoltageClassOf(*heldUpper);
    const TVoltageClass upper = VoltageClassOf(upperToSave);
    const TVoltageClass lower = VoltageClassOf(lowerToSave);
    if (upper == held && lower == held) return std::nullopt;
    const std::string limits =
        "(" + std::to_string(upperToSave) + " V / " + std::to_string(lowerToSave) + " V)";
    const std::string suit = upper == lower ? "suit a " + VoltageClassText(upper) + " UPS"
                                            : "mix the limits of both kinds of UPS";
    return limits + " " + suit + ", but this UPS holds the limits of a " + VoltageClassText(held) +
           " UPS";
}
