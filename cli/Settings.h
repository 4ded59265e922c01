#pragma once
// The UPS settings by name, as orvix-ups reads, prints and writes them, and
// where each lives among the main settings window's controls.
#include "ISettingsWindow.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class THeadlessWindow;

enum class TFieldKind {
    Text,    // the identification line
    Volts,   // whole volts in MaskEdit1 or MaskEdit2
    Integer, // decimal text in MaskEdit3 or MaskEdit4
    Hertz,   // ComboBox1: item k is k + 1 Hz
    Flag,    // a two-item combo box: item 0 is true
};

struct TFieldDef {
    const char* Name;
    TFieldKind Kind;
    int Control;   // MaskEdit number for Volts and Integer, ComboBox number for Hertz and Flag
    bool Writable; // false: shown only
    int Min, Max;  // the accepted range of Integer and Hertz values
    bool Outlet;   // part of the outlet management, read only when R34 bit 15 is set
};

const std::vector<TFieldDef>& Fields();
const TFieldDef* FindField(std::string_view name);
// "upper_limit_v, lower_limit_v, ..." for messages.
std::string WritableNames();

// One unit's settings: every field's value (flags as 0 and 1, nullopt when the
// read left it unknown), and the raw reply of each register.
struct TUnitSettings {
    std::string Identification;
    std::vector<std::pair<std::string, std::string>> Registers; // "R5" -> "0B40", in read order
    std::vector<std::optional<int>> Values = std::vector<std::optional<int>>(Fields().size());

    std::optional<int>& operator[](const TFieldDef& f) { return Values[Index(f)]; }
    const std::optional<int>& operator[](const TFieldDef& f) const { return Values[Index(f)]; }
    std::optional<int>& operator[](std::string_view name) { return (*this)[*FindField(name)]; }
    const std::optional<int>& operator[](std::string_view name) const {
        return (*this)[*FindField(name)];
    }
    std::string RegisterText(const std::string& name) const;
    static std::size_t Index(const TFieldDef& f);
};

// What the window's controls show after a read, with the registers of that read.
TUnitSettings SettingsFromWindow(const THeadlessWindow& window, const std::string& identification,
                                 std::vector<std::pair<std::string, std::string>> registers);

// Puts a value into the field's control, as the operator would.
void ApplyToWindow(ISettingsWindow& window, const TFieldDef& field, int value);

// "288", "true", "3"; "null" when unknown (JSON literals).
std::string FormatValue(const TFieldDef& field, const std::optional<int>& value);

// A value as typed after NAME=; empty error when it parses. Booleans take
// true/false/yes/no/1/0; volts must be whole (a save sends whole volts).
std::optional<int> ParseValue(const TFieldDef& field, std::string_view text, std::string& error);

// Why a parsed value may not be written; empty when it may. Limits must be one
// of the limit dialogs' choices for the rated voltage unless anyLimit.
std::string RefuseValue(const TFieldDef& field, int value, int rated, bool anyLimit);

// The limit dialogs' voltages for a rated voltage (the upper 312 V at 240 V,
// which its dialog disables, is left out).
std::vector<int> LimitChoices(bool upper, int rated);
