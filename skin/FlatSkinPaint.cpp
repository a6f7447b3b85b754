// Painters of the boxes and frames: combo boxes, edits, list frames, progress bars, hot keys,
// check boxes, radio buttons, up-downs, group boxes and panels; and what all painters share.
#include "FlatSkinPaint.h"

#include <windowsx.h>

#include "ExtCtrls.h"
#include "FlatSkinKinds.h"
#include "StdCtrls.h"

using namespace FlatPaint;

namespace FlatPaint {

TSurface::TSurface(TControl& c, TKind kind)
{
    // A control without a window has nothing on screen: the canvas then draws nowhere, and no
    // window is made for it here.
    if (auto* w = dynamic_cast<TWinControl*>(&c)) {
        if (!w->HandleAllocated()) return;
        FWnd = w->Handle();
        FDC = kind == Window ? GetWindowDC(FWnd) : GetDC(FWnd);
    } else if (TWinControl* p = c.Parent(); p && p->HandleAllocated()) {
        // a window-less control draws on its parent, moved to its rectangle and clipped to it
        FWnd = p->Handle();
        FDC = GetDC(FWnd);
        FSaved = SaveDC(FDC);
        SetViewportOrgEx(FDC, c.Left(), c.Top(), nullptr);
        IntersectClipRect(FDC, 0, 0, c.Width(), c.Height());
    }
    FCanvas.SetHandle(FDC);
    FCanvas.Font().Assign(c.Font());
}

TSurface::TSurface(TWinControl& parent)
{
    if (!parent.HandleAllocated()) return;
    FWnd = parent.Handle();
    FDC = GetDC(FWnd);
    FCanvas.SetHandle(FDC);
}

void TSurface::ClipTo(HRGN region)
{
    if (!FDC) return;
    if (!FSaved) FSaved = SaveDC(FDC);
    ExtSelectClipRgn(FDC, region, RGN_AND);
}

TSurface::~TSurface()
{
    FCanvas.SetHandle(nullptr);
    if (!FDC) return;
    if (FSaved) RestoreDC(FDC, FSaved);
    ReleaseDC(FWnd, FDC);
}

TColor ParentColor(const TControl& c) { return c.Parent() ? c.Parent()->Color() : c.Color(); }

bool Mirrored(const TControl& c) { return c.BiDiMode() == bdRightToLeft; }

bool RightToLeftReading(const TControl& c)
{
    return GetSystemMetrics(SM_MIDEASTENABLED) && c.BiDiMode() != bdLeftToRight;
}

int ThumbSize() { return GetSystemMetrics(SM_CXHTHUMB); }

void Frame(TCanvas& c, const TRect& r, TColor colour)
{
    c.Brush().SetColor(colour);
    c.FrameRect(r);
}

void Fill(TCanvas& c, const TRect& r, TColor colour)
{
    c.Brush().SetColor(colour);
    c.FillRect(r);
}

void Outline(TCanvas& c, const TRect& r, TColor pen)
{
    c.Pen().SetColor(pen);
    c.Brush().SetStyle(bsClear);
    c.Rectangle(r);
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2, TColor pen)
{
    c.Pen().SetColor(pen);
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

void SingleColourFrame(TCanvas& c, TRect& r, TColor topLeft, TColor bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        int right = r.Right - 1, bottom = r.Bottom - 1;
        // each polyline leaves out its last point: the top-right corner and the whole bottom line
        // take the second colour
        TPoint tl[] = {{r.Left, bottom}, {r.Left, r.Top}, {right, r.Top}};
        c.Pen().SetColor(topLeft);
        c.Polyline(tl, 3);
        TPoint br[] = {{right, r.Top}, {right, bottom}, {r.Left - 1, bottom}};
        c.Pen().SetColor(bottomRight);
        c.Polyline(br, 3);
        r = Inflate(r, -1, -1);
    }
}

TRect Inflate(TRect r, int dx, int dy) { return TRect(r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy); }

}  // namespace FlatPaint

namespace {

TColor Lighten(TCanvas& c, TColor colour, int percent) { return LightenColor(&c, colour, percent); }
TColor Shade(TCanvas& c, TColor colour, int value) { return ShadeColor(&c, colour, value); }

bool Tag1000(const TControl& c) { return c.Tag() == SkinTagParentColor; }

// Switches a 3D border off; the window is made anew for it, so the subclass must stay.
void Ctl3DOff(TControlSubClass& s)
{
    auto* w = dynamic_cast<TWinControl*>(s.Control);
    if (!w || !w->Ctl3D()) return;
    s.KeepOnDestroy = true;
    w->SetCtl3D(false);
}

// The downward triangle of a drop-down button: 5, 3 and 1 pixels wide from row y.
void DropArrow(TCanvas& c, int x, int y, TColor colour)
{
    Line(c, x, y, x + 5, y, colour);
    Line(c, x + 1, y + 1, x + 4, y + 1, colour);
    Line(c, x + 2, y + 2, x + 3, y + 2, colour);
}

// The drop-down button and the strip beside it; r is inside the frame on entry.
void DropButton(TCanvas& c, TRect r, bool mirrored, int grow, TColor button, TColor border,
                TColor control, bool framed)
{
    r = Inflate(r, -1, -1);
    int thumb = ThumbSize();
    if (mirrored)
        r.Right = r.Left + thumb + 1;
    else
        r.Left = r.Right - thumb - 1;
    if (grow) {
        if (mirrored)
            r.Right += grow;
        else
            r.Left -= 1;
    }
    Fill(c, r, button);
    if (framed) Frame(c, r, border);
    if (mirrored)
        r.Left = r.Right - 5;
    else
        r.Right = r.Left + 5;
    Fill(c, r, control);
    if (mirrored)
        Line(c, r.Left, r.Top, r.Left, r.Bottom, border);
    else
        Line(c, r.Right, r.Top, r.Right, r.Bottom, border);
}

// Box of a check box or radio button: centred vertically, on the side its alignment and
// reading order give.
TRect GlyphBox(const TButtonControl& b, int shrink, int height)
{
    int thumb = ThumbSize();
    TRect r = Inflate(b.ClientRect(), 0, -shrink);
    int d = (r.Bottom - r.Top - thumb) / 2;
    r.Top += d;
    r.Bottom = r.Top + height;
    TBiDiMode m = b.BiDiMode();
    TAlignment a = b.Alignment();
    if ((m == bdRightToLeft && a == taRightJustify) || (m == bdLeftToRight && a == taLeftJustify))
        r.Left = r.Right - thumb + 1;
    else if ((m == bdLeftToRight && a == taRightJustify) || (m == bdRightToLeft && a == taLeftJustify))
        r.Right = r.Left + thumb - 1;
    return r;
}

}  // namespace

void PaintComboBox(TControlSubClass& s)
{
    TControl& c = *s.Control;
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    TSurface surface(c, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TColor parent = ParentColor(c), control = c.Color();
    TColor arrow = c.Enabled() ? clBlack : clWhite, border, button;
    if (s.Hot) {
        border = k->SelectFrameColor;
        button = k->SelectFillColor;
    } else {
        border = control;
        button = Tag1000(c) ? Lighten(cv, parent, k->ParentLightenNormal) : clBtnFace;
        if (s.Focused) {
            border = Lighten(cv, k->SelectFrameColor, 60);
            button = k->CheckedFillColor;
        }
    }
    bool lit = s.Hot || s.Focused;
    TRect r = c.ClientRect();
    Frame(cv, r, parent);
    r = Inflate(r, -1, -1);
    Line(cv, r.Left, r.Top, r.Right, r.Top, parent);
    r = Inflate(r, 0, -1);
    if (lit) r = Inflate(r, 1, 1);
    Frame(cv, r, control);
    r.Bottom += 1;
    Frame(cv, r, border);
    auto* combo = dynamic_cast<TCustomCombo*>(&c);
    if (combo && combo->DroppedDown()) {
        border = k->SelectFrameColor;
        arrow = clWhite;
        button = k->PressedFillColor;
    }
    auto* box = dynamic_cast<TComboBox*>(&c);
    if (box && box->Style() == csSimple) return;
    bool mirrored = Mirrored(c);
    DropButton(cv, r, mirrored, lit ? 2 : 0, button, border, control, false);
    TRect cr = c.ClientRect();
    DropArrow(cv, mirrored ? cr.Left + 5 : cr.Right - 10, cr.Top + 10, arrow);
}

void PaintLookupComboBox(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    Ctl3DOff(s);
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Window);
    TCanvas& cv = surface.Canvas();
    TColor parent = ParentColor(c), control = c.Color();
    TColor arrow = c.Enabled() ? clBlack : clWhite, outer, border, button;
    if (s.Hot) {
        outer = border = k->SelectFrameColor;
        button = k->SelectFillColor;
    } else {
        outer = Shade(cv, parent, 60);
        border = Lighten(cv, k->SelectFrameColor, 60);
        button = s.Focused ? k->CheckedFillColor : clBtnFace;
    }
    Frame(cv, Rect(0, 0, c.Width(), c.Height()), outer);
    TRect r = c.ClientRect();
    r = TRect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
    Frame(cv, r, control);
    bool mirrored = Mirrored(c);
    DropButton(cv, r, mirrored, (s.Hot || s.Focused) ? 1 : 0, button, border, control, true);
    TRect cr = c.ClientRect();
    DropArrow(cv, mirrored ? cr.Left + 5 : cr.Right - 9, cr.Top + 8, arrow);
}

void PaintEdit(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    Ctl3DOff(s);
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TColor parent = ParentColor(c);
    TColor frame = (s.Hot || s.Focused) ? Lighten(cv, k->SelectFrameColor, 60) : Shade(cv, parent, 60);
    if (s.SavedBorderStyle == bsNone)
        frame = (s.Hot && !s.Focused) ? Lighten(cv, AverageColor({c.Color(), parent}), 40) : c.Color();
    Outline(cv, c.ClientRect(), frame);
}

void PaintRichEdit(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    TControl& c = *s.Control;
    if (!k || !c.Parent()) return;
    if (s.SavedBorderStyle == bsSingle) {
        s.KeepOnDestroy = true;
        if (auto* e = dynamic_cast<TCustomEdit*>(&c)) e->SetBorderStyle(bsNone);
        if (auto* w = dynamic_cast<TWinControl*>(&c); w && w->BorderWidth() < 2) w->SetBorderWidth(2);
    }
    TSurface surface(*c.Parent());
    TCanvas& cv = surface.Canvas();
    TRect r = Inflate(c.BoundsRect(), 1, 1);
    TColor colour;
    if (s.Hot || s.Focused)
        colour = Lighten(cv, k->SelectFrameColor, 60);
    else
        colour = s.SavedBorderStyle == bsSingle ? Shade(cv, ParentColor(c), 60) : ParentColor(c);
    SingleColourFrame(cv, r, colour, colour, 1);
}

void PaintListFrame(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    // switched off first: the window is made anew, and the frame belongs on the new one
    Ctl3DOff(s);
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Window);
    TCanvas& cv = surface.Canvas();
    k->ComputeDerivedColors(cv);
    bool single = s.SavedBorderStyle == bsSingle;
    TColor colour;
    if (s.Hot || s.Focused)
        colour = Lighten(cv, k->SelectFrameColor, single ? 60 : 80);
    else
        colour = single ? Shade(cv, ParentColor(c), 60) : ParentColor(c);
    Outline(cv, Rect(0, 0, c.Width(), c.Height()), colour);
}

void PaintProgressBar(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Window);
    TCanvas& cv = surface.Canvas();
    Outline(cv, Rect(0, 0, c.Width(), c.Height()), s.Hot ? k->SelectFrameColor : Shade(cv, ParentColor(c), 60));
}

void PaintHotKey(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    if (!k) return;
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Window);
    TCanvas& cv = surface.Canvas();
    k->ComputeDerivedColors(cv);
    TRect r(0, 0, c.Width(), c.Height());
    Outline(cv, r, (s.Hot || s.Focused) ? Lighten(cv, k->SelectFrameColor, 60) : Shade(cv, ParentColor(c), 60));
    Outline(cv, Inflate(r, -1, -1), clWindow);
}

void PaintCheckBox(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    auto* b = dynamic_cast<TCustomCheckBox*>(s.Control);
    if (!k || !b) return;
    TSurface surface(*b, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    bool pressed = s.SpaceDown || s.MouseDown;
    bool grayed = b->State() == cbGrayed;
    TColor fill = clWindow, pen = clBtnShadow;
    if (s.Hot || s.Focused) {
        fill = k->SelectFillColor;
        pen = k->SelectFrameColor;
    }
    if (pressed) fill = k->PressedFillColor;
    if (grayed) fill = clSilver;
    TRect r = GlyphBox(*b, 3, ThumbSize());
    Fill(cv, r, b->Color());
    r = Inflate(r, -2, -2);
    cv.Brush().SetColor(fill);
    cv.Pen().SetColor(pen);
    cv.Rectangle(r);
    if (b->Checked() || grayed) {
        cv.Pen().SetColor(!b->Enabled() ? k->DisabledTextColor : pressed ? clWindow : grayed ? clGray : clHighlight);
        DrawTickMark(cv, r.Left, r.Bottom);
    }
}

void PaintRadioButton(TControlSubClass& s)
{
    TFlatSkin* k = s.OwnerMenu;
    auto* b = dynamic_cast<TRadioButton*>(s.Control);
    if (!k || !b) return;
    TSurface surface(*b, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TColor fill = s.Hot ? k->SelectFillColor : clWindow, pen = s.Hot ? k->SelectFrameColor : clBtnShadow;
    if (s.Focused) fill = k->SelectFillColor;
    TRect r = GlyphBox(*b, 4, ThumbSize() - 1);
    Fill(cv, r, b->Color());
    r = Inflate(r, -2, -2);
    cv.Brush().SetColor(fill);
    cv.Pen().SetColor(pen);
    cv.RequireTools();
    Ellipse(cv.Handle(), r.Left, r.Top, r.Right, r.Bottom);
    if (b->Checked()) {
        r = Inflate(r, -2, -2);
        TColor dot = b->Enabled() ? clHighlight : k->DisabledTextColor;
        cv.Brush().SetColor(dot);
        cv.Pen().SetColor(dot);
        cv.RequireTools();
        Ellipse(cv.Handle(), r.Left, r.Top, r.Right, r.Bottom);
    }
}

void PaintUpDownButton(TControlSubClass& s, TCanvas& cv, const TRect& r, int direction, bool hot)
{
    TFlatSkin* k = s.OwnerMenu;
    TControl& c = *s.Control;
    TColor arrow = c.Enabled() ? clBlack : clWhite, pen, fill;
    if (hot && s.MouseDown) {
        pen = k->SelectFrameColor;
        fill = k->PressedFillColor;
        arrow = clWhite;
    } else if (hot) {
        pen = k->SelectFrameColor;
        fill = Lighten(cv, k->SelectFillColor, 60);
    } else {
        fill = Lighten(cv, Tag1000(c) ? ParentColor(c) : k->SelectFillColor, k->ParentLightenNormal);
        pen = Lighten(cv, ParentColor(c), 80);
    }
    cv.Pen().SetColor(pen);
    cv.Brush().SetColor(fill);
    cv.Font().SetColor(arrow);
    // the half already shows this look: drawing it again would only flicker
    if (static_cast<COLORREF>(cv.Pixels(r.Left, r.Top)) == ColorToRGB(pen)) return;
    cv.Rectangle(r);
    cv.Pen().SetColor(arrow);
    DrawUpDownArrows(cv, r.Left + (r.Right - r.Left) / 2, r.Top + (r.Bottom - r.Top) / 2 - 2, direction);
}

void PaintUpDown(TControlSubClass& s)
{
    if (!s.OwnerMenu) return;
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    TRect r = c.ClientRect();
    int half = (r.Bottom - r.Top) / 2;
    POINT p{0, 0};
    GetCursorPos(&p);
    TPoint cursor = c.ScreenToClient({p.x, p.y});
    bool hot = c.Enabled() && s.Hot;
    PaintUpDownButton(s, cv, TRect(r.Left, r.Top, r.Right, r.Top + half), 0, hot && cursor.Y < half);
    PaintUpDownButton(s, cv, TRect(r.Left, r.Bottom - half, r.Right, r.Bottom), 1, hot && cursor.Y >= half);
}

void PaintGroupBox(TControlSubClass& s)
{
    if (s.LastMessage != WM_PAINT || !s.OwnerMenu) return;
    TControl& c = *s.Control;
    TSurface surface(c, TSurface::Client);
    TCanvas& cv = surface.Canvas();
    std::string caption = c.Caption();
    int th = cv.TextHeight(caption.empty() ? std::string(" ") : caption);
    int tw = caption.empty() ? 0 : cv.TextWidth(caption);
    TColor control = c.Color();
    TColor shadow = Shade(cv, control, 60), light = Lighten(cv, control, 60);
    bool ctl3D = dynamic_cast<TWinControl&>(c).Ctl3D();
    TRect client = c.ClientRect();
    // the native frame goes under the control's colour, then the flat one takes its place
    TRect r = Inflate(client, -1, -1);
    r.Top += th - 1;
    Outline(cv, r, control);
    r = client;
    r.Top += th / 2 - 1;
    Line(cv, r.Left + 1, r.Top, r.Left + 1, r.Bottom, control);
    SingleColourFrame(cv, r, ctl3D ? light : shadow, shadow, 1);
    r = client;
    r.Bottom = r.Top + th / 2 + 1;
    Fill(cv, r, ParentColor(c));
    bool rtl = RightToLeftReading(c);
    TRect cap;
    if (rtl) {
        cap.Right = r.Right - 9;
        cap.Left = cap.Right - tw;
    } else {
        cap.Left = r.Left + 9;
        cap.Right = cap.Left + tw;
    }
    cap.Top = r.Top;
    cap.Bottom = r.Top + th;
    TRect band = Inflate(r, -1, 0);
    band.Top = r.Bottom;
    band.Bottom = band.Top + th / 2 + 1;
    band.Left = cap.Left;
    band.Right = cap.Right;
    Fill(cv, band, control);
    Line(cv, client.Right - 2, band.Top, client.Right - 2, cap.Bottom, control);
    cv.Brush().SetStyle(bsClear);
    cv.RequireTools();
    std::wstring w = ToWide(caption);
    RECT rc = cap;
    ExtTextOutW(cv.Handle(), cap.Left, cap.Top, ETO_CLIPPED | (rtl ? ETO_RTLREADING : 0), &rc, w.data(),
                static_cast<UINT>(w.size()), nullptr);
    int y = client.Top + th / 2 + 1;
    TColor top = ctl3D ? light : shadow;
    Line(cv, client.Left, y, cap.Left, y, top);
    Line(cv, cap.Right, y, client.Right - 1, y, top);
}

void PaintPanel(TControlSubClass& s)
{
    auto* p = dynamic_cast<TCustomPanel*>(s.Control);
    if (s.LastMessage != WM_PAINT || !s.OwnerMenu || !p) return;
    if (s.PaintRegion) {
        // The frames lie within this many pixels of the edges. A paint that stayed clear of them
        // (a label's new caption, say) left them as they were drawn.
        int edge = p->BevelOuter() != bvNone ? p->BevelWidth() : 0;
        if (p->BevelInner() != bvNone) edge += p->BorderWidth() + p->BevelWidth();
        TRect inside = Inflate(p->ClientRect(), -edge, -edge);
        RECT box;
        int kind = GetRgnBox(s.PaintRegion, &box);
        if (kind == NULLREGION || (kind != ERROR && box.left >= inside.Left && box.top >= inside.Top &&
                                   box.right <= inside.Right && box.bottom <= inside.Bottom))
            return;
    }
    TSurface surface(*p, TSurface::Client);
    if (s.PaintRegion) surface.ClipTo(s.PaintRegion);
    TCanvas& cv = surface.Canvas();
    TColor shadow = Shade(cv, p->Color(), 60), light = Lighten(cv, p->Color(), 60);
    TRect r = p->ClientRect();
    auto bevel = [&](TBevelCut cut) {
        bool lowered = cut == bvLowered;
        SingleColourFrame(cv, r, lowered ? shadow : light, lowered ? light : shadow, p->BevelWidth());
    };
    if (p->BevelOuter() != bvNone) bevel(p->BevelOuter());
    if (p->BevelInner() != bvNone) {
        r = Inflate(r, -p->BorderWidth(), -p->BorderWidth());
        bevel(p->BevelInner());
    }
}
