#pragma once
// COM port numbers and the devices behind them. On Linux COM n is
// /dev/ttyS{n-1} unless the user setting ORVIX_COMn names another device; on
// Windows it is the system's own \\.\COMn. Only this file's implementations
// read ORVIX_COMn.
#include <optional>
#include <string>

// The device a COM port number stands for.
std::string DeviceOfComPort(int number);
// 3 for "COM3", "com3" or "\\.\COM3"; none for anything else.
std::optional<int> ComPortNumber(const std::string& name);
// The user setting that chose DeviceOfComPort(number), e.g. "ORVIX_COM1";
// empty when the default applies.
std::string ComPortVariableSet(int number);
