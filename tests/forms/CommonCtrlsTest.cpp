// The item controls and the common controls the skin and the settings frames build on: class
// names, up-down with its edit, objects on items, memo lines, list box, tree and list views,
// hot key.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <functional>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

namespace {

// A form that goes with the test, shown or not.
class OnForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(10, 10, 500, 400);
    }
    void TearDown() override { Form->Free(); }
    template <class T> T* Add(int left = 8, int top = 8)
    {
        auto* c = new T(Form);
        c->SetParent(Form);
        c->SetLeft(left);
        c->SetTop(top);
        return c;
    }
    TForm* Form = nullptr;
};

TObject* Obj(intptr_t n) { return reinterpret_cast<TObject*>(n); }

}  // namespace

TEST(ClassNames, NamesAndKindsFollowThePlatformHierarchy)
{
    TComponent owner(nullptr);
    struct Case {
        TControl* c;
        const char* name;
        std::vector<std::function<bool(TControl*)>> is;  // kinds it must be
        std::vector<std::function<bool(TControl*)>> isNot;
    };
    auto isEdit = [](TControl* c) { return c->Is<TCustomEdit>(); };
    auto isTEdit = [](TControl* c) { return c->Is<TEdit>(); };
    auto isMemo = [](TControl* c) { return c->Is<TCustomMemo>(); };
    auto isRich = [](TControl* c) { return c->Is<TCustomRichEdit>(); };
    auto isScrolling = [](TControl* c) { return c->Is<TScrollingWinControl>(); };
    auto isWin = [](TControl* c) { return c->Is<TWinControl>(); };
    auto isLabel = [](TControl* c) { return c->Is<TLabel>(); };
    std::vector<Case> cases = {
        {new TUpDown(&owner), "TUpDown", {isWin}, {isEdit}},
        {new TListBox(&owner), "TListBox", {[](TControl* c) { return c->Is<TCustomListBox>(); }}, {isEdit}},
        {new TMemo(&owner), "TMemo", {isEdit, isMemo}, {isTEdit, isRich}},
        {new TRichEdit(&owner), "TRichEdit", {isEdit, isMemo, isRich}, {isTEdit}},
        {new TTreeView(&owner), "TTreeView", {[](TControl* c) { return c->Is<TCustomTreeView>(); }}, {}},
        {new TListView(&owner), "TListView", {[](TControl* c) { return c->Is<TCustomListView>(); }}, {}},
        {new THotKey(&owner), "THotKey", {[](TControl* c) { return c->Is<TCustomHotKey>(); }}, {isEdit}},
        {new TScrollBox(&owner), "TScrollBox", {isScrolling}, {}},
        {new TFrame(&owner), "TFrame", {isScrolling, [](TControl* c) { return c->Is<TCustomFrame>(); }}, {}},
        {new TForm(&owner), "TForm", {isScrolling}, {}},
        {new TLabeledEdit(&owner), "TLabeledEdit", {isEdit}, {isTEdit}},
        {new TBoundLabel(&owner), "TBoundLabel", {isLabel}, {isWin}},
    };
    for (const Case& k : cases) {
        EXPECT_STREQ(k.c->ClassName(), k.name);
        for (auto& f : k.is) EXPECT_TRUE(f(k.c)) << k.name;
        for (auto& f : k.isNot) EXPECT_FALSE(f(k.c)) << k.name;
    }
}

TEST_F(OnForm, UpDownShowsItsPositionInTheEditAndStepsFromWhatIsTyped)
{
    auto* e = Add<TEdit>(112, 24);
    e->SetWidth(41);
    auto* ud = Add<TUpDown>(153, 24);
    ud->SetMax(255);
    ud->SetAssociate(e);
    EXPECT_EQ(e->Text(), "0");
    ud->SetPosition(300);  // kept in range, shown without windows too
    EXPECT_EQ(ud->Position(), 255);
    EXPECT_EQ(e->Text(), "255");
    Form->Show();
    EXPECT_EQ(e->Text(), "255");
    e->SetText("7");  // typed: the next step starts there
    EXPECT_EQ(ud->Position(), 7);
    ud->ClickButton(btNext);
    EXPECT_EQ(e->Text(), "8");
    // a press on the upper arrow of the window itself steps up as well
    int clicks = 0;
    ud->OnClick = [&](TObject*, TUDBtnType b) { clicks += b == btNext ? 1 : -100; };
    SendMessageW(ud->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
    SendMessageW(ud->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
    EXPECT_EQ(e->Text(), "9");
    EXPECT_EQ(ud->Position(), 9);
    EXPECT_EQ(clicks, 1);
    // the edit makes a new window for a new look: the arrows go on writing into it
    e->SetCtl3D(false);
    SendMessageW(ud->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
    SendMessageW(ud->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
    EXPECT_EQ(e->Text(), "10");
    // at the top without wrap it stays; with wrap it goes round
    ud->SetPosition(255);
    ud->ClickButton(btNext);
    EXPECT_EQ(ud->Position(), 255);
    ud->SetWrap(true);
    ud->ClickButton(btNext);
    EXPECT_EQ(ud->Position(), 0);
    EXPECT_EQ(e->Text(), "0");
    // the edit goes first: the up-down forgets it
    delete e;
    EXPECT_EQ(ud->Associate(), nullptr);
    ud->SetPosition(3);
    EXPECT_EQ(ud->Position(), 3);
}

TEST(ItemObjects, ObjectsMoveWithTheirStrings)
{
    TComponent owner(nullptr);
    auto* cb = new TComboBox(&owner);
    TStrings& items = cb->Items();
    items.AddObject("COM2", Obj(2));
    items.AddObject("COM10", Obj(10));
    items.AddObject("com1", Obj(1));
    items.Delete(0);
    EXPECT_EQ(items.Objects(0), Obj(10));
    cb->SetSorted(true);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Strings(0), "com1");
    EXPECT_EQ(items.Objects(0), Obj(1));
    items.AddObject("COM05", Obj(5));  // a sorted list puts a new item in its place
    EXPECT_EQ(items.IndexOfObject(Obj(5)), 0);
    EXPECT_EQ(items.Objects(2), Obj(10));
    // a work list sorted case-insensitively, handed over with its objects
    TStringList work;
    work.AddObject("COM2", Obj(2));
    work.AddObject("com12 - VCP", Obj(12));
    work.AddObject("COM1", Obj(1));
    work.Sort();
    auto* cb2 = new TComboBox(&owner);
    cb2->Items().Assign(work);
    std::vector<std::string> order(cb2->Items().begin(), cb2->Items().end());
    EXPECT_EQ(order, (std::vector<std::string>{"COM1", "com12 - VCP", "COM2"}));
    EXPECT_EQ(cb2->Items().Objects(1), Obj(12));
    EXPECT_EQ(cb2->Items().Objects(2), Obj(2));
}

TEST_F(OnForm, MemoLinesAndTextAreOneText)
{
    for (bool shown : {false, true}) {
        for (TCustomMemo* m : {static_cast<TCustomMemo*>(Add<TMemo>()), static_cast<TCustomMemo*>(Add<TRichEdit>())}) {
            if (shown) Form->Show();
            int changes = 0;
            m->OnChange = [&](TObject*) { ++changes; };
            m->Lines().Add("один");
            m->Lines().Add("two");
            EXPECT_EQ(m->Text(), "один\r\ntwo") << m->ClassName() << shown;
            EXPECT_GE(changes, 1) << m->ClassName() << shown;
            m->SetText("a\r\nb\r\nc");
            EXPECT_EQ(m->Lines().Count(), 3) << m->ClassName() << shown;
            EXPECT_EQ(m->Lines().Strings(2), "c") << m->ClassName() << shown;
            if (shown) {
                // what the user typed into the window is what the lines give
                SetWindowTextW(m->Handle(), L"x\r\ny");
                EXPECT_EQ(m->Lines().Count(), 2) << m->ClassName();
                EXPECT_EQ(m->Lines().Strings(1), "y") << m->ClassName();
                LONG style = GetWindowLongW(m->Handle(), GWL_STYLE);
                EXPECT_TRUE(style & ES_MULTILINE) << m->ClassName();
            }
        }
    }
    // the rich edit is the system's rich text control, and tells of changes
    auto* rich = dynamic_cast<TWinControl*>(Form->Controls(3));
    EXPECT_EQ(SendMessageW(rich->Handle(), EM_GETEVENTMASK, 0, 0) & ENM_CHANGE, ENM_CHANGE);
}

TEST_F(OnForm, ListBoxShowsItsItemsAndKeepsTheSelectionAcrossANewWindow)
{
    auto* lb = Add<TListBox>();
    lb->Items().Add("a");
    lb->Items().Add("b");
    lb->Items().Add("c");
    lb->SetItemIndex(1);
    Form->Show();
    EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCURSEL, 0, 0), 1);
    // the user picks an item
    int clicks = 0;
    lb->OnClick = [&](TObject*) { ++clicks; };
    SendMessageW(lb->Handle(), LB_SETCURSEL, 2, 0);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb->Handle()));
    EXPECT_EQ(lb->ItemIndex(), 2);
    EXPECT_EQ(clicks, 1);
    lb->SetBorderStyle(bsNone);  // a new window
    EXPECT_FALSE(GetWindowLongW(lb->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCURSEL, 0, 0), 2);
    lb->Items().Delete(2);
    EXPECT_EQ(lb->ItemIndex(), -1);
    EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCOUNT, 0, 0), 2);
}

TEST_F(OnForm, TreeViewNodesReachTheWindowBeforeAndAfterItExists)
{
    auto* tv = Add<TTreeView>();
    TTreeNode* root = tv->Items().Add("root");
    TTreeNode* kid = tv->Items().AddChild(root, "kid");
    Form->Show();
    tv->Items().AddChild(kid, "grandchild");
    tv->Items().Add("second");
    EXPECT_EQ(tv->Items().Count(), 4);
    EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(kid->Level(), 1);
    tv->SetSelected(kid);
    tv->SetBorderStyle(bsNone);  // a new window gets every node again
    EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(kid->ItemId()));
    tv->Items().Delete(root);  // with everything below it, the selection included
    EXPECT_EQ(tv->Items().Count(), 1);
    // the window moves the selection on, never to a node that went
    EXPECT_TRUE(tv->Selected() == nullptr || tv->Selected() == tv->Items().Root(0));
    EXPECT_EQ(SendMessageW(tv->Handle(), TVM_GETCOUNT, 0, 0), 1);
}

TEST_F(OnForm, ListViewColumnsItemsAndSelection)
{
    auto* lv = Add<TListView>();
    lv->SetViewStyle(vsReport);
    lv->AddColumn("Имя", 80);
    lv->AddItem("a", {"1"});
    Form->Show();
    lv->AddColumn("Значение", 60);
    lv->AddItem("b", {"2"});
    lv->AddItem("c", {"3"});
    EXPECT_EQ(SendMessageW(lv->Handle(), LVM_GETITEMCOUNT, 0, 0), 3);
    wchar_t buf[32] = {};
    LVITEMW li{};
    li.iSubItem = 1;
    li.pszText = buf;
    li.cchTextMax = 32;
    SendMessageW(lv->Handle(), LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&li));
    EXPECT_EQ(std::wstring(buf), L"2");
    lv->SetItemIndex(2);
    EXPECT_EQ(lv->ItemIndex(), 2);
    lv->DeleteItem(0);  // the selection moves up with its item
    EXPECT_EQ(lv->ItemIndex(), 1);
    EXPECT_EQ(lv->Items(1)->Caption, "c");
    lv->SetViewStyle(vsList);  // new window: items and selection again
    EXPECT_EQ(SendMessageW(lv->Handle(), LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(lv->ItemIndex(), 1);
}

TEST_F(OnForm, HotKeyKeepsModifiersThroughTheWindow)
{
    auto* hk = Add<THotKey>();
    hk->SetHotKey(scCtrl | scShift | 'A');
    Form->Show();
    WORD raw = static_cast<WORD>(SendMessageW(hk->Handle(), HKM_GETHOTKEY, 0, 0));
    EXPECT_EQ(LOBYTE(raw), 'A');
    EXPECT_EQ(HIBYTE(raw), HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    SendMessageW(hk->Handle(), HKM_SETHOTKEY, MAKEWORD(VK_F5, HOTKEYF_ALT), 0);  // the user's keys
    EXPECT_EQ(hk->HotKey(), scAlt | VK_F5);
}
