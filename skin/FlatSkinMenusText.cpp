// Text, icon and selection drawing shared by menu items, tool buttons and button painters.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

#include "FlatSkinMenus.h"
#include "ImgList.h"
#include "Menus.h"
#include "ToolWin.h"

namespace {

// DrawTextEx with the canvas's font and colour, on a transparent background.
void DrawTextTransparent(TCanvas& c, const std::string& text, TRect r, UINT format)
{
    if (!c.Handle()) return;
    c.RequireTools();
    SetBkMode(c.Handle(), TRANSPARENT);
    std::wstring w = ToWide(text);
    RECT rc = r;
    DrawTextExW(c.Handle(), w.data(), static_cast<int>(w.size()), &rc, format, nullptr);
}

// Draws the bitmap at x, y leaving out the colour of its bottom-left pixel. Icon-sized pictures
// are merged in memory: the system's transparent copy costs far more than the icon itself.
void DrawTransparent(TCanvas& ACanvas, int x, int y, TBitmap& b)
{
    const int w = b.Width(), h = b.Height();
    HDC dst = ACanvas.Handle();
    static TBitmap under;
    if (under.Width() < w || under.Height() < h) under.SetSize(std::max(under.Width(), w), std::max(under.Height(), h));
    GdiFlush();
    int ss = 0, us = 0;
    uint32_t* src = Pixels32(b.Canvas().Handle(), ss);
    uint32_t* mix = Pixels32(under.Canvas().Handle(), us);
    if (!src || !mix) {
        const COLORREF clear = GetPixel(b.Canvas().Handle(), 0, h - 1);
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col) {
                COLORREF p = GetPixel(b.Canvas().Handle(), col, row);
                if (p != clear) SetPixelV(dst, x + col, y + row, p);
            }
        return;
    }
    BitBlt(under.Canvas().Handle(), 0, 0, w, h, dst, x, y, SRCCOPY);
    GdiFlush();
    const uint32_t clear = src[(h - 1) * ss] & 0xFFFFFF;
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            uint32_t p = src[row * ss + col] & 0xFFFFFF;
            if (p != clear) mix[row * us + col] = p;
        }
    BitBlt(dst, x, y, w, h, under.Canvas().Handle(), 0, 0, SRCCOPY);
}

}  // namespace

uint32_t* Pixels32(HDC dc, int& stride, int* width, int* height)
{
    HBITMAP b = dc ? static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP)) : nullptr;
    DIBSECTION ds{};
    if (!b || GetObjectW(b, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits || ds.dsBmih.biBitCount != 32)
        return nullptr;
    const int w = ds.dsBm.bmWidth, h = std::abs(ds.dsBm.bmHeight);
    if (w <= 0 || h <= 0) return nullptr;
    auto* bits = static_cast<uint32_t*>(ds.dsBm.bmBits);
    const int rowWords = ds.dsBm.bmWidthBytes / 4;
    // which way the rows run: the reported height does not always tell, the pixels do
    COLORREF kept = GetPixel(dc, 0, 0);
    SetPixelV(dc, 0, 0, RGB(1, 2, 3));
    GdiFlush();
    bool topDown = (bits[0] & 0xFFFFFF) == 0x010203;
    bool bottomUp = !topDown && (bits[static_cast<size_t>(h - 1) * rowWords] & 0xFFFFFF) == 0x010203;
    SetPixelV(dc, 0, 0, kept);
    GdiFlush();
    if (!topDown && !bottomUp) return nullptr;
    if (width) *width = w;
    if (height) *height = h;
    stride = topDown ? rowWords : -rowWords;
    return topDown ? bits : bits + static_cast<size_t>(h - 1) * rowWords;
}

TBitmap& ItemScratch(int w, int h)
{
    static TBitmap b;
    if (b.Width() < w || b.Height() < h) b.SetSize(std::max(b.Width(), w), std::max(b.Height(), h));
    return b;
}

TBitmap& IconScratch(int w, int h)
{
    static std::map<std::pair<int, int>, std::unique_ptr<TBitmap>> cache;
    auto& slot = cache[{w, h}];
    if (!slot) {
        slot = std::make_unique<TBitmap>();
        slot->SetSize(w, h);
    }
    TCanvas& c = slot->Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clWhite);
    c.FillRect(TRect(0, 0, w, h));
    slot->SetTransparent(false);
    slot->SetTransparentColor(clDefault);
    return *slot;
}

TBitmap& ImageListIcon(TCustomImageList* List, int Index)
{
    struct Key {
        unsigned id, stamp;
        int index;
        bool operator<(const Key& o) const
        {
            return std::tie(id, stamp, index) < std::tie(o.id, o.stamp, o.index);
        }
    };
    static std::map<Key, std::unique_ptr<TBitmap>> drawn;
    const int w = List->Width(), h = List->Height();
    Key key{List->Id(), List->ChangeStamp(), Index};
    auto it = drawn.find(key);
    if (it == drawn.end()) {
        if (drawn.size() > 256) drawn.clear();
        auto b = std::make_unique<TBitmap>();
        b->SetSize(w, h);  // white, as the scratch copy starts
        b->Canvas().Brush().SetColor(b->Canvas().Pixels(0, h - 1));
        b->Canvas().FillRect(TRect(0, 0, w, h));
        ImageList_DrawEx(List->Handle(), Index, b->Canvas().Handle(), 0, 0, 0, 0, 0x1FFFFFFF,
                         0x1FFFFFFF, ILD_TRANSPARENT);
        it = drawn.emplace(key, std::move(b)).first;
    }
    TBitmap& I = IconScratch(w, h);
    BitBlt(I.Canvas().Handle(), 0, 0, w, h, it->second->Canvas().Handle(), 0, 0, SRCCOPY);
    return I;
}

TColor TextColorForBackground(TFlatSkin& Skin, TCanvas&, TColor Background)
{
    COLORREF c = ColorToRGB(Background);
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if ((r + b) / 2 > 150 || g > 200) return Skin.Font().Color();
    return LightenColor(nullptr, static_cast<TColor>(c), 90);
}

void DrawMenuItemText(TFlatSkin& Skin, TComponent* AComponent, const std::string& Text,
                      UINT Format, TFont& AFont, bool RightToLeft, bool IsBarItem, bool Default,
                      bool Enabled, bool Selected, TRect TR, TCanvas& ACanvas,
                      const std::string& ShortCutText)
{
    Format |= DT_EXPANDTABS;
    TColor colour = AFont.Color();
    ACanvas.Font().Assign(AFont);
    if (Selected) colour = Skin.SelectTextColor;
    if (!Enabled) {
        colour = Skin.DisabledTextColor;
        if (dynamic_cast<TToolButton*>(AComponent)) {
            // drawn off-screen on the canvas's own background, then copied in one block
            TR.Top += (TR.Height() - ACanvas.TextHeight("W")) / 2;
            if (TR.Width() <= 0 || TR.Height() <= 0) return;
            TBitmap& b = ItemScratch(TR.Width(), TR.Height());
            b.Canvas().Brush().SetColor(ACanvas.Brush().Color());
            b.Canvas().FillRect(TRect(0, 0, TR.Width(), TR.Height()));
            b.Canvas().Font().Assign(AFont);
            b.Canvas().Font().SetColor(colour);
            DrawTextTransparent(b.Canvas(), Text, TRect(0, 0, TR.Width(), TR.Height()),
                                Format | DT_VCENTER);
            BitBlt(ACanvas.Handle(), TR.Left, TR.Top, TR.Width(), TR.Height(),
                   b.Canvas().Handle(), 0, 0, SRCCOPY);
            return;
        }
    }
    if (IsBarItem && Selected && Skin.UseSystemColors())
        colour = TextColorForBackground(Skin, ACanvas, Skin.IconColumnColor);
    ACanvas.Font().SetColor(colour);
    if (Default && Enabled) {
        // the embossed look: four shaded copies behind the text
        struct Copy {
            int dl, dt, dr, n;
        } copies[] = {{1, 0, 0, 30}, {1, 2, 1, 30}, {0, 1, 0, 40}, {1, 1, 1, 60}};
        for (const Copy& k : copies) {
            TRect r(TR.Left + k.dl, TR.Top + k.dt, TR.Right + k.dr, TR.Bottom);
            ACanvas.Font().SetColor(ShadeColor(&ACanvas, ACanvas.Pixels(r.Left, r.Top), k.n));
            DrawTextTransparent(ACanvas, Text, r, Format);
        }
        ACanvas.Font().SetColor(colour);
    }
    DrawTextTransparent(ACanvas, Text, TR, Format);
    TRect sc = TR;
    UINT scFormat;
    if (RightToLeft) {
        // the short cut sits on the far side from the caption
        sc.Left += 10;
        scFormat = DT_LEFT;
    } else {
        sc.Right -= 10;
        scFormat = DT_RIGHT;
    }
    DrawTextTransparent(ACanvas, ShortCutText + " ", sc, scFormat);
}

void DrawMenuItemIcon(TFlatSkin& Skin, TComponent* AComponent, TCanvas& ACanvas, bool RightToLeft,
                      bool IsBarItem, bool Checked, bool Enabled, bool Pressed, bool Highlighted,
                      TRect IR, TBitmap* ABitmap)
{
    if (!ABitmap || ABitmap->Width() <= 0) return;
    int bw = ABitmap->Width();
    int x = IR.Left, y = IR.Top + 1;
    if (dynamic_cast<TMenuItem*>(AComponent)) {
        y += 2;
        if (bw < Skin.IconWidth())
            x = IR.Left + (Skin.IconWidth() - bw) / 2 - 1;
        else
            x = RightToLeft ? IR.Right - bw - 2 : IR.Left + 2;
    }
    if (IsBarItem) x = RightToLeft ? IR.Right - bw - 5 : IR.Left + 1;
    if (Highlighted && IsBarItem && Enabled && !Pressed) {
        x -= 1;
        y -= 2;
    }
    if (Highlighted && !IsBarItem && Enabled && !Checked && !Pressed) {
        x -= 1;
        y -= 1;
    }
    if (!Highlighted && Enabled && !Checked && Skin.HighColor) DimBitmapFilter(*ABitmap, Skin.DimLevel());
    if (!Enabled) {
        GrayBitmapFilter(*ABitmap, Skin.GrayLevel());
        DimBitmapFilter(*ABitmap, 40);
    }
    if (Highlighted && Enabled && !Checked) {
        TColor base = Skin.HighColor && !Skin.UseSystemColors() && dynamic_cast<TToolButton*>(AComponent)
                          ? LightenColor(&ACanvas, Skin.SelectColor(), 68)
                          : Skin.SelectFillColor;
        DrawImageShadow(*ABitmap, ACanvas, x + 2, y + 2, ShadeColor(&ACanvas, base, 50));
    }
    DrawTransparent(ACanvas, x, y, *ABitmap);
}

void DrawMenuBarSelection(TFlatSkin& Skin, TComponent* AComponent, TCanvas& ACanvas,
                          bool RightToLeft, TColor BackColor, TRect R)
{
    const int L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;
    auto line = [&](std::initializer_list<TPoint> pts) {
        auto it = pts.begin();
        ACanvas.MoveTo(it->X, it->Y);
        for (++it; it != pts.end(); ++it) ACanvas.LineTo(it->X, it->Y);
    };
    auto fill = [&](TRect r, TColor c) {
        ACanvas.Brush().SetColor(c);
        ACanvas.Pen().SetColor(c);
        ACanvas.FillRect(r);
    };
    ACanvas.Brush().SetStyle(bsSolid);
    ACanvas.Brush().SetColor(Skin.SelectFillColor);
    ACanvas.FillRect(R);
    ACanvas.Pen().SetColor(Skin.SelectFrameColor);
    if (dynamic_cast<TMenuItem*>(AComponent) && Skin.HighColor && !RightToLeft) {
        // the shadowed look: a soft shadow of four steps on the right
        line({{L, B - 1}, {L, T}, {Rt - 8, T}, {Rt - 8, B}});
        TColor base = Skin.BarColor;
        fill(TRect(Rt - 7, T, Rt, B), ShadeColor(&ACanvas, base, 10));
        fill(TRect(Rt - 7, T + 3, Rt - 2, B), ShadeColor(&ACanvas, base, 30));
        fill(TRect(Rt - 7, T + 5, Rt - 3, B), ShadeColor(&ACanvas, base, 60));
        fill(TRect(Rt - 7, T + 6, Rt - 5, B), ShadeColor(&ACanvas, base, 100));
        ACanvas.Pen().SetColor(base);
        line({{Rt - 5, T + 1}, {Rt - 1, T + 1}, {Rt - 1, T + 6}});
        line({{Rt - 3, T + 2}, {Rt - 2, T + 2}, {Rt - 2, T + 3}, {Rt - 3, T + 3}});
        ACanvas.Pen().SetColor(ShadeColor(&ACanvas, base, 10));
        line({{Rt - 6, T + 3}, {Rt - 3, T + 3}, {Rt - 3, T + 6}, {Rt - 4, T + 6}, {Rt - 4, T + 3}});
        ACanvas.Pen().SetColor(ShadeColor(&ACanvas, base, 30));
        line({{Rt - 5, T + 5}, {Rt - 4, T + 5}, {Rt - 4, T + 9}});
        ACanvas.Pen().SetColor(ShadeColor(&ACanvas, base, 40));
        line({{Rt - 6, T + 5}, {Rt - 6, T + 7}});
    } else {
        line({{L, B - 1}, {L, T}, {Rt - 3, T}, {Rt - 3, B}});
        fill(TRect(Rt - 2, T + 2, Rt, B), ShadeColor(&ACanvas, BackColor, 70));
        fill(TRect(Rt - 2, T, Rt, T + 2), BackColor);
    }
}
