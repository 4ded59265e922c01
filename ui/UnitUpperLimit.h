#pragma once
// The upper input voltage limit dialog; OK fills MaskEdit1 of the main window.
#include "LimitDialog.h"

class TFormUpperLimit : public TLimitDialog {
  public:
    explicit TFormUpperLimit(QWidget* owner);
};

extern TFormUpperLimit* FormUpperLimit;
