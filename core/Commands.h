#pragma once
// The read and save command tables and what each reply does to the settings.
#include "FlagWords.h"
#include "ISettingsWindow.h"
#include "UnitHexTools.h"

#include <optional>
#include <string>

constexpr int LastStep = 8;

// The command word of each step, for reading and for saving.
extern const char* const ReadCommands[LastStep + 1];
extern const char* const SaveCommands[LastStep + 1];

struct TProtocolContext {
    ISettingsWindow& Window;
    TSettingsState& State;
    const THexTool& Hex;
};

// Applies the reply line of a read step to the window. Returns false only when
// step 0's identification check fails.
bool ApplyReadReply(TProtocolContext& ctx, int step, const std::string& line);

bool IsIdentificationValid(const std::string& line);

// Whether a line can be the reply to the read command of step: four hex
// digits first for a register, a number for "TD" and "F%". A line that does
// not fit answers some other command and must change no field. "V?" is
// judged by the identification check instead.
bool ReplyFitsRead(int step, const std::string& line);

struct TSaveCommand {
    std::optional<std::string> Line; // without CR LF; empty when nothing is sent
    std::string InvalidField;        // set when the value of the step is not valid
};

// Builds the save command of a step from the controls, updating the kept values.
TSaveCommand BuildSaveCommand(TProtocolContext& ctx, int step);
