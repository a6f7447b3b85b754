// CRC, frames and reply checks of the link object, without a port.
#include <gtest/gtest.h>

#include "ComPortObjectU.h"

namespace {

TArrayByte Reply(TArrayByte bytes, bool goodCrc = true)
{
    AppendCrc(bytes);
    if (!goodCrc) bytes.back() ^= 0xFF;
    TArrayByte buf(256, 0);
    buf[0] = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buf.begin() + 1);
    return buf;
}

TEST(LinkCrc, MatchesTheModbusCrcAndItsTables)
{
    EXPECT_EQ((std::vector<int>{0x00, 0xC1, 0x81, 0x40}),
              (std::vector<int>{CrcHighTable[0], CrcHighTable[1], CrcHighTable[2], CrcHighTable[3]}));
    EXPECT_EQ((std::vector<int>{0x00, 0xC0, 0xC1, 0x01}),
              (std::vector<int>{CrcLowTable[0], CrcLowTable[1], CrcLowTable[2], CrcLowTable[3]}));
    // The standard check value of CRC-16/MODBUS is 0x4B37; frames carry it low byte first.
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(0x374B, Crc16(check, 0, 9));
    TArrayByte frame{0xAA, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(0x840A, Crc16(frame, 1, 6));
    EXPECT_EQ(0xFFFF, Crc16(frame, 1, 0));
    EXPECT_EQ(0xFFFF, Crc16(frame, 1, -3));
    // Never past the end of the data.
    EXPECT_EQ(Crc16(frame, 1, 6), Crc16(frame, 1, 600));
}

TEST(LinkFrames, CutFieldsToTheirBits)
{
    EXPECT_EQ((TArrayByte{0x01, 0x04, 0x00, 0x01, 0x00, 0x02, 0x20, 0x0B}),
              ReadFrame(0x101, 0x10001, 2, 18, false));
    uint8_t data[400] = {};
    // 200 16-bit values: the count's high byte is sent as 0, its low byte as it comes.
    TArrayByte w = WriteFrame(1, 0, 200, 18, data);
    EXPECT_EQ(0x00, w[4]);
    EXPECT_EQ(200, w[5]);
    EXPECT_EQ(static_cast<uint8_t>(400), w[6]);
    EXPECT_EQ(409u, w.size());
    EXPECT_EQ(4u, AnyFunctionFrame(1, 0x41, -7, data).size());
}

TEST(LinkReplies, AreJudgedByLengthAndCrc)
{
    EXPECT_EQ(LinkOk, JudgeReply(Reply({0x01, 0x03, 0x02, 0x12, 0x34})));
    EXPECT_EQ(LinkBadCrc, JudgeReply(Reply({0x01, 0x03, 0x02, 0x12, 0x34}, false)));
    TArrayByte shortReply(4, 3), none, overstated(3, 200);
    EXPECT_EQ(LinkNoReply, JudgeReply(shortReply));
    EXPECT_EQ(LinkNoReply, JudgeReply(none));
    // A count beyond what the buffer holds is not trusted.
    EXPECT_EQ(LinkNoReply, JudgeReply(overstated));
}

TEST(LinkReplies, ReadChecksTheByteCountField)
{
    uint8_t data[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    // Enough bytes for one 32-bit value, but the byte count says 2.
    EXPECT_EQ(LinkNoReply, TakeReadReply(Reply({1, 3, 2, 0x12, 0x34, 0x56, 0x78}), 1, 19, data));
    EXPECT_EQ(0xEE, data[0]);
    // One byte short.
    EXPECT_EQ(LinkNoReply, TakeReadReply(Reply({1, 3, 4, 0x12, 0x34, 0x56}), 1, 19, data));
    EXPECT_EQ(LinkOk, TakeReadReply(Reply({1, 3, 4, 0x12, 0x34, 0x56, 0x78}), 1, 19, data));
    EXPECT_EQ((std::vector<int>{0x78, 0x56, 0x34, 0x12}),
              (std::vector<int>{data[0], data[1], data[2], data[3]}));
}

TEST(LinkReplies, WriteAndAnyFunctionNeedEightBytes)
{
    EXPECT_EQ(LinkOk, TakeWriteReply(Reply({1, 0x10, 0, 0, 0, 2})));
    EXPECT_EQ(LinkNoReply, TakeWriteReply(Reply({1, 0x90, 2})));
    uint8_t data[8];
    std::fill(data, data + 8, 0xEE);
    EXPECT_EQ(LinkNoReply, TakeAnyReply(Reply({1, 0x41, 2, 9}), data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(LinkOk, TakeAnyReply(Reply({1, 0x41, 3, 7, 8, 9}), data));
    EXPECT_EQ((std::vector<int>{0x41, 3, 7, 8, 9, 0xEE}),
              (std::vector<int>(data, data + 6)));
}

TEST(LinkReplies, SlaveIdNameIsTheBytesAfterTheCount)
{
    EXPECT_EQ("ABC", SlaveIdName(Reply({1, 0x11, 3, 'A', 'B', 'C'}), 255));
    EXPECT_EQ("AB", SlaveIdName(Reply({1, 0x11, 3, 'A', 'B', 'C'}), 2));
    EXPECT_EQ("", SlaveIdName(Reply({1, 0x11, 0}), 255));
    EXPECT_EQ("", SlaveIdName(Reply({1, 0x11, 3, 'A', 'B', 'C'}), -4));
}

}  // namespace
