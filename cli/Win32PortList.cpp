#include "PortList.h"

#include "ApdExceptions.h"
#include "PortNaming.h"

#include <algorithm>
#include <windows.h>

namespace {

// The ports the serial drivers registered: "COM3", as each driver names it.
std::vector<std::string> RegisteredPorts() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char device[256], port[256];
        DWORD deviceSize = sizeof device, portSize = sizeof port - 1, type = 0;
        const LONG rc = RegEnumValueA(key, i, device, &deviceSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(port), &portSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        port[portSize] = '\0';
        names.emplace_back(port);
    }
    RegCloseKey(key);
    return names;
}

// Whether a port is busy shows only as a refused open: a free port is opened
// and closed again at once (its DTR and RTS lines rise for that moment).
TPortInfo Probe(const std::string& path) {
    TPortInfo info;
    info.Path = path;
    info.Exists = info.Hardware = true;
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return info;
    }
    switch (const DWORD e = GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        info.Exists = info.Hardware = false;
        info.AccessProblem = "the device does not exist";
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        info.Holder = TPortHolder{};
        break;
    default:
        info.AccessProblem = CleanSystemText(SystemErrorText(static_cast<int>(e)));
    }
    return info;
}

} // namespace

std::vector<TPortInfo> ListPorts() {
    std::vector<TPortInfo> ports;
    for (int n = 1; n <= 4; ++n) {
        TPortInfo info = Probe(DeviceOfComPort(n));
        info.Com = "COM" + std::to_string(n);
        ports.push_back(std::move(info));
    }
    // COM5 before COM10; names that are not COMn last.
    auto others = RegisteredPorts();
    const auto order = [](const std::string& name) {
        return ComPortNumber(name).value_or(1 << 30);
    };
    std::sort(others.begin(), others.end(), [&](const std::string& a, const std::string& b) {
        return order(a) != order(b) ? order(a) < order(b) : a < b;
    });
    others.erase(std::unique(others.begin(), others.end()), others.end());
    for (const auto& name : others) {
        const auto number = ComPortNumber(name);
        if (number && *number <= 4) continue;
        TPortInfo info = Probe(number ? DeviceOfComPort(*number) : "\\\\.\\" + name);
        if (number) info.Com = "COM" + std::to_string(*number);
        ports.push_back(std::move(info));
    }
    return ports;
}

// Programs that grab serial adapters are a Linux matter.
std::vector<std::string> SerialGrabbers() {
    return {};
}
