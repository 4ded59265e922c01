#pragma once
// Who else holds a serial device on this machine, and our own UUCP lock file
// while we hold one. A device counts as held when another process has it open
// (whether or not it locked it), when its terminal is in exclusive mode, or
// when a lock file names a live process.
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

// A UUCP lock file, "<LockDirectory>/LCK..<device name>", holding our pid.
class TUucpLock {
  public:
    TUucpLock() = default;
    TUucpLock(const TUucpLock&) = delete;
    TUucpLock& operator=(const TUucpLock&) = delete;
    ~TUucpLock() { Release(); }

    // Where lock files live; tests point it at a folder of their own.
    static std::string LockDirectory;
    static std::string PathFor(const std::string& device);
    // The process a lock file names when that process is alive.
    static std::optional<int> LiveOwner(const std::string& lockFile);

    // Creates our lock file, replacing a stale one. False, with the holder,
    // when a live lock file names another process. A folder we cannot write
    // to is no reason to refuse the port: then nothing is created.
    bool Acquire(const std::string& device, TPortHolder& holder);
    // Removes the file if it is still ours.
    void Release();

  private:
    std::string File;
};
