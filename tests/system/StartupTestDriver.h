// Drives Tovik.exe as a user would, from another process under the same Wine server: runs it in
// a folder of its own, answers each of its message boxes with OK (keeping the texts in order),
// finds its main window, closes it, and waits for the end of the process.
//
//   tt::ProgramFolder dir("name");            // scratch folder with Tovik.exe (and, if asked,
//   dir.AddLinkLibrary();                     //  Ravelport.dll, config files...)
//   tt::TovikProcess p(dir.Path());
//   HWND w = p.WaitMainWindow();              // null if the program ended first
//   p.Close();  p.WaitExit();
//   p.Messages                                // texts of the message boxes, cp1251
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../../testing/win/TestFiles.h"

namespace tt {

using tovik::testing::WinPath;

inline std::string BuildFile(const std::string& relative)
{
    return WinPath(std::string(TOVIK_BINARY_DIR) + "/" + relative);
}

inline std::string SourceFile(const std::string& relative)
{
    return WinPath(std::string(TOVIK_SOURCE_DIR) + "/" + relative);
}

inline std::string ToCp1251(const std::wstring& w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(1251, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(1251, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

inline std::string WindowText(HWND h)
{
    wchar_t buf[4096];
    int n = GetWindowTextW(h, buf, 4096);
    return ToCp1251(std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

// A scratch folder with a copy of Tovik.exe; removed afterwards.
class ProgramFolder {
public:
    explicit ProgramFolder(const std::string& name)
    {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        FPath = std::string(tmp) + "tovik_" + name + "_" + std::to_string(GetCurrentProcessId()) + "\\";
        tovik::testing::RemoveTree(FPath);
        CreateDirectoryA(FPath.c_str(), nullptr);
        Copy(BuildFile("reader/Tovik.exe"), "Tovik.exe");
    }
    ~ProgramFolder() { tovik::testing::RemoveTree(FPath); }
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + name; }

    // The link library the build made.
    void AddLinkLibrary() { Copy(BuildFile("link/Ravelport.dll"), "Ravelport.dll"); }
    void Copy(const std::string& from, const std::string& name)
    {
        ASSERT_TRUE(CopyFileA(from.c_str(), (FPath + name).c_str(), FALSE)) << from;
    }
    void Write(const std::string& name, const std::string& content)
    {
        HANDLE h = CreateFileA((FPath + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD done = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
        CloseHandle(h);
    }
    bool Exists(const std::string& name) const
    {
        return GetFileAttributesA((FPath + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string Ini(const std::string& section, const std::string& key) const
    {
        char buf[2048];
        DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buf, sizeof buf,
                                           (FPath + "main.ini").c_str());
        return std::string(buf, n);
    }

private:
    std::string FPath;
};

class TovikProcess {
public:
    // Starts folder\Tovik.exe with the folder as its current directory.
    explicit TovikProcess(const std::string& folder)
    {
        std::string exe = folder + "Tovik.exe";
        std::string cmd = "\"" + exe + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        Started = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.c_str(), &si, &FInfo) != 0;
    }
    ~TovikProcess()
    {
        if (!Started) return;
        if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(FInfo.hProcess, 99);
            WaitForSingleObject(FInfo.hProcess, 10000);
        }
        CloseHandle(FInfo.hThread);
        CloseHandle(FInfo.hProcess);
    }

    // Answers message boxes until the main window shows; null when the program ended first
    // (or did not show it within the guard time, which only keeps a broken run from hanging).
    HWND WaitMainWindow(DWORD guardMs = 120000)
    {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < guardMs) {
            Poll();
            if (FMain) return FMain;
            if (Ended()) return nullptr;
            Sleep(50);
        }
        return nullptr;
    }
    // Answers message boxes until the process ends; false if it did not within the guard time.
    bool WaitExit(DWORD guardMs = 120000)
    {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < guardMs) {
            Poll();
            if (Ended()) {
                Poll();
                return true;
            }
            Sleep(50);
        }
        return false;
    }
    // Closes the main window as its close box does.
    void Close()
    {
        if (FMain) PostMessageW(FMain, WM_CLOSE, 0, 0);
    }
    bool Ended() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const
    {
        DWORD c = 0;
        GetExitCodeProcess(FInfo.hProcess, &c);
        return c;
    }
    HWND MainWindow() const { return FMain; }
    DWORD ProcessId() const { return FInfo.dwProcessId; }

    bool Started = false;
    std::vector<std::string> Messages;

private:
    struct Found {
        DWORD pid;
        std::vector<HWND> windows;
    };
    static BOOL CALLBACK Collect(HWND h, LPARAM l)
    {
        auto* f = reinterpret_cast<Found*>(l);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == f->pid && IsWindowVisible(h)) f->windows.push_back(h);
        return TRUE;
    }

    void Poll()
    {
        Found f{FInfo.dwProcessId, {}};
        EnumWindows(&TovikProcess::Collect, reinterpret_cast<LPARAM>(&f));
        std::set<HWND> now(f.windows.begin(), f.windows.end());
        // Forget boxes that are gone, so that a later box with a reused handle still counts.
        for (auto it = FAnswered.begin(); it != FAnswered.end();)
            it = now.count(*it) ? std::next(it) : FAnswered.erase(it);
        for (HWND h : f.windows) {
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            if (std::wstring(cls) == L"#32770") {
                if (FAnswered.count(h)) continue;
                HWND text = GetDlgItem(h, 0xFFFF);
                Messages.push_back(text ? WindowText(text) : std::string());
                FAnswered.insert(h);
                PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            } else if (!FMain && WindowText(h) == "Чтение журналов приборов") {
                FMain = h;
            }
        }
    }

    PROCESS_INFORMATION FInfo{};
    HWND FMain = nullptr;
    std::set<HWND> FAnswered;
};

}  // namespace tt
