#include "SettingsTable.h"

#include <stdexcept>

const char* const UnreadableText = "読取不可";

namespace {
const std::vector<std::string> None;
const std::vector<std::string> Hertz = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
const std::vector<std::string> DoIt = {"実行", "取り消し"};
const std::vector<std::string> YesNo = {"はい", "いいえ"};

using K = TSettingKind;
using I = TSettingId;
// A limit word holds tenths of volts: 6553 V is the most it carries.
constexpr int MaxVolts = 0xFFFF / 10;

// clang-format off
const std::vector<TSettingDef> Table = {
    {I::Identification, "identification", K::Text, 0, -1, false, 0, 0, false, {}, "identification", None},
    {I::UpperLimit, "upper_limit_v", K::Volts, 1, -1, true, 0, MaxVolts, false, {}, "upper limit", None},
    {I::LowerLimit, "lower_limit_v", K::Volts, 2, -1, true, 0, MaxVolts, false, {}, "lower limit", None},
    {I::ShutdownDelay, "shutdown_delay_min", K::Integer, 3, -1, true, 1, 600, false, 2, "shutdown delay", None},
    {I::FrequencyTolerance, "frequency_tolerance_hz", K::Hertz, 4, -1, true, 1, 10, false, 3, "frequency tolerance", Hertz},
    {I::OutletDelay, "outlet_delay_s", K::Integer, 8, -1, true, 0, 4000, true, {}, "outlet delay", None},
    {I::BiweeklySelfTest, "biweekly_self_test", K::Flag, 5, 13, true, 0, 1, false, 0, "biweekly self-test", DoIt},
    {I::FaultAlarmDelay, "fault_alarm_delay", K::Flag, 5, 3, true, 0, 1, false, 0, "fault alarm delay", DoIt},
    {I::BackupWarningAutoStop, "backup_warning_auto_stop", K::Flag, 5, 0, true, 0, 1, false, 1, "backup warning auto stop", DoIt},
    {I::AlarmSoundStop, "alarm_sound_stop", K::Flag, 6, -1, true, 0, 1, false, 0, "alarm sound stop", YesNo},
    {I::BackupWarningSound, "backup_warning_sound", K::Flag, 6, 9, true, 0, 1, false, 1, "backup warning sound", YesNo},
    {I::OverloadWarningSound, "overload_warning_sound", K::Flag, 6, 12, true, 0, 1, false, 1, "overload warning sound", YesNo},
    {I::BatteryLowWarningSound, "battery_low_warning_sound", K::Flag, 6, 11, true, 0, 1, false, 1, "battery low warning sound", YesNo},
    {I::OutletManagementPresent, "outlet_management_present", K::Flag, 7, 15, false, 0, 1, false, {}, "outlet management", None},
    {I::IntelligentChannelControl, "intelligent_channel_control", K::Flag, 7, 8, true, 0, 1, true, {}, "intelligent channel control", DoIt},
    {I::MainsOverloadShutdown, "mains_overload_shutdown", K::Flag, 7, 9, true, 0, 1, true, {}, "mains overload shutdown", DoIt},
    {I::HighTemperatureShutdown, "high_temperature_shutdown", K::Flag, 7, 10, true, 0, 1, true, {}, "high temperature shutdown", DoIt},
    {I::BatteryLowShutdown, "battery_low_shutdown", K::Flag, 7, 11, true, 0, 1, true, {}, "battery low shutdown", DoIt},
    {I::BatteryOverloadShutdown, "battery_overload_shutdown", K::Flag, 7, 12, true, 0, 1, true, {}, "battery overload shutdown", DoIt},
    {I::AutoSupplyAfterOverload, "auto_supply_after_overload", K::Flag, 7, 13, true, 0, 1, true, {}, "auto supply after overload", DoIt},
};
// clang-format on
} // namespace

const std::vector<TSettingDef>& SettingTable() {
    return Table;
}

const TSettingDef& Setting(TSettingId id) {
    return Table.at(static_cast<std::size_t>(SettingIndex(id)));
}

const TSettingDef* FindSetting(std::string_view name) {
    for (const auto& s : Table)
        if (name == s.Name) return &s;
    return nullptr;
}
