#pragma once
// Our own UUCP lock file while we hold a device, beside the search for its
// other holders.
#include "PortHolder.h"

#include <optional>
#include <string>

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
