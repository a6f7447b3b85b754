// Bytes from the serial line as the link object receives them: the reception in chunks, the
// reply checks (length, CRC, the 255-byte limit) and the reply parsers of the four requests.
#include <algorithm>
#include <cstring>

#include "ComPortObjectU.h"
#include "FuzzSupport.h"

namespace {

// Bitwise CRC-16/MODBUS, to check the table-driven one against.
uint16_t PlainCrc(const uint8_t* p, size_t n)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = crc & 1 ? static_cast<uint16_t>(crc >> 1 ^ 0xA001) : crc >> 1;
    }
    return crc;
}

bool CrcHolds(const std::vector<uint8_t>& reply)
{
    if (reply.size() < 4) return false;
    uint16_t crc = PlainCrc(reply.data(), reply.size() - 2);
    return reply[reply.size() - 2] == (crc & 0xFF) && reply.back() == crc >> 8;
}

void CheckFrame(const TArrayByte& frame, size_t length)
{
    FUZZ_CHECK(frame.size() == length);
    // A frame we send passes our own reply check.
    TArrayByte buf(256, 0);
    buf[0] = static_cast<uint8_t>(frame.size());
    std::copy(frame.begin(), frame.end(), buf.begin() + 1);
    FUZZ_CHECK(JudgeReply(buf) == LinkOk);
    FUZZ_CHECK(CrcHolds(std::vector<uint8_t>(frame.begin(), frame.end())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    const int addr = in.Byte();
    const int valueType = in.Byte() % 21;
    const int count = in.Byte() % 130;
    const int maxLen = in.Byte();
    const uint8_t split = in.Byte();
    std::vector<uint8_t> line = in.Rest();

    // The requests' frames for the same arguments, within the limits callers keep to.
    const bool wide = Is32BitType(valueType);
    const int q = RegisterCount(count, valueType);
    CheckFrame(SlaveIdFrame(addr), 4);
    CheckFrame(ReadFrame(addr, count * 977, count, valueType, split & 1), 8);
    if (q <= 120) {
        std::vector<uint8_t> values(static_cast<size_t>(count) * (wide ? 4 : 2), 0x5A);
        TExactBlock v(values.data(), values.size());
        CheckFrame(WriteFrame(addr, count, count, valueType, v.Data()), static_cast<size_t>(2 * q + 9));
    }
    {
        size_t len = std::min<size_t>(line.size(), 246);
        TExactBlock d(line.data(), len);
        CheckFrame(AnyFunctionFrame(addr, valueType + 0x40, static_cast<int>(len), d.Data()), len + 4);
    }

    // The reception, in chunks of the sizes the line bytes' own values suggest.
    TArrayByte buf(256, 0);
    bool whole = true;
    for (size_t at = 0; at < line.size();) {
        size_t n = std::min<size_t>(line.size() - at, 1 + (line[at] ^ split) % 64);
        TExactBlock chunk(line.data() + at, n);
        whole = AddReplyBytes(buf, chunk.Data(), static_cast<int>(n)) && whole;
        at += n;
    }
    FUZZ_CHECK(buf.size() == 256);
    FUZZ_CHECK(whole == (line.size() <= MaxReplyBytes));
    const size_t kept = std::min<size_t>(line.size(), MaxReplyBytes);
    FUZZ_CHECK(buf[0] == kept);
    FUZZ_CHECK(std::equal(line.begin(), line.begin() + kept, buf.begin() + 1));

    const int status = ReplyStatus(buf, !whole);
    const std::vector<uint8_t> reply(line.begin(), line.begin() + kept);
    // A reply over 255 bytes never passes; one that passes has its length and a good CRC.
    if (line.size() > MaxReplyBytes) FUZZ_CHECK(status != LinkOk);
    else FUZZ_CHECK((status == LinkOk) == CrcHolds(reply));
    if (status != LinkOk) return 0;
    const int n = static_cast<int>(kept);

    // Register reads: exactly Count values, and only from a reply that holds them.
    {
        const size_t width = wide ? 4 : 2;
        std::vector<uint8_t> none(static_cast<size_t>(count) * width, 0xC3);
        TExactBlock out(none.data(), none.size());
        int r = TakeReadReply(buf, count, valueType, out.Data());
        bool fits = n >= 2 * q + 5 && buf[3] >= 2 * q;
        FUZZ_CHECK((r == LinkOk) == fits);
        if (r != LinkOk) FUZZ_CHECK(std::equal(none.begin(), none.end(), out.Data()));
        for (int i = 0; r == LinkOk && i < count; ++i)
            for (size_t b = 0; b < width; ++b)
                FUZZ_CHECK(out.Data()[i * width + b] == reply[3 + i * width + (width - 1 - b)]);
    }
    // Any function: the reply without address and CRC, into the caller's 256 bytes.
    {
        std::vector<uint8_t> none(256, 0xC3);
        TExactBlock out(none.data(), none.size());
        int r = TakeAnyReply(buf, out.Data());
        FUZZ_CHECK((r == LinkOk) == (n >= 8));
        if (r == LinkOk) {
            FUZZ_CHECK(std::equal(reply.begin() + 1, reply.end() - 2, out.Data()));
            FUZZ_CHECK(std::all_of(out.Data() + n - 3, out.Data() + 256, [](uint8_t b) { return b == 0xC3; }));
        }
    }
    // The device name: the bytes between the byte count and the CRC, at most MaxLen of them.
    {
        std::string name = SlaveIdName(buf, maxLen);
        FUZZ_CHECK(name.size() <= static_cast<size_t>(maxLen));
        size_t avail = n >= 6 ? static_cast<size_t>(n - 5) : 0;
        FUZZ_CHECK(name.size() == std::min(avail, static_cast<size_t>(maxLen)));
        FUZZ_CHECK(std::equal(name.begin(), name.end(), reply.begin() + 3,
                              [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; }));
    }
    {
        int r = TakeWriteReply(buf);
        if (n < 8) FUZZ_CHECK(r == LinkNoReply);
        else FUZZ_CHECK((r == LinkOk) == CrcHolds(std::vector<uint8_t>(reply.begin(), reply.begin() + 8)));
    }
    return 0;
}
