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

}  // namespace tovik::testing
