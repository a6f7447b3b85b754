/* Modem-line shim: preloaded into Wine so that pseudo-terminals answer the modem-line ioctls
 * (TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC) from a line state of their own, kept in a file per
 * pty (see modemlines.h). Every RTS or DTR change, and every write to a pty, is logged with a
 * CLOCK_MONOTONIC stamp: in one log and in the writer's own order, so that a test need not
 * compare its stamps with those of another process.
 * Wine's 32-bit ntdll calls __ioctl_time64, other code ioctl: both are interposed.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>

#include "modemlines.h"

typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef ssize_t (*write_fn)(int, const void*, size_t);

static ssize_t real_write(int fd, const void* buf, size_t n)
{
    static write_fn real;
    if (!real)
        real = (write_fn)dlsym(RTLD_NEXT, "write");
    return real(fd, buf, n);
}
/* Only the Wine programs need the lines; the Wine server, should it inherit the preload,
 * keeps the real ioctls. */
static int shim_off;

__attribute__((constructor)) static void shim_init(void)
{
    char exe[512];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        shim_off = strstr(exe, "wineserver") != NULL;
    }
}

/* Unix98 pty slaves have majors 136..143; the pty number is spread over them. */
static int pty_number(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return -1;
    unsigned maj = major(st.st_rdev);
    if (maj < 136 || maj > 143)
        return -1;
    return (int)((maj - 136) * 256 + minor(st.st_rdev));
}

static int read_state(int sfd)
{
    char buf[32];
    ssize_t n = pread(sfd, buf, sizeof buf - 1, 0);
    if (n <= 0)
        return 0;
    buf[n] = 0;
    return atoi(buf);
}

static void write_state(int sfd, int lines)
{
    char buf[32];
    int n = snprintf(buf, sizeof buf, "%d\n", lines);
    if (ftruncate(sfd, 0) == 0)
        (void)!pwrite(sfd, buf, (size_t)n, 0);
}

static void append(const char* path, const char* line)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    (void)!real_write(fd, line, strlen(line));
    close(fd);
}

static void log_line(int pts, const char* name, long value)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char line[128];
    snprintf(line, sizeof line, "%lld.%09ld pts%d %s %ld\n", (long long)ts.tv_sec, ts.tv_nsec, pts,
             name, value);
    char path[600];
    modemlines_file(path, sizeof path, pts, "log");
    append(path, line);
    const char* all = getenv("TOVIK_SHIM_LOG");
    if (all && *all)
        append(all, line);
}

/* Answers a modem-line request of a pty; returns 1 when handled. */
static int handle(int fd, unsigned long req, void* arg, int* result)
{
    if (shim_off || (req != TIOCMGET && req != TIOCMSET && req != TIOCMBIS && req != TIOCMBIC))
        return 0;
    int pts = pty_number(fd);
    if (pts < 0)
        return 0;
    if (!arg) {
        errno = EFAULT;
        *result = -1;
        return 1;
    }
    char path[600];
    modemlines_file(path, sizeof path, pts, "state");
    int sfd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (sfd < 0) {
        *result = -1;
        return 1;
    }
    flock(sfd, LOCK_EX);
    int lines = read_state(sfd);
    int value = *(int*)arg;
    int next = lines;
    switch (req) {
    case TIOCMGET:
        *(int*)arg = lines;
        break;
    case TIOCMSET:
        next = (lines & ~(TIOCM_RTS | TIOCM_DTR)) | (value & (TIOCM_RTS | TIOCM_DTR));
        break;
    case TIOCMBIS:
        next = lines | (value & (TIOCM_RTS | TIOCM_DTR));
        break;
    case TIOCMBIC:
        next = lines & ~(value & (TIOCM_RTS | TIOCM_DTR));
        break;
    }
    if (next != lines) {
        write_state(sfd, next);
        if ((next ^ lines) & TIOCM_RTS)
            log_line(pts, "RTS", (next & TIOCM_RTS) != 0);
        if ((next ^ lines) & TIOCM_DTR)
            log_line(pts, "DTR", (next & TIOCM_DTR) != 0);
    }
    flock(sfd, LOCK_UN);
    close(sfd);
    *result = 0;
    return 1;
}

int ioctl(int fd, unsigned long req, ...)
{
    va_list ap;
    va_start(ap, req);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    int saved = errno, result;
    if (handle(fd, req, arg, &result))
        return result;
    errno = saved;
    static ioctl_fn real;
    if (!real)
        real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return real(fd, req, arg);
}

int __ioctl_time64(int fd, unsigned long req, ...)
{
    va_list ap;
    va_start(ap, req);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    int saved = errno, result;
    if (handle(fd, req, arg, &result))
        return result;
    errno = saved;
    static ioctl_fn real;
    if (!real) {
        real = (ioctl_fn)dlsym(RTLD_NEXT, "__ioctl_time64");
        if (!real)
            real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    }
    return real(fd, req, arg);
}

/* Wine writes to a serial port from the calling process, so the bytes going out are seen here. */
ssize_t write(int fd, const void* buf, size_t n)
{
    ssize_t r = real_write(fd, buf, n);
    if (r > 0 && !shim_off) {
        int saved = errno;
        int pts = pty_number(fd);
        if (pts >= 0)
            log_line(pts, "TX", (long)r);
        errno = saved;
    }
    return r;
}
