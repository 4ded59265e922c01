#include "ControlView.h"

#include "NumberText.h"

#include <stdexcept>

using I = TSettingId;

namespace {
// ComboBox1..14 in order; every combo shows one setting.
constexpr I ComboSetting[15] = {
    I::Identification, // no ComboBox0
    I::FrequencyTolerance,
    I::BiweeklySelfTest,
    I::FaultAlarmDelay,
    I::BackupWarningAutoStop,
    I::AlarmSoundStop,
    I::BackupWarningSound,
    I::OverloadWarningSound,
    I::BatteryLowWarningSound,
    I::IntelligentChannelControl,
    I::MainsOverloadShutdown,
    I::HighTemperatureShutdown,
    I::BatteryLowShutdown,
    I::BatteryOverloadShutdown,
    I::AutoSupplyAfterOverload,
};
constexpr int FirstFlagCombo = 2, LastCombo = 14;

int ComboOf(I id) {
    for (int c = 1; c <= LastCombo; ++c)
        if (ComboSetting[c] == id) return c;
    return 0;
}

// A number typed into an edit; none when it does not parse.
std::optional<int> Typed(const std::string& text) {
    const TNumberText n = ParseNumberText(text);
    if (!n.Ok) return std::nullopt;
    return n.Value;
}
} // namespace

const std::vector<std::string>& TControlView::ComboItems(int combo) {
    if (combo < 1 || combo > LastCombo) throw std::out_of_range("no ComboBox" + std::to_string(combo));
    return Setting(ComboSetting[combo]).Items;
}

TControlView::TSpinRange TControlView::SpinnerRange(int upDown) {
    if (upDown != 3 && upDown != 4) throw std::out_of_range("no UpDown" + std::to_string(upDown));
    const TSettingDef& s = Setting(upDown == 3 ? I::ShutdownDelay : I::OutletDelay);
    return {s.Min, s.Max};
}

// Item 0 stands for a set bit; a value not known leaves the control as it is.
void TControlView::ShowFlag(int combo, const std::optional<int>& value) {
    if (value) SetComboItemIndex(combo, *value ? 0 : 1);
}

void TControlView::EnableOutletControls(bool enabled) {
    SetEditEnabled(4, enabled);
    SetUpDownEnabled(4, enabled);
    for (int c = 10; c <= LastCombo; ++c)
        SetComboEnabled(c, enabled);
}

void TControlView::ShowSettings(const TUpsSettings& s, const std::vector<TSettingId>& changed,
                                TShowCause cause) {
    for (const I id : changed) {
        const std::optional<int>& v = s[id];
        if (!v) continue;
        switch (id) {
        case I::UpperLimit:
        case I::LowerLimit:
            SetEditText(id == I::UpperLimit ? 1 : 2, NumberToText(*v));
            break;
        case I::ShutdownDelay:
            // A read shows the delay as the UPS wrote it; the factory value
            // goes into the field alone, the spinner keeps its position.
            if (cause == TShowCause::Read) {
                SetUpDownPosition(3, *v);
                SetEditText(3, s.ShutdownDelayText);
            } else {
                SetEditText(3, NumberToText(*v));
            }
            break;
        case I::FrequencyTolerance: {
            // A tolerance no item offers (a reply of 30 is 15 Hz) shows as text alone.
            const std::string hertz = NumberToText(*v);
            SetComboText(1, hertz);
            SetComboItemIndex(1, ComboIndexOf(1, hertz));
            break;
        }
        case I::AlarmSoundStop:
            ShowFlag(5, v);
            for (int c = 6; c <= 8; ++c)
                SetComboEnabled(c, *v == 0);
            break;
        case I::OutletManagementPresent:
            if (*v) {
                SetEditEnabled(4, true);
                SetUpDownEnabled(4, true);
                for (int c = 9; c <= LastCombo; ++c)
                    SetComboEnabled(c, true);
            }
            break;
        case I::OutletDelay:
            SetUpDownPosition(4, *v);
            SetEditText(4, NumberToText(*v));
            break;
        default:
            if (const int combo = ComboOf(id); combo >= FirstFlagCombo) ShowFlag(combo, v);
            break;
        }
    }
}

std::optional<TSettingId> TControlView::CollectSettings(TUpsSettings& s) {
    for (auto [edit, id] : {std::pair{1, I::UpperLimit}, {2, I::LowerLimit}, {3, I::ShutdownDelay}}) {
        const auto value = Typed(EditText(edit));
        if (!value) return id;
        s[id] = *value;
    }
    // No item chosen (a tolerance read that no item offers) keeps the value read.
    if (const int index = ComboItemIndex(1); index >= 0) s[I::FrequencyTolerance] = index + 1;
    for (int c = FirstFlagCombo; c <= LastCombo; ++c)
        s[ComboSetting[c]] = ComboItemIndex(c) == 0 ? 1 : 0;
    // The digits before anything else count; nothing at all is 0.
    s[I::OutletDelay] = ParseNumberText(EditText(4)).Value;
    return std::nullopt;
}

void TControlView::SequenceEnded(const TOutcome& outcome) {
    if (outcome.Kind == TOutcomeKind::ReadCompleted) EnableOutletControls(ComboItemIndex(9) == 0);
}
