#include "UnitUpperLimit.h"

#include "UnitNormalInputVoltage.h"

TFormUpperLimit* FormUpperLimit = nullptr;

namespace {
// Fixed values, not computed from the percentage.
const std::array<TLimitRow, 5> UpperLimits = {{
    {100,
     {"  10                           110", "  15                           115",
      "  20                           120", "  24                           124"}},
    {110,
     {"  10                           121", "  15                           126",
      "  20                           132", "  25                           136"}},
    {220,
     {"  15                           253", "  20                           264",
      "  25                           275", "  30                           286"}},
    {230,
     {"  15                           265", "  20                           276",
      "  25                           288", "  30                           299"}},
    {240,
     {"  15                           276", "  20                           288",
      "  25                           300", "  30                           312"}},
}};
} // namespace

TFormUpperLimit::TFormUpperLimit(QWidget* owner)
    : TLimitDialog(owner, 192, 156, "入力電源の上限値(V)", 1, UpperLimits) {}

void TFormUpperLimit::FormShow() {
    RadioButton[3]->setEnabled(true);
    TLimitDialog::FormShow();
    // 30 % above 240 V is beyond what the unit accepts.
    if (FormNormalInputVoltage->RatedVoltage == 240) RadioButton[3]->setEnabled(false);
}
