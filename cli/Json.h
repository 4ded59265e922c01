#pragma once
// JSON in and out: an object writer that keeps the order its keys were added
// in, and the reader for a settings file that "read --json" wrote.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A JSON string literal; bytes outside ASCII are written as \u00XX, so the
// output is valid whatever a line noise put into a reply.
std::string JsonString(std::string_view text);

class TJsonObject {
  public:
    // value is JSON text already: a literal, a number, or a nested Text().
    TJsonObject& Add(const std::string& key, const std::string& value);
    // Two blanks per level; nested values are re-indented to fit.
    std::string Text() const;

  private:
    std::vector<std::pair<std::string, std::string>> Members;
};

std::string JsonArray(const std::vector<std::string>& values);

// The top-level members of a settings file as NAME and VALUE texts, the way
// they would be typed after --set NAME=: true/false, numbers, strings; null
// members are left out. Nested members ("registers") come back as "{...}".
bool ReadSettingsFile(const std::string& path,
                      std::vector<std::pair<std::string, std::string>>& members,
                      std::string& error);
