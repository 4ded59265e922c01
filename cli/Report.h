#pragma once
// What read and write print on standard output: an aligned table, or JSON
// with the same names and values.
#include "Settings.h"
#include "WritePlan.h"

#include <optional>
#include <string>
#include <vector>

// One object: every setting by name, the registers' raw replies, and where
// and when they were read (format, tool, read_at, port).
std::string SettingsJson(const TUpsSettings& s, const std::string& port);
std::string SettingsTable(const TUpsSettings& s);

struct TWriteReport {
    std::string Port, Device;
    TUpsSettings Before, Written;
    std::optional<TUpsSettings> ReadBack; // none with --no-verify
    std::vector<TMismatch> Mismatches;
    bool DryRun = false; // the plan only: nothing was written
};
std::string WriteJson(const TWriteReport& r);
std::string WriteTable(const TWriteReport& r);
// Every setting with its type, range or choices (the limit choices for rated,
// or for each rated voltage when it is 0), unit, whether writable, and what
// it maps to.
std::string SettingsListing(int rated, bool json);

// The settings in which two units differ (identification and registers aside).
struct TDifference {
    const TSettingDef* Field;
    std::optional<int> A, B;
};
std::vector<TDifference> Differences(const TUpsSettings& a, const TUpsSettings& b);
std::string DiffTable(const std::string& a, const std::string& b,
                      const std::vector<TDifference>& differences);
std::string DiffJson(const std::string& a, const std::string& b,
                     const std::vector<TDifference>& differences);

// "outlet_delay_s: wrote 120, read back 90", one per line.
std::string MismatchLines(const std::vector<TMismatch>& mismatches);
