// Ravelport.dll as its caller sees it: loaded with LoadLibraryA and bound by name, in the order
// the program binds it, plus the libmodbus peer on a socat pseudo-terminal pair.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../testing/win/TestFiles.h"

namespace ravelport_test {

constexpr int LinkPortFailure = -1;

struct Ravelport {
    using TConnect = int(__stdcall*)(int, int, int);
    using TNoArgs = int(__stdcall*)();
    using TGetDevName = int(__stdcall*)(int, uint8_t*, int);
    using TRegisters = int(__stdcall*)(int, int, int, int, uint8_t*);
    using TAnyFunction = int(__stdcall*)(int, int, int, uint8_t*);
    using TRetries = void(__stdcall*)(int);
    using TGetErrorMessage = int(__stdcall*)(char*, int);

    HMODULE Module = nullptr;
    TConnect Connect = nullptr;
    TNoArgs Disconnect = nullptr;
    TGetDevName GetDevName = nullptr;
    TNoArgs Test = nullptr;
    TRegisters ReadInputRegister = nullptr;
    TRegisters ReadHoldingRegister = nullptr;
    TRegisters WriteRegister = nullptr;
    TAnyFunction AnyFunction = nullptr;
    TRetries Retries = nullptr;
    TGetErrorMessage GetErrorMessage = nullptr;

    // The one instance of this process (the library keeps one link slot per process).
    static Ravelport& Get();
    bool Ok() const;
    std::string LastMessage() const;
    // The Boolean results are one byte: only the low byte counts.
    bool ConnectOk(int Port, int Baud, int FlowControl) const
    {
        return (Connect(Port, Baud, FlowControl) & 0xFF) != 0;
    }
};

// Unix path of the build's Windows file name (Z:\x\y -> /x/y) and back.
using tovik::testing::WinPath;

// A length-prefixed name buffer as text.
inline std::string NameText(const uint8_t* name)
{
    return std::string(reinterpret_cast<const char*>(name) + 1, name[0]);
}

// libmodbus RTU server (testing/modbuspeer) on its own COM number, ended with the object.
class ModbusPeer {
public:
    explicit ModbusPeer(int slave);
    ~ModbusPeer();
    bool Ok() const { return FCom > 0; }
    const std::string& Error() const { return FError; }
    int Com() const { return FCom; }
    // One control line; the reply line without its end.
    std::string Command(const std::string& line);
    int Register(char kind, int addr);

private:
    SOCKET FSocket = INVALID_SOCKET;
    int FCom = 0;
    std::string FError;
    std::string FReady;
};

}  // namespace ravelport_test
