#include "Settings.h"

#include "ControlTable.h"
#include "HeadlessWindow.h"
#include "NumberText.h"
#include "RatedVoltage.h"
#include "UnitHexTools.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr TFieldKind Text = TFieldKind::Text, Volts = TFieldKind::Volts,
                     Integer = TFieldKind::Integer, Hertz = TFieldKind::Hertz,
                     Flag = TFieldKind::Flag;

const std::vector<TFieldDef> FieldTable = {
    {"identification", Text, 0, false, 0, 0, false},
    {"upper_limit_v", Volts, 1, true, 0, 6553, false},
    {"lower_limit_v", Volts, 2, true, 0, 6553, false},
    {"shutdown_delay_min", Integer, 3, true, SpinnerRange(3).Min, SpinnerRange(3).Max, false},
    {"frequency_tolerance_hz", Hertz, 1, true, 1, 10, false},
    {"outlet_delay_s", Integer, 4, true, SpinnerRange(4).Min, SpinnerRange(4).Max, true},
    {"biweekly_self_test", Flag, 2, true, 0, 1, false},
    {"fault_alarm_delay", Flag, 3, true, 0, 1, false},
    {"backup_warning_auto_stop", Flag, 4, true, 0, 1, false},
    {"alarm_sound_stop", Flag, 5, true, 0, 1, false},
    {"backup_warning_sound", Flag, 6, true, 0, 1, false},
    {"overload_warning_sound", Flag, 7, true, 0, 1, false},
    {"battery_low_warning_sound", Flag, 8, true, 0, 1, false},
    {"outlet_management_present", Flag, 0, false, 0, 1, false},
    {"intelligent_channel_control", Flag, 9, true, 0, 1, true},
    {"mains_overload_shutdown", Flag, 10, true, 0, 1, true},
    {"high_temperature_shutdown", Flag, 11, true, 0, 1, true},
    {"battery_low_shutdown", Flag, 12, true, 0, 1, true},
    {"battery_overload_shutdown", Flag, 13, true, 0, 1, true},
    {"auto_supply_after_overload", Flag, 14, true, 0, 1, true},
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<int> Number(const std::string& text) {
    const TNumberText n = ParseNumberText(text);
    if (!n.Ok) return std::nullopt;
    return n.Value;
}

std::string JoinNumbers(const std::vector<int>& values) {
    std::string out;
    for (int v : values)
        out += (out.empty() ? "" : ", ") + std::to_string(v);
    return out;
}

} // namespace

const std::vector<TFieldDef>& Fields() {
    return FieldTable;
}

const TFieldDef* FindField(std::string_view name) {
    for (const auto& f : FieldTable)
        if (name == f.Name) return &f;
    return nullptr;
}

std::string WritableNames() {
    std::string out;
    for (const auto& f : FieldTable)
        if (f.Writable) out += (out.empty() ? "" : ", ") + std::string(f.Name);
    return out;
}

std::size_t TUnitSettings::Index(const TFieldDef& f) {
    return static_cast<std::size_t>(&f - FieldTable.data());
}

std::string TUnitSettings::RegisterText(const std::string& name) const {
    for (const auto& [reg, text] : Registers)
        if (reg == name) return text;
    return {};
}

TUnitSettings SettingsFromWindow(const THeadlessWindow& window, const std::string& identification,
                                 std::vector<std::pair<std::string, std::string>> registers) {
    TUnitSettings s;
    s.Identification = identification;
    s.Registers = std::move(registers);
    const std::string r34 = s.RegisterText("R34");
    const bool outlets = !r34.empty() && (THexTool().HexToWord(r34) & 0x8000) != 0;
    for (const auto& f : FieldTable) {
        std::optional<int>& v = s[f];
        if (f.Outlet && !outlets) continue; // the read did not fill these controls
        switch (f.Kind) {
        case TFieldKind::Text:
            break;
        case TFieldKind::Volts:
        case TFieldKind::Integer:
            v = Number(window.EditText(f.Control));
            break;
        case TFieldKind::Hertz: {
            const int index = window.ComboItemIndex(f.Control);
            // A tolerance with no item (a reply of 30 shows 15) is still a value.
            v = index >= 0 ? std::optional<int>(index + 1) : Number(window.ComboText(f.Control));
            break;
        }
        case TFieldKind::Flag:
            if (f.Control == 0) {
                v = outlets ? 1 : 0;
            } else if (const int index = window.ComboItemIndex(f.Control); index >= 0) {
                v = index == 0 ? 1 : 0;
            }
            break;
        }
    }
    return s;
}

void ApplyToWindow(ISettingsWindow& window, const TFieldDef& field, int value) {
    switch (field.Kind) {
    case TFieldKind::Volts:
    case TFieldKind::Integer:
        window.SetEditText(field.Control, NumberToText(value));
        break;
    case TFieldKind::Hertz:
        window.SetComboItemIndex(field.Control, value - 1);
        break;
    case TFieldKind::Flag:
        window.SetComboItemIndex(field.Control, value ? 0 : 1);
        break;
    case TFieldKind::Text:
        break;
    }
}

std::string FormatValue(const TFieldDef& field, const std::optional<int>& value) {
    if (!value) return "null";
    if (field.Kind == TFieldKind::Flag) return *value ? "true" : "false";
    return std::to_string(*value);
}

std::optional<int> ParseValue(const TFieldDef& field, std::string_view text, std::string& error) {
    const std::string name = field.Name;
    if (field.Kind == TFieldKind::Flag) {
        const std::string t = Lower(text);
        if (t == "true" || t == "yes" || t == "1") return 1;
        if (t == "false" || t == "no" || t == "0") return 0;
        error = name + ": \"" + std::string(text) + "\" is not true/false/yes/no/1/0";
        return std::nullopt;
    }
    std::string_view digits = text;
    // "288.0" is 288 volts; a fraction cannot travel, the save sends whole volts.
    if (field.Kind == TFieldKind::Volts) {
        if (const auto dot = digits.find('.'); dot != std::string_view::npos) {
            const std::string_view fraction = digits.substr(dot + 1);
            if (fraction.empty() || fraction.find_first_not_of('0') != std::string_view::npos) {
                error = name + ": " + std::string(text) +
                        " is not a whole number of volts (the UPS is written in whole volts)";
                return std::nullopt;
            }
            digits = digits.substr(0, dot);
        }
    }
    const bool plain =
        !digits.empty() && digits.size() <= 9 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!plain) {
        error = name + ": \"" + std::string(text) + "\" is not a number";
        return std::nullopt;
    }
    return std::stoi(std::string(digits));
}

std::vector<int> LimitChoices(bool upper, int rated) {
    std::vector<int> v;
    if (const TRatedVoltage* r = FindRatedVoltage(rated))
        for (const TLimitChoice& choice : upper ? r->Upper : r->Lower)
            if (LimitOffered(upper, rated, choice)) v.push_back(choice.Volts);
    return v;
}

std::string RefuseValue(const TFieldDef& field, int value, int rated, bool anyLimit) {
    const std::string name = field.Name;
    if (field.Kind == TFieldKind::Volts) {
        if (anyLimit) {
            if (value > field.Max)
                return name + "=" + std::to_string(value) + " is above " +
                       std::to_string(field.Max) + " V, the most a limit word holds";
            return {};
        }
        const auto choices = LimitChoices(field.Control == 1, rated);
        if (std::find(choices.begin(), choices.end(), value) != choices.end()) return {};
        return name + "=" + std::to_string(value) + " is not a choice of the " +
               (field.Control == 1 ? "upper" : "lower") + " limit dialog at " +
               std::to_string(rated) + " V: " + JoinNumbers(choices) +
               " (--any-limit allows any whole volts)";
    }
    if (field.Kind == TFieldKind::Integer || field.Kind == TFieldKind::Hertz) {
        if (value < field.Min || value > field.Max)
            return name + "=" + std::to_string(value) + " is outside " + std::to_string(field.Min) +
                   "-" + std::to_string(field.Max);
    }
    return {};
}
