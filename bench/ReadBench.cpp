// ReadBench: what the window adds to a read. Prints figures:
//  1. the GUI work per record (row growth, ShowRecord, progress, message processing) for
//     65 536 records into the list, with the window on screen;
//  2. FillGroupGrid over 65 536 events;
//  3. a whole read of 1 000 records through the link library against the simulated instrument,
//     next to the same 1 000 requests made straight through the library.
// READBENCH_SHORT=1 in the environment makes part 1 a quick 4 096 records.
#include <windows.h>

#include <cstdio>
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

    // 3. A whole read of 1 000 records, then the same requests straight through the library.
    form->sg->SetRowCount(2);
    form->ClearGroups();
    t0 = Now();
    form->btnRead2->Click();
    t1 = Now();
    double readMs = (t1 - t0) * 1000.0;
    int rows = form->sg->RowCount() - 1;

    const int port = form->FPorts.empty() ? 0 : form->FPorts[0];
    double c0 = Now();
    bool open = form->Connect(port, 19200, 0);
    double c1 = Now();
    double rawMs = 0;
    int ok = 0;
    if (open) {
        form->Retries(5);
        uint8_t buf[256];
        double r0 = Now();
        for (int i = 0; i < 1000; ++i) {
            std::fill(buf, buf + 256, 0);
            buf[1] = 1;
            buf[3] = 1;
            buf[5] = static_cast<uint8_t>(i >> 8);
            buf[6] = static_cast<uint8_t>(i);
            if (form->AnyFunction(1, 0x41, 7, buf) == 0) ++ok;
        }
        rawMs = (Now() - r0) * 1000.0;
        form->Disconnect();
    }
    double connectMs = (c1 - c0) * 1000.0;
    std::printf("Whole read of %d records through the window: %.0f ms (%.2f ms per record, Connect included)\n", rows,
                readMs, readMs / (rows > 0 ? rows : 1));
    std::printf("Same 1000 requests straight through the library: %.0f ms (%.2f ms per record, %d answered); "
                "Connect %.0f ms\n",
                rawMs, rawMs / 1000.0, ok, connectMs);
    std::printf("The window adds %.3f ms per record\n", (readMs - connectMs - rawMs) / 1000.0);

    form->Hide();
    Application->DestroyComponents();
    return 0;
}
