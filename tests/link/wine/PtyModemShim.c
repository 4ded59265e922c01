/* Test-only, preloaded into Wine: a pseudo-terminal has no modem lines, so
 * Wine's EscapeCommFunction, GetCommModemStatus and WaitCommEvent fail on it.
 * This answers the modem-line and interrupt-count requests on pseudo-terminal
 * descriptors as a loopback plug would: RTS comes back as CTS, DTR as DSR and
 * carrier detect. Everything else goes to the real ioctl.
 * Wine gives each of the machine's serial devices a COM port of its own, and
 * orvix-ups ports opens every COM port: an open of a real serial device fails
 * here as if it were missing, so that no test ever toggles a real port's lines. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <pthread.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

enum { Slots = 16 };
static struct {
    dev_t Device;
    int Lines; /* TIOCM_DTR | TIOCM_RTS as last set */
} Ptys[Slots];
static pthread_mutex_t Lock = PTHREAD_MUTEX_INITIALIZER;

static int IsPtySlave(int fd, dev_t* device) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    *device = st.st_rdev;
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

static int* LinesOf(dev_t device) {
    for (int i = 0; i < Slots; ++i)
        if (Ptys[i].Device == device) return &Ptys[i].Lines;
    for (int i = 0; i < Slots; ++i)
        if (Ptys[i].Device == 0) {
            Ptys[i].Device = device;
            return &Ptys[i].Lines;
        }
    return &Ptys[0].Lines;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!real) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");

    dev_t device;
    const int modem = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
                      request == TIOCMBIC || request == TIOCGICOUNT;
    if (!modem || !IsPtySlave(fd, &device)) return real(fd, request, arg);
    if (request == TIOCGICOUNT) {
        memset(arg, 0, sizeof(struct serial_icounter_struct));
        return 0;
    }
    pthread_mutex_lock(&Lock);
    int* lines = LinesOf(device);
    const int asked = *(int*)arg & (TIOCM_DTR | TIOCM_RTS);
    if (request == TIOCMSET) *lines = asked;
    if (request == TIOCMBIS) *lines |= asked;
    if (request == TIOCMBIC) *lines &= ~asked;
    if (request == TIOCMGET)
        *(int*)arg = *lines | ((*lines & TIOCM_RTS) ? TIOCM_CTS : 0) |
                     ((*lines & TIOCM_DTR) ? TIOCM_DSR | TIOCM_CAR : 0);
    pthread_mutex_unlock(&Lock);
    return 0;
}

/* ttyS (major 4 from minor 64), ttyACM (166), ttyUSB (188). */
static int IsSerialHardware(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    const unsigned m = major(st.st_rdev);
    return (m == 4 && minor(st.st_rdev) >= 64) || m == 166 || m == 188;
}

#define REFUSE_SERIAL(name, ...)                                                                 \
    va_list args;                                                                                \
    va_start(args, flags);                                                                       \
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;             \
    va_end(args);                                                                                \
    static int (*real)();                                                                        \
    if (!real) real = (int (*)())dlsym(RTLD_NEXT, name);                                         \
    if (IsSerialHardware(path)) {                                                                \
        errno = ENOENT;                                                                          \
        return -1;                                                                               \
    }                                                                                            \
    return real(__VA_ARGS__, mode);

int open(const char* path, int flags, ...) {
    REFUSE_SERIAL("open", path, flags)
}
int open64(const char* path, int flags, ...) {
    REFUSE_SERIAL("open64", path, flags)
}
