// The serial port component: open and close, applying the settings, block transfers, lines.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "Cp1251.h"
#include "SerialPort.h"

struct TCustomSerialPort::TPendingTransfer {
    explicit TPendingTransfer(bool write) : IsWrite(write)
    {
        std::memset(&Overlapped, 0, sizeof(Overlapped));
        Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    ~TPendingTransfer()
    {
        if (Overlapped.hEvent)
            CloseHandle(Overlapped.hEvent);
    }
    TPendingTransfer(const TPendingTransfer&) = delete;
    TPendingTransfer& operator=(const TPendingTransfer&) = delete;

    OVERLAPPED Overlapped;
    bool IsWrite;
    std::vector<uint8_t> Data;  // private copy of a write
};

TCustomSerialPort::TCustomSerialPort(TComponent* AOwner)
    : TComponent(AOwner), FHandle(INVALID_HANDLE_VALUE)
{
    FParity = new TSerialParity;
    FParity->SetOwnerPort(this);
    FFlowControl = new TSerialFlowControl;
    FFlowControl->SetOwnerPort(this);
    FTimeouts = new TSerialTimeouts;
    FTimeouts->SetOwnerPort(this);
    FBuffer = new TSerialBuffer;
    FBuffer->SetOwnerPort(this);
}

TCustomSerialPort::~TCustomSerialPort()
{
    try {
        ClosePort();
    } catch (...) {
        // A destructor cannot report: release what is left without the refused step.
        if (FThread)
            StopWatcher();
        DestroyNotifyWindow();
        CloseDeviceHandle();
        FConnected = false;
    }
    delete FBuffer;
    delete FFlowControl;
    delete FTimeouts;
    delete FParity;
}

void TCustomSerialPort::Notify(const std::function<void(TSerialPortListener&)>& Each)
{
    if (FListeners.empty())
        return;
    std::vector<TSerialPortListener*> copy = FListeners;
    for (TSerialPortListener* l : copy)
        Each(*l);
}

void TCustomSerialPort::AddListener(TSerialPortListener* Listener)
{
    if (Listener)
        FListeners.push_back(Listener);
}

void TCustomSerialPort::RemoveListener(TSerialPortListener* Listener)
{
    for (auto it = FListeners.begin(); it != FListeners.end(); ++it)
        if (*it == Listener) {
            FListeners.erase(it);
            return;
        }
}

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::OpenDeviceHandle()
{
    std::string name = "\\\\.\\" + FPort;
    HANDLE h = CreateFileW(ToWide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw ESerialPort(1, static_cast<int>(GetLastError()));
    FHandle = h;
}

void TCustomSerialPort::CloseDeviceHandle()
{
    if (FHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }
}

void TCustomSerialPort::OpenPort()
{
    if (FHandle != INVALID_HANDLE_VALUE)
        return;
    EmitBeforeOpen();
    OpenDeviceHandle();
    FConnected = true;
    try {
        ApplyPortSettings();
        if (!FEvents.Empty()) {
            if (FSyncMethod == smWindowSync)
                CreateNotifyWindow();
            StartWatcher();
        }
    } catch (...) {
        // A failed open leaves no thread, window or handle behind.
        if (FThread)
            StopWatcher();
        DestroyNotifyWindow();
        CloseDeviceHandle();
        FConnected = false;
        throw;
    }
    DoAfterOpen();
}

void TCustomSerialPort::ClosePort()
{
    if (FHandle == INVALID_HANDLE_VALUE)
        return;
    DoBeforeClose();
    if (!PurgeComm(FHandle, PURGE_TXABORT | PURGE_RXABORT))
        throw ESerialPort(5, static_cast<int>(GetLastError()));
    if (FThread)
        StopWatcher();
    DestroyNotifyWindow();
    CloseDeviceHandle();
    FConnected = false;
    DoAfterClose();
}

void TCustomSerialPort::SetConnected(bool Value)
{
    if (InState(csDesigning | csLoading)) {
        FConnected = Value;
        return;
    }
    if (Value)
        OpenPort();
    else
        ClosePort();
}

void TCustomSerialPort::Loaded()
{
    TComponent::Loaded();
    if (FConnected && !InState(csDesigning)) {
        FConnected = false;
        try {
            OpenPort();
        } catch (...) {
            ApplicationHandleException(std::current_exception());
        }
    }
}

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::ApplyPortSettings()
{
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomSerialPort::BuildDCB(_DCB& Dcb) const
{
    DCB& d = Dcb;
    std::memset(&d, 0, sizeof(d));
    d.DCBlength = sizeof(DCB);
    d.BaudRate = static_cast<DWORD>(BaudRateValue(FBaudRate, FCustomBaudRate));
    const bool errorChar = FParity->Check() && FParity->Replace();
    d.fBinary = 1;
    d.fParity = FParity->Check();
    d.fOutxCtsFlow = FFlowControl->OutCTSFlow();
    d.fOutxDsrFlow = FFlowControl->OutDSRFlow();
    d.fDtrControl = static_cast<DWORD>(FFlowControl->ControlDTR());
    d.fDsrSensitivity = FFlowControl->DSRSensitivity();
    d.fTXContinueOnXoff = FFlowControl->TxContinueOnXoff();
    d.fOutX = FFlowControl->XonXoffOut();
    d.fInX = FFlowControl->XonXoffIn();
    d.fErrorChar = errorChar;
    d.fNull = FDiscardNull;
    d.fRtsControl = static_cast<DWORD>(FFlowControl->ControlRTS());
    d.fAbortOnError = 0;
    d.XonLim = static_cast<WORD>(FBuffer->InputSize() / 4);
    d.XoffLim = static_cast<WORD>(FBuffer->InputSize() / 4);
    d.ByteSize = static_cast<BYTE>(5 + static_cast<int>(FDataBits));
    d.Parity = static_cast<BYTE>(FParity->Bits());
    d.StopBits = static_cast<BYTE>(FStopBits);
    d.XonChar = static_cast<char>(FFlowControl->XonChar());
    d.XoffChar = static_cast<char>(FFlowControl->XoffChar());
    d.ErrorChar = errorChar ? static_cast<char>(FParity->ReplaceChar()) : 0;
    d.EofChar = 0;
    d.EvtChar = static_cast<char>(FEventChar);
}

void TCustomSerialPort::BuildTimeouts(_COMMTIMEOUTS& Timeouts) const
{
    COMMTIMEOUTS& t = Timeouts;
    t.ReadIntervalTimeout = static_cast<DWORD>(FTimeouts->ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->WriteTotalConstant());
}

void TCustomSerialPort::ApplyLineSettings()
{
    if (FHandle == INVALID_HANDLE_VALUE || InState(csLoading))
        return;
    DCB d;
    BuildDCB(d);
    if (!SetCommState(FHandle, &d))
        throw ESerialPort(7, static_cast<int>(GetLastError()));
}

void TCustomSerialPort::ApplyTimeoutSettings()
{
    if (FHandle == INVALID_HANDLE_VALUE || InState(csLoading))
        return;
    COMMTIMEOUTS t;
    BuildTimeouts(t);
    if (!SetCommTimeouts(FHandle, &t))
        throw ESerialPort(8, static_cast<int>(GetLastError()));
}

void TCustomSerialPort::ApplyQueueSizes()
{
    if (FHandle == INVALID_HANDLE_VALUE || InState(csLoading))
        return;
    if (!SetupComm(FHandle, static_cast<DWORD>(FBuffer->InputSize()),
                   static_cast<DWORD>(FBuffer->OutputSize())))
        throw ESerialPort(9, static_cast<int>(GetLastError()));
}

// ---------------------------------------------------------------------------------------------
int32_t TCustomSerialPort::BytesAvailable()
{
    DWORD errors = 0;
    COMSTAT stat;
    std::memset(&stat, 0, sizeof(stat));
    if (!ClearCommError(FHandle, &errors, &stat))
        throw ESerialPort(10, static_cast<int>(GetLastError()));
    return static_cast<int32_t>(stat.cbInQue);
}

TSerialSignals TCustomSerialPort::ModemSignals()
{
    DWORD status = 0;
    if (!GetCommModemStatus(FHandle, &status))
        throw ESerialPort(11, static_cast<int>(GetLastError()));
    return TSerialSignals::FromBits((status >> 4) & 0xF);
}

void TCustomSerialPort::SetRTSLine(bool On)
{
    if (!EscapeCommFunction(FHandle, On ? SETRTS : CLRRTS))
        throw ESerialPort(12, static_cast<int>(GetLastError()));
}

void TCustomSerialPort::PurgeQueues(bool Input, bool Output)
{
    DWORD flags = (Input ? PURGE_RXCLEAR : 0) | (Output ? PURGE_TXCLEAR : 0);
    if (!PurgeComm(FHandle, flags))
        throw ESerialPort(5, static_cast<int>(GetLastError()));
}

TSerialErrors TCustomSerialPort::TakeLineErrors()
{
    DWORD errors = 0;
    COMSTAT stat;
    if (!ClearCommError(FHandle, &errors, &stat))
        throw ESerialPort(10, static_cast<int>(GetLastError()));
    TSerialErrors result;
    if (errors & CE_FRAME)
        result.Include(seFrame);
    if ((errors & CE_RXPARITY) && FParity->Check())
        result.Include(seParity);
    if (errors & CE_OVERRUN)
        result.Include(seOverrun);
    if (errors & CE_BREAK)
        result.Include(seBreak);
    if (errors & CE_IOE)
        result.Include(seIO);
    if (errors & CE_MODE)
        result.Include(seMode);
    if (errors & CE_RXOVER)
        result.Include(seRxOver);
    if (errors & CE_TXFULL)
        result.Include(seTxFull);
    return result;
}

// When a transfer of Count bytes must have ended by the time-outs, with room for a busy machine;
// INFINITE where they set no end (a read without a total time-out waits for its bytes).
uint32_t TCustomSerialPort::TransferLimit(bool Write, uint32_t Count) const
{
    const uint64_t slack = 5000;
    auto total = [&](DWORD multiplier, DWORD constant) -> uint64_t {
        return static_cast<uint64_t>(multiplier) * Count + constant + slack;
    };
    uint64_t limit = INFINITE;
    if (Write) {
        const auto mult = static_cast<DWORD>(FTimeouts->WriteTotalMultiplier());
        const auto constant = static_cast<DWORD>(FTimeouts->WriteTotalConstant());
        if (mult || constant) limit = total(mult, constant);
    } else {
        const auto interval = static_cast<DWORD>(FTimeouts->ReadInterval());
        const auto mult = static_cast<DWORD>(FTimeouts->ReadTotalMultiplier());
        const auto constant = static_cast<DWORD>(FTimeouts->ReadTotalConstant());
        if (interval == MAXDWORD && mult == 0 && constant == 0)
            limit = slack;  // at once with what is queued
        else if (interval == MAXDWORD && mult == MAXDWORD && constant != 0 && constant != MAXDWORD)
            limit = constant + slack;  // at once with what is queued, else at the first byte or the constant
        else if (mult || constant)
            limit = total(mult, constant);
    }
    return static_cast<uint32_t>(std::min<uint64_t>(limit, INFINITE));
}

// Waits for a started transfer and takes its count; failures raise ErrorCode.
void TCustomSerialPort::WaitTransfer(TPendingTransfer& Transfer, uint32_t Count, int ErrorCode, uint32_t& Done)
{
    DWORD n = 0;
    DWORD waited = WaitForSingleObject(Transfer.Overlapped.hEvent, TransferLimit(Transfer.IsWrite, Count));
    if (waited == WAIT_TIMEOUT) {
        // Past the end its time-outs set, and the platform still holds it (Wine leaves a read that
        // is to come back at once pending for as long as nothing arrives): it ends here with what
        // it did, as the time-out would have ended it. The block stays until the cancel is done.
        CancelIo(FHandle);
        if (WaitForSingleObject(Transfer.Overlapped.hEvent, INFINITE) == WAIT_FAILED)
            throw ESerialPort(ErrorCode, static_cast<int>(GetLastError()));
        GetOverlappedResult(FHandle, &Transfer.Overlapped, &n, FALSE);  // cancelled: n is what was done
        Done = n;
        return;
    }
    if (waited == WAIT_FAILED || !GetOverlappedResult(FHandle, &Transfer.Overlapped, &n, FALSE))
        throw ESerialPort(ErrorCode, static_cast<int>(GetLastError()));
    Done = n;
}

int32_t TCustomSerialPort::WriteBlock(const void* Buffer, int32_t Count)
{
    // A negative count or a missing buffer would have the device read unowned memory.
    if (Count < 0 || (Count > 0 && !Buffer))
        throw ESerialPort(2, ERROR_INVALID_PARAMETER);
    TPendingTransfer t(true);
    if (!t.Overlapped.hEvent)
        throw ESerialPort(2, static_cast<int>(GetLastError()));
    const auto* bytes = static_cast<const uint8_t*>(Buffer);
    t.Data.assign(bytes, bytes + Count);
    DWORD started = 0;
    if (!WriteFile(FHandle, Buffer, static_cast<DWORD>(Count), &started, &t.Overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        throw ESerialPort(2, static_cast<int>(GetLastError()));
    Notify([](TSerialPortListener& l) {
        if (l.TransmissionActive)
            l.TransmissionActive(true);
    });
    uint32_t done = 0;
    WaitTransfer(t, static_cast<uint32_t>(Count), 2, done);
    Notify([&](TSerialPortListener& l) {
        if (l.DataTransmitted)
            l.DataTransmitted(t.Data.data(), static_cast<int32_t>(t.Data.size()));
    });
    return static_cast<int32_t>(done);
}

int32_t TCustomSerialPort::ReadBlock(void* Buffer, int32_t Count)
{
    if (Count < 0 || (Count > 0 && !Buffer))
        throw ESerialPort(3, ERROR_INVALID_PARAMETER);
    // With these time-outs a read returns at once with what is queued. Some drivers queue a read
    // that finds nothing instead of completing it with 0 bytes, which would wait for the next
    // byte: so nothing queued is answered here.
    if (Count > 0 && FTimeouts->ReadInterval() == -1 && FTimeouts->ReadTotalMultiplier() == 0 &&
        FTimeouts->ReadTotalConstant() == 0) {
        DWORD errors = 0;
        COMSTAT stat;
        if (!ClearCommError(FHandle, &errors, &stat))
            throw ESerialPort(3, static_cast<int>(GetLastError()));
        if (stat.cbInQue == 0) {
            // Still a completed read that leaves the queue empty, as far as listeners can tell.
            Notify([](TSerialPortListener& l) {
                if (l.ReceptionActive)
                    l.ReceptionActive(false);
            });
            return 0;
        }
    }
    TPendingTransfer t(false);
    if (!t.Overlapped.hEvent)
        throw ESerialPort(3, static_cast<int>(GetLastError()));
    DWORD started = 0;
    if (!ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &started, &t.Overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        throw ESerialPort(3, static_cast<int>(GetLastError()));
    uint32_t done = 0;
    WaitTransfer(t, static_cast<uint32_t>(Count), 3, done);
    // The queue is only looked at when someone listens for it.
    if (!FListeners.empty() && BytesAvailable() == 0)
        Notify([](TSerialPortListener& l) {
            if (l.ReceptionActive)
                l.ReceptionActive(false);
        });
    return static_cast<int32_t>(done);
}

// ---------------------------------------------------------------------------------------------
// Property setters.
#define PORT_LINE_SETTER(Name, Type)                 \
    void TCustomSerialPort::Set##Name(Type Value)    \
    {                                                \
        if (F##Name == Value)                        \
            return;                                  \
        F##Name = Value;                             \
        ApplyLineSettings();                         \
    }

PORT_LINE_SETTER(BaudRate, TBaudRate)
PORT_LINE_SETTER(CustomBaudRate, int32_t)
PORT_LINE_SETTER(DataBits, TDataBits)
PORT_LINE_SETTER(DiscardNull, bool)
PORT_LINE_SETTER(EventChar, uint8_t)
PORT_LINE_SETTER(StopBits, TStopBits)

void TCustomSerialPort::SetPort(const std::string& Value)
{
    if (FPort == Value)
        return;
    FPort = Value;
    if (FHandle != INVALID_HANDLE_VALUE && !InState(csDesigning | csLoading)) {
        ClosePort();
        OpenPort();
    }
}

void TCustomSerialPort::SetSyncMethod(TSyncMethod Value)
{
    if (FSyncMethod == Value)
        return;
    if (FHandle != INVALID_HANDLE_VALUE && !InState(csDesigning | csLoading))
        throw ESerialPort(14);
    FSyncMethod = Value;
}

void TCustomSerialPort::SetParity(const TSerialParity& Value)
{
    FParity->CopyFrom(Value);
    ApplyLineSettings();
}

void TCustomSerialPort::SetFlowControl(const TSerialFlowControl& Value)
{
    FFlowControl->CopyFrom(Value);
    ApplyLineSettings();
}

void TCustomSerialPort::SetTimeouts(const TSerialTimeouts& Value)
{
    FTimeouts->CopyFrom(Value);
    ApplyTimeoutSettings();
}

void TCustomSerialPort::SetBuffer(const TSerialBuffer& Value)
{
    FBuffer->CopyFrom(Value);
    ApplyQueueSizes();
}
