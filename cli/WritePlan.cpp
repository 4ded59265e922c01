#include "WritePlan.h"

#include "Arguments.h"
#include "Commands.h"
#include "Json.h"

namespace {

const char* const Sounds[] = {"backup_warning_sound", "overload_warning_sound",
                              "battery_low_warning_sound"};

std::optional<std::string> Collect(const std::string& name, const std::string& text, int rated,
                                   bool anyLimit, TChangeSet& out) {
    const TSettingDef* field = FindSetting(name);
    if (!field) {
        std::vector<std::string> names;
        for (const auto& f : SettingTable())
            if (f.Writable) names.emplace_back(f.Name);
        const std::string close = Closest(name, names);
        return "unknown setting \"" + name + "\"" +
               (close.empty() ? "" : "; did you mean " + close + "?") +
               " The settings are: " + WritableNames();
    }
    if (!field->Writable) return name + " is read only";
    std::string error;
    const auto value = ParseValue(*field, text, error);
    if (!value) return error;
    if (std::string refusal = RefuseValue(*field, *value, rated, anyLimit); !refusal.empty())
        return refusal;
    for (auto& c : out.Changes)
        if (c.Field == field) {
            if (c.Value != *value) return name + " is given twice with different values";
            return std::nullopt;
        }
    out.Changes.push_back({field, *value});
    return std::nullopt;
}

const TChange* Find(const TChangeSet& set, const char* name) {
    for (const auto& c : set.Changes)
        if (c.Field == FindSetting(name)) return &c;
    return nullptr;
}

// The value after the write: the change if there is one, else as read.
std::optional<int> Final(const TUpsSettings& before, const TChangeSet& set, const char* name) {
    if (const TChange* c = Find(set, name)) return c->Value;
    return before[name];
}

} // namespace

std::optional<std::string> CollectSets(const std::vector<std::string>& sets, int rated,
                                       bool anyLimit, TChangeSet& out) {
    out.Explicit = true;
    for (const auto& item : sets) {
        const auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0)
            return "--set takes NAME=VALUE, not \"" + item + "\"";
        if (auto error = Collect(item.substr(0, eq), item.substr(eq + 1), rated, anyLimit, out))
            return error;
    }
    return std::nullopt;
}

std::optional<std::string> CollectFile(const std::string& path, int rated, bool anyLimit,
                                       TChangeSet& out) {
    out.Explicit = false;
    std::vector<std::pair<std::string, std::string>> members;
    std::string error;
    TFileContext context;
    if (!ReadSettingsFile(path, members, context, error)) return error;
    for (const auto& [name, text] : members) {
        const TSettingDef* field = FindSetting(name);
        if (name == "registers" || (field && !field->Writable)) continue; // this unit's own
        if (auto refusal = Collect(name, text, rated, anyLimit, out)) return path + ": " + *refusal;
    }
    if (out.Changes.empty()) return path + ": no writable setting in it";
    return std::nullopt;
}

std::optional<std::string> SettingsFromFile(const std::string& path, TUpsSettings& out) {
    std::vector<std::pair<std::string, std::string>> members;
    std::string error;
    TFileContext context;
    if (!ReadSettingsFile(path, members, context, error)) return error;
    out.Identification = context.Identification;
    for (const auto& [name, text] : members) {
        const TSettingDef* field = FindSetting(name);
        if (!field) continue; // registers, or a name of a later version
        const auto value = ParseValue(*field, text, error);
        if (!value) return path + ": " + error;
        out[*field] = value;
    }
    return std::nullopt;
}

std::optional<std::string> FitToUnit(const TUpsSettings& before, TChangeSet& set,
                                     std::vector<std::string>& notes) {
    std::vector<TChange> kept;
    const bool outlets = before["outlet_management_present"] == 1;
    const bool channelControl = Final(before, set, "intelligent_channel_control") == 1;
    const bool soundsStopped = Final(before, set, "alarm_sound_stop") == 1;
    for (const auto& c : set.Changes) {
        const std::string name = c.Field->Name;
        std::string why;
        if (c.Field->Outlet && !outlets)
            why = name + " cannot be written: this unit has no outlet management (R34 bit 15 "
                         "is clear), so it would not read back";
        else if (name == "outlet_delay_s" && !channelControl)
            why = "outlet_delay_s is written only while intelligent_channel_control is true";
        if (!why.empty()) {
            if (set.Explicit) return why;
            notes.push_back(why + "; left as it is");
            continue;
        }
        for (const char* sound : Sounds)
            if (name == sound && c.Value == 1 && soundsStopped)
                return name + "=true cannot be written while alarm_sound_stop is true (R28 is "
                              "then 00FF, every sound off); set alarm_sound_stop=false as well";
        kept.push_back(c);
    }
    set.Changes = std::move(kept);
    return std::nullopt;
}

std::optional<std::string> UnsendableValue(const TUpsSettings& settings) {
    const auto id = UnsendableSetting(settings);
    if (!id) return std::nullopt;
    const std::string name = Setting(*id).Name;
    const auto& value = settings[*id];
    return "the unit's " + name + " " +
           (value ? "reads " + std::to_string(*value) + ", which cannot be written back"
                  : "is not known") +
           "; give --set " + name + "=VALUE";
}

TUpsSettings ExpectedAfterSave(const TUpsSettings& toSave, const TUpsSettings& before) {
    TUpsSettings e = toSave;
    // "Alarm sound stop" sends 00FF, which reads back as every sound off.
    if (e["alarm_sound_stop"] == 1)
        for (const char* sound : Sounds)
            e[sound] = 0;
    // Without channel control the delay is not sent and stays as it was.
    if (e["intelligent_channel_control"] != 1) e["outlet_delay_s"] = before["outlet_delay_s"];
    return e;
}

std::vector<TMismatch> Compare(const TUpsSettings& expected, const TUpsSettings& readBack) {
    std::vector<TMismatch> out;
    for (const auto& f : SettingTable())
        if (f.Writable && expected[f] && expected[f] != readBack[f])
            out.push_back({&f, expected[f], readBack[f]});
    return out;
}
