#pragma once
// Why a serial device cannot be opened, in words that say what to do, and
// the other questions about a device that only the system can answer. POSIX
// looks at lock files, holders, exclusive mode and groups; Windows has only
// the reason its open gives.
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

// Who the last refused open on this thread found holding the port, where the
// system can tell.
std::optional<TPortHolder> OpenRefusal();

// Clears the exclusive mode a program left behind on path when it ended, for a
// refusal that found nobody else; true when it did, and the open may be tried again.
bool ClearStaleExclusiveMode(const std::string& path, const std::optional<TPortHolder>& refusal);

// "pid 1234 (minicom)"; on Windows, which does not tell, "another program".
std::string DescribeHolder(const TPortHolder& holder);

// Whether text names a device by its path ("/dev/ttyUSB0"; "\\.\COM12" on Windows).
bool IsDevicePath(const std::string& text);

// Whether the device is still there (a USB adapter may be pulled mid-run).
bool DeviceExists(const std::string& path);
