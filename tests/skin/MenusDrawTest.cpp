// Menu items, popup borders, tool buttons and control bar bands as the skin draws them: sizes
// and pixels at the places the drawing fixes.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FlatSkin.h"
#include "FlatSkinMenus.h"
#include "ImgList.h"
#include "Menus.h"
#include "ToolWin.h"

namespace {

// A picture of one colour with a square of another inside (4 pixels in from each side).
void Picture(TBitmap& b, int w, int h, TColor back, TColor square)
{
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(back);
    b.Canvas().FillRect(TRect(0, 0, w, h));
    b.Canvas().Brush().SetColor(square);
    b.Canvas().FillRect(TRect(4, 4, w - 4, h - 4));
}

// A form with a skin of distinct colours (no system colours), a popup menu and a main menu.
class SkinFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(30, 30, 420, 300);
        Skin = new TFlatSkin(Form);
        Skin->SetUseSystemColors(false);
        Skin->SetUseDimColor(true);
        Skin->SetColor(0xF0E8E0);
        Skin->SetIconBackColor(0xD0C8C0);
        Skin->SetMenuBarColor(0xC8D0D8);
        Skin->SetSelectColor(0x804020);
        Skin->SetSelectBorderColor(0x402010);
        Skin->SetSeparatorColor(0x606060);
        Skin->SetCheckedColor(0x0000A0);
        Skin->SetDisabledColor(0x909090);
        Skin->IsWindowsXP = false;
        Popup = new TPopupMenu(Form);
        Main = new TMainMenu(Form);
        Images = new TImageList(Form);
        TBitmap pic;
        Picture(pic, 16, 16, clLime, clBlue);
        Images->AddMasked(pic, clLime);
        Dest.SetSize(240, 60);
        Clear();
        Skin->ComputeDerivedColors(Dest.Canvas());
    }
    void TearDown() override { Form->Free(); }

    TMenuItem* Add(TMenu* m, const std::string& caption)
    {
        auto* i = new TMenuItem(Form);
        i->SetCaption(caption);
        m->Items()->Add(i);
        return i;
    }
    void Clear()
    {
        Dest.Canvas().Brush().SetColor(clWhite);
        Dest.Canvas().FillRect(TRect(0, 0, Dest.Width(), Dest.Height()));
    }
    TColor At(int x, int y) { return Dest.Canvas().Pixels(x, y); }
    TColor Rgb(TColor c) { return static_cast<TColor>(ColorToRGB(c)); }

    TForm* Form = nullptr;
    TFlatSkin* Skin = nullptr;
    TPopupMenu* Popup = nullptr;
    TMainMenu* Main = nullptr;
    TImageList* Images = nullptr;
    TBitmap Dest;
};

}  // namespace

TEST_F(SkinFixture, MeasureFollowsTheFontInUse)
{
    Skin->SetActive(true);
    auto* sub = Add(Popup, "Вложенное");
    auto* child = new TMenuItem(Form);
    child->SetCaption("x");
    sub->Add(child);
    auto* shortcut = Add(Popup, "Сохранить");
    shortcut->SetShortCut(ShortCut('S', ssCtrl));
    auto* amp = Add(Popup, "&Открыть");
    auto* icon = Add(Popup, "Значок");
    TImageList tall(nullptr);
    tall.SetWidth(32);
    tall.SetHeight(20);
    TBitmap pic;
    Picture(pic, 32, 20, clLime, clRed);
    tall.AddMasked(pic, clLime);
    Popup->SetImages(&tall);
    icon->SetImageIndex(0);
    auto* line = Add(Popup, "-");
    auto* bar = Add(Main, "Файл");

    TCanvas& c = Dest.Canvas();
    c.Font().Assign(Skin->Font());
    int th = c.TextHeight("Значок");
    int plainH = th + static_cast<int>(std::nearbyint(0.75 * th));
    struct Case {
        TMenuItem* item;
        int width, height;
    } cases[] = {
        {sub, c.TextWidth("Вложенное") + 5 + 6 + 24, plainH},
        {shortcut, c.TextWidth("СохранитьCtrl+SWWW") + 5 + 24, plainH},
        {amp, c.TextWidth("&Открыть") + 5 - c.TextWidth("&") + 24, plainH},
        {icon, c.TextWidth("Значок") + 5 + 32, std::max(plainH, 26)},
        {line, 5 + 24, 4},
        {bar, c.TextWidth("Файл") + 5, plainH},
    };
    for (const Case& k : cases) {
        int w = 0, h = 0;
        Skin->MeasureItem(k.item, &c, w, h);
        EXPECT_EQ(w, k.width) << k.item->Caption();
        EXPECT_EQ(h, k.height) << k.item->Caption();
        // the given size only grows
        w = 1000;
        h = 2;
        Skin->MeasureItem(k.item, &c, w, h);
        EXPECT_EQ(w, 1000) << k.item->Caption();
        EXPECT_EQ(h, k.item == line ? 4 : k.height) << k.item->Caption();
    }
    Skin->SetActive(false);
    int w = 0, h = 0;
    Skin->MeasureItem(sub, &c, w, h);
    EXPECT_EQ(w + h, 0);
    Popup->SetImages(nullptr);
}

TEST_F(SkinFixture, PopupItemPixels)
{
    Popup->SetImages(Images);
    const TRect A(10, 5, 170, 28);  // the item's rectangle on the destination
    const int mid = A.Top + A.Height() / 2;
    const int icon = A.Left;        // the icon column starts at the rectangle's left
    struct Case {
        const char* what;
        const char* caption;
        bool selected, enabled, checked, radio, withIcon, rtl;
        std::vector<std::pair<TPoint, TColor>> pixels;
        bool ownBitmap = false, gradient = false;
    };
    const TColor back = Skin->ItemBackColor, column = Skin->IconColumnColor;
    const TColor fill = Skin->SelectFillColor, frame = Skin->SelectFrameColor;
    // 10 x 10 check box centred in the icon column, which reaches one row below the item
    const int boxL = icon + 7, boxT = A.Top + (A.Height() + 1 - 10) / 2;
    const int iconX = icon + 3, iconY = A.Top + 3;                      // 16 x 16 icon
    const Case cases[] = {
        {"plain", "Пункт", false, true, false, false, false, false,
         {{{A.Left - 4, mid}, back}, {{icon + 1, mid}, column}, {{icon + 23, mid}, column},
          {{icon + 24, A.Top}, back}, {{A.Right - 2, mid}, back}}},
        {"selected", "Пункт", true, true, false, false, false, false,
         {{{A.Right - 3, mid}, fill}, {{A.Right - 3, A.Top + 1}, frame}, {{A.Right - 3, A.Top}, back},
          {{A.Left, A.Bottom - 2}, frame}}},
        {"selected but disabled", "Пункт", true, false, false, false, false, false,
         {{{A.Right - 3, mid}, back}, {{A.Right - 3, A.Top + 1}, back}}},
        {"separator", "-", false, true, false, false, false, false,
         {{{icon + 24 + 7, A.Top + 12}, Skin->SeparatorLineColor},
          {{icon + 24 + 6, A.Top + 12}, back},
          {{A.Right - 1, A.Top + 12}, Skin->SeparatorLineColor},
          {{icon + 40, A.Top + 11}, back}}},
        {"checked", "Флаг", false, true, true, false, false, false,
         {{{boxL, boxT + 5}, Skin->CheckMarkColor}, {{boxL + 1, boxT + 1}, Skin->CheckedFillColor},
          {{boxL + 11, boxT}, clBlack}, {{boxL + 4, boxT + 7}, clBlack}}},
        {"checked and selected", "Флаг", true, true, true, false, false, false,
         {{{boxL + 1, boxT + 1}, Skin->PressedFillColor}}},
        {"radio", "Один", false, true, true, true, false, false,
         {{{boxL + 5, boxT + 5}, frame}, {{boxL + 1, boxT + 5}, Skin->CheckedFillColor}}},
        {"icon, dimmed", "Значок", false, true, false, false, true, false,
         {{{iconX + 8, iconY + 8}, LightenColor(nullptr, clBlue, Skin->DimLevel())},
          {{iconX + 1, iconY + 1}, column}}},
        {"icon, disabled", "Значок", false, false, false, false, true, false,
         {{{iconX + 8, iconY + 8},
           LightenColor(nullptr, GrayOfColor(nullptr, clBlue, Skin->GrayLevel()), 40)}}},
        {"icon, selected: raised with a shadow", "Значок", true, true, false, false, true, false,
         {{{iconX - 1 + 8, iconY - 1 + 8}, clBlue},
          {{iconX - 1 + 12 + 1, iconY - 1 + 12 + 1}, ShadeColor(nullptr, fill, 50)}}},
        {"right to left", "Пункт", false, true, false, false, false, true,
         {{{A.Right - 1, mid}, column}, {{A.Right - 24, mid}, column}, {{A.Right - 25, mid}, back},
          {{A.Left - 3, mid}, back}}},
        {"own bitmap, its bottom-left colour left out", "Своя", true, true, false, false, false, false,
         {{{iconX - 1 + 8, iconY - 1 + 8}, clRed}, {{iconX - 1 + 1, iconY - 1 + 1}, fill}}, true},
        {"gradient: one step, then three in the icon column", "Пункт", false, true, false, false, false, false,
         {{{icon, A.Top + 20}, LightenColor(nullptr, column, 1)},
          {{icon + 1, A.Top + 20}, LightenColor(nullptr, column, 4)},
          {{icon + 28, A.Top + 20}, LightenColor(nullptr, column, 1 + 3 * 28)},
          {{icon + 29, A.Top + 20}, LightenColor(nullptr, column, 1 + 3 * 28 + 1)},
          {{A.Right - 1, A.Top + 20}, LightenColor(nullptr, column, 96)}},
         false, true},
    };
    for (const Case& k : cases) {
        auto* item = Add(Popup, k.caption);
        item->SetEnabled(k.enabled);
        item->SetChecked(k.checked);
        item->SetRadioItem(k.radio);
        item->SetImageIndex(k.withIcon ? 0 : -1);
        if (k.ownBitmap) Picture(item->Bitmap(), 16, 16, clLime, clRed);
        Popup->SetBiDiMode(k.rtl ? bdRightToLeft : bdLeftToRight);
        Skin->SetGradient(k.gradient);
        Clear();
        DrawMenuItem(*Skin, item, Dest.Canvas(), k.selected, A);
        for (auto& [p, want] : k.pixels)
            EXPECT_EQ(At(p.X, p.Y), Rgb(want)) << k.what << " at " << p.X << "," << p.Y;
        delete item;
    }
}

TEST_F(SkinFixture, DefaultItemIsEmbossed)
{
    const TRect A(10, 5, 170, 28);
    auto inked = [&](bool isDefault) {
        auto* item = Add(Popup, "Выход");
        item->SetDefault(isDefault);
        Clear();
        DrawMenuItem(*Skin, item, Dest.Canvas(), false, A);
        delete item;
        int n = 0;
        for (int y = A.Top; y < A.Bottom; ++y)
            for (int x = A.Left + 24; x < A.Right; ++x) n += At(x, y) != Rgb(Skin->ItemBackColor);
        return n;
    };
    int plain = inked(false), embossed = inked(true);
    EXPECT_GT(plain, 0);
    EXPECT_GT(embossed, plain + plain / 2);  // the shaded copies stand out around the text
}

TEST_F(SkinFixture, BarItemSelectionShadowSteps)
{
    auto* item = Add(Main, "Файл");
    const TRect A(20, 10, 80, 30);
    const int Rt = A.Right, B = A.Bottom;
    DrawMenuItem(*Skin, item, Dest.Canvas(), true, A);
    const TColor base = Skin->BarColor;
    struct Px {
        int x, y;
        TColor want;
    } pixels[] = {
        {A.Left, A.Top + 5, Skin->SelectFrameColor},    // frame on the left
        {A.Left + 5, A.Top, Skin->SelectFrameColor},    // and on top
        {Rt - 8, A.Top + 8, Skin->SelectFrameColor},    // right edge of the selection
        {Rt - 9, A.Top + 8, Skin->SelectFillColor},
        {Rt - 1, B - 1, ShadeColor(nullptr, base, 10)},  // the shadow, outermost step
        {Rt - 3, B - 1, ShadeColor(nullptr, base, 30)},
        {Rt - 4, B - 1, ShadeColor(nullptr, base, 60)},
        {Rt - 7, B - 1, ShadeColor(nullptr, base, 100)},
        {Rt - 2, A.Top + 1, base},
        {A.Left - 1, A.Top + 5, clWhite},                // bar items are not moved left
    };
    for (const Px& p : pixels) EXPECT_EQ(At(p.x, p.y), Rgb(p.want)) << p.x - Rt << "," << p.y - A.Top;
}

TEST_F(SkinFixture, BorderRequestsWaitOneAtATime)
{
    auto* a = Add(Popup, "Один");
    auto* b = Add(Popup, "Два");
    auto* bar = Add(Main, "Файл");
    HWND app = Application->Handle();
    auto drain = [&](std::vector<MSG>& got) {
        MSG m;
        while (PeekMessageW(&m, app, WM_SKIN_POPUPBORDER_ITEM, WM_SKIN_POPUPBORDER_WINDOW, PM_REMOVE))
            got.push_back(m);
    };
    std::vector<MSG> got;
    drain(got);
    got.clear();
    const TRect A(4, 0, 150, 22);
    DrawMenuItem(*Skin, a, Dest.Canvas(), false, A);  // FlatMenu off
    drain(got);
    EXPECT_TRUE(got.empty());
    Skin->SetFlatMenu(true);
    DrawMenuItem(*Skin, bar, Dest.Canvas(), false, A);  // never for bar items
    DrawMenuItem(*Skin, a, Dest.Canvas(), false, A);
    DrawMenuItem(*Skin, b, Dest.Canvas(), true, A);
    drain(got);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, WM_SKIN_POPUPBORDER_ITEM);
    EXPECT_EQ(got[0].lParam, reinterpret_cast<LPARAM>(a));
}

namespace {
LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }
}  // namespace

TEST_F(SkinFixture, PopupBorderShapesTheWindowUntilItHides)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"SkinTestPopup";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(WS_EX_TOPMOST, L"SkinTestPopup", L"", WS_POPUP | WS_VISIBLE, 100, 100, 120,
                             80, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(w, nullptr);
    UpdateWindow(w);
    Skin->DrawPopupBorder(w, false);
    EXPECT_FALSE(Skin->PopupBorderBusy);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)), PopupMenuWndProc);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_USERDATA)), PlainProc);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(w, rgn), ERROR);
    EXPECT_FALSE(PtInRegion(rgn, 119, 0));  // the shadow leaves the corners out
    EXPECT_FALSE(PtInRegion(rgn, 0, 79));
    EXPECT_TRUE(PtInRegion(rgn, 119, 79));
    HDC dc = GetWindowDC(w);
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, 0, 10)), Rgb(Skin->PopupBorderColor));
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, 117, 10)), Rgb(Skin->PopupBorderColor));
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, 1, 10)), Rgb(Skin->IconColumnColor));
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, 118, 10)), Rgb(Skin->PopupShadowColor));
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, 50, 79)), Rgb(Skin->PopupShadowColor));
    ReleaseDC(w, dc);
    // a second border keeps the procedure it stored
    Skin->DrawPopupBorder(w, false);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_USERDATA)), PlainProc);

    ShowWindow(w, SW_HIDE);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)), PlainProc);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 0);
    EXPECT_EQ(GetWindowRgn(w, rgn), ERROR);
    DeleteObject(rgn);
    DestroyWindow(w);
    Skin->DrawPopupBorder(nullptr, false);  // nothing to draw on
}

namespace {
HWND gSeen;
LONG_PTR gSeenProc, gSeenData;
int gTicks;
// Runs inside the menu's own loop: waits (at most 5 s) until the open popup window carries the
// border procedure, notes what it has, then closes the menu.
void CALLBACK LookAtOpenMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND m = FindWindowW(L"#32768", nullptr);
    if (m && IsWindowVisible(m)) {
        gSeen = m;
        gSeenProc = GetWindowLongPtrW(m, GWLP_WNDPROC);
        gSeenData = GetWindowLongPtrW(m, GWLP_USERDATA);
    }
    if (reinterpret_cast<WNDPROC>(gSeenProc) == PopupMenuWndProc || ++gTicks > 50) EndMenu();
}
}  // namespace

TEST_F(SkinFixture, RealPopupGetsItsBorderWhileOpen)
{
    Skin->BeginLoading();
    Skin->SetActive(true);
    Skin->SetFlatMenu(true);
    Skin->EndLoading();
    ASSERT_NE(MenuManager, nullptr);
    for (const char* c : {"Первый", "Второй", "-", "Третий"}) {
        TMenuItem* i = Add(Popup, c);
        i->OnMeasureItem = [this](TObject* s, TCanvas* cv, int& w, int& h) { Skin->MeasureItem(s, cv, w, h); };
        i->OnDrawItem = [this](TObject* s, TCanvas* cv, TRect r, bool sel) { Skin->DrawItem(s, cv, r, sel); };
    }
    Popup->SetOwnerDraw(true);
    Form->Show();
    gSeen = nullptr;
    gSeenProc = gSeenData = 0;
    gTicks = 0;
    UINT_PTR t = SetTimer(nullptr, 0, 100, LookAtOpenMenu);
    Popup->Popup(120, 120);
    KillTimer(nullptr, t);
    ASSERT_NE(gSeen, nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(gSeenProc), PopupMenuWndProc);
    EXPECT_NE(gSeenData, 0);
    if (IsWindow(gSeen)) {
        EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(gSeen, GWLP_WNDPROC)), PopupMenuWndProc);
        EXPECT_EQ(GetWindowLongPtrW(gSeen, GWLP_USERDATA), 0);
    }
}

// ---------------------------------------------------------------- tool bar and control bar

namespace {

class BarFixture : public SkinFixture {
protected:
    void SetUp() override
    {
        SkinFixture::SetUp();
        Bar = new TToolBar(Form);
        Bar->SetParent(Form);
        Bar->SetColor(0xB0C0D0);
        Bar->SetBounds(0, 0, 300, 30);
        Hot = new TImageList(Form);
        TBitmap pic;
        Picture(pic, 16, 16, clLime, clRed);
        Hot->AddMasked(pic, clLime);  // only index 0
        Images->AddMasked(pic, clLime);  // index 1 of the normal list is red too
        Bar->SetImages(Images);
        Bar->SetHotImages(Hot);
        TToolButtonStyle styles[] = {tbsButton, tbsDropDown, tbsSeparator, tbsButton, tbsDivider, tbsButton};
        for (TToolButtonStyle s : styles) {
            auto* b = new TToolButton(Form);
            b->SetParent(Bar);
            b->SetStyle(s);
            Buttons.push_back(b);
        }
        Buttons[2]->SetTag(1);  // this separator shows its line
        Form->Show();
        Application->ProcessMessages();
        Dest.SetSize(300, 30);
    }
    // Draws one button onto Dest with the given state.
    bool Draw(TToolButton* b, UINT state)
    {
        Clear();
        Bar->Canvas().SetHandle(Dest.Canvas().Handle());
        bool def = true;
        Skin->ToolBarCustomDrawButton(Bar, b, state, def);
        Bar->Canvas().SetHandle(nullptr);
        return def;
    }
    TToolBar* Bar = nullptr;
    TImageList* Hot = nullptr;
    std::vector<TToolButton*> Buttons;
};

}  // namespace

TEST_F(BarFixture, ButtonFillsFramesAndImages)
{
    const TColor barBack = LightenColor(nullptr, Bar->Color(), 16);
    const TColor hotColor = LightenColor(nullptr, Skin->SelectColor(), 68);
    const TColor frame = Skin->SelectFrameColor;
    TToolButton* plain = Buttons[0];
    const TRect B = plain->BoundsRect();
    ASSERT_GT(B.Width(), 10);
    struct Case {
        const char* what;
        UINT state;
        TColor fill;
        bool framed;
    } cases[] = {
        {"no state", 0, barBack, false},
        {"hot", CDIS_HOT, hotColor, true},
        {"hot and pressed", CDIS_HOT | CDIS_SELECTED, Skin->PressedFillColor, true},
        {"hot and checked", CDIS_HOT | CDIS_CHECKED, Skin->PressedFillColor, true},
        {"checked", CDIS_CHECKED, Skin->CheckedFillColor, true},
        {"indeterminate", CDIS_INDETERMINATE, hotColor, false},
    };
    for (const Case& k : cases) {
        EXPECT_FALSE(Draw(plain, k.state)) << k.what;
        EXPECT_EQ(At(B.Left + 2, B.Bottom - 3), Rgb(k.fill)) << k.what;
        EXPECT_EQ(At(B.Left, B.Top + 3), Rgb(k.framed ? frame : k.fill)) << k.what;
        EXPECT_EQ(At(B.Left + 3, B.Top), Rgb(barBack)) << k.what;  // the top row keeps the bar
    }

    // images: the hot list only when it holds the index
    const int cx = B.Left + B.Width() / 2, cy = B.Top + 2 + 1 + 8;
    plain->SetImageIndex(0);
    Draw(plain, CDIS_HOT);
    EXPECT_EQ(At(cx - 1, cy - 2), Rgb(clRed)) << "hot list";
    Draw(plain, 0);
    EXPECT_EQ(At(cx, cy), Rgb(LightenColor(nullptr, clBlue, Skin->DimLevel()))) << "normal list, dimmed";
    plain->SetImageIndex(1);
    Draw(plain, CDIS_HOT);
    EXPECT_EQ(At(cx - 1, cy - 2), Rgb(clRed)) << "normal list";
    plain->SetImageIndex(5);
    Draw(plain, CDIS_HOT);
    EXPECT_EQ(At(cx, cy), Rgb(hotColor)) << "no list has it";
}

TEST_F(BarFixture, DropDownSeparatorsAndTransparency)
{
    TToolButton* drop = Buttons[1];
    const TRect B = drop->BoundsRect();
    const TColor frame = Rgb(Skin->SelectFrameColor);
    Draw(drop, CDIS_HOT);
    const int y = B.Top + (B.Height() - 3) / 2 + 1;
    EXPECT_EQ(At(B.Right - 10, y), Rgb(clBlack));      // the arrow
    EXPECT_EQ(At(B.Right - 6, y), Rgb(clBlack));
    EXPECT_EQ(At(B.Right - 5, y), Rgb(LightenColor(nullptr, Skin->SelectColor(), 68)));
    EXPECT_EQ(At(B.Right - 14, B.Top + 5), frame);     // the two frames meet here
    EXPECT_EQ(At(B.Right - 15, B.Top + 5), Rgb(LightenColor(nullptr, Skin->SelectColor(), 68)));
    EXPECT_EQ(At(B.Right - 1, B.Top + 5), frame);

    // the separator in front is painted with the button after it; Tag > 0 gives it a line
    const TColor barBack = Rgb(LightenColor(nullptr, Bar->Color(), 16));
    const TColor line = Rgb(ShadeColor(nullptr, Bar->Color(), 30));
    TRect s1 = Buttons[2]->BoundsRect(), s2 = Buttons[4]->BoundsRect();
    Draw(Buttons[3], 0);
    EXPECT_EQ(At(s1.Left + s1.Width() / 2, s1.Top + 5), line);
    EXPECT_EQ(At(s1.Left, s1.Top + 5), barBack);
    Draw(Buttons[5], 0);
    EXPECT_EQ(At(s2.Left + s2.Width() / 2, s2.Top + 5), barBack);

    // a transparent bar keeps what is under its buttons
    Bar->SetTransparent(true);
    Application->ProcessMessages();
    Draw(Buttons[0], 0);
    TRect b0 = Buttons[0]->BoundsRect();
    EXPECT_EQ(At(b0.Left + 2, b0.Bottom - 3), Rgb(clWhite));
}

TEST_F(SkinFixture, ControlBarBandGrip)
{
    auto* cb = new TControlBar(Form);
    cb->SetColor(0xA0B0C0);
    TRect band(0, 0, 40, 20);
    unsigned options = bpoGrabber | bpoFrame;
    Clear();
    Skin->ControlBarBandPaint(cb, nullptr, &Dest.Canvas(), band, options);
    EXPECT_EQ(options, 0u);
    const TColor back = Rgb(LightenColor(nullptr, cb->Color(), 6));
    EXPECT_EQ(At(20, 10), back);
    for (int k = 0, y = 6; y <= 14; ++k, y += 2) {
        TColor grip = Rgb(ShadeColor(nullptr, cb->Color(), 30 + 7 * k));
        EXPECT_EQ(At(3, y), grip) << y;
        EXPECT_EQ(At(5, y), grip) << y;
        EXPECT_EQ(At(6, y), back) << y;
        EXPECT_EQ(At(4, y + 1), back) << y;
    }
    EXPECT_EQ(At(4, 16), back);
    EXPECT_EQ(At(4, 4), back);
}
