#pragma once
// What read and write print on standard output: an aligned table, or JSON
// with the same names and values.
#include "Settings.h"
#include "WritePlan.h"

#include <optional>
#include <string>
#include <vector>

// One object: identification, every setting by name, and the registers' raw replies.
std::string SettingsJson(const TUnitSettings& s);
std::string SettingsTable(const TUnitSettings& s);

struct TWriteReport {
    std::string Port, Device;
    TUnitSettings Before, Written;
    std::optional<TUnitSettings> ReadBack; // none with --no-verify
    std::vector<TMismatch> Mismatches;
    bool DryRun = false; // the plan only: nothing was written
};
std::string WriteJson(const TWriteReport& r);
std::string WriteTable(const TWriteReport& r);
// "outlet_delay_s: wrote 120, read back 90", one per line.
std::string MismatchLines(const std::vector<TMismatch>& mismatches);
