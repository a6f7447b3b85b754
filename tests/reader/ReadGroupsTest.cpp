// The list rows of ShowRecord and the parameter groups with their grid, on the real window
// without a line: event names, groups, the grid's texts, its cell drawing and the stop button.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DateTexts.h"
#include "FormatSettingsSupport.h"
#include "MainFormTestSupport.h"
#include "RecordDecode.h"

namespace {

const char* const DeviceFile =
    "[settings]\r\nname=Прибор\r\narchtypecount=4\r\n"
    "ArchName1=Даты\r\nArchCountRec1=100\r\n"
    "ArchName2=Наработка\r\nArchCountRec2=100\r\nArchIsWorkTime2=1\r\n"
    "ArchName3=Абсолютные\r\nArchCountRec3=100\r\nStartTime3=1970\r\n"
    "ArchName4=Изменения\r\nArchCountRec4=100\r\nArchStandart4=3\r\n"
    "[s0]\r\nID=5\r\nname=P5\r\ntype=2\r\n"
    "[s1]\r\nID=7\r\nname=P7\r\ntype=18\r\n"
    "[s2]\r\nID=8\r\nname=Состояние\r\ntype=0=закрыт;1=открыт\r\n"
    "[s3]\r\nID=9\r\nname=Без списка\r\ntype=256\r\n";

class GroupsTest : public tt::FormTest {
protected:
    void SetUp() override
    {
        SetUserFormatSettings(tt::RussianFormats());
        Dir.Write("dev.ini", DeviceFile);
        Dir.Write("main.ini", "[Settings]\r\nLastDev=0\r\n[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
        Start();
        ASSERT_NE(Form->FDevice, nullptr);
        Form->ClearGroups();
    }
    std::string Cell(int c, int r) const { return Form->sg->Cells(c, r); }
    std::string GrCell(int c, int r) const { return Form->sgGr->Cells(c, r); }
};

const uint32_t T0 = 1000000000;  // 2001-09-09 01:46:40

}  // namespace

TEST_F(GroupsTest, RecordsOfOneIdShareAGroup)
{
    Form->ShowRecord(0, T0, 5, 0, 0, 1);
    Form->ShowRecord(1, T0 + 60, 7, 0, 0, 2);
    Form->ShowRecord(2, T0 + 120, 5, 0, 0, 3);
    Form->FillGroupGrid();
    ASSERT_EQ(Form->sgGr->RowCount(), 3);
    EXPECT_EQ(Form->sgGr->ColCount(), 3);
    EXPECT_EQ(GrCell(0, 0), "Название");
    EXPECT_EQ(GrCell(0, 1), "P5");
    EXPECT_EQ(GrCell(1, 1), "09.09.01 01:46:40\r1");
    EXPECT_EQ(GrCell(2, 1), "09.09.01 01:48:40\r3");
    EXPECT_EQ(GrCell(0, 2), "P7");
    EXPECT_EQ(GrCell(1, 2), "09.09.01 01:47:40\r2");
    EXPECT_EQ(GrCell(2, 2), "");
    // The list rows are numbered from the read's start.
    Form->FStart = 40;
    Form->ShowRecord(3, T0, 7, 0, 0, 9);
    EXPECT_EQ(Cell(0, 4), "43");
    EXPECT_EQ(Form->sg->RowCount(), 5);
}

TEST_F(GroupsTest, ListAndGroupShowTheValueByTheirOwnRules)
{
    // An ID the description lacks: -1 in the list, unsigned in its group, labelled by its number.
    Form->ShowRecord(0, T0, 42, 0, 0, 0xFFFFFFFF);
    EXPECT_EQ(Cell(2, 1), "42");
    EXPECT_EQ(Cell(4, 1), "-1");
    // Code 18 shows 16 bits in the list, the whole value in the group.
    Form->ShowRecord(1, T0, 7, 0, 0, 0x1FFFF);
    EXPECT_EQ(Cell(2, 2), "P7");
    EXPECT_EQ(Cell(4, 2), "65535");
    Form->FillGroupGrid();
    ASSERT_EQ(Form->FGroups.size(), 2u);
    EXPECT_EQ(Form->FGroups[0]->Name, "???");
    EXPECT_EQ(Form->FGroups[0]->ValType, 19);
    EXPECT_EQ(GrCell(0, 1), "42");
    EXPECT_EQ(GrCell(1, 1), "09.09.01 01:46:40\r4294967295");
    EXPECT_EQ(GrCell(1, 2), "09.09.01 01:46:40\r131071");
}

TEST_F(GroupsTest, CodeListsAndErrorRows)
{
    Form->ShowRecord(0, T0, 8, 0, 0, 0x101);
    EXPECT_EQ(Cell(2, 1), "Состояние");
    EXPECT_EQ(Cell(4, 1), "открыт");
    Form->ShowRecord(1, T0, 8, 0, 0, 5);
    EXPECT_EQ(Cell(4, 2), "?");
    // A list type without a list: the name, no value, no event.
    Form->ShowRecord(2, T0, 9, 0, 0, 1);
    EXPECT_EQ(Cell(2, 3), "Без списка");
    EXPECT_EQ(Cell(4, 3), "");
    // An error row keeps only its number.
    Form->sg->SetCells(2, 4, "x");
    Form->ShowRecord(3, T0, 5, 1, 0, 1);
    EXPECT_EQ(Cell(0, 4), "3");
    EXPECT_EQ(Cell(1, 4), "Error");
    EXPECT_EQ(Cell(2, 4), "");
    ASSERT_EQ(Form->FGroups.size(), 1u);
    EXPECT_EQ(Form->FGroups[0]->Events.size(), 2u);
    Form->FillGroupGrid();
    EXPECT_EQ(GrCell(2, 1), "09.09.01 01:46:40\r?");
}

TEST_F(GroupsTest, TimeTextsFollowTheChosenArchivesFlags)
{
    Form->rgTypeJ->SetItemIndex(1);  // operating time
    Form->ShowRecord(0, 90061, 5, 0, 0, 1);
    EXPECT_EQ(Cell(1, 1), "1 1:1:1");
    Form->FillGroupGrid();
    EXPECT_EQ(GrCell(1, 1), "1 1:1:1\r1");
    Form->rgTypeJ->SetItemIndex(2);  // absolute dates
    Form->ShowRecord(1, 1262304000, 5, 0, 0, 1);
    EXPECT_EQ(Cell(1, 2), "2010.01.01 00:00:00 ");
    Form->FillGroupGrid();
    EXPECT_EQ(GrCell(2, 1), "2010.01.01 00:00:00 \r1");
    // Old/new records fill column 3 by the same rule.
    Form->rgTypeJ->SetItemIndex(3);
    Form->ShowRecord(2, 0, 5, 0, 0xFFFF, 2);
    EXPECT_EQ(Cell(1, 3), "0.0.0 0:0:0");
    EXPECT_EQ(Cell(3, 3), "-1");
    EXPECT_EQ(Cell(4, 3), "2");
    Form->ShowRecord(3, 0, 99, 0, 0xFFFFFFFE, 3);
    EXPECT_EQ(Cell(3, 4), "-2");
}

TEST_F(GroupsTest, EventNamesAreNumberedInOrderOfArrival)
{
    EXPECT_EQ(Form->EventNameIndex("A")->EventIndex, 1);
    EXPECT_EQ(Form->EventNameIndex("B")->EventIndex, 2);
    EXPECT_EQ(Form->EventNameIndex("A")->EventIndex, 1);
    EXPECT_EQ(Form->EventNameIndex("a")->EventIndex, 3);
    EXPECT_EQ(Form->EventNameIndex("")->EventIndex, 4);
    EXPECT_EQ(Form->FEventNames.size(), 4u);

    // A group keeps the code and name of its first event.
    Form->AddEvent(1, 256, "A", 100.0, std::string("x"));
    Form->AddEvent(2, 256, "B", 100.0, std::string("y"));
    Form->AddEvent(1, 19, "Z", 101.0, std::string("z"));
    ASSERT_EQ(Form->FGroups.size(), 2u);
    EXPECT_EQ(Form->FGroups[0]->ValType, 256);
    EXPECT_EQ(Form->FGroups[0]->Name, "A");
    EXPECT_EQ(Form->FGroups[0]->Events.size(), 2u);
    EXPECT_DOUBLE_EQ(Form->FGroups[0]->Events[1].EventTime, 101.0);
}

TEST_F(GroupsTest, ClearingEmptiesGroupsNamesAndGrid)
{
    for (int i = 0; i < 4; ++i) Form->ShowRecord(i, T0, 5, 0, 0, i);
    Form->ShowRecord(4, T0, 7, 0, 0, 1);
    Form->EventNameIndex("A");
    Form->FillGroupGrid();
    ASSERT_EQ(Form->sgGr->ColCount(), 5);
    Form->ClearGroups();
    EXPECT_TRUE(Form->FGroups.empty());
    EXPECT_TRUE(Form->FEventNames.empty());
    EXPECT_EQ(Form->sgGr->RowCount(), 2);
    EXPECT_EQ(Form->sgGr->ColCount(), 1);
    EXPECT_EQ(GrCell(0, 0), "Название");
    EXPECT_EQ(GrCell(0, 1), "");
    // Growing again shows no text of the read before.
    Form->sgGr->SetColCount(5);
    Form->sgGr->SetRowCount(3);
    for (int c = 0; c < 5; ++c)
        for (int r = 1; r < 3; ++r) EXPECT_EQ(GrCell(c, r), "") << c << "," << r;
    // Nothing read: the header and one empty row.
    Form->FillGroupGrid();
    EXPECT_EQ(Form->sgGr->RowCount(), 2);
    EXPECT_EQ(Form->sgGr->ColCount(), 1);
    EXPECT_EQ(Form->EventNameIndex("B")->EventIndex, 1);
}

TEST_F(GroupsTest, StopButtonEndsTheReadingAndFillsTheGrid)
{
    Form->ShowRecord(0, T0, 5, 0, 0, 1);
    Form->FReading = true;
    Form->btnStop->SetEnabled(true);
    Form->rgTypeJ->SetEnabled(false);
    Form->btnStop2->Click();
    EXPECT_FALSE(Form->FReading);
    EXPECT_FALSE(Form->btnStop->Enabled());
    EXPECT_TRUE(Form->btnRead->Enabled());
    EXPECT_TRUE(Form->rgTypeJ->Enabled());
    EXPECT_EQ(GrCell(0, 1), "P5");
}

namespace {

// The grid's canvas on a memory bitmap, as a paint cycle would give it.
class MemoryCanvas {
public:
    explicit MemoryCanvas(TCanvas& c) : FCanvas(c)
    {
        HDC screen = GetDC(nullptr);
        FDC = CreateCompatibleDC(screen);
        FBitmap = CreateCompatibleBitmap(screen, 400, 400);
        ReleaseDC(nullptr, screen);
        FOld = SelectObject(FDC, FBitmap);
        FCanvas.SetHandle(FDC);
    }
    ~MemoryCanvas()
    {
        FCanvas.SetHandle(nullptr);
        SelectObject(FDC, FOld);
        DeleteObject(FBitmap);
        DeleteDC(FDC);
    }
    COLORREF Pixel(int x, int y) const { return GetPixel(FDC, x, y); }

private:
    TCanvas& FCanvas;
    HDC FDC;
    HBITMAP FBitmap;
    HGDIOBJ FOld;
};

}  // namespace

TEST_F(GroupsTest, CellsGrowTheirRowAndNeverShrinkIt)
{
    TStringGrid* g = Form->sgGr;
    g->SetColCount(3);
    g->SetRowCount(3);
    EXPECT_EQ(g->RowHeights(1), 32);
    MemoryCanvas mem(g->Canvas());
    g->Canvas().Brush().SetColor(clRed);
    const TRect cell(0, 0, 120, 32);

    // Two short lines fit the default height: drawn, no growth.
    g->SetCells(1, 1, "09.09.01 01:46:40\r5");
    Form->sgGrDrawCell(g, 1, 1, cell, 0);
    EXPECT_EQ(g->RowHeights(1), 32);
    EXPECT_EQ(mem.Pixel(118, 4), RGB(255, 0, 0));
    EXPECT_EQ(mem.Pixel(118, 1), RGB(0, 0, 0));  // the 2-pixel margin stays as it was

    // A text that wraps to several lines grows the row to its height + 5, and draws nothing now.
    std::string longText = "09.09.01 01:46:40\rочень длинное название значения в несколько строк";
    g->SetCells(1, 2, longText);
    TRect measured(0, 2, 120, 2);
    int h = g->Canvas().DrawText(longText, measured, DT_CALCRECT | DT_WORDBREAK);
    ASSERT_GT(h, 32);
    Form->sgGrDrawCell(g, 1, 2, TRect(0, 40, 120, 72), 0);
    EXPECT_EQ(g->RowHeights(2), h + 5);
    EXPECT_EQ(mem.Pixel(118, 44), RGB(0, 0, 0));
    // At the new height it is drawn; a shorter text later leaves the height alone.
    Form->sgGrDrawCell(g, 1, 2, TRect(0, 40, 120, 40 + h + 5), 0);
    EXPECT_EQ(mem.Pixel(118, 44), RGB(255, 0, 0));
    g->SetCells(2, 2, "a\rb");
    Form->sgGrDrawCell(g, 2, 2, TRect(120, 40, 240, 40 + h + 5), 0);
    EXPECT_EQ(g->RowHeights(2), h + 5);
    // An empty cell draws nothing at all.
    Form->sgGrDrawCell(g, 2, 1, TRect(120, 100, 240, 132), 0);
    EXPECT_EQ(mem.Pixel(238, 104), RGB(0, 0, 0));
}

TEST_F(GroupsTest, PaintingTheGridGrowsTheRowsOfLongCells)
{
    Form->Show();
    Form->PageControl1->SetActivePage(Form->tsGroup);
    for (int i = 0; i < 3; ++i) Form->ShowRecord(i, T0, 8, 0, 0, i);
    Form->AddEvent(8, 256, "x", 37000.0, std::string("очень длинное значение, которое не помещается в одну строку ячейки"));
    Form->FillGroupGrid();
    for (int i = 0; i < 20; ++i) {
        RedrawWindow(Form->sgGr->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Application->ProcessMessages();
    }
    EXPECT_GT(Form->sgGr->RowHeights(1), 32);
    Form->Hide();
}
