#include "ToolWin.h"

#include <algorithm>

#include "ImgList.h"
#include "Menus.h"

// ---------------------------------------------------------------- TToolButton

TToolButton::TToolButton(TComponent* AOwner) : TControl(AOwner)
{
    FWidth = 23;
    FHeight = 22;
}

TToolButton::~TToolButton()
{
    if (FToolBar) FToolBar->RemoveButton(this);
    FToolBar = nullptr;
}

void TToolButton::SetParent(TWinControl* AParent)
{
    if (AParent == FParent) return;
    if (FToolBar) FToolBar->RemoveButton(this);
    FToolBar = nullptr;
    TControl::SetParent(AParent);
    if (auto* bar = dynamic_cast<TToolBar*>(AParent)) {
        FToolBar = bar;
        bar->InsertButton(this);
    }
}

int TToolButton::Index() const
{
    if (!FToolBar) return -1;
    auto& v = FToolBar->FButtons;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TToolButton::Changed()
{
    if (FToolBar) FToolBar->RebuildButtons();
}

void TToolButton::SetStyle(TToolButtonStyle v)
{
    if (v == FStyle) return;
    FStyle = v;
    if (v == tbsSeparator || v == tbsDivider) FWidth = 8;
    Changed();
}

void TToolButton::SetImageIndex(int v)
{
    if (v == FImageIndex) return;
    FImageIndex = v;
    Changed();
}

void TToolButton::SetDown(bool v)
{
    if (v == FDown) return;
    FDown = v;
    Changed();
}

void TToolButton::SetIndeterminate(bool v)
{
    if (v == FIndeterminate) return;
    FIndeterminate = v;
    Changed();
}

void TToolButton::SetEnabled(bool v)
{
    if (v == FEnabled) return;
    TControl::SetEnabled(v);
    Changed();
}

void TToolButton::SetTextCore(const std::string& v)
{
    TControl::SetTextCore(v);
    Changed();
}

void TToolButton::SetMenuItem(TMenuItem* v)
{
    if (v == FMenuItem) return;
    if (FMenuItem) FMenuItem->RemoveFreeNotification(this);
    FMenuItem = v;
    if (v) {
        v->FreeNotification(this);
        if (FText.empty()) SetText(v->Caption());
    }
}

void TToolButton::SetDropdownMenu(TPopupMenu* v)
{
    if (v == FDropdownMenu) return;
    if (FDropdownMenu) FDropdownMenu->RemoveFreeNotification(this);
    FDropdownMenu = v;
    if (v) v->FreeNotification(this);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation)
{
    TControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMenuItem) FMenuItem = nullptr;
    if (AComponent == FDropdownMenu) FDropdownMenu = nullptr;
}

void TToolButton::Click()
{
    if (FStyle == tbsCheck) {
        FDown = !FDown;
        Changed();
    }
    if (FMenuItem) FMenuItem->Click();
    TControl::Click();
}

// ---------------------------------------------------------------- TToolBar

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner)
{
    FAlign = alTop;
    FWidth = 150;
    FHeight = 29;
}

TToolBar::~TToolBar()
{
    for (TToolButton* b : FButtons) b->FToolBar = nullptr;
    FButtons.clear();
    FCanvas.SetHandle(nullptr);
}

void TToolBar::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.SysClassName = TOOLBARCLASSNAMEW;
    p.Style |= CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | WS_CLIPCHILDREN;
    if (FFlat) p.Style |= TBSTYLE_FLAT;
    if (FList) p.Style |= TBSTYLE_LIST;
    if (FTransparent) p.Style |= TBSTYLE_TRANSPARENT;
}

void TToolBar::CreateWnd()
{
    SendMessageW(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(FHandle, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(FHandle, TB_SETIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
    SendMessageW(FHandle, TB_SETHOTIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(FHotImages ? FHotImages->Handle() : nullptr));
    SendMessageW(FHandle, TB_SETDISABLEDIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(FDisabledImages ? FDisabledImages->Handle() : nullptr));
    RebuildButtons();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) SetImages(nullptr);
    if (AComponent == FHotImages) SetHotImages(nullptr);
    if (AComponent == FDisabledImages) SetDisabledImages(nullptr);
}

void TToolBar::InsertButton(TToolButton* b)
{
    if (std::find(FButtons.begin(), FButtons.end(), b) == FButtons.end()) FButtons.push_back(b);
    RebuildButtons();
}

void TToolBar::RemoveButton(TToolButton* b)
{
    FButtons.erase(std::remove(FButtons.begin(), FButtons.end(), b), FButtons.end());
    RebuildButtons();
}

void TToolBar::RebuildButtons()
{
    if (!FHandle || FRebuilding) return;
    FRebuilding = true;
    SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
    while (SendMessageW(FHandle, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(FHandle, TB_DELETEBUTTON, 0, 0);
    SendMessageW(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(FButtonWidth, FButtonHeight));
    std::vector<std::wstring> texts(FButtons.size());
    for (size_t i = 0; i < FButtons.size(); ++i) {
        TToolButton* b = FButtons[i];
        TBBUTTON tb{};
        tb.idCommand = static_cast<int>(i) + 1;
        tb.iBitmap = b->FImageIndex >= 0 ? b->FImageIndex : I_IMAGENONE;
        tb.fsState = static_cast<BYTE>((b->FEnabled ? TBSTATE_ENABLED : 0) |
                                       (b->FDown ? TBSTATE_CHECKED : 0) |
                                       (b->FIndeterminate ? TBSTATE_INDETERMINATE : 0));
        if (!b->FVisible) tb.fsState |= TBSTATE_HIDDEN;
        switch (b->FStyle) {
        case tbsCheck: tb.fsStyle = BTNS_CHECK; break;
        case tbsDropDown: tb.fsStyle = BTNS_DROPDOWN; break;
        case tbsSeparator:
        case tbsDivider:
            tb.fsStyle = BTNS_SEP;
            tb.iBitmap = b->FWidth;  // a separator's width
            break;
        default: tb.fsStyle = BTNS_BUTTON; break;
        }
        if (FShowCaptions && b->FStyle != tbsSeparator && b->FStyle != tbsDivider) {
            texts[i] = ToWide(b->FText);
            texts[i].push_back(L'\0');
            tb.iString = reinterpret_cast<INT_PTR>(texts[i].c_str());
        } else {
            tb.iString = -1;
        }
        SendMessageW(FHandle, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
    }
    SendMessageW(FHandle, TB_AUTOSIZE, 0, 0);
    SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
    FRebuilding = false;
    UpdateButtonBounds();
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TToolBar::UpdateButtonBounds()
{
    if (!FHandle) return;
    for (size_t i = 0; i < FButtons.size(); ++i) {
        RECT r{};
        if (SendMessageW(FHandle, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r))) {
            TToolButton* b = FButtons[i];
            b->FLeft = r.left;
            b->FTop = r.top;
            b->FWidth = r.right - r.left;
            b->FHeight = r.bottom - r.top;
        }
    }
}

void TToolBar::SetFlat(bool v)
{
    if (v == FFlat) return;
    FFlat = v;
    RecreateWnd();
}

void TToolBar::SetList(bool v)
{
    if (v == FList) return;
    FList = v;
    RecreateWnd();
}

void TToolBar::SetShowCaptions(bool v)
{
    if (v == FShowCaptions) return;
    FShowCaptions = v;
    RecreateWnd();
}

void TToolBar::SetTransparent(bool v)
{
    if (v == FTransparent) return;
    FTransparent = v;
    RecreateWnd();
}

void TToolBar::SetButtonWidth(int v)
{
    if (v == FButtonWidth) return;
    FButtonWidth = v;
    RebuildButtons();
}

void TToolBar::SetButtonHeight(int v)
{
    if (v == FButtonHeight) return;
    FButtonHeight = v;
    RebuildButtons();
}

void TToolBar::SetImageList(TCustomImageList*& field, TCustomImageList* v, UINT msg)
{
    if (v == field) return;
    if (field) field->RemoveFreeNotification(this);
    field = v;
    if (v) v->FreeNotification(this);
    if (FHandle) {
        SendMessageW(FHandle, msg, 0, reinterpret_cast<LPARAM>(v ? v->Handle() : nullptr));
        RebuildButtons();
    }
}

void TToolBar::SetImages(TCustomImageList* v) { SetImageList(FImages, v, TB_SETIMAGELIST); }
void TToolBar::SetHotImages(TCustomImageList* v) { SetImageList(FHotImages, v, TB_SETHOTIMAGELIST); }
void TToolBar::SetDisabledImages(TCustomImageList* v)
{
    SetImageList(FDisabledImages, v, TB_SETDISABLEDIMAGELIST);
}

void TToolBar::CustomDraw(TMessage& m)
{
    auto* cd = reinterpret_cast<NMTBCUSTOMDRAW*>(m.LParam);
    switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        m.Result = OnCustomDrawButton ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        return;
    case CDDS_ITEMPREPAINT: {
        m.Result = CDRF_DODEFAULT;
        size_t i = static_cast<size_t>(cd->nmcd.dwItemSpec) - 1;
        if (!OnCustomDrawButton || i >= FButtons.size()) return;
        TToolButton* b = FButtons[i];
        TRect r(cd->nmcd.rc);
        b->FLeft = r.Left;
        b->FTop = r.Top;
        b->FWidth = r.Width();
        b->FHeight = r.Height();
        bool defaultDraw = true;
        int saved = SaveDC(cd->nmcd.hdc);
        FCanvas.SetHandle(cd->nmcd.hdc);
        FCanvas.Font().Assign(FFont);
        try {
            OnCustomDrawButton(this, b, cd->nmcd.uItemState, defaultDraw);
        } catch (...) {
            FCanvas.SetHandle(nullptr);
            RestoreDC(cd->nmcd.hdc, saved);
            throw;
        }
        FCanvas.SetHandle(nullptr);
        RestoreDC(cd->nmcd.hdc, saved);
        m.Result = defaultDraw ? CDRF_DODEFAULT : CDRF_SKIPDEFAULT;
        return;
    }
    default:
        m.Result = CDRF_DODEFAULT;
        return;
    }
}

void TToolBar::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case CN_NOTIFY: {
        auto* h = reinterpret_cast<NMHDR*>(m.LParam);
        if (h->code == NM_CUSTOMDRAW) {
            CustomDraw(m);
            return;
        }
        if (h->code == TBN_DROPDOWN) {
            auto* tb = reinterpret_cast<NMTOOLBARW*>(m.LParam);
            size_t i = static_cast<size_t>(tb->iItem) - 1;
            if (i < FButtons.size() && FButtons[i]->FDropdownMenu) {
                RECT r{};
                SendMessageW(FHandle, TB_GETRECT, tb->iItem, reinterpret_cast<LPARAM>(&r));
                POINT pt{r.left, r.bottom};
                ::ClientToScreen(FHandle, &pt);
                FButtons[i]->FDropdownMenu->Popup(pt.x, pt.y);
            }
            m.Result = TBDDRET_DEFAULT;
            return;
        }
        break;
    }
    case CN_COMMAND: {
        size_t i = static_cast<size_t>(LOWORD(m.WParam)) - 1;
        if (i < FButtons.size()) {
            TToolButton* b = FButtons[i];
            if (b->FStyle == tbsCheck) {
                // the window toggled it already: take its state, then the click
                b->FDown = SendMessageW(FHandle, TB_ISBUTTONCHECKED, i + 1, 0) != 0;
                if (b->FMenuItem) b->FMenuItem->Click();
                b->TControl::Click();
            } else {
                b->Click();
            }
        }
        return;
    }
    case WM_SIZE:
        TWinControl::WndProc(m);
        UpdateButtonBounds();
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TControlBar

TControlBar::TControlBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    FAlign = alTop;
    FWidth = 100;
    FHeight = 50;
    // now that it is a control bar, its owner hears of it as one (a skin may take it)
    NotifyInserted();
}

TRect TControlBar::BandRect(const TControl* c)
{
    // room for the grabber on the left and a frame of two pixels
    return TRect(c->Left() - 11, c->Top() - 2, c->Left() + c->Width() + 2, c->Top() + c->Height() + 2);
}

void TControlBar::Paint()
{
    FCanvas.Brush().SetStyle(bsSolid);
    FCanvas.Brush().SetColor(FColor);
    FCanvas.FillRect(ClientRect());
    for (TControl* c : FControls) {
        if (!c->Visible()) continue;
        TRect r = BandRect(c);
        TBandPaintOptions options = bpoGrabber | bpoFrame;
        if (OnBandPaint) OnBandPaint(this, c, &FCanvas, r, options);
        if (options & bpoFrame) {
            RECT rc = r;
            DrawEdge(FCanvas.Handle(), &rc, BDR_RAISEDINNER, BF_RECT);
        }
        if (options & bpoGrabber) {
            RECT g{r.Left + 3, r.Top + 3, r.Left + 6, r.Bottom - 3};
            DrawEdge(FCanvas.Handle(), &g, BDR_RAISEDINNER, BF_RECT);
        }
    }
}

// ---------------------------------------------------------------- TCoolBar, TPageScroller

TCoolBar::TCoolBar(TComponent* AOwner) : TWinControl(AOwner)
{
    FAlign = alTop;
    FWidth = 150;
    FHeight = 75;
}

namespace {
void InitBarClasses()
{
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_COOL_CLASSES | ICC_PAGESCROLLER_CLASS};
    InitCommonControlsEx(&icc);
    done = true;
}
}  // namespace

void TCoolBar::CreateParams(TCreateParams& p)
{
    InitBarClasses();
    TWinControl::CreateParams(p);
    p.SysClassName = REBARCLASSNAMEW;
    p.Style |= CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | WS_CLIPCHILDREN;
}

TPageScroller::TPageScroller(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 150;
    FHeight = 45;
}

void TPageScroller::CreateParams(TCreateParams& p)
{
    InitBarClasses();
    TWinControl::CreateParams(p);
    p.SysClassName = WC_PAGESCROLLERW;
    p.Style |= WS_CLIPCHILDREN;
}
