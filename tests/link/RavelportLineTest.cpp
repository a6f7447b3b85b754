// RS-485 direction control as the modem-line shim logs it, against the instrument's frame log;
// both use the monotonic clock.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "RavelportTest.h"
#include "TestInstrument.h"

using ravelport_test::Ravelport;
using ravelport_test::WinPath;
using tovik::testing::TestInstrument;

namespace {

struct RtsChange {
    double t;
    int on;
};

std::string ShimLogOf(const TestInstrument& inst)
{
    std::ifstream ready(WinPath(inst.WorkDirUnix() + "/ready"));
    std::string tag, port, pty;
    ready >> tag >> port >> pty;  // READY <control port> /dev/pts/N <com>
    std::string pts = "pts" + pty.substr(pty.rfind('/') + 1) + ".log";
    char dir[1024] = {};
    if (GetEnvironmentVariableA("TOVIK_SHIM_DIR", dir, sizeof dir) && dir[0])
        return std::string(dir) + "/" + pts;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("Z:\\tmp\\tovik-modemshim-*", &fd);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string found;
    do {
        std::string candidate = std::string("/tmp/") + fd.cFileName + "/" + pts;
        if (GetFileAttributesA(WinPath(candidate).c_str()) != INVALID_FILE_ATTRIBUTES)
            found = candidate;
    } while (found.empty() && FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

std::vector<std::string> Lines(const std::string& unixPath)
{
    std::vector<std::string> out;
    std::ifstream in(WinPath(unixPath));
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

// RTS changes logged after line `from`.
std::vector<RtsChange> RtsSince(const std::string& log, size_t from)
{
    std::vector<RtsChange> out;
    std::vector<std::string> lines = Lines(log);
    for (size_t i = from; i < lines.size(); ++i) {
        std::istringstream w(lines[i]);
        RtsChange c{};
        std::string pts, line;
        if ((w >> c.t >> pts >> line >> c.on) && line == "RTS") out.push_back(c);
    }
    return out;
}

// The last change before t and the one after it (null when missing).
const RtsChange* LastBefore(const std::vector<RtsChange>& rts, double t)
{
    const RtsChange* found = nullptr;
    for (auto& c : rts)
        if (c.t < t) found = &c;
    return found;
}

class RavelportRs485 : public ::testing::Test {
protected:
    // Two register reads on a link of the given speed and type; the shim's RTS changes meanwhile
    // and the instrument's stamps of the two requests.
    void TwoReads(int baud, int flow)
    {
        ASSERT_TRUE(rp.Ok());
        inst = std::make_unique<TestInstrument>("--reg h:0=0x1234");
        ASSERT_TRUE(inst->Ok()) << inst->Error();
        // A pty number seen for the first time has no log yet: then every line is new.
        std::string before = ShimLogOf(*inst);
        size_t mark = before.empty() ? 0 : Lines(before).size();
        ASSERT_TRUE(rp.ConnectOk(inst->Com(), baud, flow));
        log = ShimLogOf(*inst);
        ASSERT_FALSE(log.empty()) << "no modem-line shim log for the instrument's pty";
        size_t m = inst->Mark();
        uint8_t data[2];
        EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
        EXPECT_EQ(0, rp.ReadHoldingRegister(1, 0, 1, 18, data));
        for (auto& l : inst->Requests(m))
            frames.push_back(l.t);
        rts = RtsSince(log, mark);
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
    std::vector<double> frames;
    std::vector<RtsChange> rts;
};

TEST_F(RavelportRs485, RtsIsRaisedForEachFrameAndDroppedAfterTheHold)
{
    ASSERT_NO_FATAL_FAILURE(TwoReads(19200, 1));
    ASSERT_EQ(2u, frames.size());
    // RTS is up while each frame goes out (a pty keeps the state it had, so the first raise may
    // be no change at all) ...
    const RtsChange* before1 = LastBefore(rts, frames[0]);
    EXPECT_TRUE(before1 == nullptr || before1->on == 1);
    const RtsChange* raise2 = LastBefore(rts, frames[1]);
    ASSERT_NE(nullptr, raise2);
    EXPECT_EQ(1, raise2->on);
    // ... dropped between the sends ...
    ASSERT_NE(raise2, rts.data());
    EXPECT_EQ(0, (raise2 - 1)->on);
    EXPECT_GT((raise2 - 1)->t, frames[0]);
    // ... and dropped once more after the second: 1 ms before the write, 3 ms hold at 19200.
    ASSERT_NE(raise2, &rts.back());
    EXPECT_EQ(0, (raise2 + 1)->on);
    EXPECT_GE((raise2 + 1)->t - raise2->t, 0.004);
    EXPECT_EQ(raise2 + 1, &rts.back());
}

TEST_F(RavelportRs485, TheHoldFollowsTheLineSpeed)
{
    ASSERT_NO_FATAL_FAILURE(TwoReads(1200, 1));
    ASSERT_EQ(2u, frames.size());
    const RtsChange* raise2 = LastBefore(rts, frames[1]);
    ASSERT_NE(nullptr, raise2);
    EXPECT_EQ(1, raise2->on);
    ASSERT_NE(raise2, &rts.back());
    EXPECT_EQ(0, (raise2 + 1)->on);
    // 1 ms, then 33 ms at 1200 bit/s.
    EXPECT_GE((raise2 + 1)->t - raise2->t, 0.034);
}

TEST_F(RavelportRs485, WithoutDirectionControlRtsStaysRaised)
{
    ASSERT_NO_FATAL_FAILURE(TwoReads(19200, 0));
    ASSERT_EQ(2u, frames.size());
    const RtsChange* before1 = LastBefore(rts, frames[0]);
    EXPECT_TRUE(before1 == nullptr || before1->on == 1);
    for (auto& c : rts)
        EXPECT_LT(c.t, frames[0]) << "RTS changed to " << c.on << " during the requests";
}

}  // namespace
