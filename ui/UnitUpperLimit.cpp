#include "UnitUpperLimit.h"

TFormUpperLimit* FormUpperLimit = nullptr;

TFormUpperLimit::TFormUpperLimit(QWidget* owner)
    : TLimitDialog(owner, 192, 156, "入力電源の上限値(V)", 1) {}
