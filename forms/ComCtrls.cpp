#include "ComCtrls.h"

#include <commctrl.h>

#include <algorithm>

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
