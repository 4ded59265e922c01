#pragma once
// The UPS settings as orvix-ups reads them from and writes them onto the
// command line: values as text, and what a write may not send.
#include "UpsSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "upper_limit_v, lower_limit_v, ..." for messages.
std::string WritableNames();

// "288", "true", "3"; "null" when unknown (JSON literals).
std::string FormatValue(const TSettingDef& field, const std::optional<int>& value);

// A value as typed after NAME=; empty error when it parses. Booleans take
// true/false/yes/no/1/0; volts must be whole (a save sends whole volts).
std::optional<int> ParseValue(const TSettingDef& field, std::string_view text, std::string& error);

// Why a parsed value may not be written; empty when it may. Limits must be one
// of the limit dialogs' choices for the rated voltage unless anyLimit.
std::string RefuseValue(const TSettingDef& field, int value, int rated, bool anyLimit);

// The limit dialogs' voltages for a rated voltage (the upper 312 V at 240 V,
// which its dialog disables, is left out).
std::vector<int> LimitChoices(bool upper, int rated);

// "276, 288, 300", for messages and listings.
std::string JoinNumbers(const std::vector<int>& values);
