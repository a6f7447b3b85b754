#include "Forms.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>

#include "Dialogs.h"
#include "Menus.h"
#include "SysUtils.h"
#include "Thread.h"

// The screen outlives the application object: both live here, the screen made first.
static TScreen gScreen;
static TApplication gApplication;
TScreen* Screen = &gScreen;
TApplication* Application = &gApplication;

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    FVisible = false;
    FParentFont = false;
    FParentColor = false;
    FColor = clBtnFace;
    FWidth = 320;
    FHeight = 240;
    FConstraints.OnChange = [this] {
        int w = FWidth, h = FHeight;
        Constrain(w, h);
        if (w != FWidth || h != FHeight) SetBounds(FLeft, FTop, w, h);
    };
    gScreen.FForms.push_back(this);
    NotifyInserted();
}

TForm::~TForm()
{
    // Leave the owner while still a form: the removal notice then reaches listeners that look
    // for forms (the base destructor would send it only once the form part is gone).
    if (Owner()) Owner()->RemoveComponent(this);
    if (FMenu) FMenu->FForm = nullptr;
    auto& v = gScreen.FForms;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    DestroyHandle();
}

void TForm::CreateParams(TCreateParams& p)
{
    p.WinClassName = L"TForm";
    p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    p.ExStyle = 0;
    if (!FEnabled) p.Style |= WS_DISABLED;
    switch (FBorderStyle) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        p.Style |= WS_CAPTION | WS_POPUP;
        p.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        p.Style |= WS_CAPTION;
        p.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        p.Style |= WS_CAPTION | WS_THICKFRAME;
        p.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
        p.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow &&
            FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons & biMinimize) p.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons & biMaximize) p.Style |= WS_MAXIMIZEBOX;
        }
    }
    p.X = FLeft;
    p.Y = FTop;
    p.Width = FWidth;
    p.Height = FHeight;
    p.WndParent = nullptr;
}

void TForm::PlaceOnScreen()
{
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
        FLeft = (sw - FWidth) / 2;
        FTop = (sh - FHeight) / 2;
        break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
        TForm* m = Application->MainForm();
        if (m && m != this) {
            FLeft = m->Left() + (m->Width() - FWidth) / 2;
            FTop = m->Top() + (m->Height() - FHeight) / 2;
        } else {
            FLeft = (sw - FWidth) / 2;
            FTop = (sh - FHeight) / 2;
        }
        break;
    }
    default:
        break;
    }
}

void TForm::CreateWnd()
{
    // Placed once, when the window comes into being.
    PlaceOnScreen();
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (FMenu) ::SetMenu(FHandle, FMenu->Handle());
}

void TForm::DestroyWnd()
{
    // the window would destroy the menu it shows; the menu belongs to its component
    if (FMenu && FHandle) ::SetMenu(FHandle, nullptr);
}

void TForm::SetMenu(TMainMenu* v)
{
    if (v == FMenu) return;
    if (FMenu) FMenu->FForm = nullptr;
    if (v && v->FForm) v->FForm->SetMenu(nullptr);
    FMenu = v;
    if (v) v->FForm = this;
    if (FHandle) {
        ::SetMenu(FHandle, v ? v->Handle() : nullptr);
        ::DrawMenuBar(FHandle);
    }
}

void TForm::SetPosition(TPosition v) { FPosition = v; }

void TForm::SetBorderIcons(TBorderIcons v)
{
    if (v == FBorderIcons) return;
    FBorderIcons = v;
    RecreateWnd();
}

void TForm::SetBorderStyle(TFormBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

bool TForm::Showing() const { return FVisible; }

void TForm::SetVisible(bool v)
{
    if (v == FVisible && (!v || HandleAllocated())) return;
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v);
    if (v) {
        HWND h = Handle();
        ShowWindow(h, SW_SHOW);
        if (FActiveControl && FActiveControl->CanFocus()) ::SetFocus(FActiveControl->Handle());
        UpdateWindow(h);
        if (OnShow) OnShow(this);
    } else if (HandleAllocated()) {
        ShowWindow(FHandle, SW_HIDE);
    }
}

void TForm::Close()
{
    bool can = true;
    if (OnCloseQuery) OnCloseQuery(this, can);
    if (!can) return;
    bool main = Application->MainForm() == this;
    TCloseAction action = main ? caFree : caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    if (main) {
        Application->Terminate();
    } else if (action == caMinimize) {
        if (HandleAllocated()) ShowWindow(FHandle, SW_MINIMIZE);
    } else {
        Hide();
    }
}

void TForm::SetActiveControl(TWinControl* c)
{
    if (c == FActiveControl) return;
    if (FActiveControl) RemoveFreeNotification(FActiveControl);
    FActiveControl = c;
    if (c) FreeNotification(c);
    if (c && HandleAllocated() && FVisible && c->CanFocus()) ::SetFocus(c->Handle());
}

void TForm::FocusControlChanged(TWinControl* c)
{
    TWinControl* old = FActiveControl;
    if (old != c) {
        if (old) RemoveFreeNotification(old);
        FActiveControl = c;
        if (c) FreeNotification(c);
        if (old) old->Perform(CM_EXIT);
        if (c) c->Perform(CM_ENTER);
    }
    // Every control of the form hears where the focus went.
    std::vector<TControl*> all;
    std::function<void(TWinControl*)> collect = [&](TWinControl* w) {
        for (int i = 0; i < w->ControlCount(); ++i) {
            TControl* x = w->Controls(i);
            all.push_back(x);
            if (auto* ww = dynamic_cast<TWinControl*>(x)) collect(ww);
        }
    };
    collect(this);
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(c));
    for (TControl* x : all) x->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(c));
}

void TForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
}

void TForm::AfterConstruction()
{
    if (FCreated) return;
    FCreated = true;
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::BeforeDestruction()
{
    if (FDestroyed) return;
    FDestroyed = true;
    if (!OnDestroy) return;
    try {
        OnDestroy(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::Free()
{
    BeforeDestruction();
    delete this;
}

void TForm::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        if (DispatchMenuOwnerDraw(m)) return;
        break;
    case WM_COMMAND:
        // a menu command: no control, notification code 0
        if (m.LParam == 0 && HIWORD(m.WParam) == 0 && FMenu &&
            FMenu->DispatchCommand(LOWORD(m.WParam)))
            return;
        break;
    case WM_CLOSE:
        Close();
        return;
    case WM_GETMINMAXINFO: {
        TWinControl::WndProc(m);
        auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam);
        if (FConstraints.MinWidth() > 0) mm->ptMinTrackSize.x = FConstraints.MinWidth();
        if (FConstraints.MinHeight() > 0) mm->ptMinTrackSize.y = FConstraints.MinHeight();
        if (FConstraints.MaxWidth() > 0) {
            mm->ptMaxTrackSize.x = FConstraints.MaxWidth();
            mm->ptMaxSize.x = FConstraints.MaxWidth();
        }
        if (FConstraints.MaxHeight() > 0) {
            mm->ptMaxTrackSize.y = FConstraints.MaxHeight();
            mm->ptMaxSize.y = FConstraints.MaxHeight();
        }
        return;
    }
    case WM_ACTIVATE:
        TWinControl::WndProc(m);
        if (LOWORD(m.WParam) != WA_INACTIVE && FActiveControl && FActiveControl->CanFocus())
            ::SetFocus(FActiveControl->Handle());
        return;
    case WM_SETFOCUS:
        if (FActiveControl && FActiveControl->CanFocus()) {
            ::SetFocus(FActiveControl->Handle());
            return;
        }
        break;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TScreen

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

// ---------------------------------------------------------------- TApplication

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication()
{
    DestroyComponents();
    if (FHandle) DestroyWindow(FHandle);
}

void TApplication::Initialize()
{
    if (FInitialized) return;
    FInitialized = true;
    OleInitialize(nullptr);  // apartment model for the GUI thread
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    Handle();
}

void TApplication::SetTitle(const std::string& v)
{
    FTitle = v;
    if (FHandle) SetWindowTextW(FHandle, ToWide(v).c_str());
}

HWND TApplication::Handle()
{
    if (FHandle) return FHandle;
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = AppWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TApplication";
        RegisterClassExW(&wc);
        registered = true;
    }
    FHandle = CreateWindowExW(0, L"TApplication", ToWide(FTitle).c_str(), WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND h = FHandle;
    // Worker threads wake the loop so that it runs their hand-overs.
    SetWakeMainThread([h] { PostMessageW(h, WM_NULL, 0, 0); });
    return FHandle;
}

LRESULT CALLBACK TApplication::AppWndProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    TApplication* app = Application;
    TMessage m{msg, w, l, 0};
    try {
        for (auto hook : std::vector<std::pair<int, TWindowHook>>(app->FHooks))
            if (hook.second && hook.second(m)) return m.Result;
        if (msg == WM_NULL) {
            CheckSynchronize();
            return 0;
        }
    } catch (...) {
        app->HandleException(app);
        return m.Result;
    }
    return DefWindowProcW(h, msg, w, l);
}

int TApplication::HookMainWindow(TWindowHook hook)
{
    int id = FNextHook++;
    FHooks.emplace_back(id, std::move(hook));
    return id;
}

void TApplication::UnhookMainWindow(int id)
{
    FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(),
                                [id](const auto& p) { return p.first == id; }),
                 FHooks.end());
}

void TApplication::FormCreated(TForm* f)
{
    if (!FMainForm) FMainForm = f;
    f->AfterConstruction();
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    // Tab between controls and the like, as in a dialog; the grid asks for its own keys.
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root && dynamic_cast<TForm*>(FindControl(root)) && IsDialogMessageW(root, &msg)) return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::HandleMessage()
{
    MSG msg;
    try {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ProcessMessage(msg);
        } else {
            CheckSynchronize();
            if (!FTerminated && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
        }
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::ProcessMessages()
{
    // A job that calls this for each of thousands of items would otherwise repaint for every
    // item, which costs more than the item itself. While calls come in quick succession, paint
    // at most every 20 ms; input, posted and sent messages are still handled on every call, and
    // the message loop paints whatever is left as soon as the job ends.
    DWORD now = GetTickCount();
    FQuickCalls = now - FLastProcessCall < 5 ? FQuickCalls + 1 : 0;
    FLastProcessCall = now;
    UINT flags = PM_REMOVE;
    if (FQuickCalls >= 8 && now - FLastPaintPass < 20)
        flags |= PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    else
        FLastPaintPass = now;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, flags)) {
        try {
            ProcessMessage(msg);
        } catch (...) {
            HandleException(this);
        }
    }
    try {
        CheckSynchronize();
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::Run()
{
    Handle();
    if (FMainForm && FShowMainForm && !FTerminated) {
        try {
            FMainForm->Show();
        } catch (...) {
            HandleException(FMainForm);
        }
    }
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate()
{
    FTerminated = true;
    // No WM_QUIT: it would cut short message boxes shown while the program winds up.
    if (FHandle) PostMessageW(FHandle, WM_NULL, 0, 0);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags)
{
    return ShowMessageBox(dkMessageBox, Text, Caption, Flags);
}

void TApplication::HandleException(TObject* Sender)
{
    try {
        throw;
    } catch (const std::exception& e) {
        try {
            if (OnException)
                OnException(Sender, e);
            else
                ShowException(e);
        } catch (...) {
        }
    } catch (...) {
        try {
            ShowException(Exception("Unknown exception"));
        } catch (...) {
        }
    }
}

void TApplication::ShowException(const std::exception& E)
{
    const auto* ex = dynamic_cast<const Exception*>(&E);
    std::string text = ex ? ex->Message() : std::string(E.what());
    std::string caption = FTitle;
    if (caption.empty()) {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::string full = FromWide(path, static_cast<int>(n));
        size_t s = full.find_last_of("\\/");
        caption = full.substr(s == std::string::npos ? 0 : s + 1);
        size_t d = caption.rfind('.');
        if (d != std::string::npos) caption.resize(d);
    }
    ShowMessageBox(dkMessageBox, text, caption, MB_OK | MB_ICONSTOP);
}

void TApplication::DestroyComponents()
{
    // Forms hear OnDestroy while they are whole, the last made first.
    for (int i = ComponentCount() - 1; i >= 0; --i)
        if (auto* f = dynamic_cast<TForm*>(Components(i))) f->BeforeDestruction();
    while (ComponentCount() > 0) {
        TComponent* c = Components(ComponentCount() - 1);
        RemoveComponent(c);
        delete c;
    }
    FMainForm = nullptr;
    // with no forms left the application is as new: a test may start the program again
    FTerminated = false;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMainForm) FMainForm = nullptr;
    if (AComponent == FMouseControl) FMouseControl = nullptr;
}

void TApplication::SetMouseControl(TControl* c)
{
    if (c == FMouseControl) return;
    TControl* old = FMouseControl;
    FMouseControl = c;
    if (old) old->Perform(CM_MOUSELEAVE);
    if (c && c == FMouseControl) c->Perform(CM_MOUSEENTER);
}

// ---------------------------------------------------------------- TScrollingWinControl

void TScrollingWinControl::SetAutoScroll(bool v)
{
    if (v == FAutoScroll) return;
    FAutoScroll = v;
    if (!v) ScrollTo(0, 0);
    UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars()
{
    if (!FHandle) return;
    // the extent of the content: the children at their unscrolled places
    int w = 0, h = 0;
    if (FAutoScroll)
        for (TControl* c : FControls) {
            if (!c->Visible() || c->Align() != alNone) continue;
            w = std::max(w, c->Left() + FScrollPos.X + c->Width());
            h = std::max(h, c->Top() + FScrollPos.Y + c->Height());
        }
    RECT r;
    GetClientRect(FHandle, &r);
    // with a bar shown the client area is smaller than the window's inside
    if (GetWindowLongW(FHandle, GWL_STYLE) & WS_VSCROLL) r.right += GetSystemMetrics(SM_CXVSCROLL);
    if (GetWindowLongW(FHandle, GWL_STYLE) & WS_HSCROLL) r.bottom += GetSystemMetrics(SM_CYHSCROLL);
    bool needH = w > r.right, needV = h > r.bottom;
    if (needH && !needV) needV = h > r.bottom - GetSystemMetrics(SM_CYHSCROLL);
    if (needV && !needH) needH = w > r.right - GetSystemMetrics(SM_CXVSCROLL);
    int cw = r.right - (needV ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    int ch = r.bottom - (needH ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    si.nMax = needH ? w - 1 : 0;
    si.nPage = needH ? static_cast<UINT>(cw) : 0;
    si.nPos = FScrollPos.X;
    SetScrollInfo(FHandle, SB_HORZ, &si, TRUE);
    ShowScrollBar(FHandle, SB_HORZ, needH);
    si.nMax = needV ? h - 1 : 0;
    si.nPage = needV ? static_cast<UINT>(ch) : 0;
    si.nPos = FScrollPos.Y;
    SetScrollInfo(FHandle, SB_VERT, &si, TRUE);
    ShowScrollBar(FHandle, SB_VERT, needV);
    // content that fits again scrolls back into view
    int maxX = needH ? std::max(w - cw, 0) : 0, maxY = needV ? std::max(h - ch, 0) : 0;
    if (FScrollPos.X > maxX || FScrollPos.Y > maxY) ScrollTo(std::min(FScrollPos.X, maxX), std::min(FScrollPos.Y, maxY));
}

void TScrollingWinControl::ScrollTo(int X, int Y)
{
    X = std::max(X, 0);
    Y = std::max(Y, 0);
    int dx = FScrollPos.X - X, dy = FScrollPos.Y - Y;
    if (!dx && !dy) return;
    FScrollPos = {X, Y};
    for (TControl* c : std::vector<TControl*>(FControls))
        if (c->Align() == alNone) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
    if (FHandle) {
        SetScrollPos(FHandle, SB_HORZ, X, TRUE);
        SetScrollPos(FHandle, SB_VERT, Y, TRUE);
        InvalidateRect(FHandle, nullptr, TRUE);
    }
}

void TScrollingWinControl::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL: {
        if (m.LParam) break;  // a scroll bar control of a child
        int bar = m.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
        SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(FHandle, bar, &si);
        int pos = si.nPos, page = static_cast<int>(si.nPage);
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: pos -= 8; break;
        case SB_LINEDOWN: pos += 8; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = si.nMin; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: break;
        }
        pos = std::max(si.nMin, std::min(pos, si.nMax - std::max(page - 1, 0)));
        if (bar == SB_HORZ)
            ScrollTo(pos, FScrollPos.Y);
        else
            ScrollTo(FScrollPos.X, pos);
        m.Result = 0;
        return;
    }
    case WM_SIZE:
        TWinControl::WndProc(m);
        UpdateScrollBars();
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TScrollBox

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    FWidth = 185;
    FHeight = 41;
    FTabStop = false;
}

void TScrollBox::CreateParams(TCreateParams& p)
{
    TScrollingWinControl::CreateParams(p);
    p.ExStyle |= WS_EX_CONTROLPARENT;
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            p.ExStyle |= WS_EX_CLIENTEDGE;
        else
            p.Style |= WS_BORDER;
    }
}

void TScrollBox::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    RecreateWnd();
}

// ---------------------------------------------------------------- TCustomFrame

TCustomFrame::TCustomFrame(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    FWidth = 320;
    FHeight = 240;
}

void TCustomFrame::CreateParams(TCreateParams& p)
{
    TScrollingWinControl::CreateParams(p);
    p.ExStyle |= WS_EX_CONTROLPARENT;
}
