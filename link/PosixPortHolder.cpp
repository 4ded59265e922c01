#include "PosixPortHolder.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

std::string TUucpLock::LockDirectory = "/var/lock";

namespace {

bool IsNumber(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

bool Alive(int pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// The first process other than this one with a descriptor on the device at
// the canonical path device. Descriptors are compared by the path they were
// opened at, never followed: a stat of another process's file can hang on a
// dead network mount. Processes whose descriptors we may not read are passed over.
int ProcessHolding(const std::string& device) {
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    const std::string self = std::to_string(getpid());
    int found = 0;
    char target[PATH_MAX];
    while (dirent* p = readdir(proc)) {
        if (!IsNumber(p->d_name) || self == p->d_name) continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        while (dirent* f = readdir(fds)) {
            if (!IsNumber(f->d_name)) continue;
            const ssize_t n = readlinkat(dirfd(fds), f->d_name, target, sizeof target);
            if (n == static_cast<ssize_t>(device.size()) &&
                device.compare(0, device.size(), target, static_cast<std::size_t>(n)) == 0) {
                found = std::atoi(p->d_name);
                break;
            }
        }
        closedir(fds);
        if (found) break;
    }
    closedir(proc);
    return found;
}

// The pid in a lock file: ten ASCII digits and a line feed, or (older
// programs) a binary int.
std::optional<int> ReadLockPid(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    char buffer[32] = {};
    in.read(buffer, sizeof buffer - 1);
    const auto n = in.gcount();
    if (n == static_cast<std::streamsize>(sizeof(int))) {
        bool text = true;
        for (int i = 0; i < n; ++i)
            text = text && (buffer[i] == ' ' || buffer[i] == '\n' ||
                            (buffer[i] >= '0' && buffer[i] <= '9'));
        if (!text) {
            int pid = 0;
            std::memcpy(&pid, buffer, sizeof pid);
            return pid;
        }
    }
    char* end = nullptr;
    const long pid = std::strtol(buffer, &end, 10);
    if (end == buffer || pid <= 0 || pid > INT_MAX) return std::nullopt;
    return static_cast<int>(pid);
}

} // namespace

std::optional<TPortHolder>& LastPortRefusal() {
    thread_local std::optional<TPortHolder> refusal;
    return refusal;
}

std::string ProgramOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::string TPortHolder::Describe() const {
    std::string who;
    if (Pid > 0) who = "pid " + std::to_string(Pid) + (Program.empty() ? "" : " (" + Program + ")");
    if (!LockFile.empty()) return "lock file " + LockFile + (who.empty() ? "" : ", " + who);
    if (!who.empty()) return who;
    return Exclusive ? "a process that set exclusive mode" : "another process";
}

std::string TUucpLock::PathFor(const std::string& device) {
    char resolved[PATH_MAX];
    std::string name = realpath(device.c_str(), resolved) ? resolved : device;
    if (name.rfind("/dev/", 0) == 0)
        name.erase(0, 5);
    else if (const auto slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    for (char& c : name)
        if (c == '/') c = '_';
    return LockDirectory + "/LCK.." + name;
}

std::optional<int> TUucpLock::LiveOwner(const std::string& lockFile) {
    const auto pid = ReadLockPid(lockFile);
    if (pid && Alive(*pid)) return pid;
    return std::nullopt;
}

std::optional<TPortHolder> FindPortHolder(const std::string& path) {
    char device[PATH_MAX];
    if (realpath(path.c_str(), device)) {
        if (const int pid = ProcessHolding(device))
            return TPortHolder{pid, ProgramOf(pid), {}, false};
    }
    const std::string lock = TUucpLock::PathFor(path);
    if (const auto pid = TUucpLock::LiveOwner(lock))
        return TPortHolder{*pid, ProgramOf(*pid), lock, false};
    return std::nullopt;
}

bool TUucpLock::Acquire(const std::string& device, TPortHolder& holder) {
    Release();
    const std::string file = PathFor(device);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
            const bool written = write(fd, text, static_cast<std::size_t>(n)) == n;
            close(fd);
            if (!written) {
                unlink(file.c_str());
                return true;
            }
            File = file;
            return true;
        }
        if (errno != EEXIST) return true; // no lock folder we may write to
        if (const auto pid = LiveOwner(file)) {
            holder = TPortHolder{*pid, ProgramOf(*pid), file, false};
            return false;
        }
        unlink(file.c_str()); // stale: its process is gone
    }
    return true;
}

void TUucpLock::Release() {
    if (File.empty()) return;
    if (ReadLockPid(File) == getpid()) unlink(File.c_str());
    File.clear();
}
