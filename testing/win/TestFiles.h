// File helpers the Windows-side tests share.
#pragma once
#include <windows.h>

#include <string>

namespace tovik::testing {

// Under Wine a Unix path /x/y is reached as Z:\x\y.
inline std::string WinPath(const std::string& unixPath)
{
    std::string w = "Z:" + unixPath;
    for (char& c : w)
        if (c == '/') c = '\\';
    return w;
}

// Removes a folder with everything in it (read-only files too); with or without a trailing "\".
inline void RemoveTree(std::string dir)
{
    while (!dir.empty() && dir.back() == '\\') dir.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = dir + "\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p);
            else {
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(p.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// Starts a Linux program of the build. Wine hands back no process handle for one (null) and a
// thread handle that is stack garbage: closing it may close any live handle of this process (it
// once took Winsock's own event, and the next connect failed), so it is closed only beside a
// real process handle. `process` gets the process handle, null when there is none.
inline bool StartNative(std::string cmd, STARTUPINFOA& si, BOOL inheritHandles, HANDLE& process)
{
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    if (pi.hProcess) CloseHandle(pi.hThread);
    process = pi.hProcess;
    return true;
}

// The Unicode encodings a text file may be saved in (Notepad's "Unicode", "Unicode big endian" and
// "UTF-8"): the file's bytes for a text, byte-order mark first.
struct TUnicodeEncoding {
    const char* name;
    std::string (*bytes)(const std::wstring& text);
};
inline const TUnicodeEncoding kUnicodeEncodings[] = {
    {"UTF-16 LE",
     [](const std::wstring& w) {
         std::string b = "\xFF\xFE";
         for (wchar_t c : w) b += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
         return b;
     }},
    {"UTF-16 BE",
     [](const std::wstring& w) {
         std::string b = "\xFE\xFF";
         for (wchar_t c : w) b += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
         return b;
     }},
    {"UTF-8",
     [](const std::wstring& w) {
         std::string b(w.size() * 3, '\0');
         b.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), b.data(),
                                                          static_cast<int>(b.size()), nullptr, nullptr)));
         return "\xEF\xBB\xBF" + b;
     }},
};

}  // namespace tovik::testing
