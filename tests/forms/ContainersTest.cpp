// Frames and scroll boxes, the labeled edit, tab order, hints and published properties found
// by name.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "TypInfo.h"

namespace {

TForm* NewForm()
{
    auto* f = new TForm(nullptr);
    f->SetBounds(10, 10, 500, 400);
    return f;
}

}  // namespace

TEST(TabOrder, FollowsTabOrderAndSurvivesANewWindow)
{
    auto* f = NewForm();
    std::vector<TEdit*> e;
    for (int i = 0; i < 4; ++i) {
        e.push_back(new TEdit(f));
        e.back()->SetParent(f);
        e.back()->SetTop(30 * i);
    }
    EXPECT_EQ(e[3]->TabOrder(), 3);  // in the order they joined
    e[3]->SetTabOrder(0);
    e[0]->SetTabOrder(99);  // out of range: last
    std::vector<int> orders;
    for (TEdit* x : e) orders.push_back(x->TabOrder());
    EXPECT_EQ(orders, (std::vector<int>{3, 1, 2, 0}));
    f->Show();
    auto next = [&](TEdit* from) { return FindControl(GetNextDlgTabItem(f->Handle(), from->Handle(), FALSE)); };
    EXPECT_EQ(next(e[3]), e[1]);
    EXPECT_EQ(next(e[2]), e[0]);
    e[1]->SetCtl3D(false);  // a new window for e[1] keeps its place
    EXPECT_EQ(next(e[3]), e[1]);
    e[2]->SetTabOrder(0);  // changed while shown
    EXPECT_EQ(next(e[2]), e[3]);
    f->Free();
}

TEST(Hints, ShowHintFollowsTheParentUntilSetOnItsOwn)
{
    auto* f = NewForm();
    auto* gb = new TGroupBox(f);
    gb->SetParent(f);
    auto* e = new TEdit(f);
    e->SetParent(gb);
    e->SetHint("Имя удаленного компьютера");
    EXPECT_FALSE(e->ShowHint());
    gb->SetShowHint(true);
    EXPECT_TRUE(e->ShowHint());
    EXPECT_TRUE(e->ParentShowHint());
    e->SetShowHint(false);
    EXPECT_FALSE(e->ParentShowHint());
    EXPECT_FALSE(e->ShowHint());
    EXPECT_EQ(e->Hint(), "Имя удаленного компьютера");
    f->Free();
}

TEST(PublishedProps, FontIsFoundByNameWhereTheClassPublishesIt)
{
    TComponent owner(nullptr);
    auto* l = new TLabel(&owner);
    auto* le = new TLabeledEdit(&owner);
    struct Case {
        TComponent* c;
        bool hasFont;
    };
    for (Case k : {Case{l, true}, Case{le, true}, Case{new TEdit(&owner), true}, Case{new TCheckBox(&owner), true},
                   Case{new TUpDown(&owner), false}, Case{new TProgressBar(&owner), false},
                   Case{new TComponent(&owner), false}}) {
        const TPropInfo* p = GetPropInfo(k.c, "Font");
        EXPECT_EQ(p != nullptr, k.hasFont) << k.c->ClassName();
        if (p) {
            TFont* font = GetObjectProp<TFont>(k.c, p);
            ASSERT_NE(font, nullptr);
            EXPECT_EQ(font, &static_cast<TControl*>(k.c)->Font());
            EXPECT_EQ(GetObjectProp<TStrings>(k.c, p), nullptr);  // the wrong type gives nothing
        }
    }
    EXPECT_NE(GetPropInfo(l, "font"), nullptr);
    EXPECT_EQ(GetPropInfo(l, "Fonts"), nullptr);
    EXPECT_EQ(GetPropInfo(nullptr, "Font"), nullptr);
}

TEST(LabeledEdit, TheLabelFollowsTheEditAndGoesWithIt)
{
    auto* f = NewForm();
    auto* le = new TLabeledEdit(f);
    le->SetParent(f);
    le->SetBounds(100, 50, 120, 21);
    TBoundLabel* l = le->EditLabel();
    le->EditLabel()->SetCaption("Адрес");
    EXPECT_EQ(l->Parent(), f);
    le->SetTop(60);
    EXPECT_EQ(l->Left(), 100);
    EXPECT_EQ(l->Top(), 60 - l->Height() - 3);
    le->SetLabelPosition(lpLeft);
    EXPECT_EQ(l->Left() + l->Width() + 3, 100);
    le->SetVisible(false);
    le->SetEnabled(false);
    EXPECT_FALSE(l->Visible());
    EXPECT_FALSE(l->Enabled());
    // an edit on another parent than its label's owner: either may go first
    auto* le2 = new TLabeledEdit(nullptr);
    le2->SetParent(f);
    f->Show();
    delete le;
    EXPECT_EQ(f->ControlCount(), 2);  // le2 and its label
    f->Free();                        // the form frees le2's label and le2 without its owner
}

TEST(Frames, AFrameIsAChildContainerOfItsFormAndTabWalksIntoIt)
{
    auto* f = NewForm();
    auto* before = new TEdit(f);
    before->SetParent(f);
    auto* fr = new TFrame(nullptr);  // frames are made without an owner
    fr->SetBounds(0, 40, 443, 95);
    auto* gb = new TGroupBox(fr);
    gb->SetParent(fr);
    gb->SetAlign(alClient);
    auto* inner = new TEdit(fr);
    inner->SetParent(gb);
    inner->SetTop(20);
    fr->SetParent(f);
    f->Show();
    EXPECT_EQ(GetParent(fr->Handle()), f->Handle());
    EXPECT_TRUE(GetWindowLongW(fr->Handle(), GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(FindControl(GetNextDlgTabItem(f->Handle(), before->Handle(), FALSE)), inner);
    f->Free();  // frees the frame too, as its parent
}

TEST(ScrollBox, ContentBeyondTheClientAreaScrolls)
{
    auto* f = NewForm();
    auto* sb = new TScrollBox(f);
    sb->SetParent(f);
    sb->SetBounds(0, 0, 200, 100);
    auto* low = new TButton(f);
    low->SetParent(sb);
    low->SetBounds(10, 250, 75, 25);
    f->Show();
    EXPECT_TRUE(GetWindowLongW(sb->Handle(), GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(GetWindowLongW(sb->Handle(), GWL_STYLE) & WS_HSCROLL);
    SendMessageW(sb->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(sb->ScrollPos().Y, 275 - sb->ClientHeight());
    EXPECT_EQ(low->Top(), 250 - sb->ScrollPos().Y);
    RECT r;
    GetWindowRect(low->Handle(), &r);
    MapWindowPoints(nullptr, sb->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.bottom, sb->ClientHeight());  // its bottom edge is in view
    sb->SetAutoScroll(false);  // back to the top, no bars
    EXPECT_EQ(low->Top(), 250);
    EXPECT_FALSE(GetWindowLongW(sb->Handle(), GWL_STYLE) & WS_VSCROLL);
    f->Free();
}
