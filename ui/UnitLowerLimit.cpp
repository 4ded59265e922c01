#include "UnitLowerLimit.h"

TFormLowerLimit* FormLowerLimit = nullptr;

namespace {
const std::array<TLimitRow, 5> LowerLimits = {{
    {100,
     {"   5                            95", "  10                            90",
      "  15                            85", "  20                            80"}},
    {110,
     {"  10                            99", "  15                            93",
      "  20                            88", "  25                            82"}},
    {220,
     {"  15                           187", "  20                           176",
      "  25                           165", "  30                           154"}},
    {230,
     {"  15                           196", "  20                           184",
      "  25                           173", "  30                           161"}},
    {240,
     {"  15                           204", "  20                           192",
      "  25                           180", "  30                           168"}},
}};
} // namespace

TFormLowerLimit::TFormLowerLimit(QWidget* owner)
    : TLimitDialog(owner, 184, 152, "入力電源の下限値(V)", 2, LowerLimits) {}
