// modbuspeer: a libmodbus RTU server for the link library's tests.
//
//   modbuspeer [--com N|auto] [--prefix DIR] [--slave S] --ready FILE [--lifetime S]
//              [--parent PID] [--owner]
//
// Starts `socat` with a pty pair, serves Modbus RTU with libmodbus on one end and links the other
// as $WINEPREFIX/dosdevices/comN (auto: the first free N from 60 up, taken atomically). With
// --owner it ends when the first control connection closes, so a crashed test leaves nothing.
// Holding register i starts as 0x1000 + i * 0x0101, input register i as 0xA000 + i * 0x0111
// (100 of each, low 16 bits). Once serving it writes "READY <control-port> <N>" into the ready
// file ("FAIL <why>" on failure). Loopback TCP control, one line a command:
//   get h|i ADDR        -> OK <value>
//   set h|i ADDR VALUE  -> OK
//   version             -> OK <slave> <libmodbus version>
//   stop                -> OK, then the peer ends
#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int RegisterCount = 100;

std::string g_ready, g_link;
pid_t g_socat = -1;
std::string g_dir;

void WriteReady(const std::string& text)
{
    std::string tmp = g_ready + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "%s\n", text.c_str());
    std::fclose(f);
    std::rename(tmp.c_str(), g_ready.c_str());
}

void Cleanup()
{
    if (!g_link.empty()) unlink(g_link.c_str());
    if (g_socat > 0) {
        kill(g_socat, SIGTERM);
        waitpid(g_socat, nullptr, 0);
        g_socat = -1;
    }
    if (!g_dir.empty()) {
        unlink((g_dir + "/a").c_str());
        unlink((g_dir + "/b").c_str());
        rmdir(g_dir.c_str());
    }
}

[[noreturn]] void Fail(const std::string& why)
{
    if (!g_ready.empty()) WriteReady("FAIL " + why);
    std::fprintf(stderr, "modbuspeer: %s\n", why.c_str());
    Cleanup();
    std::exit(1);
}

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

bool Exists(const std::string& p)
{
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

std::string Handle(const std::string& line, modbus_mapping_t* map, int slave, bool& stop)
{
    std::istringstream in(line);
    std::string cmd, kind;
    in >> cmd;
    if (cmd == "version") return "OK " + std::to_string(slave) + " " LIBMODBUS_VERSION_STRING;
    if (cmd == "stop") {
        stop = true;
        return "OK";
    }
    if (cmd == "get" || cmd == "set") {
        long addr = -1, value = 0;
        in >> kind >> addr;
        if (cmd == "set") in >> value;
        if (!in || addr < 0 || addr >= RegisterCount || (kind != "h" && kind != "i"))
            return "ERR bad arguments";
        uint16_t* regs = kind == "h" ? map->tab_registers : map->tab_input_registers;
        if (cmd == "set") regs[addr] = static_cast<uint16_t>(value);
        return "OK " + std::to_string(regs[addr]);
    }
    return "ERR unknown command";
}

}  // namespace

int main(int argc, char** argv)
{
    int com = 0, slave = 1, lifetime = 600;
    pid_t parent = -1;
    bool owner = false;
    std::string prefix = getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "";
    for (int i = 1; i < argc; ++i) {
        std::string o = argv[i];
        if (o == "--owner") {
            owner = true;
            continue;
        }
        if (i + 1 >= argc) break;
        std::string v = argv[++i];
        if (o == "--com") com = v == "auto" ? 0 : std::atoi(v.c_str());
        else if (o == "--prefix") prefix = v;
        else if (o == "--slave") slave = std::atoi(v.c_str());
        else if (o == "--ready") g_ready = v;
        else if (o == "--lifetime") lifetime = std::atoi(v.c_str());
        else if (o == "--parent") parent = std::atoi(v.c_str());  // no "auto": see the instrument's README
    }
    if (com < 0 || prefix.empty()) Fail("need a Wine prefix");
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    signal(SIGPIPE, SIG_IGN);

    char tmpl[] = "/tmp/modbuspeer.XXXXXX";
    if (!mkdtemp(tmpl)) Fail("mkdtemp failed");
    g_dir = tmpl;
    std::string a = g_dir + "/a", b = g_dir + "/b";
    g_socat = fork();
    if (g_socat == 0) {
        // socat must not outlive the peer, nor hold anything of ours beyond what it needs.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int nul = open("/dev/null", O_RDWR);
        dup2(nul, 0), dup2(nul, 1), dup2(nul, 2);
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        std::string pa = "pty,raw,echo=0,link=" + a, pb = "pty,raw,echo=0,link=" + b;
        execlp("socat", "socat", pa.c_str(), pb.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (g_socat < 0) Fail("fork failed");
    for (int i = 0; i < 500 && !(Exists(a) && Exists(b)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!(Exists(a) && Exists(b))) Fail("socat made no pty pair");

    modbus_t* ctx = modbus_new_rtu(a.c_str(), 19200, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, slave) != 0 || modbus_connect(ctx) != 0)
        Fail(std::string("libmodbus: ") + modbus_strerror(errno));
    modbus_mapping_t* map = modbus_mapping_new(0, 0, RegisterCount, RegisterCount);
    if (!map) Fail("modbus_mapping_new failed");
    for (int i = 0; i < RegisterCount; ++i) {
        map->tab_registers[i] = static_cast<uint16_t>(0x1000 + i * 0x0101);
        map->tab_input_registers[i] = static_cast<uint16_t>(0xA000 + i * 0x0111);
    }

    int lsn = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (lsn < 0 || bind(lsn, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(lsn, 4) != 0 || getsockname(lsn, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        Fail("control socket failed");

    char real[4096];
    ssize_t rl = readlink(b.c_str(), real, sizeof real - 1);
    if (rl <= 0) Fail("no pty behind socat's link");
    real[rl] = 0;
    std::string dosdev = prefix + "/dosdevices";
    mkdir(dosdev.c_str(), 0755);
    if (com > 0) {
        std::string link = dosdev + "/com" + std::to_string(com);
        unlink(link.c_str());
        if (symlink(real, link.c_str()) != 0) Fail("cannot link " + link);
        g_link = link;
    } else {
        for (com = 60; com < 100 && g_link.empty(); ++com) {
            std::string link = dosdev + "/com" + std::to_string(com);
            if (symlink(real, link.c_str()) == 0) g_link = link;
        }
        --com;
        if (g_link.empty()) Fail("no free COM number");
    }
    WriteReady("READY " + std::to_string(ntohs(sa.sin_port)) + " " + std::to_string(com));

    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(lifetime);
    std::vector<int> clients;
    std::vector<std::string> pending;
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    bool stop = false;
    while (!stop && !g_stop && std::chrono::steady_clock::now() < end) {
        if (parent > 0 && kill(parent, 0) != 0 && errno == ESRCH) break;
        std::vector<pollfd> fds{{modbus_get_socket(ctx), POLLIN, 0}, {lsn, POLLIN, 0}};
        for (int c : clients) fds.push_back({c, POLLIN, 0});
        if (poll(fds.data(), fds.size(), 200) <= 0) continue;
        if (fds[0].revents & POLLIN) {
            int rc = modbus_receive(ctx, query);
            if (rc > 0) modbus_reply(ctx, query, rc, map);
        }
        if (fds[1].revents & POLLIN) {
            int c = accept4(lsn, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) clients.push_back(c), pending.emplace_back();
        }
        for (size_t k = 0; k < clients.size(); ++k) {
            if (!(fds[k + 2].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[512];
            ssize_t n = read(clients[k], buf, sizeof buf);
            if (n <= 0) {
                if (owner) stop = true;
                close(clients[k]);
                clients[k] = -1;
                continue;
            }
            pending[k].append(buf, static_cast<size_t>(n));
            size_t nl;
            while ((nl = pending[k].find('\n')) != std::string::npos) {
                std::string line = pending[k].substr(0, nl);
                pending[k].erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                std::string reply = Handle(line, map, slave, stop) + "\n";
                if (write(clients[k], reply.data(), reply.size()) < 0) break;
            }
        }
        for (size_t k = clients.size(); k-- > 0;)
            if (clients[k] < 0) clients.erase(clients.begin() + k), pending.erase(pending.begin() + k);
    }
    for (int c : clients) close(c);
    close(lsn);
    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(map);
    Cleanup();
    return 0;
}
