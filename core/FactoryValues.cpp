#include "FactoryValues.h"

namespace {
struct TFactoryLimits {
    int Rated;
    const char* Upper;
    const char* Lower;
};

constexpr TFactoryLimits FactoryLimits[] = {
    {100, "124", "80"},  {110, "136", "88"},  {220, "275", "165"},
    {230, "288", "173"}, {240, "300", "180"},
};
} // namespace

void ApplyFactoryValues(ISettingsWindow& window, int ratedVoltage) {
    for (const auto& limits : FactoryLimits) {
        if (limits.Rated == ratedVoltage) {
            window.SetEditText(1, limits.Upper);
            window.SetEditText(2, limits.Lower);
        }
    }
    // The spinner keeps its position; only the field shows the factory delay.
    window.SetEditText(3, "2");
    window.SetComboItemIndex(1, 2);
    window.SetComboItemIndex(2, 1);
    window.SetComboItemIndex(3, 1);
    window.SetComboItemIndex(4, 0);
    window.SetComboItemIndex(5, 1);
    for (int c = 6; c <= 8; ++c)
        window.SetComboItemIndex(c, 0);
    for (int c = 6; c <= 8; ++c)
        window.SetComboEnabled(c, true);
}
