#pragma once
// Whether standard error is a terminal that can show the progress line: it
// rewrites itself with a carriage return and an erase-line sequence.
bool ErrorsGoToAProgressTerminal();
