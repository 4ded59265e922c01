#include "ApdExceptions.h"

#include <windows.h>

std::string SystemErrorText(int n) {
    char buffer[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(n), 0, buffer, sizeof buffer, nullptr);
    return std::string(buffer, length);
}
