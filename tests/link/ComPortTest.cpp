// The serial port component on real pseudo-terminals and a real event loop.
#include "ApdComPort.h"
#include "ApdExceptions.h"
#include "ErrorDisplay.h"
#include "LinkTestSupport.h"
#include "PosixPortHolder.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct ComPort : ::testing::Test {
    TestPty Pty;
    std::vector<std::string> Errors;

    void SetUp() override {
        setenv("ORVIX_COM1", Pty.Path.c_str(), 1);
        SetApplicationErrorDisplay([this](const std::string& m) { Errors.push_back(m); });
    }
    void TearDown() override {
        SetApplicationErrorDisplay(nullptr);
        unsetenv("ORVIX_COM1");
        unsetenv("ORVIX_COM2");
    }
    // A port on COM1 whose handler takes every character into Received.
    std::unique_ptr<TApdComPort> OpenPort(std::string& received) {
        auto port = std::make_unique<TApdComPort>();
        port->SetBaud(4800);
        port->SetAutoOpen(false);
        port->OnTriggerAvail = [&received](TApdCustomComPort& cp, std::uint16_t count) {
            for (int i = 0; i < count; ++i)
                received.push_back(cp.ReadChar());
        };
        port->SetComNumber(1);
        port->SetOpen(true);
        return port;
    }
};

template <class E> std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<nothing raised>";
}

} // namespace

TEST(ErrorMapping, CodesBecomeTheirClassesAndTexts) {
    EXPECT_EQ(MessageOf<EBadId>([] { CheckResult(-2001); }),
              "ie_BadId - Specified comport doesn't exist");
    EXPECT_EQ(MessageOf<EAlreadyOpen>([] { CheckResult(-2008); }), "ie_Open - device already open");
    EXPECT_EQ(MessageOf<EBufferIsEmpty>([] { CheckResult(-3007); }), "Buffer is empty");
    EXPECT_EQ(MessageOf<EOutputBufferTooSmall>([] { CheckResult(-3006); }),
              "Output buffer too small for block");
    EXPECT_EQ(MessageOf<EOutOfMemory>([] { CheckResult(-8); }), "Out of memory");
    EXPECT_EQ(MessageOf<EInOutError>([] { CheckResult(-103); }), "File/device not open");
    EXPECT_EQ(MessageOf<EAPDException>([] { CheckResult(-99999); }), "Tesk exception");
    EXPECT_EQ(MessageOf<ENoPortSelected>([] { CheckResult(-2011); }),
              "The ComNumber property of the TApdComPort has not been set");
    EXPECT_EQ(CheckResult(5), 5);
    try {
        CheckResult(-2005);
    } catch (const EOpenComm& e) { // the group catches its leaves
        EXPECT_EQ(e.ResultCode(), -2005);
    }
    try {
        CheckResult(ecode::FromErrno(EACCES));
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ResultCode(), EACCES);
        EXPECT_STREQ(e.what(), "Permission denied");
    }
    // POSIX EIO is 5, the table's "access denied": it keeps the system's text.
    EXPECT_EQ(MessageOf<EInOutError>([] { CheckResult(ecode::FromErrno(EIO)); }),
              "Input/output error");
    EXPECT_EQ(CleanSystemText("Bad thing\r\n"), "Bad thing ");
    EXPECT_EQ(CleanSystemText("a \t\t b"), "a b");
}

TEST_F(ComPort, OpensRawAt4800WithoutFlowControlAndEchoesNothing) {
    std::string received;
    auto port = OpenPort(received);
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
    EXPECT_TRUE(port->Open());
    const int fd = open(Pty.Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    close(fd);
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_EQ(cfgetispeed(&t), B4800);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK));
    EXPECT_FALSE(t.c_oflag & OPOST);

    port->WriteString("V?\r\n");
    EXPECT_EQ(Pty.Receive(4), "V?\r\n");
    Pty.Send("ORVIX\r\n");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 7; }));
    EXPECT_EQ(received, "ORVIX\r\n");
    EXPECT_EQ(Pty.Receive(1, 100), ""); // nothing echoed back
    port->WriteString("");
    port->SetOpen(false);
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
    port->SetOpen(false); // a second close does nothing
    EXPECT_THROW(port->WriteString("x"), ECommNotOpen);
    EXPECT_THROW(port->ReadChar(), ECommNotOpen);
}

TEST_F(ComPort, MissingDeviceRaisesBadIdAndLeavesNothingBehind) {
    setenv("ORVIX_COM1", "/dev/orvix-no-such-port", 1);
    const int fds = OpenDescriptorCount(), threads = ThreadCount();
    TApdComPort port;
    port.SetComNumber(1);
    EXPECT_EQ(MessageOf<EBadId>([&] { port.SetOpen(true); }),
              "ie_BadId - Specified comport doesn't exist");
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Dispatcher(), nullptr);
    EXPECT_EQ(OpenDescriptorCount(), fds);
    EXPECT_EQ(ThreadCount(), threads);
    // A later open tries again from the start.
    setenv("ORVIX_COM1", Pty.Path.c_str(), 1);
    port.SetOpen(true);
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    TApdComPort none;
    EXPECT_THROW(none.SetOpen(true), ENoPortSelected);
}

TEST_F(ComPort, ABusyDeviceRaisesAlreadyOpenAndLeavesTheOwnerUndisturbed) {
    std::string received;
    auto owner = OpenPort(received);
    TApdComPort second;
    second.SetComNumber(1);
    EXPECT_EQ(MessageOf<EAlreadyOpen>([&] { second.SetOpen(true); }),
              "ie_Open - device already open");
    EXPECT_EQ(second.PortState(), TPortState::PortClosed);
    Pty.Send("still here\n");
    ASSERT_TRUE(RunUntil([&] { return received == "still here\n"; }));
    owner->WriteString("ok");
    EXPECT_EQ(Pty.Receive(2), "ok");
}

namespace {
speed_t SpeedOf(int fd) {
    termios t{};
    tcgetattr(fd, &t);
    return cfgetospeed(&t);
}
void SetSpeed(const std::string& path, speed_t speed) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    close(fd);
}
void WriteLockFile(const std::string& path, pid_t pid) {
    FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "%10d\n", static_cast<int>(pid));
    std::fclose(f);
}
} // namespace

// Another program holding the terminal, however it holds it, keeps it: the
// open is refused before anything of the line is touched, and says who it is.
TEST_F(ComPort, AHeldDeviceIsRefusedAndLeftAsItsHolderSetIt) {
    char dir[] = "/tmp/orvix-locks-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    TUucpLock::LockDirectory = dir;
    const std::string lockFile = TUucpLock::PathFor(Pty.Path);
    extern char** environ;
    struct Case {
        const char* name;
        std::function<std::function<void()>()> hold; // returns its release
        const char* named;                           // in the holder's description
    };
    const Case cases[] = {
        {"a program without a lock",
         [&] {
             posix_spawn_file_actions_t actions;
             posix_spawn_file_actions_init(&actions);
             posix_spawn_file_actions_addopen(&actions, 0, Pty.Path.c_str(), O_RDWR | O_NOCTTY, 0);
             pid_t pid = 0;
             char* argv[] = {const_cast<char*>("/bin/sleep"), const_cast<char*>("30"), nullptr};
             posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
             posix_spawn_file_actions_destroy(&actions);
             // Held once the child's descriptor shows up.
             for (int i = 0; i < 500 && !FindPortHolder(Pty.Path); ++i)
                 usleep(2000);
             return std::function<void()>([pid] {
                 kill(pid, SIGKILL);
                 waitpid(pid, nullptr, 0);
             });
         },
         "(sleep)"},
        {"a holder in exclusive mode, which root could pass",
         [&] {
             const int fd = open(Pty.Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
             ioctl(fd, TIOCEXCL);
             return std::function<void()>([fd] {
                 int exclusive = 0;
                 ioctl(fd, TIOCGEXCL, &exclusive);
                 EXPECT_EQ(exclusive, 1); // still its exclusive mode
                 ioctl(fd, TIOCNXCL);     // a pseudo-terminal would keep it after the close
                 close(fd);
             });
         },
         "exclusive"},
        {"a live lock file",
         [&] {
             WriteLockFile(lockFile, getppid());
             return std::function<void()>([&] { unlink(lockFile.c_str()); });
         },
         "lock file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetSpeed(Pty.Path, B9600);
        const auto release = c.hold();
        TApdComPort port;
        port.SetComNumber(1);
        EXPECT_EQ(MessageOf<EAlreadyOpen>([&] { port.SetOpen(true); }),
                  "ie_Open - device already open");
        ASSERT_TRUE(LastPortRefusal());
        EXPECT_NE(LastPortRefusal()->Describe().find(c.named), std::string::npos)
            << LastPortRefusal()->Describe();
        const int fd = open(Pty.Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_EQ(SpeedOf(fd), B9600);
        close(fd);
        release();
    }

    // A lock file whose process is gone is replaced by ours while the port is open.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    WriteLockFile(lockFile, gone);
    std::string received;
    auto port = OpenPort(received);
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
    EXPECT_EQ(TUucpLock::LiveOwner(lockFile), getpid());
    port->SetOpen(false);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0);
    TUucpLock::LockDirectory = "/var/lock";
    rmdir(dir);
}

TEST_F(ComPort, ADeviceOnlyRootMayOpenGivesTheSystemsOwnText) {
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || getuid() != 0) GTEST_SKIP() << "needs root to switch to an ordinary user";
    chmod(Pty.Path.c_str(), 0600);
    chown(Pty.Path.c_str(), 0, 0);
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
        std::string message = "<opened>";
        try {
            TApdComPort port;
            port.SetComNumber(1);
            port.SetOpen(true);
        } catch (const EInOutError& e) {
            message = e.what();
        } catch (const std::exception& e) {
            message = std::string("other: ") + e.what();
        }
        (void)!write(pipeFd[1], message.data(), message.size());
        _exit(0);
    }
    close(pipeFd[1]);
    char buffer[256] = {};
    const ssize_t n = read(pipeFd[0], buffer, sizeof buffer - 1);
    close(pipeFd[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "Permission denied");
}

TEST_F(ComPort, AVanishedPeerCausesNoSpinAndCloseStillCompletes) {
    std::string received;
    auto port = OpenPort(received);
    Pty.Send("AB");
    ASSERT_TRUE(RunUntil([&] { return received == "AB"; }));
    Pty.Hangup();
    RunFor(100);
    const double cpuBefore = CpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        port->WriteString("R5\r\n"); // dropped, never reported
        RunFor(100);
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
            .count();
    // A thread spinning on hang-up events would use about all of this second.
    EXPECT_LT(CpuMs() - cpuBefore, wall * 0.25);
    EXPECT_TRUE(Errors.empty());
    port->SetOpen(false);
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
}

TEST_F(ComPort, AHandlerBlockedPastTheWaitLosesNothingAndGetsNothingTwice) {
    std::string received;
    bool blocked = false;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        if (!blocked) {
            blocked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(3600));
        }
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
    };
    std::string sent;
    std::thread peer([&] {
        for (int i = 0; i < 40; ++i) {
            const std::string chunk = "<" + std::to_string(i) + ">";
            Pty.Send(chunk);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    for (int i = 0; i < 40; ++i)
        sent += "<" + std::to_string(i) + ">";
    const bool done = RunUntil([&] { return received.size() >= sent.size(); }, 15000);
    peer.join();
    RunFor(200);
    EXPECT_TRUE(done);
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ComPort, AStalledEventLoopWithAFullRingLosesNothingAndGetsNothingTwice) {
    std::string received;
    auto port = OpenPort(received);
    std::string sent;
    for (int i = 0; sent.size() < 20000; ++i)
        sent += "<" + std::to_string(i) + ">";
    std::thread peer([&] { Pty.Send(sent); }); // waits while nobody reads
    // No event loop for 10 s: the terminal passes about 4 KB a cycle, so the
    // ring is full after the second expired notice, and a third expires on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(10000));
    const bool done = RunUntil([&] { return received.size() >= sent.size(); }, 20000);
    peer.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(Errors.empty());
}

// A handler that closes or destroys its own port, at once, after outliving the
// notice wait, or before a nested event loop longer than that wait: nothing is
// used after it was freed (the sanitizer runs see to that), nothing is left
// behind, and a closed port opens again.
struct LettingGo {
    const char* Name;
    bool Destroy;
    int BlockMs, NestedLoopMs;
};
class HandlerLetsGo : public ComPort, public ::testing::WithParamInterface<LettingGo> {};

TEST_P(HandlerLetsGo, OfItsOwnPortSafely) {
    const LettingGo c = GetParam();
    std::string received;
    OpenPort(received).reset(); // threads the runtime starts once are not the port's
    const int fds = OpenDescriptorCount(), threads = ThreadCount();
    auto port = OpenPort(received);
    int calls = 0;
    port->OnTriggerAvail = [&, c](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        if (++calls > 1) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(c.BlockMs));
        // From here on the closure itself may be gone: only locals are used.
        auto* owner = &port;
        const int nested = c.NestedLoopMs;
        if (c.Destroy)
            owner->reset();
        else
            cp.SetOpen(false);
        if (nested > 0) RunFor(nested);
    };
    Pty.Send("abc");
    ASSERT_TRUE(RunUntil(
        [&] { return calls >= 1 && (!port || port->PortState() == TPortState::PortClosed); },
        15000));
    RunFor(50); // what was handed over is freed once the delivery returned
    EXPECT_EQ(received, "abc");
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(ThreadCount(), threads);
    if (!port) {
        EXPECT_EQ(OpenDescriptorCount(), fds);
        return;
    }
    port->SetOpen(true);
    Pty.Send("d");
    ASSERT_TRUE(RunUntil([&] { return received == "abcd"; }));
    port.reset();
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

INSTANTIATE_TEST_SUITE_P(Link, HandlerLetsGo,
                         ::testing::Values(LettingGo{"CloseAtOnce", false, 0, 0},
                                           LettingGo{"DestroyAtOnce", true, 0, 0},
                                           LettingGo{"CloseAfterTheWait", false, 3300, 0},
                                           LettingGo{"DestroyAfterTheWait", true, 3300, 0},
                                           LettingGo{"CloseThenALongNestedLoop", false, 0, 3500},
                                           LettingGo{"DestroyThenALongNestedLoop", true, 0, 3500}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ComPort, CloseDuringANoticeFinishesAfterTheHandlerAndAPendingOpenFollows) {
    std::string received;
    auto port = OpenPort(received);
    int calls = 0;
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        ++calls;
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        if (calls == 1) {
            cp.SetOpen(false);
            EXPECT_EQ(cp.PortState(), TPortState::PortClosing);
            EXPECT_EQ(cp.ReadChar(), '\0'); // nothing while closing
            cp.WriteString("ignored");
            cp.SetOpen(true);  // opens once the close completed
            cp.SetOpen(false); // does not cancel the pending open
            EXPECT_TRUE(static_cast<TApdComPort&>(cp).OpenPending());
        }
    };
    Pty.Send("first");
    ASSERT_TRUE(RunUntil([&] {
        return calls == 1 && port->PortState() == TPortState::PortOpen && !port->OpenPending();
    }));
    EXPECT_EQ(received, "first");
    EXPECT_FALSE(port->OpenPending());
    Pty.Send("second");
    ASSERT_TRUE(RunUntil([&] { return received == "firstsecond"; }));
    EXPECT_EQ(Pty.Receive(7, 200), "");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ComPort, CloseFromTheHandlerAndReopenDoesNotDeadlock) {
    std::string received;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        cp.SetOpen(false);
    };
    for (int round = 0; round < 5; ++round) {
        Pty.Send("x");
        ASSERT_TRUE(RunUntil([&] { return port->PortState() == TPortState::PortClosed; })) << round;
        port->SetOpen(true);
        ASSERT_EQ(port->PortState(), TPortState::PortOpen);
    }
    EXPECT_EQ(received, "xxxxx");
}

TEST_F(ComPort, ClosingWithQueuedOutputAndAFullPeerReturnsPromptly) {
    std::string received;
    auto port = OpenPort(received);
    // The peer never reads: the kernel buffer fills, the writer waits for room.
    const std::string block(4000, 'z');
    const auto start = std::chrono::steady_clock::now();
    int refused = 0;
    for (int i = 0; i < 1000 && refused < 3; ++i) {
        try {
            port->WriteString(block);
        } catch (const EOutputBufferTooSmall&) {
            ++refused;
            RunFor(5);
        }
    }
    const double writeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(refused, 0);      // it refused instead of waiting
    EXPECT_LT(writeMs, 2000.0); // never blocked on the device
    const double cpuBefore = CpuMs();
    RunFor(500);
    EXPECT_LT(CpuMs() - cpuBefore, 150.0); // the writer waits in poll, not spinning
    int notices = 0;
    port->OnTriggerAvail = [&](TApdCustomComPort&, std::uint16_t) { ++notices; };
    Pty.Send("late");
    // The notice is on its way, but the event loop has not taken it up yet.
    for (int i = 0; i < 2000 && !port->Dispatcher()->NoticeActive(); ++i)
        usleep(1000);
    EXPECT_TRUE(port->Dispatcher()->NoticeActive());
    port->SetOpen(false);
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
    RunFor(100);
    EXPECT_EQ(notices, 0); // no handler runs after the close
}

TEST_F(ComPort, ChangingComNumberOnAnOpenPortReopensOnTheNewOne) {
    TestPty second;
    setenv("ORVIX_COM2", second.Path.c_str(), 1);
    std::string received;
    auto port = OpenPort(received);
    port->SetComNumber(2);
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
    EXPECT_EQ(port->ComNumber(), 2);
    port->WriteString("two");
    EXPECT_EQ(second.Receive(3), "two");
    second.Send("back");
    ASSERT_TRUE(RunUntil([&] { return received == "back"; }));
    // The sequencer's way: Open false, ComNumber, Open true.
    port->SetOpen(false);
    port->SetComNumber(1);
    port->SetOpen(true);
    port->WriteString("one");
    EXPECT_EQ(Pty.Receive(3), "one");
}

TEST_F(ComPort, ExceptionsFromTheHandlerGoToTheErrorDisplay) {
    std::string received;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i <= count; ++i)
            received.push_back(cp.ReadChar()); // one too many
    };
    Pty.Send("0123456789");
    ASSERT_TRUE(RunUntil([&] { return !Errors.empty(); }));
    EXPECT_EQ(Errors.front(), "Buffer is empty");
    EXPECT_EQ(received, "0123456789");
    EXPECT_EQ(port->Dispatcher()->InBuffUsed(), 0);
}

TEST_F(ComPort, SignalsDuringWaitsAreRetriedNotReported) {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigaction(SIGUSR2, &action, nullptr); // no SA_RESTART: calls see EINTR
    std::string received;
    auto port = OpenPort(received);
    std::atomic<bool> stop{false};
    std::thread pester([&] {
        while (!stop) {
            kill(getpid(), SIGUSR2);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::string sent;
    for (int i = 0; i < 200; ++i)
        sent += std::to_string(i) + ",";
    Pty.Send(sent);
    port->WriteString(sent);
    const bool got = RunUntil([&] { return received.size() >= sent.size(); });
    const std::string echoed = Pty.Receive(sent.size());
    stop = true;
    pester.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(received, sent);
    EXPECT_EQ(echoed, sent);
    EXPECT_TRUE(Errors.empty());
    signal(SIGUSR2, SIG_DFL);
}

TEST_F(ComPort, AThousandOpenCloseCyclesLeaveNoDescriptorOrThread) {
    TApdComPort port;
    port.SetComNumber(1);
    port.OnTriggerAvail = [](TApdCustomComPort&, std::uint16_t) {};
    port.SetOpen(true);
    port.SetOpen(false);
    const int fds = OpenDescriptorCount(), threads = ThreadCount();
    for (int i = 0; i < 1000; ++i) {
        port.SetOpen(true);
        ASSERT_EQ(port.PortState(), TPortState::PortOpen);
        port.SetOpen(false);
    }
    EXPECT_EQ(OpenDescriptorCount(), fds);
    EXPECT_EQ(ThreadCount(), threads);
    // Descriptors are close-on-exec.
    std::vector<int> before;
    for (int fd = 0; fd < 1024; ++fd)
        if (fcntl(fd, F_GETFD) >= 0) before.push_back(fd);
    port.SetOpen(true);
    int added = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags < 0 || std::find(before.begin(), before.end(), fd) != before.end()) continue;
        ++added;
        EXPECT_TRUE(flags & FD_CLOEXEC) << fd;
    }
    EXPECT_GE(added, 1);
}
