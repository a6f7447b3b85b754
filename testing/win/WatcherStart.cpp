// Linked into every test program. GoogleTest on Windows watches each thread that uses its
// per-thread state (a SCOPED_TRACE, a failure) from a thread of its own, begun at that first use.
// 32-bit Wine dies on a signal when the process ends while one of its threads is still starting, so
// a short case with a SCOPED_TRACE now and then crashed the program after it had passed. The main
// thread's watcher is begun before the first case, and the cases wait until it runs.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <gtest/gtest.h>

#include "OwnThreads.h"

namespace {

using tovik::testing::OwnThreads;

// Threads that ran the program's thread-attach callback while the watcher is awaited: such a thread
// has left its start.
constexpr int kMaxAttached = 64;
std::atomic<DWORD> gAttached[kMaxAttached];
std::atomic<int> gAttachedCount{0};
std::atomic<HANDLE> gAttachEvent{nullptr};

void NTAPI ThreadAttached(PVOID, DWORD reason, PVOID)
{
    HANDLE event = gAttachEvent;
    if (reason != DLL_THREAD_ATTACH || !event) return;
    int at = gAttachedCount++;
    if (at < kMaxAttached) gAttached[at] = GetCurrentThreadId();
    SetEvent(event);
}

bool Attached(DWORD id)
{
    int n = std::min<int>(gAttachedCount, kMaxAttached);
    for (int i = 0; i < n; ++i)
        if (gAttached[i] == id) return true;
    return false;
}

class WatcherStart : public ::testing::Environment {
public:
    void SetUp() override
    {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
        gAttachEvent = event;
        std::vector<DWORD> before = OwnThreads();
        { SCOPED_TRACE("the main thread's watcher"); }
        std::vector<DWORD> begun;
        for (DWORD id : OwnThreads())
            if (std::find(before.begin(), before.end(), id) == before.end()) begun.push_back(id);
        bool started = true;
        for (;;) {
            begun.erase(std::remove_if(begun.begin(), begun.end(), Attached), begun.end());
            if (begun.empty()) break;
            // A thread that never reaches the callback must not hold the program forever.
            if (WaitForSingleObject(event, 10000) == WAIT_TIMEOUT) {
                started = false;
                break;
            }
        }
        gAttachEvent = nullptr;
        CloseHandle(event);
        ASSERT_TRUE(started) << begun.size() << " thread(s) begun for the watcher did not start within 10 s";
    }
};

const auto* const kWatcherStart = ::testing::AddGlobalTestEnvironment(new WatcherStart);

// Run by the loader in each new thread once it has started, before the thread's own code.
__attribute__((section(".CRT$XLT"), used)) PIMAGE_TLS_CALLBACK gThreadAttached = ThreadAttached;

}  // namespace
