// Tovik.exe as the operator runs it, against the simulated instrument: its window is driven
// through window messages from this process, the line is watched through the instrument's log.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../../testing/win/TestInstrument.h"
#include "OrlentSrvTest.h"

using tovik::testing::LogLine;
using tovik::testing::TestInstrument;

namespace {

std::wstring Wide(const std::string& cp1251)
{
    std::wstring w(cp1251.size(), L'\0');
    int n = MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), w.data(),
                                static_cast<int>(w.size()));
    w.resize(static_cast<size_t>(n > 0 ? n : 0));
    return w;
}

std::wstring WindowText(HWND h)
{
    wchar_t buf[1024];
    int n = GetWindowTextW(h, buf, 1024);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring ClassOf(HWND h)
{
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

struct Search {
    DWORD pid;
    std::wstring cls, text;  // empty: any
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != s->pid) return TRUE;
    if (!s->cls.empty() && ClassOf(h) != s->cls) return TRUE;
    if (!s->text.empty() && WindowText(h) != s->text) return TRUE;
    s->found = h;
    return FALSE;
}

// A top-level window of the process, waited for (bounded).
HWND WaitTopWindow(DWORD pid, const std::wstring& cls, const std::wstring& text, DWORD ms = 30000)
{
    DWORD t0 = GetTickCount();
    for (;;) {
        Search s{pid, cls, text};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found && IsWindowVisible(s.found)) return s.found;
        if (GetTickCount() - t0 > ms) return nullptr;
        Sleep(50);
    }
}

HWND Child(HWND parent, DWORD pid, const std::wstring& cls, const std::wstring& text)
{
    Search s{pid, cls, text};
    EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

template <class F> bool WaitUntil(F cond, DWORD ms)
{
    DWORD t0 = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - t0 > ms) return false;
        Sleep(20);
    }
    return true;
}

// One command to the stand-in automation server's control object ("fault <pid> ...", "log <pid>").
std::string ServerCommand(const std::string& line)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    orlent::IOrlentSrvControl* c = nullptr;
    if (FAILED(CoCreateInstance(orlent::CLSID_OrlentSrvControl, nullptr, CLSCTX_LOCAL_SERVER,
                                orlent::IID_IOrlentSrvControl, reinterpret_cast<void**>(&c))))
        return "ERR no stand-in server";
    std::wstring w(line.begin(), line.end());
    BSTR in = SysAllocString(w.c_str()), out = nullptr;
    HRESULT hr = c->Command(in, &out);
    c->Release();
    SysFreeString(in);
    std::string reply;
    for (UINT i = 0; out && i < SysStringLen(out); ++i) reply += char(out[i]);
    SysFreeString(out);
    return SUCCEEDED(hr) ? reply : "ERR call failed";
}

// A port entry of the system's list, as a real port driver makes it (the program reads the list).
class SystemPort {
public:
    explicit SystemPort(const std::string& name) : FValue("TovikRead" + name)
    {
        HKEY k = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
            return;
        Ok = RegSetValueExA(k, FValue.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                            static_cast<DWORD>(name.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(k);
    }
    ~SystemPort()
    {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_ALL_ACCESS, &k) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(k, FValue.c_str());
            RegCloseKey(k);
        }
    }
    bool Ok = false;

private:
    std::string FValue;
};

const char* const DeviceFile =
    "[settings]\r\nname=Прибор\r\narchtypecount=1\r\n"
    "ArchName1=Архив\r\nArchCountRec1=100\r\narchnum1=1\r\nArchReg1=300001\r\n"
    "[s0]\r\nID=1\r\nname=Давление\r\ntype=4\r\n"
    "[s1]\r\nID=2\r\nname=Температура\r\ntype=2\r\n";

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Work = TestInstrument::MakeWorkDir();
        ASSERT_FALSE(Work.empty());
        Dir = TestInstrument::Wine(Work) + "\\";
        ASSERT_TRUE(CopyFileA(TestInstrument::Wine(TOVIK_EXE).c_str(), (Dir + "Tovik.exe").c_str(), FALSE))
            << TOVIK_EXE;
        ASSERT_TRUE(CopyFileA(TestInstrument::Wine(RAVELPORT_DLL).c_str(), (Dir + "Ravelport.dll").c_str(), FALSE))
            << RAVELPORT_DLL;
    }

    void TearDown() override
    {
        if (Process) {
            if (WaitForSingleObject(Process, 0) == WAIT_TIMEOUT) TerminateProcess(Process, 1);
            CloseHandle(Process);
        }
    }

    void StartAll(int records, const std::string& faults = "")
    {
        ASSERT_TRUE(TestInstrument::WriteFile(Dir + "dev.ini", DeviceFile));
        ASSERT_TRUE(TestInstrument::WriteFile(Dir + "records.txt", "archive 1\ngen " + std::to_string(records) + "\n"));
        Inst = std::make_unique<TestInstrument>("--device " + Work + "/dev.ini --records " + Work + "/records.txt " +
                                                faults);
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        Port = std::make_unique<SystemPort>(Inst->PortName());
        ASSERT_TRUE(Port->Ok);
        ASSERT_TRUE(TestInstrument::WriteFile(
            Dir + "main.ini", "[Settings]\r\nlastcomport=" + Inst->PortName() +
                                  "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=1\r\nlastlink=0\r\nLastDev=0\r\n"
                                  "[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n"));

        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string cmd = "\"" + Dir + "Tovik.exe\"";
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back(0);
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir.c_str(), &si, &pi));
        CloseHandle(pi.hThread);
        Process = pi.hProcess;
        Pid = pi.dwProcessId;
        Main = WaitTopWindow(Pid, L"", Wide("Чтение журналов приборов"));
        ASSERT_NE(Main, nullptr) << "no main window";
        // The controls are made with the window; wait until they are there.
        WaitUntil([&] { return (ReadButton = Child(Main, Pid, L"TButton", Wide("Считать"))) != nullptr; }, 10000);
        ASSERT_NE(ReadButton, nullptr) << Dump(Main);
        SaveButton = Child(Main, Pid, L"TButton", Wide("Сохранить..."));
        ASSERT_NE(SaveButton, nullptr);
    }

    int ArchiveRequests()
    {
        int n = 0;
        for (const LogLine& l : Inst->Requests())
            if (l.bytes.size() == 11 && l.bytes[1] == 0x41) ++n;
        return n;
    }

    // Classes and texts of a window's children, for a failure message.
    static std::string Dump(HWND parent)
    {
        std::string out;
        EnumChildWindows(parent, DumpOne, reinterpret_cast<LPARAM>(&out));
        return out;
    }
    static BOOL CALLBACK DumpOne(HWND h, LPARAM lp)
    {
        std::wstring line = ClassOf(h) + L" [" + WindowText(h) + L"]\n";
        char buf[2048];
        int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, buf, sizeof buf, nullptr, nullptr);
        if (n > 0) reinterpret_cast<std::string*>(lp)->append(buf);
        return TRUE;
    }

    bool Exited(DWORD ms) { return WaitForSingleObject(Process, ms) == WAIT_OBJECT_0; }

    std::string Work, Dir;
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<SystemPort> Port;
    HANDLE Process = nullptr;
    DWORD Pid = 0;
    HWND Main = nullptr, ReadButton = nullptr, SaveButton = nullptr;
};

}  // namespace

TEST_F(ProgramTest, ReadsTheWholeArchiveAndComesBack)
{
    StartAll(30);
    if (HasFatalFailure()) return;
    EXPECT_FALSE(IsWindowVisible(SaveButton));
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ArchiveRequests() >= 30; }, 60000)) << ArchiveRequests();
    // Back to idle: "Считать" enabled and "Сохранить..." shown.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ReadButton) && IsWindowVisible(SaveButton); }, 10000));
    EXPECT_EQ(ArchiveRequests(), 30);
    // Each record was asked for once, in order.
    int expect = 0;
    for (const LogLine& l : Inst->Requests())
        if (l.bytes.size() == 11 && l.bytes[1] == 0x41) {
            EXPECT_EQ(l.bytes[7] << 8 | l.bytes[8], expect++);
        }
    PostMessageW(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Exited(30000));
    // The choices were written back on the way out.
    char buf[64];
    GetPrivateProfileStringA("Settings", "lastcomport", "", buf, sizeof buf, (Dir + "main.ini").c_str());
    EXPECT_EQ(std::string(buf), Inst->PortName());
}

TEST_F(ProgramTest, ClosingTheWindowDuringAReadEndsTheProgramAfterTheLoop)
{
    StartAll(40);
    if (HasFatalFailure()) return;
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ArchiveRequests() >= 5; }, 30000));
    PostMessageW(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Exited(60000)) << "still running";
    // The loop went on to the last record before the program ended.
    EXPECT_EQ(ArchiveRequests(), 40);
    DWORD code = 1;
    GetExitCodeProcess(Process, &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(ProgramTest, HangUpMidReadShowsThePortsMessageAndGoesOn)
{
    StartAll(30, "--fault \"hangup after=6\"");
    if (HasFatalFailure()) return;
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    // The general handler's message box, with the serial port's own message.
    HWND box = WaitTopWindow(Pid, L"#32770", L"", 30000);
    ASSERT_NE(box, nullptr);
    std::wstring msg;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (ClassOf(c) == L"Static") msg += WindowText(c);
    EXPECT_NE(msg.find(L"win error code"), std::wstring::npos);
    EXPECT_GE(ArchiveRequests(), 5);
    // The read has finished before the message: the window is idle again.
    EXPECT_TRUE(IsWindowEnabled(ReadButton));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
    PostMessageW(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Exited(30000));
}

// Closing the window while a read through the server waits for its answer: the components
// unregister after the window's controls are gone, and the server answers inside those calls.
TEST_F(ProgramTest, ClosingTheWindowDuringAServerReadEndsCleanly)
{
    StartAll(40);
    if (HasFatalFailure()) return;
    HWND connect = Child(Main, Pid, L"TButton", Wide("Подключиться (srv)"));
    HWND read = Child(Main, Pid, L"TButton", Wide("Считать (srv)"));
    ASSERT_TRUE(connect && read) << Dump(Main);
    // Hidden in the stored layout; an operator who shows them gets these.
    ShowWindow(connect, SW_SHOW);
    ShowWindow(read, SW_SHOW);
    std::string pid = std::to_string(Pid);
    ASSERT_EQ(ServerCommand("reset " + pid), "OK");
    ASSERT_EQ(ServerCommand("fault " + pid + " events delay 200"), "OK");
    ASSERT_EQ(ServerCommand("fault " + pid + " event-in UnregisterClient"), "OK");
    PostMessageW(connect, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(read) != FALSE; }, 30000));
    PostMessageW(read, BM_CLICK, 0, 0);
    auto log = [&] { return ServerCommand("log " + pid); };
    ASSERT_TRUE(WaitUntil([&] { return log().find("SendQuery [ui1 9, i4 2,") != std::string::npos; }, 30000)) << log();
    PostMessageW(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Exited(60000)) << "still running";
    DWORD code = 1;
    GetExitCodeProcess(Process, &code);
    EXPECT_EQ(code, 0u);
    std::string calls = log();
    // Each once: the state event inside the transport's unregistration must not start another.
    for (char object : {'T', 'M'}) {
        int n = 0;
        std::istringstream lines(calls);
        for (std::string l; std::getline(lines, l);)
            n += !l.empty() && l[0] == object && l.find(" UnregisterClient " + pid) != std::string::npos;
        EXPECT_EQ(n, 1) << object << " unregistrations:\n" << calls;
    }
}
