#pragma once
// The application's error display: shows a message and lets the program go on.
// The user interface installs a message box; the default prints to stderr.
// Callable from any thread.
#include <functional>
#include <string>

using TErrorDisplay = std::function<void(const std::string& message)>;

void SetApplicationErrorDisplay(TErrorDisplay display);
void ShowApplicationError(const std::string& message);
