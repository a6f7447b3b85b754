#include "Menus.h"

#include <algorithm>
#include <map>

#include "Forms.h"
#include "ImgList.h"
#include "SysUtils.h"

namespace {

// Command ids of all items of the process; 0 is never used (it means "nothing chosen").
std::map<UINT, TMenuItem*>& Commands()
{
    static std::map<UINT, TMenuItem*> m;
    return m;
}

UINT NextCommand()
{
    static UINT next = 100;
    while (Commands().count(next) || next == 0) ++next;
    return next++;
}

// Hidden window that owns shown popup menus and gets their drawing messages.
HWND gPopupWindow = nullptr;

LRESULT CALLBACK PopupWndProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    TMessage m{msg, w, l, 0};
    try {
        if (DispatchMenuOwnerDraw(m)) return m.Result;
    } catch (...) {
        Application->HandleException(nullptr);
        return 0;
    }
    return DefWindowProcW(h, msg, w, l);
}

HWND PopupWindow()
{
    if (gPopupWindow) return gPopupWindow;
    WNDCLASSW wc{};
    wc.lpfnWndProc = PopupWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TPopupList";
    RegisterClassW(&wc);
    gPopupWindow = CreateWindowExW(0, L"TPopupList", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    return gPopupWindow;
}

std::string KeyName(WORD key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
    if (key >= VK_F1 && key <= VK_F24) return std::string("F").append(std::to_string(key - VK_F1 + 1));
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return std::string("Num ").append(std::to_string(key - VK_NUMPAD0));
    switch (key) {
    case VK_BACK: return "BkSp";
    case VK_TAB: return "Tab";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_END: return "End";
    case VK_HOME: return "Home";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_INSERT: return "Ins";
    case VK_DELETE: return "Del";
    default: return {};
    }
}

}  // namespace

TShortCut ShortCut(WORD Key, TShiftState Shift)
{
    TShortCut s = static_cast<TShortCut>(Key & 0xFF);
    if (Shift & ssShift) s |= scShift;
    if (Shift & ssCtrl) s |= scCtrl;
    if (Shift & ssAlt) s |= scAlt;
    return s;
}

std::string ShortCutToText(TShortCut s)
{
    std::string name = KeyName(static_cast<WORD>(s & 0xFF));
    if (name.empty()) return {};
    std::string text;
    if (s & scShift) text += "Shift+";
    if (s & scCtrl) text += "Ctrl+";
    if (s & scAlt) text += "Alt+";
    return text + name;
}

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner)
{
    FCommand = NextCommand();
    Commands()[FCommand] = this;
}

TMenuItem::~TMenuItem()
{
    for (TMenuItem* c : std::vector<TMenuItem*>(FItems)) {
        c->FParent = nullptr;
        // sub-items nobody owns go with their parent
        if (!c->Owner()) delete c;
    }
    FItems.clear();
    if (FParent) FParent->Remove(this);
    Commands().erase(FCommand);
    if (FHandle) {
        while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
        DestroyMenu(FHandle);
    }
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSubMenuImages) FSubMenuImages = nullptr;
}

TMenu* TMenuItem::GetParentMenu() const
{
    const TMenuItem* i = this;
    while (i->FParent) i = i->FParent;
    return i->FMenu;
}

void TMenuItem::Changed()
{
    if (FParent) {
        if (FParent->FHandle) FParent->RebuildHandle();
        if (TMenu* m = GetParentMenu()) m->MenuChanged(this);
    }
}

void TMenuItem::SetCaption(const std::string& v)
{
    if (v == FCaption) return;
    FCaption = v;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut v)
{
    if (v == FShortCut) return;
    FShortCut = v;
    Changed();
}

void TMenuItem::SetChecked(bool v)
{
    if (v == FChecked) return;
    FChecked = v;
    Changed();
}

void TMenuItem::SetRadioItem(bool v)
{
    if (v == FRadioItem) return;
    FRadioItem = v;
    Changed();
}

void TMenuItem::SetDefault(bool v)
{
    if (v == FDefault) return;
    FDefault = v;
    Changed();
}

void TMenuItem::SetEnabled(bool v)
{
    if (v == FEnabled) return;
    FEnabled = v;
    Changed();
}

void TMenuItem::SetVisible(bool v)
{
    if (v == FVisible) return;
    FVisible = v;
    Changed();
}

void TMenuItem::SetImageIndex(int v)
{
    if (v == FImageIndex) return;
    FImageIndex = v;
    Changed();
}

TBitmap& TMenuItem::Bitmap()
{
    if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
    return *FBitmap;
}

void TMenuItem::SetSubMenuImages(TCustomImageList* v)
{
    if (v == FSubMenuImages) return;
    if (FSubMenuImages) FSubMenuImages->RemoveFreeNotification(this);
    FSubMenuImages = v;
    if (v) v->FreeNotification(this);
    if (FHandle) RebuildHandle();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item || item == this) throw Exception("Invalid menu item");
    if (item->FParent) item->FParent->Remove(item);
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
    if (FHandle) RebuildHandle();
    if (TMenu* m = GetParentMenu()) m->MenuChanged(item);
}

void TMenuItem::Remove(TMenuItem* item)
{
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    item->FParent = nullptr;
    if (FHandle) RebuildHandle();
    if (TMenu* m = GetParentMenu()) m->MenuChanged(this);
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

HMENU TMenuItem::Handle()
{
    if (!FHandle) {
        FHandle = CreatePopupMenu();
        RebuildHandle();
    }
    return FHandle;
}

void TMenuItem::FillEntry(MENUITEMINFOW& mi, std::wstring& text)
{
    TMenu* menu = GetParentMenu();
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
    if (IsLine() && !(menu && menu->OwnerDraw())) {
        mi.fType = MFT_SEPARATOR;
        mi.fMask &= ~MIIM_STRING;
    } else {
        std::string t = FCaption;
        std::string sc = ShortCutToText(FShortCut);
        if (!sc.empty()) t += "\t" + sc;
        text = ToWide(t);
        mi.dwTypeData = text.data();
        mi.cch = static_cast<UINT>(text.size());
        mi.fType = MFT_STRING;
    }
    if (menu && menu->OwnerDraw()) mi.fType |= MFT_OWNERDRAW;
    if (FRadioItem) mi.fType |= MFT_RADIOCHECK;
    if (menu && menu->IsRightToLeft()) mi.fType |= MFT_RIGHTORDER;
    mi.fState = (FChecked ? MFS_CHECKED : 0) | (FEnabled ? 0 : MFS_DISABLED | MFS_GRAYED) |
                (FDefault ? MFS_DEFAULT : 0);
    mi.wID = FCommand;
    mi.dwItemData = reinterpret_cast<ULONG_PTR>(this);
    mi.hSubMenu = FItems.empty() ? nullptr : Handle();
}

void TMenuItem::RebuildHandle()
{
    HMENU h = FHandle;
    if (!h) return;
    // sub-menus are detached, not destroyed: each item keeps its own
    while (GetMenuItemCount(h) > 0) RemoveMenu(h, 0, MF_BYPOSITION);
    UINT pos = 0;
    for (TMenuItem* c : FItems) {
        if (!c->FVisible) continue;
        MENUITEMINFOW mi{};
        std::wstring text;
        c->FillEntry(mi, text);
        InsertMenuItemW(h, pos++, TRUE, &mi);
    }
}

void TMenuItem::Click()
{
    if (FEnabled && OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas& ACanvas, int& Width, int& Height)
{
    if (OnMeasureItem) {
        OnMeasureItem(this, &ACanvas, Width, Height);
        return;
    }
    // default owner-drawn look: the caption in the menu font
    std::string t = IsLine() ? std::string() : FCaption + "    " + ShortCutToText(FShortCut);
    Width = std::max(Width, ACanvas.TextWidth(t) + 24);
    Height = IsLine() ? 4 : std::max(Height, ACanvas.TextHeight("W") + 6);
}

void TMenuItem::DrawItem(TCanvas& ACanvas, const TRect& ARect, bool Selected)
{
    if (OnDrawItem) {
        OnDrawItem(this, &ACanvas, ARect, Selected);
        return;
    }
    ACanvas.Brush().SetColor(Selected ? clHighlight : clSysBase | COLOR_MENU);
    ACanvas.FillRect(ARect);
    if (IsLine()) {
        ACanvas.Pen().SetColor(clBtnShadow);
        int y = ARect.Top + ARect.Height() / 2;
        ACanvas.MoveTo(ARect.Left + 2, y);
        ACanvas.LineTo(ARect.Right - 2, y);
        return;
    }
    ACanvas.Font().SetColor(!FEnabled ? clGrayText : Selected ? clHighlightText : clSysBase | COLOR_MENUTEXT);
    ACanvas.Brush().SetStyle(bsClear);
    TRect r(ARect.Left + 20, ARect.Top, ARect.Right - 4, ARect.Bottom);
    ACanvas.DrawText(FCaption, r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    std::string sc = ShortCutToText(FShortCut);
    if (!sc.empty()) ACanvas.DrawText(sc, r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    ACanvas.Brush().SetStyle(bsSolid);
}

// ---------------------------------------------------------------- TMenu

namespace {

std::vector<TMenu*>& LiveMenus()
{
    static std::vector<TMenu*> menus;
    return menus;
}

// Walks down from the tree, never up from the item: the item may be freed.
bool HoldsItem(const TMenuItem* tree, const TMenuItem* item)
{
    if (tree == item) return true;
    for (int i = 0; i < tree->Count(); ++i)
        if (HoldsItem(tree->Items(i), item)) return true;
    return false;
}

}  // namespace

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr))
{
    FItems->FMenu = this;
    LiveMenus().push_back(this);
}

TMenu::~TMenu()
{
    auto& live = LiveMenus();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    FItems->FMenu = nullptr;
    delete FItems;
}

TMenu* TMenu::Holding(const TMenuItem* item)
{
    if (!item) return nullptr;
    for (TMenu* m : LiveMenus())
        if (HoldsItem(m->FItems, item)) return m;
    return nullptr;
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void TMenu::SetOwnerDraw(bool v)
{
    if (v == FOwnerDraw) return;
    FOwnerDraw = v;
    MenuChanged(nullptr);
}

void TMenu::SetImages(TCustomImageList* v)
{
    if (v == FImages) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = v;
    if (v) v->FreeNotification(this);
    MenuChanged(nullptr);
}

void TMenu::SetBiDiMode(TBiDiMode v)
{
    if (v == FBiDiMode) return;
    FBiDiMode = v;
    MenuChanged(nullptr);
}

namespace {

void RebuildTree(TMenuItem* item)
{
    item->RebuildHandle();
    for (int i = 0; i < item->Count(); ++i)
        if (item->Items(i)->Count() > 0) RebuildTree(item->Items(i));
}

bool InTree(const TMenuItem* root, const TMenuItem* item)
{
    for (const TMenuItem* i = item; i; i = i->Parent())
        if (i == root) return true;
    return false;
}

}  // namespace

void TMenu::MenuChanged(TMenuItem* item)
{
    // a change of the whole menu (owner draw, images) reaches every sub-menu
    if (!item) RebuildTree(FItems);
}

TMenuItem* TMenu::FindItem(UINT command) const
{
    auto it = Commands().find(command);
    if (it == Commands().end() || !InTree(FItems, it->second)) return nullptr;
    return it->second;
}

bool TMenu::DispatchCommand(UINT command)
{
    TMenuItem* i = FindItem(command);
    if (!i) return false;
    i->Click();
    return true;
}

// ---------------------------------------------------------------- TMainMenu

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

TMainMenu::~TMainMenu()
{
    if (FForm) FForm->SetMenu(nullptr);
    if (FHandle) {
        while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
        DestroyMenu(FHandle);
    }
    FItems->FHandle = nullptr;
}

HMENU TMainMenu::Handle()
{
    if (!FHandle) {
        FHandle = CreateMenu();
        FItems->FHandle = FHandle;
        RebuildTree(FItems);
    }
    return FHandle;
}

HWND TMainMenu::WindowHandle() const
{
    return FForm && FForm->HandleAllocated() ? FForm->Handle() : nullptr;
}

void TMainMenu::MenuChanged(TMenuItem* item)
{
    TMenu::MenuChanged(item);
    if (HWND w = WindowHandle()) ::DrawMenuBar(w);
}

// ---------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

TPopupMenu::~TPopupMenu()
{
    if (FHandle) {
        while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
        DestroyMenu(FHandle);
    }
    FItems->FHandle = nullptr;
}

HMENU TPopupMenu::Handle()
{
    if (!FHandle) {
        FHandle = CreatePopupMenu();
        FItems->FHandle = FHandle;
        RebuildTree(FItems);
    }
    return FHandle;
}

HWND TPopupMenu::WindowHandle() const { return PopupWindow(); }

void TPopupMenu::Popup(int X, int Y)
{
    if (OnPopup) OnPopup(this);
    HMENU h = Handle();
    HWND owner = PopupWindow();
    UINT flags = TPM_RETURNCMD | TPM_LEFTBUTTON | (IsRightToLeft() ? TPM_RIGHTALIGN | TPM_LAYOUTRTL : 0);
    UINT cmd = static_cast<UINT>(TrackPopupMenuEx(h, flags, X, Y, owner, nullptr));
    if (cmd) DispatchCommand(cmd);
}

// ---------------------------------------------------------------- drawing messages

bool DispatchMenuOwnerDraw(TMessage& m)
{
    if (m.Msg == WM_MEASUREITEM) {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        if (!mi || mi->CtlType != ODT_MENU) return false;
        auto* item = reinterpret_cast<TMenuItem*>(mi->itemData);
        auto it = Commands().find(mi->itemID);
        if (!item || it == Commands().end() || it->second != item) return false;
        HDC screen = GetDC(nullptr);
        TCanvas c;
        c.SetHandle(screen);
        int w = static_cast<int>(mi->itemWidth), h = static_cast<int>(mi->itemHeight);
        item->MeasureItem(c, w, h);
        c.SetHandle(nullptr);
        ReleaseDC(nullptr, screen);
        mi->itemWidth = static_cast<UINT>(std::max(w, 0));
        mi->itemHeight = static_cast<UINT>(std::max(h, 0));
        m.Result = TRUE;
        return true;
    }
    if (m.Msg == WM_DRAWITEM) {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        if (!di || di->CtlType != ODT_MENU) return false;
        auto* item = reinterpret_cast<TMenuItem*>(di->itemData);
        auto it = Commands().find(di->itemID);
        if (!item || it == Commands().end() || it->second != item) return false;
        TCanvas c;
        c.SetHandle(di->hDC);
        int saved = SaveDC(di->hDC);
        item->DrawItem(c, TRect(di->rcItem), (di->itemState & ODS_SELECTED) != 0);
        c.SetHandle(nullptr);
        RestoreDC(di->hDC, saved);
        m.Result = TRUE;
        return true;
    }
    return false;
}
