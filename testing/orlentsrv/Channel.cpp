#include "Channel.h"

#include <algorithm>

#include "ComPortObjectU.h"

namespace orlent {
namespace {

const DWORD Bauds[9] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 600};

int ExceptionResult(uint8_t code)
{
    switch (code) {
    case 1: return ResNotSupported;
    case 2: return ResWrongAddress;
    case 3: return ResBadData;
    case 4: return ResFailed;
    case 6: return ResBusy;
    default: return ResUnknown;
    }
}

// Width in bytes of one value of a record or register type code.
int Width(int type)
{
    switch (type) {
    case 16: case 17: return 1;
    case 3: case 4: case 7: case 19: return 4;
    default: return 2;
    }
}

int32_t Take(const uint8_t* p, int type)
{
    switch (Width(type)) {
    case 1: return type == 16 ? int8_t(p[0]) : p[0];
    case 4: return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
    default: {
        uint16_t v = uint16_t(p[0] << 8 | p[1]);
        return type == 2 ? int16_t(v) : v;
    }
    }
}

}  // namespace

Channel::~Channel() { Close(); }

bool Channel::Open()
{
    std::string path = "\\\\.\\" + FSettings.port;
    FPort = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (FPort == INVALID_HANDLE_VALUE) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(FPort, &dcb);
    int speed = FSettings.speed;
    dcb.BaudRate = speed >= 0 && speed < 9 ? Bauds[speed] : 19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FSettings.flow == 1;
    dcb.fRtsControl = FSettings.flow == 1 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    SetCommState(FPort, &dcb);  // a pseudo-terminal refuses the modem lines; the line itself works
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};  // reads return at once with what is there
    SetCommTimeouts(FPort, &t);
    FStop = false;
    FWorker = std::thread([this] { Run(); });
    return true;
}

void Channel::Close()
{
    if (FWorker.joinable()) {
        {
            std::lock_guard<std::mutex> g(FQueueLock);
            FStop = true;
        }
        FWake.notify_all();
        FWorker.join();
    }
    std::lock_guard<std::mutex> g(FLine);
    if (FPort != INVALID_HANDLE_VALUE) CloseHandle(FPort);
    FPort = INVALID_HANDLE_VALUE;
}

void Channel::Queue(std::shared_ptr<Request> r, std::function<void(std::shared_ptr<Request>)> done)
{
    std::lock_guard<std::mutex> g(FQueueLock);
    FQueue.emplace_back(std::move(r), std::move(done));
    FWake.notify_all();
}

void Channel::Run()
{
    for (;;) {
        std::unique_lock<std::mutex> g(FQueueLock);
        FWake.wait(g, [this] { return FStop || !FQueue.empty(); });
        if (FQueue.empty()) return;
        auto job = std::move(FQueue.front());
        FQueue.pop_front();
        bool stopping = FStop;
        g.unlock();
        if (stopping) job.first->result = ResChannelClosed;
        else Execute(*job.first);
        job.second(job.first);
    }
}

void Channel::Receive(std::vector<uint8_t>& reply)
{
    reply.clear();
    auto waiting = [this]() -> DWORD {
        COMSTAT st{};
        DWORD errors = 0;
        return ClearCommError(FPort, &errors, &st) ? st.cbInQue : 0;
    };
    DWORD t0 = GetTickCount();
    while (waiting() == 0) {
        if (GetTickCount() - t0 >= DWORD(std::max(FSettings.answerDelay, 0))) return;
        Sleep(1);
    }
    DWORD t1 = GetTickCount();
    for (;;) {
        DWORD n = waiting();
        if (n == 0) {
            Sleep(DWORD(std::max(FSettings.byteTimeout, 1)));
            n = waiting();
            if (n == 0) return;
        }
        uint8_t chunk[256];
        DWORD got = 0;
        if (!ReadFile(FPort, chunk, std::min<DWORD>(n, sizeof chunk), &got, nullptr)) return;
        reply.insert(reply.end(), chunk, chunk + got);
        // A line that never falls silent must not hold the channel.
        if (reply.size() > 512 || GetTickCount() - t1 > 5000) return;
    }
}

int Channel::Exchange(const std::vector<uint8_t>& frame, std::vector<uint8_t>& reply, int retries)
{
    int status = ResNoAnswer;
    for (int attempt = 0; attempt < std::max(retries, 1); ++attempt) {
        PurgeComm(FPort, PURGE_RXCLEAR);
        DWORD sent = 0;
        if (!WriteFile(FPort, frame.data(), DWORD(frame.size()), &sent, nullptr) || sent != frame.size())
            return ResChannelClosed;
        Receive(reply);
        if (reply.size() < 4) {
            status = ResNoAnswer;
            continue;
        }
        uint16_t crc = Crc16(reply, 0, int(reply.size()) - 2);
        if (reply[reply.size() - 2] != uint8_t(crc >> 8) || reply.back() != uint8_t(crc)) {
            status = ResChecksum;
            continue;
        }
        return ResOk;
    }
    return status;
}

void Channel::Execute(Request& r)
{
    std::lock_guard<std::mutex> g(FLine);
    if (FPort == INVALID_HANDLE_VALUE) {
        r.result = ResChannelClosed;
        return;
    }
    std::vector<uint8_t> frame, reply;
    if (r.kind == 2 || r.kind == 4) {
        r.fun = r.kind == 2 ? 3 : 4;
        frame = ReadFrame(r.addr, r.args[1], r.count, r.valueType, r.kind == 2);
    } else if (r.kind == 9) {
        r.fun = 0x41;
        int arch = r.args[0], count = r.args[1], index = r.args[2];
        uint8_t data[7] = {0, uint8_t(arch), uint8_t(count >> 8), uint8_t(count), uint8_t(index >> 16),
                           uint8_t(index >> 8), uint8_t(index)};
        frame = AnyFunctionFrame(r.addr, 0x41, 7, data);
    } else {
        r.result = ResNotSupported;
        return;
    }
    r.result = Exchange(frame, reply, r.retries);
    if (r.result != ResOk) return;
    if (reply[0] != uint8_t(r.addr)) {
        r.result = ResBadAddress;
        return;
    }
    if (reply[1] == uint8_t(r.fun | 0x80)) {
        r.result = ExceptionResult(reply.size() > 4 ? reply[2] : 0);
        return;
    }
    if (reply[1] != uint8_t(r.fun)) {
        r.result = ResUnknown;
        return;
    }
    // addr, function, byte count, data, CRC
    size_t len = reply[2];
    if (reply.size() < len + 5) {
        r.result = ResLength;
        return;
    }
    const uint8_t* data = reply.data() + 3;
    if (r.kind == 9) {
        size_t at = 0;
        for (int type : r.format) {
            if (at + size_t(Width(type)) > len) {
                r.result = ResLength;
                r.values.clear();
                return;
            }
            r.values.push_back(Take(data + at, type));
            at += size_t(Width(type));
        }
        if (r.format.empty())
            for (size_t i = 0; i < len; ++i) r.values.push_back(data[i]);
    } else {
        int width = Is32BitType(r.valueType) ? 4 : 2;
        if (len < size_t(width * std::max(r.count, 0))) {
            r.result = ResLength;
            return;
        }
        for (int i = 0; i < r.count; ++i) r.values.push_back(Take(data + width * i, width == 4 ? 3 : r.valueType == 2 ? 2 : 18));
        r.floats = r.valueType == 4;
    }
}

}  // namespace orlent
