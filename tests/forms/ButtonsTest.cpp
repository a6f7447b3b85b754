// Bitmap and speed buttons: glyph placement, the cell each state shows, groups, clicks.
#include <windows.h>
#include <gtest/gtest.h>

#include "Buttons.h"
#include "Forms.h"
#include "PixelSupport.h"

namespace {

constexpr COLORREF kBack = RGB(255, 0, 255);  // bottom-left pixel: shows the face through
const COLORREF kCells[4] = {RGB(200, 0, 0), RGB(0, 160, 0), RGB(0, 0, 200), RGB(200, 200, 0)};

// A glyph strip of n cells of w by h, each filled with its colour around a transparent rim.
void MakeStrip(TBitmap& b, int n, int w, int h)
{
    b.SetSize(n * w, h);
    HDC dc = b.Canvas().Handle();
    for (int i = 0; i < n; ++i) {
        RECT all{i * w, 0, (i + 1) * w, h}, core{i * w + 2, 2, (i + 1) * w - 2, h - 2};
        HBRUSH rim = CreateSolidBrush(kBack), fill = CreateSolidBrush(kCells[i]);
        FillRect(dc, &all, rim);
        FillRect(dc, &core, fill);
        DeleteObject(rim);
        DeleteObject(fill);
    }
}

struct ButtonForm : ::testing::Test {
    TForm* Form = nullptr;
    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(20, 20, 300, 200);
        Form->SetColor(RGB(210, 220, 230));
    }
    void TearDown() override { Form->Free(); }
    TSpeedButton* Speed(int left, int group = 0)
    {
        auto* b = new TSpeedButton(Form);
        b->SetParent(Form);
        b->SetBounds(left, 10, 40, 30);
        b->SetGroupIndex(group);
        return b;
    }
    void Mouse(UINT msg, TControl* c, int x, int y)
    {
        SendMessageW(Form->Handle(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     MAKELPARAM(c->Left() + x, c->Top() + y));
    }
};

}  // namespace

TEST(ButtonGlyph, ArrangesGlyphAndCaptionByLayout)
{
    // client 100 x 40, glyph cell 16 x 12, caption 30 x 10, spacing 4
    struct Case {
        TButtonLayout layout;
        int margin;
        TRect glyph, text;
    } cases[] = {
        {blGlyphLeft, -1, Bounds(25, 14, 16, 12), Bounds(45, 15, 30, 10)},
        {blGlyphRight, -1, Bounds(59, 14, 16, 12), Bounds(25, 15, 30, 10)},
        {blGlyphTop, -1, Bounds(42, 7, 16, 12), Bounds(35, 23, 30, 10)},
        {blGlyphBottom, -1, Bounds(42, 21, 16, 12), Bounds(35, 7, 30, 10)},
        {blGlyphLeft, 3, Bounds(3, 14, 16, 12), Bounds(23, 15, 30, 10)},
        {blGlyphRight, 3, Bounds(81, 14, 16, 12), Bounds(47, 15, 30, 10)},
    };
    TButtonGlyph g;
    MakeStrip(g.Glyph(), 2, 16, 12);
    g.SetNumGlyphs(2);
    for (const Case& c : cases) {
        g.SetLayout(c.layout);
        g.SetMargin(c.margin);
        TRect gr, tr;
        g.Arrange(Rect(0, 0, 100, 40), 30, 10, gr, tr);
        EXPECT_EQ(gr, c.glyph) << "layout " << c.layout << " margin " << c.margin;
        EXPECT_EQ(tr, c.text) << "layout " << c.layout << " margin " << c.margin;
    }
    // no caption: no spacing, the glyph alone is centred
    g.SetLayout(blGlyphLeft);
    g.SetMargin(-1);
    TRect gr, tr;
    g.Arrange(Rect(0, 0, 100, 40), 0, 0, gr, tr);
    EXPECT_EQ(gr, Bounds(42, 14, 16, 12));
}

TEST_F(ButtonForm, SpeedButtonGroupsKeepOneDown)
{
    auto* a = Speed(10, 1);
    auto* b = Speed(60, 1);
    auto* lone = Speed(110);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    lone->SetDown(true);
    EXPECT_FALSE(lone->Down()) << "a button of no group never stays down";
    a->SetDown(true);
    b->Click();
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(clicks, 1);
    b->Click();  // without AllowAllUp the down button stays down
    b->SetDown(false);
    EXPECT_TRUE(b->Down());
    a->SetAllowAllUp(true);  // shared by the group
    EXPECT_TRUE(b->AllowAllUp());
    b->Click();
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(clicks, 3);
}

TEST_F(ButtonForm, SpeedButtonClicksOnlyWhenReleasedOverIt)
{
    auto* b = Speed(10);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    Form->Show();
    Mouse(WM_LBUTTONDOWN, b, 5, 5);
    Mouse(WM_LBUTTONUP, b, 6, 6);
    EXPECT_EQ(clicks, 1);
    Mouse(WM_LBUTTONDOWN, b, 5, 5);
    b->Perform(CM_MOUSELEAVE);
    Mouse(WM_LBUTTONUP, b, 6, 6);
    EXPECT_EQ(clicks, 1) << "the press ended when the mouse left";
    b->SetEnabled(false);
    Mouse(WM_LBUTTONDOWN, b, 5, 5);
    Mouse(WM_LBUTTONUP, b, 6, 6);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonForm, SpeedButtonShowsTheCellOfItsState)
{
    auto* b = Speed(10, 1);
    b->SetAllowAllUp(true);
    b->SetTransparent(false);
    MakeStrip(b->Glyph(), 4, 16, 16);
    b->SetNumGlyphs(4);
    Form->Show();
    struct Case {
        const char* state;
        std::function<void()> set;
        COLORREF cell;
    } cases[] = {
        {"up", [] {}, kCells[0]},
        {"pressed", [&] { Mouse(WM_LBUTTONDOWN, b, 5, 5); }, kCells[2]},
        {"down", [&] { Mouse(WM_LBUTTONUP, b, 5, 5); }, kCells[3]},
        {"disabled", [&] { b->SetEnabled(false); }, kCells[1]},
    };
    for (const Case& c : cases) {
        c.set();
        TPixels p = TPixels::Of(*b);
        // the cell's middle, wherever the state shifts it by a pixel
        EXPECT_EQ(p.Count(Rect(16, 11, 24, 19), c.cell), 64) << c.state;
        EXPECT_EQ(p.Count(Rect(0, 0, 40, 30), kBack), 0) << c.state << ": the rim shows through";
    }
}

TEST_F(ButtonForm, BitBtnDrawsItsGlyphAndStillClicks)
{
    auto* b = new TBitBtn(Form);
    b->SetParent(Form);
    b->SetBounds(10, 10, 100, 40);
    b->SetCaption("");
    MakeStrip(b->Glyph(), 1, 16, 16);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    Form->Show();
    b->SetDefault(true);
    EXPECT_EQ(GetWindowLongW(b->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    TPixels p = TPixels::Client(b->Handle());
    EXPECT_EQ(p.Count(Rect(44, 14, 56, 26), kCells[0]), 144) << "glyph centred in the face";
    EXPECT_EQ(p.Count(Rect(0, 0, 100, 40), kBack), 0);
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
}
