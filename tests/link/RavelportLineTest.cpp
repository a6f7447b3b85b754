// RS-485 direction control as the modem-line shim logs it: the RTS changes and the writes of the
// frames, in the one order the writer made them; and the thread's priority while RTS is held.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ComPortObjectU.h"
#include "RavelportTest.h"
#include "SerialPort.h"
#include "TestInstrument.h"
// (after the headers that want winsock2.h before windows.h)
#include "ModemLineLog.h"

using ravelport_test::Ravelport;
using tovik::testing::EventsSince;
using tovik::testing::LineEvent;
using tovik::testing::RtsAfter;
using tovik::testing::RtsBefore;
using tovik::testing::ShimLogLines;
using tovik::testing::ShimLogOf;
using tovik::testing::TestInstrument;
using tovik::testing::Writes;

namespace {

class RavelportRs485 : public ::testing::Test {
protected:
    // Two register reads on a link of the given speed and type, and what the shim logged of the
    // line meanwhile.
    void TwoReads(int baud, int flow)
    {
        ASSERT_TRUE(rp.Ok());
        inst = std::make_unique<TestInstrument>("--reg h:0=0x1234");
        ASSERT_TRUE(inst->Ok()) << inst->Error();
        // A pty number seen for the first time has no log yet: then every line is new.
        std::string before = ShimLogOf(*inst);
        size_t mark = before.empty() ? 0 : ShimLogLines(before).size();
        ASSERT_TRUE(rp.ConnectOk(inst->Com(), baud, flow));
        log = ShimLogOf(*inst);
        ASSERT_FALSE(log.empty()) << "no modem-line shim log for the instrument's pty";
        size_t m = inst->Mark();
        uint8_t data[2];
        EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
        EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
        EXPECT_EQ(2u, inst->Requests(m).size()) << "the instrument's count of requests";
        ev = EventsSince(log, mark);
        tx = Writes(ev);
        rp.Disconnect();
    }
    void TearDown() override
    {
        rp.Disconnect();
        inst.reset();
    }

    Ravelport& rp = Ravelport::Get();
    std::unique_ptr<TestInstrument> inst;
    std::string log;
    std::vector<LineEvent> ev;
    std::vector<size_t> tx;  // indices of the writes in ev
};

TEST_F(RavelportRs485, RtsIsRaisedForEachFrameAndDroppedAfterTheHold)
{
    ASSERT_NO_FATAL_FAILURE(TwoReads(19200, 1));
    ASSERT_EQ(2u, tx.size()) << "one write per request";
    // RTS is up while each frame goes out (a pty keeps the state it had, so the first raise may
    // be no change at all) ...
    int before1 = RtsBefore(ev, tx[0]);
    EXPECT_TRUE(before1 < 0 || ev[before1].on == 1);
    int raise2 = RtsBefore(ev, tx[1]);
    ASSERT_GE(raise2, 0);
    EXPECT_EQ(1, ev[raise2].on);
    // ... dropped between the sends ...
    int drop1 = RtsAfter(ev, tx[0]);
    ASSERT_GE(drop1, 0);
    EXPECT_EQ(0, ev[drop1].on);
    EXPECT_LT(drop1, raise2);
    // ... and dropped once more after the second: 1 ms before the write, 3 ms hold at 19200.
    int drop2 = RtsAfter(ev, tx[1]);
    ASSERT_GE(drop2, 0);
    EXPECT_EQ(0, ev[drop2].on);
    EXPECT_GE(ev[drop2].t - ev[raise2].t, 0.004);
    EXPECT_EQ(-1, RtsAfter(ev, drop2)) << "no change after the last drop";
}

TEST_F(RavelportRs485, TheHoldFollowsTheLineSpeed)
{
    // A write ends when the driver has the bytes, so RTS must stay up for the frame's own wire
    // time (8 bytes of 11 bits) plus the hold, counted from the write's start; the raise before
    // it is the earliest that start can be.
    const struct {
        int baud;
        double holdMs;
    } speeds[] = {{1200, 33}, {2400, 17}, {4800, 9}, {9600, 5}, {19200, 3}};
    for (const auto& s : speeds) {
        SCOPED_TRACE(s.baud);
        ASSERT_NO_FATAL_FAILURE(TwoReads(s.baud, 1));
        ASSERT_EQ(2u, tx.size());
        int raise2 = RtsBefore(ev, tx[1]), drop2 = RtsAfter(ev, tx[1]);
        ASSERT_GE(raise2, 0);
        ASSERT_GE(drop2, 0);
        EXPECT_EQ(1, ev[raise2].on);
        EXPECT_EQ(0, ev[drop2].on);
        const double wire = 8 * 11.0 / s.baud;
        EXPECT_GE(ev[drop2].t - ev[raise2].t, wire + s.holdMs / 1000);
    }
}

TEST_F(RavelportRs485, WithoutDirectionControlRtsStaysRaised)
{
    ASSERT_NO_FATAL_FAILURE(TwoReads(19200, 0));
    ASSERT_EQ(2u, tx.size());
    int before1 = RtsBefore(ev, tx[0]);
    EXPECT_TRUE(before1 < 0 || ev[before1].on == 1);
    EXPECT_EQ(-1, RtsAfter(ev, tx[0])) << "RTS changed during the requests";
}

// RTS drops at a time counted from before the write: the stretch runs time-critical (seen from the
// port's write notice, which comes inside it) and the caller's own priority is back afterwards,
// also when the write fails.
TEST(RavelportRs485Priority, TheSendRunsTimeCriticalAndThePriorityComesBackOnEveryPath)
{
    TestInstrument inst("--reg h:0=0x1234");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    TComPortObject link;
    link.SetPortName(inst.PortName());
    link.SetSpeed(4);
    link.SetAnswerDelay(1000);
    link.SetByteTimeout(50);
    link.SetFlowControl(1);
    ASSERT_TRUE(link.OpenLink());
    std::vector<int> whileSent;
    bool failWrite = false;
    TSerialPortListener l;
    l.DataTransmitted = [&](const void*, int32_t) {
        whileSent.push_back(GetThreadPriority(GetCurrentThread()));
        if (failWrite) throw ESerialPort(2, ERROR_WRITE_FAULT);
    };
    link.Port->AddListener(&l);
    // Not the default: what comes back must be the caller's priority, not "normal".
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL));
    uint8_t data[2] = {};
    EXPECT_EQ(0, link.ReadRegisters(1, 0, 1, 18, data, true));
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(GetCurrentThread()));
    failWrite = true;
    EXPECT_THROW(link.ReadRegisters(1, 0, 1, 18, data, true), ESerialPort);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(GetCurrentThread()));
    EXPECT_EQ(whileSent, std::vector<int>(2, THREAD_PRIORITY_TIME_CRITICAL));
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    link.Port->RemoveListener(&l);
    link.CloseLink();
}

}  // namespace
