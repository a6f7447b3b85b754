// The control subclass: its message table, the held space key, double clicks, the mouse on
// disabled controls, window re-creation, and the ways it lets go of its control.
#include "SkinTestSupport.h"

#include "Buttons.h"

namespace {

class SubClass : public SkinTest {
protected:
    // A control of kind T on a new form, skinned; S is its subclass.
    template <class T> T* Skinned(TControlSubClass*& S)
    {
        TForm* f = NewForm();
        T* c = Put<T>(f, f);
        Skin = LoadSkin(f);
        S = SubclassOf(c);
        return c;
    }
    // Whether the message made the subclass paint: painting takes Focused afresh, and these
    // controls have no window to hold the focus.
    static bool Paints(TControl* c, TControlSubClass* s, UINT msg, WPARAM w = 0, LPARAM l = 0)
    {
        s->Focused = true;
        c->Perform(msg, w, l);
        return !s->Focused;
    }
    TFlatSkin* Skin = nullptr;
};

TEST_F(SubClass, MessageTable)
{
    enum Flag { None, Hot, NotHot, Keep, NotKeep, Down, NotDown };
    struct {
        const char* what;
        UINT msg;
        WPARAM w;
        bool hotBefore, keepBefore;
        bool paints;
        Flag after;
    } cases[] = {
        {"focus gained", WM_SETFOCUS, 0, false, false, true, Hot},
        {"focus lost", WM_KILLFOCUS, 0, true, false, true, NotHot},
        {"paint", WM_PAINT, 0, false, true, true, NotKeep},
        {"window moved", WM_WINDOWPOSCHANGED, 0, false, false, false, Keep},
        {"modified asked", EM_GETMODIFY, 0, false, false, false, Keep},
        {"3D changed", CM_CTL3DCHANGED, 0, false, false, false, Keep},
        {"parent's 3D changed", CM_PARENTCTL3DCHANGED, 0, false, false, false, Keep},
        {"invalidated", CM_INVALIDATE, 0, false, false, false, Keep},
        {"parent notice", CN_PARENTNOTIFY, 0, false, false, false, Keep},
        {"check asked", BM_GETCHECK, 0, true, false, true, NotHot},
        {"check set", BM_SETCHECK, 1, true, false, true, NotHot},
        {"state set", BM_SETSTATE, 1, true, false, true, Hot},
        {"other key down", WM_KEYDOWN, 'A', false, false, false, None},
        {"other key up", WM_KEYUP, 'A', false, false, false, None},
        {"button down", WM_LBUTTONDOWN, 0, false, false, true, Down},
        {"button up", WM_LBUTTONUP, 0, false, false, true, NotDown},
        {"focus moved in the form", CM_FOCUSCHANGED, 0, false, false, true, None},
        {"parent colour", CM_PARENTCOLORCHANGED, 0, false, false, true, None},
        {"text", CM_TEXTCHANGED, 0, false, false, true, None},
        {"disabled", CM_ENABLEDCHANGED, 0, true, false, true, NotHot},
        {"enabled notice with a parameter", CM_ENABLEDCHANGED, 1, true, false, true, Hot},
        {"exit", CM_EXIT, 0, true, false, true, NotHot},
        {"a message the table leaves alone", WM_TIMER, 0, true, true, false, None},
    };
    TControlSubClass* s = nullptr;
    TCheckBox* box = Skinned<TCheckBox>(s);
    ASSERT_NE(s, nullptr);
    for (const auto& c : cases) {
        s->Hot = c.hotBefore;
        s->KeepOnDestroy = c.keepBefore;
        s->MouseDown = c.after == NotDown;
        WINDOWPOS pos{};
        LPARAM l = c.msg == WM_WINDOWPOSCHANGED ? reinterpret_cast<LPARAM>(&pos) : 0;
        EXPECT_EQ(Paints(box, s, c.msg, c.w, l), c.paints) << c.what;
        EXPECT_EQ(s->LastMessage, c.msg) << c.what;
        switch (c.after) {
        case Hot: EXPECT_TRUE(s->Hot) << c.what; break;
        case NotHot: EXPECT_FALSE(s->Hot) << c.what; break;
        case Keep: EXPECT_TRUE(s->KeepOnDestroy) << c.what; break;
        case NotKeep: EXPECT_FALSE(s->KeepOnDestroy) << c.what; break;
        case Down: EXPECT_TRUE(s->MouseDown) << c.what; break;
        case NotDown: EXPECT_FALSE(s->MouseDown) << c.what; break;
        case None: EXPECT_EQ(s->Hot, c.hotBefore) << c.what; break;
        }
        ASSERT_EQ(SubclassOf(box), s) << c.what;
    }
    TControlSubClass* u = nullptr;
    TUpDown* updown = Skinned<TUpDown>(u);
    EXPECT_TRUE(Paints(updown, u, WM_MOUSEMOVE)) << "the hot half follows the cursor";
    updown->SetEnabled(false);
    EXPECT_FALSE(Paints(updown, u, WM_MOUSEMOVE));
}

TEST_F(SubClass, HeldSpacePaintsOnceUntilReleased)
{
    TControlSubClass* s = nullptr;
    TCheckBox* box = Skinned<TCheckBox>(s);
    EXPECT_TRUE(Paints(box, s, WM_KEYDOWN, VK_SPACE));
    EXPECT_TRUE(s->SpaceDown);
    EXPECT_FALSE(Paints(box, s, WM_KEYDOWN, VK_SPACE)) << "auto-repeat";
    EXPECT_FALSE(Paints(box, s, WM_KEYDOWN, VK_SPACE));
    EXPECT_TRUE(s->SpaceHeld);
    EXPECT_TRUE(Paints(box, s, WM_KEYUP, VK_SPACE));
    EXPECT_FALSE(s->SpaceDown);
    EXPECT_FALSE(s->SpaceHeld);
    EXPECT_TRUE(Paints(box, s, WM_KEYDOWN, VK_SPACE)) << "a new press paints again";
}

TEST_F(SubClass, DoubleClickPressesButtonsAndCheckBoxesAgain)
{
    TControlSubClass* s = nullptr;
    struct {
        const char* what;
        TControl* c;
        TControlSubClass* s;
        bool pressed;
    } cases[] = {
        {"button", Skinned<TButton>(s), s, true},
        {"check box", Skinned<TCheckBox>(s), s, true},
        {"speed button", Skinned<TSpeedButton>(s), s, true},
        {"radio button", Skinned<TRadioButton>(s), s, false},
    };
    for (auto& c : cases) {
        c.s = SubclassOf(c.c);
        ASSERT_NE(c.s, nullptr) << c.what;
        c.c->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
        EXPECT_EQ(c.s->MouseDown, c.pressed) << c.what;
    }
}

TEST_F(SubClass, MouseOverADisabledControlChangesNothing)
{
    TControlSubClass* s = nullptr;
    TButton* b = Skinned<TButton>(s);
    EXPECT_TRUE(Paints(b, s, CM_MOUSEENTER));
    EXPECT_TRUE(s->Hot);
    EXPECT_TRUE(Paints(b, s, CM_MOUSELEAVE));
    EXPECT_FALSE(s->Hot);
    b->SetEnabled(false);
    EXPECT_FALSE(Paints(b, s, CM_MOUSEENTER));
    EXPECT_FALSE(s->Hot);
    s->Hot = true;
    EXPECT_FALSE(Paints(b, s, CM_MOUSELEAVE));
    EXPECT_TRUE(s->Hot);
}

TEST_F(SubClass, StaysThroughTheWindowMadeAnewForACtl3DChange)
{
    TForm* f = NewForm();
    auto* edit = Put<TEdit>(f, f);
    f->Show();
    Skin = LoadSkin(f);
    TControlSubClass* s = SubclassOf(edit);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->SavedCtl3D);
    EXPECT_EQ(s->SavedBorderStyle, bsSingle);
    UpdateWindow(edit->Handle());  // the first paint may reshape the edit itself
    s->KeepOnDestroy = false;       // as after a plain paint: only the change may keep us
    HWND before = edit->Handle();
    edit->SetCtl3D(!edit->Ctl3D());
    EXPECT_NE(edit->Handle(), before);
    EXPECT_EQ(SubclassOf(edit), s) << "WM_DESTROY right after the change keeps the subclass";

    // a WM_DESTROY after a plain paint frees it (a control without a window, so that the
    // messages alone are seen)
    TControlSubClass* b = nullptr;
    TCheckBox* box = Skinned<TCheckBox>(b);
    box->Perform(WM_PAINT);
    int count = SubclassCount(Skin);
    box->Perform(WM_DESTROY);
    EXPECT_EQ(SubclassOf(box), nullptr);
    EXPECT_EQ(box->WindowProc(), WndMethod<&TControl::WndProc>(static_cast<TControl*>(box)));
    EXPECT_EQ(SubclassCount(Skin), count - 1) << "the subclass freed itself";
}

TEST_F(SubClass, NeverTwoOnOneControl)
{
    TControlSubClass* s = nullptr;
    TEdit* edit = Skinned<TEdit>(s);
    Skin->SkinComponent(edit, true, false);
    TFlatSkin* second = LoadSkin(edit->Owner());
    EXPECT_EQ(SubclassOf(edit), s);
    EXPECT_EQ(s->OrgWindowProc, WndMethod<&TControl::WndProc>(static_cast<TControl*>(edit)));
    EXPECT_EQ(SubclassCount(second), 1) << "made, but not put in front of the first";
}

TEST_F(SubClass, LetsGoAtTheNextMessageOnceTheSkinIsOff)
{
    TForm* f = NewForm();
    auto* edit = Put<TEdit>(f, f);
    auto* box = Put<TCheckBox>(f, f);
    Skin = LoadSkin(f);
    TControlSubClass* s = SubclassOf(edit);
    ASSERT_NE(s, nullptr);
    s->KeepOnDestroy = true;  // as a painter does before it changes the look
    edit->SetCtl3D(false);
    SubclassOf(box)->OwnerMenu = nullptr;  // behaves as if its skin were on
    Skin->SetActive(false);  // the walk invalidates each control: their next message
    EXPECT_EQ(SubclassOf(edit), nullptr);
    EXPECT_EQ(edit->WindowProc(), WndMethod<&TControl::WndProc>(static_cast<TControl*>(edit)));
    EXPECT_TRUE(edit->Ctl3D()) << "the look kept at attach comes back";
    EXPECT_NE(SubclassOf(box), nullptr);
    EXPECT_EQ(SubclassCount(Skin), 1);
}

// Counts its own paints, which a subclass must keep it from doing.
class TPaintCounter : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    int Painted = 0;

protected:
    void Paint() override { ++Painted; }
};

TEST_F(SubClass, WindowLessControlsArePaintedOnlyByTheSkin)
{
    TForm* f = NewForm();
    auto* c = Put<TPaintCounter>(f, f);
    Skin = LoadSkin(f);
    auto* s = new TControlSubClass(Skin);
    s->SetControl(c);
    s->OrgWindowProc = c->WindowProc();
    c->SetWindowProc(s->SubclassMethod());
    s->OwnerMenu = Skin;
    TBitmap b;
    b.SetSize(4, 4);
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(b.Canvas().Handle()), 0, 0};
    c->WindowProc()(m);
    EXPECT_EQ(m.Result, 1);
    EXPECT_EQ(c->Painted, 0);
    c->Perform(WM_TIMER);
    EXPECT_EQ(SubclassOf(c), s) << "other messages pass";
}

TEST_F(SubClass, AFreedSubclassNeverStaysOnItsControl)
{
    TForm* f = NewForm();
    auto* edit = Put<TEdit>(f, f);
    auto* gone = Put<TEdit>(f, f);
    Skin = LoadSkin(f);
    SubclassOf(edit)->KeepOnDestroy = true;
    SubclassOf(gone)->KeepOnDestroy = true;
    delete gone;  // window destroyed while kept: the subclass stays, its control goes
    delete Skin;  // frees the subclasses that are still installed
    EXPECT_EQ(edit->WindowProc(), WndMethod<&TControl::WndProc>(static_cast<TControl*>(edit)));
    edit->Perform(CM_TEXTCHANGED);
}

// Gets a WM_DESTROY from inside one of its own messages.
class TNestedDestroy : public TCheckBox {
public:
    using TCheckBox::TCheckBox;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_USER + 7) Perform(WM_DESTROY);
        TCheckBox::WndProc(m);
    }
};

TEST_F(SubClass, ADetachInsideANestedMessageFreesAfterTheOuterOne)
{
    TForm* f = NewForm();
    auto* edit = Put<TNestedDestroy>(f, f);
    Skin = LoadSkin(f);
    ASSERT_NE(SubclassOf(edit), nullptr);
    SubclassOf(edit)->KeepOnDestroy = false;
    int count = SubclassCount(Skin);
    edit->Perform(WM_USER + 7);  // WM_DESTROY arrives inside it
    EXPECT_EQ(SubclassOf(edit), nullptr);
    EXPECT_EQ(SubclassCount(Skin), count - 1);
    edit->Perform(CM_TEXTCHANGED);
}

}  // namespace
