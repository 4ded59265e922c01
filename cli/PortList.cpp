#include "PortList.h"

#include "Json.h"
#include "PortDiagnosis.h"

#include <algorithm>

namespace {

std::string Or(const std::string& s, const std::string& fallback) {
    return s.empty() ? fallback : s;
}

std::string StateText(const TPortInfo& p) {
    if (!p.Exists) return "missing";
    if (!p.Hardware) return "no hardware behind it";
    if (p.Holder) return "busy: " + DescribeHolder(*p.Holder);
    if (!p.AccessProblem.empty()) return p.AccessProblem;
    return "free";
}

} // namespace

std::string PortsTable(const std::vector<TPortInfo>& ports) {
    std::vector<std::vector<std::string>> rows = {{"PORT", "DEVICE", "DRIVER", "USB", "STATE"}};
    for (const auto& p : ports)
        rows.push_back({Or(p.Com, "-"),
                        p.Path + (p.MappedBy.empty() ? "" : " (" + p.MappedBy + ")"),
                        Or(p.Driver, "-"), Or(p.UsbId, "-"), StateText(p)});
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& r : rows)
        for (std::size_t i = 0; i < r.size(); ++i)
            width[i] = std::max(width[i], r[i].size());
    std::string out;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const auto& r = rows[k];
        std::string line;
        for (std::size_t i = 0; i < r.size(); ++i)
            line += i + 1 < r.size() ? r[i] + std::string(width[i] - r[i].size() + 2, ' ') : r[i];
        out += line + "\n";
        if (k > 0)
            for (const auto& alias : ports[k - 1].ById)
                out += std::string(width[0] + 2, ' ') + "also " + alias + "\n";
    }
    return out;
}

std::string PortsJson(const std::vector<TPortInfo>& ports) {
    QJsonArray items;
    for (const auto& p : ports) {
        QJsonArray ids;
        for (const auto& id : p.ById)
            ids.append(JsonText(id));
        QJsonObject o;
        o["port"] = JsonText(p.Com, true);
        o["device"] = JsonText(p.Path);
        o["mapped_by"] = JsonText(p.MappedBy, true);
        o["by_id"] = ids;
        o["exists"] = p.Exists;
        o["hardware"] = p.Hardware;
        o["driver"] = JsonText(p.Driver, true);
        o["usb_id"] = JsonText(p.UsbId, true);
        o["accessible"] = p.Exists && p.AccessProblem.empty();
        o["access_problem"] = JsonText(p.AccessProblem, true);
        o["busy"] = p.Holder.has_value();
        o["holder"] = p.Holder ? JsonText(DescribeHolder(*p.Holder)) : QJsonValue::Null;
        o["holder_pid"] = p.Holder && p.Holder->Pid ? QJsonValue(p.Holder->Pid) : QJsonValue::Null;
        o["holder_program"] = p.Holder ? JsonText(p.Holder->Program, true) : QJsonValue::Null;
        o["lock_file"] = p.Holder ? JsonText(p.Holder->LockFile, true) : QJsonValue::Null;
        o["exclusive"] = p.Exclusive ? QJsonValue(*p.Exclusive) : QJsonValue::Null;
        items.append(o);
    }
    return JsonOut(items);
}
