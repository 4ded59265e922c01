#pragma once
// Every setting of a unit in one table: its name, the register step that
// carries it, its bit, its range, the texts of its choices and its factory
// value. The window's controls, orvix-ups and the tests all read it here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// In table order.
enum class TSettingId {
    Identification,
    UpperLimit,
    LowerLimit,
    ShutdownDelay,
    FrequencyTolerance,
    OutletDelay,
    BiweeklySelfTest,
    FaultAlarmDelay,
    BackupWarningAutoStop,
    AlarmSoundStop,
    BackupWarningSound,
    OverloadWarningSound,
    BatteryLowWarningSound,
    OutletManagementPresent,
    IntelligentChannelControl,
    MainsOverloadShutdown,
    HighTemperatureShutdown,
    BatteryLowShutdown,
    BatteryOverloadShutdown,
    AutoSupplyAfterOverload,
};
constexpr int SettingCount = 20;

enum class TSettingKind {
    Text,    // the identification line
    Volts,   // whole volts, sent as tenths in one 16-bit word
    Integer, // minutes or seconds
    Hertz,   // 1 to 10; sent doubled
    Flag,    // one bit: 1 or 0
};

struct TSettingDef {
    TSettingId Id;
    const char* Name; // as orvix-ups and its files spell it
    TSettingKind Kind;
    int Step;      // the read and save step that carries it
    int Bit;       // the bit of a flag within its register word; -1 for none
    bool Writable; // false: only read
    int Min, Max;  // the values a save may send
    bool Outlet;   // read only from a unit with outlet management
    std::optional<int> Factory; // the factory value; limits follow the rated voltage
    const char* Description;    // as a status names an invalid value
    // The choices offered for the value, item 0 standing for 1 Hz or for a
    // set bit; empty for values typed as numbers.
    const std::vector<std::string>& Items;
};

const std::vector<TSettingDef>& SettingTable();
const TSettingDef& Setting(TSettingId id);
const TSettingDef* FindSetting(std::string_view name);
inline int SettingIndex(TSettingId id) {
    return static_cast<int>(id);
}

// The text of a value not yet read.
extern const char* const UnreadableText; // "読取不可"
