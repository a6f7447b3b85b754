#include "MyFileUtils.h"

#include <windows.h>

#include <vector>

#include "Cp1251.h"

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
    const std::string given = Path;
    std::string result;
    do {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(ToWide(Path).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) break;
        FindClose(h);
        fd.cFileName[MAX_PATH - 1] = 0;
        std::string name;
        // A long name that cp1251 cannot hold is of no use to the caller: the path stays as given.
        if (!FromWideExact(fd.cFileName, name)) return given;
        result.insert(0, name);
        result.insert(0, 1, '\\');
        std::string parent = ParentDir(Path);
        // A root that the system does find must not walk on for ever.
        if (parent == Path) break;
        Path = parent;
    } while (Path.size() > 2);
    return DrivePart(Path) + result;
}

std::string GetLongFileName(const std::string& Path)
{
    // The wide call: the ANSI one reads the path in the system's code page, not in cp1251.
    using TGetLongPathName = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("KERNEL32");
    TGetLongPathName fn = nullptr;
    if (kernel)
        fn = reinterpret_cast<TGetLongPathName>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")));
    if (!fn) return LongFileNameByWalk(Path);

    const std::wstring path = ToWide(Path);
    std::vector<wchar_t> buf(MAX_PATH + 1);
    DWORD n = fn(path.c_str(), buf.data(), MAX_PATH);
    // A longer name: the function answered the size it needs and wrote nothing; ask again.
    if (n >= MAX_PATH) {
        buf.assign(n + 1, 0);
        n = fn(path.c_str(), buf.data(), n + 1);
        if (n >= buf.size()) n = 0;
    }
    std::string result;
    // A long form that cp1251 cannot hold is of no use to the caller: the path stays as given.
    if (!FromWideExact(std::wstring(buf.data(), n), result)) return Path;
    return result;
}
