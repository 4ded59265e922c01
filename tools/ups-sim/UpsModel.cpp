#include "UpsModel.h"

#include <cctype>
#include <sstream>

namespace {
const char* const RegisterOrder[] = {"R5", "R4", "TD", "F%", "R31", "R28", "R34", "R42"};

bool IsHexWord(const std::string& v) {
    if (v.size() != 4) return false;
    for (char c : v)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsDecimal(const std::string& v, long low, long high) {
    if (v.empty() || v.size() > 6) return false;
    for (char c : v)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const long n = std::stol(v);
    return n >= low && n <= high;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
} // namespace

TUpsModel::TUpsModel(TUpsOptions options) : Options(std::move(options)) {
    // A 230 V unit: limits 288.0 V and 173.0 V, 2 min shutdown delay, 3 Hz
    // tolerance, outlet management present with a 90 s delay.
    Registers = {{"R5", "0B40"},  {"R4", "06C2"},  {"TD", "2"},     {"F%", "6"},
                 {"R31", "A108"}, {"R28", "1AFF"}, {"R34", "8100"}, {"R42", "305A"}};
}

bool TUpsModel::Rejected(const std::string& command) const {
    for (const auto& r : Options.RejectCommands) {
        if (!r.empty() && r.back() == '=') {
            if (command.rfind(r, 0) == 0) return true;
        } else if (command == r) {
            return true;
        }
    }
    return false;
}

std::string TUpsModel::Answer(const std::string& command) {
    if (const auto fixed = Options.Replies.find(command); fixed != Options.Replies.end())
        return fixed->second;
    if (Rejected(command)) return "NK";
    if (command == "V?") {
        if (Options.ShortId) return "ORVIX";
        return Options.WrongId ? "ORVIX-BQ1x 230V" : "ORVIX-BQ1l 230V";
    }
    if (command == "Xw") {
        WriteEnabled = true;
        return "OK";
    }
    const auto eq = command.find('=');
    if (eq == std::string::npos) {
        const auto it = Registers.find(command);
        return it == Registers.end() ? "NK" : it->second;
    }
    const std::string name = command.substr(0, eq);
    if (!WriteEnabled || !Registers.count(name)) return "NK";
    return Write(name, command.substr(eq + 1)) ? "OK" : "NK";
}

bool TUpsModel::Write(const std::string& name, const std::string& value) {
    if (Options.IgnoreWrites) {
        std::map<std::string, std::string> kept = Registers;
        const bool valid = Store(name, value);
        Registers = std::move(kept);
        return valid;
    }
    return Store(name, value);
}

bool TUpsModel::Store(const std::string& name, const std::string& value) {
    if (name == "TD") {
        if (!IsDecimal(value, 1, 600)) return false;
        Registers[name] = std::to_string(std::stol(value));
        return true;
    }
    if (name == "F%") {
        if (!IsDecimal(value, 2, 20)) return false;
        Registers[name] = std::to_string(std::stol(value));
        return true;
    }
    if (!IsHexWord(value)) return false;
    const unsigned long word = std::stoul(value, nullptr, 16);
    // Input limits between 50.0 V and 400.0 V.
    if ((name == "R5" || name == "R4") && (word < 500 || word > 4000)) return false;
    Registers[name] = Upper(value);
    return true;
}

std::string TUpsModel::StateText() const {
    std::ostringstream out;
    for (const char* name : RegisterOrder)
        out << name << ' ' << Registers.at(name) << '\n';
    return out.str();
}
