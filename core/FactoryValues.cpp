#include "FactoryValues.h"

#include "RatedVoltage.h"

void ApplyFactoryValues(ISettingsWindow& window, int ratedVoltage) {
    if (const TRatedVoltage* rated = FindRatedVoltage(ratedVoltage)) {
        window.SetEditText(1, std::to_string(rated->FactoryUpper));
        window.SetEditText(2, std::to_string(rated->FactoryLower));
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
