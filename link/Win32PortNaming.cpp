#include "PortNaming.h"

std::string ComPortVariableSet(int) {
    return {};
}

// The device namespace reaches every port, COM10 and above included.
std::string DeviceOfComPort(int number) {
    return "\\\\.\\COM" + std::to_string(number);
}
