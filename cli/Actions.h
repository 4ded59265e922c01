#pragma once
// The four commands of orvix-ups; each returns the exit status.
#include "Arguments.h"

int RunPorts(const TArguments& a);
int RunRead(const TArguments& a);
// write and factory: read, change, save, read back.
int RunWrite(const TArguments& a);
int RunGet(const TArguments& a);
int RunDiff(const TArguments& a);
int RunSettings(const TArguments& a);
