#include "Report.h"

#include "Json.h"

#include <algorithm>

namespace {

std::string Shown(const TFieldDef& f, const std::optional<int>& v) {
    return v ? FormatValue(f, v) : "-";
}

std::string RegistersJson(const TUnitSettings& s) {
    TJsonObject o;
    for (const auto& [name, text] : s.Registers)
        o.Add(name, JsonString(text));
    return o.Text();
}

std::string WritableJson(const TUnitSettings& s) {
    TJsonObject o;
    for (const auto& f : Fields())
        if (f.Writable) o.Add(f.Name, FormatValue(f, s[f]));
    return o.Text();
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

std::string SettingsJson(const TUnitSettings& s) {
    TJsonObject o;
    for (const auto& f : Fields())
        o.Add(f.Name,
              f.Kind == TFieldKind::Text ? JsonString(s.Identification) : FormatValue(f, s[f]));
    o.Add("registers", RegistersJson(s));
    return o.Text();
}

std::string SettingsTable(const TUnitSettings& s) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& f : Fields())
        rows.push_back({f.Name, f.Kind == TFieldKind::Text ? s.Identification : Shown(f, s[f])});
    std::string registers;
    for (const auto& [name, text] : s.Registers)
        registers += (registers.empty() ? "" : "  ") + name + " " + text;
    rows.push_back({"registers", registers});
    return Aligned(rows);
}

std::string WriteJson(const TWriteReport& r) {
    std::vector<std::string> mismatches;
    for (const auto& m : r.Mismatches)
        mismatches.push_back(TJsonObject()
                                 .Add("setting", JsonString(m.Field->Name))
                                 .Add("written", FormatValue(*m.Field, m.Written))
                                 .Add("read", FormatValue(*m.Field, m.Read))
                                 .Text());
    TJsonObject o;
    o.Add("port", JsonString(r.Port))
        .Add("device", JsonString(r.Device))
        .Add("identification", JsonString(r.Before.Identification))
        .Add("dry_run", r.DryRun ? "true" : "false")
        .Add("verified", r.ReadBack ? (r.Mismatches.empty() ? "true" : "false") : "null")
        .Add("before", SettingsJson(r.Before))
        .Add("written", WritableJson(r.Written))
        .Add("read_back", r.ReadBack ? SettingsJson(*r.ReadBack) : "null")
        .Add("mismatches", JsonArray(mismatches));
    return o.Text();
}

std::string WriteTable(const TWriteReport& r) {
    std::vector<std::vector<std::string>> rows = {
        {"setting", "before", r.DryRun ? "to write" : "written"}};
    if (r.ReadBack) rows[0].push_back("read back");
    for (const auto& f : Fields()) {
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
