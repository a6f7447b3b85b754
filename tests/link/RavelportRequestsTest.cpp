// Requests through the real Ravelport.dll against the simulated instrument: frames on the wire,
// replies into the caller's buffers, attempts, time-outs and broken replies.
#include <gtest/gtest.h>

#include <memory>

#include "RavelportTest.h"
#include "TestInstrument.h"

using ravelport_test::LinkPortFailure;
using ravelport_test::NameText;
using ravelport_test::Ravelport;
using tovik::testing::LogLine;
using tovik::testing::TestInstrument;

namespace {

using Bytes = std::vector<uint8_t>;

class RavelportInstrument : public ::testing::Test {
protected:
    void Start(const std::string& options, int baud = 19200, int flow = 0)
    {
        ASSERT_TRUE(rp.Ok()) << "Ravelport.dll not loaded or not bound";
        inst = std::make_unique<TestInstrument>(options);
        ASSERT_TRUE(inst->Ok()) << inst->Error();
        ASSERT_TRUE(rp.ConnectOk(inst->Com(), baud, flow));
    }
    void TearDown() override
    {
        rp.Disconnect();
        inst.reset();
    }
    std::vector<Bytes> RequestsSince(size_t mark)
    {
        std::vector<Bytes> out;
        for (auto& l : inst->Requests(mark))
            out.push_back(l.bytes);
        return out;
    }

    Ravelport& rp = Ravelport::Get();
    std::unique_ptr<TestInstrument> inst;
};

// ---- frames and replies ----------------------------------------------------------------------

TEST_F(RavelportInstrument, ReadsOneHoldingRegisterWithTheFrameOfTheExample)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    size_t m = inst->Mark();
    uint8_t data[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ((Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}), RequestsSince(m).at(0));
    EXPECT_EQ((Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33}), inst->Replies(m).at(0).bytes);
    EXPECT_EQ((Bytes{0x34, 0x12, 0xEE, 0xEE}), Bytes(data, data + 4));
}

TEST_F(RavelportInstrument, ThirtyTwoBitValuesTakeTwoRegistersHighHalfFirst)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234 --reg h:1=0x5678 --reg i:1=0xCAFE "
                                  "--reg i:2=0xBEEF --reg i:3=0x0102 --reg i:4=0x0304"));
    size_t m = inst->Mark();
    uint8_t data[10];
    std::fill(data, data + 10, 0xEE);
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 19, data));
    EXPECT_EQ((Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B}), RequestsSince(m).at(0));
    EXPECT_EQ((Bytes{0x78, 0x56, 0x34, 0x12, 0xEE}), Bytes(data, data + 5));

    // Input registers, two 32-bit values (types 3 and 4 are 32-bit as well).
    std::fill(data, data + 10, 0xEE);
    EXPECT_EQ(0, rp.ReadInputRegister(1, 1, 2, 3, data));
    EXPECT_EQ((Bytes{0xEF, 0xBE, 0xFE, 0xCA, 0x04, 0x03, 0x02, 0x01, 0xEE}), Bytes(data, data + 9));
    std::fill(data, data + 10, 0xEE);
    EXPECT_EQ(0, rp.ReadInputRegister(1, 1, 1, 4, data));
    EXPECT_EQ((Bytes{0xEF, 0xBE, 0xFE, 0xCA, 0xEE}), Bytes(data, data + 5));
    // Every other type is 16-bit.
    std::fill(data, data + 10, 0xEE);
    EXPECT_EQ(0, rp.ReadInputRegister(1, 1, 2, 2, data));
    EXPECT_EQ((Bytes{0xFE, 0xCA, 0xEF, 0xBE, 0xEE}), Bytes(data, data + 5));
}

TEST_F(RavelportInstrument, WritesTwoSixteenBitValuesAndOneThirtyTwoBitValue)
{
    ASSERT_NO_FATAL_FAILURE(Start(""));
    size_t m = inst->Mark();
    uint8_t values[4] = {0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(0, rp.WriteRegister(1, 0, 2, 18, values));
    EXPECT_EQ((Bytes{0x01, 0x10, 0x00, 0x00, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78, 0x88, 0x9B}),
              RequestsSince(m).at(0));
    EXPECT_EQ("OK 4660", inst->Command("reg h 0"));
    EXPECT_EQ("OK 22136", inst->Command("reg h 1"));

    uint8_t wide[4] = {0x44, 0x33, 0x22, 0x11};  // 0x11223344
    EXPECT_EQ(0, rp.WriteRegister(1, 10, 1, 19, wide));
    EXPECT_EQ("OK 4386", inst->Command("reg h 10"));   // 0x1122
    EXPECT_EQ("OK 13124", inst->Command("reg h 11"));  // 0x3344
}

TEST_F(RavelportInstrument, AnyFunctionSendsElevenBytesAndReturnsTheReplyFromItsFunctionCode)
{
    ASSERT_NO_FATAL_FAILURE(Start(""));
    ASSERT_TRUE(inst->Fault("long=20 func=0x41"));
    size_t m = inst->Mark();
    uint8_t data[256];
    std::fill(data, data + 256, 0xEE);
    const uint8_t request[7] = {0, 3, 0, 1, 0, 0, 5};
    std::copy(request, request + 7, data);
    EXPECT_EQ(0, rp.AnyFunction(1, 0x41, 7, data));
    EXPECT_EQ((Bytes{0x01, 0x41, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x05, 0x03, 0x50}),
              RequestsSince(m).at(0));
    Bytes reply = inst->Replies(m).at(0).bytes;
    ASSERT_EQ(20u, reply.size());
    // 17 bytes: the reply without its address and CRC; nothing after them changes.
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end() - 2), Bytes(data, data + 17));
    EXPECT_EQ(0xEE, data[17]);
}

TEST_F(RavelportInstrument, DeviceNameFromReportSlaveId)
{
    ASSERT_NO_FATAL_FAILURE(Start("--slave-id ABC"));
    size_t m = inst->Mark();
    uint8_t name[256];
    std::fill(name, name + 256, 0xEE);
    EXPECT_EQ(0, rp.GetDevName(1, name, 255));
    EXPECT_EQ((Bytes{0x01, 0x11, 0xC0, 0x2C}), RequestsSince(m).at(0));
    EXPECT_EQ("ABC", NameText(name));
    EXPECT_EQ(0xEE, name[4]);

    // No name bytes: an empty name, and still success.
    ASSERT_EQ("OK", inst->Command("slaveid-hex").substr(0, 2));
    std::fill(name, name + 256, 0xEE);
    EXPECT_EQ(0, rp.GetDevName(1, name, 255));
    EXPECT_EQ(0, name[0]);

    // Cut to NameMax.
    ASSERT_EQ("OK", inst->Command("slaveid ABCDEFGHIJKLMNOPQRST").substr(0, 2));
    std::fill(name, name + 256, 0xEE);
    EXPECT_EQ(0, rp.GetDevName(1, name, 10));
    EXPECT_EQ("ABCDEFGHIJ", NameText(name));
    EXPECT_EQ(0xEE, name[11]);

    // An exception reply (5 bytes) gives an empty name and success, as the name has no bytes.
    ASSERT_TRUE(inst->Fault("exception=1"));
    std::fill(name, name + 256, 0xEE);
    EXPECT_EQ(0, rp.GetDevName(1, name, 255));
    EXPECT_EQ(0, name[0]);
}

TEST_F(RavelportInstrument, ExceptionRepliesAreTooShortAndWrongAddressesAreAccepted)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x0102"));
    uint8_t data[8];
    std::fill(data, data + 8, 0xEE);
    ASSERT_TRUE(inst->Fault("exception=2 times=3"));
    EXPECT_EQ(16, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    uint8_t value[2] = {0x02, 0x01};
    EXPECT_EQ(16, rp.WriteRegister(1, 0, 1, 18, value));
    EXPECT_EQ(0xEE, data[0]);
    const uint8_t request[7] = {0, 3, 0, 1, 0, 0, 5};
    std::copy(request, request + 7, data);
    EXPECT_EQ(16, rp.AnyFunction(1, 0x41, 7, data));
    EXPECT_EQ(0, data[0]);

    ASSERT_TRUE(inst->Fault("addr=7 times=1"));
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x02, data[0]);
    EXPECT_EQ(0x01, data[1]);
}

// ---- attempts --------------------------------------------------------------------------------

TEST_F(RavelportInstrument, BadCrcEveryTimeUsesEveryAttemptAndFails)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("badcrc"));
    uint8_t data[256];
    std::fill(data, data + 256, 0xEE);

    // A new link makes one attempt.
    size_t m = inst->Mark();
    EXPECT_EQ(2, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(1u, inst->Requests(m).size());

    rp.Retries(3);
    m = inst->Mark();
    EXPECT_EQ(2, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(3u, inst->Requests(m).size());
    // A reply long enough but with a bad CRC is never taken as data.
    m = inst->Mark();
    EXPECT_EQ(2, rp.AnyFunction(1, 0x03, 4, data));
    EXPECT_EQ(3u, inst->Requests(m).size());
    EXPECT_EQ(2, rp.WriteRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(0xEE, data[4]);
}

TEST_F(RavelportInstrument, RetriesAreClampedToOneAndTwentyFive)
{
    ASSERT_NO_FATAL_FAILURE(Start(""));
    ASSERT_TRUE(inst->Fault("badcrc"));
    uint8_t data[4];
    for (int n : {0, -5}) {
        rp.Retries(n);
        size_t m = inst->Mark();
        EXPECT_EQ(2, rp.ReadInputRegister(1, 0, 1, 18, data));
        EXPECT_EQ(1u, inst->Requests(m).size()) << "Retries(" << n << ")";
    }
    rp.Retries(100);
    size_t m = inst->Mark();
    EXPECT_EQ(2, rp.ReadInputRegister(1, 0, 1, 18, data));
    EXPECT_EQ(25u, inst->Requests(m).size());
}

TEST_F(RavelportInstrument, AGoodReplyOnALaterAttemptSucceeds)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg i:5=0x0A0B"));
    rp.Retries(3);
    ASSERT_TRUE(inst->Fault("badcrc times=2"));
    size_t m = inst->Mark();
    uint8_t data[2] = {};
    EXPECT_EQ(0, rp.ReadInputRegister(1, 5, 1, 18, data));
    EXPECT_EQ(3u, inst->Requests(m).size());
    EXPECT_EQ(0x0B, data[0]);
    EXPECT_EQ(0x0A, data[1]);
}

// ---- time-outs -------------------------------------------------------------------------------

TEST_F(RavelportInstrument, AFirstByteAt990MsStillArrivesWhole)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("delay=990"));
    uint8_t data[2] = {};
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x34, data[0]);
    EXPECT_EQ(0x12, data[1]);
}

TEST_F(RavelportInstrument, APauseInsideAReplyEndsItAndItsRestSpoilsTheNextReply)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("pause=100 at=4 times=1"));
    uint8_t data[2] = {0xEE, 0xEE};
    size_t m = inst->Mark();
    // Four bytes, then silence: a reply that fails its CRC.
    EXPECT_EQ(2, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    // The three bytes after the pause come before the next reply.
    EXPECT_EQ(2, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(2u, inst->Requests(m).size());
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x34, data[0]);
}

TEST_F(RavelportInstrument, ASilentDeviceGivesSixteenAndAnEmptyName)
{
    ASSERT_NO_FATAL_FAILURE(Start(""));
    ASSERT_TRUE(inst->Fault("silent"));
    uint8_t data[256];
    std::fill(data, data + 256, 0xEE);
    EXPECT_EQ(16, rp.ReadInputRegister(1, 0, 1, 18, data));
    EXPECT_EQ(16, rp.AnyFunction(1, 0x41, 7, data));
    EXPECT_EQ(0xEE, data[8]);
    EXPECT_EQ(16, rp.GetDevName(1, data, 255));
    EXPECT_EQ(0, data[0]);
}

TEST_F(RavelportInstrument, ConnectMapsUnknownSpeedsTo19200)
{
    for (int baud : {38400, 300, 2400}) {
        ASSERT_NO_FATAL_FAILURE(Start("", baud));
        EXPECT_EQ(baud == 2400 ? 2400 : 19200, inst->Speed()) << baud;
        rp.Disconnect();
        inst.reset();
    }
}

// ---- broken lines and replies ----------------------------------------------------------------

TEST_F(RavelportInstrument, AStaleByteSpoilsTheNextReplyInsteadOfPassingAsData)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("stale after=100 byte=0x01 times=1"));
    uint8_t data[256];
    std::fill(data, data + 256, 0xEE);
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    size_t m = inst->Mark();
    ASSERT_TRUE(inst->WaitFor(LogLine::Out, 1, m));  // the stale byte is out
    Sleep(50);
    std::fill(data, data + 256, 0xEE);
    // 01 + the 7-byte reply: long enough for a register read, but its CRC is wrong.
    EXPECT_EQ(2, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
}

TEST_F(RavelportInstrument, AReplyLongerThan255BytesFailsAndIsDrained)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("long=300 times=1"));
    uint8_t data[512];
    std::fill(data, data + 512, 0xEE);
    EXPECT_EQ(2, rp.AnyFunction(1, 0x41, 7, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(0xEE, data[255]);
    // Nothing of the long reply is left to spoil the next one.
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x34, data[0]);
}

TEST_F(RavelportInstrument, ALineThatNeverFallsSilentDoesNotHoldTheCaller)
{
    ASSERT_NO_FATAL_FAILURE(Start("--reg h:0=0x1234"));
    ASSERT_TRUE(inst->Fault("noise"));
    uint8_t data[256];
    std::fill(data, data + 256, 0xEE);
    rp.Retries(2);
    size_t m = inst->Mark();
    EXPECT_NE(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_GE(inst->Requests(m).size(), 1u);
    inst->ClearFaults();
    // Once the noise ends the link works again (its leftovers may cost one attempt).
    rp.Retries(3);
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x34, data[0]);
}

TEST_F(RavelportInstrument, AHangUpFailsTheRequestWithThePortMessage)
{
    ASSERT_NO_FATAL_FAILURE(Start(""));
    ASSERT_TRUE(inst->Fault("hangup"));
    uint8_t data[8];
    std::fill(data, data + 8, 0xEE);
    int r = rp.ReadHoldingRegister(1, 0, 1, 18, data);
    if (r != LinkPortFailure) {
        // The hang-up may be seen only by the next request.
        r = rp.ReadHoldingRegister(1, 0, 1, 18, data);
    }
    ASSERT_EQ(LinkPortFailure, r);
    std::string msg = rp.LastMessage();
    EXPECT_NE(std::string::npos, msg.find(" function failed (win error code: ")) << msg;
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(1, rp.Disconnect() & 0xFF);
    EXPECT_EQ(56, rp.Test());
}

}  // namespace
