// Ravelport.dll: a Modbus RTU master on one serial port behind nine stdcall exports (and the
// fetch of a kept failure message). Names and ordinals come from Ravelport.def alone.
//
// No C++ exception leaves an export. A failure of the serial port during a request returns
// LinkPortFailure (-1, none of the link result codes) and keeps the port component's message,
// which the caller fetches with GetErrorMessage and raises as its own exception. The link object
// stays in the slot and its port stays open.
#include <algorithm>
#include <cstring>
#include <string>

#include "ComPortObjectU.h"
#include "SysUtils.h"

namespace {

constexpr int LinkPortFailure = -1;

TComPortObject* LinkSlot = nullptr;
std::string FailureMessage;

template <class F>
int Request(F Body)
{
    // No link object: a nonzero code, and the caller's buffer stays untouched.
    if (!LinkSlot) return LinkNoReply;
    FailureMessage.clear();
    try {
        return Body(*LinkSlot);
    } catch (const Exception& e) {
        FailureMessage = e.Message();
    } catch (const std::exception& e) {
        FailureMessage = e.what();
    } catch (...) {
        FailureMessage = "Unknown error";
    }
    return LinkPortFailure;
}

uint8_t SpeedIndex(int Baud)
{
    switch (Baud) {
    case 1200: return 0;
    case 2400: return 1;
    case 4800: return 2;
    case 9600: return 3;
    default: return 4;
    }
}

}  // namespace

extern "C" {

int __stdcall Disconnect()
{
    if (LinkSlot) {
        TComPortObject* link = LinkSlot;
        LinkSlot = nullptr;
        link->CloseLink();
        try {
            delete link;
        } catch (...) {
        }
    }
    return 1;
}

int __stdcall Connect(int PortNumber, int Baud, int FlowControl)
{
    // A second Connect must not leave the old port handle open.
    Disconnect();
    FailureMessage.clear();
    try {
        LinkSlot = new TComPortObject;
        LinkSlot->SetPortName("COM" + IntToStr(PortNumber));
        LinkSlot->SetSpeed(SpeedIndex(Baud));
        LinkSlot->SetByteTimeout(50);
        LinkSlot->SetAnswerDelay(1000);
        LinkSlot->SetFlowControl(static_cast<uint8_t>(FlowControl));
        if (LinkSlot->OpenLink()) return 1;
    } catch (...) {
    }
    Disconnect();
    return 0;
}

int __stdcall Test()
{
    return 56;
}

int __stdcall GetDevName(int Addr, uint8_t* Name, int NameMax)
{
    return Request([&](TComPortObject& link) {
        std::string s;
        int status = link.ReportSlaveId(Addr, s, 255);
        if (status != LinkOk) s.clear();
        s.resize(std::min<size_t>(s.size(), std::clamp(NameMax, 0, 255)));
        if (Name) {
            Name[0] = static_cast<uint8_t>(s.size());
            std::memcpy(Name + 1, s.data(), s.size());
        }
        return status;
    });
}

int __stdcall ReadInputRegister(int Addr, int StartReg, int Count, int ValueType, uint8_t* Data)
{
    return Request([&](TComPortObject& link) {
        return link.ReadRegisters(Addr, StartReg, Count, ValueType, Data, false);
    });
}

int __stdcall ReadHoldingRegister(int Addr, int StartReg, int Count, int ValueType, uint8_t* Data)
{
    return Request([&](TComPortObject& link) {
        return link.ReadRegisters(Addr, StartReg, Count, ValueType, Data, true);
    });
}

int __stdcall WriteRegister(int Addr, int StartReg, int Count, int ValueType, uint8_t* Data)
{
    return Request([&](TComPortObject& link) {
        return link.WriteRegisters(Addr, StartReg, Count, ValueType, Data);
    });
}

int __stdcall AnyFunction(int Addr, int Func, int Len, uint8_t* Data)
{
    return Request(
        [&](TComPortObject& link) { return link.SendAnyFunction(Addr, Func, Len, Data); });
}

void __stdcall Retries(int N)
{
    if (LinkSlot) LinkSlot->SetRetries(N);
}

// The message of the last request that ended in LinkPortFailure, as a zero-terminated cp1251
// text cut to Size - 1 characters; returns its full length (0: none). Buffer may be null.
int __stdcall GetErrorMessage(char* Buffer, int Size)
{
    if (Buffer && Size > 0) {
        size_t n = std::min<size_t>(FailureMessage.size(), static_cast<size_t>(Size - 1));
        std::memcpy(Buffer, FailureMessage.data(), n);
        Buffer[n] = 0;
    }
    return static_cast<int>(FailureMessage.size());
}

}  // extern "C"
