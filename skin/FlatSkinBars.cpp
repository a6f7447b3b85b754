// The walk's steps for menus, tool bars and control bars, and the manager's border request by
// menu item.
#include "FlatSkin.h"
#include "FlatSkinKinds.h"
#include "Menus.h"
#include "ToolWin.h"

using namespace skinkinds;

namespace {

// The handlers the skin installs, as objects that tell whose they are: unskinning removes only
// a skin's own handlers, never an application's.
struct MeasureHandler {
    TFlatSkin* Skin;
    void operator()(TObject* s, TCanvas* c, int& w, int& h) const { Skin->MeasureItem(s, c, w, h); }
};
struct DrawHandler {
    TFlatSkin* Skin;
    void operator()(TObject* s, TCanvas* c, TRect r, bool sel) const { Skin->DrawItem(s, c, r, sel); }
};
struct ButtonHandler {
    TFlatSkin* Skin;
    void operator()(TToolBar* bar, TToolButton* b, TCustomDrawState st, bool& def) const
    {
        Skin->ToolBarCustomDrawButton(bar, b, st, def);
    }
};
struct BandHandler {
    TFlatSkin* Skin;
    void operator()(TObject* s, TControl* c, TCanvas* cv, TRect& r, TBandPaintOptions& o) const
    {
        Skin->ControlBarBandPaint(s, c, cv, r, o);
    }
};

template <class H, class F> bool IsHandlerOf(const F& f, const TFlatSkin* skin)
{
    const H* h = f.template target<H>();
    return h && h->Skin == skin;
}

// Owner-draw mode and item handlers of a menu's top-level items (and theirs, through
// HookMenuItems).
void HookMenu(TFlatSkin* skin, TMenu* menu, bool Skin)
{
    TMenuItem* root = menu->Items();
    for (int i = 0; i < root->Count(); ++i) {
        menu->SetOwnerDraw(Skin);
        skin->HookMenuItems(root->Items(i), Skin);
    }
}

// Whether a menu, tool bar or control bar draws through the skin's handlers.
bool MenuItemsUse(const TMenuItem* item, const TFlatSkin* skin)
{
    if (IsHandlerOf<DrawHandler>(item->OnDrawItem, skin) || IsHandlerOf<MeasureHandler>(item->OnMeasureItem, skin))
        return true;
    for (int i = 0; i < item->Count(); ++i)
        if (MenuItemsUse(item->Items(i), skin)) return true;
    return false;
}

bool DrawsThrough(TComponent* c, const TFlatSkin* skin)
{
    if (auto* m = dynamic_cast<TMenu*>(c)) return m->Items() && MenuItemsUse(m->Items(), skin);
    if (auto* tb = dynamic_cast<TToolBar*>(c)) return IsHandlerOf<ButtonHandler>(tb->OnCustomDrawButton, skin);
    if (auto* cb = dynamic_cast<TControlBar*>(c)) return IsHandlerOf<BandHandler>(cb->OnBandPaint, skin);
    return false;
}

}  // namespace

void TFlatSkin::HandOverMenusAndBars(TComponent* AContainer, TFlatSkin* Successor)
{
    if (!AContainer) return;
    for (int i = 0; i < AContainer->ComponentCount(); ++i) {
        TComponent* c = AContainer->Components(i);
        if (DrawsThrough(c, this)) {
            SkinMenusAndBars(c, false, true);
            if (Successor) Successor->SkinMenusAndBars(c, true, true);
        }
        // frames and the like own theirs; a skin's own parts and menu items hold none
        if (!c->Is<TFlatSkin>() && !c->Is<TMenuItem>()) HandOverMenusAndBars(c, Successor);
    }
}

bool TFlatSkin::IsAutoDetected(TComponent* AComponent)
{
    return IsMenuItem(AComponent) || IsToolButton(AComponent) || IsControlBar(AComponent);
}

void TFlatSkin::HookMenuItems(TMenuItem* AItem, bool Skin)
{
    if (!AItem) return;
    if (Skin) {
        if (AItem->Tag() != SkinTagExclude) {
            if (!AItem->OnDrawItem || FOverrideOwnerDraw) AItem->OnDrawItem = DrawHandler{this};
            if (!AItem->OnMeasureItem || FOverrideOwnerDraw) AItem->OnMeasureItem = MeasureHandler{this};
        }
    } else {
        if (IsHandlerOf<DrawHandler>(AItem->OnDrawItem, this)) AItem->OnDrawItem = nullptr;
        if (IsHandlerOf<MeasureHandler>(AItem->OnMeasureItem, this)) AItem->OnMeasureItem = nullptr;
    }
    for (int i = 0; i < AItem->Count(); ++i) HookMenuItems(AItem->Items(i), Skin);
}

void TFlatSkin::SkinMenusAndBars(TComponent* AComponent, bool Skin, bool Redraw)
{
    auto on = [&](TSkinControl k) { return (FSkinControls & SkinControlBit(k)) != 0; };
    if (auto* mm = dynamic_cast<TMainMenu*>(AComponent); mm && on(skMainMenu) && mm->Tag() != SkinTagExclude) {
        HookMenu(this, mm, Skin);
        if (mm->Items()->Count() > 0) {
            // a changed caption makes the system build the bar anew
            TMenuItem* first = mm->Items()->Items(0);
            std::string caption = first->Caption();
            first->SetCaption("");
            first->SetCaption(caption);
        }
    }
    if (auto* pm = dynamic_cast<TPopupMenu*>(AComponent); pm && on(skPopupMenu)) HookMenu(this, pm, Skin);
    if (auto* tb = dynamic_cast<TToolBar*>(AComponent); tb && on(skToolbar) && !Designing()) {
        if (!tb->Flat()) tb->SetFlat(true);
        if (Skin) {
            if (tb->ButtonCount() > 0 && (!tb->OnCustomDrawButton || FOverrideOwnerDraw))
                tb->OnCustomDrawButton = ButtonHandler{this};
        } else if (IsHandlerOf<ButtonHandler>(tb->OnCustomDrawButton, this)) {
            tb->OnCustomDrawButton = nullptr;
        }
        if (Redraw) tb->Invalidate();
    }
    if (auto* cb = dynamic_cast<TControlBar*>(AComponent); cb && on(skControlbar) && !Designing()) {
        if (Skin) {
            if (!cb->OnBandPaint || FOverrideOwnerDraw) cb->OnBandPaint = BandHandler{this};
        } else if (IsHandlerOf<BandHandler>(cb->OnBandPaint, this)) {
            cb->OnBandPaint = nullptr;
        }
        if (Redraw) cb->Invalidate();
    }
}

void TFlatSkinManager::PopupBorderForItem(TMenuItem* Item)
{
    TMenuItem* parent = Item->Parent();
    if (!parent) return;
    RECT r{};
    if (!GetMenuItemRect(nullptr, parent->Handle(), static_cast<UINT>(Item->MenuIndex()), &r)) return;
    POINT centre{r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
    HWND popup = WindowFromPoint(centre);
    TMenu* menu = Item->GetParentMenu();
    if (popup && ActiveMenu) ActiveMenu->DrawPopupBorder(popup, menu && menu->IsRightToLeft());
}
