// Holds the pointer tests' Wine desktop open for the whole test run (scripts/prefix-setup starts it
// with a file to write): a desktop's first window starts the program that manages it, which costs
// about a second, and a desktop closes soon after its last program ends, so every test of the
// pointer would pay for it again. Writes "READY <desktop name>" once the desktop is up, then waits
// until the run ends the prefix.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    GetDesktopWindow();  // its manager starts now, once
    wchar_t name[64] = L"";
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof name, nullptr);
    char line[128];
    int n = std::snprintf(line, sizeof line, "READY %ls\n", name);
    HANDLE f = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f == INVALID_HANDLE_VALUE || !WriteFile(f, line, DWORD(n), &written, nullptr)) return 1;
    CloseHandle(f);
    Sleep(INFINITE);
    return 0;
}
