// Controls: window-less (TGraphicControl) and windowed (TWinControl) ones, their messages, the
// replaceable window procedure, alignment, and the library's private CM_/CN_ messages.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

using TObject = TComponent;
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
// A key with its modifiers, as the platform stores short cuts (menus, hot-key controls).
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

// The platform's message record: the handler sets Result.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// A window method: an object and one of its message methods, comparable, so that a subclass can
// tell whether a control already runs through it. Make one with WndMethod<&T::Method>(obj).
class TWndMethod {
public:
    using Thunk = void (*)(void* obj, TMessage& msg);
    TWndMethod() = default;
    TWndMethod(void* obj, Thunk code) : FData(obj), FCode(code) {}
    void operator()(TMessage& m) const { FCode(FData, m); }
    explicit operator bool() const { return FCode != nullptr; }
    void* Data() const { return FData; }
    Thunk Code() const { return FCode; }
    bool operator==(const TWndMethod& o) const { return FData == o.FData && FCode == o.FCode; }

private:
    void* FData = nullptr;
    Thunk FCode = nullptr;
};

template <auto Method, class T> TWndMethod WndMethod(T* obj)
{
    return TWndMethod(obj, [](void* o, TMessage& m) { (static_cast<T*>(o)->*Method)(m); });
}

// Private messages of the library.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;        // lParam: the control that got the focus
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;     // wParam: new visibility
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
// Notifications a parent reflects to the child they concern (CN_BASE + the window message).
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// Border of a form; edits and grids use bsNone and bsSingle of it.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

class TWinControl;

// Size limits of a control (0: no limit).
class TSizeConstraints {
public:
    int MinWidth() const { return FMinWidth; }
    int MaxWidth() const { return FMaxWidth; }
    int MinHeight() const { return FMinHeight; }
    int MaxHeight() const { return FMaxHeight; }
    void SetMinWidth(int v) { FMinWidth = v; Changed(); }
    void SetMaxWidth(int v) { FMaxWidth = v; Changed(); }
    void SetMinHeight(int v) { FMinHeight = v; Changed(); }
    void SetMaxHeight(int v) { FMaxHeight = v; Changed(); }
    std::function<void()> OnChange;

private:
    void Changed()
    {
        if (OnChange) OnChange();
    }
    int FMinWidth = 0, FMaxWidth = 0, FMinHeight = 0, FMaxHeight = 0;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    const char* ClassName() const override { return "TControl"; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    TSizeConstraints& Constraints() { return FConstraints; }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all its parents (the form included).
    virtual bool Showing() const;

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool v);

    // Caption and Text are the same text of the control.
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& v) { SetText(v); }
    virtual std::string Text() const { return GetText(); }
    void SetText(const std::string& v);

    TFont& Font() { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool v);
    // Reading order; only stored and repainted here (drawing code reads it).
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode v);

    // Every message of the control goes through WindowProc, which starts as WndProc.
    TWndMethod WindowProc() const { return FWindowProc; }
    void SetWindowProc(TWndMethod m) { FWindowProc = m; }
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    virtual void WndProc(TMessage& Message);

    virtual void Invalidate();
    void Repaint();
    virtual void Update();
    void Refresh() { Repaint(); }
    void BringToFront();
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // The form (top-level control) this control sits on, or null.
    TWinControl* ParentForm() const;

    // Fires OnClick (buttons, check boxes, radio groups do their own part first).
    virtual void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

    // The help text shown under the mouse; ShowHint follows the parent's while ParentShowHint.
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v; }
    bool ShowHint() const;
    void SetShowHint(bool v);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool v) { FParentShowHint = v; }

protected:
    virtual std::string GetText() const { return FText; }
    // Stores the text; windowed controls also put it into their window.
    virtual void SetTextCore(const std::string& v);
    // The default processing of a message that WndProc leaves alone.
    virtual void DefaultHandler(TMessage& Message);
    virtual void Resize();
    virtual void FontChanged();
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    // Applies the constraints to a requested size.
    void Constrain(int& w, int& h) const;
    // Hides the control on screen as its own visibility, or its parents', says.
    virtual void VisibleChanging() {}

    std::string FText;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FVisible = true;
    bool FEnabled = true;
    bool FParentFont = true;
    bool FParentColor = true;
    bool FMouseDown = false;
    TColor FColor = clBtnFace;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TFont FFont;
    TSizeConstraints FConstraints;
    TWndMethod FWindowProc;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;

    friend class TWinControl;
};

// Parameters of the window a windowed control makes.
struct TCreateParams {
    std::wstring WinClassName;   // our class name (registered on first use)
    std::wstring SysClassName;   // system class it is built on (empty: our own class)
    DWORD Style = 0;
    DWORD ExStyle = 0;
    DWORD ClassStyle = CS_DBLCLKS;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    const char* ClassName() const override { return "TWinControl"; }

    // The control's window, made (with its parents') when it does not exist yet.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window and makes it anew with the current properties.
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int i) const { return FControls.at(static_cast<size_t>(i)); }
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    // The visible control at a client point (graphic controls included), or null.
    TControl* ControlAtPos(TPoint p, bool allowDisabled = false) const;

    bool Focused() const;
    bool CanFocus() const;
    virtual void SetFocus();
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool v);
    // Place among the parent's windowed controls when Tab moves the focus (0 first); a value out
    // of range puts the control last.
    int TabOrder() const;
    void SetTabOrder(int v);
    bool Ctl3D() const { return FCtl3D; }
    // Sends CM_CTL3DCHANGED (and CM_PARENTCTL3DCHANGED to the children) before the control
    // reshapes its window (Ctl3DChanged), so that whoever watches the messages knows the
    // window is about to be made anew.
    void SetCtl3D(bool v);
    // Width of a plain border inside the window's frame, around the client area.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v);

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TRect ClientRect() const override;
    void SetEnabled(bool v) override;
    void Invalidate() override;
    void Update() override;
    // Lays out the aligned children again.
    void Realign();
    // Paints the window-less children on dc (the control's own client coordinates).
    void PaintControls(HDC dc);

    void WndProc(TMessage& Message) override;

    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyDown;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    virtual void CreateParams(TCreateParams& Params);
    // After Ctl3D changed and the notices went out: controls whose frame shows it re-create.
    virtual void Ctl3DChanged() {}
    // Makes the window and its children's; called by Handle().
    virtual void CreateHandle();
    // After the window exists: put the stored state into it (items, positions...).
    virtual void CreateWnd() {}
    // Before the window goes: keep what only the window knew (texts typed, selections).
    virtual void DestroyWnd() {}
    void DestroyHandle();
    // Keeps what only the windows (ours and our children's) know, before they go.
    void SaveWindowState();
    void DefaultHandler(TMessage& Message) override;
    void SetTextCore(const std::string& v) override;
    std::string GetText() const override;
    void FontChanged() override;
    void VisibleChanging() override;
    // The area the aligned children share (the client rectangle by default).
    virtual TRect AlignRect() const;
    void AlignControls();
    // A child's WM_COMMAND / WM_NOTIFY / WM_CTLCOLOR* reaches the child as CN_*.
    bool ReflectToChild(TMessage& Message);
    virtual void KeyPress(char& Key);
    void UpdateShowing();

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc = nullptr;
    std::vector<TControl*> FControls;
    bool FTabStop = false;
    bool FCtl3D = true;
    int FBorderWidth = 0;
    bool FAligning = false;
    bool FDestroyingHandle = false;
    HBRUSH FBrush = nullptr;  // background brush for WM_CTLCOLOR* answers
    std::vector<TWinControl*> FTabList;  // windowed children in tab order
    // Puts the children's windows in tab order, which is the order Tab follows.
    void UpdateTabOrder();
    // A window that shows over its siblings whatever their tab order (it is no tab stop).
    virtual bool StaysInFront() const { return false; }

    friend class TControl;
    friend LRESULT CALLBACK FormsWndProc(HWND, UINT, WPARAM, LPARAM);
};

// A window-less control painted by its parent.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
    const char* ClassName() const override { return "TGraphicControl"; }
    TCanvas& Canvas() { return FCanvas; }
    void WndProc(TMessage& Message) override;

protected:
    // Draws on Canvas() in the control's own coordinates.
    virtual void Paint() {}
    // Only stores: CM_TEXTCHANGED repaints the control once, where it then stands.
    void SetTextCore(const std::string& v) override { FText = v; }
    TCanvas FCanvas;
};

// A windowed control of our own class that paints itself on Canvas().
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}
    const char* ClassName() const override { return "TCustomControl"; }
    TCanvas& Canvas() { return FCanvas; }
    void WndProc(TMessage& Message) override;

protected:
    virtual void Paint() {}
    TCanvas FCanvas;
};

// Where the toolkit routes every window: finds the object and calls its WindowProc inside the
// application's exception handler.
LRESULT CALLBACK FormsWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
// The control object of one of our windows, or null.
TWinControl* FindControl(HWND h);
