// Painters of push, bitmap and speed buttons: a light face, a thin outline, an edge that moves
// to the top-left while pressed, and glyph and caption drawn as menu items draw theirs.
#include "FlatSkinPaint.h"

#include "Buttons.h"
#include "FlatSkinMenus.h"
#include "StdCtrls.h"

using namespace FlatPaint;

namespace {

TColor Lighten(TCanvas& c, TColor colour, int percent) { return LightenColor(&c, colour, percent); }
TColor Shade(TCanvas& c, TColor colour, int value) { return ShadeColor(&c, colour, value); }

constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER;

// Face and border of a push or bitmap button at rest or under the mouse.
void ButtonColours(TCanvas& c, TFlatSkin& k, TControl& b, bool hot, bool focused, bool fromParent, TColor& face,
                   TColor& border)
{
    TColor parent = ParentColor(b);
    if (hot) {
        face = Lighten(c, fromParent ? parent : clBtnFace, k.ParentLightenHot);
        border = Lighten(c, k.SelectFrameColor, 60);
    } else {
        face = fromParent ? Lighten(c, parent, k.ParentLightenNormal) : k.IconColumnColor;
        border = focused ? Lighten(c, k.SelectFrameColor, 60) : clBtnShadow;
    }
}

void Polyline3(TCanvas& c, TColor pen, TPoint a, TPoint b, TPoint d)
{
    c.Pen().SetColor(pen);
    c.MoveTo(a.X, a.Y);
    c.LineTo(b.X, b.Y);
    c.LineTo(d.X, d.Y);
}

// The rounded face of push and bitmap buttons, with its edge unless edge is false.
void RoundFace(TCanvas& c, const TControl& b, TColor face, TColor border, bool edge, bool pressed)
{
    TRect r = b.ClientRect();
    Fill(c, r, ParentColor(b));  // the corners outside the rounded face keep the background
    c.Brush().SetColor(face);
    c.Pen().SetColor(Lighten(c, border, 30));
    c.RequireTools();
    RoundRect(c.Handle(), r.Left, r.Top, r.Right, r.Bottom, 4, 4);
    if (!edge || !b.Enabled()) return;
    TColor pen = Shade(c, border, 50);
    if (pressed) {
        Polyline3(c, pen, {r.Left, r.Bottom - 2}, {r.Left, r.Top + 1}, {r.Left + 1, r.Top});
        c.LineTo(r.Right - 1, r.Top);
    } else {
        Polyline3(c, pen, {r.Right - 1, r.Top + 1}, {r.Right - 1, r.Bottom - 2}, {r.Right - 2, r.Bottom - 1});
        c.LineTo(r.Left, r.Bottom - 1);
    }
}

// Caption size in the button's font; an empty caption measures 0 by 0.
SIZE CaptionSize(TCanvas& c, TControl& b, const std::string& caption, bool rtl)
{
    c.Font().Assign(b.Font());
    if (caption.empty()) return SIZE{0, 0};
    TRect r(0, 0, 0, 0);
    c.DrawText(caption, r, DT_CALCRECT | (rtl ? DT_RTLREADING : 0));
    return SIZE{r.Width(), r.Height()};
}

TRect Centred(const TRect& client, SIZE t)
{
    int left = (client.Width() - t.cx) / 2, top = (client.Height() - t.cy) / 2;
    return Bounds(left, top, t.cx, t.cy);
}

// Glyph and caption rectangles of a bitmap or speed button by its layout.
void LayOut(TButtonLayout layout, int w, int h, int gw, int gh, int s, SIZE t, TRect& gr, TRect& tr)
{
    int tw = t.cx, th = t.cy;
    switch (layout) {
    case blGlyphLeft:
        gr = Bounds((w - (gw + s + tw)) / 2, (h - gh) / 2, gw, gh);
        tr = Bounds(gr.Right + s, (h - th) / 2, tw, th);
        break;
    case blGlyphRight: {
        int right = (gw + s + tw + w) / 2;
        gr = TRect(right - gw, (h - gh) / 2, right, (h - gh) / 2 + gh);
        tr = TRect(gr.Left - s - tw, (h - th) / 2, gr.Left - s, (h - th) / 2 + th);
        break;
    }
    case blGlyphTop:
        gr = Bounds((w - gw) / 2, (h - (gh + s + th)) / 2, gw, gh);
        tr = Bounds((w - tw) / 2, gr.Bottom + s, tw, th);
        break;
    case blGlyphBottom: {
        int bottom = (gh + s + th + h) / 2;
        gr = TRect((w - gw) / 2, bottom - gh, (w - gw) / 2 + gw, bottom);
        tr = TRect((w - tw) / 2, gr.Top - s - th, (w - tw) / 2 + tw, gr.Top - s);
        break;
    }
    }
}

// One cell of a glyph strip, copied into a bitmap of its own (the icon routine changes it).
void CopyCell(TBitmap& strip, int cellWidth, int cell, TBitmap& into)
{
    into.SetSize(cellWidth, strip.Height());
    BitBlt(into.Canvas().Handle(), 0, 0, cellWidth, strip.Height(), strip.Canvas().Handle(), cellWidth * cell, 0,
           SRCCOPY);
}

std::string Trimmed(const std::string& s)
{
    size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

void PaintButton(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    auto* b = dynamic_cast<TButton*>(s.Control);
    if (!k || !b) return;
    TSurface surface(*b, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TColor face, border;
    ButtonColours(cv, *k, *b, s.Hot, s.Focused, b->Tag() == SkinTagParentColor, face, border);
    RoundFace(cv, *b, face, border, true, s.SpaceDown || (s.MouseDown && s.Hot));
    bool rtl = RightToLeftReading(*b);
    std::string caption = b->Caption();
    TRect tr = Centred(b->ClientRect(), CaptionSize(cv, *b, caption, rtl));
    DrawMenuItemText(*k, b, caption, kCaptionFormat | (rtl ? DT_RTLREADING : 0), b->Font(), rtl, false, b->Default(),
                     b->Enabled(), false, tr, cv, "");
}

void PaintBitBtn(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    auto* b = dynamic_cast<TBitBtn*>(s.Control);
    if (!k || !b) return;
    TSurface surface(*b, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    intptr_t tag = b->Tag();
    bool hot = s.Hot || s.SpaceDown;
    TColor face, border;
    ButtonColours(cv, *k, *b, hot, s.Focused, (tag & 1000) == 1000, face, border);
    bool borderless = (tag & 1001) == 1001;
    if (borderless) border = face;
    RoundFace(cv, *b, face, border, !borderless, (s.MouseDown && s.Hot) || s.SpaceDown);
    bool rtl = RightToLeftReading(*b);
    std::string caption = b->Caption();
    SIZE ts = CaptionSize(cv, *b, caption, rtl);
    TRect client = b->ClientRect(), tr;
    TBitmap& glyph = b->Glyph();
    if (glyph.Width() > 0 && glyph.Height() > 0) {
        int gw = glyph.Width() / b->NumGlyphs(), gh = glyph.Height();
        TBitmap cell;
        CopyCell(glyph, gw, 0, cell);
        int sp = Trimmed(caption).empty() ? 0 : b->Spacing();
        TRect gr;
        LayOut(b->Layout(), client.Width(), client.Height(), gw, gh, sp, ts, gr, tr);
        DrawMenuItemIcon(*k, b, cv, rtl, false, false, b->Enabled(), s.Focused, s.Hot, gr, &cell);
    } else {
        tr = Centred(client, ts);
    }
    UINT format = kCaptionFormat | (rtl ? DT_RTLREADING : 0);
    if ((tag & 1002) == 1002) {
        format = rtl ? DT_RIGHT | DT_VCENTER : DT_VCENTER;
        tr = Inflate(client, -4, -2);
    }
    DrawMenuItemText(*k, b, caption, format, b->Font(), rtl, false, b->Default(), b->Enabled(), false, tr, cv, "");
}

void PaintSpeedButton(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    auto* b = dynamic_cast<TSpeedButton*>(s.Control);
    if (!k || !b) return;
    TSurface surface(*b, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TRect r = b->ClientRect();
    int w = r.Width(), h = r.Height();
    if (b->Flat() && s.Hot) {
        // the subclass may have missed the leave: a flat button is hot only under the mouse
        POINT p{0, 0};
        GetCursorPos(&p);
        TPoint c = b->ScreenToClient({p.x, p.y});
        s.Hot = c.X >= 0 && c.Y >= 0 && c.X <= w && c.Y <= h;
    }
    bool hot = s.Hot, down = b->Down(), flat = b->Flat(), transparent = b->Transparent();
    bool fromParent = b->Tag() == SkinTagParentColor;
    TColor parent = ParentColor(*b), face, border;
    if (hot) {
        face = flat ? k->SelectFillColor : Lighten(cv, fromParent ? parent : clBtnFace, k->ParentLightenHot);
        border = Lighten(cv, k->SelectFrameColor, 60);
    } else {
        face = flat ? parent : fromParent ? Lighten(cv, parent, k->ParentLightenNormal) : k->IconColumnColor;
        border = clBtnShadow;
    }
    if (down) {
        face = hot ? k->PressedFillColor : k->CheckedFillColor;
        border = k->SelectFrameColor;
    }
    if (!b->Enabled()) border = clBtnShadow;
    if (transparent && (down || hot)) {
        // the tint darkens what shows through the button
        TBitmap tint;
        tint.SetSize(w, h);
        bool fewColours = GetDeviceCaps(surface.Handle(), BITSPIXEL) <= 16;
        Fill(tint.Canvas(), r, fewColours ? face : flat ? Lighten(cv, k->SelectFillColor, 20) : Lighten(cv, face, 5));
        BitBlt(surface.Handle(), r.Left, r.Top, w, h, tint.Canvas().Handle(), 0, 0, SRCAND);
    }
    cv.Brush().SetColor(face);
    if (!transparent || std::string(b->ClassName()) == "TNavButton") cv.FillRect(r);
    cv.Pen().SetColor(flat && !transparent && !down && !hot ? face : Lighten(cv, border, 30));
    if (transparent) cv.Brush().SetStyle(bsClear);
    if (!(transparent && flat && !hot && !down)) cv.Rectangle(r);
    if (b->Enabled()) {
        TColor edge = Shade(cv, border, 50);
        bool pressed = s.MouseDown || down;
        if (flat && pressed) {
            cv.Pen().SetColor(border);
            cv.Rectangle(r);
            Polyline3(cv, edge, {r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right, r.Top});
        } else if (flat && hot) {
            cv.Pen().SetColor(k->SelectFrameColor);
            cv.Rectangle(r);
        } else if (!flat && pressed) {
            Polyline3(cv, edge, {r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right, r.Top});
        } else if (!flat) {
            Polyline3(cv, edge, {r.Right - 1, r.Top}, {r.Right - 1, r.Bottom - 1}, {r.Left, r.Bottom - 1});
        }
    }
    bool rtl = RightToLeftReading(*b);
    std::string caption = b->Caption();
    SIZE ts = CaptionSize(cv, *b, caption, rtl);
    TRect tr;
    TBitmap& glyph = b->Glyph();
    if (glyph.Width() > 0 && glyph.Height() > 0) {
        int n = b->NumGlyphs(), gw = glyph.Width() / n, gh = glyph.Height();
        int cell = 1;
        if (!b->Enabled() && n > 1) cell = 2;
        if (s.MouseDown && n > 2) cell = 3;
        if (down && n > 3) cell = 4;
        TBitmap scratch;
        CopyCell(glyph, gw, cell - 1, scratch);
        int sp = caption.empty() ? 0 : b->Spacing();
        TButtonLayout layout = b->Layout();
        if (rtl && layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (rtl && layout == blGlyphRight)
            layout = blGlyphLeft;
        TRect gr;
        LayOut(layout, w, h, gw, gh, sp, ts, gr, tr);
        if (layout == blGlyphLeft) gr = Bounds(gr.Left, (h - gh) / 2 - 1, gw, gh);
        DrawMenuItemIcon(*k, b, cv, rtl, false, down || s.MouseDown, b->Enabled(), s.Focused, s.Hot, gr, &scratch);
    } else {
        tr = Centred(r, ts);
    }
    DrawMenuItemText(*k, b, caption, kCaptionFormat | (rtl ? DT_RTLREADING : 0), b->Font(), rtl, false, false,
                     b->Enabled(), false, tr, cv, "");
}
