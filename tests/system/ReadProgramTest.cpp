// Tovik.exe as the operator runs it, against the simulated instrument: its window is driven
// through window messages from this process, the line is watched through the instrument's log.
#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "../../testing/win/TestInstrument.h"
#include "../standins/TestSupport.h"
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
    orlent::IOrlentSrvControl* c = orlent::RunningControl();
    if (!c) return "ERR no stand-in server";
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

// Files named in UTF-16, their bytes as they are.
bool PutFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(h);
    return ok;
}

std::string GetFile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string s;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) s.append(buf, n);
    CloseHandle(h);
    return s;
}

std::vector<std::wstring> FileNames(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

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
        ASSERT_NO_FATAL_FAILURE(StartLine(records, faults));
        ASSERT_TRUE(TestInstrument::WriteFile(Dir + "main.ini", MainIni("dev.ini")));
        ASSERT_NO_FATAL_FAILURE(Launch(Wide(Dir)));
    }

    // The simulated instrument with its records, and its port in the system's list.
    void StartLine(int records, const std::string& faults = "")
    {
        ASSERT_TRUE(TestInstrument::WriteFile(Dir + "dev.ini", DeviceFile));
        ASSERT_TRUE(TestInstrument::WriteFile(Dir + "records.txt", "archive 1\ngen " + std::to_string(records) + "\n"));
        Inst = std::make_unique<TestInstrument>("--device " + Work + "/dev.ini --records " + Work + "/records.txt " +
                                                faults);
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        Port = std::make_unique<SystemPort>(Inst->PortName());
        ASSERT_TRUE(Port->Ok);
    }

    std::string MainIni(const std::string& deviceFile)
    {
        return "[Settings]\r\nlastcomport=" + Inst->PortName() +
               "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=1\r\nlastlink=0\r\nLastDev=0\r\n"
               "[Main]\r\nCountDev=1\r\nDev1=" + deviceFile + "\r\n";
    }

    // Tovik.exe of the folder (with its trailing "\"), started there.
    void Launch(const std::wstring& folder)
    {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + folder + L"Tovik.exe\"";
        std::vector<wchar_t> line(cmd.begin(), cmd.end());
        line.push_back(0);
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi));
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

    // "Сохранить..." answered in the system's save dialog: the file type (1 text, 2 Excel), then
    // the name, then OK; waits until the dialog has gone.
    void SaveAs(const std::wstring& file, int filterIndex)
    {
        PostMessageW(SaveButton, BM_CLICK, 0, 0);
        HWND dlg = WaitTopWindow(Pid, L"#32770", L"", 30000);
        ASSERT_NE(dlg, nullptr) << "no save dialog";
        HWND name = GetDlgItem(dlg, edt1);
        if (!name) name = GetDlgItem(dlg, cmb13);
        HWND type = GetDlgItem(dlg, cmb1);
        ASSERT_TRUE(name && type) << Dump(dlg);
        SendMessageW(type, CB_SETCURSEL, static_cast<WPARAM>(filterIndex - 1), 0);
        // What a choice with the mouse sends (dialogs listen to one or the other).
        for (WORD note : {CBN_SELCHANGE, CBN_SELENDOK})
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(cmb1, note), reinterpret_cast<LPARAM>(type));
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }, 10000)) << "the dialog stayed";
    }

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

// An English Windows (system code page 1252) and Cyrillic folders: the program finds main.ini and
// its device file in its own folder, reads, and saves both kinds of file under their names with
// cp1251 contents; main.ini keeps its bytes.
TEST_F(ProgramTest, RunsFromACyrillicFolderUnderAnotherSystemCodePage)
{
    // The run's locale (read.cmake) makes it so; the program started from here inherits it.
    ASSERT_NE(GetACP(), 1251u);
    // The workbook comes from our own writer: no Excel stand-in of another test in between.
    testsupport::TNoExcel noExcel;
    const std::wstring prog = Wide(Dir + "Программа Товик\\"), out = Wide(Dir + "Отчёты\\");
    ASSERT_TRUE(CreateDirectoryW(prog.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    for (const char* f : {"Tovik.exe", "Ravelport.dll"})
        ASSERT_TRUE(CopyFileW(Wide(Dir + f).c_str(), (prog + Wide(f)).c_str(), FALSE)) << f;
    ASSERT_NO_FATAL_FAILURE(StartLine(30));
    ASSERT_TRUE(PutFile(prog + Wide("прибор.ini"), DeviceFile));
    const std::string ini = MainIni("прибор.ini");
    ASSERT_TRUE(PutFile(prog + L"main.ini", ini));
    ASSERT_NO_FATAL_FAILURE(Launch(prog));
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ReadButton) && IsWindowVisible(SaveButton); }, 60000))
        << "no read: " << ArchiveRequests() << " requests";
    EXPECT_EQ(ArchiveRequests(), 30);

    ASSERT_NO_FATAL_FAILURE(SaveAs(out + Wide("отчёт.txt"), 1));
    ASSERT_NO_FATAL_FAILURE(SaveAs(out + Wide("отчёт.xls"), 2));
    PostMessageW(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Exited(30000));

    EXPECT_EQ(FileNames(out), (std::vector<std::wstring>{Wide("отчёт.txt"), Wide("отчёт.xls")}));
    const std::string text = GetFile(out + Wide("отчёт.txt"));
    EXPECT_EQ(text.rfind("Прибор:Прибор\r\n", 0), 0u) << text.substr(0, 40);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 31);
    EXPECT_NE(text.find("\tДавление\t"), std::string::npos);
    // The workbook holds its texts as UTF-16.
    const std::string book = GetFile(out + Wide("отчёт.xls"));
    const std::wstring w = Wide("Давление");
    EXPECT_EQ(book.rfind("\xD0\xCF\x11\xE0", 0), 0u);
    EXPECT_NE(book.find(std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2)), std::string::npos);
    // The choices were written back, and the rest of main.ini is as it was.
    EXPECT_EQ(GetFile(prog + L"main.ini"), ini);
}

// A name chosen in the save dialog that cp1251 cannot hold never turns into a look-alike name
// ("cafe" for "caf\u00e9"): a new file is refused with a message, an existing one is reached by its
// short name, as is a folder; the look-alike file keeps its bytes.
TEST_F(ProgramTest, SaveDialogNameOutsideCp1251NeverBecomesAnotherFilesName)
{
    StartAll(5);
    if (HasFatalFailure()) return;
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ReadButton) && IsWindowVisible(SaveButton); }, 60000));
    const std::wstring out = Wide(Dir) + L"out\\", name = out + L"caf\x00e9.txt";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    ASSERT_TRUE(PutFile(out + L"cafe.txt", "earlier"));

    ASSERT_NO_FATAL_FAILURE(SaveAs(name, 1));
    HWND box = WaitTopWindow(Pid, L"#32770", L"", 10000);
    EXPECT_NE(box, nullptr) << "no message";
    if (box) {
        std::wstring msg;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (ClassOf(c) == L"Static") msg += WindowText(c);
        EXPECT_NE(msg.find(Wide("не может быть сохранён")), std::wstring::npos);
        EXPECT_NE(msg.find(L"\\caf?.txt\n"), std::wstring::npos) << "not shown as the look-alike name";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
    }
    EXPECT_EQ(FileNames(out), std::vector<std::wstring>{L"cafe.txt"});

    ASSERT_TRUE(PutFile(name, "old"));
    ASSERT_NO_FATAL_FAILURE(SaveAs(name, 1));
    EXPECT_TRUE(WaitUntil([&] { return GetFile(name).rfind("Прибор:Прибор\r\n", 0) == 0; }, 10000)) << GetFile(name);
    EXPECT_EQ(GetFile(out + L"cafe.txt"), "earlier");

    // A folder cp1251 cannot name is reached by its short name.
    const std::wstring greek = out + L"\x03b1\x03b2\x03b3\x03b4\\";
    ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(SaveAs(greek + Wide("отчёт.txt"), 1));
    EXPECT_TRUE(WaitUntil([&] { return !GetFile(greek + Wide("отчёт.txt")).empty(); }, 10000));
    EXPECT_EQ(FileNames(greek), std::vector<std::wstring>{Wide("отчёт.txt")});
    EXPECT_EQ(FileNames(out), (std::vector<std::wstring>{L"cafe.txt", L"caf\x00e9.txt", L"\x03b1\x03b2\x03b3\x03b4"}));
    PostMessageW(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Exited(30000));
}

// Folders that cp1251 cannot name: the program reaches its files by the short name, also where
// that is longer than the long one (Wine makes "__~~~OKK" of two CJK letters). They lie in a folder
// of the system drive whose names are short already, so that nothing else shortens the path.
namespace {

struct FolderName {
    const char* what;
    const wchar_t* name;
};
void PrintTo(const FolderName& f, std::ostream* os) { *os << f.what; }

class OutsideCp1251Test : public ProgramTest, public ::testing::WithParamInterface<FolderName> {
protected:
    void TearDown() override
    {
        ProgramTest::TearDown();
        if (!Base.empty()) RemoveTreeW(Base);
    }
    static void RemoveTreeW(const std::wstring& dir)
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n == L"." || n == L"..") continue;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTreeW(dir + n + L"\\");
                else DeleteFileW((dir + n).c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring Base;
};

}  // namespace

TEST_P(OutsideCp1251Test, ProgramFolderIsReachedByItsShortName)
{
    wchar_t base[32];
    swprintf(base, 32, L"C:\\tv%x\\", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF));
    Base = base;
    RemoveTreeW(Base);  // left by an interrupted run
    ASSERT_TRUE(CreateDirectoryW(Base.c_str(), nullptr));
    const std::wstring prog = Base + GetParam().name + L"\\";
    ASSERT_TRUE(CreateDirectoryW(prog.c_str(), nullptr));
    for (const char* f : {"Tovik.exe", "Ravelport.dll"})
        ASSERT_TRUE(CopyFileW(Wide(Dir + f).c_str(), (prog + Wide(f)).c_str(), FALSE)) << f;
    ASSERT_NO_FATAL_FAILURE(StartLine(5));
    ASSERT_TRUE(PutFile(prog + L"dev.ini", DeviceFile));
    ASSERT_TRUE(PutFile(prog + L"main.ini", MainIni("dev.ini")));
    ASSERT_NO_FATAL_FAILURE(Launch(prog));
    PostMessageW(ReadButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ReadButton) && IsWindowVisible(SaveButton); }, 60000));
    EXPECT_EQ(ArchiveRequests(), 5);
    PostMessageW(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Exited(30000));
}

INSTANTIATE_TEST_SUITE_P(Folders, OutsideCp1251Test,
                         ::testing::Values(FolderName{"Greek9", L"\x03a0\x03c1\x03cc\x03b3\x03c1\x03b1\x03bc\x03bc\x03b1"},
                                           FolderName{"Greek4", L"\x03b1\x03b2\x03b3\x03b4"},
                                           FolderName{"Cjk2", L"\x4e2d\x6587"}),
                         [](const ::testing::TestParamInfo<FolderName>& p) { return std::string(p.param.what); });

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
