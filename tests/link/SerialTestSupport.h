// Helpers shared by the serial port tests.
#pragma once
#include "TestPty.h"  // winsock2.h before windows.h

#include <functional>

#include "SerialPort.h"

// Waits (generously: the machine is shared) until pred holds, running hand-overs and sent or
// posted window messages meanwhile. Returns whether pred came true.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD limitMs = 20000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start > limitMs)
            return pred();
        CheckSynchronize(5);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// A port that counts how often each settings group is applied.
class CountingPort : public TSerialPort {
public:
    using TSerialPort::TSerialPort;
    int LineApplied = 0, TimeoutsApplied = 0, QueuesApplied = 0;
    void ApplyLineSettings() override
    {
        ++LineApplied;
        TSerialPort::ApplyLineSettings();
    }
    void ApplyTimeoutSettings() override
    {
        ++TimeoutsApplied;
        TSerialPort::ApplyTimeoutSettings();
    }
    void ApplyQueueSizes() override
    {
        ++QueuesApplied;
        TSerialPort::ApplyQueueSizes();
    }
    void ResetCounts() { LineApplied = TimeoutsApplied = QueuesApplied = 0; }
};
