#include "ComCtrls.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include "SysUtils.h"

// ---------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner)
{
    FAlign = alClient;
    FVisible = false;  // only the active page shows
}

TTabSheet::~TTabSheet()
{
    if (FPageControl) FPageControl->RemovePage(this);
}

void TTabSheet::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.Style |= WS_CLIPCHILDREN;
}

void TTabSheet::SetPageControl(TPageControl* p)
{
    if (p == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = p;
    SetParent(p);
    if (p) p->InsertPage(this);
}

void TTabSheet::SetTabVisible(bool v)
{
    if (v == FTabVisible) return;
    FTabVisible = v;
    if (!FPageControl) return;
    if (!v && FPageControl->FActivePage == this) {
        // the next page with a tab takes over
        TTabSheet* next = nullptr;
        auto& pages = FPageControl->FPages;
        auto it = std::find(pages.begin(), pages.end(), this);
        for (auto j = it; j != pages.end() && !next; ++j)
            if ((*j)->FTabVisible) next = *j;
        for (auto j = pages.begin(); j != it && !next; ++j)
            if ((*j)->FTabVisible) next = *j;
        FPageControl->FActivePage = next;
        FPageControl->ShowActive();
    }
    FPageControl->UpdateTabs();
}

int TTabSheet::PageIndex() const
{
    if (!FPageControl) return -1;
    auto& v = FPageControl->FPages;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

int TTabSheet::TabIndex() const
{
    if (!FPageControl || !FTabVisible) return -1;
    int i = 0;
    for (TTabSheet* p : FPageControl->FPages) {
        if (p == this) return i;
        if (p->FTabVisible) ++i;
    }
    return -1;
}

void TTabSheet::WndProc(TMessage& m)
{
    if (m.Msg == CM_TEXTCHANGED && FPageControl) FPageControl->UpdateTabs();
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 289;
    FHeight = 193;
    FTabStop = true;
}

TPageControl::~TPageControl()
{
    for (TTabSheet* p : FPages) p->FPageControl = nullptr;
    FPages.clear();
}

void TPageControl::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = WC_TABCONTROLW;
    p.Style |= WS_CLIPCHILDREN | TCS_TABS;
}

void TPageControl::CreateWnd()
{
    UpdateTabs();
    ShowActive();
}

TRect TPageControl::AlignRect() const
{
    if (FHandle) {
        RECT r;
        GetClientRect(FHandle, &r);
        SendMessageW(FHandle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        return TRect(r);
    }
    return TRect(4, 24, std::max(FWidth - 4, 4), std::max(FHeight - 4, 24));
}

void TPageControl::InsertPage(TTabSheet* p)
{
    FPages.push_back(p);
    if (!FActivePage && p->FTabVisible) FActivePage = p;
    UpdateTabs();
    ShowActive();
}

void TPageControl::RemovePage(TTabSheet* p)
{
    FPages.erase(std::remove(FPages.begin(), FPages.end(), p), FPages.end());
    p->FPageControl = nullptr;
    if (FActivePage == p) {
        FActivePage = nullptr;
        for (TTabSheet* q : FPages)
            if (q->FTabVisible) {
                FActivePage = q;
                break;
            }
    }
    UpdateTabs();
    ShowActive();
}

void TPageControl::UpdateTabs()
{
    if (!FHandle) return;
    SendMessageW(FHandle, TCM_DELETEALLITEMS, 0, 0);
    int i = 0;
    for (TTabSheet* p : FPages) {
        if (!p->FTabVisible) continue;
        std::wstring t = ToWide(p->Caption());
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = t.data();
        SendMessageW(FHandle, TCM_INSERTITEMW, static_cast<WPARAM>(i++), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(FHandle, TCM_SETCURSEL, static_cast<WPARAM>(FActivePage ? FActivePage->TabIndex() : -1), 0);
    AlignControls();
}

void TPageControl::ShowActive()
{
    for (TTabSheet* p : FPages)
        if (p != FActivePage) p->SetVisible(false);
    if (FActivePage) {
        FActivePage->SetVisible(true);
        if (FHandle) SendMessageW(FHandle, TCM_SETCURSEL, static_cast<WPARAM>(FActivePage->TabIndex()), 0);
    }
    AlignControls();
}

void TPageControl::SetActivePage(TTabSheet* p)
{
    if (p && p->FPageControl != this) return;
    if (p == FActivePage) return;
    FActivePage = p;
    ShowActive();
}

int TPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int i)
{
    SetActivePage(i >= 0 && i < PageCount() ? FPages[static_cast<size_t>(i)] : nullptr);
}

void TPageControl::WndProc(TMessage& m)
{
    if (m.Msg == CN_NOTIFY) {
        auto* h = reinterpret_cast<NMHDR*>(m.LParam);
        if (h->code == static_cast<UINT>(TCN_SELCHANGE)) {
            int tab = static_cast<int>(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
            for (TTabSheet* p : FPages)
                if (p->FTabVisible && p->TabIndex() == tab) {
                    FActivePage = p;
                    break;
                }
            ShowActive();
            if (OnChange) OnChange(this);
            return;
        }
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = PROGRESS_CLASSW;
    if (FSmooth) p.Style |= PBS_SMOOTH;
}

void TProgressBar::CreateWnd()
{
    SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    SendMessageW(FHandle, PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
    FShownPosition = FPosition;
}

void TProgressBar::SetMin(int v)
{
    FMin = v;
    if (FPosition < FMin) FPosition = FMin;
    if (HandleAllocated()) CreateWnd();
}

void TProgressBar::SetMax(int v)
{
    FMax = v;
    if (FPosition > FMax) FPosition = FMax;
    if (HandleAllocated()) CreateWnd();
}

void TProgressBar::SetPosition(int v)
{
    v = std::max(FMin, std::min(v, FMax));
    FPosition = v;
    if (!HandleAllocated()) return;
    // The control repaints on every position message, which costs more than a record's whole
    // decoding; tell it only when the drawn fill moves by a pixel (or reaches an end).
    if (v != FMin && v != FMax && FilledPixels(v) == FilledPixels(FShownPosition)) return;
    FShownPosition = v;
    SendMessageW(FHandle, PBM_SETPOS, static_cast<WPARAM>(v), 0);
}

int TProgressBar::FilledPixels(int pos) const
{
    long long span = static_cast<long long>(FMax) - FMin;
    if (span <= 0) return 0;
    return static_cast<int>((static_cast<long long>(pos) - FMin) * std::max(FWidth, 1) / span);
}

void TProgressBar::SetSmooth(bool v)
{
    if (v == FSmooth) return;
    FSmooth = v;
    RecreateWnd();
}

// ---------------------------------------------------------------- TCustomUpDown

TCustomUpDown::TCustomUpDown(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 17;
    FHeight = 25;
}

TCustomUpDown::~TCustomUpDown()
{
    if (FAssociate) FAssociate->RemoveFreeNotification(this);
}

void TCustomUpDown::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = UPDOWN_CLASSW;
    // the buddy's text is the position the control steps from and the one it writes back
    p.Style |= UDS_SETBUDDYINT;
    if (FOrientation == udHorizontal) p.Style |= UDS_HORZ;
    if (FWrap) p.Style |= UDS_WRAP;
    if (FArrowKeys) p.Style |= UDS_ARROWKEYS;
    if (!FThousands) p.Style |= UDS_NOTHOUSANDS;
}

void TCustomUpDown::CreateWnd()
{
    if (!FHandle) return;
    SendMessageW(FHandle, UDM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    UDACCEL acc{0, static_cast<UINT>(FIncrement)};
    SendMessageW(FHandle, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&acc));
    if (FAssociate) SendMessageW(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(FAssociate->Handle()), 0);
    SendMessageW(FHandle, UDM_SETPOS32, 0, FPosition);
}

void TCustomUpDown::DestroyWnd() { FPosition = Position(); }

void TCustomUpDown::SetAssociate(TWinControl* v)
{
    if (v == FAssociate) return;
    if (v == this) throw Exception("An up-down cannot be its own associate");
    if (FAssociate) FAssociate->RemoveFreeNotification(this);
    if (FHandle) SendMessageW(FHandle, UDM_SETBUDDY, 0, 0);
    FAssociate = v;
    if (v) {
        v->FreeNotification(this);
        CreateWnd();
        ShowInAssociate();
    }
}

void TCustomUpDown::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAssociate) {
        FAssociate = nullptr;
        if (FHandle) SendMessageW(FHandle, UDM_SETBUDDY, 0, 0);
    }
}

void TCustomUpDown::SetMin(int v)
{
    FMin = v;
    CreateWnd();
}

void TCustomUpDown::SetMax(int v)
{
    FMax = v;
    CreateWnd();
}

void TCustomUpDown::SyncBuddy() const
{
    if (!FHandle || !FAssociate || !FAssociate->HandleAllocated()) return;
    HWND buddy = FAssociate->Handle();
    if (reinterpret_cast<HWND>(SendMessageW(FHandle, UDM_GETBUDDY, 0, 0)) != buddy)
        SendMessageW(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
}

int TCustomUpDown::Position() const
{
    SyncBuddy();
    if (FHandle) {
        BOOL failed = FALSE;
        int pos = static_cast<int>(SendMessageW(FHandle, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
        // text in the associate that is no number in range leaves the last good position
        if (!failed) FPosition = pos;
    }
    return FPosition;
}

void TCustomUpDown::SetPosition(int v)
{
    int lo = std::min(FMin, FMax), hi = std::max(FMin, FMax);
    FPosition = std::max(lo, std::min(v, hi));
    SyncBuddy();
    if (FHandle) SendMessageW(FHandle, UDM_SETPOS32, 0, FPosition);
    ShowInAssociate();
}

void TCustomUpDown::ShowInAssociate()
{
    // The window writes its buddy itself; without windows the edit is told here.
    if (!FAssociate || (FHandle && FAssociate->HandleAllocated())) return;
    std::string t = std::to_string(FPosition);
    if (FThousands && (FPosition >= 1000 || FPosition <= -1000)) {
        // grouped as the window groups it, with the user's separator
        char sepBuf[8] = ",";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, sepBuf, sizeof sepBuf);
        std::string sep = sepBuf;
        std::string digits = std::to_string(std::abs(FPosition)), grouped;
        for (size_t i = 0; i < digits.size(); ++i) {
            if (i && (digits.size() - i) % 3 == 0) grouped += sep;
            grouped += digits[i];
        }
        t = (FPosition < 0 ? "-" : "") + grouped;
    }
    FAssociate->SetText(t);
}

void TCustomUpDown::ClickButton(TUDBtnType Button)
{
    int from = Position();
    if (FAssociate) from = StrToIntDef(FAssociate->Text(), from);
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    if (!allow) return;
    int next = from + (Button == btNext ? FIncrement : -FIncrement);
    int lo = std::min(FMin, FMax), hi = std::max(FMin, FMax);
    if (next > hi) next = FWrap ? lo : hi;
    if (next < lo) next = FWrap ? hi : lo;
    SetPosition(next);
    if (FAssociate && FHandle && FAssociate->HandleAllocated())
        FAssociate->SetText(std::to_string(next));
    if (OnClick) OnClick(this, Button);
}

void TCustomUpDown::WndProc(TMessage& m)
{
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_PAINT) SyncBuddy();
    if (m.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(m.LParam)->code == static_cast<UINT>(UDN_DELTAPOS)) {
        auto* n = reinterpret_cast<NMUPDOWN*>(m.LParam);
        bool allow = true;
        if (OnChanging) OnChanging(this, allow);
        m.Result = allow ? 0 : 1;
        if (allow && OnClick) OnClick(this, n->iDelta > 0 ? btNext : btPrev);
        return;
    }
    TWinControl::WndProc(m);
}

void TCustomUpDown::SetOrientation(TUDOrientation v)
{
    if (v == FOrientation) return;
    FOrientation = v;
    RecreateWnd();
}

void TCustomUpDown::SetWrap(bool v)
{
    if (v == FWrap) return;
    FWrap = v;
    RecreateWnd();
}

void TCustomUpDown::SetArrowKeys(bool v)
{
    if (v == FArrowKeys) return;
    FArrowKeys = v;
    RecreateWnd();
}

void TCustomUpDown::SetThousands(bool v)
{
    if (v == FThousands) return;
    FThousands = v;
    RecreateWnd();
}

// ---------------------------------------------------------------- TCustomRichEdit

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner) : TCustomMemo(AOwner) {}

void TCustomRichEdit::CreateParams(TCreateParams& p)
{
    static HMODULE lib = LoadLibraryW(L"riched20.dll");
    (void)lib;
    TCustomMemo::CreateParams(p);
    p.SysClassName = RICHEDIT_CLASSW;
}

void TCustomRichEdit::CreateWnd()
{
    TCustomMemo::CreateWnd();
    // the control reports text changes only when asked to
    SendMessageW(FHandle, EM_SETEVENTMASK, 0, ENM_CHANGE);
}

// ---------------------------------------------------------------- tree view

void TTreeNode::SetText(const std::string& v)
{
    FText = v;
    if (FItem && FOwner && FOwner->FOwner->HandleAllocated()) {
        std::wstring w = ToWide(v);
        TVITEMW it{};
        it.mask = TVIF_TEXT;
        it.hItem = FItem;
        it.pszText = w.data();
        SendMessageW(FOwner->FOwner->Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
}

void TTreeNode::SetExpanded(bool v)
{
    FExpanded = v;
    if (FItem && FOwner && FOwner->FOwner->HandleAllocated())
        SendMessageW(FOwner->FOwner->Handle(), TVM_EXPAND, v ? TVE_EXPAND : TVE_COLLAPSE,
                     reinterpret_cast<LPARAM>(FItem));
}

int TTreeNodes::Count() const
{
    int n = 0;
    std::vector<const TTreeNode*> stack;
    for (const auto& r : FRoots) stack.push_back(r.get());
    while (!stack.empty()) {
        const TTreeNode* t = stack.back();
        stack.pop_back();
        ++n;
        for (int i = 0; i < t->Count(); ++i) stack.push_back(t->Item(i));
    }
    return n;
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::string& S)
{
    auto n = std::make_unique<TTreeNode>();
    n->FOwner = this;
    n->FParent = Parent;
    n->FText = S;
    TTreeNode* raw = n.get();
    (Parent ? Parent->FChildren : FRoots).push_back(std::move(n));
    if (FOwner->HandleAllocated()) InsertInto(raw);
    return raw;
}

void TTreeNodes::InsertInto(TTreeNode* n)
{
    std::wstring w = ToWide(n->FText);
    TVINSERTSTRUCTW ins{};
    ins.hParent = n->FParent ? n->FParent->FItem : TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = w.data();
    ins.item.lParam = reinterpret_cast<LPARAM>(n);
    n->FItem = reinterpret_cast<HTREEITEM>(
        SendMessageW(FOwner->Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    for (auto& c : n->FChildren) InsertInto(c.get());
    if (n->FExpanded) n->SetExpanded(true);
}

void TTreeNodes::Delete(TTreeNode* Node)
{
    if (!Node) return;
    auto& list = Node->FParent ? Node->FParent->FChildren : FRoots;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->get() == Node) {
            // the selection goes if it was the node or below it
            for (TTreeNode* s = FOwner->FSelected; s; s = s->FParent)
                if (s == Node) {
                    FOwner->FSelected = nullptr;
                    break;
                }
            if (Node->FItem && FOwner->HandleAllocated())
                SendMessageW(FOwner->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Node->FItem));
            list.erase(it);
            return;
        }
}

void TTreeNodes::Clear()
{
    FOwner->FSelected = nullptr;
    if (FOwner->HandleAllocated())
        SendMessageW(FOwner->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    FRoots.clear();
}

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TWinControl(AOwner), FItems(this)
{
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
}

void TCustomTreeView::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = WC_TREEVIEWW;
    p.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            p.ExStyle |= WS_EX_CLIENTEDGE;
        else
            p.Style |= WS_BORDER;
    }
}

void TCustomTreeView::CreateWnd()
{
    for (auto& r : FItems.FRoots) FItems.InsertInto(r.get());
    if (FSelected) SendMessageW(FHandle, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(FSelected->FItem));
}

void TCustomTreeView::DestroyWnd()
{
    std::vector<TTreeNode*> stack;
    for (auto& r : FItems.FRoots) stack.push_back(r.get());
    while (!stack.empty()) {
        TTreeNode* t = stack.back();
        stack.pop_back();
        t->FItem = nullptr;
        for (auto& c : t->FChildren) stack.push_back(c.get());
    }
}

TTreeNode* TCustomTreeView::Selected() const { return FSelected; }

void TCustomTreeView::SetSelected(TTreeNode* n)
{
    FSelected = n;
    if (FHandle)
        SendMessageW(FHandle, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(n ? n->FItem : nullptr));
}

void TCustomTreeView::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

void TCustomTreeView::WndProc(TMessage& m)
{
    if (m.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(m.LParam)->code == static_cast<UINT>(TVN_SELCHANGEDW)) {
        auto* n = reinterpret_cast<NMTREEVIEWW*>(m.LParam);
        FSelected = reinterpret_cast<TTreeNode*>(n->itemNew.lParam);
        if (OnChange) OnChange(this);
        return;
    }
    if (m.Msg == CM_CTL3DCHANGED) RecreateWnd();
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomListView

TCustomListView::TCustomListView(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 250;
    FHeight = 150;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
}

void TCustomListView::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = WC_LISTVIEWW;
    static const DWORD kStyles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    p.Style |= kStyles[FViewStyle] | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            p.ExStyle |= WS_EX_CLIENTEDGE;
        else
            p.Style |= WS_BORDER;
    }
}

void TCustomListView::CreateWnd()
{
    for (int i = 0; i < ColumnCount(); ++i) {
        std::wstring w = ToWide(FColumns[static_cast<size_t>(i)].Caption);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = w.data();
        c.cx = FColumns[static_cast<size_t>(i)].Width;
        SendMessageW(FHandle, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
    }
    for (int i = 0; i < ItemCount(); ++i) InsertItemIntoWindow(i);
    SetItemIndex(FItemIndex);
}

void TCustomListView::DestroyWnd() { FItemIndex = ItemIndex(); }

void TCustomListView::InsertItemIntoWindow(int i)
{
    TListItem* it = FListItems[static_cast<size_t>(i)].get();
    std::wstring w = ToWide(it->Caption);
    LVITEMW li{};
    li.mask = LVIF_TEXT;
    li.iItem = i;
    li.pszText = w.data();
    SendMessageW(FHandle, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&li));
    for (size_t k = 0; k < it->SubItems.size(); ++k) {
        std::wstring sw = ToWide(it->SubItems[k]);
        LVITEMW si{};
        si.iSubItem = static_cast<int>(k + 1);
        si.pszText = sw.data();
        SendMessageW(FHandle, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&si));
    }
}

void TCustomListView::SetViewStyle(TViewStyle v)
{
    if (v == FViewStyle) return;
    FViewStyle = v;
    RecreateWnd();
}

void TCustomListView::AddColumn(const std::string& Caption, int Width)
{
    FColumns.push_back({Caption, Width});
    if (!FHandle) return;
    std::wstring w = ToWide(Caption);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = w.data();
    c.cx = Width;
    SendMessageW(FHandle, LVM_INSERTCOLUMNW, FColumns.size() - 1, reinterpret_cast<LPARAM>(&c));
}

TListItem* TCustomListView::AddItem(const std::string& Caption, const std::vector<std::string>& SubItems)
{
    auto it = std::make_unique<TListItem>();
    it->Caption = Caption;
    it->SubItems = SubItems;
    FListItems.push_back(std::move(it));
    if (FHandle) InsertItemIntoWindow(ItemCount() - 1);
    return FListItems.back().get();
}

void TCustomListView::DeleteItem(int i)
{
    if (i < 0 || i >= ItemCount()) throw Exception(Format("List index out of bounds (%d)", i));
    int sel = ItemIndex();
    FListItems.erase(FListItems.begin() + i);
    FItemIndex = sel == i ? -1 : sel > i ? sel - 1 : sel;
    if (FHandle) SendMessageW(FHandle, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
}

void TCustomListView::ClearItems()
{
    FListItems.clear();
    FItemIndex = -1;
    if (FHandle) SendMessageW(FHandle, LVM_DELETEALLITEMS, 0, 0);
}

int TCustomListView::ItemIndex() const
{
    if (FHandle)
        FItemIndex = static_cast<int>(SendMessageW(FHandle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return FItemIndex;
}

void TCustomListView::SetItemIndex(int i)
{
    if (i < -1 || i >= ItemCount()) i = -1;
    FItemIndex = i;
    if (!FHandle) return;
    LVITEMW li{};
    li.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    li.state = 0;
    SendMessageW(FHandle, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&li));
    if (i >= 0) {
        li.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(FHandle, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&li));
    }
}

void TCustomListView::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

// ---------------------------------------------------------------- TCustomHotKey

TCustomHotKey::TCustomHotKey(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 121;
    FHeight = 19;
    FTabStop = true;
    FParentColor = false;
    FColor = clWindow;
}

void TCustomHotKey::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = HOTKEY_CLASSW;
    p.ExStyle |= WS_EX_CLIENTEDGE;
}

// Modifier bits of a short cut and of the system control (HOTKEYF_*).
static WORD ToControlKey(TShortCut s)
{
    BYTE mods = 0;
    if (s & scShift) mods |= HOTKEYF_SHIFT;
    if (s & scCtrl) mods |= HOTKEYF_CONTROL;
    if (s & scAlt) mods |= HOTKEYF_ALT;
    return MAKEWORD(LOBYTE(s), mods);
}

static TShortCut FromControlKey(WORD k)
{
    TShortCut s = LOBYTE(k);
    BYTE mods = HIBYTE(k);
    if (mods & HOTKEYF_SHIFT) s |= scShift;
    if (mods & HOTKEYF_CONTROL) s |= scCtrl;
    if (mods & HOTKEYF_ALT) s |= scAlt;
    return s;
}

void TCustomHotKey::CreateWnd() { SendMessageW(FHandle, HKM_SETHOTKEY, ToControlKey(FHotKey), 0); }

void TCustomHotKey::DestroyWnd() { FHotKey = HotKey(); }

TShortCut TCustomHotKey::HotKey() const
{
    if (FHandle) FHotKey = FromControlKey(static_cast<WORD>(SendMessageW(FHandle, HKM_GETHOTKEY, 0, 0)));
    return FHotKey;
}

void TCustomHotKey::SetHotKey(TShortCut v)
{
    FHotKey = v;
    if (FHandle) SendMessageW(FHandle, HKM_SETHOTKEY, ToControlKey(v), 0);
}
