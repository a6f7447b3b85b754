/* Where the modem-line shim keeps the lines of each pseudo-terminal, shared by the shim and by
 * the tools that make pseudo-terminals for tests.
 *
 * Directory: $TOVIK_SHIM_DIR, or /tmp/tovik-modemshim-<uid> when unset.
 *   pts<N>.state  the lines of /dev/pts/<N> as one decimal number of TIOCM_* bits
 *                 (RTS and DTR kept by the shim, CTS/DSR/RI/CD set by the test); missing = 0
 *   pts<N>.log    one line per RTS or DTR change, and one per write of bytes to the pty:
 *                 "<CLOCK_MONOTONIC seconds>.<nanoseconds, 9 digits> pts<N> RTS|DTR 0|1"
 *                 "<seconds>.<nanoseconds> pts<N> TX <bytes written>"
 * $TOVIK_SHIM_LOG, when set, names one more file that receives the lines of every pty.
 * Whoever makes a pty resets (or removes) its two files first: pty numbers are reused. */
#ifndef TOVIK_MODEMLINES_H
#define TOVIK_MODEMLINES_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static inline void modemlines_dir(char* out, size_t size)
{
    const char* d = getenv("TOVIK_SHIM_DIR");
    if (d && *d)
        snprintf(out, size, "%s", d);
    else
        snprintf(out, size, "/tmp/tovik-modemshim-%u", (unsigned)getuid());
    mkdir(out, 0700);
}

/* kind: "state" or "log" */
static inline void modemlines_file(char* out, size_t size, int pts, const char* kind)
{
    char dir[512];
    modemlines_dir(dir, sizeof dir);
    snprintf(out, size, "%s/pts%d.%s", dir, pts, kind);
}

#endif
