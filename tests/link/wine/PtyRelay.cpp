// Test-only, a Linux program beside Wine: makes n pseudo-terminals for the
// Wine set-up to map to COM1..COMn, and relays each one's master end to a
// TCP connection on the loopback interface, where the Windows tests play the
// far end. Prints "COMi <terminal> <port>" per terminal, then relays until
// SIGTERM. Each new connection replaces the last one and starts on an empty
// line: it gets one ACK byte once the terminal's queues are flushed.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct Line {
    int Master = -1, Slave = -1, Listener = -1, Client = -1;
    std::string ToClient, ToMaster; // read on one side, not yet written to the other
};

volatile sig_atomic_t Stop = 0;

void NonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Moves what one side holds to the other; false when the reading side is gone.
bool Pump(int from, std::string& buffer) {
    char chunk[4096];
    const ssize_t n = read(from, chunk, sizeof chunk);
    if (n > 0) buffer.append(chunk, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

void Flush(int to, std::string& buffer) {
    const ssize_t n = write(to, buffer.data(), buffer.size());
    if (n > 0) buffer.erase(0, static_cast<std::size_t>(n));
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, [](int) { Stop = 1; });
    std::vector<Line> lines(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Line& l = lines[static_cast<std::size_t>(i)];
        char name[256] = {};
        if (openpty(&l.Master, &l.Slave, name, nullptr, nullptr) != 0) return 1;
        // Raw, and the slave stays open here: a master without one reads as hung up.
        termios t{};
        tcgetattr(l.Slave, &t);
        cfmakeraw(&t);
        tcsetattr(l.Slave, TCSANOW, &t);
        NonBlocking(l.Master);
        l.Listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(l.Listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(l.Listener, 4) != 0 ||
            getsockname(l.Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 1;
        std::printf("COM%d %s %d\n", i + 1, name, ntohs(address.sin_port));
    }
    std::fflush(stdout);

    while (!Stop) {
        std::vector<pollfd> fds;
        for (Line& l : lines) {
            const bool client = l.Client >= 0;
            fds.push_back({l.Listener, POLLIN, 0});
            fds.push_back({l.Master,
                           static_cast<short>((l.ToClient.empty() ? POLLIN : 0) |
                                              (l.ToMaster.empty() ? 0 : POLLOUT)),
                           0});
            fds.push_back({client ? l.Client : -1,
                           static_cast<short>((l.ToMaster.empty() ? POLLIN : 0) |
                                              (l.ToClient.empty() ? 0 : POLLOUT)),
                           0});
        }
        if (poll(fds.data(), fds.size(), 500) < 0) continue;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            Line& l = lines[i];
            const pollfd* f = &fds[i * 3];
            if (f[0].revents & POLLIN) {
                const int c = accept(l.Listener, nullptr, nullptr);
                if (c < 0) continue;
                if (l.Client >= 0) close(l.Client);
                l.Client = c;
                const int one = 1, size = 4096;
                setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                setsockopt(c, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
                tcflush(l.Slave, TCIOFLUSH);
                std::string drained;
                while (Pump(l.Master, drained) && !drained.empty())
                    drained.clear();
                l.ToClient.clear();
                l.ToMaster.clear();
                (void)!write(c, "\x06", 1);
                NonBlocking(c);
                continue; // the poll set no longer matches this line
            }
            if (f[1].revents & POLLIN) Pump(l.Master, l.ToClient);
            if (f[1].revents & POLLOUT) Flush(l.Master, l.ToMaster);
            if (l.Client < 0) {
                l.ToClient.clear(); // nobody listens
                continue;
            }
            if ((f[2].revents & (POLLIN | POLLHUP | POLLERR)) && !Pump(l.Client, l.ToMaster)) {
                close(l.Client);
                l.Client = -1;
                continue;
            }
            if (f[2].revents & POLLOUT) Flush(l.Client, l.ToClient);
        }
    }
    return 0;
}
