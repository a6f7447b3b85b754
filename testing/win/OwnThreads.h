// The threads of the test program itself, for tests and harness code that watch them begin and end.
#pragma once
#include <windows.h>

#include <tlhelp32.h>

#include <vector>

namespace tovik::testing {

// The ids of this process's threads.
inline std::vector<DWORD> OwnThreads()
{
    std::vector<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t))
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ids.push_back(t.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

}  // namespace tovik::testing
