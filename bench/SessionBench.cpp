// Wall time of a connect-and-read and of a save against the simulator at
// 4800 baud, through the real windows, 20 runs each; then orvix-ups as a
// process on the same terminal.
#include "BenchWindows.h"
#include "CliBench.h"
#include "LinkTestSupport.h"
#include "SimProcess.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Measure(TFormBenloQuenda& w, int button, const QString& done) {
    const auto start = Clock::now();
    QTest::mouseClick(w.LMDButton[static_cast<std::size_t>(button)], Qt::LeftButton);
    Clock::time_point end{};
    const bool ok = RunUntil(
        [&] {
            if (w.StatusBar1->PanelText(1) != done) return false;
            end = Clock::now();
            return true;
        },
        10000);
    return ok ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

double Report(const char* what, std::vector<double> ms, double floor) {
    std::sort(ms.begin(), ms.end());
    const auto near = std::count_if(ms.begin(), ms.end(), [&](double t) { return t - floor <= 15; });
    std::printf("%s over %zu runs: min %.1f ms, median %.1f ms, max %.1f ms (floor %.1f ms, worst "
                "%+.1f ms, %td of %zu within 15 ms)\n",
                what, ms.size(), ms.front(), ms[ms.size() / 2], ms.back(), floor,
                ms.back() - floor, near, ms.size());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitializeApplication();
    SimProcess sim({"--reply-delay", "0"});
    auto& w = StartWindows(sim.Path());

    // The floor: 9 ticks of 200 ms, the first 200 ms after the click, plus the
    // line time of the last reply ("305A" CR LF: 6 characters at 2.083 ms).
    const double readFloor = 9 * 200.0 + 6 * 10000.0 / 4800;
    const double saveFloor = 9 * 200.0;
    std::vector<double> reads, saves;
    for (int run = 0; run < 20; ++run) {
        reads.push_back(Measure(w, 1, " Reading data from UPS completed"));
        saves.push_back(Measure(w, 4, " Saving Complete"));
        RunFor(100);
    }
    const double read = Report("connect to \" Reading data from UPS completed\"", reads, readFloor);
    const double save = Report("save to \" Saving Complete\"", saves, saveFloor);

    // The end of the program in the middle of a read: the window closes, the
    // windows are destroyed and the port with them (which frees it for orvix-ups).
    QTest::mouseClick(w.LMDButton[3], Qt::LeftButton);
    RunFor(900);
    const auto start = Clock::now();
    w.close();
    const auto closed = Clock::now();
    DestroyForms();
    const auto destroyed = Clock::now();
    std::printf("closing during a read: window closed after %.1f ms, windows and port gone after "
                "%.1f ms\n",
                std::chrono::duration<double, std::milli>(closed - start).count(),
                std::chrono::duration<double, std::milli>(destroyed - start).count());
    ReportCliFigures(sim.Path(), read, save);
    return 0;
}
