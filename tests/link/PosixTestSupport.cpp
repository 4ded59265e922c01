#include "LinkTestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

struct TestHost::Impl {
    Impl(int& argc, char** argv) : App(argc, argv) {}
    QCoreApplication App;
};

TestHost::TestHost(int& argc, char** argv) : P(new Impl(argc, argv)) {}

TestHost::~TestHost() {
    delete P;
}

TestPty::TestPty(int comNumber) : ComNumber(comNumber) {
    int slave = -1;
    char name[256] = {};
    if (openpty(&Master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    close(slave); // the port opens it by name
    Path = name;
    setenv(("ORVIX_COM" + std::to_string(ComNumber)).c_str(), Path.c_str(), 1);
}

TestPty::~TestPty() {
    Hangup();
    unsetenv(("ORVIX_COM" + std::to_string(ComNumber)).c_str());
}

TLineView ViewLine(const TestPty& pty) {
    // The master shows the terminal's settings.
    termios t{};
    TLineView view;
    if (tcgetattr(pty.Master, &t) != 0) return view;
    const std::pair<speed_t, int> speeds[] = {{B1200, 1200},   {B2400, 2400},    {B4800, 4800},
                                              {B9600, 9600},   {B19200, 19200},  {B38400, 38400},
                                              {B57600, 57600}, {B115200, 115200}};
    for (const auto& [code, baud] : speeds)
        if (cfgetospeed(&t) == code && cfgetispeed(&t) == code) view.Baud = baud;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        view.DataBits = 5;
        break;
    case CS6:
        view.DataBits = 6;
        break;
    case CS7:
        view.DataBits = 7;
        break;
    default:
        view.DataBits = 8;
    }
    view.Parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    view.StopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return view;
}

int MissingComNumber() {
    setenv("ORVIX_COM3", "/dev/orvix-no-such-port", 1);
    return 3;
}

bool RunningUnderWine() {
    return false;
}

void TestPty::Hangup() {
    if (Master >= 0) close(Master);
    Master = -1;
}

void TestPty::Send(const std::string& bytes) const {
    std::size_t done = 0;
    // A port that stopped reading fails its test; it must not hang it.
    auto progress = std::chrono::steady_clock::now();
    while (done < bytes.size() &&
           std::chrono::steady_clock::now() - progress < std::chrono::seconds(30)) {
        const ssize_t n = write(Master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            progress = std::chrono::steady_clock::now();
        } else {
            pollfd p{Master, POLLOUT, 0};
            poll(&p, 1, 100);
        }
    }
}

long TestPty::ReceiveSome(char* buffer, std::size_t size, int timeoutMs) const {
    pollfd p{Master, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return 0;
    return read(Master, buffer, size);
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {
int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}
} // namespace

int OpenHandleCount() {
    return CountEntries("/proc/self/fd") - 1; // less opendir's own
}
int ThreadCount() {
    return CountEntries("/proc/self/task");
}

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

long ContextSwitches() {
    long total = 0;
    DIR* d = opendir("/proc/self/task");
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
        std::string key;
        long value;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
                status >> value;
                total += value;
            }
        }
    }
    closedir(d);
    return total;
}
