#include "Settings.h"

#include "RatedVoltage.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::string JoinNumbers(const std::vector<int>& values) {
    std::string out;
    for (int v : values)
        out += (out.empty() ? "" : ", ") + std::to_string(v);
    return out;
}

std::string WritableNames() {
    std::string out;
    for (const auto& f : SettingTable())
        if (f.Writable) out += (out.empty() ? "" : ", ") + std::string(f.Name);
    return out;
}

std::string FormatValue(const TSettingDef& field, const std::optional<int>& value) {
    if (!value) return "null";
    if (field.Kind == TSettingKind::Flag) return *value ? "true" : "false";
    return std::to_string(*value);
}

std::optional<int> ParseValue(const TSettingDef& field, std::string_view text, std::string& error) {
    const std::string name = field.Name;
    if (field.Kind == TSettingKind::Flag) {
        const std::string t = Lower(text);
        if (t == "true" || t == "yes" || t == "1") return 1;
        if (t == "false" || t == "no" || t == "0") return 0;
        error = name + ": \"" + std::string(text) + "\" is not true/false/yes/no/1/0";
        return std::nullopt;
    }
    std::string_view digits = text;
    // "288.0" is 288 volts; a fraction cannot travel, the save sends whole volts.
    if (field.Kind == TSettingKind::Volts) {
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

std::string RefuseValue(const TSettingDef& field, int value, int rated, bool anyLimit) {
    const std::string name = field.Name;
    if (field.Kind == TSettingKind::Volts) {
        if (anyLimit) {
            if (value > field.Max)
                return name + "=" + std::to_string(value) + " is above " +
                       std::to_string(field.Max) + " V, the most a limit word holds";
            return {};
        }
        const bool upper = field.Id == TSettingId::UpperLimit;
        const auto choices = LimitChoices(upper, rated);
        if (std::find(choices.begin(), choices.end(), value) != choices.end()) return {};
        return name + "=" + std::to_string(value) + " is not a choice of the " +
               (upper ? "upper" : "lower") + " limit dialog at " +
               std::to_string(rated) + " V: " + JoinNumbers(choices) +
               " (--any-limit allows any whole volts)";
    }
    if (field.Kind == TSettingKind::Integer || field.Kind == TSettingKind::Hertz) {
        if (value < field.Min || value > field.Max)
            return name + "=" + std::to_string(value) + " is outside " + std::to_string(field.Min) +
                   "-" + std::to_string(field.Max);
    }
    return {};
}
