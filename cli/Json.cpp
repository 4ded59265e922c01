#include "Json.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>

namespace {

std::string Indented(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(c);
        if (c == '\n') out += "  ";
    }
    return out;
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 32 || c > 126) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

TJsonObject& TJsonObject::Add(const std::string& key, const std::string& value) {
    Members.emplace_back(key, value);
    return *this;
}

std::string TJsonObject::Text() const {
    if (Members.empty()) return "{}";
    std::string out = "{";
    for (std::size_t i = 0; i < Members.size(); ++i)
        out += (i ? ",\n  " : "\n  ") + JsonString(Members[i].first) + ": " +
               Indented(Members[i].second);
    return out + "\n}";
}

std::string JsonArray(const std::vector<std::string>& values) {
    if (values.empty()) return "[]";
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ",\n  " : "\n  ") + Indented(values[i]);
    return out + "\n]";
}

bool ReadSettingsFile(const std::string& path,
                      std::vector<std::pair<std::string, std::string>>& members,
                      std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString().toStdString();
        return false;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        error =
            path + ": not a settings file written by \"orvix-ups read --json\" (" +
            (parse.error != QJsonParseError::NoError
                 ? parse.errorString().toStdString() + " at offset " + std::to_string(parse.offset)
                 : std::string("no JSON object")) +
            ")";
        return false;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonValue v = it.value();
        std::string text;
        if (v.isNull() || v.isUndefined()) continue; // the source did not know it
        if (v.isBool()) {
            text = v.toBool() ? "true" : "false";
        } else if (v.isDouble()) {
            const double d = v.toDouble();
            char number[64];
            if (d == std::floor(d) && std::fabs(d) < 1e9)
                std::snprintf(number, sizeof number, "%.0f", d);
            else
                std::snprintf(number, sizeof number, "%g", d);
            text = number;
        } else if (v.isString()) {
            text = v.toString().toStdString();
        } else {
            text = v.isObject() ? "{...}" : "[...]";
        }
        members.emplace_back(it.key().toStdString(), text);
    }
    return true;
}
