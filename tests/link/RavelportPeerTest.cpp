// Ravelport.dll against an independent Modbus RTU server (libmodbus) on a socat pty pair.
#include <gtest/gtest.h>

#include <sstream>

#include "RavelportTest.h"

using ravelport_test::ModbusPeer;
using ravelport_test::NameText;
using ravelport_test::Ravelport;

namespace {

constexpr int Slave = 17;

uint16_t Holding(int i) { return static_cast<uint16_t>(0x1000 + i * 0x0101); }
uint16_t Input(int i) { return static_cast<uint16_t>(0xA000 + i * 0x0111); }

class RavelportPeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rp.Ok());
        ASSERT_TRUE(peer.Ok()) << peer.Error();
        ASSERT_TRUE(rp.ConnectOk(peer.Com(), 19200, 0));
    }
    void TearDown() override { rp.Disconnect(); }

    Ravelport& rp = Ravelport::Get();
    ModbusPeer peer{Slave};
};

TEST_F(RavelportPeer, ReadsSixteenAndThirtyTwoBitRegisters)
{
    uint8_t d[16];
    ASSERT_EQ(0, rp.ReadHoldingRegister(Slave, 5, 3, 18, d));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Holding(5 + i), d[2 * i] | d[2 * i + 1] << 8) << i;
    ASSERT_EQ(0, rp.ReadInputRegister(Slave, 7, 4, 2, d));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Input(7 + i), d[2 * i] | d[2 * i + 1] << 8) << i;
    // Two 32-bit values: high register first, delivered least significant byte first.
    ASSERT_EQ(0, rp.ReadInputRegister(Slave, 20, 2, 19, d));
    for (int i = 0; i < 2; ++i) {
        uint32_t v = d[4 * i] | d[4 * i + 1] << 8 | d[4 * i + 2] << 16 | uint32_t(d[4 * i + 3]) << 24;
        EXPECT_EQ(uint32_t(Input(20 + 2 * i)) << 16 | Input(21 + 2 * i), v) << i;
    }
    ASSERT_EQ(0, rp.ReadHoldingRegister(Slave, 30, 1, 4, d));
    EXPECT_EQ(Holding(31), d[0] | d[1] << 8);
    EXPECT_EQ(Holding(30), d[2] | d[3] << 8);
}

TEST_F(RavelportPeer, WritesRegistersTheServerThenHolds)
{
    uint8_t words[6] = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A};
    ASSERT_EQ(0, rp.WriteRegister(Slave, 40, 3, 18, words));
    EXPECT_EQ(0x1234, peer.Register('h', 40));
    EXPECT_EQ(0x5678, peer.Register('h', 41));
    EXPECT_EQ(0x9ABC, peer.Register('h', 42));
    EXPECT_EQ(Holding(43), peer.Register('h', 43));

    uint8_t wide[8] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55};
    ASSERT_EQ(0, rp.WriteRegister(Slave, 50, 2, 3, wide));
    EXPECT_EQ(0x1122, peer.Register('h', 50));
    EXPECT_EQ(0x3344, peer.Register('h', 51));
    EXPECT_EQ(0x5566, peer.Register('h', 52));
    EXPECT_EQ(0x7788, peer.Register('h', 53));
    EXPECT_EQ(Holding(49), peer.Register('h', 49));
    EXPECT_EQ(Holding(54), peer.Register('h', 54));
}

TEST_F(RavelportPeer, DeviceNameIsTheReportSlaveIdAnswer)
{
    std::istringstream version(peer.Command("version"));
    std::string ok, text;
    int slave = 0;
    version >> ok >> slave >> text;
    EXPECT_EQ(Slave, slave);
    ASSERT_EQ("OK", ok);
    uint8_t name[256];
    ASSERT_EQ(0, rp.GetDevName(Slave, name, 255));
    std::string got = NameText(name);
    // The server's answer: its own id byte, the run indicator 0xFF, then its identification,
    // which ends in the library's version.
    ASSERT_GE(got.size(), 2 + text.size());
    EXPECT_EQ('\xFF', got[1]);
    EXPECT_EQ(text, got.substr(got.size() - text.size()));
}

TEST_F(RavelportPeer, AnotherSlaveAddressGetsNoAnswer)
{
    uint8_t d[2] = {0xEE, 0xEE};
    EXPECT_EQ(16, rp.ReadHoldingRegister(Slave + 1, 0, 1, 18, d));
    EXPECT_EQ(0xEE, d[0]);
}

}  // namespace
