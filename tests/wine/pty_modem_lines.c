/* For the Windows tests under Wine: a pseudo-terminal answers the modem-line requests as a
 * serial port with its lines up. Wine's wait for serial input asks the device for its modem
 * lines and interrupt counts; a pseudo-terminal has neither and refuses, and Wine then ends
 * every wait at once. Loaded with LD_PRELOAD into Wine by scripts/test-windows.sh only.
 *
 * Only a refusal (ENOTTY, EINVAL) on a pseudo-terminal is answered here: a hung-up one fails
 * with EIO as before, so a terminal that vanishes is still seen to go. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Pseudo-terminal slaves: majors 136 to 143. */
static int is_pseudo_terminal(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136
        && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, ...);
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");

    const int result = real_ioctl(fd, request, argument);
    if (result != -1 || (errno != ENOTTY && errno != EINVAL) || !is_pseudo_terminal(fd))
        return result;
    switch (request) {
    case TIOCMGET:
        *(int *)argument = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
        return 0;
    case TIOCGICOUNT:
        memset(argument, 0, sizeof(struct serial_icounter_struct));
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 0;
    default:
        errno = ENOTTY;
        return -1;
    }
}
