#pragma once
// Who else holds a serial device on this machine. A device counts as held when
// another process has it open (whether or not it locked it), when its terminal
// is in exclusive mode, or when a lock file names a live process. Found by the
// POSIX layer; tools name the holder of a busy port with it.
#include <optional>
#include <string>

struct TPortHolder {
    int Pid = 0;            // 0 when no process could be named
    std::string Program;    // the holder's command name, when known
    std::string LockFile;   // set when a lock file is how it was found
    bool Exclusive = false; // set when only the terminal's exclusive mode showed it
    // "pid 1234 (minicom)", "lock file /var/lock/LCK..ttyS0 (pid 1234, minicom)", ...
    std::string Describe() const;
};

// Another process holding path open, else a live lock file for it; this
// process's own descriptors are not looked at (its lock files are).
std::optional<TPortHolder> FindPortHolder(const std::string& path);

// The command name of a process, empty when it cannot be read.
std::string ProgramOf(int pid);

// Why the last open on this thread was refused as busy, for callers that want
// to name the holder; empty after an open that was not refused that way.
std::optional<TPortHolder>& LastPortRefusal();
