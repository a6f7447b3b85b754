// Ownership, removal notices, the replaceable window procedure, CM_ messages, cp1251 texts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"

namespace {

// Counts destructions so that ownership can be checked without touching freed objects.
int gDestroyed = 0;
class TCounted : public TButton {
public:
    using TButton::TButton;
    ~TCounted() override { ++gDestroyed; }
};

class TWatcher : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<TComponent*> Removed;

protected:
    void Notification(TComponent* c, TOperation op) override
    {
        TComponent::Notification(c, op);
        if (op == opRemove) Removed.push_back(c);
    }
};

// Sits in front of a control's window procedure and notes every message.
class TSpy {
public:
    explicit TSpy(TControl* c) : FControl(c), FOld(c->WindowProc())
    {
        c->SetWindowProc(WndMethod<&TSpy::Proc>(this));
    }
    ~TSpy() { FControl->SetWindowProc(FOld); }
    void Proc(TMessage& m)
    {
        Seen.push_back(m.Msg);
        FOld(m);
    }
    bool Saw(UINT msg) const { return std::find(Seen.begin(), Seen.end(), msg) != Seen.end(); }
    std::vector<UINT> Seen;

private:
    TControl* FControl;
    TWndMethod FOld;
};

TForm* NewForm()
{
    auto* f = new TForm(nullptr);
    f->SetBounds(10, 10, 400, 300);
    return f;
}

}  // namespace

TEST(Ownership, OwnerFreesOwnedAndParentFreesChildren)
{
    gDestroyed = 0;
    auto* owner = new TComponent(nullptr);
    auto* form = new TForm(owner);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    // owned by the form, parented by the panel: freed once, by whichever goes first
    new TCounted(form);
    auto* b2 = new TCounted(form);
    b2->SetParent(panel);
    auto* b3 = new TCounted(owner);  // another owner, parent in the form
    b3->SetParent(panel);
    EXPECT_EQ(form->ComponentCount(), 3);
    EXPECT_EQ(panel->ControlCount(), 2);
    form->Handle();
    delete owner;
    EXPECT_EQ(gDestroyed, 3);
}

TEST(Ownership, FreeNotificationClearsReferences)
{
    TWatcher watcher(nullptr);
    auto* form = NewForm();
    auto* b = new TButton(form);
    b->SetParent(form);
    watcher.FreeNotification(b);
    delete b;
    ASSERT_EQ(watcher.Removed.size(), 1u);
    EXPECT_EQ(watcher.Removed[0], b);
    EXPECT_EQ(form->ControlCount(), 0);
    EXPECT_EQ(form->ComponentCount(), 0);
    // a freed watcher is not told any more
    auto* b2 = new TButton(form);
    {
        TWatcher w2(nullptr);
        w2.FreeNotification(b2);
    }
    delete b2;
    form->Free();
}

TEST(Ownership, ReparentingMovesTheWindow)
{
    auto* form = NewForm();
    auto* p1 = new TPanel(form);
    p1->SetParent(form);
    auto* p2 = new TPanel(form);
    p2->SetParent(form);
    auto* e = new TEdit(form);
    e->SetParent(p1);
    e->SetText("abc");
    HWND h = e->Handle();
    EXPECT_EQ(GetParent(h), p1->Handle());
    e->SetParent(p2);
    EXPECT_EQ(p1->ControlCount(), 0);
    EXPECT_EQ(GetParent(e->Handle()), p2->Handle());
    EXPECT_EQ(e->Text(), "abc");  // kept across the new window
    form->Free();
}

TEST(WindowProc, ReplacementSeesEveryMessageAndCanBeUndone)
{
    auto* form = NewForm();
    auto* b = new TButton(form);
    b->SetParent(form);
    b->SetBounds(5, 5, 80, 25);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    {
        TSpy spy(b);
        SendMessageW(b->Handle(), WM_USER + 7, 0, 0);
        InvalidateRect(b->Handle(), nullptr, TRUE);
        UpdateWindow(b->Handle());
        b->SetEnabled(false);
        b->SetEnabled(true);
        SendMessageW(b->Handle(), BM_CLICK, 0, 0);  // the system's click: reflected BN_CLICKED
        EXPECT_TRUE(spy.Saw(WM_USER + 7));
        EXPECT_TRUE(spy.Saw(WM_PAINT));
        EXPECT_TRUE(spy.Saw(CM_ENABLEDCHANGED));
        EXPECT_TRUE(spy.Saw(CN_COMMAND));
        EXPECT_EQ(clicks, 1);  // the control's own procedure still ran
        // while the spy sits in front, the control no longer runs its own procedure directly
        EXPECT_FALSE(b->WindowProc() == WndMethod<&TControl::WndProc>(static_cast<TControl*>(b)));
    }
    EXPECT_TRUE(b->WindowProc() == WndMethod<&TControl::WndProc>(static_cast<TControl*>(b)));
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 2);
    form->Free();
}

TEST(WindowProc, GraphicControlsGetPaintThroughTheirProcedure)
{
    auto* form = NewForm();
    auto* l = new TLabel(form);
    l->SetParent(form);
    l->SetCaption("Порт");
    form->Show();
    TSpy spy(l);
    InvalidateRect(form->Handle(), nullptr, TRUE);
    UpdateWindow(form->Handle());
    EXPECT_TRUE(spy.Saw(WM_PAINT));
    form->Free();
}

namespace {
class TThrowingPaint : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;

protected:
    void Paint() override { throw Exception("paint failed"); }
};
}  // namespace

TEST(WindowProc, AThrowingGraphicControlStillEndsThePaintAndLetsGoOfTheContext)
{
    auto* form = NewForm();
    auto* c = new TThrowingPaint(form);
    c->SetParent(form);
    c->SetBounds(10, 10, 60, 20);
    std::vector<std::string> seen;
    Application->OnException = [&](TObject*, const std::exception& e) { seen.push_back(e.what()); };
    form->Show();
    UpdateWindow(form->Handle());
    seen.clear();
    InvalidateRect(form->Handle(), nullptr, TRUE);
    UpdateWindow(form->Handle());
    Application->OnException = nullptr;
    EXPECT_EQ(seen, std::vector<std::string>{"paint failed"});
    EXPECT_FALSE(GetUpdateRect(form->Handle(), nullptr, FALSE)) << "the paint was not ended";
    EXPECT_EQ(c->Canvas().Handle(), nullptr);
    form->Free();
}

TEST(CMMessages, RaisedWhereTheLibraryRaisesThem)
{
    auto* form = NewForm();
    auto* b1 = new TButton(form);
    b1->SetParent(form);
    b1->SetBounds(0, 0, 80, 25);
    auto* b2 = new TButton(form);
    b2->SetParent(form);
    b2->SetBounds(100, 0, 80, 25);
    auto* lbl = new TLabel(form);
    lbl->SetParent(form);
    lbl->SetBounds(0, 100, 50, 13);
    lbl->SetCaption("label");
    form->Show();
    TSpy s1(b1), s2(b2), sl(lbl);

    b1->SetCaption("new");
    EXPECT_TRUE(s1.Saw(CM_TEXTCHANGED));
    b1->SetEnabled(false);
    EXPECT_TRUE(s1.Saw(CM_ENABLEDCHANGED));
    EXPECT_FALSE(IsWindowEnabled(b1->Handle()));
    b1->SetEnabled(true);
    b1->SetVisible(false);
    EXPECT_TRUE(s1.Saw(CM_VISIBLECHANGED));
    b1->SetVisible(true);

    // the mouse goes from b1 to b2, then over the label (a window-less control of the form)
    SendMessageW(b1->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(s1.Saw(CM_MOUSEENTER));
    SendMessageW(b2->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(s1.Saw(CM_MOUSELEAVE));
    EXPECT_TRUE(s2.Saw(CM_MOUSEENTER));
    SendMessageW(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 105));
    EXPECT_TRUE(s2.Saw(CM_MOUSELEAVE));
    EXPECT_TRUE(sl.Saw(CM_MOUSEENTER));
    EXPECT_EQ(Application->MouseControl(), lbl);

    // focus: the one that gets it hears CM_ENTER, the one that loses it CM_EXIT, all hear
    // CM_FOCUSCHANGED
    b1->SetFocus();
    s1.Seen.clear();
    s2.Seen.clear();
    sl.Seen.clear();
    b2->SetFocus();
    EXPECT_TRUE(s1.Saw(CM_EXIT));
    EXPECT_TRUE(s2.Saw(CM_ENTER));
    EXPECT_TRUE(s1.Saw(CM_FOCUSCHANGED));
    EXPECT_TRUE(sl.Saw(CM_FOCUSCHANGED));
    EXPECT_EQ(form->ActiveControl(), b2);
    form->Free();
    EXPECT_EQ(Application->MouseControl(), nullptr);
}

TEST(Texts, Cp1251CaptionsRoundTripThroughTheWideCalls)
{
    auto* form = NewForm();
    form->SetCaption("Чтение журналов приборов");
    auto* b = new TButton(form);
    b->SetParent(form);
    b->SetCaption("Считать");
    EXPECT_EQ(b->Caption(), "\xD1\xF7\xE8\xF2\xE0\xF2\xFC");  // cp1251 bytes
    wchar_t buf[64] = {};
    GetWindowTextW(b->Handle(), buf, 64);
    EXPECT_STREQ(buf, L"Считать");
    GetWindowTextW(form->Handle(), buf, 64);
    EXPECT_STREQ(buf, L"Чтение журналов приборов");

    auto* e = new TEdit(form);
    e->SetParent(form);
    std::string changed;
    e->OnChange = [&](TObject*) { changed = e->Text(); };
    SetWindowTextW(e->Handle(), L"№ Ёлка");  // as typed by the user
    EXPECT_EQ(changed, "\xB9 \xA8\xEB\xEA\xE0");
    form->Free();
}

TEST(Layout, AlignedPanelsShareTheClientArea)
{
    auto* form = NewForm();
    form->SetBounds(0, 0, 750, 686);
    auto* top = new TPanel(form);
    top->SetParent(form);
    top->SetAlign(alTop);
    top->SetHeight(161);
    auto* rest = new TPanel(form);
    rest->SetParent(form);
    rest->SetBevelOuter(bvNone);
    rest->SetAlign(alClient);
    form->Show();
    int cw = form->ClientWidth(), ch = form->ClientHeight();
    EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, cw, 161));
    EXPECT_EQ(rest->BoundsRect(), Bounds(0, 161, cw, ch - 161));
    // the window follows the object
    RECT r;
    GetWindowRect(rest->Handle(), &r);
    EXPECT_EQ(r.bottom - r.top, ch - 161);
    form->SetHeight(600);
    EXPECT_EQ(rest->Height(), form->ClientHeight() - 161);
    form->Free();
}

TEST(Keyboard, TabMovesTheFocusAndKeyPressGetsCp1251)
{
    auto* form = NewForm();
    auto* e1 = new TEdit(form);
    e1->SetParent(form);
    auto* e2 = new TEdit(form);
    e2->SetParent(form);
    e2->SetTop(40);
    std::string keys;
    e2->OnKeyPress = [&](TObject*, char& k) {
        keys += k;
        if (k == 'x') k = 0;  // swallowed
    };
    form->Show();
    // Other test programs share the display and may take the activation away between our
    // steps; a few tries keep that from deciding the outcome.
    for (int attempt = 0; attempt < 5 && form->ActiveControl() != e2; ++attempt) {
        e1->SetFocus();
        PostMessageW(e1->Handle(), WM_KEYDOWN, VK_TAB, 0);
        Application->ProcessMessages();
    }
    EXPECT_EQ(form->ActiveControl(), e2);
    PostMessageW(e2->Handle(), WM_CHAR, L'Я', 0);
    PostMessageW(e2->Handle(), WM_CHAR, L'x', 0);
    Application->ProcessMessages();
    EXPECT_EQ(keys, "\xDFx");
    EXPECT_EQ(e2->Text(), "Я");
    form->Free();
}

TEST(ProgressBarUpdates, TheControlIsToldOnlyWhenTheFillMovesAndAlwaysAtTheEnds)
{
    auto* f = NewForm();
    auto* p = new TProgressBar(f);
    p->SetParent(f);
    p->SetBounds(0, 0, 100, 16);
    p->SetMax(65536);
    f->Show();
    TSpy spy(p);
    for (int i = 1; i <= 65536; ++i) p->SetPosition(i);
    long told = std::count(spy.Seen.begin(), spy.Seen.end(), static_cast<UINT>(PBM_SETPOS));
    // one message per pixel of a 100-pixel bar, not one per step
    EXPECT_GE(told, 99);
    EXPECT_LE(told, 101);
    EXPECT_EQ(SendMessageW(p->Handle(), PBM_GETPOS, 0, 0), 65536);
    EXPECT_EQ(p->Position(), 65536);
    p->SetPosition(0);
    EXPECT_EQ(SendMessageW(p->Handle(), PBM_GETPOS, 0, 0), 0);
    f->Free();
}

TEST(CMMessages, Ctl3DNoticeComesBeforeTheWindowIsMadeAnew)
{
    auto* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    auto* inner = new TEdit(form);
    inner->SetParent(form);
    form->Show();
    HWND before = edit->Handle();
    TSpy s(edit);
    edit->SetCtl3D(false);
    auto at = [&](UINT m) { return std::find(s.Seen.begin(), s.Seen.end(), m) - s.Seen.begin(); };
    ASSERT_TRUE(s.Saw(CM_CTL3DCHANGED));
    ASSERT_TRUE(s.Saw(WM_DESTROY));
    EXPECT_LT(at(CM_CTL3DCHANGED), at(WM_DESTROY));
    EXPECT_NE(edit->Handle(), before);
    EXPECT_FALSE(GetWindowLongW(edit->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    TSpy children(inner);
    form->SetCtl3D(false);
    EXPECT_TRUE(children.Saw(CM_PARENTCTL3DCHANGED));
    form->Free();
}

TEST(Layout, BorderWidthLiesBetweenFrameAndClientArea)
{
    auto* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 100, 60);
    form->Show();
    EXPECT_EQ(panel->ClientRect(), Rect(0, 0, 100, 60));
    panel->SetBorderWidth(3);
    EXPECT_EQ(panel->ClientRect(), Rect(0, 0, 94, 54));
    form->Free();
}

TEST(Ownership, AFormsInsertionReachesWhatOtherFormsOwn)
{
    class TInsertWatcher : public TComponent {
    public:
        using TComponent::TComponent;
        std::vector<TForm*> Forms;

    protected:
        void Notification(TComponent* c, TOperation op) override
        {
            TComponent::Notification(c, op);
            if (auto* f = dynamic_cast<TForm*>(c); f && op == opInsert) Forms.push_back(f);
        }
    };
    auto* owner = new TComponent(nullptr);
    auto* first = new TForm(owner);
    auto* watcher = new TInsertWatcher(first);
    auto* second = new TForm(owner);
    // told once it is a form (the base constructor's notice comes before that)
    EXPECT_EQ(watcher->Forms, std::vector<TForm*>{second});
    delete owner;
}
