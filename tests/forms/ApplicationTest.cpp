// The application object: forms made and freed, the loop, thread hand-overs, and the general
// handler of exceptions that escape event handlers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "Thread.h"

namespace {
std::vector<std::string> gLog;

class TMainForm : public TForm {
public:
    explicit TMainForm(TComponent* AOwner) : TForm(AOwner)
    {
        Button = new TButton(this);
        Button->SetParent(this);
        Button->OnClick = [this](TObject*) {
            ++Clicks;
            throw EConvertError("'12a' is not a valid integer value");
        };
        OnCreate = [this](TObject*) { FormCreate(); };
        OnDestroy = [this](TObject*) { gLog.push_back("destroy " + Value); };
    }
    void FormCreate()
    {
        gLog.push_back("create");
        Value = "kept";
        if (StopAtCreate) Application->Terminate();
    }
    static inline bool StopAtCreate = false;
    TButton* Button;
    std::string Value;
    int Clicks = 0;
};
}  // namespace

TEST(Application, EscapedExceptionIsShownAndTheProgramGoesOn)
{
    TDialogScript script;
    Application->SetTitle("Чтение журналов приборов");
    TMainForm* f = nullptr;
    Application->CreateForm(f);
    f->Show();
    SendMessageW(f->Button->Handle(), BM_CLICK, 0, 0);
    SendMessageW(f->Button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(f->Clicks, 2);
    ASSERT_EQ(script.Shown.size(), 2u);
    EXPECT_EQ(script.Shown[0].Text, "'12a' is not a valid integer value");
    EXPECT_EQ(script.Shown[0].Caption, "Чтение журналов приборов");
    EXPECT_TRUE(script.Shown[0].Flags & MB_ICONSTOP);

    // an exception handler of the program's own takes the place of the box
    std::string seen;
    Application->OnException = [&](TObject* s, const std::exception& e) {
        EXPECT_EQ(s, f);  // the window whose message was running
        seen = e.what();
    };
    SendMessageW(f->Button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, "'12a' is not a valid integer value");
    EXPECT_EQ(script.Shown.size(), 2u);
    Application->OnException = nullptr;
    Application->DestroyComponents();
}

TEST(Application, ExceptionInOnCreateIsShown)
{
    TDialogScript script;
    struct TBad : TForm {
        explicit TBad(TComponent* o) : TForm(o)
        {
            OnCreate = [](TObject*) { throw Exception("Ошибка создания"); };
        }
    };
    TBad* f = nullptr;
    Application->CreateForm(f);
    EXPECT_EQ(Application->MainForm(), f);
    EXPECT_EQ(script.Texts(), std::vector<std::string>{"Ошибка создания"});
    Application->DestroyComponents();
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Application, TerminateInOnCreateEndsRunAtOnceAndDestroyStillRuns)
{
    gLog.clear();
    TMainForm::StopAtCreate = true;
    TMainForm* f = nullptr;
    Application->CreateForm(f);
    Application->Run();  // must not wait
    EXPECT_FALSE(f->Visible());
    Application->DestroyComponents();
    EXPECT_EQ(gLog, (std::vector<std::string>{"create", "destroy kept"}));
    EXPECT_FALSE(Application->Terminated());  // ready for the next start-up
    TMainForm::StopAtCreate = false;
}

TEST(Application, ClosingTheMainFormEndsTheLoop)
{
    gLog.clear();
    TMainForm* f = nullptr;
    Application->CreateForm(f);
    bool allow = false;
    f->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
    f->OnShow = [&](TObject*) {
        PostMessageW(f->Handle(), WM_CLOSE, 0, 0);  // refused
        PostMessageW(f->Handle(), WM_USER, 0, 0);
    };
    struct Hook {
        TMainForm* f;
        bool* allow;
    } h{f, &allow};
    // the second close is allowed: let the form's own message tell us
    TWndMethod old = f->WindowProc();
    struct TCloser {
        Hook* h;
        TWndMethod old;
        void Proc(TMessage& m)
        {
            if (m.Msg == WM_USER) {
                *h->allow = true;
                PostMessageW(h->f->Handle(), WM_CLOSE, 0, 0);
            }
            old(m);
        }
    } closer{&h, old};
    f->SetWindowProc(WndMethod<&TCloser::Proc>(&closer));
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(allow);
    f->SetWindowProc(old);
    Application->DestroyComponents();
}

// A form that the application object still owns at exit goes in that object's destructor, after
// the toolkit's other statics: its window must still reach the form then.
TEST(ApplicationDeathTest, FormStillOwnedAtExitGoesWithItsWindow)
{
    EXPECT_EXIT(
        {
            TForm* f = nullptr;
            Application->CreateForm(f);
            f->Show();
            struct TWatch {
                TWndMethod Old;
                void Proc(TMessage& m)
                {
                    if (m.Msg == WM_DESTROY) fputs("the form saw its window go\n", stderr);
                    Old(m);
                }
            };
            auto* watch = new TWatch{f->WindowProc()};  // lives on past every static
            f->SetWindowProc(WndMethod<&TWatch::Proc>(watch));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "the form saw its window go");
}

TEST(Application, ThreadHandOversRunInTheLoop)
{
    Application->Initialize();
    struct TWorker : TThread {
        // Started only once fully made: a running thread may call Execute at once.
        TWorker() : TThread(true) { Start(); }
        int Ran = 0;
        DWORD RanOn = 0;
        void Execute() override
        {
            for (int i = 0; i < 3; ++i)
                Synchronize([this] {
                    ++Ran;
                    RanOn = GetCurrentThreadId();
                });
        }
    } w;
    // each hand-over wakes the loop; the end of the thread does not, so wait for the work
    while (w.Ran < 3) Application->HandleMessage();
    EXPECT_EQ(w.Ran, 3);
    EXPECT_EQ(w.RanOn, GetCurrentThreadId());
    w.WaitFor();
}

namespace {
// Counts what reaches a control, in front of its window procedure.
struct TCounter {
    explicit TCounter(TControl* c) : FControl(c), FOld(c->WindowProc())
    {
        c->SetWindowProc(WndMethod<&TCounter::Proc>(this));
    }
    ~TCounter() { FControl->SetWindowProc(FOld); }
    void Proc(TMessage& m)
    {
        if (m.Msg == WM_PAINT) ++Paints;
        if (m.Msg == WM_APP + 7) ++Posted;
        FOld(m);
    }
    int Paints = 0, Posted = 0;
    TControl* FControl;
    TWndMethod FOld;
};
}  // namespace

TEST(Application, AJobCallingProcessMessagesPerItemStillGetsEveryMessageAndItsPaints)
{
    auto* f = new TForm(nullptr);
    f->SetBounds(10, 10, 300, 200);
    auto* b = new TButton(f);
    b->SetParent(f);
    f->Show();
    Application->ProcessMessages();
    TCounter count(b);
    // a long job: thousands of quick calls, each after a change that wants a repaint
    int posted = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) {
        InvalidateRect(b->Handle(), nullptr, TRUE);
        PostMessageW(b->Handle(), WM_APP + 7, 0, 0);
        ++posted;
        Application->ProcessMessages();
        // posted messages are never held back for long: each by the next call at the latest
        ASSERT_GE(count.Posted, posted - 1);
    }
    Application->ProcessMessages();
    EXPECT_EQ(count.Posted, posted);
    // paints are paced, not starved, and the last change is painted once the job ends
    EXPECT_GT(count.Paints, 0);
    InvalidateRect(b->Handle(), nullptr, TRUE);
    int before = count.Paints;
    Sleep(30);
    Application->ProcessMessages();
    EXPECT_EQ(count.Paints, before + 1);
    f->Free();
}
