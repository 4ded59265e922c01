#pragma once
// JSON in and out through Qt's JSON classes, and the reader for a settings
// file that "read --json" wrote.
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <string>
#include <utility>
#include <vector>

// Text we made or the user gave, in UTF-8; null when empty and nullWhenEmpty.
QJsonValue JsonText(const std::string& utf8, bool nullWhenEmpty = false);
// Bytes from the line: each byte one character (U+0000..U+00FF), so line noise
// stays visible and comes back byte for byte.
QJsonValue JsonBytes(const std::string& bytes);
std::string BytesOf(const QJsonValue& value);
// Two blanks per level, no final line end.
std::string JsonOut(const QJsonObject& object);
std::string JsonOut(const QJsonArray& array);

// What "read --json" writes beside the settings, and the version of that layout.
constexpr int SettingsFormat = 2;
struct TFileContext {
    int Format = 1; // files without "format" came from the first version
    std::string Tool, ReadAt, Port, Identification;
};

// The top-level members of a settings file as NAME and VALUE texts, the way
// they would be typed after --set NAME=: true/false, numbers, strings; null
// members and the context members are left out, nested ones ("registers")
// come back as "{...}". Refuses a key given twice and a format it does not know.
bool ReadSettingsFile(const std::string& path,
                      std::vector<std::pair<std::string, std::string>>& members,
                      TFileContext& context, std::string& error);
