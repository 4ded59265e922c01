#include "ApdExceptions.h"

#include <cstring>

std::string SystemErrorText(int n) {
    char buffer[256];
    // The GNU variant returns a pointer that may or may not be the buffer.
    const char* text = strerror_r(n, buffer, sizeof buffer);
    std::string s = text ? text : "";
    if (s.rfind("Unknown error", 0) == 0) return {};
    return s;
}
