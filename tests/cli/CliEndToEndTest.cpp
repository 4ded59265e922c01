// orvix-ups as a program against orvix-ups-sim on a pseudo-terminal: what it
// prints, its exit status, and what the simulated unit holds afterwards.
#include "OrvixVersion.h"
#include "SimProcess.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using TState = std::map<std::string, std::string>;
const TState Defaults = {{"R5", "0B40"},  {"R4", "06C2"},  {"TD", "2"},     {"F%", "6"},
                         {"R31", "A108"}, {"R28", "1AFF"}, {"R34", "8100"}, {"R42", "305A"}};

struct TRun {
    int Exit = -1;
    std::string Out, Err;
};

struct TChild {
    pid_t Pid = -1;
    std::string Out, Err; // where its standard output and error go
};

// Starts orvix-ups with extra environment entries, optionally as user nobody.
TChild SpawnCli(std::vector<std::string> args, const std::vector<std::string>& env = {},
                bool asNobody = false, const std::string& stdoutPath = "",
                const std::string& stderrPath = "") {
    static int serial = 0;
    const std::string temp = TempPath("out" + std::to_string(++serial));
    const std::string out = stdoutPath.empty() ? temp : stdoutPath, err = temp + ".err";
    args.insert(args.begin(), ORVIX_UPS_BINARY);
    if (asNobody)
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    std::vector<char*> argv = CStrings(args);
    std::vector<std::string> envText(env);
    for (char** e = environ; *e; ++e)
        envText.emplace_back(*e);
    std::vector<char*> envp = CStrings(envText);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2,
                                     stderrPath.empty() ? err.c_str() : stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0644);
    TChild child{-1, out, err};
    if (posix_spawn(&child.Pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child.Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

TRun WaitCli(const TChild& child) {
    TRun run;
    int status = 0;
    if (child.Pid > 0 && waitpid(child.Pid, &status, 0) == child.Pid)
        run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Err = ReadFile(child.Err);
    if (child.Out.rfind("/dev/", 0) != 0) { // /dev/full reads as endless zeros
        run.Out = ReadFile(child.Out);
        std::remove(child.Out.c_str());
    }
    std::remove(child.Err.c_str());
    return run;
}

TRun RunCli(std::vector<std::string> args, const std::vector<std::string>& env = {},
            bool asNobody = false, const std::string& stdoutPath = "") {
    return WaitCli(SpawnCli(std::move(args), env, asNobody, stdoutPath));
}

// Waits, with a generous bound, until a file holds a text.
bool AwaitText(const std::string& file, const std::string& text) {
    for (int i = 0; i < 3000; ++i) {
        if (ReadFile(file).find(text) != std::string::npos) return true;
        usleep(10000);
    }
    return false;
}

// Whether the terminal was left in exclusive mode or with our lock file.
std::string LeftBehind(const std::string& path) {
    std::string left;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = 0;
    // Root opens a terminal in exclusive mode too; others are refused with EBUSY.
    if ((fd < 0 && errno == EBUSY) ||
        (fd >= 0 && ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive))
        left += "exclusive mode ";
    if (fd >= 0) close(fd);
    std::string lock = path.substr(5); // pts/3 -> LCK..pts_3
    std::replace(lock.begin(), lock.end(), '/', '_');
    if (access(("/var/lock/LCK.." + lock).c_str(), F_OK) == 0) left += "lock file";
    return left;
}

// A process that holds path open, as a terminal program would.
struct THolder {
    explicit THolder(const std::string& path) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDWR | O_NOCTTY, 0);
        char sleep[] = "/bin/sleep", time[] = "60";
        char* argv[] = {sleep, time, nullptr};
        posix_spawn(&Pid, sleep, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        // Held once its descriptor shows up.
        for (int i = 0; i < 200 && ReadLink("/proc/" + std::to_string(Pid) + "/fd/0") != path; ++i)
            usleep(10000);
    }
    ~THolder() {
        kill(Pid, SIGTERM);
        waitpid(Pid, nullptr, 0);
    }
    static std::string ReadLink(const std::string& link) {
        char target[256] = {};
        return readlink(link.c_str(), target, sizeof target - 1) > 0 ? target : "";
    }
    pid_t Pid = -1;
};

class CliTest : public ::testing::Test {
  protected:
    std::string StateFile = TempPath("state"), LogFile = TempPath("simlog");
    std::unique_ptr<SimProcess> Sim;

    void StartSim(std::vector<std::string> args = {}, const std::string& tag = "") {
        args.insert(args.end(), {"--state", StateFile + tag, "--log", LogFile + tag});
        Sim = std::make_unique<SimProcess>(args);
    }
    void TearDown() override {
        Sim.reset();
        for (const std::string tag : {"", "2"}) {
            std::remove((StateFile + tag).c_str());
            std::remove((LogFile + tag).c_str());
        }
    }
    // The registers the simulator holds (it writes them when it stops).
    static TState StateOf(SimProcess& sim, const std::string& file) {
        sim.Stop();
        TState state;
        std::istringstream in(ReadFile(file));
        std::string name, value;
        while (in >> name >> value)
            state[name] = value;
        return state;
    }
    // The commands the simulator received.
    std::vector<std::string> Commands(const std::string& tag = "") {
        std::istringstream in(ReadFile(LogFile + tag));
        std::vector<std::string> out;
        std::string ms, dir, text;
        while (in >> ms >> dir && std::getline(in, text))
            if (dir == "<") out.push_back(text.substr(1));
        return out;
    }
};

// The simulator's registers decoded independently of the tool.
QJsonObject Decoded(const TState& s) {
    auto word = [&](const char* r) { return std::stoi(s.at(r), nullptr, 16); };
    auto bit = [&](const char* r, int b) { return ((word(r) >> b) & 1) != 0; };
    QJsonObject o;
    o["identification"] = "ORVIX-BQ1l 230V";
    o["upper_limit_v"] = word("R5") / 10;
    o["lower_limit_v"] = word("R4") / 10;
    o["shutdown_delay_min"] = std::stoi(s.at("TD"));
    o["frequency_tolerance_hz"] = std::stoi(s.at("F%")) / 2;
    o["outlet_delay_s"] = word("R42") & 0x0FFF;
    o["biweekly_self_test"] = bit("R31", 13);
    o["fault_alarm_delay"] = bit("R31", 3);
    o["backup_warning_auto_stop"] = bit("R31", 0);
    o["alarm_sound_stop"] = s.at("R28") == "00FF";
    o["backup_warning_sound"] = bit("R28", 9);
    o["overload_warning_sound"] = bit("R28", 12);
    o["battery_low_warning_sound"] = bit("R28", 11);
    o["outlet_management_present"] = bit("R34", 15);
    const char* outlet[] = {"intelligent_channel_control", "mains_overload_shutdown",
                            "high_temperature_shutdown",   "battery_low_shutdown",
                            "battery_overload_shutdown",   "auto_supply_after_overload"};
    for (int b = 8; b <= 13; ++b)
        o[outlet[b - 8]] = bit("R34", b);
    QJsonObject registers;
    for (const auto& [name, value] : s)
        registers[QString::fromStdString(name)] = QString::fromStdString(value);
    o["registers"] = registers;
    return o;
}

// Whether user nobody can run path: setpriv is there and every folder on the way is open.
bool OthersMayRun(std::string path) {
    struct stat st {};
    if (stat("/usr/bin/setpriv", &st) != 0) return false;
    for (; !path.empty(); path = path.substr(0, path.rfind('/')))
        if (stat(path.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
    return true;
}

QJsonObject ParseJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The settings of a saved file, without where and when they were read.
QJsonObject SettingsOf(const std::string& text) {
    QJsonObject o = ParseJson(text);
    for (const char* key : {"format", "tool", "read_at", "port"})
        o.remove(key);
    return o;
}

TEST_F(CliTest, ReadPrintsTheUnitAsJsonAsATableAndInTheTranscript) {
    StartSim();
    const std::string transcript = TempPath("transcript");
    const TRun json = RunCli({"read", "--port", Sim->Path(), "--json", "--log", transcript});
    const TRun table = RunCli({"read", "--port", Sim->Path()});
    const TState state = StateOf(*Sim, StateFile);
    ASSERT_EQ(json.Exit, 0) << json.Err;
    ASSERT_EQ(table.Exit, 0) << table.Err;
    const QJsonObject expected = Decoded(state), read = SettingsOf(json.Out);
    EXPECT_EQ(read, expected) << json.Out;
    const QJsonObject context = ParseJson(json.Out);
    EXPECT_EQ(context["format"].toInt(), 2);
    EXPECT_EQ(context["tool"].toString(), "orvix-ups " ORVIX_VERSION);
    EXPECT_EQ(context["port"].toString().toStdString(), Sim->Path());
    EXPECT_TRUE(QDateTime::fromString(context["read_at"].toString(), Qt::ISODate).isValid())
        << json.Out;
    // The table has the same names with the same values.
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it.key() == "registers") continue;
        const QJsonValue v = it.value();
        const std::string value = v.isBool()     ? (v.toBool() ? "true" : "false")
                                  : v.isString() ? v.toString().toStdString()
                                                 : std::to_string(v.toInt());
        const std::regex row("(^|\n)" + it.key().toStdString() + " +" + value + "\n");
        EXPECT_TRUE(std::regex_search(table.Out, row)) << it.key().toStdString();
    }
    // One timestamped line per command and per reply, in order.
    const std::string log = ReadFile(transcript);
    std::remove(transcript.c_str());
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ([<>]) (.*))");
    std::vector<std::string> exchange;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (std::smatch m; std::regex_match(line, m, stamped))
            exchange.push_back(m[1].str() + m[2].str());
    std::vector<std::string> want;
    for (const auto& [cmd, reply] :
         std::vector<std::pair<std::string, std::string>>{{"V?", "ORVIX-BQ1l 230V"},
                                                          {"R5", "0B40"},
                                                          {"R4", "06C2"},
                                                          {"TD", "2"},
                                                          {"F%", "6"},
                                                          {"R31", "A108"},
                                                          {"R28", "1AFF"},
                                                          {"R34", "8100"},
                                                          {"R42", "305A"}})
        want.insert(want.end(), {">" + cmd, "<" + reply});
    EXPECT_EQ(exchange, want) << log;
    // A service record: what ran, with which version, where, on which unit, and how it ended.
    for (const std::string& note :
         {"# orvix-ups read --port " + Sim->Path() + " --json --log " + transcript + "\n",
          std::string("# orvix-ups " ORVIX_VERSION "\n"), "# port " + Sim->Path() + "\n",
          std::string("# identification ORVIX-BQ1l 230V\n"),
          std::string("# |     \"upper_limit_v\": 288\n")})
        EXPECT_NE(log.find(note), std::string::npos) << note;
    EXPECT_TRUE(log.ends_with("# ended with exit 0\n")) << log;
}

struct TScenario {
    const char* Name;
    std::vector<std::string> SimArgs;
    std::vector<std::string> CliArgs; // the port is added
    int Exit;
    std::vector<std::string> Messages; // in stderr or stdout
    TState Changed;                    // registers that differ from the defaults afterwards
    enum { Any, Nothing, NoWrite } Sent = Any;
    const char* Stdout = ""; // where the results go; a file of the test's when empty
};

void PrintTo(const TScenario& s, std::ostream* os) {
    *os << s.Name;
}

class CliScenario : public CliTest, public ::testing::WithParamInterface<TScenario> {};

TEST_P(CliScenario, EndsWithItsStatusAndLeavesTheUnitAsExpected) {
    const TScenario& s = GetParam();
    StartSim(s.SimArgs);
    std::vector<std::string> args = s.CliArgs;
    args.insert(args.begin() + 1, {"--port", Sim->Path()});
    // A transcript of each run, shown when it ends otherwise than expected.
    const std::string transcript = TempPath("scenario.log");
    if (std::find(args.begin(), args.end(), "--log") == args.end())
        args.insert(args.end(), {"--log", transcript});
    const TRun run = RunCli(args, {}, false, s.Stdout);
    EXPECT_EQ(run.Exit, s.Exit) << run.Err << ReadFile(transcript);
    std::remove(transcript.c_str());
    const std::string said = run.Err + run.Out;
    for (const auto& m : s.Messages)
        EXPECT_NE(said.find(m), std::string::npos) << "no \"" << m << "\" in:\n" << said;
    const auto sent = Commands();
    if (s.Sent == TScenario::Nothing) {
        EXPECT_EQ(sent, std::vector<std::string>{});
    } else if (s.Sent == TScenario::NoWrite) {
        for (const auto& c : sent)
            EXPECT_TRUE(c.find('=') == std::string::npos && c != "Xw") << c << " was sent";
    }
    EXPECT_EQ(LeftBehind(Sim->Path()), "");
    TState expected = Defaults;
    for (const auto& [name, value] : s.Changed)
        expected[name] = value;
    EXPECT_EQ(StateOf(*Sim, StateFile), expected);
}

// R31 A108 keeps bits 15 and 8, which the tool does not show, in every write.
INSTANTIATE_TEST_SUITE_P(
    , CliScenario,
    ::testing::Values(
        TScenario{"SetOneField",
                  {},
                  {"write", "--rated", "230", "--set", "fault_alarm_delay=false"},
                  0,
                  {},
                  {{"R31", "A100"}}},
        TScenario{"Factory230", {}, {"factory", "--rated", "230"}, 0, {}, {{"R31", "8101"}}},
        TScenario{"IgnoredWritesDiffer",
                  {"--ignore-writes"},
                  {"write", "--rated", "230", "--set", "shutdown_delay_min=5", "--set",
                   "fault_alarm_delay=no"},
                  6,
                  {"shutdown_delay_min: wrote 5, read back 2",
                   "fault_alarm_delay: wrote false, read back true"},
                  {}},
        // One setting alone that does not read back is enough.
        TScenario{"OnlySettingDiffers",
                  {"--ignore-writes"},
                  {"write", "--rated", "230", "--set", "auto_supply_after_overload=yes"},
                  6,
                  {"auto_supply_after_overload: wrote true, read back false"},
                  {}},
        TScenario{"RejectedWrite",
                  {"--nk", "R4="},
                  {"write", "--rated", "230", "--set", "lower_limit_v=184"},
                  5,
                  {"rejected R4= (lower_limit_v)",
                   "the UPS took R5= (upper_limit_v), TD=", "as read back now are printed",
                   "lower_limit_v                173     184      173"},
                  {}},
        // The answer to the save's last command comes after the save has ended.
        TScenario{"RejectedLastCommand",
                  {"--nk", "R42="},
                  {"write", "--rated", "230", "--set", "outlet_delay_s=120"},
                  5,
                  {"rejected R42= (outlet_delay_s)"},
                  {}},
        // The unit hangs up after answering R4=: what it took is named, the port is gone.
        TScenario{"HangUpMidSave",
                  {"--hangup-after", "12"},
                  {"write", "--rated", "230", "--set", "lower_limit_v=184"},
                  3,
                  {"went away", "the UPS took R5= (upper_limit_v), R4= (lower_limit_v);",
                   "reading it back failed too"},
                  {{"R4", "0730"}}},
        // Silence to TD=: the unit is read back and shows what it holds.
        TScenario{"SilentMidSave",
                  {"--long-reply", "TD=5=0"},
                  {"write", "--rated", "230", "--set", "lower_limit_v=184", "--set",
                   "shutdown_delay_min=5"},
                  3,
                  {"no reply", "the UPS took R5= (upper_limit_v), R4= (lower_limit_v);",
                   "shutdown_delay_min           2       5        2"},
                  {{"R4", "0730"}}},
        // A reply that does not fit its command ends the read; nothing of it is taken.
        TScenario{"EmptyReplyToARegister",
                  {"--reply", "R5="},
                  {"read"},
                  3,
                  {"the UPS answered R5 (upper_limit_v) with a reply that does not fit it: \"\""},
                  {},
                  TScenario::NoWrite},
        TScenario{"AnotherCommandsReply",
                  {"--reply", "TD=0B40"},
                  {"write", "--rated", "230", "--set", "shutdown_delay_min=5"},
                  3,
                  {"answered TD (shutdown_delay_min) with a reply that does not fit it: \"0B40\""},
                  {},
                  TScenario::NoWrite},
        TScenario{"RejectedRead",
                  {"--nk", "R31"},
                  {"read"},
                  5,
                  {"rejected the read of R31 (biweekly_self_test"},
                  {},
                  TScenario::NoWrite},
        TScenario{"OtherVoltageClassRefused",
                  {},
                  {"factory", "--rated", "100"},
                  1,
                  {"(124 V / 80 V) suit a 100–110 V UPS",
                   "holds the limits of a 220–240 V UPS (upper limit 288 V)", "--force"},
                  {},
                  TScenario::NoWrite},
        TScenario{"OtherVoltageClassForced",
                  {},
                  {"write", "--rated", "100", "--set", "upper_limit_v=124", "--set",
                   "lower_limit_v=80", "--force"},
                  0,
                  {"--force: the limits to write (124 V / 80 V)"},
                  {{"R5", "04D8"}, {"R4", "0320"}}},
        TScenario{"MixedLimitsRefused",
                  {},
                  {"write", "--rated", "230", "--any-limit", "--set", "lower_limit_v=120"},
                  1,
                  {"(288 V / 120 V) mix the limits of both kinds of UPS"},
                  {},
                  TScenario::NoWrite},
        TScenario{"DryRunSendsNoWrite",
                  {},
                  {"write", "--rated", "230", "--set", "shutdown_delay_min=5", "--dry-run"},
                  0,
                  {"to write", "shutdown_delay_min           2       5 "},
                  {},
                  TScenario::NoWrite},
        TScenario{"TranscriptLostBeforeAnythingIsSent",
                  {},
                  {"read", "--log", "/dev/full"},
                  7,
                  {"cannot write the log: /dev/full: No space left on device; nothing was sent"},
                  {},
                  TScenario::Nothing},
        TScenario{"OutputLost",
                  {},
                  {"read"},
                  7,
                  {"the output could not be written: No space left on device"},
                  {},
                  TScenario::NoWrite,
                  "/dev/full"},
        TScenario{"MistypedSetting",
                  {},
                  {"write", "-r", "230", "-s", "uper_limit_v=288"},
                  1,
                  {"did you mean upper_limit_v?"},
                  {},
                  TScenario::Nothing},
        // A UPS that answers after 600 ms: too slow for the window's wait, not for a longer one.
        TScenario{"SlowUpsWithTheWindowsWait",
                  {"--reply-delay", "600"},
                  {"read"},
                  3,
                  {"no reply"},
                  {},
                  TScenario::NoWrite},
        TScenario{"SlowUpsWithALongerWait",
                  {"--reply-delay", "600"},
                  {"read", "--reply-wait", "1000"},
                  0,
                  {"upper_limit_v                288"},
                  {},
                  TScenario::NoWrite},
        TScenario{"Silent", {"--silent"}, {"read"}, 3, {"no reply from the UPS", "cable"}, {}},
        TScenario{"WrongUps", {"--wrong-id"}, {"read"}, 4, {"\"ORVIX-BQ1x 230V\""}, {}},
        TScenario{"RefusedValue",
                  {},
                  {"write", "--rated", "240", "--set", "upper_limit_v=312"},
                  1,
                  {"276, 288, 300", "nothing was sent"},
                  {},
                  TScenario::Nothing}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TInterrupt {
    const char* Name;
    std::vector<std::string> CliArgs; // the port and --log are added
    const char* SentBefore;           // the command the simulator receives before the first signal
    std::vector<int> Signals;         // each after the tool said the one before was taken
    int Exit;
    std::vector<std::string> Messages;
    TState Changed; // registers that differ from the defaults afterwards
    bool SaveEnds;  // false: where the save stopped depends on timing, so the state is not checked
};

// A signal during a read stops it at once; during a save the save ends first,
// unless a second signal comes. Either way the terminal is left as found.
TEST_F(CliTest, SignalsStopARunCleanly) {
    const std::vector<std::string> write = {
        "write", "-r", "230", "-s", "lower_limit_v=184", "-s", "shutdown_delay_min=5"};
    const TInterrupt table[] = {
        {"SIGINT in a save",
         write,
         "R4=",
         {SIGINT},
         130,
         {"SIGINT: the save goes on to its end", "stopped by SIGINT after the save ended",
          "the UPS took R5= (upper_limit_v), R4= (lower_limit_v), TD= (shutdown_delay_min)",
          "read-back was skipped"},
         {{"R4", "0730"}, {"TD", "5"}},
         true},
        {"two SIGTERMs in a save",
         write,
         "R4=",
         {SIGTERM, SIGTERM},
         143,
         {"stopped by SIGTERM during the save; the UPS took R5= (upper_limit_v)"},
         {},
         false},
        {"SIGHUP in a read", {"read"}, "R4", {SIGHUP}, 129, {"stopped by SIGHUP"}, {}, true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        StartSim({"--reply-delay", "100"});
        const std::string transcript = TempPath("signals.log");
        std::vector<std::string> args = row.CliArgs;
        args.insert(args.begin() + 1, {"--port", Sim->Path(), "--log", transcript});
        const TChild child = SpawnCli(args);
        ASSERT_TRUE(AwaitText(LogFile, "< " + std::string(row.SentBefore)));
        for (std::size_t i = 0; i < row.Signals.size(); ++i) {
            if (i) {
                ASSERT_TRUE(AwaitText(transcript, "received"));
            }
            kill(child.Pid, row.Signals[i]);
        }
        const TRun run = WaitCli(child);
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        for (const auto& m : row.Messages)
            EXPECT_NE(run.Err.find(m), std::string::npos) << "no \"" << m << "\" in:\n" << run.Err;
        EXPECT_EQ(LeftBehind(Sim->Path()), "");
        const std::string log = ReadFile(transcript);
        std::remove(transcript.c_str());
        EXPECT_NE(log.find("ended with exit " + std::to_string(row.Exit) + ": stopped by"),
                  std::string::npos)
            << log;
        // The next run finds the port free.
        EXPECT_EQ(RunCli({"read", "--port", Sim->Path()}).Exit, 0);
        if (row.SaveEnds) {
            TState expected = Defaults;
            for (const auto& [name, value] : row.Changed)
                expected[name] = value;
            EXPECT_EQ(StateOf(*Sim, StateFile), expected);
        }
        TearDown();
    }
}

// A program that ended without clearing the terminal's exclusive mode does
// not make the port busy: the mode is cleared and the transcript says so.
TEST_F(CliTest, ExclusiveModeThatNobodyHoldsIsCleared) {
    StartSim();
    const int fd = open(Sim->Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    close(fd);
    ASSERT_EQ(LeftBehind(Sim->Path()), "exclusive mode ");
    const std::string transcript = TempPath("exclusive.log");
    const TRun run = RunCli({"read", "--port", Sim->Path(), "--log", transcript});
    const std::string log = ReadFile(transcript);
    std::remove(transcript.c_str());
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_NE(log.find("was left in exclusive mode with no process holding it; cleared"),
              std::string::npos)
        << log;
    EXPECT_EQ(LeftBehind(Sim->Path()), "");
}

// The progress line is for a person at a terminal that can redraw a line.
TEST_F(CliTest, ProgressLineOnlyOnATerminalThatCanShowIt) {
    StartSim();
    const struct {
        const char* Term;
        bool Quiet;
        bool Shown;
    } table[] = {
        {"TERM=xterm", false, true}, {"TERM=dumb", false, false}, {"TERM=xterm", true, false}};
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.Term) + (row.Quiet ? " -q" : ""));
        int master = -1, terminal = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &terminal, name, nullptr, nullptr), 0);
        std::vector<std::string> args = {"read", "-p", Sim->Path()};
        if (row.Quiet) args.push_back("-q");
        const TRun run = WaitCli(SpawnCli(args, {row.Term}, false, "", name));
        close(terminal);
        std::string shown;
        char buffer[4096];
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, 100) > 0) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            shown.append(buffer, static_cast<std::size_t>(n));
        }
        close(master);
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(shown.find("reading R31 (6/9)") != std::string::npos, row.Shown) << shown;
    }
}

TEST_F(CliTest, AJitteringUpsIsReadCorrectlyOrNotAtAll) {
    StartSim({"--reply-jitter", "400"});
    const TRun run = RunCli({"read", "--port", Sim->Path(), "--json"});
    const TState state = StateOf(*Sim, StateFile);
    if (run.Exit == 0)
        EXPECT_EQ(SettingsOf(run.Out), Decoded(state)) << run.Out;
    else
        EXPECT_EQ(run.Exit, 3) << run.Err;
}

TEST_F(CliTest, AFileReadFromOneUnitClonesItOntoAnother) {
    StartSim({}, "");
    SimProcess other({"--state", StateFile + "2", "--log", LogFile + "2"});
    const std::string file = TempPath("unit.json");
    const TRun source = RunCli({"read", "--port", Sim->Path(), "--json"});
    ASSERT_EQ(source.Exit, 0) << source.Err;
    std::ofstream(file) << source.Out;
    // The second unit first differs in every register that can be written.
    const TRun change = RunCli({"write",      "--port",
                                other.Path(), "--rated",
                                "230",        "--no-verify",
                                "--set",      "upper_limit_v=265",
                                "--set",      "lower_limit_v=196",
                                "--set",      "shutdown_delay_min=7",
                                "--set",      "frequency_tolerance_hz=5",
                                "--set",      "biweekly_self_test=no",
                                "--set",      "alarm_sound_stop=yes",
                                "--set",      "auto_supply_after_overload=yes",
                                "--set",      "outlet_delay_s=4000"});
    ASSERT_EQ(change.Exit, 0) << change.Err;
    const TRun clone = RunCli({"write", "--port", other.Path(), "--rated", "230", "--from", file});
    std::remove(file.c_str());
    EXPECT_EQ(clone.Exit, 0) << clone.Err;
    EXPECT_EQ(StateOf(other, StateFile + "2"), StateOf(*Sim, StateFile));
}

// The ends of each range are taken; a step beyond either end is refused
// before anything is sent.
TEST_F(CliTest, RangeEndsAreTakenAndAStepBeyondRefused) {
    StartSim();
    const struct {
        const char* Set;
        int Exit;
    } table[] = {
        {"shutdown_delay_min=1", 0},     {"shutdown_delay_min=600", 0},
        {"shutdown_delay_min=0", 1},     {"shutdown_delay_min=601", 1},
        {"frequency_tolerance_hz=1", 0}, {"frequency_tolerance_hz=10", 0},
        {"frequency_tolerance_hz=0", 1}, {"frequency_tolerance_hz=11", 1},
        {"outlet_delay_s=0", 0},         {"outlet_delay_s=4000", 0},
        {"outlet_delay_s=-1", 1},        {"outlet_delay_s=4001", 1},
    };
    for (const auto& row : table) {
        const TRun run =
            RunCli({"write", "-p", Sim->Path(), "-r", "230", "-s", row.Set, "--dry-run"});
        EXPECT_EQ(run.Exit, row.Exit) << row.Set << ": " << run.Err;
        if (row.Exit) {
            EXPECT_NE(run.Err.find("nothing was sent"), std::string::npos) << run.Err;
        }
    }
    for (const auto& c : Commands())
        EXPECT_EQ(c.find('='), std::string::npos) << c << " was sent";
}

// A file that "read --json" writes names where it came from (a port path
// outside ASCII too); files without that are still taken, doubtful ones are
// refused before anything is sent.
TEST_F(CliTest, SavedFilesOldAndNewAreTakenAndDoubtfulOnesRefused) {
    StartSim();
    const std::string link = TempPath("ups-ä");
    ASSERT_EQ(symlink(Sim->Path().c_str(), link.c_str()), 0);
    const TRun read = RunCli({"read", "-p", link, "-j"});
    ASSERT_EQ(read.Exit, 0) << read.Err;
    EXPECT_EQ(ParseJson(read.Out)["port"].toString().toStdString(), link);
    // A unit without outlet management has its outlet settings as null.
    SimProcess bare({"--reply", "R34=0100", "--state", StateFile + "2", "--log", LogFile + "2"});
    const TRun bareRead = RunCli({"read", "-p", bare.Path(), "-j"});
    ASSERT_EQ(bareRead.Exit, 0) << bareRead.Err;
    ASSERT_NE(bareRead.Out.find("\"outlet_delay_s\": null"), std::string::npos) << bareRead.Out;
    std::string noOutlets = bareRead.Out;
    noOutlets.replace(noOutlets.find("\"shutdown_delay_min\": 2"), 23, "\"shutdown_delay_min\": 6");
    QJsonObject old = SettingsOf(read.Out);
    old["shutdown_delay_min"] = 7;
    std::string fresh = read.Out;
    fresh.replace(fresh.find("\"shutdown_delay_min\": 2"), 23, "\"shutdown_delay_min\": 5");
    const struct {
        const char* Name;
        std::string Text;
        int Exit;
        const char* Message;
        const char* TD; // what the unit holds afterwards
    } table[] = {
        {"with its context", fresh, 0, "", "5"},
        {"of the first version", QJsonDocument(old).toJson().toStdString(), 0, "", "7"},
        {"with a key twice", R"({"shutdown_delay_min": 3, "shutdown_delay_min": 4})", 1,
         "\"shutdown_delay_min\" is given twice", "7"},
        {"of an unknown format", R"({"format": 9, "shutdown_delay_min": 3})", 1,
         "format 9 is not one this orvix-ups knows", "7"},
        {"from a unit without outlets", noOutlets, 0, "", "6"},
    };
    const std::string file = TempPath("saved.json");
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        std::ofstream(file, std::ios::trunc) << row.Text;
        const std::size_t sent = Commands().size();
        const TRun run = RunCli({"write", "-p", link, "-r", "230", "--from", file});
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        EXPECT_NE(run.Err.find(row.Message), std::string::npos) << run.Err;
        if (row.Exit) {
            EXPECT_EQ(Commands().size(), sent);
        }
        const TRun after = RunCli({"get", "-p", link, "shutdown_delay_min"});
        EXPECT_EQ(after.Out, std::string(row.TD) + "\n") << after.Err;
    }
    std::remove(file.c_str());
    std::remove(link.c_str());
}

// diff takes files and ports on either side: 0 when equal, 6 when not.
TEST_F(CliTest, DiffComparesSavedFilesAndUnits) {
    StartSim();
    const std::string a = TempPath("a.json"), b = TempPath("b.json");
    const TRun read = RunCli({"read", "-p", Sim->Path(), "-j"});
    ASSERT_EQ(read.Exit, 0) << read.Err;
    std::ofstream(a) << read.Out;
    QJsonObject changed = ParseJson(read.Out);
    changed["shutdown_delay_min"] = 9;
    std::ofstream(b) << QJsonDocument(changed).toJson().toStdString();
    const struct {
        std::vector<std::string> Args;
        int Exit;
        const char* Shows;
    } table[] = {
        {{"diff", a, b}, 6, "shutdown_delay_min  2"},
        {{"diff", a, "-p", Sim->Path()}, 0, "no setting differs"},
        {{"diff", "--port", Sim->Path(), b, "-j"}, 6, "\"b\": 9"},
        {{"diff", a}, 1, "two sides"},
    };
    for (const auto& row : table) {
        const TRun run = RunCli(row.Args);
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        EXPECT_NE((run.Out + run.Err).find(row.Shows), std::string::npos) << run.Out << run.Err;
    }
    for (const auto& s : {a, b})
        std::remove(s.c_str());
}

TEST_F(CliTest, APortThatCannotBeOpenedSaysWhy) {
    StartSim();
    {
        THolder holder(Sim->Path());
        const std::string who = "pid " + std::to_string(holder.Pid) + " (sleep)";
        const TRun busy = RunCli({"read", "--port", Sim->Path()});
        EXPECT_EQ(busy.Exit, 2);
        EXPECT_NE(busy.Err.find("busy, held by " + who), std::string::npos) << busy.Err;
        const TRun ports = RunCli({"ports", "--json"}, {"ORVIX_COM2=" + Sim->Path()});
        const QJsonDocument list = QJsonDocument::fromJson(QByteArray::fromStdString(ports.Out));
        ASSERT_TRUE(list.isArray()) << ports.Out;
        const QJsonObject com2 = list.array()[1].toObject();
        EXPECT_EQ(com2["port"].toString(), "COM2");
        EXPECT_EQ(com2["device"].toString().toStdString(), Sim->Path());
        EXPECT_TRUE(com2["busy"].toBool());
        EXPECT_EQ(com2["holder_pid"].toInt(), holder.Pid);
        EXPECT_EQ(com2["holder_program"].toString(), "sleep");
    }
    const TRun missing = RunCli({"read", "--port", "COM3"}, {"ORVIX_COM3=/dev/orvix-missing"});
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_NE(missing.Err.find("(/dev/orvix-missing): the device does not exist; set ORVIX_COM3"),
              std::string::npos)
        << missing.Err;
    // As another user the terminal (root's, mode 0620) is out of reach.
    if (geteuid() == 0 && OthersMayRun(ORVIX_UPS_BINARY)) {
        const TRun denied = RunCli({"read", "--port", Sim->Path()}, {}, true);
        EXPECT_EQ(denied.Exit, 2);
        EXPECT_NE(denied.Err.find("permission denied: " + Sim->Path()), std::string::npos)
            << denied.Err;
        EXPECT_NE(denied.Err.find("belongs to group"), std::string::npos) << denied.Err;
    }
    EXPECT_TRUE(Commands().empty());
}

} // namespace
