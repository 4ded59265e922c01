#pragma once
// orvix-ups as a process against the simulator, beside the window's figures.
#include <string>

// Prints the wall time of "orvix-ups read" and of a verified "orvix-ups write"
// on terminal, against the window's median read and save times.
void ReportCliFigures(const std::string& terminal, double windowReadMs, double windowSaveMs);
