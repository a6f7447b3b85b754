#include "Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>

#include "Forms.h"
#include "SysUtils.h"

namespace {

// The control object of each of our windows. A window property would do, but reading one is a
// round trip to the window server on every message under Wine.
struct TControlMap {
    std::mutex Lock;
    std::unordered_map<HWND, TWinControl*> Map;
};
// Never destroyed: windows may still go after the statics end, as those of forms that the
// application object owns and frees in its own destructor.
TControlMap& ControlMap()
{
    static TControlMap* m = new TControlMap;
    return *m;
}
void BindControl(HWND h, TWinControl* c)
{
    std::lock_guard<std::mutex> g(ControlMap().Lock);
    ControlMap().Map[h] = c;
}
void UnbindControl(HWND h)
{
    std::lock_guard<std::mutex> g(ControlMap().Lock);
    ControlMap().Map.erase(h);
}
// The control whose window is being made: its first message binds the window to it.
thread_local TWinControl* gCreating = nullptr;

std::map<std::wstring, WNDPROC>& ClassProcs()
{
    static std::map<std::wstring, WNDPROC> m;
    return m;
}

void InitCommon()
{
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    done = true;
}

// Registers our class (a superclass of a system class, or one of our own) once; gives the
// window procedure that its messages go on to.
WNDPROC RegisterOurClass(const TCreateParams& p)
{
    auto& procs = ClassProcs();
    auto it = procs.find(p.WinClassName);
    if (it != procs.end()) return it->second;
    InitCommon();
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    WNDPROC def = DefWindowProcW;
    if (!p.SysClassName.empty()) {
        if (!GetClassInfoExW(nullptr, p.SysClassName.c_str(), &wc))
            throw Exception("Window class not found");
        def = wc.lpfnWndProc;
        wc.cbSize = sizeof(wc);
        wc.style &= ~CS_GLOBALCLASS;
    } else {
        wc.style = p.ClassStyle;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = nullptr;
    }
    wc.lpfnWndProc = FormsWndProc;
    wc.hInstance = inst;
    wc.lpszClassName = p.WinClassName.c_str();
    wc.lpszMenuName = nullptr;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception("Window class could not be registered");
    procs[p.WinClassName] = def;
    return def;
}

TShiftState KeysToShift(WPARAM keys)
{
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

bool IsMouseMsg(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL; }

}  // namespace

TWinControl* FindControl(HWND h)
{
    if (!h) return nullptr;
    std::lock_guard<std::mutex> g(ControlMap().Lock);
    auto it = ControlMap().Map.find(h);
    return it == ControlMap().Map.end() ? nullptr : it->second;
}

LRESULT CALLBACK FormsWndProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    TWinControl* c = FindControl(h);
    if (!c) {
        c = gCreating;
        if (!c) return DefWindowProcW(h, msg, w, l);
        gCreating = nullptr;
        c->FHandle = h;
        BindControl(h, c);
    }
    TMessage m{msg, w, l, 0};
    try {
        c->FWindowProc(m);
    } catch (...) {
        Application->HandleException(c);
    }
    if (msg == WM_NCDESTROY) {
        UnbindControl(h);
        if (c->FHandle == h) c->FHandle = nullptr;
    }
    return m.Result;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner)
{
    FWindowProc = WndMethod<&TControl::WndProc>(this);
    FFont.OnChange = [this] { FontChanged(); };
}

TControl::~TControl()
{
    if (Application && Application->MouseControl() == this) Application->SetMouseControl(nullptr);
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent) return;
    if (AParent == this) throw Exception("A control cannot be its own parent");
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::Constrain(int& w, int& h) const
{
    if (FConstraints.MinWidth() > 0 && w < FConstraints.MinWidth()) w = FConstraints.MinWidth();
    if (FConstraints.MaxWidth() > 0 && w > FConstraints.MaxWidth()) w = FConstraints.MaxWidth();
    if (FConstraints.MinHeight() > 0 && h < FConstraints.MinHeight()) h = FConstraints.MinHeight();
    if (FConstraints.MaxHeight() > 0 && h > FConstraints.MaxHeight()) h = FConstraints.MaxHeight();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    Constrain(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    Invalidate();
    bool sized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    Invalidate();
    if (FParent && FAlign != alNone) FParent->Realign();
    if (sized) Resize();
}

TRect TControl::ClientRect() const { return TRect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(int v) { SetWidth(FWidth - ClientWidth() + v); }
void TControl::SetClientHeight(int v) { SetHeight(FHeight - ClientHeight() + v); }

void TControl::SetAlign(TAlign v)
{
    if (v == FAlign) return;
    FAlign = v;
    if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool v)
{
    if (v == FVisible) return;
    Invalidate();
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v);
    VisibleChanging();
    Invalidate();
    if (FParent && FAlign != alNone) FParent->Realign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool v)
{
    if (v == FEnabled) return;
    FEnabled = v;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& v)
{
    if (v == GetText()) return;
    SetTextCore(v);
    Perform(CM_TEXTCHANGED);
}

void TControl::SetTextCore(const std::string& v)
{
    FText = v;
    Invalidate();
}

void TControl::SetParentFont(bool v)
{
    FParentFont = v;
    if (v && FParent) ParentFontChanged();
}

void TControl::SetColor(TColor v)
{
    if (v == FColor) return;
    FColor = v;
    FParentColor = false;
    Perform(CM_COLORCHANGED);
    Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (TControl* c : w->FControls) c->ParentColorChanged();
}

void TControl::SetParentColor(bool v)
{
    FParentColor = v;
    if (v && FParent) ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    if (FParentColor && FParent) {
        FColor = FParent->FColor;
        Invalidate();
        if (auto* w = dynamic_cast<TWinControl*>(this))
            for (TControl* c : w->FControls) c->ParentColorChanged();
    }
    Perform(CM_PARENTCOLORCHANGED);
}

void TControl::ParentFontChanged()
{
    if (FParentFont && FParent) {
        auto keep = std::move(FFont.OnChange);
        FFont.OnChange = nullptr;
        FFont.Assign(FParent->FFont);
        FFont.OnChange = std::move(keep);
        FontChanged();
        FParentFont = true;
    }
    Perform(CM_PARENTFONTCHANGED);
}

void TControl::FontChanged()
{
    FParentFont = false;
    Perform(CM_FONTCHANGED);
    Invalidate();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage m{Msg, WParam, LParam, 0};
    FWindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (OnMouseDown)
            OnMouseDown(this, mbLeft, KeysToShift(Message.WParam), GET_X_LPARAM(Message.LParam),
                        GET_Y_LPARAM(Message.LParam));
        if (Message.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
        break;
    case WM_LBUTTONUP:
        if (OnMouseUp)
            OnMouseUp(this, mbLeft, KeysToShift(Message.WParam), GET_X_LPARAM(Message.LParam),
                      GET_Y_LPARAM(Message.LParam));
        break;
    default:
        break;
    }
    DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Click()
{
    if (OnClick) OnClick(this);
}

void TControl::Resize()
{
    if (OnResize) OnResize(this);
}

void TControl::Invalidate()
{
    if (FParent && FParent->HandleAllocated() && FVisible) {
        RECT r = BoundsRect();
        InvalidateRect(FParent->FHandle, &r, TRUE);
    }
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::Update()
{
    if (FParent) FParent->Update();
}

void TControl::BringToFront()
{
    if (!FParent) return;
    auto& v = FParent->FControls;
    auto it = std::find(v.begin(), v.end(), this);
    if (it != v.end()) {
        v.erase(it);
        v.push_back(this);
    }
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

TPoint TControl::ClientToScreen(TPoint p) const
{
    if (auto* w = dynamic_cast<const TWinControl*>(this)) {
        if (w->FHandle) {
            POINT q{p.X, p.Y};
            ::ClientToScreen(w->FHandle, &q);
            return {q.x, q.y};
        }
    }
    if (FParent) return FParent->ClientToScreen({p.X + FLeft, p.Y + FTop});
    return {p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ScreenToClient(TPoint p) const
{
    TPoint o = ClientToScreen({0, 0});
    return {p.X - o.X, p.Y - o.Y};
}

TWinControl* TControl::ParentForm() const
{
    const TControl* c = this;
    while (c->FParent) c = c->FParent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
    DestroyHandle();
    // The parent frees its controls, as the platform does, whoever owns them.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        RemoveControl(c);
        delete c;
    }
    if (FBrush) DeleteObject(FBrush);
}

void TWinControl::CreateParams(TCreateParams& p)
{
    p.WinClassName = ToWide(ClassName());
    p.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (FVisible) p.Style |= WS_VISIBLE;
    if (!FEnabled) p.Style |= WS_DISABLED;
    if (FTabStop) p.Style |= WS_TABSTOP;
    p.X = FLeft;
    p.Y = FTop;
    p.Width = FWidth;
    p.Height = FHeight;
    p.WndParent = FParent ? FParent->FHandle : nullptr;
}

HWND TWinControl::Handle()
{
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TWinControl::CreateHandle()
{
    if (FHandle) return;
    if (FParent && !FParent->FHandle) {
        FParent->CreateHandle();  // makes ours too
        if (FHandle) return;
    }
    TCreateParams p;
    CreateParams(p);
    if (FParent) p.WndParent = FParent->FHandle;
    FDefWndProc = RegisterOurClass(p);
    std::wstring text = ToWide(FText);
    gCreating = this;
    HWND h = CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), text.c_str(), p.Style, p.X, p.Y,
                             p.Width, p.Height, p.WndParent, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    gCreating = nullptr;
    if (!h) throw Exception(Format("Error creating window (%s)", ClassName()));
    FHandle = h;
    if (!FindControl(h)) BindControl(h, this);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), 0);
    CreateWnd();
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
    AlignControls();
    // a new window goes to the top: put it back at its place in the tab order
    if (FParent) FParent->UpdateTabOrder();
}

void TWinControl::DestroyHandle()
{
    if (!FHandle) return;
    SaveWindowState();
    FDestroyingHandle = true;
    DestroyWindow(FHandle);  // children go with it; each clears its own handle
    FDestroyingHandle = false;
    FHandle = nullptr;
}

void TWinControl::SaveWindowState()
{
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle) w->SaveWindowState();
    FText = GetText();
    DestroyWnd();
}

void TWinControl::RecreateWnd()
{
    if (!FHandle) return;
    DestroyHandle();
    CreateHandle();
}

void TWinControl::InsertControl(TControl* c)
{
    FControls.push_back(c);
    c->FParent = this;
    if (auto* w = dynamic_cast<TWinControl*>(c)) FTabList.push_back(w);
    if (c->FParentFont) c->ParentFontChanged();
    if (c->FParentColor) c->ParentColorChanged();
    if (FHandle)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
    if (c->FAlign != alNone) Realign();
    c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c)
{
    auto it = std::find(FControls.begin(), FControls.end(), c);
    if (it == FControls.end()) return;
    c->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    FControls.erase(std::find(FControls.begin(), FControls.end(), c));
    if (auto t = std::find(FTabList.begin(), FTabList.end(), c); t != FTabList.end()) FTabList.erase(t);
    c->FParent = nullptr;
    if (c->FAlign != alNone) Realign();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled) const
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->FVisible || (!c->FEnabled && !allowDisabled)) continue;
        if (p.X >= c->FLeft && p.X < c->FLeft + c->FWidth && p.Y >= c->FTop &&
            p.Y < c->FTop + c->FHeight)
            return c;
    }
    return nullptr;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FVisible || !c->FEnabled) return false;
    return true;
}

void TWinControl::SetFocus()
{
    if (TWinControl* f = ParentForm(); f && !f->HandleAllocated()) {
        static_cast<TForm*>(f)->SetActiveControl(this);
        return;
    }
    ::SetFocus(Handle());
}

void TWinControl::SetTabStop(bool v)
{
    FTabStop = v;
    if (FHandle) {
        LONG s = GetWindowLongW(FHandle, GWL_STYLE);
        SetWindowLongW(FHandle, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
}

void TWinControl::SetCtl3D(bool v)
{
    if (v == FCtl3D) return;
    FCtl3D = v;
    Perform(CM_CTL3DCHANGED);
    for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTCTL3DCHANGED);
    Ctl3DChanged();
}

void TWinControl::SetBorderWidth(int v)
{
    if (v < 0) v = 0;
    if (v == FBorderWidth) return;
    FBorderWidth = v;
    if (FHandle)
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Realign();
    Invalidate();
}

void TControl::SetBiDiMode(TBiDiMode v)
{
    if (v == FBiDiMode) return;
    FBiDiMode = v;
    Invalidate();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    Constrain(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (FParent && FAlign != alNone) FParent->Realign();
    if (sized) {
        AlignControls();
        Resize();
    }
}

TRect TWinControl::ClientRect() const
{
    if (FHandle) {
        RECT r;
        GetClientRect(FHandle, &r);
        return TRect(r);
    }
    // No window yet: take the frame the window will have.
    TCreateParams p;
    const_cast<TWinControl*>(this)->CreateParams(p);
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    int w = FWidth - (r.right - r.left), h = FHeight - (r.bottom - r.top);
    return TRect(0, 0, std::max(w, 0), std::max(h, 0));
}

void TWinControl::SetEnabled(bool v) { TControl::SetEnabled(v); }

void TWinControl::Invalidate() { Perform(CM_INVALIDATE); }

void TWinControl::Update()
{
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Realign() { AlignControls(); }

TRect TWinControl::AlignRect() const { return ClientRect(); }

void TWinControl::AlignControls()
{
    if (FAligning) return;
    FAligning = true;
    TRect r = AlignRect();
    auto place = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->FAlign == a && c->FVisible) list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop: return x->FTop < y->FTop;
            case alBottom: return x->FTop + x->FHeight > y->FTop + y->FHeight;
            case alLeft: return x->FLeft < y->FLeft;
            case alRight: return x->FLeft + x->FWidth > y->FLeft + y->FWidth;
            default: return false;
            }
        });
        for (TControl* c : list) {
            switch (a) {
            case alTop:
                c->SetBounds(r.Left, r.Top, r.Width(), c->FHeight);
                r.Top += c->FHeight;
                break;
            case alBottom:
                c->SetBounds(r.Left, r.Bottom - c->FHeight, r.Width(), c->FHeight);
                r.Bottom -= c->FHeight;
                break;
            case alLeft:
                c->SetBounds(r.Left, r.Top, c->FWidth, r.Height());
                r.Left += c->FWidth;
                break;
            case alRight:
                c->SetBounds(r.Right - c->FWidth, r.Top, c->FWidth, r.Height());
                r.Right -= c->FWidth;
                break;
            case alClient:
                c->SetBounds(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
                break;
            default: break;
            }
        }
    };
    place(alTop);
    place(alBottom);
    place(alLeft);
    place(alRight);
    place(alClient);
    FAligning = false;
}

void TWinControl::PaintControls(HDC dc)
{
    RECT clip;
    int kind = GetClipBox(dc, &clip);
    for (TControl* c : std::vector<TControl*>(FControls)) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->FVisible) continue;
        RECT b = g->BoundsRect(), x;
        if (kind != NULLREGION && !IntersectRect(&x, &b, &clip)) continue;
        // the context goes back as it was, also when the control's painting throws
        struct Restore {
            HDC Dc;
            int Saved;
            TCanvas& Canvas;
            ~Restore()
            {
                Canvas.SetHandle(nullptr);
                RestoreDC(Dc, Saved);
            }
        } restore{dc, SaveDC(dc), g->Canvas()};
        POINT org;
        GetViewportOrgEx(dc, &org);
        SetViewportOrgEx(dc, org.x + g->FLeft, org.y + g->FTop, nullptr);
        IntersectClipRect(dc, 0, 0, g->FWidth, g->FHeight);
        g->Canvas().SetHandle(dc);
        g->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
}

std::string TWinControl::GetText() const
{
    if (!FHandle) return FText;
    int n = GetWindowTextLengthW(FHandle);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(FHandle, w.data(), n + 1);
    return FromWide(w.data(), n);
}

void TWinControl::SetTextCore(const std::string& v)
{
    FText = v;
    if (FHandle) SetWindowTextW(FHandle, ToWide(v).c_str());
}

void TWinControl::FontChanged()
{
    TControl::FontChanged();
    if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
    for (TControl* c : FControls) c->ParentFontChanged();
}

void TWinControl::VisibleChanging()
{
    if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::UpdateShowing() { VisibleChanging(); }

void TWinControl::KeyPress(char& Key)
{
    if (OnKeyPress) OnKeyPress(this, Key);
}

bool TWinControl::ReflectToChild(TMessage& m)
{
    HWND child = nullptr;
    switch (m.Msg) {
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(m.LParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
        break;
    case WM_DRAWITEM:  // owner-drawn controls draw themselves; menu items are the form's
        if (reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->CtlType == ODT_MENU) return false;
        child = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->hwndItem;
        break;
    case WM_PARENTNOTIFY:
        if (LOWORD(m.WParam) == WM_CREATE || LOWORD(m.WParam) == WM_DESTROY)
            child = reinterpret_cast<HWND>(m.LParam);
        break;
    default:
        return false;
    }
    TWinControl* c = FindControl(child);
    if (!c || c == this) return false;
    m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return m.Msg != WM_PARENTNOTIFY;
}

void TWinControl::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_PARENTNOTIFY:
        if (ReflectToChild(m)) return;
        break;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        SetTextColor(dc, ColorToRGB(FEnabled ? FFont.Color() : clGrayText));
        SetBkColor(dc, ColorToRGB(FColor));
        if (!FBrush) FBrush = CreateSolidBrush(ColorToRGB(FColor));
        m.Result = reinterpret_cast<LRESULT>(FBrush);
        return;
    }
    case CM_COLORCHANGED:
    case CM_PARENTCOLORCHANGED:
        if (FBrush) DeleteObject(FBrush);
        FBrush = nullptr;
        break;
    case CM_ENABLEDCHANGED:
        if (FHandle) EnableWindow(FHandle, FEnabled);
        break;
    case CM_INVALIDATE:
        if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
        return;
    case CM_ENTER:
        if (OnEnter) OnEnter(this);
        return;
    case CM_EXIT:
        if (OnExit) OnExit(this);
        return;
    case WM_SETFOCUS:
        if (auto* f = dynamic_cast<TForm*>(ParentForm()); f && f != this) f->FocusControlChanged(this);
        break;
    case WM_CHAR: {
        wchar_t wc = static_cast<wchar_t>(m.WParam);
        std::string s = FromWide(&wc, 1);
        char key = s.empty() ? '?' : s[0];
        char before = key;
        KeyPress(key);
        if (key == 0) return;
        if (key != before) {
            std::wstring nw = ToWide(std::string(1, key));
            m.WParam = nw.empty() ? 0 : nw[0];
        }
        break;
    }
    case WM_KEYDOWN:
        if (OnKeyDown) {
            WORD key = static_cast<WORD>(m.WParam);
            TShiftState sh = 0;
            if (GetKeyState(VK_SHIFT) < 0) sh |= ssShift;
            if (GetKeyState(VK_CONTROL) < 0) sh |= ssCtrl;
            if (GetKeyState(VK_MENU) < 0) sh |= ssAlt;
            OnKeyDown(this, key, sh);
            if (key == 0) return;
            m.WParam = key;
        }
        break;
    case WM_MOUSEMOVE: {
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        TControl* under = ControlAtPos(p, true);
        if (under && !dynamic_cast<TGraphicControl*>(under)) under = nullptr;
        Application->SetMouseControl(under ? under : this);
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, FHandle, 0};
        if (FHandle) TrackMouseEvent(&t);
        break;
    }
    case WM_MOUSELEAVE: {
        TControl* mc = Application->MouseControl();
        if (mc == this || (mc && mc->FParent == this && dynamic_cast<TGraphicControl*>(mc)))
            Application->SetMouseControl(nullptr);
        break;
    }
    case WM_ERASEBKGND:
        if (FDefWndProc == DefWindowProcW) {
            RECT r;
            GetClientRect(FHandle, &r);
            HBRUSH b = CreateSolidBrush(ColorToRGB(FColor));
            FillRect(reinterpret_cast<HDC>(m.WParam), &r, b);
            DeleteObject(b);
            m.Result = 1;
            return;
        }
        break;
    case WM_PAINT:
        if (FDefWndProc == DefWindowProcW) {
            if (m.WParam) {
                PaintControls(reinterpret_cast<HDC>(m.WParam));
            } else {
                // the paint ends however painting does: a throwing control must not leave the
                // context taken and the window asking to be painted for ever
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(FHandle, &ps);
                struct EndOnLeave {
                    HWND Wnd;
                    PAINTSTRUCT* Ps;
                    ~EndOnLeave() { EndPaint(Wnd, Ps); }
                } end{FHandle, &ps};
                PaintControls(dc);
            }
            return;
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
        if (!(wp->flags & SWP_NOSIZE) || !(wp->flags & SWP_NOMOVE)) {
            RECT r;
            GetWindowRect(FHandle, &r);
            if (HWND p = GetParent(FHandle); p && (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
                MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
            bool sized = r.right - r.left != FWidth || r.bottom - r.top != FHeight;
            FLeft = r.left;
            FTop = r.top;
            FWidth = r.right - r.left;
            FHeight = r.bottom - r.top;
            if (sized) {
                AlignControls();
                Resize();
            }
        }
        break;
    }
    default:
        break;
    }
    // Mouse messages over a window-less child go to it, in its own coordinates.
    if (IsMouseMsg(m.Msg) && m.Msg != WM_MOUSEMOVE) {
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (TControl* c = ControlAtPos(p); c && dynamic_cast<TGraphicControl*>(c)) {
            m.Result = c->Perform(m.Msg, m.WParam, MAKELPARAM(p.X - c->FLeft, p.Y - c->FTop));
            return;
        }
    }
    TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m)
{
    // the library's own messages end here; registered messages (0xC000 up) go on to the system
    if (!FHandle || (m.Msg >= CM_BASE && m.Msg < 0xC000)) return;
    m.Result = CallWindowProcW(FDefWndProc, FHandle, m.Msg, m.WParam, m.LParam);
    if (m.Msg == WM_NCCALCSIZE && FBorderWidth > 0 && m.LParam) {
        // the border width lies inside the frame, outside the client area
        RECT* r = reinterpret_cast<RECT*>(m.LParam);  // first rectangle of either form
        InflateRect(r, -FBorderWidth, -FBorderWidth);
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
    }
}

// ---------------------------------------------------------------- TGraphicControl

void TGraphicControl::WndProc(TMessage& m)
{
    switch (m.Msg) {
    case WM_PAINT:
        if (m.WParam) Paint();
        return;
    case WM_LBUTTONDOWN:
        FMouseDown = true;
        break;
    case WM_LBUTTONUP:
        if (FMouseDown) {
            FMouseDown = false;
            int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
            TControl::WndProc(m);
            if (x >= 0 && y >= 0 && x < FWidth && y < FHeight) Click();
            return;
        }
        break;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        break;
    default:
        break;
    }
    TControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomControl

void TCustomControl::WndProc(TMessage& m)
{
    if (m.Msg == WM_PAINT) {
        PAINTSTRUCT ps{};
        HDC dc = m.WParam ? reinterpret_cast<HDC>(m.WParam) : BeginPaint(FHandle, &ps);
        // A handler that throws while painting must still end the paint, or the window would
        // ask to be painted (and throw) for ever.
        try {
            FCanvas.SetHandle(dc);
            FCanvas.Font().Assign(FFont);
            Paint();
            FCanvas.SetHandle(nullptr);
            PaintControls(dc);
        } catch (...) {
            FCanvas.SetHandle(nullptr);
            if (!m.WParam) EndPaint(FHandle, &ps);
            throw;
        }
        if (!m.WParam) EndPaint(FHandle, &ps);
        return;
    }
    if (m.Msg == WM_LBUTTONDOWN) FMouseDown = true;
    if (m.Msg == WM_LBUTTONUP && FMouseDown) {
        FMouseDown = false;
        int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        TWinControl::WndProc(m);
        if (x >= 0 && y >= 0 && x < FWidth && y < FHeight && !ControlAtPos({x, y})) Click();
        return;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- hints and tab order

bool TControl::ShowHint() const
{
    if (FParentShowHint && FParent) return FParent->ShowHint();
    return FShowHint;
}

void TControl::SetShowHint(bool v)
{
    FShowHint = v;
    FParentShowHint = false;
}

int TWinControl::TabOrder() const
{
    if (!FParent) return -1;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int v)
{
    if (!FParent) return;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    if (it == l.end()) return;
    l.erase(it);
    if (v < 0 || v >= static_cast<int>(l.size())) v = static_cast<int>(l.size());
    l.insert(l.begin() + v, this);
    FParent->UpdateTabOrder();
}

void TWinControl::UpdateTabOrder()
{
    if (!FHandle) return;
    // The dialog manager steps through the children in window order.
    HWND after = HWND_TOP;
    for (TWinControl* c : FTabList) {
        if (!c->FHandle) continue;
        SetWindowPos(c->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = c->FHandle;
    }
    for (TWinControl* c : FTabList)
        if (c->FHandle && c->StaysInFront())
            SetWindowPos(c->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
