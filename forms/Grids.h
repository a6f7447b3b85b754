// Grids drawn by ourselves: only the visible cells are painted, cells are kept per row.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14,
};
using TGridOptions = unsigned;  // or-ed TGridOption bits
constexpr TGridOptions DefaultGridOptions =
    goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;

enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

// Columns Left..Right, rows Top..Bottom, inclusive.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, const TRect& Rect,
                                          TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

class TCustomGrid : public TCustomControl {
public:
    explicit TCustomGrid(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomGrid"; }

    int ColCount() const { return static_cast<int>(FColWidths.size()); }
    virtual void SetColCount(int v);
    int RowCount() const { return FRowCount; }
    // Growing is amortised (one row at a time up to tens of thousands stays cheap).
    virtual void SetRowCount(int v);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int v);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int v);

    int DefaultColWidth() const { return FDefaultColWidth; }
    // Sets every column to this width.
    void SetDefaultColWidth(int v);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    // Sets every row to this height.
    void SetDefaultRowHeight(int v);
    // A width below 0 hides the column with its grid line; 0 leaves the line.
    int ColWidths(int i) const { return FColWidths.at(static_cast<size_t>(i)); }
    void SetColWidths(int i, int w);
    int RowHeights(int i) const;
    void SetRowHeights(int i, int h);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int v);

    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions v);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool v) { FDefaultDrawing = v; }
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor v);

    // The current cell and the selected range (which holds the current cell).
    int Col() const { return FCol; }
    void SetCol(int v) { FocusCell(v, FRow, true); }
    int Row() const { return FRow; }
    void SetRow(int v) { FocusCell(FCol, v, true); }
    TGridRect Selection() const;
    void SetSelection(const TGridRect& r);
    int TopRow() const { return FTopRow; }
    void SetTopRow(int v);
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int v);
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // The cell's rectangle in client coordinates (empty when it is not on screen).
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point; false when there is none.
    bool MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    // Paint cycles so far (a test looks at what one paint costs).
    int PaintCount() const { return FPaintCount; }

    void WndProc(TMessage& Message) override;

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    // Draws one cell: the brush and font are set for it already.
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    void SizeChanged(bool repaint = true);
    void CacheClientSize();
    int CW() const;
    int CH() const;
    void RequestScrollBars();
    int MaxTopRow() const;
    int MaxLeftCol() const;
    int RowTopFrom(int top, int r) const;
    int ColLeftFrom(int left, int c) const;
    void FocusCell(int ACol, int ARow, bool MoveAnchor);
    void UpdateScrollBars();
    void ScrollTo(int top, int left);
    void ClampTopLeft();
    int ColAt(int x, bool& onLine) const;
    int RowAt(int y) const;
    int ColLeft(int c) const;   // x of a visible column, -1 when off screen
    int RowTop(int r) const;    // y of a visible row, -1 when off screen
    int FixedWidth() const;
    int FixedHeight() const;
    void KeyDown(WORD key, TShiftState shift);
    void MouseDown(int x, int y, TShiftState shift);
    void MouseMove(int x, int y, TShiftState shift);
    void MouseUp(int x, int y);

    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;  // one per row
    int FRowCount = 0;
    int FFixedCols = 1, FFixedRows = 1;
    int FDefaultColWidth = 64, FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    TGridOptions FOptions = DefaultGridOptions;
    bool FDefaultDrawing = true;
    TColor FFixedColor = clBtnFace;
    int FCol = 1, FRow = 1;          // current cell
    int FAnchorCol = 1, FAnchorRow = 1;
    int FTopRow = 1, FLeftCol = 1;
    // column sizing by the mouse
    int FSizingCol = -1, FSizingStart = 0, FSizingWidth = 0;
    bool FSelecting = false;
    long long FTotalRowsHeight = 0;  // kept as rows come and go, so growth stays cheap
    bool FScrollPending = false;
    bool FInScrollUpdate = false;
    int FPaintCount = 0;
    int FClientW = 0, FClientH = 0;
    bool FVertShown = false, FHorzShown = false;
    DWORD FScrollUpdatedAt = 0;
};

class TDrawGrid : public TCustomGrid {
public:
    explicit TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}
    const char* ClassName() const override { return "TDrawGrid"; }
};

class TStringGrid : public TDrawGrid {
public:
    explicit TStringGrid(TComponent* AOwner);
    const char* ClassName() const override { return "TStringGrid"; }
    // Cells(col, row); out of range reads give an empty text, writes grow nothing and are
    // dropped.
    const std::string& Cells(int ACol, int ARow) const;
    void SetCells(int ACol, int ARow, const std::string& v);
    void SetRowCount(int v) override;
    void SetColCount(int v) override;


protected:
    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;

private:
    // one vector per row, sized only when a cell of the row is written
    std::vector<std::vector<std::string>> FCells;
};
