// Menus, image lists, tool bars and control bars: what the system windows get from them and the
// drawing events they raise.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "Forms.h"
#include "ImgList.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "ToolWin.h"

namespace {

struct Shown {
    TForm* Form;
    Shown()
    {
        Form = new TForm(nullptr);
        Form->SetBounds(20, 20, 400, 300);
    }
    ~Shown() { Form->Free(); }
    void Show()
    {
        Form->Show();
        UpdateWindow(Form->Handle());
        Application->ProcessMessages();
    }
};

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const std::string& caption)
{
    auto* i = new TMenuItem(owner);
    i->SetCaption(caption);
    parent->Add(i);
    return i;
}

MENUITEMINFOW Info(HMENU h, UINT pos, std::wstring* text = nullptr)
{
    static wchar_t buf[128];
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING;
    mi.dwTypeData = buf;
    mi.cch = 128;
    GetMenuItemInfoW(h, pos, TRUE, &mi);
    if (text) *text = (mi.fType & MFT_OWNERDRAW) ? L"" : std::wstring(buf, mi.cch);
    return mi;
}

// A picture of one colour with a square of another in its middle.
void Picture(TBitmap& b, int w, int h, TColor back, TColor square)
{
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(back);
    b.Canvas().FillRect(TRect(0, 0, w, h));
    b.Canvas().Brush().SetColor(square);
    b.Canvas().FillRect(TRect(4, 4, w - 4, h - 4));
}

}  // namespace

TEST(Menu, ShortCutTexts)
{
    struct Case {
        TShortCut s;
        const char* text;
    } cases[] = {
        {ShortCut('S', ssCtrl), "Ctrl+S"},
        {ShortCut(VK_F5, ssShift), "Shift+F5"},
        {ShortCut(VK_DELETE, 0), "Del"},
        {ShortCut('X', ssCtrl | ssAlt), "Ctrl+Alt+X"},
        {0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ShortCutToText(c.s), c.text) << c.text;
}

TEST(Menu, BarEntriesFollowTheItemsAndCommandsReachTheClick)
{
    Shown s;
    auto* mm = new TMainMenu(s.Form);
    TMenuItem* file = Item(s.Form, mm->Items(), "&Файл");
    TMenuItem* open = Item(s.Form, file, "Открыть");
    open->SetShortCut(ShortCut('O', ssCtrl));
    TMenuItem* check = Item(s.Form, file, "Флаг");
    check->SetChecked(true);
    TMenuItem* radio = Item(s.Form, file, "Один");
    radio->SetRadioItem(true);
    radio->SetDefault(true);
    TMenuItem* off = Item(s.Form, file, "Нельзя");
    off->SetEnabled(false);
    Item(s.Form, file, "-");
    s.Form->SetMenu(mm);
    s.Show();

    HMENU bar = GetMenu(s.Form->Handle());
    ASSERT_EQ(bar, mm->Handle());
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    std::wstring text;
    MENUITEMINFOW top = Info(bar, 0, &text);
    EXPECT_EQ(text, L"&Файл");
    ASSERT_EQ(top.hSubMenu, file->Handle());
    ASSERT_EQ(GetMenuItemCount(top.hSubMenu), 5);
    Info(top.hSubMenu, 0, &text);
    EXPECT_EQ(text, L"Открыть\tCtrl+O");
    EXPECT_TRUE(Info(top.hSubMenu, 1).fState & MFS_CHECKED);
    EXPECT_TRUE(Info(top.hSubMenu, 2).fType & MFT_RADIOCHECK);
    EXPECT_TRUE(Info(top.hSubMenu, 2).fState & MFS_DEFAULT);
    EXPECT_TRUE(Info(top.hSubMenu, 3).fState & MFS_DISABLED);
    EXPECT_TRUE(Info(top.hSubMenu, 4).fType & MFT_SEPARATOR);

    // a caption change rebuilds the bar
    file->SetCaption("&Правка");
    Info(GetMenu(s.Form->Handle()), 0, &text);
    EXPECT_EQ(text, L"&Правка");

    int clicks = 0;
    open->OnClick = [&](TObject* o) { clicks += o == open; };
    off->OnClick = [&](TObject*) { clicks += 100; };
    SendMessageW(s.Form->Handle(), WM_COMMAND, MAKEWPARAM(open->Command(), 0), 0);
    SendMessageW(s.Form->Handle(), WM_COMMAND, MAKEWPARAM(off->Command(), 0), 0);
    EXPECT_EQ(clicks, 1);
}

TEST(Menu, OwnerDrawnBarRaisesMeasureAndDraw)
{
    Shown s;
    auto* mm = new TMainMenu(s.Form);
    TMenuItem* a = Item(s.Form, mm->Items(), "Первый");
    Item(s.Form, a, "Внутри");
    mm->SetOwnerDraw(true);
    EXPECT_TRUE(Info(mm->Handle(), 0).fType & MFT_OWNERDRAW);
    EXPECT_TRUE(Info(a->Handle(), 0).fType & MFT_OWNERDRAW);
    int measured = 0;
    std::vector<TRect> drawn;
    a->OnMeasureItem = [&](TObject* o, TCanvas*, int& w, int& h) {
        measured += o == a;
        w = 77;
        h = 19;
    };
    a->OnDrawItem = [&](TObject*, TCanvas* c, TRect r, bool) {
        drawn.push_back(r);
        c->Brush().SetColor(clRed);
        c->FillRect(r);
    };
    s.Form->SetMenu(mm);
    s.Show();
    RedrawWindow(s.Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    Application->ProcessMessages();
    EXPECT_GE(measured, 1);
    ASSERT_FALSE(drawn.empty());
    RECT ir;
    ASSERT_TRUE(GetMenuItemRect(s.Form->Handle(), mm->Handle(), 0, &ir));
    EXPECT_EQ(ir.right - ir.left, drawn.back().Width());
    EXPECT_EQ(ir.bottom - ir.top, drawn.back().Height());
    // what the handler drew is what the bar shows
    HDC dc = GetWindowDC(s.Form->Handle());
    RECT wr;
    GetWindowRect(s.Form->Handle(), &wr);
    COLORREF px = GetPixel(dc, ir.left - wr.left + 3, ir.top - wr.top + 3);
    ReleaseDC(s.Form->Handle(), dc);
    EXPECT_EQ(px, RGB(255, 0, 0));
}

TEST(ImageList, MaskedPicturesDrawWithoutTheirMaskColour)
{
    TImageList il(nullptr);
    il.SetWidth(16);
    il.SetHeight(16);
    TBitmap pic;
    Picture(pic, 16, 16, clLime, clBlue);
    EXPECT_EQ(il.AddMasked(pic, clLime), 0);
    EXPECT_EQ(il.AddMasked(pic, clLime), 1);
    EXPECT_EQ(il.Count(), 2);
    TBitmap dest;
    Picture(dest, 20, 20, clWhite, clWhite);
    il.Draw(dest.Canvas(), 2, 2, 1);
    EXPECT_EQ(dest.Canvas().Pixels(3, 3), clWhite);       // mask colour: left out
    EXPECT_EQ(dest.Canvas().Pixels(10, 10), clBlue);      // the picture
    il.SetWidth(24);                                      // a new size empties the list
    EXPECT_EQ(il.Count(), 0);
}

TEST(ToolBar, ButtonsAreLaidOutAndDrawnThroughTheEvent)
{
    Shown s;
    auto* tb = new TToolBar(s.Form);
    tb->SetParent(s.Form);
    auto* images = new TImageList(s.Form);
    TBitmap pic;
    Picture(pic, 16, 16, clLime, clBlue);
    images->AddMasked(pic, clLime);
    tb->SetImages(images);
    tb->SetFlat(true);
    std::vector<TToolButton*> b;
    TToolButtonStyle styles[] = {tbsButton, tbsCheck, tbsSeparator, tbsDropDown, tbsButton};
    for (TToolButtonStyle st : styles) {
        auto* x = new TToolButton(s.Form);
        x->SetParent(tb);
        x->SetStyle(st);
        x->SetImageIndex(0);
        b.push_back(x);
    }
    b[1]->SetDown(true);
    b[4]->SetEnabled(false);
    std::vector<std::pair<TToolButton*, TCustomDrawState>> calls;
    tb->OnCustomDrawButton = [&](TToolBar* bar, TToolButton* btn, TCustomDrawState st, bool& def) {
        EXPECT_EQ(bar, tb);
        calls.emplace_back(btn, st);
        bar->Canvas().Brush().SetColor(clRed);
        bar->Canvas().FillRect(btn->BoundsRect());
        def = false;
    };
    s.Show();
    RedrawWindow(tb->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    EXPECT_EQ(tb->ButtonCount(), 5);
    EXPECT_EQ(b[3]->Index(), 3);
    EXPECT_GT(b[1]->Left(), b[0]->Left());
    EXPECT_LT(b[2]->Width(), b[0]->Width());
    auto stateOf = [&](TToolButton* x) {
        for (auto& c : calls)
            if (c.first == x) return static_cast<int>(c.second);
        return -1;
    };
    EXPECT_EQ(stateOf(b[0]) & (CDIS_CHECKED | CDIS_DISABLED), 0);
    EXPECT_TRUE(stateOf(b[1]) & CDIS_CHECKED);
    EXPECT_TRUE(stateOf(b[4]) & CDIS_DISABLED);
    // the system drew nothing over what the event drew
    HDC dc = GetDC(tb->Handle());
    TRect r = b[0]->BoundsRect();
    EXPECT_EQ(GetPixel(dc, r.Left + r.Width() / 2, r.Top + r.Height() / 2), RGB(255, 0, 0));
    ReleaseDC(tb->Handle(), dc);

    // a click on a check button toggles it
    int clicks = 0;
    b[1]->OnClick = [&](TObject*) { ++clicks; };
    SendMessageW(tb->Handle(), TB_CHECKBUTTON, 2, FALSE);
    SendMessageW(s.Form->Handle(), WM_COMMAND, MAKEWPARAM(2, BN_CLICKED),
                 reinterpret_cast<LPARAM>(tb->Handle()));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b[1]->Down());
}

TEST(ControlBar, EachBandIsPaintedThroughTheEventWithItsOptions)
{
    Shown s;
    auto* cb = new TControlBar(s.Form);
    cb->SetParent(s.Form);
    cb->SetHeight(60);
    auto* e1 = new TEdit(s.Form);
    e1->SetParent(cb);
    e1->SetBounds(20, 5, 80, 20);
    auto* e2 = new TEdit(s.Form);
    e2->SetParent(cb);
    e2->SetBounds(150, 30, 80, 20);
    std::vector<TControl*> bands;
    cb->OnBandPaint = [&](TObject*, TControl* c, TCanvas* cv, TRect& r, TBandPaintOptions& o) {
        bands.push_back(c);
        EXPECT_EQ(r, TControlBar::BandRect(c));
        EXPECT_EQ(o, static_cast<TBandPaintOptions>(bpoGrabber | bpoFrame));
        if (c == e1) o = 0;  // the first band gets no frame and no grabber
        cv->Brush().SetColor(clLime);
        cv->FillRect(r);
    };
    s.Show();
    RedrawWindow(cb->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_GE(bands.size(), 2u);
    EXPECT_EQ(bands[0], e1);
    EXPECT_EQ(bands[1], e2);
    HDC dc = GetDC(cb->Handle());
    TRect r1 = TControlBar::BandRect(e1), r2 = TControlBar::BandRect(e2);
    EXPECT_EQ(GetPixel(dc, r1.Left, r1.Top), RGB(0, 255, 0));    // no frame drawn
    EXPECT_EQ(GetPixel(dc, r1.Left + 4, r1.Top + 6), RGB(0, 255, 0));  // no grabber
    EXPECT_NE(GetPixel(dc, r2.Left, r2.Top), RGB(0, 255, 0));    // the frame
    ReleaseDC(cb->Handle(), dc);
}
