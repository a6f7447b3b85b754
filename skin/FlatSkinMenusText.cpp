// Text, icon and selection drawing shared by menu items, tool buttons and button painters.
#include <algorithm>

#include "FlatSkinMenus.h"
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

}  // namespace

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
            TBitmap b;
            b.SetSize(TR.Width(), TR.Height());
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
    ABitmap->SetTransparentColor(clDefault);
    ABitmap->SetTransparent(true);
    ACanvas.Draw(x, y, *ABitmap);
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
