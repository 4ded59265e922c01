#include "Json.h"

#include <QFile>
#include <QJsonDocument>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

// QJsonDocument keeps the last of two equal keys without a word: find them in
// the text. Only the top level matters, and the text is known to be valid JSON.
std::string DuplicateTopLevelKey(const QByteArray& text) {
    std::set<QString> keys;
    int depth = 0;
    bool expectKey = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            qsizetype end = i + 1;
            while (end < text.size() && text[end] != '"')
                end += text[end] == '\\' ? 2 : 1;
            if (depth == 1 && expectKey) {
                const QJsonDocument one =
                    QJsonDocument::fromJson("[" + text.mid(i, end - i + 1) + "]");
                const QString key = one.array().at(0).toString();
                if (!keys.insert(key).second) return key.toStdString();
                expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            ++depth;
            expectKey = depth == 1 && c == '{';
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            expectKey = true;
        }
    }
    return {};
}

const char* const ContextKeys[] = {"format", "tool", "read_at", "port", "identification"};

} // namespace

QJsonValue JsonText(const std::string& utf8, bool nullWhenEmpty) {
    if (nullWhenEmpty && utf8.empty()) return QJsonValue::Null;
    return QString::fromStdString(utf8);
}

QJsonValue JsonBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string BytesOf(const QJsonValue& value) {
    return value.toString().toLatin1().toStdString();
}

std::string JsonOut(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Indented).trimmed().toStdString();
}

std::string JsonOut(const QJsonArray& array) {
    return QJsonDocument(array).toJson(QJsonDocument::Indented).trimmed().toStdString();
}

bool ReadSettingsFile(const std::string& path,
                      std::vector<std::pair<std::string, std::string>>& members,
                      TFileContext& context, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray text = file.readAll();
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        error =
            path + ": not a settings file written by \"orvix-ups read --json\" (" +
            (parse.error != QJsonParseError::NoError
                 ? parse.errorString().toStdString() + " at offset " + std::to_string(parse.offset)
                 : std::string("no JSON object")) +
            ")";
        return false;
    }
    if (const std::string twice = DuplicateTopLevelKey(text); !twice.empty()) {
        error = path + ": \"" + twice + "\" is given twice; which one is meant cannot be told";
        return false;
    }
    const QJsonObject object = doc.object();
    if (object.contains("format")) {
        const QJsonValue f = object["format"];
        if (!f.isDouble() || f.toDouble() != std::floor(f.toDouble()) || f.toInt() < 1 ||
            f.toInt() > SettingsFormat) {
            error = path + ": format " +
                    QJsonDocument(QJsonArray{f})
                        .toJson(QJsonDocument::Compact)
                        .mid(1)
                        .chopped(1)
                        .toStdString() +
                    " is not one this orvix-ups knows (1 to " + std::to_string(SettingsFormat) +
                    "); a newer orvix-ups may read it";
            return false;
        }
        context.Format = f.toInt();
    }
    context.Tool = object["tool"].toString().toStdString();
    context.ReadAt = object["read_at"].toString().toStdString();
    context.Port = object["port"].toString().toStdString();
    context.Identification = BytesOf(object["identification"]);
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string key = it.key().toStdString();
        bool contextKey = false;
        for (const char* k : ContextKeys)
            contextKey = contextKey || key == k;
        const QJsonValue v = it.value();
        if (contextKey || v.isNull() || v.isUndefined()) continue; // the source did not know it
        std::string value;
        if (v.isBool()) {
            value = v.toBool() ? "true" : "false";
        } else if (v.isDouble()) {
            const double d = v.toDouble();
            char number[64];
            if (d == std::floor(d) && std::fabs(d) < 1e9)
                std::snprintf(number, sizeof number, "%.0f", d);
            else
                std::snprintf(number, sizeof number, "%g", d);
            value = number;
        } else if (v.isString()) {
            value = v.toString().toStdString();
        } else {
            value = v.isObject() ? "{...}" : "[...]";
        }
        members.emplace_back(key, value);
    }
    return true;
}
