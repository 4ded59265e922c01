#pragma once
// The program's windows for a benchmark: 230 V chosen, COM 1 pointed at the
// terminal and picked, the main window ready for a connect.
#include "Application.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

inline TFormBenloQuenda& StartWindows(const std::string& terminal) {
    setenv("ORVIX_COM1", terminal.c_str(), 1);
    CreateForms();
    FormNormalInputVoltage->RadioGroup1->SetItemIndex(3);
    FormNormalInputVoltage->LMDButton1Click();
    FormBenloQuenda->RadioGroup1->SetItemIndex(0);
    return *FormBenloQuenda;
}

inline double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
