// Fills a string grid row by row to 65 536 rows, as a long archive read does, then paints it at
// the top, at the bottom and while paging through; prints the times. Run under a display.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "Forms.h"
#include "Grids.h"
#include "SysUtils.h"

namespace {
double Now()
{
    static LARGE_INTEGER f{};
    if (!f.QuadPart) QueryPerformanceFrequency(&f);
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

size_t WorkingSetKB()
{
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize / 1024;
}

void PaintNow(TStringGrid* g) { RedrawWindow(g->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
}  // namespace

int main()
{
    const int rows = 65536;
    Application->Initialize();
    auto* form = new TForm(nullptr);
    form->SetBounds(0, 0, 750, 686);
    auto* g = new TStringGrid(form);
    g->SetParent(form);
    g->SetAlign(alClient);
    g->SetColCount(5);
    g->SetRowCount(2);
    g->SetFixedCols(0);
    g->SetDefaultRowHeight(16);
    int widths[] = {31, 124, 305, 119, 110};
    for (int c = 0; c < 5; ++c) g->SetColWidths(c, widths[c]);
    long long drawn = 0;
    g->OnDrawCell = [&](TObject*, int, int, const TRect&, TGridDrawState) { ++drawn; };
    form->Show();
    size_t ws0 = WorkingSetKB();

    double t0 = Now();
    for (int r = 1; r < rows; ++r) {
        g->SetRowCount(r + 1);
        g->SetCells(0, r, IntToStr(r - 1));
        g->SetCells(1, r, "01.02.24 12:34:56");
        g->SetCells(2, r, "Давление на входе");
        g->SetCells(4, r, "123.4567890");
        if ((r & 255) == 0) Application->ProcessMessages();
    }
    Application->ProcessMessages();
    double fill = Now() - t0;
    size_t ws1 = WorkingSetKB();

    const int paints = 200;
    drawn = 0;
    t0 = Now();
    for (int i = 0; i < paints; ++i) PaintNow(g);
    double top = (Now() - t0) / paints;
    long long cellsTop = drawn / paints;

    g->SetTopRow(rows);
    drawn = 0;
    t0 = Now();
    for (int i = 0; i < paints; ++i) PaintNow(g);
    double bottom = (Now() - t0) / paints;

    g->SetTopRow(1);
    int pages = 0;
    t0 = Now();
    while (g->TopRow() + g->VisibleRowCount() < rows && pages < 2000) {
        SendMessageW(g->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
        UpdateWindow(g->Handle());
        ++pages;
    }
    double paging = (Now() - t0) / pages;

    std::printf("GridBench: %d rows x 5 columns\n", rows);
    std::printf("  fill, one row at a time with 4 cells:  %8.1f ms  (%.2f us per row)\n", fill,
                fill * 1000.0 / rows);
    std::printf("  full repaint, top of the grid:         %8.3f ms  (%lld cells drawn)\n", top, cellsTop);
    std::printf("  full repaint, bottom of the grid:      %8.3f ms\n", bottom);
    std::printf("  page down with repaint:                %8.3f ms  (%d pages)\n", paging, pages);
    std::printf("  working set growth for the cells:      %8zu KB\n", ws1 > ws0 ? ws1 - ws0 : 0);
    form->Free();
    return 0;
}
