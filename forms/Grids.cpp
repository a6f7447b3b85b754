#include "Grids.h"

#include <windowsx.h>

#include <algorithm>

#include "SysUtils.h"

namespace {
// Asks the grid to bring its scroll bars up to date once the current burst of changes is over.
constexpr UINT CM_GRIDSCROLLBARS = CM_BASE + 0x300;
constexpr UINT_PTR kScrollTimer = 1;
constexpr DWORD kScrollInterval = 500;
const std::string kEmpty;
}  // namespace

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner)
{
    FWidth = 320;
    FHeight = 120;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
    FColWidths.assign(5, FDefaultColWidth);
    FRowCount = 5;
    FRowHeights.assign(5, FDefaultRowHeight);
    FTotalRowsHeight = 5LL * (FDefaultRowHeight + FGridLineWidth);
}

void TCustomGrid::CreateParams(TCreateParams& p)
{
    TCustomControl::CreateParams(p);
    p.Style |= WS_VSCROLL | WS_HSCROLL;
    if (FCtl3D)
        p.ExStyle |= WS_EX_CLIENTEDGE;
    else
        p.Style |= WS_BORDER;
}

void TCustomGrid::CreateWnd()
{
    FVertShown = FHorzShown = true;  // the window starts with both bars
    CacheClientSize();
    UpdateScrollBars();
}

// The client size is asked for on every cell written: kept here instead of asking the window.
void TCustomGrid::CacheClientSize()
{
    RECT r;
    GetClientRect(FHandle, &r);
    FClientW = r.right;
    FClientH = r.bottom;
}

int TCustomGrid::CW() const { return HandleAllocated() ? FClientW : ClientRect().Width(); }
int TCustomGrid::CH() const { return HandleAllocated() ? FClientH : ClientRect().Height(); }

// ---- sizes

static int Extent(int size, int line) { return size < 0 ? 0 : size + line; }

void TCustomGrid::SetColCount(int v)
{
    if (v < 1) v = 1;
    if (v == ColCount()) return;
    FColWidths.resize(static_cast<size_t>(v), FDefaultColWidth);
    if (FFixedCols >= v) FFixedCols = v - 1;
    SizeChanged();
}

void TCustomGrid::SetRowCount(int v)
{
    if (v < 1) v = 1;
    if (v == FRowCount) return;
    bool wasVisible = FTotalRowsHeight <= CH() || v < FRowCount;
    for (int i = v; i < FRowCount; ++i)
        FTotalRowsHeight -= Extent(FRowHeights[static_cast<size_t>(i)], FGridLineWidth);
    FRowHeights.resize(static_cast<size_t>(v), FDefaultRowHeight);
    for (int i = FRowCount; i < v; ++i) FTotalRowsHeight += Extent(FDefaultRowHeight, FGridLineWidth);
    FRowCount = v;
    if (FFixedRows >= v) FFixedRows = v - 1;
    // rows added below the visible area change only the scroll bar
    SizeChanged(wasVisible);
}

void TCustomGrid::SizeChanged(bool repaint)
{
    int c = std::clamp(FCol, FFixedCols, ColCount() - 1);
    int r = std::clamp(FRow, FFixedRows, FRowCount - 1);
    FCol = c;
    FRow = r;
    FAnchorCol = std::clamp(FAnchorCol, FFixedCols, ColCount() - 1);
    FAnchorRow = std::clamp(FAnchorRow, FFixedRows, FRowCount - 1);
    FTopRow = std::clamp(FTopRow, FFixedRows, FRowCount - 1);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, ColCount() - 1);
    RequestScrollBars();
    if (repaint) Invalidate();
}

void TCustomGrid::RequestScrollBars()
{
    if (!HandleAllocated() || FScrollPending) return;
    FScrollPending = true;
    // Redrawing a scroll bar costs milliseconds: while rows pour in, twice a second is
    // enough.
    DWORD since = GetTickCount() - FScrollUpdatedAt;
    if (since < kScrollInterval)
        SetTimer(FHandle, kScrollTimer, kScrollInterval - since, nullptr);
    else
        PostMessageW(FHandle, CM_GRIDSCROLLBARS, 0, 0);
}

void TCustomGrid::SetFixedCols(int v)
{
    if (v < 0 || v >= ColCount()) throw Exception("Fixed column count must be less than column count");
    FFixedCols = v;
    FCol = FAnchorCol = FLeftCol = std::max(FCol, v);
    FLeftCol = v;
    SizeChanged();
}

void TCustomGrid::SetFixedRows(int v)
{
    if (v < 0 || v >= FRowCount) throw Exception("Fixed row count must be less than row count");
    FFixedRows = v;
    FRow = FAnchorRow = std::max(FRow, v);
    FTopRow = v;
    SizeChanged();
}

void TCustomGrid::SetDefaultColWidth(int v)
{
    FDefaultColWidth = v;
    std::fill(FColWidths.begin(), FColWidths.end(), v);
    SizeChanged();
}

void TCustomGrid::SetDefaultRowHeight(int v)
{
    FDefaultRowHeight = v;
    std::fill(FRowHeights.begin(), FRowHeights.end(), v);
    FTotalRowsHeight = static_cast<long long>(FRowCount) * Extent(v, FGridLineWidth);
    SizeChanged();
}

void TCustomGrid::SetColWidths(int i, int w)
{
    if (i < 0 || i >= ColCount()) throw Exception(Format("Grid index out of range (%d)", i));
    if (FColWidths[static_cast<size_t>(i)] == w) return;
    FColWidths[static_cast<size_t>(i)] = w;
    SizeChanged();
}

int TCustomGrid::RowHeights(int i) const
{
    if (i < 0 || i >= FRowCount) throw Exception(Format("Grid index out of range (%d)", i));
    return FRowHeights[static_cast<size_t>(i)];
}

void TCustomGrid::SetRowHeights(int i, int h)
{
    if (i < 0 || i >= FRowCount) throw Exception(Format("Grid index out of range (%d)", i));
    int& cur = FRowHeights[static_cast<size_t>(i)];
    if (cur == h) return;
    FTotalRowsHeight += Extent(h, FGridLineWidth) - Extent(cur, FGridLineWidth);
    cur = h;
    SizeChanged();
}

void TCustomGrid::SetGridLineWidth(int v)
{
    FGridLineWidth = std::max(v, 0);
    FTotalRowsHeight = 0;
    for (int h : FRowHeights) FTotalRowsHeight += Extent(h, FGridLineWidth);
    SizeChanged();
}

void TCustomGrid::SetOptions(TGridOptions v)
{
    FOptions = v;
    Invalidate();
}

void TCustomGrid::SetFixedColor(TColor v)
{
    FFixedColor = v;
    Invalidate();
}

// ---- geometry

int TCustomGrid::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < FFixedCols; ++c) w += Extent(FColWidths[static_cast<size_t>(c)], FGridLineWidth);
    return w;
}

int TCustomGrid::FixedHeight() const
{
    int h = 0;
    for (int r = 0; r < FFixedRows; ++r) h += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
    return h;
}

int TCustomGrid::ColLeft(int c) const
{
    if (c < 0 || c >= ColCount()) return -1;
    int cw = CW();
    int x = 0;
    if (c < FFixedCols) {
        for (int i = 0; i < c; ++i) x += Extent(FColWidths[static_cast<size_t>(i)], FGridLineWidth);
    } else {
        if (c < FLeftCol) return -1;
        x = FixedWidth();
        for (int i = FLeftCol; i < c && x < cw; ++i)
            x += Extent(FColWidths[static_cast<size_t>(i)], FGridLineWidth);
    }
    return x < cw ? x : -1;
}

int TCustomGrid::RowTop(int r) const
{
    if (r < 0 || r >= FRowCount) return -1;
    int ch = CH();
    int y = 0;
    if (r < FFixedRows) {
        for (int i = 0; i < r; ++i) y += Extent(FRowHeights[static_cast<size_t>(i)], FGridLineWidth);
    } else {
        if (r < FTopRow) return -1;
        y = FixedHeight();
        for (int i = FTopRow; i < r && y < ch; ++i)
            y += Extent(FRowHeights[static_cast<size_t>(i)], FGridLineWidth);
    }
    return y < ch ? y : -1;
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const
{
    int x = ColLeft(ACol), y = RowTop(ARow);
    if (x < 0 || y < 0) return TRect();
    int w = std::max(FColWidths[static_cast<size_t>(ACol)], 0);
    int h = std::max(FRowHeights[static_cast<size_t>(ARow)], 0);
    return TRect(x, y, x + w, y + h);
}

int TCustomGrid::ColAt(int x, bool& onLine) const
{
    onLine = false;
    int cx = 0;
    auto test = [&](int c) {
        int w = FColWidths[static_cast<size_t>(c)];
        if (w < 0) return false;
        int right = cx + w;
        if (x >= right - 2 && x <= right + FGridLineWidth + 2) onLine = true;
        if (x < right + FGridLineWidth) return true;
        cx = right + FGridLineWidth;
        return false;
    };
    for (int c = 0; c < FFixedCols; ++c)
        if (test(c)) return c;
    for (int c = FLeftCol; c < ColCount(); ++c)
        if (test(c)) return c;
    return -1;
}

int TCustomGrid::RowAt(int y) const
{
    int cy = 0;
    for (int r = 0; r < FFixedRows; ++r) {
        cy += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        if (y < cy) return r;
    }
    int ch = CH();
    for (int r = FTopRow; r < FRowCount && cy < ch; ++r) {
        cy += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        if (y < cy) return r;
    }
    return -1;
}

bool TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const
{
    bool line;
    ACol = ColAt(X, line);
    ARow = RowAt(Y);
    return ACol >= 0 && ARow >= 0;
}

int TCustomGrid::VisibleRowCount() const
{
    int ch = CH() - FixedHeight();
    int n = 0;
    for (int r = FTopRow; r < FRowCount; ++r) {
        ch -= Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        if (ch < 0) break;
        ++n;
    }
    return n;
}

int TCustomGrid::VisibleColCount() const
{
    int cw = CW() - FixedWidth();
    int n = 0;
    for (int c = FLeftCol; c < ColCount(); ++c) {
        cw -= Extent(FColWidths[static_cast<size_t>(c)], FGridLineWidth);
        if (cw < 0) break;
        ++n;
    }
    return n;
}

int TCustomGrid::MaxTopRow() const
{
    int avail = CH() - FixedHeight();
    int r = FRowCount - 1;
    int used = 0;
    while (r >= FFixedRows) {
        used += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        if (used > avail) break;
        --r;
    }
    return std::max(FFixedRows, std::min(r + 1, FRowCount - 1));
}

int TCustomGrid::MaxLeftCol() const
{
    int avail = CW() - FixedWidth();
    int c = ColCount() - 1;
    int used = 0;
    while (c >= FFixedCols) {
        used += Extent(FColWidths[static_cast<size_t>(c)], FGridLineWidth);
        if (used > avail) break;
        --c;
    }
    return std::max(FFixedCols, std::min(c + 1, ColCount() - 1));
}

void TCustomGrid::ClampTopLeft()
{
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
}

void TCustomGrid::ScrollTo(int top, int left)
{
    int ot = FTopRow, ol = FLeftCol;
    FTopRow = top;
    FLeftCol = left;
    ClampTopLeft();
    if (ot != FTopRow || ol != FLeftCol) {
        UpdateScrollBars();
        Invalidate();
    }
}

void TCustomGrid::SetTopRow(int v) { ScrollTo(v, FLeftCol); }
void TCustomGrid::SetLeftCol(int v) { ScrollTo(FTopRow, v); }

void TCustomGrid::UpdateScrollBars()
{
    if (!HandleAllocated() || FInScrollUpdate) return;
    if (FScrollPending) KillTimer(FHandle, kScrollTimer);
    FScrollPending = false;
    FScrollUpdatedAt = GetTickCount();
    FInScrollUpdate = true;
    ClampTopLeft();
    RECT rc;
    CacheClientSize();
    GetClientRect(FHandle, &rc);
    // vertical: one step per scrolling row
    bool vfits = FTotalRowsHeight - FixedHeight() <= rc.bottom - FixedHeight();
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    if (vfits) {
        if (FVertShown) ShowScrollBar(FHandle, SB_VERT, FALSE);
        FVertShown = false;
    } else {
        int n = FRowCount - FFixedRows;
        si.nMax = n - 1;
        si.nPage = static_cast<UINT>(std::max(VisibleRowCount(), 1));
        si.nPos = FTopRow - FFixedRows;
        if (!FVertShown) ShowScrollBar(FHandle, SB_VERT, TRUE);
        FVertShown = true;
        SetScrollInfo(FHandle, SB_VERT, &si, TRUE);
    }
    long long totalW = 0;
    for (int w : FColWidths) totalW += Extent(w, FGridLineWidth);
    CacheClientSize();
    GetClientRect(FHandle, &rc);
    if (totalW <= rc.right) {
        if (FHorzShown) ShowScrollBar(FHandle, SB_HORZ, FALSE);
        FHorzShown = false;
    } else {
        si.nMin = 0;
        si.nMax = ColCount() - FFixedCols - 1;
        si.nPage = static_cast<UINT>(std::max(VisibleColCount(), 1));
        si.nPos = FLeftCol - FFixedCols;
        if (!FHorzShown) ShowScrollBar(FHandle, SB_HORZ, TRUE);
        FHorzShown = true;
        SetScrollInfo(FHandle, SB_HORZ, &si, TRUE);
    }
    FInScrollUpdate = false;
}

// ---- selection

TGridRect TCustomGrid::Selection() const
{
    TGridRect r;
    if (FOptions & goRangeSelect) {
        r.Left = std::min(FAnchorCol, FCol);
        r.Right = std::max(FAnchorCol, FCol);
        r.Top = std::min(FAnchorRow, FRow);
        r.Bottom = std::max(FAnchorRow, FRow);
    } else {
        r.Left = r.Right = FCol;
        r.Top = r.Bottom = FRow;
    }
    if (FOptions & goRowSelect) {
        r.Left = FFixedCols;
        r.Right = ColCount() - 1;
    }
    return r;
}

void TCustomGrid::SetSelection(const TGridRect& r)
{
    FAnchorCol = std::clamp(r.Left, FFixedCols, ColCount() - 1);
    FAnchorRow = std::clamp(r.Top, FFixedRows, FRowCount - 1);
    FCol = std::clamp(r.Right, FFixedCols, ColCount() - 1);
    FRow = std::clamp(r.Bottom, FFixedRows, FRowCount - 1);
    Invalidate();
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    ACol = std::clamp(ACol, FFixedCols, ColCount() - 1);
    ARow = std::clamp(ARow, FFixedRows, FRowCount - 1);
    if (OnSelectCell) {
        bool can = true;
        OnSelectCell(this, ACol, ARow, can);
        if (!can) return;
    }
    FCol = ACol;
    FRow = ARow;
    if (MoveAnchor || !(FOptions & goRangeSelect)) {
        FAnchorCol = ACol;
        FAnchorRow = ARow;
    }
    // bring the cell into view
    int top = FTopRow, left = FLeftCol;
    if (ARow < top) top = ARow;
    else {
        while (top < ARow && RowTopFrom(top, ARow) + Extent(FRowHeights[static_cast<size_t>(ARow)], FGridLineWidth) >
                                 CH())
            ++top;
    }
    if (ACol < left) left = ACol;
    else {
        while (left < ACol && ColLeftFrom(left, ACol) + Extent(FColWidths[static_cast<size_t>(ACol)], FGridLineWidth) >
                                  CW())
            ++left;
    }
    FTopRow = top;
    FLeftCol = left;
    UpdateScrollBars();
    Invalidate();
}

int TCustomGrid::RowTopFrom(int top, int r) const
{
    int y = FixedHeight();
    for (int i = top; i < r; ++i) y += Extent(FRowHeights[static_cast<size_t>(i)], FGridLineWidth);
    return y;
}

int TCustomGrid::ColLeftFrom(int left, int c) const
{
    int x = FixedWidth();
    for (int i = left; i < c; ++i) x += Extent(FColWidths[static_cast<size_t>(i)], FGridLineWidth);
    return x;
}

void TCustomGrid::InvalidateCell(int ACol, int ARow)
{
    if (!HandleAllocated()) return;
    TRect r = CellRect(ACol, ARow);
    if (r.Width() == 0 && r.Height() == 0) return;  // not on screen
    RECT rc = r;
    rc.right += FGridLineWidth;
    rc.bottom += FGridLineWidth;
    InvalidateRect(FHandle, &rc, FALSE);
}

void TCustomGrid::InvalidateRow(int ARow)
{
    if (!HandleAllocated()) return;
    int y = RowTop(ARow);
    if (y < 0) return;
    RECT rc{0, y, CW(), y + Extent(FRowHeights[static_cast<size_t>(ARow)], FGridLineWidth)};
    InvalidateRect(FHandle, &rc, FALSE);
}

// ---- painting

void TCustomGrid::Paint()
{
    HDC target = FCanvas.Handle();
    RECT clip;
    GetClipBox(target, &clip);
    int cw = CW(), ch = CH();
    if (cw <= 0 || ch <= 0) return;
    // drawn off screen, then copied in one go
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bmp = CreateCompatibleBitmap(target, cw, ch);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    FCanvas.SetHandle(mem);
    FCanvas.Brush().SetColor(FColor);
    FCanvas.FillRect(TRect(0, 0, cw, ch));
    TGridRect sel = Selection();
    bool focused = Focused();
    HBRUSH lineFixed = CreateSolidBrush(ColorToRGB(clBlack));
    HBRUSH lineCell = CreateSolidBrush(ColorToRGB(clSilver));

    auto drawRow = [&](int r, int y) {
        int h = FRowHeights[static_cast<size_t>(r)];
        if (h < 0) return;
        int x = 0;
        auto drawCol = [&](int c) {
            int w = FColWidths[static_cast<size_t>(c)];
            if (w < 0) return;
            TRect rc(x, y, x + w, y + h);
            bool fixed = c < FFixedCols || r < FFixedRows;
            RECT cell{x, y, x + w + FGridLineWidth, y + h + FGridLineWidth}, tmp;
            if (IntersectRect(&tmp, &cell, &clip)) {
                TGridDrawState st = 0;
                if (fixed) st |= gdFixed;
                bool inSel = !fixed && c >= sel.Left && c <= sel.Right && r >= sel.Top && r <= sel.Bottom;
                bool isFocus = !fixed && c == FCol && r == FRow;
                if (inSel) st |= gdSelected;
                if (isFocus && focused) st |= gdFocused;
                bool highlight = inSel && (!isFocus || (FOptions & (goDrawFocusSelected | goRowSelect)));
                FCanvas.Font().Assign(FFont);
                if (fixed) {
                    FCanvas.Brush().SetColor(FFixedColor);
                } else if (highlight) {
                    FCanvas.Brush().SetColor(clHighlight);
                    FCanvas.Font().SetColor(clHighlightText);
                } else {
                    FCanvas.Brush().SetColor(FColor);
                }
                if (FDefaultDrawing) FCanvas.FillRect(rc);
                DrawCell(c, r, rc, st);
                if (FDefaultDrawing && fixed && FCtl3D) {
                    RECT e = rc;
                    DrawEdge(mem, &e, BDR_RAISEDINNER, BF_RECT);
                }
                if (FDefaultDrawing && isFocus && focused && !(FOptions & goRowSelect)) {
                    RECT f = rc;
                    DrawFocusRect(mem, &f);
                }
                // grid lines right of and below the cell
                if (FGridLineWidth > 0) {
                    bool vert = fixed ? (FOptions & goFixedVertLine) : (FOptions & goVertLine);
                    bool horz = fixed ? (FOptions & goFixedHorzLine) : (FOptions & goHorzLine);
                    HBRUSH lb = fixed ? lineFixed : lineCell;
                    if (vert) {
                        RECT l{x + w, y, x + w + FGridLineWidth, y + h + FGridLineWidth};
                        ::FillRect(mem, &l, lb);
                    }
                    if (horz) {
                        RECT l{x, y + h, x + w + FGridLineWidth, y + h + FGridLineWidth};
                        ::FillRect(mem, &l, lb);
                    }
                }
            }
            x += w + FGridLineWidth;
        };
        for (int c = 0; c < FFixedCols && x < cw; ++c) drawCol(c);
        for (int c = FLeftCol; c < ColCount() && x < cw; ++c) drawCol(c);
    };

    auto release = [&] {
        DeleteObject(lineFixed);
        DeleteObject(lineCell);
        FCanvas.SetHandle(target);
    };
    try {
        int y = 0;
        for (int r = 0; r < FFixedRows && y < ch; ++r) {
            drawRow(r, y);
            y += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        }
        for (int r = FTopRow; r < FRowCount && y < ch; ++r) {
            drawRow(r, y);
            y += Extent(FRowHeights[static_cast<size_t>(r)], FGridLineWidth);
        }
    } catch (...) {
        release();
        SelectObject(mem, oldBmp);
        DeleteObject(bmp);
        DeleteDC(mem);
        throw;
    }
    release();
    BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, mem, clip.left,
           clip.top, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
    ++FPaintCount;
}

void TCustomGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState)
{
    if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

// ---- input

void TCustomGrid::KeyDown(WORD key, TShiftState shift)
{
    bool extend = (shift & ssShift) && (FOptions & goRangeSelect);
    int c = FCol, r = FRow;
    int page = std::max(VisibleRowCount(), 1);
    switch (key) {
    case VK_UP: --r; break;
    case VK_DOWN: ++r; break;
    case VK_LEFT: --c; break;
    case VK_RIGHT: ++c; break;
    case VK_PRIOR: r -= page; break;
    case VK_NEXT: r += page; break;
    case VK_HOME:
        if (shift & ssCtrl) r = FFixedRows;
        else c = FFixedCols;
        break;
    case VK_END:
        if (shift & ssCtrl) r = FRowCount - 1;
        else c = ColCount() - 1;
        break;
    default: return;
    }
    FocusCell(c, r, !extend);
}

void TCustomGrid::MouseDown(int x, int y, TShiftState shift)
{
    if (CanFocus() && !Focused()) SetFocus();
    bool line;
    int c = ColAt(x, line), r = RowAt(y);
    if (line && (FOptions & goColSizing) && r >= 0 && r < FFixedRows && c >= 0) {
        FSizingCol = c;
        FSizingStart = x;
        FSizingWidth = FColWidths[static_cast<size_t>(c)];
        SetCapture(FHandle);
        return;
    }
    if (c < FFixedCols || r < FFixedRows || c < 0 || r < 0) return;
    FocusCell(c, r, !((shift & ssShift) && (FOptions & goRangeSelect)));
    if (FOptions & goRangeSelect) {
        FSelecting = true;
        SetCapture(FHandle);
    }
}

void TCustomGrid::MouseMove(int x, int y, TShiftState)
{
    if (FSizingCol >= 0) {
        SetColWidths(FSizingCol, std::max(FSizingWidth + x - FSizingStart, 0));
        Update();
        return;
    }
    if (FSelecting) {
        bool line;
        int c = ColAt(x, line), r = RowAt(y);
        if (c >= FFixedCols && r >= FFixedRows && (c != FCol || r != FRow)) FocusCell(c, r, false);
    }
}

void TCustomGrid::MouseUp(int, int)
{
    if (FSizingCol >= 0 || FSelecting) ReleaseCapture();
    FSizingCol = -1;
    FSelecting = false;
}

void TCustomGrid::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CM_GRIDSCROLLBARS:
        if (FScrollPending) UpdateScrollBars();
        return;
    case WM_TIMER:
        if (m.WParam == kScrollTimer) {
            UpdateScrollBars();
            return;
        }
        break;
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_ERASEBKGND:
        m.Result = 1;  // Paint covers it all
        return;
    case WM_SIZE: {
        int ow = FClientW, oh = FClientH;
        CacheClientSize();
        TCustomControl::WndProc(m);
        if (ow != FClientW || oh != FClientH) {
            UpdateScrollBars();
            Invalidate();
        }
        return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        InvalidateCell(FCol, FRow);
        return;
    case WM_KEYDOWN: {
        TCustomControl::WndProc(m);
        TShiftState sh = 0;
        if (GetKeyState(VK_SHIFT) < 0) sh |= ssShift;
        if (GetKeyState(VK_CONTROL) < 0) sh |= ssCtrl;
        if (m.WParam) KeyDown(static_cast<WORD>(m.WParam), sh);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        TCustomControl::WndProc(m);
        MouseDown(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam), (m.WParam & MK_SHIFT) ? TShiftState(ssShift) : TShiftState(0));
        return;
    case WM_MOUSEMOVE:
        TCustomControl::WndProc(m);
        MouseMove(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam), 0);
        return;
    case WM_LBUTTONUP:
        TCustomControl::WndProc(m);
        MouseUp(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        return;
    case WM_SETCURSOR:
        if (LOWORD(m.LParam) == HTCLIENT && (FOptions & goColSizing)) {
            POINT p;
            GetCursorPos(&p);
            ::ScreenToClient(FHandle, &p);
            bool line;
            int c = ColAt(p.x, line), r = RowAt(p.y);
            if ((line && c >= 0 && r >= 0 && r < FFixedRows) || FSizingCol >= 0) {
                SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
                m.Result = 1;
                return;
            }
        }
        break;
    case WM_MOUSEWHEEL: {
        int delta = GET_WHEEL_DELTA_WPARAM(m.WParam);
        ScrollTo(FTopRow - (delta / WHEEL_DELTA) * 3, FLeftCol);
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        bool vert = m.Msg == WM_VSCROLL;
        int bar = vert ? SB_VERT : SB_HORZ;
        int pos = vert ? FTopRow - FFixedRows : FLeftCol - FFixedCols;
        int page = vert ? std::max(VisibleRowCount(), 1) : std::max(VisibleColCount(), 1);
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: --pos; break;
        case SB_LINEDOWN: ++pos; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = vert ? FRowCount : ColCount(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
            GetScrollInfo(FHandle, bar, &si);
            pos = si.nTrackPos;
            break;
        }
        default: return;
        }
        if (vert)
            ScrollTo(pos + FFixedRows, FLeftCol);
        else
            ScrollTo(FTopRow, pos + FFixedCols);
        return;
    }
    default:
        break;
    }
    TCustomControl::WndProc(m);
}

// ---------------------------------------------------------------- TStringGrid

TStringGrid::TStringGrid(TComponent* AOwner) : TDrawGrid(AOwner) { FCells.resize(static_cast<size_t>(FRowCount)); }

const std::string& TStringGrid::Cells(int ACol, int ARow) const
{
    if (ARow < 0 || ACol < 0 || ARow >= FRowCount || ACol >= ColCount()) return kEmpty;
    const auto& row = FCells[static_cast<size_t>(ARow)];
    return static_cast<size_t>(ACol) < row.size() ? row[static_cast<size_t>(ACol)] : kEmpty;
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& v)
{
    if (ARow < 0 || ACol < 0 || ARow >= FRowCount || ACol >= ColCount()) return;
    auto& row = FCells[static_cast<size_t>(ARow)];
    if (static_cast<size_t>(ACol) >= row.size()) {
        if (v.empty()) return;
        row.resize(static_cast<size_t>(ACol) + 1);
    }
    if (row[static_cast<size_t>(ACol)] == v) return;
    row[static_cast<size_t>(ACol)] = v;
    InvalidateCell(ACol, ARow);
}

void TStringGrid::SetRowCount(int v)
{
    if (v < 1) v = 1;
    FCells.resize(static_cast<size_t>(v));
    TDrawGrid::SetRowCount(v);
}

void TStringGrid::SetColCount(int v)
{
    if (v < 1) v = 1;
    for (auto& row : FCells)
        if (row.size() > static_cast<size_t>(v)) row.resize(static_cast<size_t>(v));
    TDrawGrid::SetColCount(v);
}

void TStringGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState)
{
    if (FDefaultDrawing) FCanvas.TextRect(ARect, ARect.Left + 2, ARect.Top + 2, Cells(ACol, ARow));
    TDrawGrid::DrawCell(ACol, ARow, ARect, AState);
}
