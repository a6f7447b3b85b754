// The four settings objects of the serial port, the error class and the event-mask mapping.
#include <windows.h>

#include "SerialPort.h"

// ---------------------------------------------------------------------------------------------
namespace {

const char* const ErrorTexts[23] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

// Mask bit of each event, in the order of TSerialEvent.
const uint32_t EventMaskBits[10] = {
    EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK,
    EV_CTS,    EV_DSR,     EV_ERR,    EV_RLSD, EV_RX80FULL,
};

const int32_t BaudRates[16] = {0,     110,   300,   600,   1200,   2400,   4800,   9600,
                               14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

}  // namespace

const char* SerialPortErrorText(int Code)
{
    return (Code >= 1 && Code <= 23) ? ErrorTexts[Code - 1] : "";
}

ESerialPort::ESerialPort(int APortErrorCode, int ASystemErrorCode)
    : Exception(Format("%s (win error code: %d)", SerialPortErrorText(APortErrorCode),
                       ASystemErrorCode)),
      FPortErrorCode(APortErrorCode), FSystemErrorCode(ASystemErrorCode)
{
}

ESerialPort::ESerialPort(int APortErrorCode)
    : Exception(SerialPortErrorText(APortErrorCode)), FPortErrorCode(APortErrorCode),
      FSystemErrorCode(-1)
{
}

uint32_t EventsToMask(TSerialEvents Events)
{
    uint32_t mask = 0;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (Events.Contains(static_cast<TSerialEvent>(e)))
            mask |= EventMaskBits[e];
    return mask;
}

TSerialEvents MaskToEvents(uint32_t Mask)
{
    TSerialEvents events;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (Mask & EventMaskBits[e])
            events.Include(static_cast<TSerialEvent>(e));
    return events;
}

int32_t BaudRateValue(TBaudRate Rate, int32_t Custom)
{
    if (Rate == brCustom)
        return Custom;
    unsigned i = static_cast<unsigned>(Rate);
    return i < 16 ? BaudRates[i] : Custom;
}

// ---------------------------------------------------------------------------------------------
void TSerialPersistent::AssignError(const TSerialPersistent& Source) const
{
    throw EConvertError(Format("Cannot assign a %s to a %s", Source.ClassName(), ClassName()));
}

// Shared shape of every value setter: an equal value does nothing, otherwise store and apply.
#define SERIAL_SETTER(Class, Name, Type)      \
    void Class::Set##Name(Type Value)         \
    {                                         \
        if (F##Name == Value)                 \
            return;                           \
        F##Name = Value;                      \
        Changed();                            \
    }

// ---------------------------------------------------------------------------------------------
void TSerialTimeouts::Changed()
{
    if (FOwnerPort)
        FOwnerPort->ApplyTimeoutSettings();
}

SERIAL_SETTER(TSerialTimeouts, ReadInterval, int32_t)
SERIAL_SETTER(TSerialTimeouts, ReadTotalMultiplier, int32_t)
SERIAL_SETTER(TSerialTimeouts, ReadTotalConstant, int32_t)
SERIAL_SETTER(TSerialTimeouts, WriteTotalMultiplier, int32_t)
SERIAL_SETTER(TSerialTimeouts, WriteTotalConstant, int32_t)

void TSerialTimeouts::CopyFrom(const TSerialPersistent& Source)
{
    auto* s = dynamic_cast<const TSerialTimeouts*>(&Source);
    if (!s)
        AssignError(Source);
    FReadInterval = s->FReadInterval;
    FReadTotalMultiplier = s->FReadTotalMultiplier;
    FReadTotalConstant = s->FReadTotalConstant;
    FWriteTotalMultiplier = s->FWriteTotalMultiplier;
    FWriteTotalConstant = s->FWriteTotalConstant;
}

// ---------------------------------------------------------------------------------------------
void TSerialFlowControl::Changed()
{
    if (FOwnerPort)
        FOwnerPort->ApplyLineSettings();
}

SERIAL_SETTER(TSerialFlowControl, OutCTSFlow, bool)
SERIAL_SETTER(TSerialFlowControl, OutDSRFlow, bool)
SERIAL_SETTER(TSerialFlowControl, ControlDTR, TDTRFlowControl)
SERIAL_SETTER(TSerialFlowControl, ControlRTS, TRTSFlowControl)
SERIAL_SETTER(TSerialFlowControl, XonXoffOut, bool)
SERIAL_SETTER(TSerialFlowControl, XonXoffIn, bool)
SERIAL_SETTER(TSerialFlowControl, DSRSensitivity, bool)
SERIAL_SETTER(TSerialFlowControl, TxContinueOnXoff, bool)
SERIAL_SETTER(TSerialFlowControl, XonChar, uint8_t)
SERIAL_SETTER(TSerialFlowControl, XoffChar, uint8_t)

TFlowControl TSerialFlowControl::FlowControl() const
{
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

void TSerialFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    Changed();
}

void TSerialFlowControl::CopyFrom(const TSerialPersistent& Source)
{
    auto* s = dynamic_cast<const TSerialFlowControl*>(&Source);
    if (!s)
        AssignError(Source);
    FOutCTSFlow = s->FOutCTSFlow;
    FOutDSRFlow = s->FOutDSRFlow;
    FControlDTR = s->FControlDTR;
    FControlRTS = s->FControlRTS;
    FXonXoffOut = s->FXonXoffOut;
    FXonXoffIn = s->FXonXoffIn;
    FDSRSensitivity = s->FDSRSensitivity;
    FTxContinueOnXoff = s->FTxContinueOnXoff;
    FXonChar = s->FXonChar;
    FXoffChar = s->FXoffChar;
}

// ---------------------------------------------------------------------------------------------
void TSerialParity::Changed()
{
    if (FOwnerPort)
        FOwnerPort->ApplyLineSettings();
}

SERIAL_SETTER(TSerialParity, Bits, TParityBits)
SERIAL_SETTER(TSerialParity, Check, bool)
SERIAL_SETTER(TSerialParity, Replace, bool)
SERIAL_SETTER(TSerialParity, ReplaceChar, uint8_t)

void TSerialParity::CopyFrom(const TSerialPersistent& Source)
{
    auto* s = dynamic_cast<const TSerialParity*>(&Source);
    if (!s)
        AssignError(Source);
    FBits = s->FBits;
    FCheck = s->FCheck;
    FReplace = s->FReplace;
    FReplaceChar = s->FReplaceChar;
}

// ---------------------------------------------------------------------------------------------
void TSerialBuffer::Changed()
{
    if (FOwnerPort)
        FOwnerPort->ApplyQueueSizes();
}

namespace {
// Drivers want even queue sizes.
int32_t EvenSize(int32_t v) { return (v > 0 && (v & 1)) ? v - 1 : v; }
}  // namespace

void TSerialBuffer::SetInputSize(int32_t Value)
{
    if (FInputSize == Value)
        return;
    FInputSize = EvenSize(Value);
    Changed();
}

void TSerialBuffer::SetOutputSize(int32_t Value)
{
    if (FOutputSize == Value)
        return;
    FOutputSize = EvenSize(Value);
    Changed();
}

void TSerialBuffer::CopyFrom(const TSerialPersistent& Source)
{
    auto* s = dynamic_cast<const TSerialBuffer*>(&Source);
    if (!s)
        AssignError(Source);
    FInputSize = s->FInputSize;
    FOutputSize = s->FOutputSize;
}
