#include "ProgressTerminal.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

bool ErrorsGoToAProgressTerminal() {
    const char* term = std::getenv("TERM");
    return isatty(STDERR_FILENO) && !(term && std::string(term) == "dumb");
}
