#include "SafeFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

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

}  // namespace

void WriteWholeFile(const std::string& fileName, const std::string& bytes)
{
    // A fresh name beside the target: the rename below then stays within one folder.
    std::string tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; h == INVALID_HANDLE_VALUE; ++n) {
        tmp = fileName + Format(".~%lu_%u.tmp", static_cast<unsigned long>(GetCurrentProcessId()), n);
        h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    if (!err && !MoveFileExA(tmp.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = GetLastError();
    if (err) {
        DeleteFileA(tmp.c_str());
        Fail(err);
    }
}
