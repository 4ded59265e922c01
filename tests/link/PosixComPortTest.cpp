// What only the POSIX device layer does: exclusive open against other
// programs, raw termios, hang-ups, interrupted system calls, close-on-exec.
#include "ApdExceptions.h"
#include "ComPortFixture.h"
#include "PosixPortHolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

TEST(ErrorMapping, PosixErrorsKeepTheSystemsText) {
    try {
        CheckResult(ecode::FromErrno(EACCES));
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ResultCode(), EACCES);
        EXPECT_STREQ(e.what(), "Permission denied");
    }
    // POSIX EIO is 5, the table's "access denied": it keeps the system's text.
    EXPECT_EQ(MessageOf<EInOutError>([] { CheckResult(ecode::FromErrno(EIO)); }),
              "Input/output error");
}

TEST_F(ComPort, TheTerminalIsRawWithoutFlowControl) {
    std::string received;
    auto port = OpenPort(received);
    termios t{};
    ASSERT_EQ(tcgetattr(Pty.Master, &t), 0);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK));
    EXPECT_FALSE(t.c_oflag & OPOST);
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

TEST_F(ComPort, DescriptorsAreCloseOnExec) {
    std::vector<int> before;
    for (int fd = 0; fd < 1024; ++fd)
        if (fcntl(fd, F_GETFD) >= 0) before.push_back(fd);
    std::string received;
    auto port = OpenPort(received);
    int added = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags < 0 || std::find(before.begin(), before.end(), fd) != before.end()) continue;
        ++added;
        EXPECT_TRUE(flags & FD_CLOEXEC) << fd;
    }
    EXPECT_GE(added, 1);
}
