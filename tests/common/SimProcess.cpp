#include "SimProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

std::string SimProcess::Binary() {
    return ORVIX_SIM_BINARY;
}

SimProcess::SimProcess(std::vector<std::string> args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> all = {Binary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = CStrings(all);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // The simulator blocks its signals itself; start it with none blocked.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    const int rc = posix_spawn(&Child, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start the simulator");
    }
    // The first line of its output is the terminal's path.
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
        TerminalPath.push_back(c);
    close(out[0]);
    if (TerminalPath.empty()) throw std::runtime_error("the simulator printed no path");
}

int SimProcess::Stop() {
    if (Child <= 0) return -1;
    kill(Child, SIGTERM);
    int status = 0;
    waitpid(Child, &status, 0);
    Child = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SimProcess::~SimProcess() {
    Stop();
}

RawTerminal::RawTerminal(const std::string& path) {
    Descriptor = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Descriptor < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    tcgetattr(Descriptor, &t);
    cfmakeraw(&t);
    tcsetattr(Descriptor, TCSANOW, &t);
}

RawTerminal::~RawTerminal() {
    if (Descriptor >= 0) close(Descriptor);
}

void RawTerminal::Write(const std::string& text) {
    if (write(Descriptor, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("short write");
}

namespace {
long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

std::string RawTerminal::ReadLine(int timeoutMs) {
    std::string line;
    const long long end = NowMs() + timeoutMs;
    while (line.empty() || line.back() != '\n') {
        const long long left = end - NowMs();
        if (left <= 0) break;
        pollfd p{Descriptor, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char c;
        if (read(Descriptor, &c, 1) != 1) break;
        line.push_back(c);
    }
    return line;
}

std::string RawTerminal::ReadFor(int timeoutMs) {
    std::string data;
    const long long end = NowMs() + timeoutMs;
    for (;;) {
        const long long left = end - NowMs();
        if (left <= 0) break;
        pollfd p{Descriptor, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[256];
        const ssize_t n = read(Descriptor, buffer, sizeof buffer);
        if (n <= 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempPath(const std::string& name) {
    return "/tmp/orvix-test-" + std::to_string(getpid()) + "-" + name;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}
