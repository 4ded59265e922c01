// orvix-ups-sim: a stand-in UPS on a pseudo-terminal (or a real serial port),
// answering the utility's command lines from a register model, paced at the
// line speed, with switches for the faults the tests need.
#include "OrvixVersion.h"
#include "UpsModel.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

const char* const Usage = R"(Usage: orvix-ups-sim [options]
A stand-in UPS: opens a pseudo-terminal, prints the path of its terminal as the
first line of standard output, and answers one line (ending in CR LF) per
command line it receives.

  --link PATH         also make a symbolic link PATH to the terminal
  --device PATH       use an existing tty (a serial port with a null-modem cable)
  --baud N            pace replies at N baud, 8N1 (default 4800; 0: no pacing)
  --reply-delay MS    wait MS milliseconds before each reply (default 3)
  --reply-jitter MS   wait a further 0 to MS milliseconds, drawn anew for each reply
  --silent            never answer
  --wrong-id          identification line without "l" as its 10th character
  --short-id          identification line of fewer than 10 characters
  --noise N           mix N characters of droppable line noise into each reply
  --garbage N         send N random printable bytes before each reply
  --split             write each reply in two parts, 50 ms apart
  --nk CMD            answer "NK" to CMD; "R4=" means every write to R4 (repeatable)
  --reply CMD=TEXT    answer the command line CMD with TEXT instead: another
                      register's reply, or an empty line ("--reply R5=") (repeatable)
  --long-reply CMD=N  answer CMD with N characters and no line end; N 0 is
                      silence ("--long-reply TD=5=0") (repeatable)
  --ignore-writes     answer "OK" to "=" writes but keep the old values
  --hangup-after N    close the terminal after N commands, as if the cable was pulled
  --no-lf             end replies with CR only
  --log FILE          append a timestamped line per command and per reply
  --state FILE        write the registers as "name value" lines on exit and on SIGUSR1
  --help, --version   show this text, or the version

Registers of a 230 V unit: R5 0B40, R4 06C2, TD 2, F% 6, R31 A108, R28 1AFF,
R34 8100, R42 305A. "=" writes are accepted only after "Xw"; a write out of
range or malformed, and an unknown command, answer "NK". Commands are answered
one after another, in order. SIGINT and SIGTERM end it cleanly.

On a pseudo-terminal it holds only the master side, as a UPS holds nothing on
the computer: the terminal side is free for the utility to open exclusively,
and replies to a closed terminal are dropped, as on a line nobody listens to.
)";

struct TConfig {
    std::string LinkPath, DevicePath, LogPath, StatePath;
    long Baud = 4800;
    long ReplyDelayMs = 3;
    long ReplyJitterMs = 0;
    bool Silent = false, Split = false, NoLf = false;
    int Noise = 0, Garbage = 0;
    long HangupAfter = -1;
    std::map<std::string, long> LongReplies; // command -> characters sent without a line end
    TUpsOptions Ups;
};

[[noreturn]] void Fail(const std::string& what) {
    std::cerr << "orvix-ups-sim: " << what << '\n';
    std::exit(2);
}

long Number(const char* text, const char* option) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno || !end || *end || n < 0) Fail(std::string("bad number for ") + option + ": " + text);
    return n;
}

TConfig ParseArguments(int argc, char** argv) {
    TConfig c;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) Fail(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << Usage;
            std::exit(0);
        } else if (a == "--version") {
            std::cout << "orvix-ups-sim " ORVIX_VERSION "\n";
            std::exit(0);
        } else if (a == "--link")
            c.LinkPath = value();
        else if (a == "--device")
            c.DevicePath = value();
        else if (a == "--baud")
            c.Baud = Number(value(), "--baud");
        else if (a == "--reply-delay")
            c.ReplyDelayMs = Number(value(), "--reply-delay");
        else if (a == "--reply-jitter")
            c.ReplyJitterMs = Number(value(), "--reply-jitter");
        else if (a == "--ignore-writes")
            c.Ups.IgnoreWrites = true;
        else if (a == "--silent")
            c.Silent = true;
        else if (a == "--wrong-id")
            c.Ups.WrongId = true;
        else if (a == "--short-id")
            c.Ups.ShortId = true;
        else if (a == "--noise")
            c.Noise = static_cast<int>(Number(value(), "--noise"));
        else if (a == "--garbage")
            c.Garbage = static_cast<int>(Number(value(), "--garbage"));
        else if (a == "--split")
            c.Split = true;
        else if (a == "--nk")
            c.Ups.RejectCommands.insert(value());
        else if (a == "--reply" || a == "--long-reply") {
            const std::string item = value();
            // The last "=": the command may be a write ("R4=0730=" answers it with nothing).
            const auto eq = item.rfind('=');
            if (eq == std::string::npos || eq == 0) Fail(a + " takes CMD=TEXT, not " + item);
            const std::string command = item.substr(0, eq), text = item.substr(eq + 1);
            if (a == "--reply")
                c.Ups.Replies[command] = text;
            else
                c.LongReplies[command] = Number(text.c_str(), "--long-reply");
        } else if (a == "--hangup-after")
            c.HangupAfter = Number(value(), "--hangup-after");
        else if (a == "--no-lf")
            c.NoLf = true;
        else if (a == "--log")
            c.LogPath = value();
        else if (a == "--state")
            c.StatePath = value();
        else
            Fail("unknown option " + a + " (see --help)");
    }
    return c;
}

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&t, B4800);
    tcsetattr(fd, TCSANOW, &t);
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127)
            out.push_back(static_cast<char>(c));
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

class TSimulator {
  public:
    TSimulator(TConfig config, int fd) : Config(std::move(config)), Fd(fd), Ups(Config.Ups) {}

    void Log(char direction, const std::string& text) {
        if (Config.LogPath.empty()) return;
        std::ofstream log(Config.LogPath, std::ios::app);
        log << NowMs() << ' ' << direction << ' ' << Printable(text) << '\n';
    }

    void WriteState() {
        if (Config.StatePath.empty()) return;
        const std::string tmp = Config.StatePath + ".tmp";
        {
            std::ofstream out(tmp, std::ios::trunc);
            out << Ups.StateText();
        }
        std::rename(tmp.c_str(), Config.StatePath.c_str());
    }

    // Returns false once the line was hung up.
    bool Command(const std::string& line) {
        Log('<', line);
        ++Commands;
        if (const auto n = Config.LongReplies.find(line); n != Config.LongReplies.end()) {
            Log('>', std::to_string(n->second) + " characters without a line end");
            Send(std::string(static_cast<std::size_t>(n->second), '1'));
        } else if (!Config.Silent)
            Reply(Ups.Answer(line));
        if (Config.HangupAfter >= 0 && Commands >= Config.HangupAfter) return false;
        return true;
    }

    // Bytes received from the utility; returns false once the line was hung up.
    bool Received(const char* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const char c = data[i];
            if (c == '\n') {
                const std::string line = Pending;
                Pending.clear();
                if (!Command(line)) return false;
            } else if (static_cast<unsigned char>(c) >= 32 && Pending.size() < 256) {
                Pending.push_back(c);
            }
        }
        return true;
    }

  private:
    void Reply(const std::string& line) {
        std::string body = line;
        std::uniform_int_distribution<int> printable(33, 126);
        std::string garbage;
        for (int i = 0; i < Config.Garbage; ++i)
            garbage.push_back(static_cast<char>(printable(Random)));
        static const char noiseChars[] = {'\x00', '\x01', '\x07', '\x1B', '\r',
                                          '\x1F', '!',    '$',    '*',    '@'};
        std::uniform_int_distribution<std::size_t> pickNoise(0, sizeof noiseChars - 1);
        for (int i = 0; i < Config.Noise; ++i) {
            std::uniform_int_distribution<std::size_t> where(0, body.size());
            body.insert(body.begin() + static_cast<long>(where(Random)),
                        noiseChars[pickNoise(Random)]);
        }
        const std::string wire = garbage + body + (Config.NoLf ? "\r" : "\r\n");

        long delay = Config.ReplyDelayMs;
        if (Config.ReplyJitterMs > 0)
            delay += std::uniform_int_distribution<long>(0, Config.ReplyJitterMs)(Random);
        if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        Log('>', wire);
        if (Config.Split && wire.size() > 1) {
            const std::size_t half = wire.size() / 2;
            Send(wire.substr(0, half));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Send(wire.substr(half));
        } else {
            Send(wire);
        }
    }

    // One character at a time at the line speed: 10 bits a character at 8N1.
    void Send(const std::string& bytes) {
        if (NobodyListens()) return;
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        const long perChar = Config.Baud > 0 ? 10'000'000'000L / Config.Baud : 0; // ns
        for (char c : bytes) {
            // A character is complete on the line only after its ten bit times.
            if (perChar > 0) {
                next.tv_nsec += perChar;
                while (next.tv_nsec >= 1'000'000'000L) {
                    next.tv_nsec -= 1'000'000'000L;
                    ++next.tv_sec;
                }
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            }
            while (write(Fd, &c, 1) < 0 && (errno == EINTR || errno == EAGAIN)) {
                pollfd p{Fd, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
    }

    // A pseudo-terminal whose terminal side nobody has open reports a hang-up.
    bool NobodyListens() const {
        pollfd p{Fd, POLLOUT, 0};
        return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
    }

    TConfig Config;
    int Fd;
    TUpsModel Ups;
    std::string Pending;
    long Commands = 0;
    std::mt19937 Random{4800};
};

} // namespace

int main(int argc, char** argv) {
    TConfig config = ParseArguments(argc, argv);

    int fd = -1; // where commands arrive and replies go
    std::string path;
    const bool pseudoTerminal = config.DevicePath.empty();
    if (!pseudoTerminal) {
        fd = open(config.DevicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) Fail(config.DevicePath + ": " + std::strerror(errno));
        MakeRaw(fd);
        path = config.DevicePath;
    } else {
        int terminal = -1;
        char name[256] = {};
        if (openpty(&fd, &terminal, name, nullptr, nullptr) != 0)
            Fail(std::string("openpty: ") + std::strerror(errno));
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        // Raw settings stay with the terminal after its last close.
        MakeRaw(terminal);
        close(terminal);
        path = name;
    }
    // While nobody has the terminal side open the master only reports hang-ups;
    // an open of the terminal is what ends that wait.
    const int opens = pseudoTerminal ? inotify_init1(IN_NONBLOCK | IN_CLOEXEC) : -1;
    if (opens >= 0) inotify_add_watch(opens, path.c_str(), IN_OPEN);
    if (!config.LinkPath.empty()) {
        unlink(config.LinkPath.c_str());
        if (symlink(path.c_str(), config.LinkPath.c_str()) != 0)
            Fail(config.LinkPath + ": " + std::strerror(errno));
    }
    std::cout << path << std::endl;

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigFd = signalfd(-1, &signals, SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);

    TSimulator sim(config, fd);
    bool running = true;
    bool hungUp = false;  // the line was cut on purpose (--hangup-after)
    bool listener = true; // the terminal side may be open
    while (running) {
        const bool watchLine = !hungUp && listener;
        pollfd fds[3] = {{sigFd, POLLIN, 0},
                         {watchLine ? fd : -1, POLLIN, 0},
                         {!hungUp && !listener ? opens : -1, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(sigFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1)
                    sim.WriteState();
                else
                    running = false;
            }
        }
        if (fds[2].revents & POLLIN) {
            char events[1024];
            while (read(opens, events, sizeof events) > 0) {
            }
            listener = true;
        }
        if (watchLine && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[512];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0 && !sim.Received(buffer, static_cast<std::size_t>(n))) {
                // As if the cable was pulled: the utility's end sees a hang-up,
                // once it had time to take the last reply.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                close(fd);
                fd = -1;
                hungUp = true;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                break;
            } else if (n <= 0 && (fds[1].revents & POLLHUP)) {
                if (!pseudoTerminal) break; // a real device went away
                listener = false;           // nobody has the terminal open now
            }
        }
    }
    sim.WriteState();
    if (!config.LinkPath.empty()) unlink(config.LinkPath.c_str());
    if (fd >= 0) close(fd);
    if (opens >= 0) close(opens);
    return 0;
}
