// Binding of Ravelport.dll by name and the libmodbus peer launcher, shared by the DLL's tests.
#include "RavelportTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ravelport_test {

Ravelport& Ravelport::Get()
{
    static Ravelport r = [] {
        Ravelport x;
        x.Module = LoadLibraryA(WinPath(RAVELPORT_DLL).c_str());
        if (!x.Module) return x;
        auto bind = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                reinterpret_cast<void*>(GetProcAddress(x.Module, name)));
        };
        // The program's order of binding.
        bind(x.Connect, "Connect");
        bind(x.Disconnect, "Disconnect");
        bind(x.GetDevName, "GetDevName");
        bind(x.Test, "Test");
        bind(x.ReadInputRegister, "ReadInputRegister");
        bind(x.ReadHoldingRegister, "ReadHoldingRegister");
        bind(x.WriteRegister, "WriteRegister");
        bind(x.AnyFunction, "AnyFunction");
        bind(x.Retries, "Retries");
        bind(x.GetErrorMessage, "GetErrorMessage");
        return x;
    }();
    return r;
}

bool Ravelport::Ok() const
{
    return Module && Connect && Disconnect && GetDevName && Test && ReadInputRegister &&
           ReadHoldingRegister && WriteRegister && AnyFunction && Retries && GetErrorMessage;
}

std::string Ravelport::LastMessage() const
{
    int n = GetErrorMessage(nullptr, 0);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetErrorMessage(s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

// ---------------------------------------------------------------------------------------------
ModbusPeer::ModbusPeer(int slave)
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    char prefix[1024] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    FReady = "/tmp/ravelport-peer-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(GetTickCount()) + ".ready";
    std::string cmd = std::string(TOVIK_NATIVE_DIR) + "/modbuspeer --com auto --owner --lifetime 300" +
                      " --slave " + std::to_string(slave) + " --ready " + FReady +
                      (prefix[0] ? std::string(" --prefix ") + prefix : std::string());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    HANDLE process = nullptr;
    if (!tovik::testing::StartNative(cmd, si, FALSE, process)) {
        FError = "cannot start " + cmd;
        return;
    }
    if (process) CloseHandle(process);
    std::string line;
    for (int i = 0; i < 1500 && line.empty(); ++i) {
        std::ifstream in(WinPath(FReady));
        if (!in || !std::getline(in, line)) Sleep(10);
    }
    DeleteFileA(WinPath(FReady).c_str());
    std::istringstream words(line);
    std::string tag;
    int port = 0, com = 0;
    words >> tag >> port >> com;
    if (tag != "READY") {
        FError = line.empty() ? "modbuspeer did not get ready" : line;
        return;
    }
    FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(FSocket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        FError = "no control connection to modbuspeer";
        return;
    }
    DWORD ms = 10000;
    setsockopt(FSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    FCom = com;
}

ModbusPeer::~ModbusPeer()
{
    if (FSocket != INVALID_SOCKET) {
        Command("stop");
        closesocket(FSocket);
    }
}

std::string ModbusPeer::Command(const std::string& line)
{
    std::string out = line + "\n";
    if (send(FSocket, out.data(), static_cast<int>(out.size()), 0) < 0) return "ERR send";
    std::string reply;
    char c;
    while (recv(FSocket, &c, 1, 0) == 1 && c != '\n')
        reply += c;
    return reply;
}

int ModbusPeer::Register(char kind, int addr)
{
    std::string r = Command(std::string("get ") + kind + " " + std::to_string(addr));
    if (r.rfind("OK ", 0) != 0) return -1;
    return std::stoi(r.substr(3));
}

}  // namespace ravelport_test
