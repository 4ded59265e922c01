#include "PortNaming.h"

#include <cstdlib>

std::string ComPortVariableSet(int number) {
    const std::string name = "ORVIX_COM" + std::to_string(number);
    const char* path = std::getenv(name.c_str());
    return path && *path ? name : std::string();
}

std::string DeviceOfComPort(int number) {
    const std::string variable = ComPortVariableSet(number);
    if (!variable.empty()) return std::getenv(variable.c_str());
    return "/dev/ttyS" + std::to_string(number - 1);
}
