/* Preloaded into a serial server under test: a pseudo-terminal has no modem lines and refuses
 * the requests that set and read them, which makes servers that set DTR and RTS refuse to serve
 * it. This answers those requests for pseudo-terminals as a port with all lines on would, and
 * passes every other request through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_modem_request(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real;
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    const int saved = errno;
    const int r = real(fd, request, arg);
    if (r == 0 || !is_modem_request(request) || (errno != ENOTTY && errno != EINVAL && errno != EIO))
        return r;
    errno = saved;
    if (request == TIOCMGET && arg)
        *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
    return 0;
}
