#include "UnitLowerLimit.h"

TFormLowerLimit* FormLowerLimit = nullptr;

TFormLowerLimit::TFormLowerLimit(QWidget* owner)
    : TLimitDialog(owner, 184, 152, "入力電源の下限値(V)", 2) {}
