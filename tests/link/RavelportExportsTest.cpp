// The export table of Ravelport.dll and the exports' behaviour around the link slot.
#include <gtest/gtest.h>

#include <winsock2.h>  // before windows.h, as the instrument helpers need it
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "OwnThreads.h"
#include "RavelportTest.h"
#include "TestInstrument.h"

using ravelport_test::Ravelport;
using tovik::testing::OwnThreads;
using tovik::testing::TestInstrument;

namespace {

TEST(RavelportExports, AreBoundByUndecoratedNameAtTheirFixedOrdinals)
{
    Ravelport& rp = Ravelport::Get();
    ASSERT_TRUE(rp.Ok());
    const std::pair<const char*, int> table[] = {
        {"Connect", 9},    {"Disconnect", 8},          {"Test", 7},
        {"GetDevName", 6}, {"ReadInputRegister", 5},   {"ReadHoldingRegister", 4},
        {"WriteRegister", 3}, {"AnyFunction", 2},      {"Retries", 1}};
    for (auto [name, ordinal] : table) {
        FARPROC byName = GetProcAddress(rp.Module, name);
        FARPROC byOrdinal = GetProcAddress(rp.Module, MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(nullptr, byName) << name;
        EXPECT_EQ(byName, byOrdinal) << name;
    }
    EXPECT_EQ(nullptr, GetProcAddress(rp.Module, "Connect@12"));
    EXPECT_EQ(nullptr, GetProcAddress(rp.Module, "_Connect@12"));
}

TEST(RavelportExports, WithoutALinkObjectRequestsFailAndTouchNoBuffer)
{
    Ravelport& rp = Ravelport::Get();
    ASSERT_TRUE(rp.Ok());
    EXPECT_EQ(1, rp.Disconnect() & 0xFF);
    EXPECT_EQ(1, rp.Disconnect() & 0xFF);
    rp.Retries(5);
    uint8_t data[16];
    std::fill(data, data + 16, 0xEE);
    EXPECT_NE(0, rp.ReadInputRegister(1, 0, 2, 18, data));
    EXPECT_NE(0, rp.ReadHoldingRegister(1, 0, 2, 19, data));
    EXPECT_NE(0, rp.WriteRegister(1, 0, 2, 18, data));
    EXPECT_NE(0, rp.AnyFunction(1, 0x41, 7, data));
    EXPECT_NE(0, rp.GetDevName(1, data, 10));
    for (uint8_t b : data)
        EXPECT_EQ(0xEE, b);
    EXPECT_EQ(56, rp.Test());
}

TEST(RavelportExports, AMissingPortGivesFalseAndAnEmptySlot)
{
    Ravelport& rp = Ravelport::Get();
    ASSERT_TRUE(rp.Ok());
    EXPECT_EQ(0, rp.Connect(199, 19200, 0) & 0xFF);
    uint8_t data[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    // The slot is empty: the request returns at once without touching Data.
    EXPECT_EQ(16, rp.ReadInputRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0xEE, data[0]);
    EXPECT_EQ(56, rp.Test());
}

// The threads begun since `before` that still run once those about to end have ended (5 s at
// most). Wine waits for a port's events on a thread of its own, which ends just after it has
// signalled the wait's end: it can outlive the port's close by a moment, where an open link's
// event thread runs on for good.
std::vector<DWORD> ThreadsLeftSince(const std::vector<DWORD>& before)
{
    const DWORD start = GetTickCount();
    std::vector<DWORD> left;
    for (DWORD id : OwnThreads()) {
        if (std::find(before.begin(), before.end(), id) != before.end()) continue;
        HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
        if (!h) continue;  // ended meanwhile
        DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(h, spent < 5000 ? 5000 - spent : 0) != WAIT_OBJECT_0) left.push_back(id);
        CloseHandle(h);
    }
    return left;
}

TEST(RavelportExports, ASecondConnectClosesTheFirstLink)
{
    Ravelport& rp = Ravelport::Get();
    ASSERT_TRUE(rp.Ok());
    TestInstrument inst("--reg h:0=0x0102");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    // One whole link first, so that threads the system makes on first use are there already.
    ASSERT_TRUE(rp.ConnectOk(inst.Com(), 19200, 0));
    rp.Disconnect();
    const std::vector<DWORD> idle = OwnThreads();
    ASSERT_TRUE(rp.ConnectOk(inst.Com(), 19200, 0));
    ASSERT_TRUE(rp.ConnectOk(inst.Com(), 9600, 0));
    uint8_t data[2] = {};
    EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
    EXPECT_EQ(0x02, data[0]);
    EXPECT_EQ(1, rp.Disconnect() & 0xFF);
    // A first link left open would still run its port's event thread.
    EXPECT_EQ(0u, ThreadsLeftSince(idle).size());
}

}  // namespace
