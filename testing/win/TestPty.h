// Windows side of the pseudo-terminal test port: starts the native ptyport helper, which links a
// pty slave as dosdevices/comN of the test prefix, and drives the pty's master side through a
// loopback socket. Link ws2_32. Needs TOVIK_NATIVE_DIR (the folder of ptyport) and WINEPREFIX.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TestFiles.h"

class TestPty {
public:
    // Modem-line bits (TIOCM_*) as SetLines and Lines use them.
    enum : int { LineDTR = 0x002, LineRTS = 0x004, LineCTS = 0x020, LineCD = 0x040,
                 LineRI = 0x080, LineDSR = 0x100 };

    // Makes the pty and links it as the first free COM number from firstCom on.
    explicit TestPty(int firstCom = 20)
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener == INVALID_SOCKET)
            throw std::runtime_error("TestPty: no socket");
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        int len = sizeof a;
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(listener, 1) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            closesocket(listener);
            throw std::runtime_error("TestPty: cannot listen");
        }
        std::string cmd = "\"" + NativeDir() + "/ptyport\" " + std::to_string(ntohs(a.sin_port)) +
                          " \"" + PrefixDir() + "/dosdevices\" " + std::to_string(firstCom);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!tovik::testing::StartNative(cmd, si, FALSE, FProcess)) {
            closesocket(listener);
            throw std::runtime_error("TestPty: cannot start " + cmd);
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener, &set);
        timeval tv{60, 0};
        if (select(0, &set, nullptr, nullptr, &tv) != 1) {
            closesocket(listener);
            throw std::runtime_error("TestPty: ptyport did not connect");
        }
        FSock = accept(listener, nullptr, nullptr);
        closesocket(listener);
        if (FSock == INVALID_SOCKET)
            throw std::runtime_error("TestPty: accept failed");
        int one = 1;
        setsockopt(FSock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                   sizeof one);
        std::string hello = ReadReply();
        FCom = std::atoi(hello.c_str());
        FPts = std::atoi(hello.c_str() + hello.find(' ') + 1);
        if (FCom <= 0)
            throw std::runtime_error("TestPty: bad greeting");
    }

    ~TestPty()
    {
        if (FSock != INVALID_SOCKET) {
            try {
                Command('Q', 0);
            } catch (...) {
            }
            closesocket(FSock);
        }
        if (FProcess) {
            WaitForSingleObject(FProcess, 10000);
            CloseHandle(FProcess);
        }
    }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    int ComNumber() const { return FCom; }
    std::string PortName() const { return "COM" + std::to_string(FCom); }
    int PtyNumber() const { return FPts; }

    // Bytes from the other end to the port.
    void Send(const std::string& bytes)
    {
        Request('W', static_cast<uint32_t>(bytes.size()));
        SendAll(bytes.data(), bytes.size());
        ReadReply();
    }
    // What the port wrote: up to count bytes, waiting at most timeoutMs for them.
    std::string Receive(uint32_t count, uint32_t timeoutMs = 5000)
    {
        Request('R', count);
        SendAll(&timeoutMs, 4);
        return ReadReply();
    }
    // Sets CTS, DSR, RI and CD (other bits are ignored).
    void SetLines(int lines) { Command('L', static_cast<uint32_t>(lines)); }
    // All lines, RTS and DTR included.
    int Lines() { return std::atoi(Command('S', 0).c_str()); }
    // The modem-line shim's log of RTS and DTR changes on this pty.
    std::string ShimLog() { return Command('G', 0); }
    // Drops what the port wrote and nobody read yet.
    void Flush() { Command('F', 0); }
    // Closes the master side: the port sees its line hung up.
    void HangUp() { Command('H', 0); }

private:
    static std::string NativeDir()
    {
        const char* d = std::getenv("TOVIK_NATIVE_DIR");
#ifdef TOVIK_NATIVE_DIR
        if (!d || !*d)
            d = TOVIK_NATIVE_DIR;
#endif
        if (!d || !*d)
            throw std::runtime_error("TestPty: TOVIK_NATIVE_DIR unknown");
        return d;
    }
    static std::string PrefixDir()
    {
        const char* p = std::getenv("WINEPREFIX");
        if (p && *p)
            return p;
        const char* home = std::getenv("HOME");
        return std::string(home ? home : "") + "/.wine";
    }

    void SendAll(const void* p, size_t n)
    {
        auto* b = static_cast<const char*>(p);
        while (n > 0) {
            int w = send(FSock, b, static_cast<int>(n), 0);
            if (w <= 0)
                throw std::runtime_error("TestPty: connection lost");
            b += w;
            n -= static_cast<size_t>(w);
        }
    }
    void RecvAll(void* p, size_t n)
    {
        auto* b = static_cast<char*>(p);
        while (n > 0) {
            int r = recv(FSock, b, static_cast<int>(n), 0);
            if (r <= 0)
                throw std::runtime_error("TestPty: connection lost");
            b += r;
            n -= static_cast<size_t>(r);
        }
    }
    void Request(char op, uint32_t arg)
    {
        SendAll(&op, 1);
        SendAll(&arg, 4);
    }
    std::string ReadReply()
    {
        uint32_t n = 0;
        RecvAll(&n, 4);
        std::string s(n, '\0');
        if (n)
            RecvAll(&s[0], n);
        return s;
    }
    std::string Command(char op, uint32_t arg)
    {
        Request(op, arg);
        return ReadReply();
    }

    SOCKET FSock = INVALID_SOCKET;
    HANDLE FProcess = nullptr;
    int FCom = 0;
    int FPts = 0;
};
