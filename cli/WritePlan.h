#pragma once
// What a write changes, checked before anything is sent, and what the
// read-back must then show.
#include "Settings.h"

#include <optional>
#include <string>
#include <vector>

struct TChange {
    const TSettingDef* Field;
    int Value;
};

struct TChangeSet {
    std::vector<TChange> Changes;
    // --set names each change on purpose; a file (--from) carries whatever
    // its unit had, some of which another unit may not be able to take.
    bool Explicit = true;
};

// From "NAME=VALUE" items; the error names the first refused item.
std::optional<std::string> CollectSets(const std::vector<std::string>& sets, int rated,
                                       bool anyLimit, TChangeSet& out);
// From a file that "read --json" wrote: every writable name in it.
std::optional<std::string> CollectFile(const std::string& path, int rated, bool anyLimit,
                                       TChangeSet& out);

// Every known setting of a saved file, for comparing; the error says why not.
std::optional<std::string> SettingsFromFile(const std::string& path, TUpsSettings& out);

// Against the unit as read: refuses what it cannot take, and drops (with a
// note) what a clone cannot carry onto it.
std::optional<std::string> FitToUnit(const TUpsSettings& before, TChangeSet& set,
                                     std::vector<std::string>& notes);

// A value a save could not send (not known, or beyond what its word holds),
// unless the change set replaces it.
std::optional<std::string> UnsendableValue(const TUpsSettings& settings);

// What a read shows after the save of these settings.
TUpsSettings ExpectedAfterSave(const TUpsSettings& toSave, const TUpsSettings& before);

struct TMismatch {
    const TSettingDef* Field;
    std::optional<int> Written, Read;
};
// Every writable field with a known expected value that reads back otherwise.
std::vector<TMismatch> Compare(const TUpsSettings& expected, const TUpsSettings& readBack);
