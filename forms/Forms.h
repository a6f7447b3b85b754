// Forms, the screen's form list and the application object with its message loop and its general
// handler of exceptions that escape event handlers.
#pragma once
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"

enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;  // or-ed TBorderIcon bits
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TMainMenu;

// A container whose content may be larger than its client area: forms, frames, scroll boxes.
// With AutoScroll it shows scroll bars for children beyond its client area and scrolls them.
class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(TComponent* AOwner) : TWinControl(AOwner) {}
    const char* ClassName() const override { return "TScrollingWinControl"; }
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool v);
    // How far the content is scrolled (pixels).
    TPoint ScrollPos() const { return FScrollPos; }
    void ScrollTo(int X, int Y);
    void WndProc(TMessage& Message) override;

protected:
    void UpdateScrollBars();
    bool FAutoScroll = true;
    TPoint FScrollPos{0, 0};
};

class TForm : public TScrollingWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;
    const char* ClassName() const override { return "TForm"; }

    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition v);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons v);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v);
    // The menu bar (not owned by this reference; the form usually owns the menu).
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* v);

    // Asks OnCloseQuery and OnClose; closing the main form ends the application.
    void Close();
    // The control that has (or gets, when the form is shown) the input focus.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* c);

    // Fires OnCreate: CreateForm calls it once the constructor has run.
    void AfterConstruction();
    // Fires OnDestroy while the derived form still exists: DestroyForm and the application call
    // it before deleting the form.
    void BeforeDestruction();
    // OnDestroy, then delete.
    void Free();

    void SetVisible(bool v) override;
    bool Showing() const override;
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // Called by a control of the form when it takes the focus: CM_EXIT / CM_ENTER and the
    // CM_FOCUSCHANGED notice to every control of the form.
    void FocusControlChanged(TWinControl* c);
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void PlaceOnScreen();

private:
    TPosition FPosition = poDesigned;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TWinControl* FActiveControl = nullptr;
    TMainMenu* FMenu = nullptr;
    bool FCreated = false;
    bool FDestroyed = false;
};

// The forms that exist, in creation order.
class TScreen {
public:
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TForm* Forms(int i) const { return FForms.at(static_cast<size_t>(i)); }
    int Width() const;
    int Height() const;

private:
    std::vector<TForm*> FForms;
    friend class TForm;
};
extern TScreen* Screen;

using TWindowHook = std::function<bool(TMessage& Message)>;
using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;
    const char* ClassName() const override { return "TApplication"; }

    // Initialises COM for this thread (apartment) and the common controls.
    void Initialize();
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& v);

    // Makes a form owned by the application (the first becomes MainForm), stores it in ref before
    // OnCreate runs, then fires OnCreate.
    template <class T> void CreateForm(T*& ref)
    {
        T* f = new T(this);
        ref = f;
        FormCreated(f);
    }
    TForm* MainForm() const { return FMainForm; }
    bool ShowMainForm() const { return FShowMainForm; }
    void SetShowMainForm(bool v) { FShowMainForm = v; }

    // Shows the main form and runs the message loop until Terminate (or closing the main form).
    void Run();
    // Runs every pending message and thread hand-over, then returns.
    void ProcessMessages();
    // Waits for one message (or hand-over) and runs it.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // The hidden application window (made on first use); WM_QUIT and thread wake-ups go here.
    HWND Handle();
    // Every message of the application window passes these first; true means handled.
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int id);

    // A modal system message box over the active form (cp1251 texts; MB_ flags; gives ID*).
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags = MB_OK);

    // The general handler: call it inside a catch block. Gives the exception to OnException
    // when set, otherwise shows its message in a message box; the program goes on.
    void HandleException(TObject* Sender);
    void ShowException(const std::exception& E);
    TExceptionEvent OnException;

    // Fires OnDestroy of every owned form and frees all owned components (done at the end of the
    // program; tests call it to end a start-up, after which Terminated is false again).
    void DestroyComponents();

    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Mouse tracking: the control under the cursor gets CM_MOUSEENTER, the one it left
    // CM_MOUSELEAVE.
    void SetMouseControl(TControl* c);
    TControl* MouseControl() const { return FMouseControl; }

private:
    void FormCreated(TForm* f);
    static LRESULT CALLBACK AppWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
    bool ProcessMessage(MSG& msg);

    std::string FTitle;
    TForm* FMainForm = nullptr;
    bool FShowMainForm = true;
    bool FTerminated = false;
    // Paint pacing of ProcessMessages inside long jobs (see there).
    DWORD FLastProcessCall = 0;
    DWORD FLastPaintPass = 0;
    int FQuickCalls = 0;
    bool FInitialized = false;
    HWND FHandle = nullptr;
    TControl* FMouseControl = nullptr;
    std::vector<std::pair<int, TWindowHook>> FHooks;
    int FNextHook = 1;
};
extern TApplication* Application;

// A scroll box: a bordered scrolling container placed on a form.
class TScrollBox : public TScrollingWinControl {
public:
    explicit TScrollBox(TComponent* AOwner);
    const char* ClassName() const override { return "TScrollBox"; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    TBorderStyle FBorderStyle = bsSingle;
};

// A frame: a set of controls built like a form, embedded in a form (or another frame) by giving
// it a parent. It has no window until it has a parent that has one.
class TCustomFrame : public TScrollingWinControl {
public:
    explicit TCustomFrame(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomFrame"; }

protected:
    void CreateParams(TCreateParams& Params) override;
};

class TFrame : public TCustomFrame {
public:
    explicit TFrame(TComponent* AOwner) : TCustomFrame(AOwner) {}
    const char* ClassName() const override { return "TFrame"; }
};
