// Preloaded into Wine's processes (LD_PRELOAD) so that a Linux pseudo-terminal mapped as a COM
// port answers the modem-line requests a real serial port answers.
//
// Wine's serial layer asks the device for its modem lines (TIOCMGET) when SetCommState sets
// DTR/RTS, when GetCommModemStatus is called, and once a millisecond in the thread that serves a
// pending WaitCommEvent; a failure there ends the wait as cancelled. A pseudo-terminal has no
// modem lines and refuses those requests, so without this shim every arrival wait that has to
// wait fails at once.
//
// For pseudo-terminal slaves only, the shim behaves like a port wired to a peer that is always
// ready: CTS, DSR and DCD are on, DTR and RTS are what the program last set, and the lines fail
// with EIO once the peer has closed the master side (as a pulled USB adapter makes its port
// fail). Every other request and every other file goes to the C library unchanged.
//
// Opening: Wine's server opens devices without O_NOCTTY, and as a session leader without a
// terminal it would take the pseudo-terminal as its controlling terminal and receive SIGHUP when
// the peer hangs up. A COM port is nobody's terminal, so opens of pseudo-terminal slaves get
// O_NOCTTY.
//
// Exclusive access: a Windows serial driver refuses a second open of a port that is open, with
// ERROR_ACCESS_DENIED. Wine checks sharing only for files and folders, so in Wine's server (the
// one process that opens devices) a pseudo-terminal slave that is open there cannot be opened
// again until it is closed: the open fails with EACCES, which Wine reports as access denied.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

// Linux numbers the slaves of /dev/ptmx under these character-device majors.
enum { kPtySlaveMajorFirst = 136, kPtySlaveMajorLast = 143 };
// How many distinct pseudo-terminals the shim remembers output lines for; a test uses a few.
enum { kTrackedPorts = 64 };

static const int kPeerLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
static const int kOwnLines = TIOCM_DTR | TIOCM_RTS;

typedef int (*IoctlFn)(int, unsigned long, ...);
typedef int (*OpenFn)(const char*, int, ...);
typedef int (*CloseFn)(int);

struct PortLines {
    dev_t device;
    int own;  // DTR and RTS as last set
};

struct OpenPort {
    int fd;
    dev_t device;
};

static pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;
static struct PortLines gPorts[kTrackedPorts];
static int gPortCount;
// The pseudo-terminals open in Wine's server, for exclusive access; unused outside the server.
static struct OpenPort gOpen[kTrackedPorts];
static int gOpenCount;
static int gInServer;

static IoctlFn gRealIoctl;
static OpenFn gRealOpen;
static OpenFn gRealOpen64;
static CloseFn gRealClose;

static void Find(const char* name, void* function, size_t size) {
    void* symbol = dlsym(RTLD_NEXT, name);
    memcpy(function, &symbol, size);  // object to function pointer, as POSIX allows
}

// Resolved once at load, before Wine starts any thread.
__attribute__((constructor)) static void FindRealFunctions(void) {
    Find("ioctl", &gRealIoctl, sizeof gRealIoctl);
    Find("open", &gRealOpen, sizeof gRealOpen);
    Find("open64", &gRealOpen64, sizeof gRealOpen64);
    Find("close", &gRealClose, sizeof gRealClose);
    // Debian installs the server as wineserver64 (wineserver is a link to it).
    gInServer = strncmp(program_invocation_short_name, "wineserver", strlen("wineserver")) == 0;
}

static int IsPtySlave(const struct stat* st) {
    if (!S_ISCHR(st->st_mode)) return 0;
    const unsigned int m = major(st->st_rdev);
    return m >= kPtySlaveMajorFirst && m <= kPtySlaveMajorLast;
}

static int PtySlaveDevice(int fd, dev_t* device) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !IsPtySlave(&st)) return 0;
    *device = st.st_rdev;
    return 1;
}

// The lines are kept per pseudo-terminal, not per descriptor: Wine reaches one port through
// several descriptors of the same open file. A new port starts with DTR and RTS off, as a port
// does before anyone opens it.
static struct PortLines* Lines(dev_t device) {
    for (int i = 0; i < gPortCount; ++i)
        if (gPorts[i].device == device) return &gPorts[i];
    struct PortLines* p = &gPorts[gPortCount < kTrackedPorts ? gPortCount++ : kTrackedPorts - 1];
    p->device = device;
    p->own = 0;
    return p;
}

static int PeerHungUp(int fd) {
    struct pollfd pfd = {.fd = fd, .events = POLLIN};
    return poll(&pfd, 1, 0) == 1 && (pfd.revents & (POLLHUP | POLLERR)) != 0;
}

static int ModemLines(int fd, dev_t device, unsigned long request, int* arg) {
    if (PeerHungUp(fd)) {
        errno = EIO;
        return -1;
    }
    pthread_mutex_lock(&gLock);
    struct PortLines* p = Lines(device);
    switch (request) {
        case TIOCMGET:
            *arg = kPeerLines | p->own;
            break;
        case TIOCMSET:
            p->own = *arg & kOwnLines;
            break;
        case TIOCMBIS:
            p->own |= *arg & kOwnLines;
            break;
        default:  // TIOCMBIC
            p->own &= ~(*arg & kOwnLines);
            break;
    }
    pthread_mutex_unlock(&gLock);
    return 0;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    dev_t device;
    if ((request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
         request == TIOCMBIC) &&
        arg && PtySlaveDevice(fd, &device))
        return ModemLines(fd, device, request, (int*)arg);
    if (!gRealIoctl) {
        errno = ENOSYS;
        return -1;
    }
    return gRealIoctl(fd, request, arg);
}

static int IsOpenInServer(dev_t device) {
    for (int i = 0; i < gOpenCount; ++i)
        if (gOpen[i].device == device) return 1;
    return 0;
}

static int OpenFile(OpenFn real, const char* path, int flags, va_list ap) {
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    struct stat st;
    if (stat(path, &st) != 0 || !IsPtySlave(&st)) return real(path, flags, mode);
    if (!gInServer) return real(path, flags | O_NOCTTY, mode);
    // Checking and recording under one lock, so that two opens at once cannot both succeed.
    pthread_mutex_lock(&gLock);
    int fd = -1;
    if (IsOpenInServer(st.st_rdev)) {
        errno = EACCES;
    } else {
        fd = real(path, flags | O_NOCTTY, mode);
        if (fd >= 0 && gOpenCount < kTrackedPorts)
            gOpen[gOpenCount++] = (struct OpenPort){.fd = fd, .device = st.st_rdev};
    }
    pthread_mutex_unlock(&gLock);
    return fd;
}

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const int fd = OpenFile(gRealOpen, path, flags, ap);
    va_end(ap);
    return fd;
}

int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const int fd = OpenFile(gRealOpen64, path, flags, ap);
    va_end(ap);
    return fd;
}

int close(int fd) {
    if (gInServer) {
        pthread_mutex_lock(&gLock);
        for (int i = 0; i < gOpenCount; ++i) {
            if (gOpen[i].fd == fd) {
                gOpen[i] = gOpen[--gOpenCount];
                break;
            }
        }
        pthread_mutex_unlock(&gLock);
    }
    if (!gRealClose) {
        errno = ENOSYS;
        return -1;
    }
    return gRealClose(fd);
}
