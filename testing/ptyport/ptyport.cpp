// ptyport <control port> <dosdevices dir> [first COM number]
//
// Makes a pseudo-terminal, links its slave as <dosdevices dir>/comN (the first free N from the
// given number on, 20 by default), connects to 127.0.0.1:<control port> and serves the test
// there until it says Quit or closes the connection; then the link and the line files go.
//
// Protocol (integers 32-bit little-endian). The first thing sent is a reply "<N> <pty number>".
// A request is one command byte and one integer, then:
//   'W' n, n bytes   write the bytes to the master side      -> empty reply
//   'R' n, t         read up to n bytes, waiting at most t ms -> the bytes read
//   'L' lines        set CTS/DSR/RI/CD (TIOCM_* bits)          -> empty reply
//   'S' 0            current lines as TIOCM_* bits            -> decimal text
//   'G' 0            the shim's RTS/DTR log of this pty        -> its text
//   'F' 0            discard what the port wrote and was not read -> empty reply
//   'H' 0            hang up (close the master side)           -> empty reply
//   'Q' 0            quit                                      -> empty reply
// A reply is one integer (length) and that many bytes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modemlines.h"

namespace {

int gMaster = -1, gSlave = -1, gCtl = -1, gPts = -1;
std::string gLink;

bool SendAll(int fd, const void* p, size_t n)
{
    auto* b = static_cast<const char*>(p);
    while (n > 0) {
        ssize_t w = send(fd, b, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        b += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool RecvAll(int fd, void* p, size_t n)
{
    auto* b = static_cast<char*>(p);
    while (n > 0) {
        ssize_t r = recv(fd, b, n, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        b += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool Reply(const std::string& data)
{
    uint32_t n = static_cast<uint32_t>(data.size());
    return SendAll(gCtl, &n, 4) && SendAll(gCtl, data.data(), data.size());
}

int64_t NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::string FileText(const std::string& path)
{
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

std::string LineFile(const char* kind)
{
    char path[600];
    modemlines_file(path, sizeof path, gPts, kind);
    return path;
}

// Changes the bits the test owns, under the lock the shim takes too.
int UpdateLines(int set, bool write)
{
    const int mine = TIOCM_CTS | TIOCM_DSR | TIOCM_RI | TIOCM_CD;
    int fd = open(LineFile("state").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    flock(fd, LOCK_EX);
    char buf[32] = {0};
    ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    int lines = n > 0 ? atoi(buf) : 0;
    if (write) {
        lines = (lines & ~mine) | (set & mine);
        int len = snprintf(buf, sizeof buf, "%d\n", lines);
        if (ftruncate(fd, 0) == 0)
            (void)!pwrite(fd, buf, static_cast<size_t>(len), 0);
    }
    flock(fd, LOCK_UN);
    close(fd);
    return lines;
}

void HangUp()
{
    if (gMaster >= 0)
        close(gMaster);
    if (gSlave >= 0)
        close(gSlave);
    gMaster = gSlave = -1;
}

void Cleanup()
{
    if (!gLink.empty())
        unlink(gLink.c_str());
    if (gPts >= 0) {
        unlink(LineFile("state").c_str());
        unlink(LineFile("log").c_str());
    }
    HangUp();
}

std::string ReadMaster(uint32_t want, uint32_t timeoutMs)
{
    std::string out;
    if (gMaster < 0)
        return out;
    const int64_t end = NowMs() + timeoutMs;
    while (out.size() < want) {
        int64_t left = end - NowMs();
        pollfd p{gMaster, POLLIN, 0};
        int r = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (r <= 0 || !(p.revents & POLLIN))
            break;
        char buf[4096];
        size_t chunk = std::min<size_t>(sizeof buf, want - out.size());
        ssize_t n = read(gMaster, buf, chunk);
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: ptyport <control port> <dosdevices dir> [first COM number]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    const int ctlPort = atoi(argv[1]);
    const std::string devices = argv[2];
    const int first = argc > 3 ? atoi(argv[3]) : 20;

    gMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (gMaster < 0 || grantpt(gMaster) != 0 || unlockpt(gMaster) != 0) {
        perror("ptyport: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ptsname(gMaster);
    gPts = atoi(slaveName + strlen("/dev/pts/"));
    // Our own slave descriptor keeps the master readable while the port is closed; raw, so
    // that nothing is echoed before the port sets its own line mode.
    gSlave = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (gSlave >= 0) {
        termios t;
        if (tcgetattr(gSlave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(gSlave, TCSANOW, &t);
        }
    }
    unlink(LineFile("state").c_str());
    unlink(LineFile("log").c_str());

    int com = -1;
    for (int n = first; n < 256; ++n) {
        std::string link = devices + "/com" + std::to_string(n);
        if (symlink(slaveName, link.c_str()) == 0) {
            com = n;
            gLink = link;
            break;
        }
        if (errno != EEXIST) {
            perror("ptyport: link");
            break;
        }
    }
    if (com < 0) {
        Cleanup();
        return 1;
    }

    gCtl = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(ctlPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (gCtl < 0 || connect(gCtl, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        perror("ptyport: control connection");
        Cleanup();
        return 1;
    }
    int one = 1;
    setsockopt(gCtl, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Reply(std::to_string(com) + " " + std::to_string(gPts));

    for (;;) {
        char op;
        uint32_t arg;
        if (!RecvAll(gCtl, &op, 1) || !RecvAll(gCtl, &arg, 4))
            break;
        bool ok = true;
        switch (op) {
        case 'W': {
            std::vector<char> data(arg);
            if (!RecvAll(gCtl, data.data(), arg)) {
                ok = false;
                break;
            }
            size_t off = 0;
            while (gMaster >= 0 && off < data.size()) {
                ssize_t w = write(gMaster, data.data() + off, data.size() - off);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    break;
                off += static_cast<size_t>(w);
            }
            ok = Reply("");
            break;
        }
        case 'R': {
            uint32_t timeout;
            if (!RecvAll(gCtl, &timeout, 4)) {
                ok = false;
                break;
            }
            ok = Reply(ReadMaster(arg, timeout));
            break;
        }
        case 'L':
            UpdateLines(static_cast<int>(arg), true);
            ok = Reply("");
            break;
        case 'S':
            ok = Reply(std::to_string(UpdateLines(0, false)));
            break;
        case 'G':
            ok = Reply(FileText(LineFile("log")));
            break;
        case 'F':
            while (!ReadMaster(65536, 0).empty()) {
            }
            ok = Reply("");
            break;
        case 'H':
            HangUp();
            ok = Reply("");
            break;
        case 'Q':
            Reply("");
            ok = false;
            break;
        default:
            ok = false;
        }
        if (!ok)
            break;
    }
    Cleanup();
    return 0;
}
