#include "SimProcess.h"
#include "UpsModel.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TUpsOptions With(void (*set)(TUpsOptions&)) {
    TUpsOptions o;
    set(o);
    return o;
}

std::string Ask(RawTerminal& t, const std::string& command) {
    t.Write(command + "\r\n");
    return t.ReadLine();
}
} // namespace

TEST(UpsModel, ReadsWritesAndRefusals) {
    TUpsModel ups({});
    EXPECT_EQ(ups.Answer("V?").at(9), 'l');
    EXPECT_EQ(ups.Answer("R5"), "0B40");
    EXPECT_EQ(ups.Answer("R5=0B00"), "NK"); // writes need "Xw" first
    EXPECT_EQ(ups.Answer("Xw"), "OK");
    EXPECT_EQ(ups.Answer("R5=0b00"), "OK");
    EXPECT_EQ(ups.Answer("R5"), "0B00");
    EXPECT_EQ(ups.Answer("R5=FFFF"), "NK"); // 6553.5 V
    EXPECT_EQ(ups.Answer("R4=12"), "NK");   // malformed
    EXPECT_EQ(ups.Answer("TD=0"), "NK");
    EXPECT_EQ(ups.Answer("TD=300"), "OK");
    EXPECT_EQ(ups.Answer("F%=6x"), "NK");
    EXPECT_EQ(ups.Answer("R99"), "NK");
    EXPECT_EQ(ups.Answer("R5"), "0B00");
    EXPECT_NE(ups.StateText().find("TD 300\n"), std::string::npos);

    TUpsModel picky(With([](TUpsOptions& o) { o.RejectCommands = {"R4="}; }));
    picky.Answer("Xw");
    EXPECT_EQ(picky.Answer("R4=06C2"), "NK");
    EXPECT_EQ(picky.Answer("R4"), "06C2");
    EXPECT_EQ(TUpsModel(With([](TUpsOptions& o) { o.ShortId = true; })).Answer("V?").size(), 5u);
    EXPECT_NE(TUpsModel(With([](TUpsOptions& o) { o.WrongId = true; })).Answer("V?").at(9), 'l');

    TUpsModel deaf(
        With([](TUpsOptions& o) { o.IgnoreWrites = true; })); // acknowledges, keeps the old value
    deaf.Answer("Xw");
    EXPECT_EQ(deaf.Answer("TD=300"), "OK");
    EXPECT_EQ(deaf.Answer("TD=0"), "NK");
    EXPECT_EQ(deaf.Answer("TD"), "2");
}

TEST(Simulator, AnswersOverItsTerminalLikeAUps) {
    const std::string state = TempPath("state"), log = TempPath("log"), link = TempPath("link");
    SimProcess sim({"--state", state, "--log", log, "--link", link});
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    RawTerminal t(link);
    const std::string id = Ask(t, "V?");
    ASSERT_GE(id.size(), 12u);
    EXPECT_EQ(id[9], 'l');
    EXPECT_EQ(id.substr(id.size() - 2), "\r\n");
    const std::vector<std::pair<std::string, std::string>> registers = {
        {"R5", "0B40"},  {"R4", "06C2"},  {"TD", "2"},    {"F%", "6"},
        {"R31", "A108"}, {"R28", "1AFF"}, {"R42", "305A"}};
    for (const auto& [name, value] : registers)
        EXPECT_EQ(Ask(t, name), value + "\r\n") << name;
    EXPECT_EQ(std::stoul(Ask(t, "R34"), nullptr, 16) & 0x8000u, 0x8000u);

    EXPECT_EQ(Ask(t, "R4=0640"), "NK\r\n");
    EXPECT_EQ(Ask(t, "Xw"), "OK\r\n");
    EXPECT_EQ(Ask(t, "R4=0640"), "OK\r\n");
    t.Write("TD=5\n"); // LF alone is tolerated
    EXPECT_EQ(t.ReadLine(), "OK\r\n");
    EXPECT_EQ(Ask(t, "R4"), "0640\r\n");
    EXPECT_EQ(Ask(t, "R5=9999"), "NK\r\n");

    // The utility closing and reopening its end is no hang-up for the simulator.
    { RawTerminal again(link); }
    EXPECT_EQ(Ask(t, "TD"), "5\r\n");

    kill(sim.Pid(), SIGUSR1);
    for (int i = 0; i < 200 && ReadFile(state).find("TD 5") == std::string::npos; ++i)
        usleep(10000);
    EXPECT_NE(ReadFile(state).find("R4 0640\n"), std::string::npos);

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0); // the link is removed on exit
    const std::string logged = ReadFile(log);
    EXPECT_NE(logged.find(" < R4=0640"), std::string::npos);
    EXPECT_NE(logged.find(" > 0640\\x0D\\x0A"), std::string::npos);
    std::remove(state.c_str());
    std::remove(log.c_str());
}

namespace {
// Descriptors of process pid open on the character device at path.
int DescriptorsOn(pid_t pid, const std::string& path) {
    struct stat device {};
    if (stat(path.c_str(), &device) != 0) return -1;
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd/";
    int n = 0;
    for (int fd = 0; fd < 256; ++fd) {
        struct stat st {};
        if (stat((dir + std::to_string(fd)).c_str(), &st) == 0 && st.st_rdev == device.st_rdev &&
            S_ISCHR(st.st_mode))
            ++n;
    }
    return n;
}

double CpuSeconds(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && in >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
} // namespace

TEST(Simulator, LeavesTheTerminalFreeAndIdlesWhileNobodyHasItOpen) {
    SimProcess sim({"--reply-delay", "150", "--baud", "0"});
    EXPECT_EQ(DescriptorsOn(sim.Pid(), sim.Path()), 0); // free for an exclusive open
    const double cpu = CpuSeconds(sim.Pid());
    usleep(300000);
    EXPECT_LT(CpuSeconds(sim.Pid()) - cpu, 0.1); // no spinning on the hang-up
    {
        RawTerminal t(sim.Path());
        t.Write("R5\r\n"); // closed before the answer: it goes nowhere
    }
    usleep(300000);
    RawTerminal t(sim.Path());
    EXPECT_EQ(Ask(t, "R4"), "06C2\r\n");
}

TEST(Simulator, PacesRepliesAtTheLineSpeed) {
    SimProcess sim({"--reply-delay", "0"});
    RawTerminal t(sim.Path());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask(t, "R5"), "0B40\r\n"); // 6 characters at 4800 baud take 12.5 ms
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(ms.count(), 12.0);
}

TEST(Simulator, FaultSwitches) {
    {
        SimProcess sim({"--silent"});
        RawTerminal t(sim.Path());
        t.Write("V?\r\n");
        EXPECT_EQ(t.ReadFor(300), "");
    }
    {
        SimProcess sim({"--wrong-id", "--baud", "0"});
        RawTerminal t(sim.Path());
        const std::string id = Ask(t, "V?");
        ASSERT_GE(id.size(), 10u);
        EXPECT_NE(id[9], 'l');
    }
    {
        SimProcess sim({"--short-id", "--baud", "0"});
        RawTerminal t(sim.Path());
        EXPECT_LT(Ask(t, "V?").size(), 12u);
    }
    {
        SimProcess sim({"--noise", "5", "--baud", "0"});
        RawTerminal t(sim.Path());
        const std::string reply = Ask(t, "R5");
        EXPECT_EQ(reply.size(), 11u);
        EXPECT_EQ(reply.back(), '\n');
        std::string kept;
        for (char c : reply.substr(0, reply.size() - 1))
            if (static_cast<unsigned char>(c) >= 32 && c != '!' && c != '$' && c != '*' && c != '@')
                kept.push_back(c);
        EXPECT_EQ(kept, "0B40");
    }
    {
        SimProcess sim({"--garbage", "7", "--baud", "0"});
        RawTerminal t(sim.Path());
        const std::string reply = Ask(t, "R5");
        EXPECT_EQ(reply.size(), 13u);
        EXPECT_EQ(reply.substr(7), "0B40\r\n");
    }
    {
        SimProcess sim({"--split", "--baud", "0"});
        RawTerminal t(sim.Path());
        t.Write("R31\r\n");
        pollfd p{t.Fd(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 3000), 1);
        const std::string first = t.ReadFor(20); // the second part follows 50 ms later
        EXPECT_EQ(first, "A10");
        EXPECT_EQ(first + t.ReadLine(), "A108\r\n");
    }
    {
        SimProcess sim({"--nk", "R4=", "--nk", "TD", "--baud", "0"});
        RawTerminal t(sim.Path());
        EXPECT_EQ(Ask(t, "Xw"), "OK\r\n");
        EXPECT_EQ(Ask(t, "R4=06C2"), "NK\r\n");
        EXPECT_EQ(Ask(t, "TD"), "NK\r\n");
        EXPECT_EQ(Ask(t, "R5=0B40"), "OK\r\n");
    }
    {
        SimProcess sim({"--no-lf", "--baud", "0"});
        RawTerminal t(sim.Path());
        t.Write("R5\r\n");
        EXPECT_EQ(t.ReadFor(200), "0B40\r");
    }
    {
        SimProcess sim({"--hangup-after", "2", "--baud", "0"});
        RawTerminal t(sim.Path());
        EXPECT_EQ(Ask(t, "R5"), "0B40\r\n");
        EXPECT_EQ(Ask(t, "R4"), "06C2\r\n");
        pollfd p{t.Fd(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 3000), 1);
        EXPECT_TRUE(p.revents & POLLHUP);
        EXPECT_EQ(sim.Stop(), 0);
    }
    {
        // Each reply waits its own draw from 0 to 300 ms: some short, some long.
        const std::string log = TempPath("jitter");
        SimProcess sim(
            {"--reply-delay", "0", "--reply-jitter", "300", "--baud", "0", "--log", log});
        RawTerminal t(sim.Path());
        for (int i = 0; i < 12; ++i)
            ASSERT_EQ(Ask(t, "TD"), "2\r\n");
        std::istringstream lines(ReadFile(log));
        long long at = 0, asked = 0, shortest = 1000000, longest = 0;
        char direction;
        std::string text;
        while (lines >> at >> direction >> text) {
            if (direction == '<') asked = at;
            if (direction == '>') {
                shortest = std::min(shortest, at - asked);
                longest = std::max(longest, at - asked);
            }
        }
        EXPECT_LT(shortest, 150);
        EXPECT_GE(longest, 150);
        EXPECT_LE(longest, 600);
        std::remove(log.c_str());
    }
    {
        SimProcess sim({"--reply-delay", "450", "--baud", "0"});
        RawTerminal t(sim.Path());
        t.Write("R5\r\n");
        EXPECT_EQ(t.ReadFor(250), "");
        EXPECT_EQ(t.ReadLine(), "0B40\r\n");
    }
}

TEST(Simulator, HelpDocumentsEverySwitch) {
    const std::string out = TempPath("help");
    ASSERT_EQ(std::system((SimProcess::Binary() + " --help > " + out).c_str()), 0);
    const std::string help = ReadFile(out);
    for (const char* s :
         {"--link", "--device", "--baud", "--reply-delay", "--reply-jitter", "--silent",
          "--wrong-id", "--short-id", "--noise", "--garbage", "--split", "--nk", "--ignore-writes",
          "--hangup-after", "--no-lf", "--log", "--state"})
        EXPECT_NE(help.find(s), std::string::npos) << s;
    std::remove(out.c_str());
    EXPECT_NE(std::system((SimProcess::Binary() + " --bogus 2>/dev/null").c_str()), 0);
}
