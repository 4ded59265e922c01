#include "CliBench.h"
#include "SimProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

// Process start to exit, in ms; -1 when it failed.
double RunOnce(std::vector<std::string> args) {
    args.insert(args.begin(), ORVIX_UPS_BINARY);
    std::vector<char*> argv = CStrings(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Report(const char* what, const std::vector<std::string>& args, int runs, double window,
              const char* windowWhat) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(RunOnce(args));
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("%s over %d runs: min %.1f ms, median %.1f ms, max %.1f ms (%s %.1f ms: "
                "%+.1f ms)\n",
                what, runs, ms.front(), median, ms.back(), windowWhat, window, median - window);
    return median;
}

} // namespace

void ReportCliFigures(const std::string& terminal, double windowReadMs, double windowSaveMs) {
    Report("orvix-ups read, process start to exit", {"read", "--port", terminal}, 10, windowReadMs,
           "the window's read median");
    Report("orvix-ups write with read-back, process start to exit",
           {"write", "--port", terminal, "--rated", "230", "--set", "shutdown_delay_min=2"}, 5,
           2 * windowReadMs + windowSaveMs, "the window's read + save + read medians");
}
