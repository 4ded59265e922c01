#include "Commands.h"

#include "NumberText.h"

#include <algorithm>
#include <cctype>

const char* const ReadCommands[LastStep + 1] = {"V?",  "R5",  "R4",  "TD", "F%",
                                                "R31", "R28", "R34", "R42"};
const char* const SaveCommands[LastStep + 1] = {"Xw",  "R5",  "R4",  "TD", "F%",
                                                "R31", "R28", "R34", "R42"};

namespace {

// Two-item combo boxes: item 0 means the bit is set, item 1 (or none) clear.
void ShowBit(ISettingsWindow& w, int combo, bool bit) {
    w.SetComboItemIndex(combo, bit ? 0 : 1);
}
bool BitOf(const ISettingsWindow& w, int combo) {
    return w.ComboItemIndex(combo) == 0;
}

void ShowVolts(TProtocolContext& ctx, int edit, const std::string& line) {
    ctx.Window.SetEditText(edit, NumberToText(ctx.Hex.HexToWord(line) / 10));
}

// A limit travels as volts x 10 in one 16-bit word; anything that does not fit
// is refused rather than wrapped.
std::optional<std::string> VoltsWord(TProtocolContext& ctx, int edit) {
    const TNumberText n = ParseNumberText(ctx.Window.EditText(edit));
    if (!n.Ok) return std::nullopt;
    const std::int64_t tenths = std::int64_t{n.Value} * 10;
    if (tenths < 0 || tenths > 0xFFFF) return std::nullopt;
    return ctx.Hex.WordToHex(static_cast<std::uint32_t>(tenths));
}

} // namespace

bool IsIdentificationValid(const std::string& line) {
    return line.size() >= 10 && line[9] == 'l';
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

bool ApplyReadReply(TProtocolContext& ctx, int step, const std::string& line) {
    ISettingsWindow& w = ctx.Window;
    TSettingsState& s = ctx.State;
    switch (step) {
    case 0:
        s.IdentificationLine = line;
        return IsIdentificationValid(line);
    case 1:
        ShowVolts(ctx, 1, line);
        break;
    case 2:
        ShowVolts(ctx, 2, line);
        break;
    case 3:
        w.SetUpDownPosition(3, ParseNumberText(line).Value);
        w.SetEditText(3, line);
        break;
    case 4: {
        s.FPercentText = line;
        s.FPercentNumber = ParseNumberText(line).Value / 2;
        const std::string hertz = NumberToText(s.FPercentNumber);
        w.SetComboText(1, hertz);
        w.SetComboItemIndex(1, w.ComboIndexOf(1, hertz));
        break;
    }
    case 5:
        s.HexR31 = line;
        s.DecodeR31(ctx.Hex);
        ShowBit(w, 2, s.FlagsR31[13]);
        ShowBit(w, 3, s.FlagsR31[3]);
        ShowBit(w, 4, s.FlagsR31[0]);
        break;
    case 6: {
        s.HexR28 = line;
        s.DecodeR28(ctx.Hex);
        const bool allStopped = line == "00FF";
        w.SetComboItemIndex(5, allStopped ? 0 : 1);
        if (allStopped) {
            for (int c = 6; c <= 8; ++c)
                w.SetComboItemIndex(c, 1);
        } else {
            ShowBit(w, 6, s.FlagsR28[9]);
            ShowBit(w, 7, s.FlagsR28[12]);
            ShowBit(w, 8, s.FlagsR28[11]);
        }
        for (int c = 6; c <= 8; ++c)
            w.SetComboEnabled(c, !allStopped);
        break;
    }
    case 7:
        s.HexR34 = line;
        s.DecodeR34(ctx.Hex);
        if (s.FlagsR34[15]) {
            w.SetEditEnabled(4, true);
            w.SetUpDownEnabled(4, true);
            for (int c = 9; c <= 14; ++c) {
                w.SetComboEnabled(c, true);
                ShowBit(w, c, s.FlagsR34[static_cast<std::size_t>(c - 1)]);
            }
        }
        break;
    case 8:
        if (s.FlagsR34[15]) {
            s.HexR42 = line;
            const int delay = s.DecodeR42(ctx.Hex);
            w.SetUpDownPosition(4, delay);
            w.SetEditText(4, NumberToText(delay));
        }
        break;
    default:
        break;
    }
    return true;
}

TSaveCommand BuildSaveCommand(TProtocolContext& ctx, int step) {
    if (step < 0 || step > LastStep) return {};
    ISettingsWindow& w = ctx.Window;
    TSettingsState& s = ctx.State;
    const std::string command = std::string(SaveCommands[step]) + "=";
    switch (step) {
    case 0:
        return {SaveCommands[0], {}};
    case 1:
    case 2: {
        const auto word = VoltsWord(ctx, step);
        if (!word) return {std::nullopt, step == 1 ? "upper limit" : "lower limit"};
        return {command + *word, {}};
    }
    case 3: {
        const TNumberText n = ParseNumberText(w.EditText(3));
        if (!n.Ok) return {std::nullopt, "shutdown delay"};
        return {command + NumberToText(n.Value), {}};
    }
    case 4: {
        const int index = w.ComboItemIndex(1);
        const std::int32_t hertz = index >= 0 ? index + 1 : s.FPercentNumber;
        s.FPercentText = NumberToText(std::int64_t{hertz} * 2);
        s.FPercentNumber = hertz;
        return {command + s.FPercentText, {}};
    }
    case 5:
        s.FlagsR31[13] = BitOf(w, 2);
        s.FlagsR31[3] = BitOf(w, 3);
        s.FlagsR31[0] = BitOf(w, 4);
        s.HexR31 = ctx.Hex.WordToHex(s.EncodeR31());
        return {command + s.HexR31, {}};
    case 6:
        if (w.ComboItemIndex(5) != 0) {
            s.FlagsR28[9] = BitOf(w, 6);
            s.FlagsR28[12] = BitOf(w, 7);
            s.FlagsR28[11] = BitOf(w, 8);
            s.HexR28 = ctx.Hex.WordToHex(s.EncodeR28());
        } else {
            s.HexR28 = "00FF";
        }
        return {command + s.HexR28, {}};
    case 7:
        for (int c = 9; c <= 14; ++c)
            s.FlagsR34[static_cast<std::size_t>(c - 1)] = BitOf(w, c);
        s.HexR34 = ctx.Hex.WordToHex(s.EncodeR34());
        return {command + s.HexR34, {}};
    case 8:
        if (w.ComboItemIndex(9) != 0) return {};
        s.HexR42 = s.EncodeR42(ctx.Hex, w.EditText(4));
        return {command + s.HexR42, {}};
    default:
        return {};
    }
}
