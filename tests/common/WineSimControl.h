#pragma once
// The Windows side of sim-control (tests/e2e/wine), which runs the Linux
// simulator beside a test under Wine: one request line, its answer.
#include <string>

std::string SimControl(const std::string& request);
