#pragma once
// One unit's settings between a read and a save: each setting's value (none
// where no read or operator filled it), the raw words whose unshown bits
// travel back unchanged, and each register's reply as the last read got it.
#include "FlagWords.h"
#include "SettingsTable.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TUpsSettings {
  public:
    std::string Identification;
    // "R5" -> "0B40", in read order.
    std::vector<std::pair<std::string, std::string>> Registers;
    TSettingsState Words;
    // The shutdown delay as the UPS wrote it, shown as it stands.
    std::string ShutdownDelayText;

    std::optional<int>& operator[](TSettingId id) { return Values[Slot(id)]; }
    const std::optional<int>& operator[](TSettingId id) const { return Values[Slot(id)]; }
    std::optional<int>& operator[](const TSettingDef& s) { return (*this)[s.Id]; }
    const std::optional<int>& operator[](const TSettingDef& s) const { return (*this)[s.Id]; }
    // By a name of the table; throws std::out_of_range for any other.
    std::optional<int>& operator[](std::string_view name);
    const std::optional<int>& operator[](std::string_view name) const;

    bool Flag(TSettingId id) const { return (*this)[id] == 1; }
    // The reply to a read command of the last read; empty when none came.
    std::string RegisterText(std::string_view command) const;

  private:
    static std::size_t Slot(TSettingId id) { return static_cast<std::size_t>(SettingIndex(id)); }
    std::array<std::optional<int>, SettingCount> Values{};
};

// The factory values for a rated input voltage. An unknown rated voltage
// (0: none chosen) leaves the limits as they are; the outlet settings stay.
// Returns the settings it set.
std::vector<TSettingId> ApplyFactoryValues(TUpsSettings& settings, int ratedVoltage);
