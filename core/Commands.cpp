#include "Commands.h"

#include "NumberText.h"

#include <algorithm>
#include <cctype>

using I = TSettingId;

const char* const ReadCommands[LastStep + 1] = {"V?",  "R5",  "R4",  "TD", "F%",
                                                "R31", "R28", "R34", "R42"};
const char* const SaveCommands[LastStep + 1] = {"Xw",  "R5",  "R4",  "TD", "F%",
                                                "R31", "R28", "R34", "R42"};

namespace {

// The flags a register word carries at their bits.
void ReadFlags(TUpsSettings& s, const FlagWord& word, int step) {
    for (const TSettingDef& d : SettingTable())
        if (d.Step == step && d.Kind == TSettingKind::Flag && d.Bit >= 0)
            s[d] = word[static_cast<std::size_t>(d.Bit)] ? 1 : 0;
}
// A flag not known keeps the bit the unit holds.
void WriteFlags(const TUpsSettings& s, FlagWord& word, int step) {
    for (const TSettingDef& d : SettingTable())
        if (d.Step == step && d.Kind == TSettingKind::Flag && d.Bit >= 0 && s[d] && d.Writable)
            word[static_cast<std::size_t>(d.Bit)] = *s[d] != 0;
}
void ForgetOutlets(TUpsSettings& s) {
    for (const TSettingDef& d : SettingTable())
        if (d.Outlet) s[d].reset();
}

bool VoltsFitTheirWord(const std::optional<int>& volts) {
    return volts && *volts >= 0 && *volts <= Setting(I::UpperLimit).Max;
}

} // namespace

bool IsIdentificationValid(const std::string& line) {
    return line.size() >= 10 && line[9] == 'l';
}

std::vector<TSettingId> SettingsOfStep(int step) {
    std::vector<TSettingId> ids;
    for (const TSettingDef& d : SettingTable())
        if (d.Step == step) ids.push_back(d.Id);
    return ids;
}

bool ReplyFitsRead(int step, const std::string& line) {
    switch (step) {
    case 3:
    case 4:
        return ParseNumberText(line).Ok;
    case 1:
    case 2:
    case 5:
    case 6:
    case 7:
    case 8:
        return line.size() >= 4 && std::all_of(line.begin(), line.begin() + 4, [](char c) {
                   return std::isxdigit(static_cast<unsigned char>(c)) != 0;
               });
    default:
        return true;
    }
}

bool ApplyReadReply(TUpsSettings& s, const THexTool& hex, int step, const std::string& line) {
    TSettingsState& w = s.Words;
    if (step >= 1 && step <= LastStep) s.Registers.emplace_back(ReadCommands[step], line);
    switch (step) {
    case 0:
        s.Identification = line;
        return IsIdentificationValid(line);
    case 1:
        s[I::UpperLimit] = hex.HexToWord(line) / 10;
        break;
    case 2:
        s[I::LowerLimit] = hex.HexToWord(line) / 10;
        break;
    case 3:
        s[I::ShutdownDelay] = ParseNumberText(line).Value;
        s.ShutdownDelayText = line;
        break;
    case 4:
        w.FPercentText = line;
        w.FPercentNumber = ParseNumberText(line).Value / 2;
        s[I::FrequencyTolerance] = w.FPercentNumber;
        break;
    case 5:
        w.HexR31 = line;
        w.DecodeR31(hex);
        ReadFlags(s, w.FlagsR31, 5);
        break;
    case 6:
        w.HexR28 = line;
        w.DecodeR28(hex);
        // All alarm sounds stopped is a word of its own, not a bit.
        s[I::AlarmSoundStop] = line == "00FF" ? 1 : 0;
        if (s.Flag(I::AlarmSoundStop)) {
            for (I sound : {I::BackupWarningSound, I::OverloadWarningSound, I::BatteryLowWarningSound})
                s[sound] = 0;
        } else {
            ReadFlags(s, w.FlagsR28, 6);
        }
        break;
    case 7:
        w.HexR34 = line;
        w.DecodeR34(hex);
        s[I::OutletManagementPresent] = w.FlagsR34[15] ? 1 : 0;
        if (w.FlagsR34[15])
            ReadFlags(s, w.FlagsR34, 7);
        else
            ForgetOutlets(s);
        break;
    case 8:
        if (w.FlagsR34[15]) {
            w.HexR42 = line;
            s[I::OutletDelay] = w.DecodeR42(hex);
        }
        break;
    default:
        break;
    }
    return true;
}

std::optional<TSettingId> UnsendableSetting(const TUpsSettings& s) {
    if (!VoltsFitTheirWord(s[I::UpperLimit])) return I::UpperLimit;
    if (!VoltsFitTheirWord(s[I::LowerLimit])) return I::LowerLimit;
    if (!s[I::ShutdownDelay]) return I::ShutdownDelay;
    if (!s[I::FrequencyTolerance]) return I::FrequencyTolerance;
    if (s.Flag(I::IntelligentChannelControl) && !s[I::OutletDelay]) return I::OutletDelay;
    return std::nullopt;
}

std::optional<std::string> BuildSaveCommand(TUpsSettings& s, const THexTool& hex, int step) {
    if (step < 0 || step > LastStep) return std::nullopt;
    TSettingsState& w = s.Words;
    const std::string command = std::string(SaveCommands[step]) + "=";
    switch (step) {
    case 0:
        return SaveCommands[0];
    case 1:
    case 2: {
        // Volts x 10 in one word; the caller refused what does not fit.
        const int volts = s[step == 1 ? I::UpperLimit : I::LowerLimit].value_or(0);
        return command + hex.WordToHex(static_cast<std::uint32_t>(volts) * 10);
    }
    case 3:
        return command + NumberToText(s[I::ShutdownDelay].value_or(0));
    case 4: {
        const std::int32_t hertz = s[I::FrequencyTolerance].value_or(w.FPercentNumber);
        w.FPercentText = NumberToText(std::int64_t{hertz} * 2);
        w.FPercentNumber = hertz;
        return command + w.FPercentText;
    }
    case 5:
        WriteFlags(s, w.FlagsR31, 5);
        w.HexR31 = hex.WordToHex(w.EncodeR31());
        return command + w.HexR31;
    case 6:
        if (!s.Flag(I::AlarmSoundStop)) {
            WriteFlags(s, w.FlagsR28, 6);
            w.HexR28 = hex.WordToHex(w.EncodeR28());
        } else {
            w.HexR28 = "00FF";
        }
        return command + w.HexR28;
    case 7:
        WriteFlags(s, w.FlagsR34, 7);
        w.HexR34 = hex.WordToHex(w.EncodeR34());
        return command + w.HexR34;
    case 8:
        if (!s.Flag(I::IntelligentChannelControl)) return std::nullopt;
        w.HexR42 = w.EncodeR42(hex, s[I::OutletDelay].value_or(0));
        return command + w.HexR42;
    default:
        return std::nullopt;
    }
}
