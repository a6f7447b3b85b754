// The simulated instrument seen from the Windows side: plain Win32 serial calls on the COM port
// it links, its control port and its frame log, all through TestInstrument.h.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../testing/win/TestInstrument.h"

using tovik::testing::LogLine;
using tovik::testing::TestInstrument;
using Bytes = std::vector<uint8_t>;

namespace {

// Written from the algorithm, independent of the instrument's table-free version.
uint16_t Crc(const Bytes& b)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t x : b) {
        crc ^= x;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

Bytes Framed(Bytes b)
{
    uint16_t c = Crc(b);
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
    return b;
}

bool CrcGood(const Bytes& b)
{
    return b.size() >= 4 && Crc(Bytes(b.begin(), b.end() - 2)) == (b[b.size() - 2] | b[b.size() - 1] << 8);
}

Bytes ArchiveRequest(int addr, int arch, int index)
{
    return Framed({uint8_t(addr), 0x41, 0, uint8_t(arch), 0, 1, 0, uint8_t(index >> 8), uint8_t(index)});
}

// The serial side as a Modbus master would use it: a reply ends at 50 ms of silence, the first
// byte is awaited up to 1000 ms. Reads poll the port without blocking; the status query is where
// a hung-up line shows (a read of it just gives nothing).
class Port {
public:
    Port(const std::string& path, DWORD baud = 19200)
    {
        h_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h_ == INVALID_HANDLE_VALUE)
            return;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(h_, &dcb);
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
        ok_ = SetCommState(h_, &dcb) && SetCommTimeouts(h_, &t);
        PurgeComm(h_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    ~Port()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    bool Ok() const { return ok_; }
    bool Failed() const { return failed_; }

    bool Send(const Bytes& b)
    {
        DWORD n = 0;
        return WriteFile(h_, b.data(), DWORD(b.size()), &n, nullptr) && n == b.size();
    }

    Bytes Receive(DWORD firstMs = 1000, DWORD silenceMs = 50, size_t max = 4096)
    {
        Bytes got;
        DWORD start = GetTickCount(), last = start;
        while (got.size() < max) {
            uint8_t buf[512];
            DWORD n = 0, errors = 0;
            COMSTAT st{};
            if (!ClearCommError(h_, &errors, &st) ||
                !ReadFile(h_, buf, DWORD(std::min<size_t>(sizeof buf, max - got.size())), &n, nullptr)) {
                failed_ = true;
                break;
            }
            DWORD now = GetTickCount();
            if (n) {
                got.insert(got.end(), buf, buf + n);
                last = now;
                continue;
            }
            if (got.empty() ? now - start > firstMs : now - last > silenceMs)
                break;
            Sleep(1);
        }
        return got;
    }

    Bytes Transact(const Bytes& req)
    {
        return Send(req) ? Receive() : Bytes{};
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
    bool ok_ = false, failed_ = false;
};

std::string Config(const char* name)
{
    return TestInstrument::Source(std::string("config/") + name);
}

// A records file in a fresh work folder, cp1251 bytes as written here.
std::string RecordsFile(const std::string& text)
{
    std::string path = TestInstrument::MakeWorkDir() + "/records.txt";
    TestInstrument::WriteFile(TestInstrument::Wine(path), text);
    return path;
}

Bytes Data(const Bytes& reply)  // an 0x41 reply's record bytes
{
    return reply.size() >= 5 ? Bytes(reply.begin() + 3, reply.end() - 2) : Bytes{};
}

bool HasEvent(const std::vector<LogLine>& log, const std::string& text)
{
    for (auto& l : log)
        if (l.dir == LogLine::Event && l.text.rfind(text, 0) == 0)
            return true;
    return false;
}

}  // namespace

TEST(InstrumentFrames, KnownReadFrameAndItsReply)
{
    TestInstrument inst("--reg h:0=0x1234");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes req = Framed({1, 3, 0, 0, 0, 1});
    EXPECT_EQ(req, (Bytes{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));
    EXPECT_EQ(port.Transact(req), (Bytes{1, 3, 2, 0x12, 0x34, 0xB5, 0x33}));

    auto in = inst.Requests();
    auto out = inst.Replies();
    ASSERT_EQ(in.size(), 1u);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(in[0].bytes, req);
    EXPECT_EQ(out[0].bytes, (Bytes{1, 3, 2, 0x12, 0x34, 0xB5, 0x33}));
    EXPECT_LE(in[0].t, out[0].t);
    EXPECT_EQ(inst.RequestCount(), 1);
}

TEST(InstrumentFrames, LineSpeedComesFromThePortSettings)
{
    TestInstrument inst;
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    EXPECT_EQ(inst.Speed(), 0);  // nobody has opened the port yet
    {
        Port port(inst.DevicePath(), 9600);
        ASSERT_TRUE(port.Ok());
        EXPECT_EQ(inst.Speed(), 9600);
    }
    Port port(inst.DevicePath(), 19200);
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(inst.Speed(), 19200);
    port.Transact(Framed({1, 3, 0, 0, 0, 1}));  // the loop notices the change at the latest here
    auto log = inst.Log();
    EXPECT_TRUE(HasEvent(log, "speed 9600"));
    EXPECT_TRUE(HasEvent(log, "speed 19200"));
}

TEST(InstrumentFrames, RegistersWriteReadAndInputBank)
{
    TestInstrument inst("--reg i:7=0xBEEF");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());

    Bytes write = Framed({1, 0x10, 0, 5, 0, 2, 4, 0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(write.size(), 13u);
    EXPECT_EQ(port.Transact(write), Framed({1, 0x10, 0, 5, 0, 2}));
    EXPECT_EQ(port.Transact(Framed({1, 3, 0, 5, 0, 2})), Framed({1, 3, 4, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(port.Transact(Framed({1, 4, 0, 7, 0, 1})), Framed({1, 4, 2, 0xBE, 0xEF}));
    EXPECT_EQ(inst.Command("reg h 6"), "OK 22136");
    // Too many registers: exception 3.
    EXPECT_EQ(port.Transact(Framed({1, 3, 0, 0, 0, 126})), Framed({1, 0x83, 3}));
}

// Line-discipline characters (CR, LF, XON, XOFF, the signal keys, DEL) must cross the pty raw in
// both directions, or replies and requests would be mangled by the terminal layer.
TEST(InstrumentFrames, ControlCharactersCrossTheLineUnchanged)
{
    TestInstrument inst;
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes values{0x0D, 0x0A, 0x11, 0x13, 0x03, 0x1C, 0x1A, 0x7F, 0x04, 0x15, 0xFF, 0x00};
    Bytes write{1, 0x10, 0, 0x0D, 0, 6, 12};
    write.insert(write.end(), values.begin(), values.end());
    EXPECT_EQ(port.Transact(Framed(write)), Framed({1, 0x10, 0, 0x0D, 0, 6}));
    Bytes read{1, 3, 2 * 6};
    read.insert(read.end(), values.begin(), values.end());
    EXPECT_EQ(port.Transact(Framed({1, 3, 0, 0x0D, 0, 6})), Framed(read));
}

TEST(InstrumentFrames, ReportSlaveIdWithAndWithoutName)
{
    TestInstrument inst("--slave-id ABC");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(port.Transact(Framed({1, 0x11})), Framed({1, 0x11, 3, 'A', 'B', 'C'}));
    EXPECT_EQ(inst.Command("slaveid"), "OK");
    Bytes empty = port.Transact(Framed({1, 0x11}));
    EXPECT_EQ(empty, Framed({1, 0x11, 0}));
    EXPECT_EQ(empty.size(), 5u);
}

TEST(InstrumentFrames, IgnoresBadCrcOtherAddressAndRefusesUnknownFunctions)
{
    TestInstrument inst;
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    EXPECT_TRUE(port.Transact({1, 3, 0, 0, 0, 1, 0x84, 0x0B}).empty());
    EXPECT_TRUE(port.Transact(Framed({2, 3, 0, 0, 0, 1})).empty());
    EXPECT_EQ(inst.RequestCount(), 0);
    EXPECT_EQ(port.Transact(Framed({1, 7})), Framed({1, 0x87, 1}));
    auto log = inst.Log();
    EXPECT_TRUE(HasEvent(log, "ignored bad-crc"));
    EXPECT_TRUE(HasEvent(log, "ignored addr 2"));
    EXPECT_EQ(inst.Requests().size(), 3u);  // every frame is logged, answered or not
}

TEST(InstrumentFrames, TwoDevicesOnOneLine)
{
    TestInstrument inst("--device " + Config("rs20.ini") + " --slave-id first --device " + Config("kt3.ini") +
                        " --addr 7 --slave-id second");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(port.Transact(Framed({1, 0x11})), Framed({1, 0x11, 5, 'f', 'i', 'r', 's', 't'}));
    EXPECT_EQ(port.Transact(Framed({7, 0x11})), Framed({7, 0x11, 6, 's', 'e', 'c', 'o', 'n', 'd'}));
    EXPECT_EQ(inst.Command("@7 addr 8"), "OK");
    EXPECT_TRUE(port.Transact(Framed({7, 0x11})).empty());
}

// Byte layouts of the record kinds, with the values of the decoding examples.
TEST(InstrumentRecords, RecordsFileEncodesEveryLayout)
{
    std::string records = RecordsFile(
                                      "# layouts 0, 3, 2\n"
                                      "archive 1\n"
                                      "rec 1262304000 5 0x3FC00000\n"
                                      "rec 2001-09-09T01:46:40 2 0xFFFF\n"
                                      "archive 2\n"
                                      "rec 90061 8 -1 f:1.5\n"
                                      "archive 3\n"
                                      "rec 0 65535 0\n"
                                      "rec 31536000 3 4294967295\n"
                                      "raw 01 02 03\n");
    TestInstrument inst("--device " + Config("rs20.ini") + " --records " + records);
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());

    Bytes r = port.Transact(ArchiveRequest(1, 1, 0));
    EXPECT_TRUE(CrcGood(r));
    EXPECT_EQ(r, Framed({1, 0x41, 10, 0x4B, 0x3D, 0x3B, 0x00, 0x00, 0x05, 0x3F, 0xC0, 0x00, 0x00}));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 1, 1))),
              (Bytes{0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 2, 0))),
              (Bytes{0x00, 0x01, 0x5F, 0xCD, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0xC0, 0x00, 0x00}));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 3, 1))),
              (Bytes{0x01, 0xE1, 0x33, 0x80, 0x00, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 3, 2))), (Bytes{1, 2, 3}));

    // Count registers: input 0 (archive 1), holding 10 (archive 2), input 2 (layout 2: count - 1).
    EXPECT_EQ(port.Transact(Framed({1, 4, 0, 0, 0, 1})), Framed({1, 4, 2, 0, 2}));
    EXPECT_EQ(port.Transact(Framed({1, 3, 0, 10, 0, 1})), Framed({1, 3, 2, 0, 1}));
    EXPECT_EQ(port.Transact(Framed({1, 4, 0, 2, 0, 1})), Framed({1, 4, 2, 0, 2}));
    // Beyond the records, or an archive the device does not have: exception 2.
    EXPECT_EQ(port.Transact(ArchiveRequest(1, 1, 2)), Framed({1, 0xC1, 2}));
    EXPECT_EQ(port.Transact(ArchiveRequest(1, 7, 0)), Framed({1, 0xC1, 2}));
}

TEST(InstrumentRecords, TextJournalAndModeLogAnswerTheirArchiveBytes)
{
    std::string records = RecordsFile(
                                      "archive 1\n"
                                      "jrn 2026-03-04T05:06:07 Уставка: 1->2\n"
                                      "text  04.03.26 05:06:07 Без стрелки\n"
                                      "archive 2\n"
                                      "rec 1000000000 2\n"
                                      "rec 1000000600 256\n");
    TestInstrument inst("--device " + Config("kt3.ini") + " --records " + records);
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());

    std::string entry = " 04.03.26 05:06:07 Уставка: 1->2";
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 9, 0))), Bytes(entry.begin(), entry.end()));
    std::string plain = " 04.03.26 05:06:07 Без стрелки";
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 9, 1))), Bytes(plain.begin(), plain.end()));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 8, 0))), (Bytes{0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x02}));
    EXPECT_EQ(Data(port.Transact(ArchiveRequest(1, 8, 1))), (Bytes{0x3B, 0x9A, 0xCC, 0x58, 0x01, 0x00}));
    // Count registers are holding 100 and 101.
    EXPECT_EQ(port.Transact(Framed({1, 3, 0, 100, 0, 2})), Framed({1, 3, 4, 0, 2, 0, 2}));
}

TEST(InstrumentRecords, RingArchiveCountsOverflowsAndKeepsTheNewest)
{
    TestInstrument inst("--device " + Config("rs20.ini") + " --generate 3");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    ASSERT_EQ(inst.Command("records 4 250"), "OK");  // capacity 100: 2 overflows, 50 in the count
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(port.Transact(Framed({1, 4, 0, 4, 0, 2})), Framed({1, 4, 4, 0, 50, 0, 2}));
    EXPECT_EQ(inst.Command("count 4"), "OK 250 50 2");
    // Slot 0 holds record 200 (operating time 3600 + 600 * 200), slot 50 record 150.
    Bytes slot0 = Data(port.Transact(ArchiveRequest(1, 4, 0)));
    ASSERT_EQ(slot0.size(), 10u);
    EXPECT_EQ((Bytes{slot0[0], slot0[1], slot0[2], slot0[3]}), (Bytes{0x00, 0x01, 0xE2, 0xD0}));
    Bytes slot50 = Data(port.Transact(ArchiveRequest(1, 4, 50)));
    ASSERT_EQ(slot50.size(), 10u);
    EXPECT_EQ((Bytes{slot50[0], slot50[1], slot50[2], slot50[3]}), (Bytes{0x00, 0x01, 0x6D, 0xA0}));
    EXPECT_EQ(TestInstrument::Hex(inst.Command("record 4 50").substr(3)), slot50);
    EXPECT_EQ(port.Transact(ArchiveRequest(1, 4, 100)), Framed({1, 0xC1, 2}));
}

TEST(InstrumentRecords, DemoConfigurationLoads)
{
    std::string cfg = "--device " + Config("rs20.ini") + " --records " + Config("rs20-records.txt") + " --device " +
                      Config("kt3.ini") + " --generate 120 --device " + Config("vr5.ini") + " --generate 450";
    TestInstrument inst(cfg);
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    EXPECT_EQ(inst.Command("count 1"), "OK 300 300 0");
    EXPECT_EQ(inst.Command("count 3"), "OK 241 240 0");
    EXPECT_EQ(inst.Command("count 4"), "OK 250 50 2");
    EXPECT_EQ(inst.Command("@2 count 2"), "OK 120 120 0");
    EXPECT_EQ(inst.Command("@3 count 1"), "OK 450 50 2");
    // The first explicit record: ID 1, the float 1.5.
    EXPECT_EQ(inst.Command("record 1 0"), "OK 69 55 B9 00 00 01 3F C0 00 00");
    // Generated text journal entries are cp1251 text with the date in characters 2 to 19.
    std::string j = inst.Command("@2 record 1 0");
    ASSERT_EQ(j.rfind("OK ", 0), 0u) << j;
    Bytes text = TestInstrument::Hex(j.substr(3));
    ASSERT_GT(text.size(), 20u);
    EXPECT_EQ(std::string(text.begin() + 1, text.begin() + 19), "01.01.26 00:00:00 ");
}

TEST(InstrumentFaults, SilentAndBadCrcForTheFirstAttempts)
{
    TestInstrument inst("--reg h:0=1 --fault \"badcrc times=2\"");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes req = Framed({1, 3, 0, 0, 0, 1});
    EXPECT_FALSE(CrcGood(port.Transact(req)));
    EXPECT_FALSE(CrcGood(port.Transact(req)));
    EXPECT_EQ(port.Transact(req), Framed({1, 3, 2, 0, 1}));

    ASSERT_TRUE(inst.Fault("silent times=1"));
    EXPECT_TRUE(port.Transact(req).empty());
    EXPECT_EQ(port.Transact(req), Framed({1, 3, 2, 0, 1}));
    EXPECT_EQ(inst.Command("fault bogus"), "ERR unknown fault 'bogus'");
}

TEST(InstrumentFaults, AddressExceptionAndFunctionFilter)
{
    TestInstrument inst("--device " + Config("rs20.ini") + " --generate 5");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    ASSERT_TRUE(inst.Fault("addr=9 times=1"));
    Bytes r = port.Transact(Framed({1, 4, 0, 0, 0, 1}));
    EXPECT_EQ(r, Framed({9, 4, 2, 0, 5}));

    ASSERT_TRUE(inst.Fault("exception=4 func=0x41"));
    EXPECT_EQ(port.Transact(ArchiveRequest(1, 1, 0)), Framed({1, 0xC1, 4}));
    EXPECT_EQ(port.Transact(Framed({1, 4, 0, 0, 0, 1})), Framed({1, 4, 2, 0, 5}));
    EXPECT_EQ(inst.Command("faults"), "OK exception=4 func=0x41");
    ASSERT_TRUE(inst.ClearFaults());
    EXPECT_EQ(port.Transact(ArchiveRequest(1, 1, 0)).size(), 15u);
}

TEST(InstrumentFaults, DelayedFirstByteAndPauseInsideTheReply)
{
    TestInstrument inst("--reg h:0=0x1234 --reg h:1=0x5678");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes req = Framed({1, 3, 0, 0, 0, 2});
    Bytes whole = Framed({1, 3, 4, 0x12, 0x34, 0x56, 0x78});

    size_t m = inst.Mark();
    ASSERT_TRUE(inst.Fault("delay=300 times=1"));
    ASSERT_TRUE(port.Send(req));
    EXPECT_EQ(port.Receive(5000), whole);
    auto in = inst.Requests(m), out = inst.Replies(m);
    ASSERT_EQ(in.size(), 1u);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_GE(out[0].t - in[0].t, 0.3);  // never earlier than asked

    m = inst.Mark();
    ASSERT_TRUE(inst.Fault("pause=400 at=3 times=1"));
    ASSERT_TRUE(port.Send(req));
    EXPECT_EQ(port.Receive(), (Bytes{1, 3, 4}));  // the pause ends this reply
    EXPECT_EQ(port.Receive(5000), Bytes(whole.begin() + 3, whole.end()));
    out = inst.Replies(m);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_GE(out[1].t - out[0].t, 0.4);
}

TEST(InstrumentFaults, StaleByteLongReplyAndNoise)
{
    TestInstrument inst("--reg h:0=7");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes req = Framed({1, 3, 0, 0, 0, 1});

    ASSERT_TRUE(inst.Fault("stale after=200 byte=0xAA times=1"));
    EXPECT_EQ(port.Transact(req), Framed({1, 3, 2, 0, 7}));
    EXPECT_EQ(port.Receive(5000), (Bytes{0xAA}));

    ASSERT_TRUE(inst.Fault("long=300 times=1"));
    Bytes lng = port.Transact(req);
    EXPECT_EQ(lng.size(), 300u);
    EXPECT_TRUE(CrcGood(lng));

    ASSERT_TRUE(inst.Fault("noise times=1"));
    Bytes noisy = port.Send(req) ? port.Receive(1000, 50, 1000) : Bytes{};
    ASSERT_EQ(noisy.size(), 1000u);  // still talking after the 7-byte reply and 993 more bytes
    EXPECT_EQ(Bytes(noisy.begin(), noisy.begin() + 7), Framed({1, 3, 2, 0, 7}));
    EXPECT_EQ(noisy[999], 0x55);
    ASSERT_TRUE(inst.ClearFaults());
    port.Receive();  // drain to silence
    EXPECT_TRUE(HasEvent(inst.Log(), "noise end"));
    EXPECT_EQ(port.Transact(req), Framed({1, 3, 2, 0, 7}));
}

TEST(InstrumentFaults, HangupAfterSomeRequestsFailsTheRead)
{
    TestInstrument inst("--fault \"hangup after=1\"");
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    Port port(inst.DevicePath());
    ASSERT_TRUE(port.Ok());
    Bytes req = Framed({1, 3, 0, 0, 0, 1});
    EXPECT_EQ(port.Transact(req), Framed({1, 3, 2, 0, 0}));
    EXPECT_TRUE(port.Transact(req).empty());
    EXPECT_TRUE(port.Failed());
    EXPECT_TRUE(HasEvent(inst.Log(), "hangup"));
    EXPECT_EQ(inst.Command("ping"), "OK");  // control outlives the line
}

TEST(InstrumentControl, BadStartReportsWhy)
{
    TestInstrument inst("--device /nonexistent/dev.ini");
    EXPECT_FALSE(inst.Ok());
    EXPECT_NE(inst.Error().find("/nonexistent/dev.ini"), std::string::npos) << inst.Error();
}

namespace {
bool PortListed(const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0;; ++i) {
        char value[256], data[256];
        DWORD vn = sizeof value, dn = sizeof data, type = 0;
        if (RegEnumValueA(key, i, value, &vn, nullptr, &type, reinterpret_cast<BYTE*>(data), &dn) != ERROR_SUCCESS)
            break;
        if (type == REG_SZ && name == data)
            found = true;
    }
    RegCloseKey(key);
    return found;
}
}  // namespace

TEST(InstrumentControl, ExplicitComNumberPortListAndStop)
{
    TestInstrument inst("", 17);
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    EXPECT_EQ(inst.PortName(), "COM17");
    EXPECT_FALSE(PortListed("COM17"));
    ASSERT_TRUE(inst.ListPort());
    EXPECT_TRUE(PortListed("COM17"));
    {
        Port port("\\\\.\\COM17");
        EXPECT_TRUE(port.Ok());
    }
    inst.Stop();
    EXPECT_FALSE(PortListed("COM17"));
    // The link is gone with the instrument.
    HANDLE h = CreateFileA("\\\\.\\COM17", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}
