#include "ApdPosixDispatcher.h"

#include "PortNaming.h"

#include "ApdResultCodes.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct TSpeed {
    int Baud;
    speed_t Code;
};
constexpr TSpeed Speeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

// Missing device -2, device in use -5 (as the component expects); every other
// failure keeps the system's own error number and text.
int OpenFailure(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO: // a serial device node without hardware behind it
        return ecode::FileNotFound;
    case EBUSY:
    case EWOULDBLOCK:
        return ecode::AccessDenied;
    case ENOMEM:
        return ecode::OutOfMemory;
    default:
        return ecode::FromErrno(err);
    }
}

void Wake(int fd) {
    const std::uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Drain(int fd) {
    std::uint64_t value;
    while (read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace

TDispatcherPtr CreatePlatformDispatcher() {
    return TDispatcherPtr(new TApdPosixDispatcher);
}

TApdPosixDispatcher::TApdPosixDispatcher()
    : EventWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      WriteWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TApdPosixDispatcher::~TApdPosixDispatcher() {
    if (EventWake >= 0) close(EventWake);
    if (WriteWake >= 0) close(WriteWake);
}

std::string TApdPosixDispatcher::DevicePath(const std::string& device) {
    const auto number = ComPortNumber(device);
    return number ? DeviceOfComPort(*number) : device;
}

int TApdPosixDispatcher::OpenExclusive(const std::string& path) {
    auto& refusal = LastPortRefusal();
    refusal.reset();
    // Opening a terminal already disturbs its modem lines: look for a holder first.
    if (access(path.c_str(), F_OK) != 0) return OpenFailure(errno);
    if ((refusal = FindPortHolder(path))) return ecode::AccessDenied;
    int fd;
    do {
        fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int rc = OpenFailure(errno);
        // Another holder's exclusive mode refuses everyone but root.
        if (rc == ecode::AccessDenied) refusal = TPortHolder{0, {}, {}, true};
        return rc;
    }
    auto refuse = [&](TPortHolder holder) {
        close(fd);
        refusal = std::move(holder);
        return ecode::AccessDenied;
    };
    // Root passes another holder's exclusive mode; it still means busy.
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive)
        return refuse(TPortHolder{0, {}, {}, true});
    // A second port of this process, or a holder whose descriptors we may not see.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(TPortHolder{});
    if (TPortHolder holder; !Lock.Acquire(path, holder)) return refuse(holder);
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        const int err = errno;
        Lock.Release();
        close(fd);
        return ecode::FromErrno(err);
    }
    OwnExclusive = ioctl(fd, TIOCEXCL) == 0;
    // Raw 8-bit transfer, no flow control, reads that return at once.
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = 17;
    t.c_cc[VSTOP] = 19;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        if (OwnExclusive) ioctl(fd, TIOCNXCL);
        OwnExclusive = false;
        Lock.Release();
        close(fd);
        return ecode::FromErrno(err);
    }
    return fd;
}

int TApdPosixDispatcher::DeviceOpen(const std::string& device) {
    if (EventWake < 0 || WriteWake < 0) return ecode::OutOfMemory;
    const int fd = OpenExclusive(DevicePath(device));
    if (fd < 0) return fd;
    Drain(EventWake);
    Drain(WriteWake);
    Fd = fd;
    HungUp = false;
    return 0;
}

void TApdPosixDispatcher::DeviceClose() {
    if (Fd >= 0) {
        // Only the exclusive mode we set: a terminal that was exclusive before
        // was never opened.
        if (OwnExclusive) ioctl(Fd, TIOCNXCL);
        OwnExclusive = false;
        close(Fd);
        Fd = -1;
        Lock.Release();
    }
}

int TApdPosixDispatcher::DeviceGetLine(TLineSettings& line) {
    termios t{};
    if (tcgetattr(Fd, &t) != 0) return ecode::FromErrno(errno);
    line.Baud = 0;
    const speed_t code = cfgetospeed(&t);
    for (const auto& s : Speeds)
        if (s.Code == code) line.Baud = s.Baud;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.DataBits = 5;
        break;
    case CS6:
        line.DataBits = 6;
        break;
    case CS7:
        line.DataBits = 7;
        break;
    default:
        line.DataBits = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        line.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        line.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        line.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    line.StopBits = (t.c_cflag & CSTOPB) ? (line.DataBits == 5 ? 15 : 2) : 1;
    return 0;
}

int TApdPosixDispatcher::DeviceSetLine(const TLineSettings& line, bool, bool) {
    termios t{};
    if (tcgetattr(Fd, &t) != 0) return ecode::FromErrno(errno);
    speed_t code = 0;
    bool known = false;
    for (const auto& s : Speeds)
        if (s.Baud == line.Baud) {
            code = s.Code;
            known = true;
        }
    if (!known) return ecode::FromErrno(EINVAL);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[std::min(std::max(line.DataBits, 5), 8) - 5];
    switch (line.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (line.StopBits != 1) t.c_cflag |= CSTOPB;
    // Transparent 8-bit transfer: no parity checking, NUL bytes kept.
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK | ISTRIP | IGNPAR);
    if (tcsetattr(Fd, TCSANOW, &t) != 0) return ecode::FromErrno(errno);
    return 0;
}

void TApdPosixDispatcher::DeviceSetModemLines(bool dtr, bool rts) {
    // A pseudo-terminal has no modem lines; that failure does not matter.
    int raise = 0, drop = 0;
    (dtr ? raise : drop) |= TIOCM_DTR;
    (rts ? raise : drop) |= TIOCM_RTS;
    if (raise) ioctl(Fd, TIOCMBIS, &raise);
    if (drop) ioctl(Fd, TIOCMBIC, &drop);
}

int TApdPosixDispatcher::DeviceRead(char* buffer, int size) {
    if (Fd < 0 || size <= 0) return 0;
    for (;;) {
        const ssize_t n = read(Fd, buffer, static_cast<std::size_t>(size));
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && errno == EINTR) continue;
        return 0; // nothing waiting, or the device went away: both read as nothing
    }
}

int TApdPosixDispatcher::DeviceWrite(const char* data, int length) {
    for (;;) {
        const ssize_t n = write(Fd, data, static_cast<std::size_t>(length));
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return WriteFailed;
        // The driver is full: wait for room, or for a flush to give up.
        pollfd fds[2] = {{Fd.load(), POLLOUT, 0}, {WriteWake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return WriteFailed;
        }
        if (fds[1].revents & POLLIN) return WriteFlushed;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WriteFailed;
    }
}

void TApdPosixDispatcher::DeviceDrainWriteWake() {
    Drain(WriteWake);
}

void TApdPosixDispatcher::DeviceWakeWrite() {
    Wake(WriteWake);
}

bool TApdPosixDispatcher::DeviceWaitEvent(std::uint32_t& events) {
    events = 0;
    for (;;) {
        pollfd fds[2] = {{HungUp ? -1 : Fd.load(), POLLIN, 0}, {EventWake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[1].revents & POLLIN) {
            Drain(EventWake);
            events |= EvWake;
        }
        if (fds[0].revents & POLLIN) events |= EvRxChar;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            HungUp = true;
            events |= EvError;
        }
        return true;
    }
}

void TApdPosixDispatcher::DeviceWakeEvent() {
    Wake(EventWake);
}

void TApdPosixDispatcher::DeviceFlush(bool output, bool input) {
    if (Fd < 0) return;
    if (output && input)
        tcflush(Fd, TCIOFLUSH);
    else if (output)
        tcflush(Fd, TCOFLUSH);
    else if (input)
        tcflush(Fd, TCIFLUSH);
}
