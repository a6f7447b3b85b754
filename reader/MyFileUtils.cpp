#include "MyFileUtils.h"

#include <windows.h>

#include <vector>

namespace {
// "C:" or "\\server\share"; empty when the path has neither.
std::string DrivePart(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t server = path.find('\\', 2);
        if (server == std::string::npos) return path;
        size_t share = path.find('\\', server + 1);
        return share == std::string::npos ? path : path.substr(0, share);
    }
    return std::string();
}

// Everything before the last "\", keeping the "\" right after a drive letter.
std::string ParentDir(const std::string& path)
{
    size_t i = path.find_last_of('\\');
    if (i == std::string::npos) return std::string();
    if (i == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, i);
}
}  // namespace

std::string ExtractFilePath(const std::string& fileName)
{
    size_t i = fileName.find_last_of("\\:");
    return i == std::string::npos ? std::string() : fileName.substr(0, i + 1);
}

std::string ExtractFileExt(const std::string& fileName)
{
    size_t dot = fileName.find_last_of('.');
    size_t sep = fileName.find_last_of("\\/:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return fileName.substr(dot);
}

std::string LongFileNameByWalk(std::string Path)
{
    std::string result;
    do {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(Path.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) break;
        fd.cFileName[MAX_PATH - 1] = 0;
        result.insert(0, fd.cFileName);
        result.insert(0, 1, '\\');
        FindClose(h);
        std::string parent = ParentDir(Path);
        // A root that the system does find must not walk on for ever.
        if (parent == Path) break;
        Path = parent;
    } while (Path.size() > 2);
    return DrivePart(Path) + result;
}

std::string GetLongFileName(const std::string& Path)
{
    using TGetLongPathName = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("KERNEL32");
    TGetLongPathName fn = nullptr;
    if (kernel)
        fn = reinterpret_cast<TGetLongPathName>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")));
    if (!fn) return LongFileNameByWalk(Path);

    std::vector<char> buf(MAX_PATH + 1);
    DWORD n = fn(Path.c_str(), buf.data(), MAX_PATH);
    // A longer name: the function answered the size it needs and wrote nothing; ask again.
    if (n >= MAX_PATH) {
        buf.assign(n + 1, 0);
        n = fn(Path.c_str(), buf.data(), n + 1);
        if (n >= buf.size()) n = 0;
    }
    return std::string(buf.data(), n);
}
