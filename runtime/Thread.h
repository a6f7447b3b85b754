// The platform's thread class: a thread made suspended or running, with a priority, a polite
// stop request (Terminate / Terminated), WaitFor, and Synchronize, which hands a call to the main
// thread and waits until the main thread has run it.
//
// Hand-overs queue up until the main thread calls CheckSynchronize: the GUI toolkit's message loop
// does so when woken (SetWakeMainThread), and WaitFor on the main thread runs them while it waits,
// so a worker blocked in a hand-over can always reach its end.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
public:
    // With CreateSuspended false the thread runs at once, possibly before a derived class's
    // constructor has finished: a derived class with state of its own passes true and calls
    // Start() at the end of its constructor.
    explicit TThread(bool CreateSuspended);
    // Asks the thread to stop (Terminate) and waits for its end; a thread never started does
    // not run Execute.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a thread made suspended; does nothing once it has started.
    void Start();
    void Resume() { Start(); }
    // Sets the stop request; Execute is expected to look at Terminated() and leave.
    void Terminate();
    bool Terminated() const;
    // Waits for the end of the thread and gives its ReturnValue. On the main thread queued
    // hand-overs run while it waits; sent window messages are dispatched on any waiting thread.
    // A thread that was never started ends at once without running Execute.
    uint32_t WaitFor();
    bool Finished() const;
    bool Started() const { return FStarted; }

    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority p);

    void* Handle() const { return FHandle; }  // the platform's thread handle
    uint32_t ThreadID() const { return FThreadID; }
    // An exception that escaped Execute, kept for the owner to look at (null if none).
    std::exception_ptr FatalException() const { return FFatal; }

    // Runs Method on the main thread and waits for it; on the main thread itself it runs at once.
    // An exception raised by Method is raised again in the calling thread.
    static void Synchronize(TThread* Thread, const std::function<void()>& Method);

protected:
    virtual void Execute() = 0;
    void Synchronize(const std::function<void()>& Method) { Synchronize(this, Method); }
    void SetReturnValue(uint32_t v) { FReturnValue = v; }
    uint32_t ReturnValue() const { return FReturnValue; }

private:
    static unsigned __stdcall ThreadProc(void* self);

    void* FHandle = nullptr;
    uint32_t FThreadID = 0;
    TThreadPriority FPriority = tpNormal;
    volatile long FTerminated = 0;
    volatile long FFinished = 0;
    bool FStarted = false;
    bool FSkipExecute = false;
    uint32_t FReturnValue = 0;
    std::exception_ptr FFatal;
};

// Id of the main thread: the thread that initialised this library (the program's first thread,
// or the thread that loaded the DLL).
uint32_t MainThreadID();
bool IsMainThread();

// Runs every queued hand-over; waits up to timeoutMs for one to arrive when none is queued.
// Returns true if it ran any. Only the main thread may call it (elsewhere it returns false).
bool CheckSynchronize(unsigned timeoutMs = 0);

// Called (from the handing-over thread) each time a hand-over is queued, so that a message loop
// can wake up and call CheckSynchronize. An empty function removes it.
void SetWakeMainThread(std::function<void()> wake);

// The application's general error handler for errors that escape an event handler outside any
// caller (a window procedure, the end of loading). The GUI toolkit installs its own (it shows the
// message and goes on); without one the message goes to the debugger output.
void ApplicationHandleException(std::exception_ptr Error);
void SetApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler);
