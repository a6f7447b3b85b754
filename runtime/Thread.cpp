#include "Thread.h"

#include <windows.h>
#include <process.h>

#include <deque>
#include <mutex>
#include <system_error>
#include <cerrno>

namespace {

// Captured while the library initialises, which happens on the program's first thread (or on the
// thread that loads the DLL).
const DWORD gMainThreadID = GetCurrentThreadId();

struct SyncRequest {
    const std::function<void()>* Method;
    HANDLE Done;
    std::exception_ptr Error;
};

std::mutex& SyncLock()
{
    static std::mutex m;
    return m;
}

std::deque<SyncRequest*>& SyncQueue()
{
    static std::deque<SyncRequest*> q;
    return q;
}

std::function<void()>& WakeHook()
{
    static std::function<void()> f;
    return f;
}

// Signalled while hand-overs wait; WaitFor on the main thread listens to it.
HANDLE SyncEvent()
{
    static HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return h;
}

int ToWinPriority(TThreadPriority p)
{
    switch (p) {
    case tpIdle: return THREAD_PRIORITY_IDLE;
    case tpLowest: return THREAD_PRIORITY_LOWEST;
    case tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal: return THREAD_PRIORITY_NORMAL;
    case tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest: return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

std::function<void(std::exception_ptr)>& ErrorHook()
{
    static std::function<void(std::exception_ptr)> f;
    return f;
}

}  // namespace

void SetApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler)
{
    std::lock_guard<std::mutex> g(SyncLock());
    ErrorHook() = std::move(handler);
}

void ApplicationHandleException(std::exception_ptr Error)
{
    if (!Error)
        return;
    std::function<void(std::exception_ptr)> hook;
    {
        std::lock_guard<std::mutex> g(SyncLock());
        hook = ErrorHook();
    }
    if (hook) {
        hook(Error);
        return;
    }
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        OutputDebugStringA(e.what());
    } catch (...) {
        OutputDebugStringA("unknown exception");
    }
}

uint32_t MainThreadID() { return gMainThreadID; }
bool IsMainThread() { return GetCurrentThreadId() == gMainThreadID; }

void SetWakeMainThread(std::function<void()> wake)
{
    std::lock_guard<std::mutex> g(SyncLock());
    WakeHook() = std::move(wake);
}

bool CheckSynchronize(unsigned timeoutMs)
{
    if (!IsMainThread())
        return false;
    if (timeoutMs > 0)
        WaitForSingleObject(SyncEvent(), timeoutMs);
    bool ran = false;
    for (;;) {
        SyncRequest* r;
        {
            std::lock_guard<std::mutex> g(SyncLock());
            if (SyncQueue().empty()) {
                ResetEvent(SyncEvent());
                break;
            }
            r = SyncQueue().front();
            SyncQueue().pop_front();
        }
        try {
            (*r->Method)();
        } catch (...) {
            r->Error = std::current_exception();
        }
        ran = true;
        SetEvent(r->Done);
    }
    return ran;
}

void TThread::Synchronize(TThread*, const std::function<void()>& Method)
{
    if (IsMainThread()) {
        Method();
        return;
    }
    SyncRequest r{&Method, CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(SyncLock());
        SyncQueue().push_back(&r);
        SetEvent(SyncEvent());
        wake = WakeHook();
    }
    if (wake)
        wake();
    WaitForSingleObject(r.Done, INFINITE);
    CloseHandle(r.Done);
    if (r.Error)
        std::rethrow_exception(r.Error);
}

TThread::TThread(bool CreateSuspended)
{
    unsigned id = 0;
    FHandle = reinterpret_cast<void*>(
        _beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id));
    FThreadID = id;
    if (!FHandle)
        throw std::system_error(errno, std::generic_category(), "thread creation failed");
    if (!CreateSuspended)
        Start();
}

TThread::~TThread()
{
    if (FHandle) {
        if (!Finished()) {
            Terminate();
            WaitFor();
        }
        CloseHandle(FHandle);
    }
}

unsigned __stdcall TThread::ThreadProc(void* self)
{
    auto* t = static_cast<TThread*>(self);
    if (!t->FSkipExecute) {
        try {
            t->Execute();
        } catch (...) {
            t->FFatal = std::current_exception();
        }
    }
    unsigned rv = t->FReturnValue;
    InterlockedExchange(&t->FFinished, 1);
    return rv;
}

void TThread::Start()
{
    if (FStarted)
        return;
    FStarted = true;
    ResumeThread(FHandle);
}

void TThread::Terminate() { InterlockedExchange(&FTerminated, 1); }
bool TThread::Terminated() const { return FTerminated != 0; }
bool TThread::Finished() const { return FFinished != 0; }

void TThread::SetPriority(TThreadPriority p)
{
    FPriority = p;
    SetThreadPriority(FHandle, ToWinPriority(p));
}

uint32_t TThread::WaitFor()
{
    if (!FStarted)
        FSkipExecute = true;  // never started: let it end without running the body
    Start();
    const bool main = IsMainThread();
    HANDLE handles[2] = {FHandle, SyncEvent()};
    const DWORD count = main ? 2 : 1;
    for (;;) {
        // Sent messages are dispatched too: a thread blocked in SendMessage to a window of this
        // thread would otherwise never end.
        DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            break;
        if (main && r == WAIT_OBJECT_0 + 1) {
            CheckSynchronize();
        } else if (r == WAIT_OBJECT_0 + count) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        } else if (r == WAIT_FAILED) {
            WaitForSingleObject(FHandle, INFINITE);
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeThread(FHandle, &code);
    return code;
}
