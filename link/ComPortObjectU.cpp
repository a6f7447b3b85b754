// The link object: port opening, one reply with its two time-outs, RS-485 direction control
// around each send, the calibrated busy wait, and the transaction with its attempts.
#include "ComPortObjectU.h"

#include <windows.h>

#include <algorithm>

#include "SerialPort.h"

const int SpeedBitRates[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const int SpeedHoldMs[8] = {33, 17, 9, 5, 3, 2, 1, 1};
static const TBaudRate SpeedRates[8] = {br1200,  br2400,  br4800,  br9600,
                                        br19200, br38400, br57600, br115200};

TComPortObject::TComPortObject()
{
    Calibrate();
    Port = new TSerialPort(nullptr);
}

TComPortObject::~TComPortObject()
{
    delete Port;
}

void TComPortObject::SetPortName(const std::string& Name)
{
    Port->SetPort(Name);
}

void TComPortObject::Calibrate()
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000)
        ++LoopsPerSecond;
}

void TComPortObject::BusyDelay(int Ms)
{
    LARGE_INTEGER freq, begin, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&begin);
    auto n = static_cast<uint32_t>(static_cast<uint32_t>(Ms) / 1000.0 * LoopsPerSecond);
    volatile DWORD sink;
    for (uint32_t i = 0; i <= n; ++i)
        sink = GetTickCount();
    (void)sink;
    // The loop count rests on a calibration that a busy machine may have cut short; the hold
    // before RTS drops must never be shorter than asked, so top it up against a real clock.
    LONGLONG want = static_cast<LONGLONG>(static_cast<uint32_t>(Ms)) * freq.QuadPart / 1000;
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - begin.QuadPart < want);
}

bool TComPortObject::OpenLink()
{
    try {
        if (Speed > 7) return false;
        Port->SetBaudRate(SpeedRates[Speed]);
    } catch (...) {
        return false;
    }
    try {
        Port->OpenPort();
        Port->SetRTSLine(true);
    } catch (...) {
        CloseLink();
        return false;
    }
    return true;
}

void TComPortObject::CloseLink()
{
    try {
        Port->ClosePort();
    } catch (...) {
    }
}

int TComPortObject::ByteLoopLimit() const
{
    int bps = SpeedBitRates[std::min<int>(Speed, 7)];
    return (2 * 256 * 11 * 1000 + bps - 1) / bps + std::max(ByteTimeout, 0);
}

void TComPortObject::ReceiveReply(TArrayByte& ABuf)
{
    ABuf.clear();
    FReplyBroken = false;
    DWORD t0 = GetTickCount();
    if (!Port->Connected()) {
        ABuf.assign(1, 0);
        return;
    }
    ABuf.assign(256, 0);
    while (Port->BytesAvailable() == 0) {
        if (AnswerDelay < 0 || GetTickCount() - t0 >= static_cast<DWORD>(AnswerDelay)) break;
        Sleep(1);
    }
    DWORD t1 = GetTickCount();
    DWORD limit = static_cast<DWORD>(ByteLoopLimit());
    DWORD silence = static_cast<DWORD>(std::max(ByteTimeout, 0));
    for (;;) {
        int32_t waiting = Port->BytesAvailable();
        if (waiting == 0) {
            Sleep(silence);
            waiting = Port->BytesAvailable();
            if (waiting == 0) break;
        }
        // A line that never falls silent must not hold the caller.
        if (GetTickCount() - t1 >= limit) {
            FReplyBroken = true;
            break;
        }
        // What is waiting is taken in one read (one byte at a time costs a system round trip
        // per byte). The count is one byte: past 255 the reply is lost, but the line is still
        // drained so that its tail is not taken for the start of the next reply.
        uint8_t chunk[256];
        int32_t got = Port->ReadBlock(chunk, std::min<int32_t>(waiting, sizeof chunk));
        if (!AddReplyBytes(ABuf, chunk, got)) FReplyBroken = true;
    }
}

namespace {

// Raises the calling thread to time-critical priority for its lifetime and puts the previous
// priority back however the scope is left.
class TTimeCriticalStretch {
public:
    explicit TTimeCriticalStretch(bool Active)
        : FThread(GetCurrentThread()),
          FPrevious(Active ? GetThreadPriority(FThread) : THREAD_PRIORITY_ERROR_RETURN)
    {
        if (FPrevious != THREAD_PRIORITY_ERROR_RETURN)
            SetThreadPriority(FThread, THREAD_PRIORITY_TIME_CRITICAL);
    }
    ~TTimeCriticalStretch()
    {
        if (FPrevious != THREAD_PRIORITY_ERROR_RETURN) SetThreadPriority(FThread, FPrevious);
    }
    TTimeCriticalStretch(const TTimeCriticalStretch&) = delete;
    TTimeCriticalStretch& operator=(const TTimeCriticalStretch&) = delete;

private:
    HANDLE FThread;
    int FPrevious;
};

}  // namespace

int TComPortObject::SendWithDirection(const TArrayByte& Frame)
{
    if (FlowControl == 1) Port->SetRTSLine(true);
    Sleep(1);
    // RTS drops at a time counted from the clock reading below: a thread pre-empted between that
    // reading and the write would start the frame late and drop RTS before its CRC has left.
    TTimeCriticalStretch critical(FlowControl == 1);
    LARGE_INTEGER freq, start;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    int sent = Port->WriteBlock(Frame.data(), static_cast<int32_t>(Frame.size()));
    if (FlowControl == 1) {
        const int speed = std::min<int>(Speed, 7);
        BusyDelay(SpeedHoldMs[speed]);
        // A write is done once the driver holds the bytes (a UART's FIFO, a USB adapter), not once
        // they have left the wire: the converter must not turn the line round before the frame's
        // own time (11 bits a byte) plus the hold has passed since the write began.
        const LONGLONG bits = static_cast<LONGLONG>(std::max(sent, 0)) * 11;
        const LONGLONG wire = (bits * freq.QuadPart + SpeedBitRates[speed] - 1) / SpeedBitRates[speed];
        const LONGLONG until = start.QuadPart + wire + SpeedHoldMs[speed] * freq.QuadPart / 1000;
        for (;;) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            const LONGLONG left = until - now.QuadPart;
            if (left <= 0) break;
            // Long frames at low speeds sleep most of their time; the last stretch is a busy
            // wait, since a sleep may overshoot by a timer tick and the reply follows at once.
            const LONGLONG leftMs = left * 1000 / freq.QuadPart;
            if (leftMs > 30) Sleep(static_cast<DWORD>(leftMs - 20));
        }
        Port->SetRTSLine(false);
    }
    return sent;
}

int TComPortObject::Transaction(TArrayByte& ABuf, int Len)
{
    Len = std::clamp(Len, 0, static_cast<int>(ABuf.size()));
    TArrayByte request(ABuf.begin(), ABuf.begin() + Len);
    int status = LinkNoReply;
    for (int attempts = Retries; attempts > 0; --attempts) {
        Port->PurgeQueues(false, true);
        if (SendWithDirection(request) < Len) {
            ABuf.assign(1, 0);
            return LinkNoReply;
        }
        ReceiveReply(ABuf);
        status = ReplyStatus(ABuf, FReplyBroken);
        if (status == LinkOk) break;
    }
    return status;
}

int TComPortObject::ReportSlaveId(int Addr, std::string& Name, int MaxLen)
{
    Buf = SlaveIdFrame(Addr);
    Name.clear();
    int status = Transaction(Buf, 4);
    if (status != LinkOk) return status;
    Name = SlaveIdName(Buf, MaxLen);
    return LinkOk;
}

int TComPortObject::ReadRegisters(int Addr, int StartReg, int Count, int ValueType, uint8_t* Data,
                                  bool Holding)
{
    Buf = ReadFrame(Addr, StartReg, Count, ValueType, Holding);
    int status = Transaction(Buf, 8);
    if (status != LinkOk) return status;
    return TakeReadReply(Buf, Count, ValueType, Data);
}

int TComPortObject::WriteRegisters(int Addr, int StartReg, int Count, int ValueType,
                                   const uint8_t* Data)
{
    Buf = WriteFrame(Addr, StartReg, Count, ValueType, Data);
    int status = Transaction(Buf, static_cast<int>(Buf.size()));
    if (status != LinkOk) return status;
    return TakeWriteReply(Buf);
}

int TComPortObject::SendAnyFunction(int Addr, int Func, int Len, uint8_t* Data)
{
    Buf = AnyFunctionFrame(Addr, Func, Len, Data);
    int status = Transaction(Buf, static_cast<int>(Buf.size()));
    if (status != LinkOk) return status;
    return TakeAnyReply(Buf, Data);
}
