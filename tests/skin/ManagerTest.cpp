// The skin manager: which component serves, forms skinned later, hand-over between skin
// components, restoring forms, the application-window hook and the captured-mouse test.
#include <algorithm>

#include "Menus.h"
#include "SkinTestSupport.h"
#include "ToolWin.h"

namespace {

class Manager : public SkinTest {
protected:
    void SetUp() override
    {
        // restoring forms needs a main form; it carries nothing of the skin
        Application->CreateForm(Main);
    }
    static bool Has(const std::vector<TForm*>& v, TForm* f) { return std::find(v.begin(), v.end(), f) != v.end(); }
    static void NextMessage() { SendMessageW(Application->Handle(), WM_NULL, 0, 0); }
    TForm* Main = nullptr;
};

TEST_F(Manager, AFormMadeWhileASkinServesIsSkinnedAtTheNextMessage)
{
    TForm* own = NewForm();
    TFlatSkin* skin = LoadSkin(own);
    ASSERT_NE(MenuManager, nullptr);
    EXPECT_EQ(MenuManager->ActiveMenu, skin);
    EXPECT_TRUE(Has(MenuManager->SkinnedForms, own));

    TForm* later = NewForm();
    later->SetTag(999);  // queued all the same; the walk then leaves out its direct children
    auto* panel = Put<TPanel>(later, later);
    auto* edit = Put<TEdit>(later, panel);
    EXPECT_TRUE(Has(MenuManager->PendingForms, later));
    EXPECT_EQ(SubclassOf(edit), nullptr);
    NextMessage();
    EXPECT_TRUE(MenuManager->PendingForms.empty());
    EXPECT_TRUE(Has(MenuManager->SkinnedForms, later));
    ASSERT_NE(SubclassOf(edit), nullptr);
    EXPECT_EQ(SubclassOf(edit)->Owner(), skin);
    EXPECT_EQ(SubclassOf(panel), nullptr);

    later->Free();  // its removal takes it out of the lists
    EXPECT_FALSE(Has(MenuManager->SkinnedForms, later));
}

TEST_F(Manager, FormsThatExistWhenASkinStartsServingAreCollected)
{
    TForm* plain = NewForm();
    TForm* kept = NewForm();
    kept->SetTag(999);
    TForm* withSkin = NewForm();
    new TFlatSkin(withSkin);  // never registered, but it is a skin of its own
    TForm* own = NewForm();
    LoadSkin(own);
    const auto& pending = MenuManager->PendingForms;
    EXPECT_TRUE(Has(pending, plain));
    EXPECT_TRUE(Has(pending, Main));
    EXPECT_FALSE(Has(pending, kept));
    EXPECT_FALSE(Has(pending, withSkin));
    EXPECT_FALSE(Has(pending, own));
}

TEST_F(Manager, TheFirstActiveSkinWithoutDisabledSubclassingServes)
{
    TFlatSkin* inactive = LoadSkin(NewForm(), false);
    TFlatSkin* disabled = LoadSkin(NewForm(), true, true);
    EXPECT_EQ(MenuManager->ActiveMenu, nullptr);
    TFlatSkin* first = LoadSkin(NewForm());
    TFlatSkin* second = LoadSkin(NewForm());
    EXPECT_EQ(MenuManager->ActiveMenu, first);
    EXPECT_EQ(MenuManager->FindOtherActiveMenu(nullptr), first);
    EXPECT_EQ(MenuManager->FindOtherActiveMenu(first), second);
    EXPECT_EQ(MenuManager->Menus, (std::vector<TFlatSkin*>{inactive, disabled, first, second}));
    second->SetDisableSubclassing(true);
    EXPECT_EQ(MenuManager->FindOtherActiveMenu(first), nullptr);
    first->SetDisableSubclassing(true);  // the one that serves steps back: nobody qualifies
    EXPECT_EQ(MenuManager->ActiveMenu, nullptr);
    first->SetDisableSubclassing(false);  // no one serves: it is asked to again
    EXPECT_EQ(MenuManager->ActiveMenu, first);
}

TEST_F(Manager, WithoutSuccessorTheServedFormsGetTheirOwnLookBack)
{
    TForm* own = NewForm();
    TFlatSkin* skin = LoadSkin(own);
    auto* ownEdit = Put<TEdit>(own, own);
    skin->SkinComponent(ownEdit, true, false);
    TForm* other = NewForm();
    auto* edit = Put<TEdit>(other, other);
    NextMessage();
    TControlSubClass* s = SubclassOf(edit);
    ASSERT_NE(s, nullptr);
    s->KeepOnDestroy = true;  // a painter took the border off
    edit->SetBorderStyle(bsNone);
    TForm* waiting = NewForm();
    ASSERT_TRUE(Has(MenuManager->PendingForms, waiting));

    delete skin;
    EXPECT_EQ(MenuManager, nullptr) << "the last skin released the manager";
    EXPECT_EQ(edit->WindowProc(), WndMethod<&TControl::WndProc>(static_cast<TControl*>(edit)));
    EXPECT_EQ(edit->BorderStyle(), bsSingle);
    EXPECT_EQ(ownEdit->WindowProc(), WndMethod<&TControl::WndProc>(static_cast<TControl*>(ownEdit)));
}

TEST_F(Manager, ASuccessorTakesOverTheControlsOfOtherForms)
{
    TForm* formA = NewForm();
    auto* editA = Put<TEdit>(formA, formA);
    TFlatSkin* a = LoadSkin(formA);
    TForm* formB = NewForm();
    TFlatSkin* b = LoadSkin(formB);
    TForm* other = NewForm();
    auto* edit = Put<TEdit>(other, other);
    NextMessage();
    ASSERT_EQ(SubclassOf(edit)->Owner(), a);
    TWndMethod own = SubclassOf(edit)->OrgWindowProc;
    SubclassOf(edit)->SavedCtl3D = false;  // what the new object must carry over

    a->SetActive(false);  // its own controls let go; the served ones still run through it
    EXPECT_EQ(SubclassOf(editA), nullptr);
    SubclassOf(edit)->OwnerMenu = nullptr;
    delete a;
    ASSERT_NE(MenuManager, nullptr);
    EXPECT_EQ(MenuManager->ActiveMenu, b);
    TControlSubClass* moved = SubclassOf(edit);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->Owner(), b);
    EXPECT_EQ(moved->OwnerMenu, b);
    EXPECT_EQ(moved->OrgWindowProc, own);
    EXPECT_FALSE(moved->SavedCtl3D);
    edit->Perform(CM_TEXTCHANGED);  // nothing of the old object is reached
    EXPECT_TRUE(Has(MenuManager->SkinnedForms, other));
}

TEST_F(Manager, MenusAndBarsOfServedFormsFollowTheServingSkin)
{
    for (bool successor : {true, false}) {
        SCOPED_TRACE(successor ? "with a successor" : "without one");
        TForm* formA = NewForm();
        TFlatSkin* a = LoadSkin(formA);
        TForm* formB = successor ? NewForm() : nullptr;
        TFlatSkin* b = successor ? LoadSkin(formB) : nullptr;
        if (b) b->SetIconWidth(40);  // its measure tells its handler from the leaving one's
        TForm* other = NewForm();
        auto* menu = new TMainMenu(other);
        auto* file = new TMenuItem(other);
        file->SetCaption("Файл");
        menu->Items()->Add(file);
        auto* open = new TMenuItem(other);
        open->SetCaption("Открыть");
        file->Add(open);
        other->SetMenu(menu);
        auto* bar = Put<TToolBar>(other, other);
        Put<TToolButton>(other, bar);
        auto* cb = Put<TControlBar>(other, other);
        other->Show();
        NextMessage();
        ASSERT_TRUE(open->OnMeasureItem && bar->OnCustomDrawButton && cb->OnBandPaint) << "skinned by the first";

        delete a;
        TBitmap pic;
        pic.SetSize(200, 30);
        int w = 0, h = 0;
        if (b) {
            ASSERT_TRUE(open->OnMeasureItem && open->OnDrawItem && bar->OnCustomDrawButton && cb->OnBandPaint);
            EXPECT_TRUE(menu->OwnerDraw());
            int bw = 0, bh = 0;
            b->MeasureItem(open, &pic.Canvas(), bw, bh);
            open->OnMeasureItem(open, &pic.Canvas(), w, h);
            EXPECT_EQ(w, bw) << "measured by the successor";
            open->OnDrawItem(open, &pic.Canvas(), TRect(0, 0, 200, 30), true);
            EXPECT_EQ(pic.Canvas().Pixels(100, 15), static_cast<TColor>(ColorToRGB(b->SelectFillColor)));
        } else {
            EXPECT_FALSE(open->OnMeasureItem || open->OnDrawItem || file->OnDrawItem);
            EXPECT_FALSE(bar->OnCustomDrawButton || cb->OnBandPaint);
            EXPECT_FALSE(menu->OwnerDraw());
        }
        // the menu bar and the bars draw again with what they have now
        RedrawWindow(other->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DrawMenuBar(other->Handle());
        Application->ProcessMessages();
        other->Free();
        if (formB) formB->Free();
        formA->Free();
    }
}

TEST_F(Manager, AControlWalkedTwiceIsHandedOverWithTheProcedureItHad)
{
    TFlatSkin* a = LoadSkin(NewForm());
    TForm* formB = NewForm();
    TFlatSkin* b = LoadSkin(formB);
    TForm* other = NewForm();
    auto* edit = Put<TEdit>(other, other);
    const TWndMethod own = edit->WindowProc();
    NextMessage();
    a->SkinComponent(edit, true, false);  // a second object, never in front
    ASSERT_EQ(SubclassCount(a), 2);
    ASSERT_EQ(SubclassOf(edit)->OrgWindowProc, own);

    delete a;
    ASSERT_EQ(MenuManager->ActiveMenu, b);
    ASSERT_NE(SubclassOf(edit), nullptr);
    EXPECT_EQ(SubclassOf(edit)->Owner(), b);
    EXPECT_EQ(SubclassOf(edit)->OrgWindowProc, own);
    edit->SetText("12");  // its messages reach the edit's own procedure
    EXPECT_EQ(edit->Text(), "12");
    b->SkinComponent(edit, true, false);  // walked twice by the successor too
    formB->Free();  // no one serves now: the edit gets its procedure back
    EXPECT_EQ(edit->WindowProc(), own);
    edit->SetText("34");
    EXPECT_EQ(edit->Text(), "34");
}

TEST_F(Manager, ABorderRequestWhoseItemWentMeanwhileDoesNothing)
{
    TForm* own = NewForm();
    own->Show();
    LoadSkin(own);
    auto* popup = new TPopupMenu(own);
    auto* item = new TMenuItem(own);
    item->SetCaption("Один");
    popup->Items()->Add(item);
    TMessage live{WM_SKIN_POPUPBORDER_ITEM, 0, reinterpret_cast<LPARAM>(item), 0};
    EXPECT_FALSE(MenuManager->MainWindowHook(live));  // not shown: no window under it, no border
    // the request is posted, then its item goes before it arrives
    PostMessageW(Application->Handle(), WM_SKIN_POPUPBORDER_ITEM, 0, reinterpret_cast<LPARAM>(item));
    delete item;
    auto* stranger = new TMenuItem(own);  // an item in no menu is no request either
    PostMessageW(Application->Handle(), WM_SKIN_POPUPBORDER_ITEM, 0, reinterpret_cast<LPARAM>(stranger));
    Application->ProcessMessages();
    EXPECT_EQ(TMenu::Holding(stranger), nullptr);
    popup->Items()->Add(stranger);
    EXPECT_EQ(TMenu::Holding(stranger), popup);
    delete popup;
    EXPECT_EQ(TMenu::Holding(stranger), nullptr);
}

TEST_F(Manager, HookLeavesEveryMessageToTheApplication)
{
    TForm* own = NewForm();
    own->Show();
    TFlatSkin* skin = LoadSkin(own);
    HWND popup = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    auto proc = [&] { return GetWindowLongPtrW(popup, GWLP_WNDPROC); };
    LONG_PTR before = proc();
    TMessage m{WM_SKIN_POPUPBORDER_WINDOW, 0, reinterpret_cast<LPARAM>(popup), 0};
    MenuManager->ActiveMenu = nullptr;  // nobody serves: the request is ignored
    EXPECT_FALSE(MenuManager->MainWindowHook(m));
    EXPECT_EQ(proc(), before);
    MenuManager->ActiveMenu = skin;
    EXPECT_FALSE(MenuManager->MainWindowHook(m));
    EXPECT_NE(proc(), before) << "the border drawing took over the popup window";
    SendMessageW(popup, WM_CLOSE, 0, 0);
    DestroyWindow(popup);
    TMessage item{WM_SKIN_POPUPBORDER_ITEM, 0, 0, 0};
    EXPECT_FALSE(MenuManager->MainWindowHook(item));
}

TEST_F(Manager, MouseOverCapturedControl)
{
    TForm* f = NewForm();
    f->SetBounds(100, 120, 200, 150);
    f->Show();
    const TRect r(0, 0, 20, 10);
    struct {
        int dx, dy;
        bool inside;
    } cases[] = {{0, 0, true}, {19, 8, true}, {20, 5, false}, {5, 9, false}, {-1, 0, false}};
    SetCapture(f->Handle());
    for (const auto& c : cases) {
        SetCursorPos(100 + c.dx, 120 + c.dy);
        EXPECT_EQ(IsMouseOverCapturedControl(f, r), c.inside) << c.dx << "," << c.dy;
    }
    ReleaseCapture();
    SetCursorPos(105, 125);
    EXPECT_FALSE(IsMouseOverCapturedControl(f, r)) << "no capture";
    TForm* g = NewForm();
    g->Show();
    SetCapture(g->Handle());
    EXPECT_FALSE(IsMouseOverCapturedControl(f, r)) << "another window holds it";
    ReleaseCapture();
}

}  // namespace
