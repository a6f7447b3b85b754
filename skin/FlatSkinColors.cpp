// Colour arithmetic, bitmap filters and small glyphs on which all drawing of the skin rests.
#include <cmath>

#include "FlatSkin.h"

namespace {

int Red(COLORREF c) { return static_cast<int>(c & 0xFF); }
int Green(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }
TColor Compose(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Runs of equal pixels share one computation: icons are mostly runs.
template <class F> void FilterPixels(TBitmap& bmp, F compute)
{
    TCanvas& c = bmp.Canvas();
    bool have = false;
    TColor last = 0, result = 0;
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) {
            TColor p = c.Pixels(x, y);
            if (!have || p != last) {
                result = compute(p);
                last = p;
                have = true;
            }
            c.SetPixels(x, y, result);
        }
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2)
{
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

}  // namespace

TColor ShadeColor(TCanvas*, TColor AColor, int32_t Value)
{
    COLORREF c = ColorToRGB(AColor);
    return Compose(Clamp(Red(c) - Value), Clamp(Green(c) - Value + 2), Clamp(Blue(c) - Value));
}

TColor AverageColor(const std::vector<TColor>& Colors)
{
    int n = static_cast<int>(Colors.size());
    if (n == 0) return clBlack;
    int r = 0, g = 0, b = 0;
    for (TColor x : Colors) {
        COLORREF c = ColorToRGB(x);
        r += Red(c) / n;
        g += Green(c) / n;
        b += Blue(c) / n;
    }
    return Compose(r, g, b);
}

TColor AverageColor(std::initializer_list<TColor> Colors)
{
    return AverageColor(std::vector<TColor>(Colors));
}

TColor LightenColor(TCanvas*, TColor AColor, int32_t Percent)
{
    if (Percent > 100) Percent = 100;
    // Extended precision on purpose: a few products that would end in exactly .5 lie just
    // above it, and the results must match those of that arithmetic.
    volatile long double x = static_cast<long double>(Percent) / 100.0L;
    COLORREF c = ColorToRGB(AColor);
    auto move = [&](int v) {
        long double d = static_cast<long double>(255 - v) * x;
        return v + static_cast<int>(std::nearbyintl(d));
    };
    return Compose(move(Red(c)), move(Green(c)), move(Blue(c)));
}

TColor GrayOfColor(TCanvas*, TColor AColor, int32_t Value)
{
    COLORREF c = ColorToRGB(AColor);
    int g = (Red(c) + Green(c) + Blue(c)) / 3 + Value;
    if (g > 240) g = 240;
    return Compose(g, g, g);
}

void GrayBitmapFilter(TBitmap& ABitmap, int32_t Value)
{
    FilterPixels(ABitmap, [&](TColor p) { return GrayOfColor(nullptr, p, Value); });
}

void DimBitmapFilter(TBitmap& ABitmap, int32_t Percent)
{
    if (Percent > 100) Percent = 100;
    FilterPixels(ABitmap, [&](TColor p) { return LightenColor(nullptr, p, Percent); });
}

void DrawImageShadow(TBitmap& ABitmap, TCanvas& ACanvas, int32_t X, int32_t Y, TColor AColor)
{
    if (ABitmap.Width() <= 0 || ABitmap.Height() <= 0) return;
    TCanvas& src = ABitmap.Canvas();
    TColor transparent = src.Pixels(0, ABitmap.Height() - 1);
    for (int y = 0; y < ABitmap.Height(); ++y)
        for (int x = 0; x < ABitmap.Width(); ++x)
            if (src.Pixels(x, y) != transparent) ACanvas.SetPixels(X + x, Y + y, AColor);
}

void DrawSubmenuArrow(TCanvas& ACanvas, int32_t X, int32_t Y)
{
    Line(ACanvas, X, Y, X + 5, Y);
    Line(ACanvas, X + 1, Y + 1, X + 4, Y);
    Line(ACanvas, X + 2, Y + 2, X + 3, Y);
}

void DrawUpDownArrows(TCanvas& ACanvas, int32_t X, int32_t Y, int32_t Direction)
{
    if (Direction == 0) {
        Line(ACanvas, X, Y, X, Y - 1);
        Line(ACanvas, X + 1, Y + 1, X + 4, Y + 4);
        Line(ACanvas, X, Y + 1, X + 3, Y + 4);
        Line(ACanvas, X, Y + 2, X + 2, Y + 4);
        Line(ACanvas, X - 1, Y + 1, X - 4, Y + 4);
        Line(ACanvas, X, Y + 2, X - 3, Y + 4);
        Line(ACanvas, X, Y + 1, X - 2, Y + 4);
    } else if (Direction == 1) {
        Line(ACanvas, X, Y + 3, X, Y + 4);
        Line(ACanvas, X + 1, Y + 2, X + 4, Y - 1);
        Line(ACanvas, X, Y + 2, X + 3, Y - 1);
        Line(ACanvas, X, Y + 1, X + 2, Y);
        Line(ACanvas, X - 1, Y + 2, X - 4, Y - 1);
        Line(ACanvas, X, Y + 2, X - 3, Y - 1);
        Line(ACanvas, X, Y + 1, X - 2, Y);
    }
}

void DrawTickMark(TCanvas& ACanvas, int32_t X, int32_t Y)
{
    for (int k = 0; k < 3; ++k) {
        TPoint p[3] = {{X + 2, Y - 5 - k}, {X + 4, Y - 3 - k}, {X + 9, Y - 8 - k}};
        ACanvas.Polyline(p, 3);
    }
}
