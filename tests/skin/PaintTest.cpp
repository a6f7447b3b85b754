// The painters, read back from the real windows: for each control kind and state, the pixels
// at the places where its frame, button, box or arrow must lie.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../forms/PixelSupport.h"
#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FlatSkinPaint.h"
#include "Forms.h"
#include "StdCtrls.h"

namespace {

constexpr TColor kParent = 0xDCD2C8;  // the form's colour, apart from every system colour

// A probe: x and y count from the left/top, or from the right/bottom when negative (-1 is the
// last column or row).
struct Probe {
    int X, Y;
    TColor Want;
};

struct State {
    bool Hot = false, Focused = false, MouseDown = false, SpaceDown = false;
};

// A windowed stand-in for kinds whose painter only needs a window (frames of lists, hot keys,
// up-downs).
class TPlainControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override
    {
        Canvas().Brush().SetColor(RGB(1, 2, 3));
        Canvas().FillRect(ClientRect());
    }
};

struct PaintFixture : ::testing::Test {
    TForm* Form = nullptr;
    TFlatSkin* Skin = nullptr;

    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(30, 30, 400, 300);
        Form->SetColor(kParent);
        Skin = new TFlatSkin(Form);
    }
    void TearDown() override { Form->Free(); }

    template <class T> T* Add(int left, int top, int width, int height)
    {
        auto* c = new T(Form);
        c->SetParent(Form);
        c->SetBounds(left, top, width, height);
        return c;
    }
    // Shows the form with the skin on and gives the control's subclass.
    TControlSubClass& Skinned(TControl* c)
    {
        if (!Skin->Active()) Skin->SetActive(true);
        Form->Show();
        Application->ProcessMessages();
        for (int i = 0; i < Skin->ComponentCount(); ++i)
            if (auto* s = dynamic_cast<TControlSubClass*>(Skin->Components(i)); s && s->Control == c) return *s;
        auto* s = new TControlSubClass(Skin);  // a kind the skin does not take: attach by hand
        s->SetControl(c);
        s->OwnerMenu = Skin;
        return *s;
    }
    // Lets every pending paint run, sets the state, runs the painter and takes the pixels as
    // it left them (the client area, or the whole window).
    TPixels Paint(TControlSubClass& s, void (*painter)(TControlSubClass&), State st, bool window = false,
                  uint32_t last = WM_PAINT)
    {
        auto* w = dynamic_cast<TWinControl*>(s.Control);
        HWND h = w ? w->Handle() : s.Control->Parent()->Handle();
        s.Control->Invalidate();  // each case starts from the control's own look
        Application->ProcessMessages();
        UpdateWindow(Form->Handle());
        RedrawWindow(h, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Application->ProcessMessages();
        s.Hot = st.Hot;
        s.Focused = st.Focused;
        s.MouseDown = st.MouseDown;
        s.SpaceDown = st.SpaceDown;
        s.LastMessage = last;
        painter(s);
        if (!w) return TPixels::Of(*s.Control, false);
        return window ? TPixels::Window(w->Handle(), false) : TPixels::Client(w->Handle(), false);
    }
    static void Check(const TPixels& p, const std::vector<Probe>& probes, const std::string& what)
    {
        for (const Probe& pr : probes) {
            int x = pr.X < 0 ? p.Width() + pr.X : pr.X, y = pr.Y < 0 ? p.Height() + pr.Y : pr.Y;
            EXPECT_EQ(p.At(x, y), ColorToRGB(pr.Want)) << what << " at (" << x << ", " << y << ") of "
                                                     << p.Width() << " x " << p.Height();
        }
    }
    TColor L(TColor c, int pct) { return LightenColor(nullptr, c, pct); }
    TColor S(TColor c, int v) { return ShadeColor(nullptr, c, v); }
};

}  // namespace

TEST_F(PaintFixture, ComboBoxFrameButtonAndArrow)
{
    auto* cb = Add<TComboBox>(10, 10, 120, 21);
    cb->SetStyle(csDropDownList);  // no edit window over the face
    auto* simple = Add<TComboBox>(10, 150, 120, 80);
    simple->SetStyle(csSimple);
    TControlSubClass& s = Skinned(cb);
    TControlSubClass& ss = Skinned(simple);
    const int t = GetSystemMetrics(SM_CXHTHUMB);
    const TColor c = cb->Color(), k = clBlack, face = clBtnFace;
    struct Case {
        const char* what;
        State st;
        std::function<void()> set;
        std::vector<Probe> probes;
    } cases[] = {
        {"normal", {}, [] {},
         {{0, 0, kParent}, {1, 1, kParent}, {-4, 4, face}, {-10, 10, k}, {-6, 10, k}, {-8, 12, k}, {-7, 12, face}}},
        {"hot", {true}, [] {},
         {{0, 0, kParent}, {0, 1, Skin->SelectFrameColor}, {60, 1, Skin->SelectFrameColor},
          {-2, 4, Skin->SelectFillColor}, {2 - t, 5, Skin->SelectFrameColor}, {-8, 10, k}}},
        {"focused", {false, true}, [] {},
         {{0, 1, L(Skin->SelectFrameColor, 60)}, {-2, 4, Skin->CheckedFillColor}, {-8, 10, k}}},
        {"Tag 1000", {}, [&] { cb->SetTag(1000); }, {{-4, 4, L(kParent, 16)}}},
        {"disabled", {}, [&] { cb->SetTag(0); cb->SetEnabled(false); }, {{-4, 4, face}, {-8, 10, clWhite}, {-10, 10, clWhite}}},
        {"mirrored", {}, [&] { cb->SetEnabled(true); cb->SetBiDiMode(bdRightToLeft); },
         {{0, 0, kParent}, {3, 5, face}, {t - 1, 5, c}, {5, 10, k}, {9, 10, k}, {7, 12, k}}},
    };
    for (const Case& cs : cases) {
        cs.set();
        Check(Paint(s, PaintComboBox, cs.st), cs.probes, cs.what);
    }
    // simple style: the frame, and no button where the drop-down one would be
    TPixels p = Paint(ss, PaintComboBox, {});
    Check(p, {{0, 0, kParent}}, "simple");
    EXPECT_NE(p.At(p.Width() - 4, 4), ColorToRGB(face)) << "simple style has no button";
}

TEST_F(PaintFixture, EditFrameByBorderAndState)
{
    auto* e = Add<TEdit>(10, 10, 100, 21);
    auto* bare = Add<TEdit>(10, 40, 100, 21);
    bare->SetBorderStyle(bsNone);
    bare->SetColor(0x40C0F0);
    TControlSubClass& s = Skinned(e);
    TControlSubClass& sb = Skinned(bare);
    struct Case {
        const char* what;
        TControlSubClass* sub;
        State st;
        TColor frame;
    } cases[] = {
        {"normal", &s, {}, S(kParent, 60)},
        {"hot", &s, {true}, L(Skin->SelectFrameColor, 60)},
        {"focused", &s, {false, true}, L(Skin->SelectFrameColor, 60)},
        {"borderless", &sb, {}, 0x40C0F0},
        {"borderless hot", &sb, {true}, L(AverageColor({0x40C0F0, kParent}), 40)},
        {"borderless hot and focused", &sb, {true, true}, 0x40C0F0},
    };
    for (const Case& c : cases)
        Check(Paint(*c.sub, PaintEdit, c.st), {{0, 0, c.frame}, {-1, -1, c.frame}, {50, 0, c.frame}, {0, 10, c.frame}}, c.what);
    EXPECT_FALSE(e->Ctl3D()) << "the 3D border is switched off";
    EXPECT_TRUE(TControlSubClass::IsSubclassProc(e->WindowProc())) << "the subclass lives on through the new window";
}

TEST_F(PaintFixture, WindowFramesOfListsProgressBarsAndHotKeys)
{
    auto* list = Add<TPlainControl>(10, 10, 80, 60);
    auto* bar = Add<TProgressBar>(10, 80, 120, 16);
    TControlSubClass& sl = Skinned(list);
    TControlSubClass& sp = Skinned(bar);
    struct Case {
        const char* what;
        TControlSubClass* sub;
        void (*painter)(TControlSubClass&);
        TBorderStyle border;
        State st;
        std::vector<Probe> probes;
    } cases[] = {
        {"list single", &sl, PaintListFrame, bsSingle, {}, {{0, 0, S(kParent, 60)}, {-1, -1, S(kParent, 60)}}},
        {"list single hot", &sl, PaintListFrame, bsSingle, {true}, {{0, 0, L(Skin->SelectFrameColor, 60)}}},
        {"list bare", &sl, PaintListFrame, bsNone, {}, {{0, 0, kParent}, {40, -1, kParent}}},
        {"list bare focused", &sl, PaintListFrame, bsNone, {false, true}, {{0, 0, L(Skin->SelectFrameColor, 80)}}},
        {"progress", &sp, PaintProgressBar, bsNone, {}, {{0, 0, S(kParent, 60)}, {-1, -1, S(kParent, 60)}}},
        {"progress hot", &sp, PaintProgressBar, bsNone, {true}, {{0, 0, Skin->SelectFrameColor}, {60, -1, Skin->SelectFrameColor}}},
        {"progress focused", &sp, PaintProgressBar, bsNone, {false, true}, {{0, 0, S(kParent, 60)}}},
        {"hot key", &sl, PaintHotKey, bsNone, {}, {{0, 0, S(kParent, 60)}, {1, 1, clWindow}, {-2, -2, clWindow}}},
        {"hot key focused", &sl, PaintHotKey, bsNone, {false, true}, {{-1, 0, L(Skin->SelectFrameColor, 60)}, {1, 1, clWindow}}},
    };
    for (const Case& c : cases) {
        c.sub->SavedBorderStyle = c.border;
        Check(Paint(*c.sub, c.painter, c.st, true), c.probes, c.what);
    }
    EXPECT_FALSE(list->Ctl3D()) << "the list frame switches the 3D border off";
}

TEST_F(PaintFixture, CheckBoxSquareAndTick)
{
    const int t = GetSystemMetrics(SM_CXHTHUMB);
    auto* b = Add<TCheckBox>(10, 10, 120, t + 6);  // the box then starts 3 rows down
    TControlSubClass& s = Skinned(b);
    const TColor pen = clBtnShadow;
    // the square (2, 5)-(t - 3, t + 1) at the left; the tick passes (5, t - 3); (4, 7) is plain fill
    const Probe fill{4, 7, 0}, tick{5, t - 3, 0};
    auto at = [](Probe p, TColor c) { return Probe{p.X, p.Y, c}; };
    struct Case {
        const char* what;
        State st;
        std::function<void()> set;
        std::vector<Probe> probes;
    } cases[] = {
        {"normal", {}, [] {}, {{2, 5, pen}, {t - 4, t, pen}, at(fill, clWindow), at(tick, clWindow), {1, 8, b->Color()}}},
        {"hot", {true}, [] {}, {{2, 5, Skin->SelectFrameColor}, at(fill, Skin->SelectFillColor)}},
        {"focused", {false, true}, [] {}, {{2, 5, Skin->SelectFrameColor}, at(fill, Skin->SelectFillColor)}},
        {"pressed", {true, false, true}, [] {}, {at(fill, Skin->PressedFillColor)}},
        {"checked", {}, [&] { b->SetChecked(true); }, {at(fill, clWindow), at(tick, clHighlight)}},
        {"checked, space held", {false, false, false, true}, [] {}, {at(fill, Skin->PressedFillColor), at(tick, clWindow)}},
        {"grayed", {}, [&] { b->SetState(cbGrayed); }, {at(fill, clSilver), at(tick, clGray)}},
        {"grayed pressed", {false, false, true}, [] {}, {at(fill, clSilver), at(tick, clWindow)}},
        {"checked disabled", {}, [&] { b->SetChecked(true); b->SetEnabled(false); }, {at(tick, Skin->DisabledTextColor)}},
        {"mirrored", {}, [&] { b->SetEnabled(true); b->SetBiDiMode(bdRightToLeft); },
         {{3 - t, 5, pen}, {-3, t, pen}, {-2, 8, b->Color()}}},
        {"box left of a left-aligned caption read right to left", {}, [&] { b->SetAlignment(taLeftJustify); },
         {{2, 5, pen}, {t - 4, t, pen}}},
    };
    for (const Case& c : cases) {
        c.set();
        Check(Paint(s, PaintCheckBox, c.st), c.probes, c.what);
    }
}

TEST_F(PaintFixture, RadioButtonCircleAndDot)
{
    const int t = GetSystemMetrics(SM_CXHTHUMB);
    auto* b = Add<TRadioButton>(10, 10, 120, t + 8);  // the circle then starts 4 rows down
    TControlSubClass& s = Skinned(b);
    // circle in (2, 6)-(t - 3, t + 1), dot two pixels further in
    const int cx = 2 + (t - 5) / 2, cy = 6 + (t - 5) / 2;
    struct Case {
        const char* what;
        State st;
        std::function<void()> set;
        std::vector<Probe> probes;
    } cases[] = {
        {"normal", {}, [] {}, {{cx, cy, clWindow}, {2, cy, clBtnShadow}, {0, cy, b->Color()}}},
        {"hot", {true}, [] {}, {{cx, cy, Skin->SelectFillColor}, {2, cy, Skin->SelectFrameColor}}},
        {"focused: fill only", {false, true}, [] {}, {{cx, cy, Skin->SelectFillColor}, {2, cy, clBtnShadow}}},
        {"pressed draws no press", {false, false, true}, [] {}, {{cx, cy, clWindow}}},
        {"checked", {}, [&] { b->SetChecked(true); }, {{cx, cy, clHighlight}, {cx - 1, cy - 1, clHighlight}, {3, cy, clWindow}}},
        {"checked disabled", {}, [&] { b->SetEnabled(false); }, {{cx, cy, Skin->DisabledTextColor}}},
        {"mirrored", {}, [&] { b->SetEnabled(true); b->SetBiDiMode(bdRightToLeft); },
         {{-(t / 2), cy, clHighlight}, {-3, cy, clBtnShadow}}},
    };
    for (const Case& c : cases) {
        c.set();
        Check(Paint(s, PaintRadioButton, c.st), c.probes, c.what);
    }
}

TEST_F(PaintFixture, UpDownHalves)
{
    auto* u = Add<TPlainControl>(10, 10, 17, 30);
    TControlSubClass& s = Skinned(u);
    const TColor pen = L(kParent, 80), fill = L(Skin->SelectFillColor, 16);
    // at rest: two halves (0, 0)-(17, 15) and (0, 15)-(17, 30), arrows at x 8 from y 5 and 20
    TPixels p = Paint(s, PaintUpDown, {});
    Check(p, {{0, 0, pen}, {16, 14, pen}, {0, 15, pen}, {2, 2, fill}, {2, 17, fill}, {8, 5, clBlack}, {7, 6, clBlack},
              {8, 23, clBlack}, {7, 22, clBlack}},
          "at rest");
    // one half hot, pressed or not, and the Tag 1000 face; each half drawn anew on a cleared window
    struct Case {
        const char* what;
        bool hot, down;
        intptr_t tag;
        std::vector<Probe> probes;
    } cases[] = {
        {"hot", true, false, 0, {{0, 15, Skin->SelectFrameColor}, {2, 17, L(Skin->SelectFillColor, 60)}, {8, 23, clBlack}}},
        {"hot pressed", true, true, 0, {{0, 15, Skin->SelectFrameColor}, {2, 17, Skin->PressedFillColor}, {8, 23, clWhite}}},
        {"Tag 1000", false, false, 1000, {{0, 15, pen}, {2, 17, L(kParent, 16)}}},
    };
    for (const Case& c : cases) {
        u->SetTag(c.tag);
        Application->ProcessMessages();
        RedrawWindow(u->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        s.MouseDown = c.down;
        {
            FlatPaint::TSurface surface(*u, FlatPaint::TSurface::Client);
            PaintUpDownButton(s, surface.Canvas(), Rect(0, 15, 17, 30), 1, c.hot);
        }
        Check(TPixels::Client(u->Handle(), false), c.probes, c.what);
    }
    // a half whose corner already has the pen colour is left alone
    u->SetTag(0);
    s.MouseDown = false;
    RedrawWindow(u->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    {
        FlatPaint::TSurface surface(*u, FlatPaint::TSurface::Client);
        surface.Canvas().SetPixels(0, 0, pen);
        PaintUpDownButton(s, surface.Canvas(), Rect(0, 0, 17, 15), 0, false);
    }
    Check(TPixels::Client(u->Handle(), false), {{2, 2, RGB(1, 2, 3)}, {8, 5, RGB(1, 2, 3)}}, "already drawn");
}

TEST_F(PaintFixture, GroupBoxFrameWithCaptionGap)
{
    auto* g = Add<TGroupBox>(10, 10, 160, 90);
    g->SetCaption("Группа");
    g->SetColor(0x60A0C0);
    TControlSubClass& s = Skinned(g);
    const TColor light = L(0x60A0C0, 60), shadow = S(0x60A0C0, 60);
    HDC dc = GetDC(g->Handle());
    HGDIOBJ old = SelectObject(dc, g->Font().Handle());
    std::wstring w = ToWide("Группа");
    SIZE ext{};
    GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), &ext);
    SelectObject(dc, old);
    ReleaseDC(g->Handle(), dc);
    const int th = ext.cy, tw = ext.cx, y = th / 2 + 1;
    struct Case {
        const char* what;
        bool ctl3D;
        std::vector<Probe> probes;
    } cases[] = {
        {"3D",
         true,
         {{0, 0, kParent}, {-3, th / 2, kParent}, {3, y, light}, {-3, y, light}, {0, 50, light}, {-1, 50, shadow},
          {80, -1, shadow}, {9 + tw + 2, y, light}, {9 + tw / 2, th, 0x60A0C0}}},
        {"flat", false, {{3, y, shadow}, {0, 50, shadow}, {-1, 50, shadow}}},
    };
    for (const Case& c : cases) {
        s.KeepOnDestroy = true;
        g->SetCtl3D(c.ctl3D);
        Skinned(g);
        Check(Paint(s, PaintGroupBox, {}), c.probes, c.what);
    }
    // only a paint message repaints the frame
    Application->ProcessMessages();
    s.LastMessage = WM_SETFOCUS;
    {
        FlatPaint::TSurface surface(*g, FlatPaint::TSurface::Client);
        FlatPaint::Fill(surface.Canvas(), g->ClientRect(), clRed);
    }
    PaintGroupBox(s);
    TPixels after = TPixels::Client(g->Handle(), false);
    EXPECT_EQ(after.Count(g->ClientRect(), ColorToRGB(clRed)), g->ClientWidth() * g->ClientHeight()) << "drawn for a focus message";
}

TEST_F(PaintFixture, PanelBevels)
{
    auto* p = Add<TPanel>(10, 10, 100, 60);
    p->SetColor(0x60A0C0);
    TControlSubClass& s = Skinned(p);
    const TColor light = L(0x60A0C0, 60), shadow = S(0x60A0C0, 60);
    struct Case {
        const char* what;
        TBevelCut outer, inner;
        int bevel, border;
        std::vector<Probe> probes;
    } cases[] = {
        {"raised", bvRaised, bvNone, 1, 0, {{0, 0, light}, {0, 30, light}, {-1, 0, shadow}, {50, -1, shadow}, {-1, -1, shadow}}},
        {"lowered", bvLowered, bvNone, 1, 0, {{0, 0, shadow}, {-1, 30, light}}},
        {"space as raised", bvSpace, bvNone, 1, 0, {{0, 0, light}, {-1, 30, shadow}}},
        {"width 2", bvRaised, bvNone, 2, 0, {{1, 1, light}, {-2, 30, shadow}}},
        {"inner lowered inside the border", bvRaised, bvLowered, 1, 2, {{0, 0, light}, {3, 3, shadow}, {-4, -4, light}}},
    };
    for (const Case& c : cases) {
        p->SetBevelOuter(c.outer);
        p->SetBevelInner(c.inner);
        p->SetBevelWidth(c.bevel);
        p->SetBorderWidth(c.border);
        Check(Paint(s, PaintPanel, {}), c.probes, c.what);
    }
}

namespace {
// Probes of a push or bitmap button's face: rounded corner, face, outline on top, edges.
std::vector<Probe> FaceProbes(TColor face, TColor outline, TColor right, TColor left)
{
    return {{0, 0, kParent}, {6, 6, face}, {30, 0, outline}, {-1, 12, right}, {30, -1, right}, {0, 12, left}};
}
}  // namespace

TEST_F(PaintFixture, PushAndBitmapButtonFaces)
{
    auto* b = Add<TButton>(10, 10, 75, 25);
    auto* bb = Add<TBitBtn>(10, 50, 75, 25);
    TControlSubClass& s = Skinned(b);
    TControlSubClass& sb = Skinned(bb);
    const TColor rest = L(clBtnShadow, 30), restEdge = S(clBtnShadow, 50);
    const TColor lit = L(Skin->SelectFrameColor, 60), litLine = L(lit, 30), litEdge = S(lit, 50);
    const TColor icon = Skin->IconColumnColor, hotFace = L(clBtnFace, 40);
    struct Case {
        const char* what;
        TControlSubClass* sub;
        void (*painter)(TControlSubClass&);
        State st;
        std::function<void()> set;
        std::vector<Probe> probes;
    } cases[] = {
        {"rest", &s, PaintButton, {}, [] {}, FaceProbes(icon, rest, restEdge, rest)},
        {"hot", &s, PaintButton, {true}, [] {}, FaceProbes(hotFace, litLine, litEdge, litLine)},
        {"focused", &s, PaintButton, {false, true}, [] {}, FaceProbes(icon, litLine, litEdge, litLine)},
        {"pressed under the mouse", &s, PaintButton, {true, false, true}, [] {}, FaceProbes(hotFace, litEdge, litLine, litEdge)},
        {"pressed, mouse gone", &s, PaintButton, {false, false, true}, [] {}, FaceProbes(icon, rest, restEdge, rest)},
        {"space held", &s, PaintButton, {false, false, false, true}, [] {}, FaceProbes(icon, restEdge, rest, restEdge)},
        {"Tag 1000", &s, PaintButton, {}, [&] { b->SetTag(1000); }, {{6, 6, L(kParent, 16)}}},
        {"Tag 1000 hot", &s, PaintButton, {true}, [] {}, {{6, 6, L(kParent, 40)}}},
        {"disabled: no edge", &s, PaintButton, {}, [&] { b->SetTag(0); b->SetEnabled(false); }, FaceProbes(icon, rest, rest, rest)},
        {"bitmap, space held is hot", &sb, PaintBitBtn, {false, false, false, true}, [] {}, FaceProbes(hotFace, litEdge, litLine, litEdge)},
        {"bitmap Tag 1000 as a mask", &sb, PaintBitBtn, {}, [&] { bb->SetTag(1000 | 4096); }, {{6, 6, L(kParent, 16)}}},
        {"bitmap Tag 1001: borderless", &sb, PaintBitBtn, {}, [&] { bb->SetTag(1001); }, FaceProbes(L(kParent, 16), L(L(kParent, 16), 30), L(L(kParent, 16), 30), L(L(kParent, 16), 30))},
        {"bitmap Tag 1000 only: outline", &sb, PaintBitBtn, {}, [&] { bb->SetTag(1000); }, FaceProbes(L(kParent, 16), rest, restEdge, rest)},
    };
    for (const Case& c : cases) {
        c.set();
        Check(Paint(*c.sub, c.painter, c.st), c.probes, c.what);
    }
}

TEST_F(PaintFixture, BitmapButtonGlyphAndCaptionPlaces)
{
    auto* bb = Add<TBitBtn>(10, 10, 120, 30);
    TControlSubClass& s = Skinned(bb);
    TBitmap g;
    g.SetSize(12, 12);
    FlatPaint::Fill(g.Canvas(), Rect(0, 0, 12, 12), 0xFF00FF);  // the rim shows through
    FlatPaint::Fill(g.Canvas(), Rect(2, 2, 10, 10), clBlack);
    bb->SetGlyph(g);
    bb->Font().SetColor(clBlack);
    // Columns that carry something other than the face between rows 4 and 26.
    auto inked = [&](const TPixels& p) {
        std::vector<int> xs;
        for (int x = 3; x < p.Width() - 3; ++x)
            if (p.Count(Rect(x, 4, x + 1, 26), p.At(6, 20)) < 22) xs.push_back(x);
        return xs;
    };
    struct Case {
        const char* what;
        std::string caption;
        TButtonLayout layout;
        intptr_t tag;
        int firstInk, lastInk;
    } cases[] = {
        {"glyph alone is centred", "", blGlyphLeft, 0, 56, 63},
        {"glyph alone, right layout", "", blGlyphRight, 0, 56, 63},
    };
    for (const Case& c : cases) {
        bb->SetCaption(c.caption);
        bb->SetLayout(c.layout);
        bb->SetTag(c.tag);
        std::vector<int> xs = inked(Paint(s, PaintBitBtn, {}));
        ASSERT_FALSE(xs.empty()) << c.what;
        EXPECT_EQ(xs.front(), c.firstInk) << c.what;
        EXPECT_EQ(xs.back(), c.lastInk) << c.what;
    }
    // Tag 1002 with a caption: text starts 4 pixels in (the glyph still sits at the right)
    bb->SetTag(1002);
    bb->SetLayout(blGlyphLeft);
    bb->SetCaption("ЖЖ");
    TPixels shot = Paint(s, PaintBitBtn, {});
    std::vector<int> xs = inked(shot);
    ASSERT_FALSE(xs.empty());
    EXPECT_GE(xs.front(), 4);
    EXPECT_LE(xs.front(), 6) << "caption left-aligned in the client less 4 pixels";
}

TEST_F(PaintFixture, SpeedButtonFaces)
{
    auto* b = Add<TSpeedButton>(10, 10, 40, 30);
    b->SetGroupIndex(1);
    b->SetAllowAllUp(true);
    TControlSubClass& s = Skinned(b);
    const TColor rest = L(clBtnShadow, 30), restEdge = S(clBtnShadow, 50);
    const TColor frame = Skin->SelectFrameColor;
    // hot only counts for a flat button while the cursor is over it
    auto over = [&](bool in) {
        TPoint p = b->ClientToScreen({in ? 20 : 200, in ? 15 : 200});
        SetCursorPos(p.X, p.Y);
    };
    struct Case {
        const char* what;
        State st;
        std::function<void()> set;
        std::vector<Probe> probes;
    } cases[] = {
        {"rest", {}, [&] { b->SetTransparent(false); },
         {{5, 5, Skin->IconColumnColor}, {20, 0, rest}, {-1, 15, restEdge}, {20, -1, restEdge}, {0, 15, rest}}},
        {"down", {}, [&] { b->SetDown(true); },
         {{5, 5, Skin->CheckedFillColor}, {0, 15, S(frame, 50)}, {20, 0, S(frame, 50)}, {-1, 15, L(frame, 30)}}},
        {"down under the mouse", {true}, [] {}, {{5, 5, Skin->PressedFillColor}}},
        {"disabled down: no edge", {}, [&] { b->SetEnabled(false); }, {{5, 5, Skin->CheckedFillColor}, {0, 15, rest}}},
        {"flat at rest takes the parent", {}, [&] { b->SetEnabled(true); b->SetDown(false); b->SetFlat(true); },
         {{5, 5, kParent}, {20, 0, kParent}, {-1, 15, kParent}}},
        {"flat hot", {true}, [&] { over(true); }, {{5, 5, Skin->SelectFillColor}, {20, 0, frame}, {-1, 15, frame}}},
        {"flat hot, mouse gone", {true}, [&] { over(false); }, {{5, 5, kParent}, {20, 0, kParent}}},
        {"transparent flat at rest draws nothing", {}, [&] { b->SetTransparent(true); },
         {{5, 5, kParent}, {0, 0, kParent}, {-1, -1, kParent}}},
        {"transparent hot tints the background", {true}, [&] { b->SetFlat(false); },
         {{5, 5, static_cast<TColor>(ColorToRGB(kParent) & ColorToRGB(L(L(clBtnFace, 40), 5)))}}},
    };
    for (const Case& c : cases) {
        c.set();
        Check(Paint(s, PaintSpeedButton, c.st), c.probes, c.what);
    }
    EXPECT_TRUE(s.Hot) << "the last case kept hot: not flat";
}

TEST_F(PaintFixture, SpeedButtonGlyphCellByState)
{
    auto* b = Add<TSpeedButton>(10, 10, 60, 30);
    b->SetGroupIndex(1);
    b->SetAllowAllUp(true);
    b->SetTransparent(false);  // a see-through button keeps what the last paint left under the glyph
    TControlSubClass& s = Skinned(b);
    // four cells of 16 x 16, each transparent but for a 2 x 2 dot at x 2 + 4 i
    TBitmap g;
    g.SetSize(64, 16);
    FlatPaint::Fill(g.Canvas(), Rect(0, 0, 64, 16), 0xFF00FF);
    for (int i = 0; i < 4; ++i) FlatPaint::Fill(g.Canvas(), Bounds(16 * i + 2 + 4 * i, 7, 2, 2), clBlack);
    b->SetGlyph(g);
    b->SetNumGlyphs(4);
    // no caption: the glyph is centred at (22, 6), one row higher for the left layout
    struct Case {
        const char* what;
        State st;
        std::function<void()> set;
        int cell;
    } cases[] = {
        {"up", {}, [] {}, 0},
        {"disabled", {}, [&] { b->SetEnabled(false); }, 1},
        {"mouse held", {false, false, true}, [&] { b->SetEnabled(true); }, 2},
        {"down", {}, [&] { b->SetDown(true); }, 3},
    };
    for (const Case& c : cases) {
        c.set();
        TPixels p = Paint(s, PaintSpeedButton, c.st);
        // the cell whose dot shows most (dimmed, grayed or shifted a pixel as its look may be),
        // against the glyph's see-through column 1 on the same rows
        int best = -1, most = 0;
        for (int i = 0; i < 4; ++i) {
            TRect dot = Bounds(22 + 2 + 4 * i, 6 + 7, 2, 2);
            int ink = 0;
            for (int y = dot.Top; y <= dot.Bottom; ++y)
                for (int x = dot.Left; x < dot.Right; ++x) ink += p.At(x, y) != p.At(23, y);
            if (ink > most) {
                most = ink;
                best = i;
            }
        }
        EXPECT_EQ(best, c.cell) << c.what;
    }
}

namespace {
// Known by its class name only: the skin never sees the class itself.
class TLookupStandIn : public TPlainControl {
public:
    using TPlainControl::TPlainControl;
    const char* ClassName() const override { return "TDBLookupComboBox"; }
};
}  // namespace

TEST_F(PaintFixture, LookupComboAndRichEditFrames)
{
    auto* lk = Add<TLookupStandIn>(10, 10, 120, 21);
    auto* rich = Add<TRichEdit>(20, 60, 100, 60);
    TControlSubClass& sl = Skinned(lk);
    TControlSubClass& sr = Skinned(rich);
    const int t = GetSystemMetrics(SM_CXHTHUMB);
    struct LookupCase {
        const char* what;
        State st;
        std::vector<Probe> probes;
    } lookups[] = {
        {"normal", {}, {{0, 0, S(kParent, 60)}, {0, -1, S(kParent, 60)}, {-4, 10, clBtnFace}, {-1 - t, 10, lk->Color()},
          {4 - t, 10, L(Skin->SelectFrameColor, 60)}, {-1, 10, L(Skin->SelectFrameColor, 60)}, {-9, 8, clBlack}, {-5, 8, clBlack}}},
        {"hot", {true}, {{0, 0, Skin->SelectFrameColor}, {-4, 10, Skin->SelectFillColor}, {3 - t, 10, Skin->SelectFrameColor}}},
        {"focused", {false, true}, {{0, 0, S(kParent, 60)}, {-4, 10, Skin->CheckedFillColor}}},
    };
    for (const LookupCase& c : lookups) Check(Paint(sl, PaintLookupComboBox, c.st, true), c.probes, c.what);
    EXPECT_FALSE(lk->Ctl3D());

    // the rich edit's frame lies on the parent, one pixel around the control
    struct RichCase {
        const char* what;
        TBorderStyle saved;
        State st;
        TColor frame;
    } riches[] = {
        {"single", bsSingle, {}, S(kParent, 60)},
        {"single hot", bsSingle, {true}, L(Skin->SelectFrameColor, 60)},
        {"borderless", bsNone, {}, kParent},
        {"borderless focused", bsNone, {false, true}, L(Skin->SelectFrameColor, 60)},
    };
    for (const RichCase& c : riches) {
        sr.SavedBorderStyle = c.saved;
        Paint(sr, PaintRichEdit, c.st);
        TPixels p = TPixels::Client(Form->Handle(), false);
        Check(p, {{19, 59, c.frame}, {120, 120, c.frame}, {70, 59, c.frame}, {19, 90, c.frame}}, c.what);
    }
    EXPECT_EQ(rich->BorderStyle(), bsNone) << "the sunken border gives way to the flat frame";
    EXPECT_EQ(rich->BorderWidth(), 2);
}
