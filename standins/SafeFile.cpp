#include "SafeFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <vector>

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

// A virus scanner or an indexer that has just opened a file refuses its rename or deletion for a
// moment; call() is tried again for a second while it fails so (and transient holds).
template <class Call> bool Retried(Call call, bool transient = true)
{
    const DWORD t0 = GetTickCount();
    for (;;) {
        if (call()) return true;
        DWORD err = GetLastError();
        if (!transient || (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION) ||
            GetTickCount() - t0 >= 1000) {
            SetLastError(err);
            return false;
        }
        Sleep(50);
    }
}

// An existing target named by its short form is replaced under its own long name, whether or not
// the file system carries names over to a file renamed into a name just freed.
std::wstring LongName(const std::wstring& path)
{
    std::vector<wchar_t> buf(path.size() + 1);
    for (;;) {
        DWORD n = GetLongPathNameW(path.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return path;
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(n);
    }
}

}  // namespace

void WriteWholeFile(const std::string& fileName, const std::string& bytes)
{
    // Names go to the system as UTF-16: cp1251 bytes through the ANSI calls would be read in the
    // system's code page, which need not be 1251.
    std::wstring target = ToWide(fileName);
    const DWORD targetAttributes = GetFileAttributesW(target.c_str());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES) target = LongName(target);
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & KeptAttributes))
        attributes = targetAttributes & KeptAttributes;
    // A fresh name beside the target: the rename below then stays within one folder. It is short,
    // so that a target whose name reaches near the path limit can still be written.
    const std::wstring folder = target.substr(0, target.find_last_of(L"\\/:") + 1);
    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; h == INVALID_HANDLE_VALUE; ++n) {
        const unsigned id = (static_cast<unsigned>(GetCurrentProcessId()) * 40503u + n) & 0xFFFFu;
        tmp = folder + ToWide(Format("~%04X.tmp", id));
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD err = GetLastError();
            // A leftover that is pending deletion (deleted while a scanner still held it) answers
            // "access denied", and keeps the name until it goes: as taken as an existing file.
            if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS && err != ERROR_ACCESS_DENIED) ||
                n >= 100) {
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
    // The data must be on the disk before the rename: the file system may log the rename at once
    // and write the data later, and a power cut in between would leave the target empty.
    // A file system with nothing to flush (some redirectors, RAM and virtual drives) says so.
    if (!err && !FlushFileBuffers(h)) {
        err = GetLastError();
        if (err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED) err = 0;
    }
    if (!CloseHandle(h) && !err) err = GetLastError();
    if (!err) {
        // A read-only file or a folder in the way refuses the rename for good.
        const bool transient = targetAttributes == INVALID_FILE_ATTRIBUTES ||
                               !(targetAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
        if (!Retried([&] {
                return MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            }, transient))
            err = GetLastError();
    }
    if (err) {
        Retried([&] { return DeleteFileW(tmp.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; });
        Fail(err);
    }
}
