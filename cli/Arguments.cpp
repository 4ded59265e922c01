#include "Arguments.h"

#include "OrvixVersion.h"
#include "SettingsTable.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

const char* const VersionText = "orvix-ups " ORVIX_VERSION "\n";

namespace {
// What a port name maps to, and the interruptions that stop a run.
#ifdef _WIN32
#define ORVIX_PORT_HELP "  -p, --port PORT   COM1..COM4, or a device path (\\\\.\\COM12 for COM12)"
#define ORVIX_STOP_HELP "129, 130, 143 stopped by the console's closing,\nCtrl-C, Ctrl-Break."
#else
#define ORVIX_PORT_HELP                                                                                   \
    "  -p, --port PORT   COM1..COM4 (/dev/ttyS0..3, or the path in ORVIX_COM1..4) or a device path"
#define ORVIX_STOP_HELP "129, 130, 143 stopped by SIGHUP, SIGINT, SIGTERM."
#endif

const char* const UsageHead = R"(Usage:
  orvix-ups ports   [--json]
  orvix-ups read    -p PORT [-j] [--log FILE] [--reply-wait MS] [-q]
  orvix-ups write   -p PORT -r V (-s NAME=VALUE ... | --from FILE)
                    [--any-limit] [--force] [--dry-run] [--no-verify] [-j]
                    [--log FILE] [--reply-wait MS] [-q]
  orvix-ups factory -p PORT -r V [--force] [--dry-run] [--no-verify] [-j]
                    [--log FILE] [--reply-wait MS] [-q]
  orvix-ups get     -p PORT NAME... [--log FILE] [--reply-wait MS] [-q]
  orvix-ups diff    (FILE | -p PORT) (FILE | -p PORT) [-j] [--reply-wait MS] [-q]
  orvix-ups settings [-r V] [-j]
  orvix-ups --help | --version

Reads and writes the settings of an Orvix Sine / Benlo / Quenda UPS over a
serial line, with the same sequences as orvix-config. A write reads the unit
first, saves, then reads it back and compares every written setting. get
prints bare values, one per line; diff prints the settings in which two units
or saved files differ (exit 6 when any does); settings lists every name with
its type, range or choices, unit and register.

)" ORVIX_PORT_HELP R"(
  -r, --rated V     rated input voltage: 100, 110, 220, 230 or 240
  -s, --set N=V     change one setting (repeatable); booleans: true/false/yes/no/1/0
  --from FILE       write every writable setting of a file that "read --json" wrote
  --any-limit       allow any whole volts for the limits, not only the dialogs' choices
  --force           write limits of another voltage class than the unit holds
  --dry-run         read the unit and print the plan; send no write
  --no-verify       skip the read-back after a save
  -j, --json        print JSON instead of a table
  --log FILE        append a timestamped transcript of every command and reply
  --reply-wait MS   how long a silent line is waited for (default 600, three ticks)
  -q, --quiet       no progress line and no notes; errors only

)";
const char* const UsageTail = R"(
Exit status: 0 done; 1 usage or a refused value (nothing sent); 2 the port
cannot be opened; 3 no reply; 4 not a UPS of this line; 5 the UPS rejected a
command; 6 the read-back differs from what was written; 7 the transcript or the
output could not be written; )" ORVIX_STOP_HELP R"(
)";

// "Settings: upper_limit_v lower_limit_v (volts), shutdown_delay_min (1-600), ..."
// from the settings table, wrapped at 80 columns.
std::string SettingsParagraph() {
    std::vector<std::string> writable, readOnly;
    for (const TSettingDef& f : SettingTable()) {
        std::string item = f.Name;
        if (f.Kind == TSettingKind::Volts) item += " (volts)";
        if (f.Kind == TSettingKind::Integer || f.Kind == TSettingKind::Hertz)
            item += " (" + std::to_string(f.Min) + "-" + std::to_string(f.Max) + ")";
        (f.Writable ? writable : readOnly).push_back(item);
    }
    readOnly.emplace_back("registers");
    std::string out, line;
    auto add = [&](const std::string& word) {
        if (!line.empty() && line.size() + 1 + word.size() > 79) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    };
    auto list = [&](const char* head, const std::vector<std::string>& items) {
        add(head);
        for (std::size_t i = 0; i < items.size(); ++i)
            add(items[i] + (i + 1 < items.size() ? "," : "."));
        out += line + "\n";
        line.clear();
    };
    list("Settings:", writable);
    list("Read only:", readOnly);
    return out;
}
} // namespace

std::string UsageText() {
    return UsageHead + SettingsParagraph() + UsageTail;
}

namespace {

using C = TCommand;

struct TOption {
    const char* Long;
    char Short; // 0: none
    bool TakesValue;
    std::vector<TCommand> Commands;
};

const std::vector<TOption>& Options() {
    static const std::vector<TOption> options = {
        {"--port", 'p', true, {C::Read, C::Write, C::Factory, C::Get, C::Diff}},
        {"--rated", 'r', true, {C::Write, C::Factory, C::Settings}},
        {"--set", 's', true, {C::Write}},
        {"--from", 0, true, {C::Write}},
        {"--log", 0, true, {C::Read, C::Write, C::Factory, C::Get}},
        {"--reply-wait", 0, true, {C::Read, C::Write, C::Factory, C::Get, C::Diff}},
        {"--any-limit", 0, false, {C::Write}},
        {"--force", 0, false, {C::Write, C::Factory}},
        {"--dry-run", 0, false, {C::Write, C::Factory}},
        {"--no-verify", 0, false, {C::Write, C::Factory}},
        {"--json", 'j', false, {C::Ports, C::Read, C::Write, C::Factory, C::Settings, C::Diff}},
        {"--quiet", 'q', false, {C::Ports, C::Read, C::Write, C::Factory, C::Get, C::Diff}},
    };
    return options;
}

const std::vector<std::pair<std::string, TCommand>> Commands = {
    {"ports", C::Ports}, {"read", C::Read}, {"write", C::Write},      {"factory", C::Factory},
    {"get", C::Get},     {"diff", C::Diff}, {"settings", C::Settings}};

const TOption* FindOption(const std::string& name) {
    for (const auto& o : Options())
        if (name == o.Long || (name.size() == 2 && name[0] == '-' && name[1] == o.Short && o.Short))
            return &o;
    return nullptr;
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& candidates) {
    const std::string close = Closest(word, candidates);
    return close.empty() ? "" : "; did you mean " + close + "?";
}

void Store(TArguments& a, const std::string& option, const std::string& value) {
    auto once = [&](std::string& slot) {
        if (!slot.empty()) throw TUsageError(option + " is given twice");
        if (value.empty()) throw TUsageError(option + " needs a value");
        slot = value;
    };
    if (option == "--port" && a.Command == TCommand::Diff) {
        if (value.empty()) throw TUsageError("--port needs a value");
        a.Sides.push_back({true, value});
    } else if (option == "--port") {
        once(a.Port);
    } else if (option == "--log") {
        once(a.LogFile);
    } else if (option == "--from") {
        once(a.FromFile);
    } else if (option == "--set") {
        a.Sets.push_back(value);
    } else if (option == "--rated") {
        if (a.Rated) throw TUsageError("--rated is given twice");
        static const std::vector<std::string> rated = {"100", "110", "220", "230", "240"};
        if (std::find(rated.begin(), rated.end(), value) == rated.end())
            throw TUsageError("--rated must be 100, 110, 220, 230 or 240, not \"" + value + "\"");
        a.Rated = std::stoi(value);
    } else if (option == "--reply-wait") {
        if (a.ReplyWaitMs) throw TUsageError("--reply-wait is given twice");
        const bool digits = !value.empty() && value.size() <= 6 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoi(value) < 200 || std::stoi(value) > 60000)
            throw TUsageError("--reply-wait takes milliseconds from 200 to 60000, not \"" + value +
                              "\"");
        a.ReplyWaitMs = std::stoi(value);
    } else if (option == "--any-limit") {
        a.AnyLimit = true;
    } else if (option == "--no-verify") {
        a.NoVerify = true;
    } else if (option == "--json") {
        a.Json = true;
    } else if (option == "--force") {
        a.Force = true;
    } else if (option == "--dry-run") {
        a.DryRun = true;
    } else if (option == "--quiet") {
        a.Quiet = true;
    }
}

// One option with its value taken from the arguments; i points at the last word used.
void TakeOption(TArguments& a, const std::vector<std::string>& args, std::size_t& i,
                const std::string& command) {
    std::string word = args[i], value;
    bool inlineValue = false;
    if (word.rfind("--", 0) == 0) {
        if (const auto eq = word.find('='); eq != std::string::npos) {
            value = word.substr(eq + 1);
            word = word.substr(0, eq);
            inlineValue = true;
        }
    } else if (word.size() > 2 && word[0] == '-') {
        // -pCOM1, or flags run together: -jq
        const TOption* first = FindOption(word.substr(0, 2));
        if (first && first->TakesValue) {
            value = word.substr(2);
            inlineValue = true;
        } else {
            for (std::size_t k = 1; k < word.size(); ++k) {
                std::vector<std::string> one = {std::string("-") + word[k]};
                std::size_t j = 0;
                const TOption* o = FindOption(one[0]);
                if (o && o->TakesValue) throw TUsageError(one[0] + " needs a value of its own");
                TakeOption(a, one, j, command);
            }
            return;
        }
        word = word.substr(0, 2);
    }
    const TOption* option = FindOption(word);
    if (!option && word.rfind("-", 0) != 0) {
        if (a.Command == TCommand::Get) {
            a.Names.push_back(word);
            return;
        }
        if (a.Command == TCommand::Diff) {
            a.Sides.push_back({false, word});
            return;
        }
    }
    if (!option) {
        if (word.rfind("-", 0) != 0) throw TUsageError("unexpected word \"" + word + "\"");
        std::vector<std::string> names;
        for (const auto& o : Options())
            names.emplace_back(o.Long);
        throw TUsageError("unknown option " + word + Suggestion(word, names));
    }
    const std::string name = option->Long;
    if (std::find(option->Commands.begin(), option->Commands.end(), a.Command) ==
        option->Commands.end())
        throw TUsageError(name + " does not go with " + command);
    if (option->TakesValue && !inlineValue) {
        if (i + 1 >= args.size()) throw TUsageError(name + " needs a value");
        value = args[++i];
    } else if (!option->TakesValue && inlineValue) {
        throw TUsageError(name + " takes no value");
    }
    Store(a, name, value);
}

std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string Closest(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = std::string::npos;
    for (const auto& c : candidates) {
        // A prefix counts as close: "wr" for write, "upper" for upper_limit_v.
        const std::size_t d = c.rfind(word, 0) == 0 && word.size() >= 2 ? 1 : Distance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return bestDistance <= std::max<std::size_t>(2, word.size() / 3) ? best : "";
}

TArguments ParseArguments(const std::vector<std::string>& args) {
    TArguments a;
    a.Words = args;
    if (args.empty())
        throw TUsageError(
            "a command is missing: ports, read, write, factory, get, diff or settings");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        a.Command = TCommand::Help;
        return a;
    }
    if (first == "--version") {
        a.Command = TCommand::Version;
        return a;
    }
    std::vector<std::string> names;
    for (const auto& [name, command] : Commands) {
        names.push_back(name);
        if (name == first) a.Command = command;
    }
    if (std::find(names.begin(), names.end(), first) == names.end())
        throw TUsageError(
            "unknown command \"" + first +
            "\"; the commands are ports, read, write, factory, get, diff and settings" +
            Suggestion(first, names));

    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            a.Command = TCommand::Help;
            return a;
        }
        TakeOption(a, args, i, first);
    }

    if (a.Command == TCommand::Get && a.Names.empty())
        throw TUsageError("get needs the names of the settings to print");
    if (a.Command == TCommand::Diff && a.Sides.size() != 2)
        throw TUsageError("diff compares two sides, each a FILE or --port PORT, not " +
                          std::to_string(a.Sides.size()));
    const bool portless = a.Command == TCommand::Ports || a.Command == TCommand::Settings ||
                          a.Command == TCommand::Diff;
    if (!portless && a.Port.empty())
        throw TUsageError(first + " needs --port PORT (COM1..COM4 or a device path)");
    if ((a.Command == TCommand::Write || a.Command == TCommand::Factory) && !a.Rated)
        throw TUsageError(first + " needs --rated V (100, 110, 220, 230 or 240)");
    if (a.Command == TCommand::Write && a.Sets.empty() == a.FromFile.empty())
        throw TUsageError("write needs either --set NAME=VALUE or --from FILE, not both");
    return a;
}
