#include "Report.h"

#include "Json.h"
#include "OrvixVersion.h"

#include <QDateTime>

#include <algorithm>

namespace {

std::string Shown(const TSettingDef& f, const std::optional<int>& v) {
    return v ? FormatValue(f, v) : "-";
}

QJsonValue ValueJson(const TSettingDef& f, const std::optional<int>& v) {
    if (!v) return QJsonValue::Null;
    if (f.Kind == TSettingKind::Flag) return *v != 0;
    return *v;
}

QJsonObject SettingsObject(const TUpsSettings& s) {
    QJsonObject o;
    for (const auto& f : SettingTable())
        o[f.Name] = f.Kind == TSettingKind::Text ? JsonBytes(s.Identification) : ValueJson(f, s[f]);
    QJsonObject registers;
    for (const auto& [name, text] : s.Registers)
        registers[QString::fromStdString(name)] = JsonBytes(text);
    o["registers"] = registers;
    return o;
}

QJsonObject WritableObject(const TUpsSettings& s) {
    QJsonObject o;
    for (const auto& f : SettingTable())
        if (f.Writable) o[f.Name] = ValueJson(f, s[f]);
    return o;
}

std::string Aligned(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width;
    for (const auto& r : rows) {
        width.resize(std::max(width.size(), r.size()), 0);
        for (std::size_t i = 0; i < r.size(); ++i)
            width[i] = std::max(width[i], r[i].size());
    }
    std::string out;
    for (const auto& r : rows) {
        std::string line;
        for (std::size_t i = 0; i < r.size(); ++i)
            line += i + 1 < r.size() ? r[i] + std::string(width[i] - r[i].size() + 2, ' ') : r[i];
        out += line + "\n";
    }
    return out;
}

} // namespace

std::string SettingsJson(const TUpsSettings& s, const std::string& port) {
    QJsonObject o = SettingsObject(s);
    o["format"] = SettingsFormat;
    o["tool"] = QString::fromLatin1("orvix-ups " ORVIX_VERSION);
    o["read_at"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    o["port"] = JsonText(port);
    return JsonOut(o);
}

std::string SettingsTable(const TUpsSettings& s) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& f : SettingTable())
        rows.push_back({f.Name, f.Kind == TSettingKind::Text ? s.Identification : Shown(f, s[f])});
    std::string registers;
    for (const auto& [name, text] : s.Registers)
        registers += (registers.empty() ? "" : "  ") + name + " " + text;
    rows.push_back({"registers", registers});
    return Aligned(rows);
}

std::string WriteJson(const TWriteReport& r) {
    QJsonArray mismatches;
    for (const auto& m : r.Mismatches)
        mismatches.append(QJsonObject{{"setting", m.Field->Name},
                                      {"written", ValueJson(*m.Field, m.Written)},
                                      {"read", ValueJson(*m.Field, m.Read)}});
    QJsonObject o;
    o["port"] = JsonText(r.Port);
    o["device"] = JsonText(r.Device);
    o["identification"] = JsonBytes(r.Before.Identification);
    o["dry_run"] = r.DryRun;
    o["verified"] = r.ReadBack ? QJsonValue(r.Mismatches.empty()) : QJsonValue::Null;
    o["before"] = SettingsObject(r.Before);
    o["written"] = WritableObject(r.Written);
    o["read_back"] = r.ReadBack ? QJsonValue(SettingsObject(*r.ReadBack)) : QJsonValue::Null;
    o["mismatches"] = mismatches;
    return JsonOut(o);
}

std::string WriteTable(const TWriteReport& r) {
    std::vector<std::vector<std::string>> rows = {
        {"setting", "before", r.DryRun ? "to write" : "written"}};
    if (r.ReadBack) rows[0].push_back("read back");
    for (const auto& f : SettingTable()) {
        if (!f.Writable) continue;
        std::vector<std::string> row = {f.Name, Shown(f, r.Before[f]), Shown(f, r.Written[f])};
        if (r.ReadBack) row.push_back(Shown(f, (*r.ReadBack)[f]));
        const bool differs = std::any_of(r.Mismatches.begin(), r.Mismatches.end(),
                                         [&](const TMismatch& m) { return m.Field == &f; });
        if (differs)
            row.push_back("DIFFERS");
        else if (r.Before[f] != r.Written[f])
            row.push_back("changed");
        rows.push_back(row);
    }
    return Aligned(rows);
}

std::string MismatchLines(const std::vector<TMismatch>& mismatches) {
    std::string out;
    for (const auto& m : mismatches)
        out += std::string("  ") + m.Field->Name + ": wrote " + Shown(*m.Field, m.Written) +
               ", read back " + Shown(*m.Field, m.Read) + "\n";
    return out;
}

namespace {

// Where each setting lives on the unit.
const char* MapsTo(const std::string& name) {
    static const std::pair<const char*, const char*> table[] = {
        {"identification", "the V? reply"},           {"upper_limit_v", "R5, tenths of a volt"},
        {"lower_limit_v", "R4, tenths of a volt"},    {"shutdown_delay_min", "TD"},
        {"frequency_tolerance_hz", "F%, half hertz"}, {"outlet_delay_s", "R42 bits 0-11"},
        {"biweekly_self_test", "R31 bit 13"},         {"fault_alarm_delay", "R31 bit 3"},
        {"backup_warning_auto_stop", "R31 bit 0"},    {"alarm_sound_stop", "R28 = 00FF"},
        {"backup_warning_sound", "R28 bit 9"},        {"overload_warning_sound", "R28 bit 12"},
        {"battery_low_warning_sound", "R28 bit 11"},  {"outlet_management_present", "R34 bit 15"},
        {"intelligent_channel_control", "R34 bit 8"}, {"mains_overload_shutdown", "R34 bit 9"},
        {"high_temperature_shutdown", "R34 bit 10"},  {"battery_low_shutdown", "R34 bit 11"},
        {"battery_overload_shutdown", "R34 bit 12"},  {"auto_supply_after_overload", "R34 bit 13"},
    };
    for (const auto& [n, m] : table)
        if (name == n) return m;
    return "";
}

const char* TypeName(TSettingKind kind) {
    switch (kind) {
    case TSettingKind::Text:
        return "text";
    case TSettingKind::Volts:
        return "volts";
    case TSettingKind::Integer:
    case TSettingKind::Hertz:
        return "integer";
    case TSettingKind::Flag:
        break;
    }
    return "boolean";
}

const char* UnitName(const std::string& name) {
    if (name.ends_with("_v")) return "V";
    if (name.ends_with("_min")) return "min";
    if (name.ends_with("_hz")) return "Hz";
    if (name.ends_with("_s")) return "s";
    return "";
}

} // namespace

std::string SettingsListing(int rated, bool json) {
    const int allRated[] = {100, 110, 220, 230, 240};
    std::vector<int> rateds(allRated, allRated + 5);
    if (rated) rateds = {rated};
    QJsonArray items;
    std::vector<std::vector<std::string>> rows = {
        {"name", "type", "values", "unit", "writable", "maps to"}};
    for (const auto& f : SettingTable()) {
        QJsonObject o{{"name", f.Name},
                      {"type", TypeName(f.Kind)},
                      {"unit", JsonText(UnitName(f.Name), true)},
                      {"writable", f.Writable},
                      {"maps_to", MapsTo(f.Name)}};
        std::string values;
        if (f.Kind == TSettingKind::Volts) {
            QJsonObject choices;
            for (int r : rateds) {
                const auto c = LimitChoices(f.Id == TSettingId::UpperLimit, r);
                choices[QString::number(r)] = QJsonArray::fromVariantList([&] {
                    QVariantList l;
                    for (int v : c)
                        l.append(v);
                    return l;
                }());
                values += (values.empty() ? "" : "; ") + std::to_string(r) + " V: " + JoinNumbers(c);
            }
            o["choices"] = choices;
            values += " (--any-limit: 0-" + std::to_string(f.Max) + ")";
        } else if (f.Kind == TSettingKind::Integer || f.Kind == TSettingKind::Hertz) {
            o["min"] = f.Min;
            o["max"] = f.Max;
            values = std::to_string(f.Min) + "-" + std::to_string(f.Max);
        } else if (f.Kind == TSettingKind::Flag) {
            values = "true, false";
        }
        items.append(o);
        rows.push_back({f.Name, TypeName(f.Kind), values.empty() ? "-" : values,
                        *UnitName(f.Name) ? UnitName(f.Name) : "-", f.Writable ? "yes" : "no",
                        MapsTo(f.Name)});
    }
    return json ? JsonOut(items) + "\n" : Aligned(rows);
}

std::vector<TDifference> Differences(const TUpsSettings& a, const TUpsSettings& b) {
    std::vector<TDifference> out;
    for (const auto& f : SettingTable())
        if (f.Kind != TSettingKind::Text && a[f] != b[f]) out.push_back({&f, a[f], b[f]});
    return out;
}

std::string DiffTable(const std::string& a, const std::string& b,
                      const std::vector<TDifference>& differences) {
    std::vector<std::vector<std::string>> rows = {{"setting", a, b}};
    for (const auto& d : differences)
        rows.push_back({d.Field->Name, Shown(*d.Field, d.A), Shown(*d.Field, d.B)});
    return differences.empty() ? "no setting differs\n" : Aligned(rows);
}

std::string DiffJson(const std::string& a, const std::string& b,
                     const std::vector<TDifference>& differences) {
    QJsonArray items;
    for (const auto& d : differences)
        items.append(QJsonObject{{"setting", d.Field->Name},
                                 {"a", ValueJson(*d.Field, d.A)},
                                 {"b", ValueJson(*d.Field, d.B)}});
    return JsonOut(QJsonObject{{"a", JsonText(a)},
                               {"b", JsonText(b)},
                               {"equal", differences.empty()},
                               {"differences", items}}) +
           "\n";
}
