// Archive requests (function 0x41, seven request bytes, a 20-byte reply) through Ravelport.dll
// against the simulated instrument on a pseudo-terminal: wall time and CPU time per request,
// their relation to the floor ByteTimeout + 1 ms, and the time of an attempt with no answer.
#include <windows.h>

#include <cstdio>
#include <string>

#include "TestInstrument.h"

namespace {

using TConnect = int(__stdcall*)(int, int, int);
using TDisconnect = int(__stdcall*)();
using TAnyFunction = int(__stdcall*)(int, int, int, uint8_t*);
using TRetries = void(__stdcall*)(int);

constexpr int Requests = 200;
constexpr int SilentAttempts = 3;
constexpr double FloorMs = 50 + 1;  // ByteTimeout of Connect + the 1 ms before each send

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / f.QuadPart;
}

double CpuSeconds()
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto s = [](FILETIME t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return s(kernel) + s(user);
}

}  // namespace

int main()
{
    std::string dll = std::string("Z:") + RAVELPORT_DLL;
    for (char& c : dll)
        if (c == '/') c = '\\';
    HMODULE m = LoadLibraryA(dll.c_str());
    if (!m) {
        std::printf("cannot load %s\n", dll.c_str());
        return 1;
    }
    auto Connect = reinterpret_cast<TConnect>(reinterpret_cast<void*>(GetProcAddress(m, "Connect")));
    auto Disconnect =
        reinterpret_cast<TDisconnect>(reinterpret_cast<void*>(GetProcAddress(m, "Disconnect")));
    auto AnyFunction =
        reinterpret_cast<TAnyFunction>(reinterpret_cast<void*>(GetProcAddress(m, "AnyFunction")));
    auto Retries = reinterpret_cast<TRetries>(reinterpret_cast<void*>(GetProcAddress(m, "Retries")));

    tovik::testing::TestInstrument inst("");
    if (!inst.Ok()) {
        std::printf("instrument: %s\n", inst.Error().c_str());
        return 1;
    }
    if (!(Connect(inst.Com(), 19200, 0) & 0xFF)) {
        std::printf("Connect failed\n");
        return 1;
    }
    Retries(1);
    inst.Fault("long=20 func=0x41");
    uint8_t data[256];
    int failed = 0;
    double cpu0 = CpuSeconds(), t0 = Now();
    for (int i = 0; i < Requests; ++i) {
        const uint8_t request[7] = {0, 3, 0, 1, 0, static_cast<uint8_t>(i >> 8),
                                    static_cast<uint8_t>(i)};
        std::copy(request, request + 7, data);
        if (AnyFunction(1, 0x41, 7, data) != 0) ++failed;
    }
    double wall = (Now() - t0) / Requests * 1000, cpu = (CpuSeconds() - cpu0) / Requests;

    inst.ClearFaults();
    inst.Fault("silent");
    double s0 = Now();
    for (int i = 0; i < SilentAttempts; ++i)
        AnyFunction(1, 0x41, 7, data);
    double silent = (Now() - s0) / SilentAttempts * 1000;
    Disconnect();

    std::printf("LinkBench: %d archive requests (0x41, 11-byte frame, 20-byte reply) at 19200 bit/s\n",
                Requests);
    std::printf("  failed requests:           %d\n", failed);
    std::printf("  time per request:          %.2f ms\n", wall);
    std::printf("  floor (ByteTimeout + 1):   %.2f ms\n", FloorMs);
    std::printf("  ratio to the floor:        %.3f\n", wall / FloorMs);
    std::printf("  CPU per request:           %.5f s (%.2f %% of a core)\n", cpu, cpu * 1000 / wall * 100);
    std::printf("  no-answer time per attempt: %.1f ms (AnswerDelay 1000 + ByteTimeout 50)\n", silent);
    return failed ? 1 : 0;
}
