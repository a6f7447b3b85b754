// What the modem-line shim logged of a test instrument's pty (testing/modemshim/modemlines.h): the
// RTS changes and the writes of the frames, in the one order the writer made them.
#pragma once
#include <windows.h>

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "TestInstrument.h"

namespace tovik::testing {

// A line of the shim's log: an RTS change (on 0 or 1) or a write (tx bytes).
struct LineEvent {
    double t;
    bool tx;
    int on;
};

// The Unix path of the shim's log of the instrument's pty; empty while the pty has none.
inline std::string ShimLogOf(const TestInstrument& inst)
{
    std::ifstream ready(WinPath(inst.WorkDirUnix() + "/ready"));
    std::string tag, port, pty;
    ready >> tag >> port >> pty;  // READY <control port> /dev/pts/N <com>
    std::string pts = "pts" + pty.substr(pty.rfind('/') + 1) + ".log";
    char dir[1024] = {};
    if (GetEnvironmentVariableA("TOVIK_SHIM_DIR", dir, sizeof dir) && dir[0])
        return std::string(dir) + "/" + pts;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("Z:\\tmp\\tovik-modemshim-*", &fd);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string found;
    do {
        std::string candidate = std::string("/tmp/") + fd.cFileName + "/" + pts;
        if (GetFileAttributesA(WinPath(candidate).c_str()) != INVALID_FILE_ATTRIBUTES)
            found = candidate;
    } while (found.empty() && FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

inline std::vector<std::string> ShimLogLines(const std::string& unixPath)
{
    std::vector<std::string> out;
    std::ifstream in(WinPath(unixPath));
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

// RTS changes and writes logged after line `from`.
inline std::vector<LineEvent> EventsSince(const std::string& log, size_t from)
{
    std::vector<LineEvent> out;
    std::vector<std::string> lines = ShimLogLines(log);
    for (size_t i = from; i < lines.size(); ++i) {
        std::istringstream w(lines[i]);
        LineEvent e{};
        std::string pts, what;
        long value = 0;
        if (!(w >> e.t >> pts >> what >> value)) continue;
        e.tx = what == "TX";
        e.on = int(value);
        if (e.tx || what == "RTS") out.push_back(e);
    }
    return out;
}

// Where the writes are, and the last RTS change before index i (-1: none).
inline std::vector<size_t> Writes(const std::vector<LineEvent>& ev)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < ev.size(); ++i)
        if (ev[i].tx) at.push_back(i);
    return at;
}
inline int RtsBefore(const std::vector<LineEvent>& ev, size_t i)
{
    while (i-- > 0)
        if (!ev[i].tx) return int(i);
    return -1;
}
// The first RTS change after index i (-1: none).
inline int RtsAfter(const std::vector<LineEvent>& ev, size_t i)
{
    while (++i < ev.size())
        if (!ev[i].tx) return int(i);
    return -1;
}

}  // namespace tovik::testing
