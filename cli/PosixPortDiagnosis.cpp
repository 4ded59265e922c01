#include "PortDiagnosis.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ModeText(mode_t mode) {
    std::string s = S_ISCHR(mode) ? "c" : S_ISLNK(mode) ? "l" : S_ISDIR(mode) ? "d" : "-";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s.push_back((mode & (0400u >> i)) ? rwx[i] : '-');
    return s;
}

std::string GroupName(gid_t gid) {
    if (const group* g = getgrgid(gid)) return g->gr_name;
    return std::to_string(gid);
}

bool ProcessInGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int n = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0 && getgroups(n, groups.data()) == n)
        for (gid_t g : groups)
            if (g == gid) return true;
    return false;
}

// Listed in the group file: added to the group, maybe after this login began.
bool UserListedInGroup(gid_t gid, const std::string& user) {
    const group* g = getgrgid(gid);
    if (!g) return false;
    for (char** m = g->gr_mem; m && *m; ++m)
        if (user == *m) return true;
    return false;
}

std::string UserName() {
    if (const passwd* p = getpwuid(geteuid())) return p->pw_name;
    return std::to_string(geteuid());
}

} // namespace

std::string AccessProblem(const std::string& path) {
    if (access(path.c_str(), R_OK | W_OK) == 0) return {};
    const int err = errno;
    struct stat st {};
    if (err == ENOENT || stat(path.c_str(), &st) != 0) return "the device does not exist";
    if (err != EACCES && err != EPERM) return std::strerror(err);
    const std::string user = UserName();
    const std::string group = GroupName(st.st_gid);
    const std::string mode = ModeText(st.st_mode);
    const std::string prefix =
        "permission denied: " + path + " (" + mode + ") belongs to group " + group + "; ";
    if (!(st.st_mode & S_IRGRP) || !(st.st_mode & S_IWGRP))
        return prefix + "its group may not read and write it either, so only its owner (" +
               std::string(getpwuid(st.st_uid) ? getpwuid(st.st_uid)->pw_name : "?") +
               ") can open it";
    if (ProcessInGroup(st.st_gid))
        return prefix + "user " + user + " is in that group, yet the system refuses access";
    if (UserListedInGroup(st.st_gid, user))
        return prefix + "user " + user + " was added to " + group +
               " after this login began: log out and in again";
    return prefix + "user " + user + " is not in it: sudo adduser " + user + " " + group +
           ", then log in again";
}

std::string DescribeOpenFailure(const std::string& name, const std::string& path,
                                const std::string& error,
                                const std::optional<TPortHolder>& refusal) {
    std::string head = "cannot open " + name + (name == path ? "" : " (" + path + ")") + ": ";
    if (refusal)
        return head + "it is busy, held by " + refusal->Describe() +
               ". Close that program and try again.";
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        std::string hint = "; orvix-ups ports lists this machine's serial devices";
        if (name.rfind("COM", 0) == 0)
            hint = "; set ORVIX_" + name + " to the device to use instead (a USB adapter: ORVIX_" +
                   name + "=/dev/ttyUSB0)" + hint;
        return head + "the device does not exist" + hint;
    }
    if (std::string access = AccessProblem(path); !access.empty()) return head + access;
    if (error.rfind("ie_BadId", 0) == 0)
        return head + "no serial hardware answers behind this device";
    return head + error;
}

std::optional<TPortHolder> OpenRefusal() {
    return LastPortRefusal();
}

// A terminal whose exclusive mode a program left behind when it ended is held
// by nobody: clear it rather than call the port busy.
bool ClearStaleExclusiveMode(const std::string& path, const std::optional<TPortHolder>& refusal) {
    if (!refusal || !refusal->Exclusive || refusal->Pid || !refusal->LockFile.empty() ||
        FindPortHolder(path))
        return false;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int exclusive = 0;
    const bool cleared =
        ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive && ioctl(fd, TIOCNXCL) == 0;
    close(fd);
    return cleared;
}

std::string DescribeHolder(const TPortHolder& holder) {
    return holder.Describe();
}

bool IsDevicePath(const std::string& text) {
    return text.find('/') != std::string::npos;
}

bool DeviceExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}
