#include "PortList.h"

#include "PortDiagnosis.h"
#include "PortNaming.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> List(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    return names;
}

// ttyS2 before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto digits = [](const std::string& s) { return s.find_first_of("0123456789"); };
    const auto da = digits(a), db = digits(b);
    if (da != std::string::npos && db != std::string::npos && a.compare(0, da, b, 0, db) == 0)
        return std::atol(a.c_str() + da) < std::atol(b.c_str() + db);
    return a < b;
}

// Unix98 pseudo-terminals have no modem lines to disturb.
bool IsPseudoTerminal(const struct stat& st) {
    return S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

// A ttyS whose UART type is unknown is a placeholder without hardware.
bool SerialHardwarePresent(const std::string& name, const std::string& path, bool held) {
    const std::string type = ReadLine("/sys/class/tty/" + name + "/type");
    if (!type.empty()) return std::atoi(type.c_str()) != 0;
    if (held) return true; // somebody uses it; never open a held port
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return known;
}

// The driver and the USB ids, walking up from the tty's device in sysfs.
void DescribeHardware(const std::string& name, TPortInfo& info) {
    std::string dir = RealPath("/sys/class/tty/" + name + "/device");
    if (dir.rfind("/sys/", 0) != 0) return;
    for (; dir.size() > std::string("/sys/devices").size(); dir = dir.substr(0, dir.rfind('/'))) {
        const std::string driver = BaseName(RealPath(dir + "/driver"));
        // The serial core's own port and controller devices say nothing useful.
        if (info.Driver.empty() && access((dir + "/driver").c_str(), F_OK) == 0 &&
            driver != "port" && driver != "ctrl")
            info.Driver = driver;
        const std::string vendor = ReadLine(dir + "/idVendor");
        if (!vendor.empty()) {
            info.UsbId = vendor + ":" + ReadLine(dir + "/idProduct");
            break;
        }
    }
}

TPortInfo Probe(const std::string& path) {
    TPortInfo info;
    info.Path = path;
    struct stat st {};
    info.Exists = stat(path.c_str(), &st) == 0;
    if (!info.Exists) {
        info.AccessProblem = "the device does not exist";
        return info;
    }
    info.Holder = FindPortHolder(path);
    const std::string name = BaseName(RealPath(path));
    info.Hardware =
        name.rfind("ttyS", 0) != 0 || SerialHardwarePresent(name, path, info.Holder.has_value());
    DescribeHardware(name, info);
    info.AccessProblem = AccessProblem(path);
    if (info.Holder) {
        info.Exclusive.reset();
    } else if (IsPseudoTerminal(st) && info.AccessProblem.empty()) {
        // Only a pseudo-terminal is opened to look: it has no lines to toggle.
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        int exclusive = 0;
        if (fd >= 0 && ioctl(fd, TIOCGEXCL, &exclusive) == 0) info.Exclusive = exclusive != 0;
        if (fd < 0 && errno == EBUSY) info.Exclusive = true;
        if (fd >= 0) close(fd);
        if (info.Exclusive == true) info.Holder = TPortHolder{0, {}, {}, true};
    }
    return info;
}

} // namespace

std::vector<TPortInfo> ListPorts() {
    std::vector<TPortInfo> ports;
    std::vector<std::string> covered;
    for (int n = 1; n <= 4; ++n) {
        const std::string com = "COM" + std::to_string(n);
        TPortInfo info = Probe(DeviceOfComPort(n));
        info.Com = com;
        info.MappedBy = ComPortVariableSet(n);
        covered.push_back(RealPath(info.Path));
        ports.push_back(std::move(info));
    }
    std::vector<std::string> names;
    for (const auto& n : List("/dev"))
        if (n.rfind("ttyS", 0) == 0 || n.rfind("ttyUSB", 0) == 0 || n.rfind("ttyACM", 0) == 0)
            names.push_back(n);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const auto& n : names) {
        const std::string path = "/dev/" + n;
        if (std::find(covered.begin(), covered.end(), RealPath(path)) != covered.end()) continue;
        TPortInfo info = Probe(path);
        if (n.rfind("ttyS", 0) == 0 && !info.Hardware) continue; // a phantom
        ports.push_back(std::move(info));
    }
    const std::string byId = "/dev/serial/by-id";
    for (const auto& link : List(byId)) {
        const std::string target = RealPath(byId + "/" + link);
        for (auto& p : ports)
            if (RealPath(p.Path) == target) p.ById.push_back(byId + "/" + link);
    }
    return ports;
}

std::vector<std::string> SerialGrabbers() {
    std::vector<std::string> found;
    for (const auto& pid : List("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string program = ReadLine("/proc/" + pid + "/comm");
        if (program == "ModemManager" || program == "brltty")
            found.push_back(program + " (pid " + pid + ")");
    }
    return found;
}
