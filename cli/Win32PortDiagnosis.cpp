#include "PortDiagnosis.h"

#include "ApdExceptions.h"
#include "ApdResultCodes.h"
#include "PortNaming.h"

#include <windows.h>

namespace {

// The system's reason an open of path fails now; 0 when it opens. The port is
// closed again at once (its DTR and RTS lines rise for that moment, as for
// any program that opens it).
DWORD OpenError(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return 0;
}

const char* const Busy = "it is busy: another program has it open (Windows lets one "
                         "program at a time use a port). Close that program and try again.";

} // namespace

std::string AccessProblem(const std::string& path) {
    switch (const DWORD e = OpenError(path)) {
    case 0:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "the device does not exist";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "access denied: another program has it open";
    default:
        return CleanSystemText(SystemErrorText(static_cast<int>(e)));
    }
}

// The link turns the system's reasons into its own words: access denied into
// "device already open", a missing device into "doesn't exist".
std::string DescribeOpenFailure(const std::string& name, const std::string& path,
                                const std::string& error, const std::optional<TPortHolder>&) {
    const std::string head = "cannot open " + name + (name == path ? "" : " (" + path + ")") + ": ";
    if (error == ErrorText(-ecode::AlreadyOpen) || error == ErrorText(-ecode::AccessDenied) ||
        error == ErrorText(ERROR_SHARING_VIOLATION))
        return head + Busy;
    if (error == ErrorText(-ecode::BadId) || error == ErrorText(-ecode::FileNotFound) ||
        error == ErrorText(ERROR_PATH_NOT_FOUND))
        return head + "the port does not exist on this computer; orvix-ups ports lists the " +
               "ports Windows knows (a USB adapter's number is in the Device Manager, under " +
               "Ports (COM & LPT))";
    return head + error;
}

std::optional<TPortHolder> OpenRefusal() {
    return std::nullopt; // Windows does not say who holds a port
}

bool ClearStaleExclusiveMode(const std::string&, const std::optional<TPortHolder>&) {
    return false; // a port is free again when its holder ends
}

std::string DescribeHolder(const TPortHolder& holder) {
    return holder.Pid ? "process " + std::to_string(holder.Pid) : "another program";
}

bool IsDevicePath(const std::string& text) {
    return text.find_first_of("\\/") != std::string::npos;
}

// A COM port's name stays defined while its device exists; other paths
// cannot be asked without opening them, and count as there.
bool DeviceExists(const std::string& path) {
    const auto number = ComPortNumber(path);
    if (!number) return true;
    char target[512];
    return QueryDosDeviceA(("COM" + std::to_string(*number)).c_str(), target, sizeof target) != 0;
}
