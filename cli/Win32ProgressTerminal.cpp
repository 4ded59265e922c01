#include "ProgressTerminal.h"

#include <windows.h>

// A console takes the erase-line sequence once asked to (Windows 10 and
// later); a file, a pipe or NUL has no console mode.
bool ErrorsGoToAProgressTerminal() {
    const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(errors, &mode) &&
           SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}
