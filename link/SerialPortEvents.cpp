// Event side of the serial port: the watcher thread, the three ways of delivering its events,
// the processing of each event, and the notify window of smWindowSync.
#include <windows.h>

#include <cstring>

#include "SerialPort.h"

namespace {

// Order in which the events of one set are processed.
const TSerialEvent ProcessingOrder[10] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                          evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

const char NotifyClassName[] = "TSerialPortNotifyWindow";

LRESULT CALLBACK NotifyWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    if (Msg != WM_SERIALPORT_EVENT)
        return DefWindowProcA(Wnd, Msg, WParam, LParam);
    // Release the watcher at once: it must not wait while the handlers run.
    if (InSendMessage())
        ReplyMessage(0);
    auto* port = reinterpret_cast<TCustomSerialPort*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    if (port && port->DeviceHandle() != INVALID_HANDLE_VALUE) {
        try {
            port->ProcessEvents(MaskToEvents(static_cast<uint32_t>(WParam)));
        } catch (...) {
            ApplicationHandleException(std::current_exception());
        }
    }
    return 0;
}

ATOM RegisterNotifyClass()
{
    static ATOM atom = [] {
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = NotifyWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = NotifyClassName;
        ATOM a = RegisterClassA(&wc);
        if (!a && GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
            a = 1;
        return a;
    }();
    return atom;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::EmitAfterClose()
{
    if (OnAfterClose)
        OnAfterClose(this);
}
void TCustomSerialPort::EmitAfterOpen()
{
    if (OnAfterOpen)
        OnAfterOpen(this);
}
void TCustomSerialPort::EmitBeforeClose()
{
    if (OnBeforeClose)
        OnBeforeClose(this);
}
void TCustomSerialPort::EmitBeforeOpen()
{
    if (OnBeforeOpen)
        OnBeforeOpen(this);
}
void TCustomSerialPort::EmitRxChar(int32_t Count)
{
    if (OnRxChar)
        OnRxChar(this, Count);
}
void TCustomSerialPort::EmitRxBuf(const void* Buffer, int32_t Count)
{
    if (OnRxBuf)
        OnRxBuf(this, Buffer, Count);
}
void TCustomSerialPort::EmitTxEmpty()
{
    if (OnTxEmpty)
        OnTxEmpty(this);
}
void TCustomSerialPort::EmitBreak()
{
    if (OnBreak)
        OnBreak(this);
}
void TCustomSerialPort::EmitRing()
{
    if (OnRing)
        OnRing(this);
}
void TCustomSerialPort::EmitRxFlag()
{
    if (OnRxFlag)
        OnRxFlag(this);
}
void TCustomSerialPort::EmitCTSChange(bool OnOff)
{
    if (OnCTSChange)
        OnCTSChange(this, OnOff);
}
void TCustomSerialPort::EmitDSRChange(bool OnOff)
{
    if (OnDSRChange)
        OnDSRChange(this, OnOff);
}
void TCustomSerialPort::EmitError(TSerialErrors Errors)
{
    if (OnError)
        OnError(this, Errors);
}
void TCustomSerialPort::EmitRLSDChange(bool OnOff)
{
    if (OnRLSDChange)
        OnRLSDChange(this, OnOff);
}
void TCustomSerialPort::EmitRx80Full()
{
    if (OnRx80Full)
        OnRx80Full(this);
}

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::ProcessEvents(TSerialEvents Events)
{
    for (TSerialEvent e : ProcessingOrder)
        if (Events.Contains(e))
            ProcessEvent(e);
}

void TCustomSerialPort::ProcessEvent(TSerialEvent Event)
{
    switch (Event) {
    case evRxChar: {
        int32_t count = BytesAvailable();
        if (count > 0) {
            Notify([](TSerialPortListener& l) {
                if (l.ReceptionActive)
                    l.ReceptionActive(true);
            });
            EmitRxChar(count);
        }
        break;
    }
    case evTxEmpty:
        Notify([](TSerialPortListener& l) {
            if (l.TransmissionActive)
                l.TransmissionActive(false);
            if (l.TxEmpty)
                l.TxEmpty();
        });
        EmitTxEmpty();
        break;
    case evRxFlag:
        Notify([](TSerialPortListener& l) {
            if (l.RxFlag)
                l.RxFlag();
        });
        EmitRxFlag();
        break;
    case evRing:
        Notify([](TSerialPortListener& l) {
            if (l.Ring)
                l.Ring();
        });
        EmitRing();
        break;
    case evBreak:
        EmitBreak();
        break;
    case evCTS: {
        bool on = ModemSignals().Contains(ssCTS);
        Notify([on](TSerialPortListener& l) {
            if (l.CTSChanged)
                l.CTSChanged(on);
        });
        EmitCTSChange(on);
        break;
    }
    case evDSR: {
        bool on = ModemSignals().Contains(ssDSR);
        Notify([on](TSerialPortListener& l) {
            if (l.DSRChanged)
                l.DSRChanged(on);
        });
        EmitDSRChange(on);
        break;
    }
    case evRLSD: {
        bool on = ModemSignals().Contains(ssRLSD);
        Notify([on](TSerialPortListener& l) {
            if (l.RLSDChanged)
                l.RLSDChanged(on);
        });
        EmitRLSDChange(on);
        break;
    }
    case evError: {
        TSerialErrors errors = TakeLineErrors();
        if (!errors.Empty())
            EmitError(errors);
        break;
    }
    case evRx80Full:
        EmitRx80Full();
        break;
    }
}

void TCustomSerialPort::DoAfterOpen()
{
    Notify([](TSerialPortListener& l) {
        if (l.ConnectionChanged)
            l.ConnectionChanged(true);
    });
    EmitAfterOpen();
    ProcessEvent(evCTS);
    ProcessEvent(evDSR);
    ProcessEvent(evRLSD);
}

void TCustomSerialPort::DoBeforeClose()
{
    Notify([](TSerialPortListener& l) {
        if (l.CTSChanged)
            l.CTSChanged(false);
        if (l.DSRChanged)
            l.DSRChanged(false);
        if (l.RLSDChanged)
            l.RLSDChanged(false);
    });
    EmitCTSChange(false);
    EmitDSRChange(false);
    EmitRLSDChange(false);
    EmitBeforeClose();
}

void TCustomSerialPort::DoAfterClose()
{
    Notify([](TSerialPortListener& l) {
        if (l.ConnectionChanged)
            l.ConnectionChanged(false);
    });
    EmitAfterClose();
}

// ---------------------------------------------------------------------------------------------
void TCustomSerialPort::CreateNotifyWindow()
{
    if (FNotifyWindow)
        return;
    if (!RegisterNotifyClass())
        throw ESerialPort(1, static_cast<int>(GetLastError()));
    HWND w = CreateWindowExA(0, NotifyClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!w)
        throw ESerialPort(1, static_cast<int>(GetLastError()));
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FNotifyWindow = w;
}

void TCustomSerialPort::DestroyNotifyWindow()
{
    if (!FNotifyWindow)
        return;
    HWND w = static_cast<HWND>(FNotifyWindow);
    FNotifyWindow = nullptr;
    SetWindowLongPtrA(w, GWLP_USERDATA, 0);
    DestroyWindow(w);
}

void TCustomSerialPort::StartWatcher()
{
    FThread = new TSerialThread(this);
    FThread->SetPriority(FThreadPriority);
    SetCommMask(FHandle, EventsToMask(FEvents));
    FThread->Start();
}

void TCustomSerialPort::StopWatcher()
{
    TSerialThread* t = FThread;
    t->Stop();
    Sleep(0);
    t->Terminate();
    // Runs what the watcher hands over meanwhile, so a watcher blocked in a hand-over gets free.
    t->WaitFor();
    FThread = nullptr;
    delete t;
}

// ---------------------------------------------------------------------------------------------
TSerialThread::TSerialThread(TCustomSerialPort* Owner)
    : TThread(true), FComPort(Owner), FStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (!FStopEvent)
        throw ESerialPort(1, static_cast<int>(GetLastError()));
}

TSerialThread::~TSerialThread()
{
    Stop();
    Terminate();
    WaitFor();
    CloseHandle(FStopEvent);
}

void TSerialThread::Stop() { SetEvent(FStopEvent); }

void TSerialThread::Execute()
{
    HANDLE device = FComPort->DeviceHandle();
    // On the heap: should a cancelled wait never complete, the block must outlive this call.
    auto* ov = new OVERLAPPED;
    std::memset(ov, 0, sizeof(*ov));
    ov->hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!ov->hEvent) {
        delete ov;
        return;
    }
    bool pending = false;
    auto finish = [&] {
        SetCommMask(device, 0);
        if (pending) {
            // The device still holds the block: end the wait before the block goes away.
            CancelIo(device);
            if (WaitForSingleObject(ov->hEvent, 5000) != WAIT_OBJECT_0)
                return;  // leak rather than free memory the driver may still write
        }
        PurgeComm(device, PURGE_TXCLEAR | PURGE_RXCLEAR);
        CloseHandle(ov->hEvent);
        delete ov;
    };
    HANDLE waits[2] = {FStopEvent, ov->hEvent};
    DWORD mask = 0;
    try {
        for (;;) {
            mask = 0;
            if (!WaitCommEvent(device, &mask, ov) && GetLastError() != ERROR_IO_PENDING) {
                // The device refused the wait: try again later rather than spin.
                if (WaitForSingleObject(FStopEvent, 50) != WAIT_TIMEOUT)
                    break;
                continue;
            }
            pending = true;
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
                break;
            pending = false;
            DWORD unused = 0;
            if (GetOverlappedResult(device, ov, &unused, FALSE)) {
                FEvents = MaskToEvents(mask);
                Deliver();
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TSerialThread::Deliver()
{
    switch (FComPort->SyncMethod()) {
    case smThreadSync:
        Synchronize([this] { FComPort->ProcessEvents(FEvents); });
        break;
    case smNone:
        FComPort->ProcessEvents(FEvents);
        break;
    case smWindowSync: {
        HWND w = static_cast<HWND>(FComPort->NotifyWindow());
        for (TSerialEvent e : ProcessingOrder)
            if (FEvents.Contains(e) && w)
                SendMessageA(w, WM_SERIALPORT_EVENT, EventsToMask(TSerialEvents{e}), 0);
        break;
    }
    }
}
