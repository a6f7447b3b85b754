// Colour arithmetic against values worked out by hand, system colours included, and the
// bitmap filters and glyphs pixel by pixel.
#include <gtest/gtest.h>

#include "FlatSkin.h"

namespace {

struct ColorCase {
    const char* what;
    TColor got;
    TColor want;
};

TEST(SkinColors, ArithmeticMatchesHandWorkedValues)
{
    const ColorCase cases[] = {
        {"shade white by 50", ShadeColor(nullptr, 0xFFFFFF, 50), 0xCDCFCD},
        {"shade 646464 by 1", ShadeColor(nullptr, 0x646464, 1), 0x636563},
        {"shade white by 0: green clamped", ShadeColor(nullptr, 0xFFFFFF, 0), 0xFFFFFF},
        {"shade to black", ShadeColor(nullptr, 0x0A000A, 20), 0x000000},
        {"shade by a negative value lightens, clamped", ShadeColor(nullptr, 0xF0F0F0, -20), 0xFFFFFF},
        {"lighten black by 50: half to even", LightenColor(nullptr, 0x000000, 50), 0x808080},
        {"lighten by 0", LightenColor(nullptr, 0x123456, 0), 0x123456},
        {"lighten by 100", LightenColor(nullptr, 0x123456, 100), 0xFFFFFF},
        {"lighten by 150 counts as 100", LightenColor(nullptr, 0x123456, 150), 0xFFFFFF},
        {"lighten 60/80/160 by 30 in extended precision", LightenColor(nullptr, 0xA0503C, 30), 0xBD8577},
        {"lighten 0/10/100 by 25", LightenColor(nullptr, 0x640A00, 25), 0x8B4740},
        {"lighten black by 30: 76.5 stays a tie", LightenColor(nullptr, clBlack, 30), 0x4C4C4C},
        {"gray of white capped at 240", GrayOfColor(nullptr, 0xFFFFFF, 10), 0xF0F0F0},
        {"gray of 30/60/90 plus 10", GrayOfColor(nullptr, 0x5A3C1E, 10), 0x464646},
        {"gray truncates the mean", GrayOfColor(nullptr, 0x000102, 0), 0x010101},
        {"average of white and black", AverageColor({clWhite, clBlack}), 0x7F7F7F},
        {"average truncates each share", AverageColor({0x010101, 0x010101}), 0x000000},
        {"average of three", AverageColor({0x0000FF, 0x00FF00, 0xFF0000}), 0x555555},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(SkinColors, SystemColoursAreResolvedFirst)
{
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    int r = face & 0xFF, g = (face >> 8) & 0xFF, b = (face >> 16) & 0xFF;
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    EXPECT_EQ(ShadeColor(nullptr, clBtnFace, 90),
              TColor(clamp(r - 90) | clamp(g - 88) << 8 | clamp(b - 90) << 16));
    int m = (r + g + b) / 3 + 5;
    if (m > 240) m = 240;
    EXPECT_EQ(GrayOfColor(nullptr, clBtnFace, 5), TColor(m | m << 8 | m << 16));
    EXPECT_EQ(LightenColor(nullptr, clBtnFace, 0), TColor(face));
    EXPECT_EQ(AverageColor({clBtnFace}), TColor(face));
}

// A small bitmap from rows of colours.
void Fill(TBitmap& b, std::initializer_list<std::initializer_list<TColor>> rows)
{
    b.SetSize(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()));
    int y = 0;
    for (auto& row : rows) {
        int x = 0;
        for (TColor c : row) b.Canvas().SetPixels(x++, y, c);
        ++y;
    }
}

std::vector<TColor> PixelsOf(TCanvas& c, int w, int h)
{
    std::vector<TColor> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.push_back(c.Pixels(x, y));
    return v;
}

TEST(SkinColors, FiltersChangeEveryPixel)
{
    TBitmap b;
    Fill(b, {{clBlack, clBlack, clWhite}, {0x5A3C1E, clBlack, 0x5A3C1E}});
    GrayBitmapFilter(b, 10);
    EXPECT_EQ(PixelsOf(b.Canvas(), 3, 2),
              (std::vector<TColor>{0x0A0A0A, 0x0A0A0A, 0xF0F0F0, 0x464646, 0x0A0A0A, 0x464646}));

    Fill(b, {{clBlack, 0xA0503C}, {clBlack, clWhite}});
    DimBitmapFilter(b, 30);
    EXPECT_EQ(PixelsOf(b.Canvas(), 2, 2),
              (std::vector<TColor>{0x4C4C4C, 0xBD8577, 0x4C4C4C, 0xFFFFFF}));
    DimBitmapFilter(b, 250);  // above 100 counts as 100
    EXPECT_EQ(PixelsOf(b.Canvas(), 2, 2), (std::vector<TColor>(4, clWhite)));
}

// A white canvas to draw glyphs on, read back as text: '#' where the pen drew.
struct Sheet {
    TBitmap b;
    Sheet() { b.SetSize(24, 24); }
    std::string Row(int y)
    {
        std::string s;
        for (int x = 0; x < b.Width(); ++x) s += b.Canvas().Pixels(x, y) == clWhite ? '.' : '#';
        return s;
    }
    std::vector<std::string> Rows(int from, int to)
    {
        std::vector<std::string> v;
        for (int y = from; y <= to; ++y) v.push_back(Row(y).substr(0, 16));
        return v;
    }
};

TEST(SkinColors, ImageShadowLeavesOutTheBottomLeftColour)
{
    TBitmap icon;
    // bottom-left is red: every red pixel is transparent, wherever it lies
    Fill(icon, {{clRed, clBlue, clRed}, {clGreen, clRed, clWhite}, {clRed, clBlack, clRed}});
    Sheet s;
    DrawImageShadow(icon, s.b.Canvas(), 2, 1, clBlack);
    EXPECT_EQ(s.Rows(0, 4), (std::vector<std::string>{
                                "................",
                                "...#............",
                                "..#.#...........",
                                "...#............",
                                "................",
                            }));
    EXPECT_EQ(icon.Canvas().Pixels(1, 0), clBlue);  // the bitmap itself stays
}

TEST(SkinColors, GlyphsDrawTheirLines)
{
    Sheet a;
    DrawSubmenuArrow(a.b.Canvas(), 3, 2);
    EXPECT_EQ(a.Rows(1, 5), (std::vector<std::string>{
                                "................",
                                "...#####........",
                                "....##..........",  // the lines slant up to y
                                ".....#..........",
                                "................",
                            }));
    Sheet up;
    DrawUpDownArrows(up.b.Canvas(), 6, 4, 0);
    EXPECT_EQ(up.Rows(2, 9), (std::vector<std::string>{
                                 "................",
                                 "................",
                                 "......#.........",
                                 ".....###........",
                                 "....#####.......",
                                 "...###.###......",  // no line reaches the middle
                                 "................",
                                 "................",
                             }));
    Sheet down;
    DrawUpDownArrows(down.b.Canvas(), 6, 4, 1);
    EXPECT_EQ(down.Rows(2, 9), (std::vector<std::string>{
                                   "................",
                                   "................",
                                   "...###.###......",
                                   "....#####.......",
                                   ".....###........",
                                   "......#.........",
                                   "................",
                                   "................",
                               }));
    Sheet none;
    DrawUpDownArrows(none.b.Canvas(), 6, 4, 2);
    EXPECT_EQ(none.Rows(0, 23), std::vector<std::string>(24, "................"));
    Sheet tick;
    DrawTickMark(tick.b.Canvas(), 1, 12);
    EXPECT_EQ(tick.Rows(2, 9), (std::vector<std::string>{
                                   "................",
                                   ".........#......",
                                   "........##......",
                                   "...#...###......",
                                   "...##.###.......",
                                   "...#####........",
                                   "....###.........",
                                   ".....#..........",
                               }));
}

}  // namespace
