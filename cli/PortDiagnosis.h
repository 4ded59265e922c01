#pragma once
// Why a serial device cannot be opened, in words that say what to do.
#include "PortHolder.h"

#include <optional>
#include <string>

// Empty when this user may open path for reading and writing; otherwise why
// not: missing, or which group owns it and whether the user is in that group.
std::string AccessProblem(const std::string& path);

// The message for a port the link could not open. name is what the user gave
// ("COM1" or a path), path the device it maps to, error the link's message,
// refusal the holder when the device was busy.
std::string DescribeOpenFailure(const std::string& name, const std::string& path,
                                const std::string& error,
                                const std::optional<TPortHolder>& refusal);
