// Helpers the export tests share: work folders with both path forms, running a native Linux
// program (the independent workbook reader) and the stand-in "Excel.Application" registration.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../testing/win/TestFiles.h"

namespace testsupport {

using tovik::testing::StartNative;
using tovik::testing::WinPath;

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline bool FileExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

// A fresh, empty folder of the build tree for one test; Unix() and Win() name it both ways.
class TWorkDir {
public:
    explicit TWorkDir(const std::string& name)
        : FUnix(std::string(TOVIK_BINARY_DIR) + "/testwork/" + name)
    {
        CreateDirectoryA(WinPath(std::string(TOVIK_BINARY_DIR) + "/testwork").c_str(), nullptr);
        tovik::testing::RemoveTree(Win());
        CreateDirectoryA(Win().c_str(), nullptr);
    }
    std::string Unix(const std::string& file = "") const { return file.empty() ? FUnix : FUnix + "/" + file; }
    std::string Win(const std::string& file = "") const { return WinPath(Unix(file)); }
    // Names of the files in the folder, sorted, joined by blanks.
    std::string Listing() const
    {
        std::string out;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((Win() + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return out;
        std::vector<std::string> names;
        do {
            std::string n = fd.cFileName;
            if (n != "." && n != "..") names.push_back(n);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        std::sort(names.begin(), names.end());
        for (auto& n : names) out += (out.empty() ? "" : " ") + n;
        return out;
    }

private:
    std::string FUnix;
};

// Runs the workbook dumper (python3 with xlrd) on an .xls file and returns its dump, cp1251.
// Wine reports no usable exit code for native programs, so the dump ends in a line "end".
inline std::string DumpWorkbook(const TWorkDir& dir, const std::string& xlsFile)
{
    const std::string out = dir.Unix(xlsFile + ".dump");
    DeleteFileA(WinPath(out).c_str());
    std::string cmd = "/usr/bin/python3 " + std::string(TOVIK_SOURCE_DIR) + "/tests/standins/xlsdump.py " +
                      dir.Unix(xlsFile) + " " + out;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    HANDLE process = nullptr;
    if (!StartNative(cmd, si, FALSE, process))
        throw std::runtime_error("cannot start " + cmd);
    if (process) {
        WaitForSingleObject(process, 120000);
        CloseHandle(process);
    }
    // The handle may be signalled before the native program has finished writing.
    std::string text;
    for (int i = 0; i < 1200; ++i) {
        text = ReadFileBytes(WinPath(out));
        if (text.size() >= 4 && text.compare(text.size() - 4, 4, "end\n") == 0) return text;
        Sleep(100);
    }
    throw std::runtime_error("no complete dump from " + cmd + ":\n" + text);
}

inline constexpr const char* kExcelClsid = "{6E0B4A61-3C2F-4D7B-9A15-2B8E0C7D5F43}";

// Holds a lock shared by every test process of the prefix while a test depends on whether
// "Excel.Application" is registered, since ctest runs test cases side by side.
class TRegistrationLock {
public:
    TRegistrationLock() : FMutex(CreateMutexA(nullptr, FALSE, "TovikExcelRegistrationLock"))
    {
        WaitForSingleObject(FMutex, INFINITE);
    }
    ~TRegistrationLock()
    {
        ReleaseMutex(FMutex);
        CloseHandle(FMutex);
    }

private:
    HANDLE FMutex;
};

inline void DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY k;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD n = sizeof name;
            if (RegEnumKeyExA(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            DeleteKeyTree(k, name);
        }
        RegCloseKey(k);
    }
    RegDeleteKeyA(root, path.c_str());
}

inline void SetKeyValue(const std::string& path, const char* name, const std::string& value)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create HKCR\\" + path);
    RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

inline void Unregister()
{
    DeleteKeyTree(HKEY_CLASSES_ROOT, "Excel.Application");
    DeleteKeyTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kExcelClsid);
}

// No "Excel.Application" for the lifetime of this object.
class TNoExcel {
public:
    TNoExcel() { Unregister(); }

private:
    TRegistrationLock FLock;
};

#ifdef EXCELSTUB_DLL
// The recording stand-in registered as "Excel.Application" for the lifetime of this object.
class TExcelStub {
public:
    TExcelStub()
    {
        const std::string dll = WinPath(EXCELSTUB_DLL);
        SetKeyValue(std::string("CLSID\\") + kExcelClsid + "\\InprocServer32", nullptr, dll);
        SetKeyValue(std::string("CLSID\\") + kExcelClsid + "\\InprocServer32", "ThreadingModel", "Apartment");
        SetKeyValue("Excel.Application\\CLSID", nullptr, kExcelClsid);
        FModule = LoadLibraryA(dll.c_str());
        if (!FModule) throw std::runtime_error("cannot load " + dll);
        FLog = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(FModule, "StubLog")));
        FReset = reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(FModule, "StubReset")));
        FLive = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(FModule, "StubLiveObjects")));
        FFailAt = reinterpret_cast<void (*)(int)>(reinterpret_cast<void*>(GetProcAddress(FModule, "StubFailAt")));
        FReset();
    }
    ~TExcelStub() { Unregister(); }
    std::string Log() const { return FLog(); }
    int LiveObjects() const { return FLive(); }
    void FailAt(int n) const { FFailAt(n); }

private:
    TRegistrationLock FLock;
    HMODULE FModule = nullptr;
    const char* (*FLog)() = nullptr;
    void (*FReset)() = nullptr;
    int (*FLive)() = nullptr;
    void (*FFailAt)(int) = nullptr;
};

#ifdef EXCELREC_EXE
// The recording stand-in as a local server, registered as "Excel.Application" for the lifetime of
// this object: out of process, as Excel runs, so calls cross the COM channel. COM starts one server
// per object created, with the version text to answer, the number of calls to refuse as busy and
// the call to answer once with "cannot take it now" (0: none).
class TExcelServer {
public:
    TExcelServer(const std::string& logFile, const std::string& version, int busy, int editingAt = 0)
        : FLog(logFile)
    {
        Unregister();
        DeleteFileA(WinPath(FLog).c_str());
        const std::string cls = std::string("CLSID\\") + kExcelClsid;
        SetKeyValue(cls + "\\LocalServer32", nullptr,
                    "\"" + WinPath(EXCELREC_EXE) + "\" /Log \"" + WinPath(FLog) + "\" /Version " + version +
                        " /Busy " + std::to_string(busy) + " /Editing " + std::to_string(editingAt));
        SetKeyValue("Excel.Application\\CLSID", nullptr, kExcelClsid);
    }
    ~TExcelServer() { Unregister(); }
    // The server's log once it has ended, which it does when the client has let go of every
    // object (its last line is "exit"); what there is after the time is up otherwise.
    std::string FinalLog(DWORD ms = 20000) const
    {
        std::string text;
        for (DWORD waited = 0;; waited += 50) {
            text = ReadFileBytes(WinPath(FLog));
            if (text.size() >= 5 && text.compare(text.size() - 5, 5, "exit\n") == 0) return text;
            if (waited >= ms) return text;
            Sleep(50);
        }
    }

private:
    TRegistrationLock FLock;
    std::string FLog;
};
#endif

// "Excel.Application" registered, but no Excel to be had from it, for the lifetime of this object.
class TBrokenExcel {
public:
    enum Kind {
        ClassWithoutServer,    // the class entry is left, its server entries are gone
        MissingServerProgram,  // a local server whose program is not there
        MissingServerLibrary,  // an in-process server whose library is not there
        RefusesFirstCall,      // the object is created but fails the first call made on it
    };
    explicit TBrokenExcel(Kind kind)
    {
        if (kind == RefusesFirstCall) {
            FStub = std::make_unique<TExcelStub>();
            FStub->FailAt(1);
            return;
        }
        FLock = std::make_unique<TRegistrationLock>();
        Unregister();
        const std::string cls = std::string("CLSID\\") + kExcelClsid;
        const std::string missing = WinPath(std::string(TOVIK_BINARY_DIR) + "/no-such-folder/excel");
        if (kind == ClassWithoutServer) SetKeyValue(cls, nullptr, "Excel");
        if (kind == MissingServerProgram) SetKeyValue(cls + "\\LocalServer32", nullptr, missing + ".exe");
        if (kind == MissingServerLibrary) SetKeyValue(cls + "\\InprocServer32", nullptr, missing + ".dll");
        SetKeyValue("Excel.Application\\CLSID", nullptr, kExcelClsid);
    }
    ~TBrokenExcel()
    {
        if (FLock) Unregister();
    }

private:
    std::unique_ptr<TRegistrationLock> FLock;
    std::unique_ptr<TExcelStub> FStub;
};
#endif

// COM for the test's thread, as the program's application object sets it up.
class TComApartment {
public:
    TComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~TComApartment() { CoUninitialize(); }
};

}  // namespace testsupport
