// Reads and saves through the real windows against a simulator that answers
// late and with a jitter: wall time, commands on the wire, and whether every
// value arrived in its own field (after a read) and register (after a save).
#include "BenchWindows.h"
#include "LinkTestSupport.h"
#include "SimProcess.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Two sets of values a save switches between, as the window shows them and
// as the simulator then holds them.
struct TValues {
    const char *Upper, *Lower, *Delay, *Outlet;
    int Hertz, Alarm, Stop, Sounds;
    const char* State;
};
const TValues Sets[] = {
    {"288", "173", "2", "90", 2, 0, 1, 0,
     "R5 0B40\nR4 06C2\nTD 2\nF% 6\nR31 A108\nR28 1AFF\nR34 8100\nR42 305A\n"},
    {"276", "180", "5", "120", 4, 1, 0, 1,
     "R5 0AC8\nR4 0708\nTD 5\nF% 10\nR31 A100\nR28 00FF\nR34 8100\nR42 3078\n"},
};

bool Shows(TFormBenloQuenda& w, const TValues& v) {
    auto combo = [&](int c) { return w.ComboBox[static_cast<std::size_t>(c)]->ItemIndex(); };
    return w.EditText(1) == v.Upper && w.EditText(2) == v.Lower && w.EditText(3) == v.Delay &&
           w.EditText(4) == v.Outlet && combo(1) == v.Hertz && combo(3) == v.Alarm &&
           combo(5) == v.Stop && (v.Stop == 0 || combo(6) == v.Sounds);
}

void Enter(TFormBenloQuenda& w, const TValues& v) {
    w.MaskEdit[1]->setText(v.Upper);
    w.MaskEdit[2]->setText(v.Lower);
    w.MaskEdit[3]->setText(v.Delay);
    w.MaskEdit[4]->setText(v.Outlet);
    w.ComboBox[1]->SetItemIndex(v.Hertz);
    w.ComboBox[3]->SetItemIndex(v.Alarm);
    w.ComboBox[5]->SetItemIndex(v.Stop);
    for (std::size_t c = 6; c <= 8; ++c)
        w.ComboBox[c]->SetItemIndex(v.Sounds);
}

// Wall time of one sequence, or -1 when it ended otherwise than with done.
double Run(TFormBenloQuenda& w, int button, const QString& done) {
    const auto start = Clock::now();
    QTest::mouseClick(w.LMDButton[static_cast<std::size_t>(button)], Qt::LeftButton);
    RunUntil([&] { return !w.Timer1.isActive(); }, 60000);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    RunUntil([&] { return !w.Link.AwaitingReplies(); }, 3000);
    return w.StatusBar1->PanelText(1) == done ? ms : -1;
}

int CommandsIn(const std::string& log) {
    std::istringstream in(ReadFile(log));
    std::string line;
    int n = 0;
    while (std::getline(in, line))
        n += line.find(" < ") != std::string::npos;
    return n;
}

// Every register holds its value of one of the two sets: a value of another
// register, or a half-written word, would show here.
bool EachRegisterHoldsOneOf(const std::string& state, const TValues& a, const TValues& b) {
    std::istringstream in(state);
    std::string line;
    while (std::getline(in, line)) {
        const std::string with = line + "\n";
        if (std::string(a.State).find(with) == std::string::npos &&
            std::string(b.State).find(with) == std::string::npos)
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitializeApplication();
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    std::printf("%-6s %-7s %9s %9s %9s %9s %9s %s\n", "delay", "jitter", "read ms", "commands",
                "save ms", "commands", "failed", "values out of place");
    for (const char* delay : {"0", "100", "250", "400", "600"}) {
        for (const char* jitter : {"0", "100", "300"}) {
            const std::string log = TempPath("bench-log"), state = TempPath("bench-state");
            SimProcess sim(
                {"--reply-delay", delay, "--reply-jitter", jitter, "--log", log, "--state", state});
            auto& w = StartWindows(sim.Path());
            std::vector<double> reads, saves;
            int readCommands = 0, saveCommands = 0, failed = 0, misplaced = 0;
            int holds = 0; // the set the unit holds; -1 after a save that failed midway
            for (int run = 0; run < runs; ++run) {
                // After a failure only a new connect may read.
                const int button = run == 0 || !w.Link.Connected ? 1 : 3;
                int before = CommandsIn(log);
                const double read = Run(w, button, " Reading data from UPS completed");
                readCommands += CommandsIn(log) - before;
                if (read < 0) {
                    ++failed;
                    continue;
                }
                reads.push_back(read);
                if (holds >= 0) misplaced += !Shows(w, Sets[holds]);
                const int to = holds == 0 ? 1 : 0;
                Enter(w, Sets[to]);
                before = CommandsIn(log);
                const double save = Run(w, 4, " Saving Complete");
                saveCommands += CommandsIn(log) - before;
                kill(sim.Pid(), SIGUSR1);
                RunFor(100);
                const std::string held = ReadFile(state);
                if (save < 0) {
                    ++failed;
                    misplaced += !EachRegisterHoldsOneOf(held, Sets[0], Sets[1]);
                    holds = held == Sets[to].State ? to : -1;
                    continue;
                }
                saves.push_back(save);
                misplaced += held != Sets[to].State;
                holds = to;
            }
            auto median = [](std::vector<double>& v) { return v.empty() ? 0.0 : Median(v); };
            std::printf("%-6s %-7s %9.0f %9.1f %9.0f %9.1f %6d/%-2d %d\n", delay, jitter,
                        median(reads), readCommands / double(runs), median(saves),
                        saveCommands / double(runs), failed, runs, misplaced);
            std::fflush(stdout);
            DestroyForms();
            sim.Stop();
            std::remove(log.c_str());
            std::remove(state.c_str());
        }
    }
    return 0;
}
