// The global manager: registered skin components, the one that serves forms without a skin of
// their own, forms waiting to be skinned, and the hook on the application window.
#include <algorithm>

#include "FlatSkin.h"
#include "FlatSkinKinds.h"
#include "Menus.h"
#include "StdCtrls.h"

using namespace skinkinds;

TFlatSkinManager* MenuManager = nullptr;

namespace {

template <class T> bool Contains(const std::vector<T*>& v, const T* x)
{
    return std::find(v.begin(), v.end(), x) != v.end();
}
template <class T> void Erase(std::vector<T*>& v, const T* x)
{
    v.erase(std::remove(v.begin(), v.end(), x), v.end());
}

bool OwnsSkin(TComponent* form)
{
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (form->Components(i)->Is<TFlatSkin>()) return true;
    return false;
}

// Whether the control runs through this subclass object. A control walked twice has a second
// object that never went in front (its OrgWindowProc is empty): that one is neither handed over
// nor restored from, or the control would be given an empty window procedure.
bool Installed(TControlSubClass* s)
{
    return s->Control && s->Control->WindowProc() == s->SubclassMethod();
}

}  // namespace

void EnsureMenuManager()
{
    if (!MenuManager) MenuManager = new TFlatSkinManager();
}

void ReleaseMenuManager()
{
    TFlatSkinManager* m = MenuManager;
    MenuManager = nullptr;
    delete m;
}

bool ControlLiesOn(TControl* c, TControl* container)
{
    for (TControl* x = c; x; x = x->Parent())
        if (x == container) return true;
    return false;
}

TColor ParentColorOf(TControl* c)
{
    if (!c) return clBtnFace;
    return c->Parent() ? c->Parent()->Color() : c->Color();
}

bool IsMouseOverCapturedControl(TControl* AControl, const TRect& R)
{
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (!w || !w->HandleAllocated() || GetCapture() != w->Handle()) return false;
    POINT p;
    if (!GetCursorPos(&p)) return false;
    int x = p.x - AControl->Left(), y = p.y - AControl->Top();
    return R.Left <= x && x <= R.Right - 1 && R.Top <= y && y <= R.Bottom - 2;
}

TFlatSkinManager::TFlatSkinManager()
{
    // through the global: a hook copy that runs after the manager is gone finds none
    FHookId = Application->HookMainWindow(
        [](TMessage& m) { return MenuManager && MenuManager->MainWindowHook(m); });
}

TFlatSkinManager::~TFlatSkinManager()
{
    if (Application) Application->UnhookMainWindow(FHookId);
}

void TFlatSkinManager::AddSkin(TFlatSkin* Menu)
{
    Menus.push_back(Menu);
    if (auto* f = dynamic_cast<TForm*>(Menu->OwnerForm)) SkinnedForms.push_back(f);
    if (!ActiveMenu && Menu->Active() && !Menu->DisableSubclassing()) {
        ActiveMenu = Menu;
        CollectUnskinnedForms();
    }
}

void TFlatSkinManager::RemoveSkin(TFlatSkin* Menu)
{
    if (Menu == ActiveMenu) HandOverActiveMenu(Menu);
    Erase(Menus, Menu);
}

void TFlatSkinManager::FormNotification(TComponent* AComponent, TOperation Operation)
{
    if (!ActiveMenu) return;
    auto* f = dynamic_cast<TForm*>(AComponent);
    if (!f) return;
    if (Operation == opInsert) {
        if (!Contains(PendingForms, f)) PendingForms.push_back(f);
    } else {
        Erase(PendingForms, f);
        Erase(SkinnedForms, f);
    }
}

TFlatSkin* TFlatSkinManager::FindOtherActiveMenu(TFlatSkin* Excluded) const
{
    for (TFlatSkin* m : Menus)
        if (m != Excluded && m->Active() && !m->DisableSubclassing()) return m;
    return nullptr;
}

void TFlatSkinManager::HandOverActiveMenu(TFlatSkin* Leaving)
{
    TFlatSkin* next = FindOtherActiveMenu(Leaving);
    if (!next) {
        PendingForms.clear();
        TWinControl* own = Leaving ? Leaving->OwnerForm : nullptr;
        // the entries are live: a form's removal takes it out while a skin serves
        if (ActiveMenu)
            for (TForm* f : std::vector<TForm*>(SkinnedForms))
                if (f != own) ActiveMenu->HandOverMenusAndBars(f, nullptr);
        if (Application->MainForm()) {
            for (TForm* f : std::vector<TForm*>(SkinnedForms))
                if (f != own) RestoreFormControls(f);
        }
        SkinnedForms.clear();
        ActiveMenu = nullptr;
        return;
    }
    if (!ActiveMenu) {
        ActiveMenu = next;
        CollectUnskinnedForms();
        return;
    }
    TFlatSkin* leaving = ActiveMenu;
    for (int i = 0; i < leaving->ComponentCount(); ++i) {
        auto* old = dynamic_cast<TControlSubClass*>(leaving->Components(i));
        if (!old || !Installed(old) || ControlLiesOn(old->Control, leaving->OwnerForm)) continue;
        auto* s = new TControlSubClass(next);
        s->SetControl(old->Control);
        s->OrgWindowProc = old->OrgWindowProc;
        s->SavedCtl3D = old->SavedCtl3D;
        s->SavedBorderStyle = old->SavedBorderStyle;
        s->OwnerMenu = next;
        old->Control->SetWindowProc(s->SubclassMethod());
    }
    for (TForm* f : std::vector<TForm*>(SkinnedForms))
        if (f != leaving->OwnerForm) leaving->HandOverMenusAndBars(f, next);
    ActiveMenu = next;
}

void TFlatSkinManager::CollectUnskinnedForms()
{
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TForm* f = Screen->Forms(i);
        if (Contains(SkinnedForms, f) || f->Tag() == SkinTagExclude || OwnsSkin(f)) continue;
        PendingForms.push_back(f);
    }
}

void TFlatSkinManager::RestoreFormControls(TForm* AForm)
{
    if (!ActiveMenu) return;
    for (int i = ActiveMenu->ComponentCount() - 1; i >= 0; --i) {
        auto* s = dynamic_cast<TControlSubClass*>(ActiveMenu->Components(i));
        if (!s || !Installed(s) || !ControlLiesOn(s->Control, AForm)) continue;
        try {
            TControl* c = s->Control;
            c->SetWindowProc(s->OrgWindowProc);
            if (auto* e = dynamic_cast<TCustomEdit*>(c)) {
                e->SetCtl3D(s->SavedCtl3D);
                e->SetBorderStyle(s->SavedBorderStyle);
            }
            if (NameIs(c, "TDBLookupComboBox"))
                if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetCtl3D(s->SavedCtl3D);
            if (IsListBox(c) || IsListView(c) || IsTreeView(c))
                SetListLook(c, s->SavedCtl3D, s->SavedBorderStyle);
        } catch (...) {
        }
    }
}

bool TFlatSkinManager::MainWindowHook(TMessage& Message)
{
    if (!MenuManager) return false;
    // the request was posted: its item may have gone since, and is used only while a menu has it
    if (Message.Msg == WM_SKIN_POPUPBORDER_ITEM &&
        TMenu::Holding(reinterpret_cast<TMenuItem*>(Message.LParam)))
        PopupBorderForItem(reinterpret_cast<TMenuItem*>(Message.LParam));
    if (Message.Msg == WM_SKIN_POPUPBORDER_WINDOW && ActiveMenu)
        ActiveMenu->DrawPopupBorder(reinterpret_cast<HWND>(Message.LParam), Message.WParam != 0);
    if (!PendingForms.empty()) {
        try {
            for (size_t i = 0; i < PendingForms.size(); ++i) {
                TForm* f = PendingForms[i];
                if (Contains(SkinnedForms, f)) continue;
                SkinnedForms.push_back(f);
                if (ActiveMenu) ActiveMenu->ApplyToFormComponents(f, true, true);
            }
            PendingForms.clear();
        } catch (...) {
        }
    }
    return false;
}
