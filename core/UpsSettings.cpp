#include "UpsSettings.h"

#include "RatedVoltage.h"

#include <stdexcept>

std::optional<int>& TUpsSettings::operator[](std::string_view name) {
    const TSettingDef* s = FindSetting(name);
    if (!s) throw std::out_of_range("no setting " + std::string(name));
    return (*this)[*s];
}

const std::optional<int>& TUpsSettings::operator[](std::string_view name) const {
    return const_cast<TUpsSettings&>(*this)[name];
}

std::string TUpsSettings::RegisterText(std::string_view command) const {
    for (const auto& [reg, text] : Registers)
        if (reg == command) return text;
    return {};
}

std::vector<TSettingId> ApplyFactoryValues(TUpsSettings& settings, int ratedVoltage) {
    std::vector<TSettingId> set;
    if (const TRatedVoltage* rated = FindRatedVoltage(ratedVoltage)) {
        settings[TSettingId::UpperLimit] = rated->FactoryUpper;
        settings[TSettingId::LowerLimit] = rated->FactoryLower;
        set = {TSettingId::UpperLimit, TSettingId::LowerLimit};
    }
    for (const TSettingDef& s : SettingTable())
        if (s.Factory) {
            settings[s] = *s.Factory;
            set.push_back(s.Id);
        }
    return set;
}
