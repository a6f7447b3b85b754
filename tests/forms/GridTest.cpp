// The string grid: cells, sizes, hidden columns, selection, and painting only what shows.
#include <gtest/gtest.h>

#include <set>

#include "Forms.h"
#include "Dialogs.h"
#include "Grids.h"
#include "SysUtils.h"

namespace {
struct GridFixture : ::testing::Test {
    TForm* form = nullptr;
    TStringGrid* g = nullptr;
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 750, 500);
        g = new TStringGrid(form);
        g->SetParent(form);
        g->SetAlign(alClient);
    }
    void TearDown() override { form->Free(); }
    void Repaint()
    {
        RedrawWindow(g->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
};
}  // namespace

TEST_F(GridFixture, CellsFollowTheGridSize)
{
    g->SetColCount(5);
    g->SetRowCount(2);
    g->SetFixedCols(0);
    const char* head[] = {"№", "Время", "Параметр", "Значение до", "Значение новое"};
    for (int c = 0; c < 5; ++c) g->SetCells(c, 0, head[c]);
    EXPECT_EQ(g->Cells(4, 0), "Значение новое");
    EXPECT_EQ(g->Cells(1, 1), "");
    g->SetCells(5, 0, "x");   // outside: dropped
    g->SetCells(0, 2, "x");
    EXPECT_EQ(g->Cells(5, 0), "");
    EXPECT_EQ(g->Cells(0, 2), "");
    EXPECT_EQ(g->Cells(-1, 0), "");
    g->SetRowCount(3);
    g->SetCells(0, 2, "row2");
    g->SetRowCount(2);
    g->SetRowCount(3);
    EXPECT_EQ(g->Cells(0, 2), "");  // a row that went comes back empty
    g->SetColCount(1);
    EXPECT_EQ(g->Cells(0, 0), "№");
    g->SetColCount(3);
    EXPECT_EQ(g->Cells(1, 0), "");
    EXPECT_THROW(g->SetFixedRows(3), Exception);
}

TEST_F(GridFixture, GrowsOneRowAtATimeTo65536)
{
    g->SetColCount(5);
    g->SetRowCount(2);
    form->Show();
    for (int r = 1; r < 65536; ++r) {
        g->SetRowCount(r + 1);
        g->SetCells(0, r, IntToStr(r - 1));
        g->SetCells(4, r, "значение");
    }
    Application->ProcessMessages();
    EXPECT_EQ(g->RowCount(), 65536);
    EXPECT_EQ(g->Cells(0, 65535), "65534");
    EXPECT_EQ(g->Cells(4, 40000), "значение");
    EXPECT_EQ(g->Cells(2, 40000), "");
    EXPECT_EQ(g->RowHeights(65535), g->DefaultRowHeight());
    // the scroll bar covers every row
    g->SetTopRow(65535);
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_POS | SIF_PAGE, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(g->Handle(), SB_VERT, &si));
    EXPECT_EQ(si.nMax, 65535 - 1);
    EXPECT_EQ(si.nPos + static_cast<int>(si.nPage), 65535);
    g->SetRowCount(2);
    EXPECT_EQ(g->Cells(0, 1), "0");
    EXPECT_EQ(g->Cells(0, 40000), "");
}

TEST_F(GridFixture, PaintsOnlyTheVisibleCells)
{
    g->SetColCount(5);
    g->SetDefaultRowHeight(16);
    g->SetRowCount(65536);
    form->Show();
    std::set<int> rows;
    int calls = 0;
    g->OnDrawCell = [&](TObject*, int, int r, const TRect&, TGridDrawState) {
        ++calls;
        rows.insert(r);
    };
    Repaint();
    int visible = g->ClientHeight() / 17 + 2;
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, visible * 5);
    EXPECT_LE(*rows.rbegin(), visible);
    g->SetTopRow(60000);
    EXPECT_EQ(g->TopRow(), 60000);
    rows.clear();
    calls = 0;
    Repaint();
    EXPECT_LE(calls, visible * 5);
    EXPECT_TRUE(rows.count(0));  // the header stays
    EXPECT_TRUE(rows.count(60000));
    EXPECT_FALSE(rows.count(1));
    g->SetTopRow(70000);  // beyond the end: the last page
    EXPECT_LT(g->TopRow(), 65536);
    EXPECT_GT(g->TopRow(), 65000);
}

TEST_F(GridFixture, HiddenColumnsTakeNoSpace)
{
    g->SetColCount(5);
    g->SetRowCount(2);
    g->SetFixedCols(0);
    int w[] = {31, 124, 305, 119, 110};
    for (int c = 0; c < 5; ++c) g->SetColWidths(c, w[c]);
    form->Show();
    int left3 = g->CellRect(3, 0).Left;
    EXPECT_EQ(left3, 31 + 124 + 305 + 3);
    g->SetColWidths(3, -1);
    EXPECT_EQ(g->CellRect(4, 0).Left, left3);
    g->SetColWidths(3, 0);  // zero width keeps its line
    EXPECT_EQ(g->CellRect(4, 0).Left, left3 + 1);
    EXPECT_EQ(g->ColWidths(3), 0);
}

TEST_F(GridFixture, RowsGrowFromTheDrawHandler)
{
    g->SetColCount(2);
    g->SetRowCount(2);
    g->SetFixedCols(0);
    g->SetDefaultRowHeight(32);
    g->SetCells(1, 1, "01.01.24 10:00:00\r5\r6\r7");
    int drawnAt = 0;
    g->OnDrawCell = [&](TObject*, int c, int r, const TRect& rect, TGridDrawState) {
        if (c != 1 || r != 1) return;
        TRect m(rect.Left, rect.Top + 2, rect.Right, rect.Top + 2);
        int h = g->Canvas().DrawText(g->Cells(c, r), m, DT_CALCRECT | DT_WORDBREAK);
        if (g->RowHeights(r) < h) {
            g->SetRowHeights(r, h + 5);
            return;
        }
        drawnAt = g->RowHeights(r);
    };
    form->Show();
    Repaint();
    Application->ProcessMessages();
    Repaint();
    EXPECT_GT(g->RowHeights(1), 32);
    EXPECT_EQ(drawnAt, g->RowHeights(1));
}

TEST_F(GridFixture, RangeSelectionAndColumnSizing)
{
    g->SetColCount(4);
    g->SetRowCount(10);
    g->SetFixedCols(0);
    form->Show();
    EXPECT_EQ(g->Row(), 1);
    TGridRect r{0, 2, 3, 5};
    g->SetSelection(r);
    EXPECT_EQ(g->Selection(), r);
    EXPECT_EQ(g->Row(), 5);
    // keyboard: shift+down extends from the anchor
    g->SetRow(3);
    g->SetFocus();
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(g->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(g->Selection().Top, 3);
    EXPECT_EQ(g->Selection().Bottom, 4);

    // dragging the line right of column 0 in the header row
    int x = g->ColWidths(0);
    auto drag = [&] {
        SendMessageW(g->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
        SendMessageW(g->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, 5));
        SendMessageW(g->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x + 40, 5));
    };
    g->SetOptions(g->Options() & ~goColSizing);
    drag();
    EXPECT_EQ(g->ColWidths(0), 64);
    g->SetOptions(g->Options() | goColSizing);
    drag();
    EXPECT_EQ(g->ColWidths(0), 104);
}

TEST_F(GridFixture, AThrowingDrawHandlerIsReportedOnce)
{
    TDialogScript script;
    g->SetColCount(2);
    g->SetRowCount(3);
    int calls = 0;
    g->OnDrawCell = [&](TObject*, int, int, const TRect&, TGridDrawState) {
        ++calls;
        throw Exception("draw failed");
    };
    form->Show();
    Application->ProcessMessages();
    Application->ProcessMessages();
    // one paint, one message; the window counts as painted
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(script.Texts(), std::vector<std::string>{"draw failed"});
    EXPECT_FALSE(GetUpdateRect(g->Handle(), nullptr, FALSE));
}
