// Serial link figures on a pseudo-terminal: latency from a byte written at the
// far end to OnTriggerAvail on the user-interface thread, the cost of an idle
// open port, and receive throughput into a handler. The same source builds for
// Windows and runs under Wine (there the far end is one relay hop further).
#include "ApdComPort.h"
#include "LinkTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

int main(int argc, char** argv) {
    TestHost host(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    TestPty pty(1);

    TApdComPort port;
    port.SetBaud(4800);
    port.SetAutoOpen(false);
    Clock::time_point arrived;
    std::size_t received = 0;
    port.OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        arrived = Clock::now();
        for (int i = 0; i < count; ++i)
            cp.ReadChar();
        received += count;
    };
    port.SetComNumber(1);
    // Opening: the check for other holders, the device, the three threads.
    std::vector<double> openMs, closeMs;
    auto since = [](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    };
    for (int i = 0; i < 50; ++i) {
        auto start = Clock::now();
        port.SetOpen(true);
        openMs.push_back(since(start));
        start = Clock::now();
        port.SetOpen(false);
        closeMs.push_back(since(start));
    }
    std::sort(openMs.begin(), openMs.end());
    std::sort(closeMs.begin(), closeMs.end());
    std::printf("open of a port over 50 opens: median %.2f ms, max %.2f ms; close: median %.2f "
                "ms, max %.2f ms\n",
                openMs[25], openMs.back(), closeMs[25], closeMs.back());
    port.SetOpen(true);

    // Latency, one byte at a time.
    std::vector<double> us;
    for (int i = 0; i < 1000; ++i) {
        const std::size_t before = received;
        const auto sent = Clock::now();
        pty.Send("x");
        RunUntil([&] { return received > before; }, 2000);
        us.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
    }
    std::sort(us.begin(), us.end());
    std::printf("latency byte -> OnTriggerAvail over 1000 bytes: median %.0f us, p99 %.0f us, max "
                "%.0f us\n",
                us[500], us[989], us.back());

    // An idle open port.
    const double cpu0 = CpuMs();
    const long switches0 = ContextSwitches();
    const auto wall0 = Clock::now();
    RunFor(idleSeconds * 1000);
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - wall0).count();
    const double cpu = CpuMs() - cpu0;
    std::printf("idle open port for %d s: CPU %.3f %% (%.1f ms)", idleSeconds, 100.0 * cpu / wall,
                cpu);
    if (switches0 >= 0)
        std::printf(", %.1f wake-ups/s (all threads)",
                    (ContextSwitches() - switches0) * 1000.0 / wall);
    std::printf("\n");

    // Throughput: 1 MiB through the receive path into the handler.
    const std::size_t total = 1 << 20;
    received = 0;
    const auto start = Clock::now();
    std::thread writer([&] {
        const std::string chunk(4096, 'y');
        for (std::size_t sent = 0; sent < total; sent += chunk.size())
            pty.Send(chunk);
    });
    RunUntil([&] { return received >= total; }, 60000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
    std::printf("1 MiB through the receive path: %.3f s (%.1f MiB/s)%s\n", seconds, 1.0 / seconds,
                received >= total ? "" : " INCOMPLETE");
    std::fflush(stdout);
    port.SetOpen(false);
    return 0;
}
