#include "Buttons.h"

#include <windowsx.h>

#include <algorithm>

// ---------------------------------------------------------------- TButtonGlyph

TButtonGlyph::TButtonGlyph() = default;

void TButtonGlyph::SetGlyph(TBitmap& v)
{
    if (&v != &FGlyph) {
        FGlyph.SetSize(0, 0);
        FGlyph.SetSize(v.Width(), v.Height());
        BitBlt(FGlyph.Canvas().Handle(), 0, 0, v.Width(), v.Height(), v.Canvas().Handle(), 0, 0, SRCCOPY);
    }
    Changed();
}

void TButtonGlyph::SetNumGlyphs(int v)
{
    FNumGlyphs = std::clamp(v, 1, 4);
    Changed();
}

int TButtonGlyph::CellWidth() const { return Empty() ? 0 : FGlyph.Width() / FNumGlyphs; }

void TButtonGlyph::Arrange(const TRect& c, int tw, int th, TRect& gr, TRect& tr) const
{
    int gw = CellWidth(), gh = gw ? FGlyph.Height() : 0;
    int s = (gw && tw) ? std::max(FSpacing, 0) : 0;
    int w = c.Width(), h = c.Height();
    int gx = 0, gy = 0, tx = 0, ty = 0;
    switch (FLayout) {
    case blGlyphLeft:
    case blGlyphRight: {
        int total = gw + s + tw;
        int start = FMargin < 0 ? (w - total) / 2 : FMargin;
        if (FLayout == blGlyphLeft) {
            gx = start;
            tx = gx + gw + s;
        } else {
            int right = FMargin < 0 ? w - start : w - FMargin;
            gx = right - gw;
            tx = gx - s - tw;
        }
        gy = (h - gh) / 2;
        ty = (h - th) / 2;
        break;
    }
    case blGlyphTop:
    case blGlyphBottom: {
        int total = gh + s + th;
        int start = FMargin < 0 ? (h - total) / 2 : FMargin;
        if (FLayout == blGlyphTop) {
            gy = start;
            ty = gy + gh + s;
        } else {
            int bottom = FMargin < 0 ? h - start : h - FMargin;
            gy = bottom - gh;
            ty = gy - s - th;
        }
        gx = (w - gw) / 2;
        tx = (w - tw) / 2;
        break;
    }
    }
    gr = Bounds(c.Left + gx, c.Top + gy, gw, gh);
    tr = Bounds(c.Left + tx, c.Top + ty, tw, th);
}

void TButtonGlyph::DrawCell(HDC dc, int x, int y, int cell)
{
    int gw = CellWidth();
    if (!gw) return;
    if (cell < 0 || cell >= FNumGlyphs) cell = 0;
    TCanvas& src = FGlyph.Canvas();
    COLORREF see = static_cast<COLORREF>(src.Pixels(0, FGlyph.Height() - 1));
    TransparentBlt(dc, x, y, gw, FGlyph.Height(), src.Handle(), gw * cell, 0, gw, FGlyph.Height(), see);
}

// Caption size in the given font; an empty caption measures 0 by 0.
static SIZE CaptionSize(HDC dc, TFont& font, const std::string& text)
{
    SIZE sz{0, 0};
    if (text.empty()) return sz;
    HGDIOBJ old = SelectObject(dc, font.Handle());
    std::wstring w = ToWide(text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.data(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    sz.cx = r.right - r.left;
    sz.cy = r.bottom - r.top;
    return sz;
}

static void DrawCaption(HDC dc, TFont& font, const std::string& text, TRect r, bool enabled)
{
    if (text.empty()) return;
    HGDIOBJ old = SelectObject(dc, font.Handle());
    int mode = SetBkMode(dc, TRANSPARENT);
    std::wstring w = ToWide(text);
    UINT fmt = DT_SINGLELINE | DT_CENTER | DT_VCENTER;
    if (!enabled) {
        RECT lit = TRect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextW(dc, w.data(), static_cast<int>(w.size()), &lit, fmt);
    }
    SetTextColor(dc, ColorToRGB(enabled ? font.Color() : clBtnShadow));
    RECT rc = r;
    DrawTextW(dc, w.data(), static_cast<int>(w.size()), &rc, fmt);
    SetBkMode(dc, mode);
    SelectObject(dc, old);
}

// ---------------------------------------------------------------- TBitBtn

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner)
{
    FGlyph.OnChange = [this] { Invalidate(); };
}

void TBitBtn::CreateParams(TCreateParams& p)
{
    TButton::CreateParams(p);
    p.Style = (p.Style & ~BS_TYPEMASK) | BS_OWNERDRAW;
}

void TBitBtn::WndProc(TMessage& m)
{
    // Whoever replaced WindowProc sees the message as it came: changes go to a copy.
    TMessage c = m;
    switch (m.Msg) {
    case BM_SETSTYLE:
        // the default-button mark is ours to draw: the window stays owner-drawn
        c.WParam = (m.WParam & ~BS_TYPEMASK) | BS_OWNERDRAW;
        break;
    case CN_DRAWITEM:
        DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam));
        m.Result = 1;
        return;
    case WM_LBUTTONDBLCLK:
        // an owner-drawn button takes a double click as a notice only: make it a press
        c.Msg = WM_LBUTTONDOWN;
        break;
    default:
        TButton::WndProc(m);
        return;
    }
    TButton::WndProc(c);
    m.Result = c.Result;
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& d)
{
    HDC dc = d.hDC;
    TRect r = d.rcItem;
    bool pressed = d.itemState & ODS_SELECTED;
    bool focused = d.itemState & ODS_FOCUS;
    if (Default() || focused) {
        FrameRect(dc, &d.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    RECT face = r;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    TRect inner(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2);
    if (pressed) inner = TRect(inner.Left + 1, inner.Top + 1, inner.Right + 1, inner.Bottom + 1);
    std::string text = Caption();
    SIZE ts = CaptionSize(dc, FFont, text);
    TRect gr, tr;
    FGlyph.Arrange(inner, ts.cx, ts.cy, gr, tr);
    FGlyph.DrawCell(dc, gr.Left, gr.Top, Enabled() ? (pressed ? 2 : 0) : 1);
    DrawCaption(dc, FFont, text, tr, Enabled());
    if (focused) {
        RECT f{r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3};
        DrawFocusRect(dc, &f);
    }
}

// ---------------------------------------------------------------- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FWidth = 23;
    FHeight = 22;
    FGlyph.OnChange = [this] { Invalidate(); };
}

void TSpeedButton::SetFlat(bool v)
{
    FFlat = v;
    Invalidate();
}

void TSpeedButton::SetDown(bool v)
{
    if (FGroupIndex == 0) v = false;
    if (v == FDown) return;
    if (FDown && !FAllowAllUp) return;
    FDown = v;
    Invalidate();
    if (v) UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int v)
{
    FGroupIndex = v;
    if (v == 0) {
        FDown = false;
        Invalidate();
    }
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool v)
{
    FAllowAllUp = v;
    UpdateExclusive();
}

void TSpeedButton::SetTransparent(bool v)
{
    FTransparent = v;
    Invalidate();
}

// The buttons of one group on one parent share the down state and AllowAllUp.
void TSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !FParent) return;
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        auto* b = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
        if (!b || b == this || b->FGroupIndex != FGroupIndex) continue;
        b->FAllowAllUp = FAllowAllUp;
        if (FDown && b->FDown) {
            b->FDown = false;
            b->Invalidate();
        }
    }
}

void TSpeedButton::Click()
{
    if (FGroupIndex != 0) {
        if (!FDown) SetDown(true);
        else if (FAllowAllUp) SetDown(false);
    }
    TGraphicControl::Click();
}

void TSpeedButton::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!FEnabled) return;
        FPressed = true;
        FMouseDown = true;
        Repaint();
        return;
    case WM_LBUTTONUP: {
        if (!FPressed) return;
        FPressed = false;
        FMouseDown = false;
        int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        Invalidate();
        if (x >= 0 && y >= 0 && x < FWidth && y < FHeight) Click();
        return;
    }
    case CM_MOUSEENTER:
        FMouseInControl = true;
        if (FFlat) Invalidate();
        break;
    case CM_MOUSELEAVE:
        // the press ends when the mouse goes: the button has no capture to see the release
        FMouseInControl = false;
        if (FPressed) {
            FPressed = false;
            FMouseDown = false;
        }
        Invalidate();
        break;
    default:
        break;
    }
    TGraphicControl::WndProc(m);
}

void TSpeedButton::Paint()
{
    HDC dc = FCanvas.Handle();
    if (!dc) return;
    RECT r{0, 0, FWidth, FHeight};
    bool sunken = FPressed || FDown;
    if (!FTransparent || !FFlat) {
        FCanvas.Brush().SetColor(FColor);
        FCanvas.FillRect(r);
    }
    if (!FFlat) {
        DrawEdge(dc, &r, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    } else if (sunken || (FMouseInControl && FEnabled)) {
        DrawEdge(dc, &r, sunken ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    TRect inner(2, 2, FWidth - 2, FHeight - 2);
    if (sunken) inner = TRect(3, 3, FWidth - 1, FHeight - 1);
    std::string text = Caption();
    SIZE ts = CaptionSize(dc, FFont, text);
    TRect gr, tr;
    FGlyph.Arrange(inner, ts.cx, ts.cy, gr, tr);
    int cell = !FEnabled ? 1 : FPressed ? 2 : FDown ? 3 : 0;
    FGlyph.DrawCell(dc, gr.Left, gr.Top, cell);
    DrawCaption(dc, FFont, text, tr, FEnabled);
}
