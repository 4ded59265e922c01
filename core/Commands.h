#pragma once
// The read and save command tables and what each reply does to the settings.
#include "UnitHexTools.h"
#include "UpsSettings.h"

#include <optional>
#include <string>
#include <vector>

constexpr int LastStep = 8;

// The command word of each step, for reading and for saving.
extern const char* const ReadCommands[LastStep + 1];
extern const char* const SaveCommands[LastStep + 1];

// Takes the reply line of a read step into the settings. Returns false only
// when step 0's identification check fails.
bool ApplyReadReply(TUpsSettings& settings, const THexTool& hex, int step,
                    const std::string& line);
// The settings a read step fills.
std::vector<TSettingId> SettingsOfStep(int step);

bool IsIdentificationValid(const std::string& line);

// Whether a line can be the reply to the read command of step: four hex
// digits first for a register, a number for "TD" and "F%". A line that does
// not fit answers some other command and must change no setting. "V?" is
// judged by the identification check instead.
bool ReplyFitsRead(int step, const std::string& line);

// The first setting a save cannot send: a limit or delay not known, or a
// limit beyond its word. Nothing is sent while there is one.
std::optional<TSettingId> UnsendableSetting(const TUpsSettings& settings);

// The save command of a step (without CR LF), updating the kept words; none
// when the step sends nothing.
std::optional<std::string> BuildSaveCommand(TUpsSettings& settings, const THexTool& hex, int step);
