// Shared helpers of the main window tests: a scratch folder with main.ini and device files, a
// form started in-process against it, the debugger output and a port list of the test's own.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../testing/win/TestFiles.h"
#include "Dialogs.h"
#include "Forms.h"
#include "MainFormU.h"

#ifndef DBG_PRINTEXCEPTION_C
#define DBG_PRINTEXCEPTION_C 0x40010006
#endif

namespace tt {

// A fresh folder under the temp path, with its trailing "\"; removed with its files.
class ScratchDir {
public:
    ScratchDir()
    {
        static int counter = 0;
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        FPath = std::string(tmp) + "tovik_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + "\\";
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~ScratchDir() { tovik::testing::RemoveTree(FPath); }
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + name; }

    void Write(const std::string& name, const std::string& content) const
    {
        HANDLE h = CreateFileA((FPath + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD done = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
        CloseHandle(h);
    }

private:
    std::string FPath;
};

// A key of an ini file as the profile functions read it; "<none>" when missing.
inline std::string IniValue(const std::string& file, const std::string& section,
                            const std::string& key)
{
    char buf[2048];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buf, sizeof buf,
                                       file.c_str());
    return std::string(buf, n);
}

// Collects what the program sends to the debugger output while it lives.
class DebugOutput {
public:
    DebugOutput()
    {
        Current() = this;
        FHandler = AddVectoredExceptionHandler(1, &DebugOutput::Handler);
    }
    ~DebugOutput()
    {
        RemoveVectoredExceptionHandler(FHandler);
        Current() = nullptr;
    }
    std::vector<std::string> Lines;

private:
    static DebugOutput*& Current()
    {
        static DebugOutput* c = nullptr;
        return c;
    }
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* p)
    {
        const EXCEPTION_RECORD* r = p->ExceptionRecord;
        if (r->ExceptionCode == DBG_PRINTEXCEPTION_C && r->NumberParameters >= 2 && Current()) {
            const char* s = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
            size_t n = static_cast<size_t>(r->ExceptionInformation[0]);
            std::string line(s, n);
            while (!line.empty() && line.back() == '\0') line.pop_back();
            Current()->Lines.push_back(line);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* FHandler = nullptr;
};

inline void DeleteRegTree(HKEY root, const std::string& path)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD n = sizeof name;
        if (RegEnumKeyExA(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteRegTree(k, name);
    }
    RegCloseKey(k);
    RegDeleteKeyA(root, path.c_str());
}

// Serial ports of the test's own: HKEY_LOCAL_MACHINE is redirected in this process to a
// scratch key that holds "hardware\devicemap\serialcomm" with the given port names.
class PortRegistry {
public:
    explicit PortRegistry(const std::vector<std::string>& ports, bool createKey = true)
    {
        FBase = "Software\\TovikTest\\ports" + std::to_string(GetCurrentProcessId());
        DeleteRegTree(HKEY_CURRENT_USER, FBase);
        RegCreateKeyExA(HKEY_CURRENT_USER, FBase.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &FRoot, nullptr);
        if (createKey) {
            HKEY k = nullptr;
            RegCreateKeyExA(FRoot, "hardware\\devicemap\\serialcomm", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &k, nullptr);
            int i = 0;
            for (const std::string& p : ports) {
                std::string name = "\\Device\\TestSerial" + std::to_string(i++);
                RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(p.c_str()),
                               static_cast<DWORD>(p.size() + 1));
            }
            RegCloseKey(k);
        }
        Works = RegOverridePredefKey(HKEY_LOCAL_MACHINE, FRoot) == ERROR_SUCCESS;
    }
    ~PortRegistry()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(FRoot);
        DeleteRegTree(HKEY_CURRENT_USER, FBase);
    }
    bool Works = false;

private:
    std::string FBase;
    HKEY FRoot = nullptr;
};

// The main window started in-process on a settings folder, as the program starts it.
class FormTest : public ::testing::Test {
protected:
    void Start()
    {
        Form = new TForm1(Application, Dir.Path());
        Form->AfterConstruction();
    }
    // Ends the window as the program does (OnDestroy writes main.ini).
    void Stop()
    {
        if (Form) Form->Free();
        Form = nullptr;
    }
    void TearDown() override { Stop(); }

    std::string Ini(const std::string& section, const std::string& key) const
    {
        return IniValue(Dir / "main.ini", section, key);
    }

    ScratchDir Dir;
    TDialogScript Dialogs;
    TForm1* Form = nullptr;
};

}  // namespace tt
