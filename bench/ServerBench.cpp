// ServerBench: the time per record of a read through the automation server (stand-in server,
// transport and Modbus master) next to the direct read through the link library, on the same
// archive of the simulated instrument, in one run. Prints figures.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Forms.h"
#include "MainFormU.h"
#include "TestInstrument.h"

using tovik::testing::TestInstrument;

namespace {

const int Records = 999;  // the most one read through the server takes

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

bool PumpUntil(bool (*done)(TForm1*), TForm1* form, DWORD ms)
{
    DWORD t0 = GetTickCount();
    while (!done(form)) {
        if (GetTickCount() - t0 > ms) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

}  // namespace

int main()
{
    std::string work = TestInstrument::MakeWorkDir();
    if (work.empty()) return std::printf("ServerBench: no work folder\n"), 1;
    std::string dir = TestInstrument::Wine(work) + "\\";
    TestInstrument::WriteFile(dir + "dev.ini",
                              "[settings]\r\nname=Прибор\r\narchtypecount=1\r\nArchName1=Архив\r\nArchCountRec1=" +
                                  std::to_string(Records) + "\r\narchnum1=1\r\nArchReg1=300001\r\n"
                                  "[s0]\r\nID=1\r\nname=Давление\r\ntype=4\r\n");
    TestInstrument::WriteFile(dir + "records.txt", "archive 1\ngen " + std::to_string(Records) + "\n");
    TestInstrument inst("--device " + work + "/dev.ini --records " + work + "/records.txt");
    if (!inst.Ok()) return std::printf("ServerBench: instrument: %s\n", inst.Error().c_str()), 1;
    TestInstrument::WriteFile(dir + "main.ini", "[Settings]\r\nlastcomport=" + inst.PortName() +
                                                    "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=5\r\n"
                                                    "LastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
    if (!inst.ListPort()) return std::printf("ServerBench: cannot list the port\n"), 1;

    Application->Initialize();
    TForm1* form = new TForm1(Application, dir);
    form->AfterConstruction();
    form->Show();
    Application->ProcessMessages();

    double a = Now();
    form->btnRead2->Click();
    double direct = (Now() - a) / Records;
    int directRows = form->sg->RowCount() - 1;

    form->btnConnect->Click();
    if (!PumpUntil([](TForm1* f) { return f->btnRead->Enabled(); }, form, 30000))
        return std::printf("ServerBench: the server reported no open channel\n"), 1;
    double b = Now();
    form->btnRead->Click();
    if (!PumpUntil([](TForm1* f) { return f->btnRead->Enabled(); }, form, 600000))
        return std::printf("ServerBench: the read through the server did not end\n"), 1;
    double server = (Now() - b) / Records;
    int serverRows = form->sg->RowCount() - 1;
    form->BtnDisconnect->Click();
    PumpUntil([](TForm1* f) { return f->btnConnect->Enabled(); }, form, 30000);

    std::printf("Read of %d records: direct %.3f ms per record (%d rows), through the server %.3f ms per record "
                "(%d rows), ratio %.2f (target at most 1.10)\n",
                Records, direct * 1000, directRows, server * 1000, serverRows, server / direct);
    form->Free();
    return 0;
}
