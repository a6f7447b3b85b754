// Times "Сохранить..." on a full list: the text file with 65 536 records, and the workbook our own
// writer makes where Excel is missing, with as many records as a sheet holds (65 534 below the
// two header rows). Prints the best and the median of several runs, and the file sizes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Forms.h"
#include "MainFormU.h"
#include "XlsBook.h"

namespace {

double Now()
{
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER v;
        QueryPerformanceFrequency(&v);
        return v;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

void WriteText(const std::string& path, const std::string& s)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &n, nullptr);
    CloseHandle(h);
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

void Fill(TStringGrid* sg, int records)
{
    sg->SetRowCount(records + 1);
    for (int r = 1; r <= records; ++r) {
        int s = r % 60, m = (r / 60) % 60, h = (r / 3600) % 24;
        sg->SetCells(0, r, std::to_string(r - 1));
        sg->SetCells(1, r, Format("%02d.02.2024 %02d:%02d:%02d", 1 + r / 86400, h, m, s));
        sg->SetCells(2, r, "Давление в подающем трубопроводе " + std::to_string(r % 40));
        sg->SetCells(3, r, Format("%.7f", r * 0.25));
        sg->SetCells(4, r, Format("%05d", r % 100000));
    }
}

void Report(const char* what, int records, std::vector<double> t, const std::string& file, double target)
{
    std::sort(t.begin(), t.end());
    std::printf("%-34s %6d records  best %7.3f s  median %7.3f s  %9lld bytes  (target <= %.1f s)\n", what,
                records, t.front(), t[t.size() / 2], FileSize(file), target);
}

}  // namespace

int main()
{
    Application->Initialize();
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string dir = std::string(tmp) + "tovik_exportbench_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    WriteText(dir + "dev.ini",
              "[settings]\r\nname=Регистратор РС-20\r\narchtypecount=2\r\n"
              "ArchName1=События\r\nArchStandart1=0\r\nArchName2=Изменения\r\nArchStandart2=3\r\n");
    WriteText(dir + "main.ini", "[Settings]\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");

    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid)))
        std::printf("note: \"Excel.Application\" is registered here; the workbook runs time Excel\n");

    TDialogScript dialogs;
    TForm1* form = new TForm1(Application, dir);
    form->AfterConstruction();

    const int runs = 5;
    const char* layouts[2] = {"one value", "old and new value"};
    for (int layout = 0; layout < 2; ++layout) {
        form->rgTypeJ->SetItemIndex(layout);

        double t0 = Now();
        Fill(form->sg, 65536);
        std::printf("grid filled with 65536 records in %.3f s\n", Now() - t0);
        std::vector<double> text;
        const std::string txt = dir + "bench.txt";
        for (int i = 0; i < runs; ++i) {
            dialogs.AnswerFile(txt, 1);
            double a = Now();
            form->BtnExcelClick(form->BtnExcel);
            text.push_back(Now() - a);
        }
        Report((std::string("text, ") + layouts[layout]).c_str(), 65536, text, txt, 0.5);

        const int sheetRecords = TXlsSheet::MaxRows - 2;
        form->sg->SetRowCount(sheetRecords + 1);
        std::vector<double> book;
        const std::string xls = dir + "bench.xls";
        for (int i = 0; i < runs; ++i) {
            dialogs.AnswerFile(xls, 2);
            double a = Now();
            form->BtnExcelClick(form->BtnExcel);
            book.push_back(Now() - a);
        }
        Report((std::string("workbook stand-in, ") + layouts[layout]).c_str(), sheetRecords, book, xls, 2.0);
    }

    form->Free();
    DeleteFileA((dir + "bench.txt").c_str());
    DeleteFileA((dir + "bench.xls").c_str());
    DeleteFileA((dir + "dev.ini").c_str());
    DeleteFileA((dir + "main.ini").c_str());
    RemoveDirectoryA(dir.c_str());
    std::fflush(stdout);
    return 0;
}
