// The thread class and its hand-over to the main thread.
#include <gtest/gtest.h>

#include <atomic>

#include "SerialTestSupport.h"

namespace {

class FnThread : public TThread {
public:
    FnThread(bool suspended, std::function<void(FnThread&)> body)
        : TThread(true), FBody(std::move(body))
    {
        // Started only once fully made: a running thread may call Execute at once.
        if (!suspended) Start();
    }
    ~FnThread() override
    {
        Terminate();
        WaitFor();  // before the body's captures go
    }
    using TThread::Synchronize;
    std::atomic<bool> Ran{false};

protected:
    void Execute() override
    {
        Ran = true;
        FBody(*this);
    }

private:
    std::function<void(FnThread&)> FBody;
};

}  // namespace

TEST(Thread, HandOversRunOnTheMainThreadOnlyWhenItLooks)
{
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> done{false};
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] { ++wakes; });
    FnThread t(false, [&](FnThread& self) {
        self.Synchronize([&] { ranOn = GetCurrentThreadId(); });
        done = true;
    });
    const DWORD start = GetTickCount();
    while (wakes == 0 && GetTickCount() - start < 20000)
        Sleep(5);
    EXPECT_EQ(ranOn.load(), 0u);  // queued, not run
    EXPECT_FALSE(done.load());
    while (!done && GetTickCount() - start < 20000)
        CheckSynchronize(50);
    SetWakeMainThread(nullptr);
    EXPECT_TRUE(done.load());
    EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_FALSE(CheckSynchronize());  // nothing left
}

TEST(Thread, WaitForOnTheMainThreadRunsHandOvers)
{
    int ran = 0;
    FnThread t(false, [&](FnThread& self) {
        self.Synchronize([&] { ++ran; });
        self.Synchronize([&] { ++ran; });
    });
    t.WaitFor();
    EXPECT_EQ(ran, 2);
    EXPECT_TRUE(t.Finished());
}

TEST(Thread, AnErrorOfTheHandedOverCallReturnsToTheThread)
{
    std::string caught;
    FnThread t(false, [&](FnThread& self) {
        try {
            self.Synchronize([] { throw Exception("refused"); });
        } catch (const Exception& e) {
            caught = e.Message();
        }
    });
    t.WaitFor();
    EXPECT_EQ(caught, "refused");
}

TEST(Thread, SuspendedThreadsWaitForStartAndUnstartedOnesNeverRun)
{
    std::atomic<int> runs{0};
    {
        FnThread t(true, [&](FnThread&) { ++runs; });
        Sleep(50);
        EXPECT_EQ(runs.load(), 0);
        t.Start();
        t.WaitFor();
        EXPECT_EQ(runs.load(), 1);
    }
    {
        FnThread never(true, [&](FnThread&) { ++runs; });
        never.SetPriority(tpHigher);
        EXPECT_EQ(never.Priority(), tpHigher);
    }
    EXPECT_EQ(runs.load(), 1);
}

TEST(Thread, TerminateIsARequestTheBodyObserves)
{
    std::atomic<int> loops{0};
    FnThread t(false, [&](FnThread& self) {
        while (!self.Terminated()) {
            ++loops;
            Sleep(1);
        }
    });
    while (loops == 0)
        Sleep(1);
    EXPECT_FALSE(t.Finished());
    t.Terminate();
    t.WaitFor();
    EXPECT_TRUE(t.Terminated());
    EXPECT_TRUE(t.Finished());
}

TEST(Thread, EscapedErrorsAreKeptAndCheckSynchronizeRefusesOtherThreads)
{
    std::atomic<bool> checked{true};
    FnThread t(false, [&](FnThread&) {
        checked = CheckSynchronize();
        throw Exception("body failed");
    });
    t.WaitFor();
    EXPECT_FALSE(checked.load());
    ASSERT_TRUE(t.FatalException());
    try {
        std::rethrow_exception(t.FatalException());
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "body failed");
    }
}
