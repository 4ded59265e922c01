#pragma once
// The factory settings for a rated input voltage, put into the window's
// controls; the next save sends them.
#include "ISettingsWindow.h"

// ratedVoltage 0 (none chosen) or any other unknown value leaves the limits as they are.
void ApplyFactoryValues(ISettingsWindow& window, int ratedVoltage);
