#include "Arguments.h"

#include "OrvixVersion.h"

#include <algorithm>
#include <map>

const char* const VersionText = "orvix-ups " ORVIX_VERSION "\n";

const char* const UsageText = R"(Usage:
  orvix-ups ports   [--json]
  orvix-ups read    --port PORT [--json] [--log FILE]
  orvix-ups write   --port PORT --rated V (--set NAME=VALUE ... | --from FILE)
                    [--any-limit] [--no-verify] [--json] [--log FILE]
  orvix-ups factory --port PORT --rated V [--no-verify] [--json] [--log FILE]
  orvix-ups --help | --version

Reads and writes the settings of an Orvix Sine / Benlo / Quenda UPS over a
serial line, with the same sequences as orvix-config. A write reads the unit
first, saves, then reads it back and compares every written setting.

  PORT          COM1..COM4 (/dev/ttyS0..3, or the path in ORVIX_COM1..4) or a device path
  --rated V     rated input voltage: 100, 110, 220, 230 or 240
  --set N=V     change one setting (repeatable); booleans: true/false/yes/no/1/0
  --from FILE   write every writable setting of a file that "read --json" wrote
  --any-limit   allow any whole volts for the limits, not only the dialogs' choices
  --no-verify   skip the read-back after a save
  --json        print JSON instead of a table
  --log FILE    append a timestamped transcript of every command and reply

Settings: upper_limit_v lower_limit_v (volts), shutdown_delay_min (1-600),
frequency_tolerance_hz (1-10), outlet_delay_s (0-4000), biweekly_self_test,
fault_alarm_delay, backup_warning_auto_stop, alarm_sound_stop,
backup_warning_sound, overload_warning_sound, battery_low_warning_sound,
intelligent_channel_control, mains_overload_shutdown, high_temperature_shutdown,
battery_low_shutdown, battery_overload_shutdown, auto_supply_after_overload.
Read only: identification, outlet_management_present, registers.

Exit status: 0 done; 1 usage or a refused value (nothing sent); 2 the port
cannot be opened; 3 no reply; 4 not a UPS of this line; 5 the UPS rejected a
command; 6 the read-back differs from what was written.
)";

namespace {

struct TOption {
    bool TakesValue;
    std::vector<TCommand> Commands;
};

const std::map<std::string, TOption>& Options() {
    using C = TCommand;
    static const std::map<std::string, TOption> options = {
        {"--port", {true, {C::Read, C::Write, C::Factory}}},
        {"--rated", {true, {C::Write, C::Factory}}},
        {"--set", {true, {C::Write}}},
        {"--from", {true, {C::Write}}},
        {"--log", {true, {C::Read, C::Write, C::Factory}}},
        {"--any-limit", {false, {C::Write}}},
        {"--no-verify", {false, {C::Write, C::Factory}}},
        {"--json", {false, {C::Ports, C::Read, C::Write, C::Factory}}},
    };
    return options;
}

const std::map<std::string, TCommand> Commands = {{"ports", TCommand::Ports},
                                                  {"read", TCommand::Read},
                                                  {"write", TCommand::Write},
                                                  {"factory", TCommand::Factory}};

void Store(TArguments& a, const std::string& option, const std::string& value) {
    auto once = [&](std::string& slot) {
        if (!slot.empty()) throw TUsageError(option + " is given twice");
        if (value.empty()) throw TUsageError(option + " needs a value");
        slot = value;
    };
    if (option == "--port") {
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
    } else if (option == "--any-limit") {
        a.AnyLimit = true;
    } else if (option == "--no-verify") {
        a.NoVerify = true;
    } else if (option == "--json") {
        a.Json = true;
    }
}

} // namespace

TArguments ParseArguments(const std::vector<std::string>& args) {
    TArguments a;
    if (args.empty()) throw TUsageError("a command is missing: ports, read, write or factory");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        a.Command = TCommand::Help;
        return a;
    }
    if (first == "--version") {
        a.Command = TCommand::Version;
        return a;
    }
    const auto command = Commands.find(first);
    if (command == Commands.end())
        throw TUsageError("unknown command \"" + first +
                          "\"; the commands are ports, read, "
                          "write and factory");
    a.Command = command->second;

    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string option = args[i], value;
        if (option == "--help" || option == "-h") {
            a.Command = TCommand::Help;
            return a;
        }
        const auto eq = option.find('=');
        const bool inlineValue = option.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = option.substr(eq + 1);
            option = option.substr(0, eq);
        }
        const auto known = Options().find(option);
        if (known == Options().end())
            throw TUsageError(option.rfind("-", 0) == 0 ? "unknown option " + option
                                                        : "unexpected word \"" + option + "\"");
        const auto& allowed = known->second.Commands;
        if (std::find(allowed.begin(), allowed.end(), a.Command) == allowed.end())
            throw TUsageError(option + " does not go with " + first);
        if (known->second.TakesValue && !inlineValue) {
            if (i + 1 >= args.size()) throw TUsageError(option + " needs a value");
            value = args[++i];
        } else if (!known->second.TakesValue && inlineValue) {
            throw TUsageError(option + " takes no value");
        }
        Store(a, option, value);
    }

    if (a.Command != TCommand::Ports && a.Port.empty())
        throw TUsageError(first + " needs --port PORT (COM1..COM4 or a device path)");
    if ((a.Command == TCommand::Write || a.Command == TCommand::Factory) && !a.Rated)
        throw TUsageError(first + " needs --rated V (100, 110, 220, 230 or 240)");
    if (a.Command == TCommand::Write && a.Sets.empty() == a.FromFile.empty())
        throw TUsageError("write needs either --set NAME=VALUE or --from FILE, not both");
    return a;
}
