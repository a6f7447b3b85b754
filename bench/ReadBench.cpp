// ReadBench: what the window adds to a read. Prints figures:
//  1. the GUI work per record (row growth, ShowRecord, progress, message processing) for
//     65 536 records into the list, with the window on screen;
//  2. FillGroupGrid over 65 536 events;
//  3. the time between two archive requests (function 0x41) as the simulated instrument logs them,
//     median and mean over a read of 1 000 records: through the window, straight through the link
//     library, and through a bare window of plain system controls that does the same updates and
//     message pump per record; what the window adds against what the bare window adds, and the
//     paints, erases and frame paints per record of each window class.
// READBENCH_SHORT=1 in the environment makes part 1 a quick 4 096 records.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Forms.h"
#include "MainFormU.h"
#include "TestInstrument.h"

using tovik::testing::TestInstrument;

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(freq.QuadPart);
}

// This process's port list holds only the given port (the window reads it at start).
class PortList {
public:
    explicit PortList(const std::string& port)
    {
        std::string base = "Software\\TovikBench\\ports" + std::to_string(GetCurrentProcessId());
        RegCreateKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &FRoot, nullptr);
        HKEY k = nullptr;
        RegCreateKeyExA(FRoot, "hardware\\devicemap\\serialcomm", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr);
        RegSetValueExA(k, "bench", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                       static_cast<DWORD>(port.size() + 1));
        RegCloseKey(k);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, FRoot);
    }
    ~PortList()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(FRoot);
    }

private:
    HKEY FRoot = nullptr;
};

const char* const DeviceFile =
    "[settings]\r\nname=Прибор\r\narchtypecount=1\r\n"
    "ArchName1=Архив\r\nArchCountRec1=65536\r\narchnum1=1\r\nArchReg1=300001\r\n"
    "[s0]\r\nID=1\r\nname=Давление\r\ntype=4\r\n"
    "[s1]\r\nID=2\r\nname=Температура\r\ntype=2\r\n"
    "[s2]\r\nID=3\r\nname=Состояние\r\ntype=0=закрыт;1=открыт\r\n";

// The timed reads take this many records each way; the first SkipRecords (the rows that still
// land in the visible part of the list) are left out of the steady state.
constexpr int Records = 1000;
constexpr int SkipRecords = 64;

struct TGaps {
    double Median = 0, Mean = 0;
};

// Gaps between consecutive archive requests (function 0x41) after the log mark, in ms.
TGaps RequestGaps(TestInstrument& inst, size_t mark)
{
    std::vector<double> t, d;
    for (const auto& l : inst.Requests(mark))
        if (l.bytes.size() > 1 && l.bytes[1] == 0x41) t.push_back(l.t);
    for (size_t i = SkipRecords + 1; i < t.size(); ++i) d.push_back((t[i] - t[i - 1]) * 1000.0);
    TGaps g;
    if (d.empty()) return g;
    for (double x : d) g.Mean += x;
    g.Mean /= static_cast<double>(d.size());
    std::sort(d.begin(), d.end());
    g.Median = d.size() % 2 ? d[d.size() / 2] : (d[d.size() / 2 - 1] + d[d.size() / 2]) / 2;
    return g;
}

// Paints, erases and frame paints per window class while counting and Steady() says so: sent
// ones through the call hook, queued WM_PAINT through the get-message hook.
class TPaintCount {
public:
    explicit TPaintCount(std::function<bool()> steady) { Steady() = std::move(steady); }
    void Start()
    {
        FCounts().clear();
        FCall = SetWindowsHookExW(WH_CALLWNDPROC, Sent, nullptr, GetCurrentThreadId());
        FGet = SetWindowsHookExW(WH_GETMESSAGE, Got, nullptr, GetCurrentThreadId());
    }
    void Stop()
    {
        if (FCall) UnhookWindowsHookEx(FCall);
        if (FGet) UnhookWindowsHookEx(FGet);
        FCall = FGet = nullptr;
        FKept = FCounts();
    }
    void Print(const char* what, int records) const
    {
        std::printf("  per record, %s (WM_PAINT / WM_ERASEBKGND / WM_NCPAINT):", what);
        for (const auto& [cls, n] : FKept)
            std::printf(" %s %.2f/%.2f/%.2f;", cls.c_str(), n[0] / double(records), n[1] / double(records),
                        n[2] / double(records));
        std::printf("\n");
    }

private:
    using TTable = std::map<std::string, std::array<long, 3>>;
    static TTable& FCounts()
    {
        static TTable t;
        return t;
    }
    static std::function<bool()>& Steady()
    {
        static std::function<bool()> f;
        return f;
    }
    static void Count(HWND h, UINT msg)
    {
        if (!Steady()()) return;
        int slot = msg == WM_PAINT ? 0 : msg == WM_ERASEBKGND ? 1 : msg == WM_NCPAINT ? 2 : -1;
        if (slot < 0) return;
        char name[64] = "";
        GetClassNameA(h, name, sizeof name);
        ++FCounts()[name][static_cast<size_t>(slot)];
    }
    static LRESULT CALLBACK Sent(int code, WPARAM w, LPARAM l)
    {
        if (code == HC_ACTION) {
            auto* c = reinterpret_cast<CWPSTRUCT*>(l);
            Count(c->hwnd, c->message);
        }
        return CallNextHookEx(nullptr, code, w, l);
    }
    static LRESULT CALLBACK Got(int code, WPARAM w, LPARAM l)
    {
        if (code == HC_ACTION && w == PM_REMOVE) {
            auto* m = reinterpret_cast<MSG*>(l);
            Count(m->hwnd, m->message);
        }
        return CallNextHookEx(nullptr, code, w, l);
    }
    HHOOK FCall = nullptr, FGet = nullptr;
    TTable FKept;
};

// The baseline: a plain window of system controls at the places the program's window has them,
// a progress bar, a static text and a list box, updated per record as the read loop does.
class TBareWindow {
public:
    TBareWindow()
    {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"ReadBenchBare";
        RegisterClassW(&wc);
        FWnd = CreateWindowExW(0, L"ReadBenchBare", L"bare", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 750, 686,
                               nullptr, nullptr, nullptr, nullptr);
        HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        auto child = [&](const wchar_t* cls, DWORD style, int x, int y, int w, int h) {
            HWND c = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, FWnd, nullptr, nullptr,
                                     nullptr);
            SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
            return c;
        };
        FBar = child(PROGRESS_CLASSW, PBS_SMOOTH, 320, 104, 193, 16);
        FText = child(L"STATIC", SS_LEFT, 320, 120, 160, 13);
        FList = child(L"LISTBOX", WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS, 0, 161, 734, 486);
        ShowWindow(FWnd, SW_SHOWNORMAL);
        UpdateWindow(FWnd);
        Pump();
    }
    ~TBareWindow() { DestroyWindow(FWnd); }
    void Start(int count)
    {
        SendMessageW(FBar, PBM_SETRANGE32, 0, count);
        SendMessageW(FBar, PBM_SETSTEP, 1, 0);
    }
    void Status(const std::string& text) { SetWindowTextA(FText, text.c_str()); }
    // A row: the number, the time stamp, the parameter and the value (or "error").
    void Row(int i, bool answered, const uint8_t* buf)
    {
        std::string row = std::to_string(i) + "\t";
        if (answered)
            row += std::to_string(buf[2] << 24 | buf[3] << 16 | buf[4] << 8 | buf[5]) + "\t" +
                   std::to_string(buf[6] << 8 | buf[7]) + "\t" +
                   std::to_string(buf[8] << 24 | buf[9] << 16 | buf[10] << 8 | buf[11]);
        else
            row += "error";
        SendMessageA(FList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    }
    void Step() { SendMessageW(FBar, PBM_STEPIT, 0, 0); }
    static void Pump()
    {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }

private:
    HWND FWnd = nullptr, FBar = nullptr, FText = nullptr, FList = nullptr;
};

}  // namespace

int main()
{
    std::string work = TestInstrument::MakeWorkDir();
    if (work.empty()) {
        std::printf("ReadBench: no work folder\n");
        return 1;
    }
    std::string dir = TestInstrument::Wine(work) + "\\";
    TestInstrument::WriteFile(dir + "dev.ini", DeviceFile);
    TestInstrument::WriteFile(dir + "records.txt", "archive 1\ngen 1000\n");
    TestInstrument inst("--device " + work + "/dev.ini --records " + work + "/records.txt");
    if (!inst.Ok()) {
        std::printf("ReadBench: instrument: %s\n", inst.Error().c_str());
        return 1;
    }
    TestInstrument::WriteFile(dir + "main.ini", "[Settings]\r\nlastcomport=" + inst.PortName() +
                                                    "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=5\r\n"
                                                    "LastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
    PortList ports(inst.PortName());

    Application->Initialize();
    TForm1* form = new TForm1(Application, dir);
    form->AfterConstruction();
    form->Show();
    Application->ProcessMessages();
    if (!form->Connect) {
        std::printf("ReadBench: Ravelport.dll not bound\n");
        return 1;
    }

    // Where the time of one record goes: each step alone over 2048 records, on top of base rows.
    auto breakdown = [&](int base) {
        const int M = 2048;
        form->PBar->SetMax(base + M);
        form->PBar->SetPosition(base);
        double a = Now();
        for (int k = 0; k < M; ++k) form->sg->SetRowCount(base + k + 2);
        double b = Now();
        for (int k = 0; k < M; ++k)
            form->ShowRecord(base + k, 1767225600u + 600u * k, static_cast<uint16_t>(k % 3 + 1), 0, 0, k);
        double c = Now();
        for (int k = 0; k < M; ++k) form->PBar->StepBy(1);
        double d = Now();
        for (int k = 0; k < M; ++k) form->lblStat->SetCaption(std::to_string(k + 1) + " (" + std::to_string(M) + ")");
        double e = Now();
        for (int k = 0; k < M; ++k) Application->ProcessMessages();
        double f = Now();
        std::printf("Per record at %d rows, each step alone (ms): rows %.3f, ShowRecord %.3f, progress %.3f, "
                    "status %.3f, messages %.3f\n",
                    base, (b - a) * 1000 / M, (c - b) * 1000 / M, (d - c) * 1000 / M, (e - d) * 1000 / M,
                    (f - e) * 1000 / M);
    };
    breakdown(0);
    form->sg->SetRowCount(2);
    form->ClearGroups();

    // 1. GUI work per record, as the read loop does it after each reply.
    const int N = GetEnvironmentVariableA("READBENCH_SHORT", nullptr, 0) ? 4096 : 65536;
    form->ClearGroups();
    form->FStart = 0;
    form->PBar->SetMax(N);
    form->PBar->SetPosition(0);
    double t0 = Now(), tailStart = 0;
    for (int k = 0; k < N; ++k) {
        if (k == N - 1024) tailStart = Now();
        form->lblStat->SetCaption(std::to_string(k + 1) + " (" + std::to_string(N) + ")");
        form->sg->SetRowCount(k + 2);
        uint32_t value = k % 3 == 0 ? 0x3FC00000u : static_cast<uint32_t>(k);
        form->ShowRecord(k, 1767225600u + 600u * static_cast<uint32_t>(k), static_cast<uint16_t>(k % 3 + 1), 0, 0,
                         value);
        form->PBar->StepBy(1);
        Application->ProcessMessages();
    }
    double t1 = Now();
    std::printf("GUI work per record, %d records into the list: %.3f ms mean, %.3f ms over the last 1024 "
                "(target <= 0.5 ms); %.2f s in all\n",
                N, (t1 - t0) * 1000.0 / N, (t1 - tailStart) * 1000.0 / 1024, t1 - t0);

    breakdown(N);

    // 2. The group grid over the same 65 536 events (3 groups), and over 256 groups of 256.
    t0 = Now();
    form->FillGroupGrid();
    t1 = Now();
    std::printf("FillGroupGrid, %d events in %zu groups: %.3f s (target <= 1 s)\n", N, form->FGroups.size(), t1 - t0);
    form->ClearGroups();
    for (int k = 0; k < N; ++k) form->AddEvent(k % 256, 18, "p" + std::to_string(k % 256), 46000.0 + k, k);
    t0 = Now();
    form->FillGroupGrid();
    t1 = Now();
    std::printf("FillGroupGrid, %d events in %zu groups: %.3f s\n", N, form->FGroups.size(), t1 - t0);

    // 3. The steady state as the instrument sees it: the time between two archive requests, read
    // off its own frame log, through the window, straight through the library, and through a bare
    // window of plain system controls doing the same updates. Then the paints per record of a
    // shorter read each way, counted apart (hooks slow every message down).
    const int port = form->FPorts.empty() ? 0 : form->FPorts[0];
    auto request = [&](int i, uint8_t* buf) {
        std::fill(buf, buf + 256, 0);
        buf[1] = 1;
        buf[3] = 1;
        buf[5] = static_cast<uint8_t>(i >> 8);
        buf[6] = static_cast<uint8_t>(i);
        return form->AnyFunction(1, 0x41, 7, buf) == 0;
    };
    auto windowRead = [&] {
        form->Show();
        Application->ProcessMessages();
        form->sg->SetRowCount(2);
        form->ClearGroups();
        form->btnRead2->Click();
        return form->sg->RowCount() - 1;
    };
    // Returns the bare window's own time per record by step (status, row, progress, pump) in ms.
    auto bareRead = [&](int count, TPaintCount* paints, int* done) {
        std::array<double, 4> steps{};
        form->Hide();  // the bare window alone on screen, as the program's window was
        Application->ProcessMessages();
        TBareWindow w;
        if (!form->Connect(port, 19200, 0)) return steps;
        form->Retries(5);
        uint8_t buf[256];
        w.Start(count);
        if (paints) paints->Start();
        for (int i = 0; i < count; ++i) {
            if (done) *done = i + 1;
            double t[5];
            t[0] = Now();
            w.Status(std::to_string(i + 1) + " (" + std::to_string(count) + ")");
            t[1] = Now();
            bool answered = request(i, buf);
            double r = Now();
            w.Row(i, answered, buf);
            t[2] = Now();
            w.Step();
            t[3] = Now();
            TBareWindow::Pump();
            t[4] = Now();
            if (i < SkipRecords) continue;
            steps[0] += t[1] - t[0];
            steps[1] += t[2] - r;
            for (size_t k = 2; k < 4; ++k) steps[k] += t[k + 1] - t[k];
        }
        if (paints) paints->Stop();
        form->Disconnect();
        for (double& x : steps) x = x * 1000.0 / (count - SkipRecords);
        return steps;
    };

    size_t mark = inst.Mark();
    const int rows = windowRead();
    const TGaps window = RequestGaps(inst, mark);

    int ok = 0;
    mark = inst.Mark();
    if (form->Connect(port, 19200, 0)) {
        form->Retries(5);
        uint8_t buf[256];
        for (int i = 0; i < Records; ++i) ok += request(i, buf);
        form->Disconnect();
    }
    const TGaps library = RequestGaps(inst, mark);

    mark = inst.Mark();
    const auto bareSteps = bareRead(Records, nullptr, nullptr);
    const TGaps bare = RequestGaps(inst, mark);

    std::printf("Between two archive requests (instrument's frame log, records %d..%d), median / mean ms:\n",
                SkipRecords + 1, Records);
    std::printf("  through the window %.2f / %.2f (%d rows); library alone %.2f / %.2f (%d answered); "
                "bare Win32 window %.2f / %.2f\n",
                window.Median, window.Mean, rows, library.Median, library.Mean, ok, bare.Median, bare.Mean);
    const double addW = window.Median - library.Median, addB = bare.Median - library.Median;
    const double addWm = window.Mean - library.Mean, addBm = bare.Mean - library.Mean;
    std::printf("  the window adds %.2f ms per record (mean %.2f; target <= 1), the bare window %.2f "
                "(mean %.2f); ratio %.2f (mean %.2f; target <= 1.5)\n",
                addW, addWm, addB, addBm, addB > 0 ? addW / addB : 0.0, addBm > 0 ? addWm / addBm : 0.0);
    std::printf("  the bare window's own time per record (ms): status %.3f, row %.3f, progress %.3f, pump %.3f\n",
                bareSteps[0], bareSteps[1], bareSteps[2], bareSteps[3]);

    const int counted = 200;
    inst.Command("records 1 " + std::to_string(counted));
    // Records SkipRecords..counted-2: the progress bar stands at the record's number + 1 in its pump.
    auto steady = [&](int n) { return n > SkipRecords && n < counted; };
    TPaintCount paints([&] { return steady(form->PBar->Position()); });
    paints.Start();
    windowRead();
    paints.Stop();
    int bareDone = 0;
    TPaintCount barePaints([&] { return steady(bareDone); });
    bareRead(counted, &barePaints, &bareDone);
    paints.Print("through the window", counted - SkipRecords - 1);
    barePaints.Print("bare window", counted - SkipRecords - 1);

    form->Hide();
    Application->DestroyComponents();
    return 0;
}
