#include "PortNaming.h"

#include <cctype>

std::optional<int> ComPortNumber(const std::string& name) {
    const std::string local = "\\\\.\\";
    const std::string text =
        name.compare(0, local.size(), local) == 0 ? name.substr(local.size()) : name;
    if (text.size() < 4 || text.size() > 6) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return std::nullopt;
    int number = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        number = number * 10 + (text[i] - '0');
    }
    if (number < 1 || text[3] == '0') return std::nullopt;
    return number;
}
