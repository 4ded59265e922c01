#pragma once
// The lower input voltage limit dialog; OK fills MaskEdit2 of the main window.
#include "LimitDialog.h"

class TFormLowerLimit : public TLimitDialog {
  public:
    explicit TFormLowerLimit(QWidget* owner);
};

extern TFormLowerLimit* FormLowerLimit;
