// Line events of an open port: the watcher, the three deliveries and the processing order.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "SerialTestSupport.h"

namespace {

// Records what the port raises, in order.
struct Recorder {
    std::mutex lock;
    std::vector<std::string> seen;
    void Add(const std::string& s)
    {
        std::lock_guard<std::mutex> g(lock);
        seen.push_back(s);
    }
    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> g(lock);
        std::vector<std::string> out;
        out.swap(seen);
        return out;
    }
    void Attach(TCustomSerialPort& port)
    {
        port.OnAfterOpen = [this](TComponent*) { Add("AfterOpen"); };
        port.OnBeforeOpen = [this](TComponent*) { Add("BeforeOpen"); };
        port.OnAfterClose = [this](TComponent*) { Add("AfterClose"); };
        port.OnBeforeClose = [this](TComponent*) { Add("BeforeClose"); };
        port.OnRxChar = [this](TComponent*, int32_t n) { Add("RxChar" + std::to_string(n)); };
        port.OnTxEmpty = [this](TComponent*) { Add("TxEmpty"); };
        port.OnBreak = [this](TComponent*) { Add("Break"); };
        port.OnRing = [this](TComponent*) { Add("Ring"); };
        port.OnRxFlag = [this](TComponent*) { Add("RxFlag"); };
        port.OnRx80Full = [this](TComponent*) { Add("Rx80Full"); };
        port.OnError = [this](TComponent*, TSerialErrors) { Add("Error"); };
        port.OnCTSChange = [this](TComponent*, bool on) { Add(on ? "CTS1" : "CTS0"); };
        port.OnDSRChange = [this](TComponent*, bool on) { Add(on ? "DSR1" : "DSR0"); };
        port.OnRLSDChange = [this](TComponent*, bool on) { Add(on ? "RLSD1" : "RLSD0"); };
    }
};

using Seq = std::vector<std::string>;

}  // namespace

TEST(SerialEvents, OpenReportsTheLinesAfterOnAfterOpenAndCloseClearsThemFirst)
{
    TestPty pty;
    pty.SetLines(TestPty::LineCTS | TestPty::LineCD);
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({});
    Recorder r;
    r.Attach(port);
    TSerialPortListener l;
    std::vector<std::string> notices;
    l.ConnectionChanged = [&](bool on) { notices.push_back(on ? "connected" : "disconnected"); };
    l.CTSChanged = [&](bool on) { notices.push_back(on ? "cts1" : "cts0"); };
    port.AddListener(&l);

    port.OpenPort();
    EXPECT_EQ(r.Take(), (Seq{"BeforeOpen", "AfterOpen", "CTS1", "DSR0", "RLSD1"}));
    EXPECT_FALSE(port.ThreadActive());  // no events asked for: no watcher
    port.ClosePort();
    EXPECT_EQ(r.Take(), (Seq{"CTS0", "DSR0", "RLSD0", "BeforeClose", "AfterClose"}));
    EXPECT_EQ(notices, (Seq{"connected", "cts1", "cts0", "disconnected"}));
}

TEST(SerialEvents, ASetIsProcessedInItsFixedOrder)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({});
    port.OpenPort();
    pty.Send("ab");
    ASSERT_TRUE(PumpUntil([&] { return port.BytesAvailable() == 2; }));
    Recorder r;
    r.Attach(port);
    pty.SetLines(TestPty::LineDSR);
    port.ProcessEvents(AllSerialEvents);
    // No line error is pending, so evError raises nothing.
    EXPECT_EQ(r.Take(), (Seq{"RxChar2", "TxEmpty", "Break", "Ring", "CTS0", "DSR1", "RxFlag",
                             "RLSD0", "Rx80Full"}));
    port.PurgeQueues(true, false);
    port.ProcessEvents({evRxChar, evError});  // nothing waiting: no OnRxChar either
    EXPECT_TRUE(r.Take().empty());
}

TEST(SerialEvents, ReceivedBytesRaiseOnRxCharOnTheWatcherWithSmNone)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetSyncMethod(smNone);
    std::atomic<int> count{0};
    std::atomic<DWORD> thread{0};
    port.OnRxChar = [&](TComponent* sender, int32_t n) {
        EXPECT_EQ(sender, &port);
        thread = GetCurrentThreadId();
        count = n;
    };
    port.OpenPort();
    EXPECT_TRUE(port.ThreadActive());
    // Bytes that come before the watcher waits may raise nothing: send again until they do.
    for (int attempt = 0; attempt < 20 && count == 0; ++attempt) {
        pty.Send("12345");
        PumpUntil([&] { return count.load() != 0; }, 1000);
    }
    ASSERT_NE(count.load(), 0);
    EXPECT_GE(count.load(), 1);
    EXPECT_NE(thread.load(), GetCurrentThreadId());
    port.ClosePort();
    EXPECT_FALSE(port.ThreadActive());
}

TEST(SerialEvents, ThreadSyncHandsTheEventsToTheMainThread)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({evRxChar});
    std::atomic<int> count{0};
    std::atomic<DWORD> thread{0};
    port.OnRxChar = [&](TComponent*, int32_t n) {
        thread = GetCurrentThreadId();
        count = n;
    };
    port.OpenPort();
    for (int attempt = 0; attempt < 20 && count == 0; ++attempt) {
        pty.Send("x");
        PumpUntil([&] { return count.load() != 0; }, 1000);
    }
    ASSERT_NE(count.load(), 0);
    EXPECT_EQ(thread.load(), GetCurrentThreadId());
}

TEST(SerialEvents, ClosingRunsTheHandOverTheWatcherIsBlockedIn)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({evCTS});
    std::atomic<bool> queued{false};
    SetWakeMainThread([&] { queued = true; });
    Recorder r;
    port.OpenPort();
    r.Attach(port);
    // A change made before the watcher waits is not an event: change the line until one is
    // seen. The main thread does not run hand-overs meanwhile, as in the library.
    for (int attempt = 0; attempt < 20 && !queued; ++attempt) {
        pty.SetLines(TestPty::LineCTS);
        for (int i = 0; i < 200 && !queued; ++i)
            Sleep(5);
        if (!queued)
            pty.SetLines(0);
    }
    pty.SetLines(TestPty::LineCTS);
    SetWakeMainThread(nullptr);
    ASSERT_TRUE(queued.load());
    EXPECT_TRUE(r.Take().empty());
    port.ClosePort();  // must not hang: it runs the waiting hand-over itself
    EXPECT_EQ(r.Take(), (Seq{"CTS0", "DSR0", "RLSD0", "BeforeClose", "CTS1", "AfterClose"}));
    EXPECT_FALSE(port.ThreadActive());
}

namespace {
std::vector<WPARAM> gWindowEvents;
WNDPROC gOriginalProc;
LRESULT CALLBACK RecordingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SERIALPORT_EVENT)
        gWindowEvents.push_back(wp);
    return CallWindowProcA(gOriginalProc, w, msg, wp, lp);
}
}  // namespace

TEST(SerialEvents, WindowSyncSendsOneMessagePerEventWithItsMaskBit)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetSyncMethod(smWindowSync);
    port.SetEvents({evRLSD, evRing, evCTS});
    Recorder r;
    port.OnRLSDChange = [&](TComponent*, bool on) { r.Add(on ? "RLSD1" : "RLSD0"); };
    port.OnRing = [&](TComponent*) { r.Add("Ring"); };
    port.OpenPort();
    r.Take();
    HWND w = static_cast<HWND>(port.NotifyWindow());
    ASSERT_NE(w, nullptr);
    gWindowEvents.clear();
    gOriginalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));

    // A change made before the watcher waits is not an event: change the line until one is
    // seen, then look at the one change that follows.
    int lines = 0;
    for (int attempt = 0; attempt < 20 && gWindowEvents.empty(); ++attempt) {
        lines ^= TestPty::LineCD;
        pty.SetLines(lines);
        PumpUntil([&] { return !gWindowEvents.empty(); }, 1000);
    }
    ASSERT_FALSE(gWindowEvents.empty());
    PumpUntil([] { return false; }, 300);
    gWindowEvents.clear();
    r.Take();
    pty.SetLines(lines ^ TestPty::LineCD);  // an evRLSD alone
    ASSERT_TRUE(PumpUntil([&] { return !gWindowEvents.empty(); }));
    PumpUntil([] { return false; }, 300);  // anything extra would arrive now
    EXPECT_EQ(gWindowEvents, (std::vector<WPARAM>{0x0020}));
    EXPECT_EQ(r.Take(), (Seq{(lines & TestPty::LineCD) ? "RLSD0" : "RLSD1"}));
    gWindowEvents.clear();
    pty.SetLines((lines ^ TestPty::LineCD) | TestPty::LineRI);  // an evRing alone
    ASSERT_TRUE(PumpUntil([&] { return !gWindowEvents.empty(); }));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(gWindowEvents, (std::vector<WPARAM>{0x0100}));
    EXPECT_EQ(r.Take(), (Seq{"Ring"}));
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gOriginalProc));
    port.ClosePort();
    EXPECT_EQ(port.NotifyWindow(), nullptr);
    EXPECT_FALSE(IsWindow(w));
}

TEST(SerialEvents, SyncMethodCannotChangeWhileOpen)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({});
    port.SetSyncMethod(smNone);  // closed: stored
    port.OpenPort();
    EXPECT_NO_THROW(port.SetSyncMethod(smNone));
    try {
        port.SetSyncMethod(smWindowSync);
        FAIL() << "no error";
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 14);
        EXPECT_EQ(e.SystemErrorCode(), -1);
        EXPECT_EQ(e.Message(), "Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_TRUE(port.Connected());
}

TEST(SerialEvents, ANewPortNameReopensTheSameNameDoesNot)
{
    TestPty first, second;
    TSerialPort port;
    port.SetPort(first.PortName());
    port.SetEvents({});
    Recorder r;
    port.OpenPort();
    r.Attach(port);
    port.SetPort(first.PortName());
    EXPECT_TRUE(r.Take().empty());
    port.SetPort(second.PortName());
    EXPECT_EQ(r.Take(), (Seq{"CTS0", "DSR0", "RLSD0", "BeforeClose", "AfterClose", "BeforeOpen",
                             "AfterOpen", "CTS0", "DSR0", "RLSD0"}));
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteBlock("hi", 2), 2);
    EXPECT_EQ(second.Receive(2), "hi");
    EXPECT_EQ(first.Receive(1, 100), "");
}

TEST(SerialEvents, DestroyingAnOpenPortStopsItsWatcher)
{
    TestPty pty;
    auto* port = new TSerialPort;
    port->SetPort(pty.PortName());
    port->SetSyncMethod(smNone);
    bool closed = false;
    port->OnAfterClose = [&](TComponent*) { closed = true; };
    port->OpenPort();
    ASSERT_TRUE(port->ThreadActive());
    delete port;
    EXPECT_TRUE(closed);
    TSerialPort again;  // the device is free again
    again.SetPort(pty.PortName());
    again.SetEvents({});
    EXPECT_NO_THROW(again.OpenPort());
}

TEST(SerialEvents, TransfersTellTheListeners)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({});
    Seq notices;
    TSerialPortListener l;
    l.TransmissionActive = [&](bool on) { notices.push_back(on ? "tx1" : "tx0"); };
    l.DataTransmitted = [&](const void* b, int32_t n) {
        notices.push_back("sent " + std::string(static_cast<const char*>(b), n));
    };
    l.ReceptionActive = [&](bool on) { notices.push_back(on ? "rx1" : "rx0"); };
    port.OpenPort();
    port.AddListener(&l);
    EXPECT_EQ(port.WriteBlock("abc", 3), 3);
    pty.Send("q");
    ASSERT_TRUE(PumpUntil([&] { return port.BytesAvailable() == 1; }));
    char c;
    EXPECT_EQ(port.ReadBlock(&c, 1), 1);
    EXPECT_EQ(notices, (Seq{"tx1", "sent abc", "rx0"}));
    port.RemoveListener(&l);
    port.WriteBlock("d", 1);
    EXPECT_EQ(notices.size(), 3u);
}

TEST(SerialEvents, AReadThatFindsNothingStillEndsReception)
{
    TestPty pty;
    TSerialPort port;
    port.SetPort(pty.PortName());
    port.SetEvents({});
    Seq notices;
    TSerialPortListener l;
    l.ReceptionActive = [&](bool on) { notices.push_back(on ? "rx1" : "rx0"); };
    port.OpenPort();
    port.AddListener(&l);
    char c;
    EXPECT_EQ(port.ReadBlock(&c, 1), 0);
    EXPECT_EQ(notices, (Seq{"rx0"}));
    port.RemoveListener(&l);
}

TEST(SerialEvents, AConnectedPortLoadedFromStorageOpensAtTheEndOfLoading)
{
    TestPty pty;
    std::exception_ptr handled;
    SetApplicationExceptionHandler([&](std::exception_ptr e) { handled = e; });
    {
        TSerialPort port;
        port.SetEvents({});
        port.BeginLoading();
        port.SetPort(pty.PortName());
        port.SetConnected(true);  // only stored while loading
        EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
        port.EndLoading();
        EXPECT_TRUE(port.Connected());
        EXPECT_NE(port.DeviceHandle(), INVALID_HANDLE_VALUE);
    }
    {
        TSerialPort missing;
        missing.BeginLoading();
        missing.SetPort("COM196");
        missing.SetConnected(true);
        missing.EndLoading();  // the error goes to the application's handler
        EXPECT_FALSE(missing.Connected());
    }
    SetApplicationExceptionHandler(nullptr);
    ASSERT_TRUE(handled);
    try {
        std::rethrow_exception(handled);
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 1);
    }
}
