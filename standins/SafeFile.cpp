#include "SafeFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

#include "Cp1251.h"

std::string InOutErrorMessage(uint32_t code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return "File not found";
    case ERROR_PATH_NOT_FOUND: return "Invalid filename";
    case ERROR_TOO_MANY_OPEN_FILES: return "Too many open files";
    case ERROR_ACCESS_DENIED: return "File access denied";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return "Disk full";
    default: return Format("I/O error %u", static_cast<unsigned>(code));
    }
}

namespace {

[[noreturn]] void Fail(DWORD code) { throw EInOutError(code, InOutErrorMessage(code)); }

// What the replaced file keeps of its attributes (read-only targets are refused, as before).
const DWORD KeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A virus scanner or an indexer that has just opened the file refuses the rename for a moment;
// a read-only file or a folder in the way refuses it for good.
bool Replace(const std::wstring& tmp, const std::wstring& target, DWORD targetAttributes)
{
    const bool transient = targetAttributes == INVALID_FILE_ATTRIBUTES ||
                           !(targetAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    const DWORD t0 = GetTickCount();
    for (;;) {
        if (MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD err = GetLastError();
        if (!transient || (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION) ||
            GetTickCount() - t0 >= 1000) {
            SetLastError(err);
            return false;
        }
        Sleep(50);
    }
}

}  // namespace

void WriteWholeFile(const std::string& fileName, const std::string& bytes)
{
    // Names go to the system as UTF-16: cp1251 bytes through the ANSI calls would be read in the
    // system's code page, which need not be 1251.
    const std::wstring target = ToWide(fileName);
    const DWORD targetAttributes = GetFileAttributesW(target.c_str());
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & KeptAttributes))
        attributes = targetAttributes & KeptAttributes;
    // A fresh name beside the target: the rename below then stays within one folder.
    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; h == INVALID_HANDLE_VALUE; ++n) {
        tmp = target + ToWide(Format(".~%lu_%u.tmp", static_cast<unsigned long>(GetCurrentProcessId()), n));
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD err = GetLastError();
            if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || n >= 100) {
                // Report what opening the target itself would report (a missing folder, ...).
                Fail(err);
            }
        }
    }
    DWORD err = 0;
    size_t done = 0;
    while (done < bytes.size() && !err) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) err = GetLastError();
        else if (written == 0) err = ERROR_DISK_FULL;
        done += written;
    }
    if (!CloseHandle(h) && !err) err = GetLastError();
    if (!err && !Replace(tmp, target, targetAttributes)) err = GetLastError();
    if (err) {
        DeleteFileW(tmp.c_str());
        Fail(err);
    }
}
