// The skin component: which controls the walk takes, in which parents, Tags, the sets set
// again, and the derived colours.
#include "SkinTestSupport.h"

#include <typeinfo>

#include "Buttons.h"
#include "Menus.h"
#include "SysUtils.h"
#include "ToolWin.h"

namespace {

using Maker = TControl* (*)(TComponent* owner, TWinControl* parent);

struct ControlRow {
    const char* what;
    TSkinControl member;
    Maker make;
    TSkinControls alsoBy = 0;  // other members that take the kind as well
};

template <class T> TControl* Make(TComponent* o, TWinControl* p) { return Put<T>(o, p); }
template <const char* N> TControl* MakeNamed(TComponent* o, TWinControl* p) { return PutNamed(o, p, N); }
constexpr char kMaskEdit[] = "TMaskEdit", kDBEdit[] = "TDBEdit", kNavigator[] = "TDBNavigator",
               kLookup[] = "TDBLookupComboBox", kBitBtn[] = "TBitBtn",
               kCtrlPanel[] = "TDBCtrlPanel", kDxSheet[] = "TdxTabSheet";

const ControlRow kControls[] = {
    {"combo box", skCombo, Make<TComboBox>},
    {"edit", skEdit, Make<TEdit>},
    {"mask edit by name", skMaskEdit, MakeNamed<kMaskEdit>},
    {"data edit by name", skMaskEdit, MakeNamed<kDBEdit>},
    {"check box", skCheckBox, Make<TCheckBox>},
    {"radio button", skRadioButton, Make<TRadioButton>},
    {"button", skButton, Make<TButton>},
    {"navigator by name", skButton, MakeNamed<kNavigator>},
    {"lookup combo by name", skButton, MakeNamed<kLookup>},
    {"bitmap button by name", skBitBtn, MakeNamed<kBitBtn>},
    {"bitmap button", skBitBtn, Make<TBitBtn>},
    {"speed button", skSpeedButton, Make<TSpeedButton>},
    {"up-down", skUpDown, Make<TUpDown>},
    {"list box", skListBox, Make<TListBox>},
    {"labeled edit", skEdit, Make<TLabeledEdit>},
    {"memo", skMemo, Make<TMemo>},
    {"rich edit", skRichEdit, Make<TRichEdit>, SkinControlBit(skMemo)},
    {"tree view", skTreeView, Make<TTreeView>},
    {"list view", skListView, Make<TListView>},
    {"hot key", skHotKey, Make<THotKey>},
    {"panel", skPanel, Make<TPanel>},
    {"group box", skGroupBox, Make<TGroupBox>},
    {"radio group", skGroupBox, Make<TRadioGroup>},
    {"progress bar", skProgressBar, Make<TProgressBar>},
};

class SkinWalk : public SkinTest {};

TEST_F(SkinWalk, EachControlKindIsSkinnedOnlyWithItsMember)
{
    for (const auto& row : kControls)
        for (bool on : {true, false}) {
            TForm* f = NewForm();
            TControl* c = row.make(f, f);
            TFlatSkin* skin = new TFlatSkin(f);
            skin->SetSkinControls(on ? AllSkinControls
                                     : AllSkinControls & ~(SkinControlBit(row.member) | row.alsoBy));
            skin->SetActive(true);
            EXPECT_EQ(SubclassOf(c) != nullptr, on) << row.what << (on ? " with" : " without") << " its member";
            if (on) {
                EXPECT_EQ(SubclassOf(c)->OwnerMenu, skin) << row.what;
            }
            f->Free();
        }
    // a plain control of another kind (a label, a grid) is never taken
    TForm* f = NewForm();
    TControl* label = Put<TLabel>(f, f);
    TControl* misc = PutNamed(f, f, "TCustomEdit");
    LoadSkin(f);
    EXPECT_EQ(SubclassOf(label), nullptr);
    EXPECT_EQ(SubclassOf(misc), nullptr);
}

struct ContainerRow {
    const char* what;
    TSkinContainer member;
    TWinControl* (*make)(TForm* f);
};

const ContainerRow kContainers[] = {
    {"form", skcForm, [](TForm* f) -> TWinControl* { return f; }},
    {"panel", skcPanel, [](TForm* f) -> TWinControl* { return Put<TPanel>(f, f); }},
    {"group box", skcGroupBox, [](TForm* f) -> TWinControl* { return Put<TGroupBox>(f, f); }},
    {"tab sheet", skcTabSheet,
     [](TForm* f) -> TWinControl* {
         auto* pc = Put<TPageControl>(f, f);
         auto* ts = new TTabSheet(f);
         ts->SetPageControl(pc);
         return ts;
     }},
    {"frame", skcFrame, [](TForm* f) -> TWinControl* { return Put<TFrame>(f, f); }},
    {"scroll box", skcScrollBox, [](TForm* f) -> TWinControl* { return Put<TScrollBox>(f, f); }},
    {"tool bar", skcToolbar, [](TForm* f) -> TWinControl* { return Put<TToolBar>(f, f); }},
    {"cool bar", skcCoolbar, [](TForm* f) -> TWinControl* { return Put<TCoolBar>(f, f); }},
    {"control bar", skcControlbar, [](TForm* f) -> TWinControl* { return Put<TControlBar>(f, f); }},
    {"page scroller", skcPageScroller, [](TForm* f) -> TWinControl* { return Put<TPageScroller>(f, f); }},
    {"data control panel by name", skcFrame, [](TForm* f) -> TWinControl* { return PutNamed(f, f, kCtrlPanel); }},
    {"other tab sheet by name", skcTabSheet, [](TForm* f) -> TWinControl* { return PutNamed(f, f, kDxSheet); }},
};

TEST_F(SkinWalk, EachParentKindAdmitsOnlyWithItsMember)
{
    for (const auto& row : kContainers)
        for (bool on : {true, false}) {
            TForm* f = NewForm();
            TWinControl* parent = row.make(f);
            TControl* edit = Put<TEdit>(f, parent);
            TFlatSkin* skin = new TFlatSkin(f);
            skin->SetSkinContainers(on ? AllSkinContainers : AllSkinContainers & ~SkinContainerBit(row.member));
            skin->SetActive(true);
            EXPECT_EQ(SubclassOf(edit) != nullptr, on) << row.what << (on ? " with" : " without") << " its member";
            f->Free();
        }
    // a parent the table does not list (a page control itself), or none, never admits
    TForm* f = NewForm();
    auto* pc = Put<TPageControl>(f, f);
    TControl* onPages = Put<TEdit>(f, pc);
    TControl* orphan = new TEdit(f);
    LoadSkin(f);
    EXPECT_EQ(SubclassOf(onPages), nullptr);
    EXPECT_EQ(SubclassOf(orphan), nullptr);
}

TEST_F(SkinWalk, RadioGroupButtonsAreReachedThroughTheGroupBoxMember)
{
    for (bool on : {true, false}) {
        TForm* f = NewForm();
        auto* rg = Put<TRadioGroup>(f, f);
        rg->Items().Add("a");
        rg->Items().Add("b");
        TFlatSkin* skin = new TFlatSkin(f);
        skin->SetSkinContainers(on ? AllSkinContainers : AllSkinContainers & ~SkinContainerBit(skcGroupBox));
        skin->SetActive(true);
        EXPECT_EQ(SubclassOf(rg->Buttons(0)) != nullptr, on);
        EXPECT_EQ(SubclassOf(rg->Buttons(1)) != nullptr, on);
        f->Free();
    }
}

// Counts invalidations, which the walk asks for with Redraw whether or not it skins.
class TCountingEdit : public TEdit {
public:
    using TEdit::TEdit;
    void Invalidate() override
    {
        ++Invalidated;
        TEdit::Invalidate();
    }
    int Invalidated = 0;
};

TEST_F(SkinWalk, Tag999KeepsTheControlOrTheChildrenOfAParentOut)
{
    struct {
        intptr_t controlTag, parentTag;
        bool skinned;
    } cases[] = {{0, 0, true}, {999, 0, false}, {0, 999, false}, {1000, 998, true}};
    for (const auto& c : cases) {
        TForm* f = NewForm();
        auto* panel = Put<TPanel>(f, f);
        panel->SetTag(c.parentTag);
        auto* edit = Put<TCountingEdit>(f, panel);
        edit->SetTag(c.controlTag);
        edit->Invalidated = 0;
        LoadSkin(f);
        EXPECT_EQ(SubclassOf(edit) != nullptr, c.skinned) << c.controlTag << "/" << c.parentTag;
        EXPECT_EQ(edit->Invalidated, 1) << "redrawn whether skinned or not";
        f->Free();
    }
}

TEST_F(SkinWalk, SettingTheSetsAgainSkinsAnewOnlyOnChange)
{
    TForm* f = NewForm();
    auto* edit = Put<TEdit>(f, f);
    auto* box = Put<TCheckBox>(f, f);
    TFlatSkin* skin = LoadSkin(f);
    ASSERT_NE(SubclassOf(edit), nullptr);
    TControlSubClass* boxSub = SubclassOf(box);
    int objects = f->ComponentCount() + skin->ComponentCount();

    skin->SetSkinControls(AllSkinControls);  // unchanged: nothing at all
    EXPECT_EQ(f->ComponentCount() + skin->ComponentCount(), objects);
    EXPECT_EQ(SubclassOf(box), boxSub);

    skin->SetSkinControls(AllSkinControls & ~SkinControlBit(skEdit));
    EXPECT_EQ(skin->SkinControls(), AllSkinControls & ~SkinControlBit(skEdit));
    EXPECT_TRUE(skin->Active());
    EXPECT_EQ(SubclassOf(edit), nullptr) << "unskinned by the pass with the skin off";
    ASSERT_NE(SubclassOf(box), nullptr);
    EXPECT_EQ(SubclassOf(box)->OrgWindowProc, WndMethod<&TControl::WndProc>(static_cast<TControl*>(box)))
        << "never a subclass of a subclass";

    skin->SetSkinContainers(AllSkinContainers & ~SkinContainerBit(skcForm));
    EXPECT_EQ(SubclassOf(box), nullptr);
    skin->SetActive(false);
    skin->SetSkinContainers(AllSkinContainers);  // inactive: only stored
    EXPECT_EQ(skin->SkinContainers(), AllSkinContainers);
    EXPECT_EQ(SubclassOf(box), nullptr);
}

TEST_F(SkinWalk, OwnerMustBeAFormOrAFrame)
{
    auto* plain = new TComponent(nullptr);
    EXPECT_THROW(TFlatSkin s(plain), EInvalidCast);
    delete plain;
    auto* loose = new TFlatSkin(nullptr);
    EXPECT_EQ(loose->OwnerForm, nullptr);
    loose->SetActive(true);  // nothing to walk
    delete loose;
}

TEST_F(SkinWalk, FrameComponentsAreWalkedWithTheFrameMember)
{
    for (bool on : {true, false}) {
        TForm* f = NewForm();
        auto* frame = Put<TFrame>(f, f);
        auto* edit = Put<TEdit>(frame, frame);  // owned by the frame, not by the form
        TFlatSkin* skin = new TFlatSkin(f);
        skin->SetSkinContainers(on ? AllSkinContainers : AllSkinContainers & ~SkinContainerBit(skcFrame));
        skin->SetActive(true);
        EXPECT_EQ(SubclassOf(edit) != nullptr, on);
        f->Free();
    }
}

// ---------------------------------------------------------------- menus and bars

// Handlers of the application, told apart from the skin's by their type.
struct AppDraw {
    void operator()(TObject*, TCanvas*, TRect, bool) const {}
};
struct AppMeasure {
    void operator()(TObject*, TCanvas*, int&, int&) const {}
};
struct AppBand {
    void operator()(TObject*, TControl*, TCanvas*, TRect&, TBandPaintOptions&) const {}
};
struct AppButton {
    void operator()(TToolBar*, TToolButton*, TCustomDrawState, bool&) const {}
};
template <class App, class F> const char* WhoseHandler(const F& f)
{
    if (!f) return "none";
    return f.target_type() == typeid(App) ? "application" : "skin";
}

TEST_F(SkinWalk, MenusAndBarsGetHandlersUnlessTheApplicationHasItsOwn)
{
    TForm* f = NewForm();
    auto* mm = new TMainMenu(f);
    auto item = [&](TMenuItem* parent, const char* caption) {
        auto* i = new TMenuItem(f);
        i->SetCaption(caption);
        parent->Add(i);
        return i;
    };
    TMenuItem* file = item(mm->Items(), "File");
    TMenuItem* kept = item(file, "Kept");
    kept->SetTag(999);
    TMenuItem* under = item(kept, "Under kept");
    TMenuItem* own = item(file, "Own");
    own->OnDrawItem = AppDraw{};
    own->OnMeasureItem = AppMeasure{};
    auto* pm = new TPopupMenu(f);
    pm->SetTag(999);  // not looked at for popup menus
    TMenuItem* pop = item(pm->Items(), "Pop");
    auto* bar = Put<TToolBar>(f, f);
    Put<TToolButton>(f, bar);
    auto* empty = Put<TToolBar>(f, f);
    auto* bands = Put<TControlBar>(f, f);
    bands->OnBandPaint = AppBand{};

    TFlatSkin* skin = LoadSkin(f);
    EXPECT_TRUE(mm->OwnerDraw());
    EXPECT_TRUE(pm->OwnerDraw());
    EXPECT_STREQ(WhoseHandler<AppDraw>(file->OnDrawItem), "skin");
    EXPECT_STREQ(WhoseHandler<AppMeasure>(file->OnMeasureItem), "skin");
    EXPECT_STREQ(WhoseHandler<AppDraw>(kept->OnDrawItem), "none") << "Tag 999 keeps its look";
    EXPECT_STREQ(WhoseHandler<AppDraw>(under->OnDrawItem), "skin") << "its sub-items are skinned";
    EXPECT_STREQ(WhoseHandler<AppDraw>(own->OnDrawItem), "application");
    EXPECT_STREQ(WhoseHandler<AppMeasure>(own->OnMeasureItem), "application");
    EXPECT_STREQ(WhoseHandler<AppDraw>(pop->OnDrawItem), "skin");
    EXPECT_TRUE(bar->Flat());
    EXPECT_STREQ(WhoseHandler<AppButton>(bar->OnCustomDrawButton), "skin");
    EXPECT_TRUE(empty->Flat());
    EXPECT_STREQ(WhoseHandler<AppButton>(empty->OnCustomDrawButton), "none") << "no buttons yet";
    EXPECT_STREQ(WhoseHandler<AppBand>(bands->OnBandPaint), "application");

    skin->SetActive(false);  // takes off its own handlers only
    EXPECT_FALSE(mm->OwnerDraw());
    EXPECT_STREQ(WhoseHandler<AppDraw>(file->OnDrawItem), "none");
    EXPECT_STREQ(WhoseHandler<AppDraw>(under->OnMeasureItem), "none");
    EXPECT_STREQ(WhoseHandler<AppDraw>(own->OnDrawItem), "application");
    EXPECT_STREQ(WhoseHandler<AppButton>(bar->OnCustomDrawButton), "none");
    EXPECT_STREQ(WhoseHandler<AppBand>(bands->OnBandPaint), "application");
    EXPECT_TRUE(bar->Flat()) << "bars stay flat";

    skin->SetActive(true);
    skin->SetOverrideOwnerDraw(true);
    EXPECT_STREQ(WhoseHandler<AppDraw>(own->OnDrawItem), "skin");
    EXPECT_STREQ(WhoseHandler<AppBand>(bands->OnBandPaint), "skin");
    EXPECT_STREQ(WhoseHandler<AppDraw>(kept->OnDrawItem), "none");

    // a main menu with Tag 999 is left alone
    TForm* g = NewForm();
    auto* mm2 = new TMainMenu(g);
    mm2->SetTag(999);
    TMenuItem* x = new TMenuItem(g);
    mm2->Items()->Add(x);
    LoadSkin(g);
    EXPECT_FALSE(mm2->OwnerDraw());
    EXPECT_STREQ(WhoseHandler<AppDraw>(x->OnDrawItem), "none");
}

TEST_F(SkinWalk, AutoDetectSkinsControlBarsInsertedLater)
{
    for (bool autoDetect : {true, false}) {
        TForm* f = NewForm();
        TFlatSkin* skin = new TFlatSkin(f);
        skin->SetAutoDetect(autoDetect);
        skin->SetActive(true);
        auto* bands = new TControlBar(f);
        EXPECT_STREQ(WhoseHandler<AppBand>(bands->OnBandPaint), autoDetect ? "skin" : "none");
        f->Free();
    }
}

// ---------------------------------------------------------------- derived colours

TEST_F(SkinWalk, ColourPropertiesMarkTheColoursDirtyAndOnlyThey)
{
    TForm* f = NewForm();
    TFlatSkin* s = new TFlatSkin(f);
    EXPECT_FALSE(s->ColorsDirty);
    struct {
        const char* what;
        void (*set)(TFlatSkin*);
        bool dirty;
    } cases[] = {
        {"Color", [](TFlatSkin* s) { s->SetColor(clRed); }, true},
        {"IconBackColor", [](TFlatSkin* s) { s->SetIconBackColor(clRed); }, true},
        {"MenuBarColor", [](TFlatSkin* s) { s->SetMenuBarColor(clRed); }, true},
        {"SelectColor", [](TFlatSkin* s) { s->SetSelectColor(clRed); }, true},
        {"SelectBorderColor", [](TFlatSkin* s) { s->SetSelectBorderColor(clRed); }, true},
        {"SelectFontColor", [](TFlatSkin* s) { s->SetSelectFontColor(clRed); }, true},
        {"DisabledColor", [](TFlatSkin* s) { s->SetDisabledColor(clRed); }, true},
        {"SeparatorColor", [](TFlatSkin* s) { s->SetSeparatorColor(clRed); }, true},
        {"CheckedColor", [](TFlatSkin* s) { s->SetCheckedColor(clRed); }, true},
        {"UseSystemColors", [](TFlatSkin* s) { s->SetUseSystemColors(false); }, false},
        {"UseDimColor", [](TFlatSkin* s) { s->SetUseDimColor(true); }, false},
        {"Gradient", [](TFlatSkin* s) { s->SetGradient(true); }, false},
    };
    for (const auto& c : cases) {
        s->ColorsDirty = false;
        c.set(s);
        EXPECT_EQ(s->ColorsDirty, c.dirty) << c.what;
    }
}

// A canvas of many colours (a 32-bit bitmap) or of few (a metafile, which reports no depth).
class TDepthCanvas {
public:
    explicit TDepthCanvas(bool many)
    {
        if (many) {
            FBitmap.SetSize(4, 4);
            Canvas.SetHandle(FBitmap.Canvas().Handle());
        } else {
            FMeta = CreateMetaFileW(nullptr);
            Canvas.SetHandle(FMeta);
        }
    }
    ~TDepthCanvas()
    {
        Canvas.SetHandle(nullptr);
        if (FMeta) DeleteMetaFile(CloseMetaFile(FMeta));
    }
    TCanvas Canvas;

private:
    TBitmap FBitmap;
    HDC FMeta = nullptr;
};

TEST_F(SkinWalk, DerivedColoursInHighAndLowColour)
{
    TForm* f = NewForm();
    TFlatSkin* s = new TFlatSkin(f);
    s->SetColor(0x102030);
    s->SetIconBackColor(0x405060);
    s->SetSelectColor(0x000080);
    s->SetSelectBorderColor(0x0000F0);
    s->SetSelectFontColor(0x00FF00);
    s->SetMenuBarColor(0x111111);
    s->SetDisabledColor(0x222222);
    s->SetCheckedColor(0x333333);
    s->SetSeparatorColor(0x444444);
    s->Font().SetColor(0x555555);
    TCanvas* none = nullptr;
    auto L = [&](TColor c, int p) { return LightenColor(none, c, p); };
    auto S = [&](TColor c, int v) { return ShadeColor(none, c, v); };
    const TColor sel = 0x000080;

    struct Want {
        TColor itemBack, iconColumn, selectFill, selectFrame, selectText, checkedFill, pressedFill,
            checkMark, bar, disabledText, separator, popupBorder, popupShadow;
    };
    struct {
        const char* what;
        bool many;
        bool system, dim;
        Want want;
    } cases[] = {
        {"high, own colours", true, false, false,
         {0x102030, 0x405060, sel, 0x0000F0, 0x00FF00, sel, sel, 0x333333, 0x111111, 0x222222, 0x444444,
          S(clBtnFace, 90), S(clBtnFace, 76)}},
        {"high, own colours, dimmed", true, false, true,
         {0x102030, 0x405060, L(sel, 68), 0x0000F0, 0x00FF00, L(sel, 80), L(sel, 50), 0x333333, 0x111111,
          0x222222, 0x444444, S(clBtnFace, 90), S(clBtnFace, 76)}},
        {"low, own colours, dim asked for", false, false, true,
         {0x102030, 0x405060, sel, 0x0000F0, 0x00FF00, clWhite, clSilver, 0x333333, 0x111111, 0x222222,
          0x444444, clBtnShadow, clBtnShadow}},
        {"high, system colours", true, true, false,
         {L(clBtnFace, 86), L(clBtnFace, 16), L(clHighlight, 68), clHighlight, 0x555555, L(clHighlight, 80),
          L(clHighlight, 50), clHighlight, clBtnFace, L(clBtnShadow, 10), L(clBtnShadow, 25), S(clBtnFace, 90),
          S(clBtnFace, 76)}},
        {"low, system colours", false, true, true,
         {clWhite, clBtnFace, clWhite, clHighlight, 0x555555, clWhite, clWhite, clHighlight, clBtnFace,
          clBtnShadow, clBtnShadow, clBtnShadow, clBtnShadow}},
    };
    for (const auto& c : cases) {
        s->SetUseSystemColors(c.system);
        s->SetUseDimColor(c.dim);
        s->ColorsDirty = true;
        TDepthCanvas canvas(c.many);
        s->ComputeDerivedColors(canvas.Canvas);
        EXPECT_FALSE(s->ColorsDirty);
        EXPECT_EQ(s->HighColor, c.many) << c.what;
        Want got{s->ItemBackColor, s->IconColumnColor, s->SelectFillColor, s->SelectFrameColor,
                 s->SelectTextColor, s->CheckedFillColor, s->PressedFillColor, s->CheckMarkColor,
                 s->BarColor, s->DisabledTextColor, s->SeparatorLineColor, s->PopupBorderColor,
                 s->PopupShadowColor};
        const TColor* g = &got.itemBack;
        const TColor* w = &c.want.itemBack;
        for (int i = 0; i < 13; ++i) EXPECT_EQ(g[i], w[i]) << c.what << ", colour " << i;
        EXPECT_EQ(s->ParentLightenNormal, 16);
        EXPECT_EQ(s->ParentLightenHot, 40);
    }
}

TEST_F(SkinWalk, CreationDefaults)
{
    TForm* f = NewForm();
    TFlatSkin* s = new TFlatSkin(f);
    EXPECT_EQ(s->OwnerForm, f);
    EXPECT_FALSE(s->Active());
    EXPECT_FALSE(s->ColorsDirty);
    EXPECT_EQ(s->SkinContainers(), AllSkinContainers);
    EXPECT_EQ(s->SkinControls(), AllSkinControls);
    EXPECT_EQ(s->SelectFontColor(), s->Font().Color());
    EXPECT_EQ(s->DimLevel(), 30);
    EXPECT_EQ(s->GrayLevel(), 10);
    EXPECT_EQ(s->IconWidth(), 24);
    EXPECT_EQ(s->DisabledColor(), clInactiveCaption);
    EXPECT_TRUE(s->DrawSelect());
    EXPECT_TRUE(s->UseSystemColors());
    EXPECT_TRUE(s->IsWindowsNT);
    ASSERT_NE(MenuManager, nullptr);
    // derived at creation with the system colours on a screen of many colours
    EXPECT_EQ(s->ItemBackColor, LightenColor(nullptr, clBtnFace, 86));
}

}  // namespace
