// Colours, fonts and the canvas, and the item list that tells its control of changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "../../testing/win/ImportPatch.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Graphics.h"
#include "StdCtrls.h"
#include "SysUtils.h"

TEST(Graphics, ColoursAndFonts)
{
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
    TFont f;
    int changes = 0;
    f.OnChange = [&] { ++changes; };
    f.SetSize(8);
    EXPECT_EQ(f.Size(), 8);
    EXPECT_LT(f.Height(), 0);
    f.SetStyle(fsBold);
    f.SetStyle(fsBold);
    EXPECT_EQ(changes, 1);  // a first SetSize(8) keeps the default height of 8 points
    LOGFONTW lf{};
    GetObjectW(f.Handle(), sizeof(lf), &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_STREQ(lf.lfFaceName, L"MS Sans Serif");
}

TEST(Graphics, CanvasMeasuresWrappedTextWithCarriageReturns)
{
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    TRect one(0, 0, 200, 0), two(0, 0, 200, 0);
    int h1 = c.DrawText("01.01.24 10:00:00", one, DT_CALCRECT | DT_WORDBREAK);
    int h2 = c.DrawText("01.01.24 10:00:00\r5", two, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(h1, 0);
    EXPECT_EQ(h2, 2 * h1);  // the carriage return starts a new line
    EXPECT_EQ(two.Height(), h2);
    EXPECT_GT(c.TextWidth("Считать"), c.TextWidth("С"));
    c.SetHandle(nullptr);
    DeleteDC(dc);
}

namespace {

// The handles the program's own code deletes while it lives.
class DeleteWatch {
public:
    DeleteWatch()
    {
        Current() = this;
        FDelete = tovik::testing::PatchImport("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&Delete));
    }
    ~DeleteWatch()
    {
        tovik::testing::PatchImport("gdi32.dll", "DeleteObject", FDelete);
        Current() = nullptr;
    }
    bool Hooked() const { return FDelete != nullptr; }
    std::vector<HGDIOBJ> Deleted;

private:
    static DeleteWatch*& Current()
    {
        static DeleteWatch* w = nullptr;
        return w;
    }
    static BOOL WINAPI Delete(HGDIOBJ h)
    {
        Current()->Deleted.push_back(h);
        return reinterpret_cast<BOOL(WINAPI*)(HGDIOBJ)>(Current()->FDelete)(h);
    }
    void* FDelete = nullptr;
};

bool IsStockObject(HGDIOBJ h)
{
    for (int i = WHITE_BRUSH; i <= DC_PEN; ++i)
        if (GetStockObject(i) == h) return true;
    return false;
}

// Enough new looks, each let go of at once, to push every idle object out of the store.
void PushOutIdleObjects(const DeleteWatch& watch)
{
    for (int i = 0; i < 200; ++i) {
        {
            TPen p;
            p.SetColor(RGB(3, 5, i));
            ASSERT_NE(p.Handle(), nullptr);
        }
        // (A stock object deleted means the store counted it; stop before more goes wrong.)
        if (std::any_of(watch.Deleted.begin(), watch.Deleted.end(), IsStockObject)) break;
    }
}

// The next brush the program's own code makes gets the handle given here instead: the system
// reusing the handle of an object that someone else deleted.
class ReuseForNextBrush {
public:
    explicit ReuseForNextBrush(HBRUSH h)
    {
        Reused() = h;
        Real() = tovik::testing::PatchImport("gdi32.dll", "CreateSolidBrush", reinterpret_cast<void*>(&Make));
    }
    ~ReuseForNextBrush() { tovik::testing::PatchImport("gdi32.dll", "CreateSolidBrush", Real()); }
    bool Hooked() const { return Real() != nullptr; }

private:
    static HBRUSH& Reused()
    {
        static HBRUSH h = nullptr;
        return h;
    }
    static void*& Real()
    {
        static void* f = nullptr;
        return f;
    }
    static HBRUSH WINAPI Make(COLORREF c)
    {
        if (HBRUSH h = std::exchange(Reused(), nullptr)) return h;
        return reinterpret_cast<HBRUSH(WINAPI*)(COLORREF)>(Real())(c);
    }
};

}  // namespace

// A clear pen is the system's stock null pen whatever its width and colour: two such looks get
// the same handle, which the store must neither count for one of them nor ever delete.
TEST(Graphics, ClearPensOfTwoLooksShareTheStockPenAndTheStoreLeavesItAlone)
{
    DeleteWatch watch;
    ASSERT_TRUE(watch.Hooked());
    {
        TBitmap thin, wide;
        const struct {
            TBitmap* b;
            int width;
            TColor color;
        } looks[] = {{&thin, 1, clBlack}, {&wide, 3, clRed}};
        for (const auto& l : looks) {
            l.b->SetSize(8, 8);
            TCanvas& c = l.b->Canvas();
            c.Pen().SetStyle(psClear);
            c.Pen().SetWidth(l.width);
            c.Pen().SetColor(l.color);
            c.MoveTo(0, 4);
            c.LineTo(8, 4);
            EXPECT_EQ(GetCurrentObject(c.Handle(), OBJ_PEN), GetStockObject(NULL_PEN));
            EXPECT_EQ(c.Pixels(4, 4), clWhite) << "a clear pen drew";
        }
    }
    // Both looks are let go of; enough new looks follow to push every idle object out of the store.
    PushOutIdleObjects(watch);
    EXPECT_FALSE(watch.Deleted.empty()) << "the store deleted nothing: the test saw nothing";
    EXPECT_FALSE(std::any_of(watch.Deleted.begin(), watch.Deleted.end(), IsStockObject))
        << "a stock object was deleted";
}

// A handle of the store deleted by someone else and then given to a new look by the system: the
// store takes the new object on without raising, and the holders of the dead one still count, so
// that the object goes once, after its last holder.
TEST(Graphics, HandleReusedAfterAnOutsideDeleteIsTakenOverAndDeletedOnce)
{
    DeleteWatch watch;
    ASSERT_TRUE(watch.Hooked());
    HBRUSH h = nullptr;
    {
        auto first = std::make_unique<TBrush>();
        first->SetColor(RGB(1, 2, 3));
        h = first->Handle();
        TBrush second;
        {
            ReuseForNextBrush reuse(h);
            ASSERT_TRUE(reuse.Hooked());
            second.SetColor(RGB(4, 5, 6));
            EXPECT_EQ(second.Handle(), h);
        }
        first.reset();
        PushOutIdleObjects(watch);
        EXPECT_EQ(std::count(watch.Deleted.begin(), watch.Deleted.end(), h), 0) << "deleted while still held";
    }
    PushOutIdleObjects(watch);
    EXPECT_EQ(std::count(watch.Deleted.begin(), watch.Deleted.end(), h), 1);
}

TEST(Strings, ChangesReachTheControlOnce)
{
    TStrings s;
    int notices = 0;
    s.OnChange = [&] { ++notices; };
    s.BeginUpdate();
    s.Add("a");
    s.Add("b");
    s.Insert(0, "z");
    s.EndUpdate();
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(s.Text(), "z\r\na\r\nb\r\n");
    EXPECT_EQ(s.IndexOf("A"), 1);
    s.Clear();
    s.Clear();  // nothing to clear: no notice
    EXPECT_EQ(notices, 2);
    EXPECT_THROW(s.Delete(0), Exception);
    s.SetText("x\ny\r\n");
    EXPECT_EQ(s.Count(), 2);
}

TEST(Colours, ChildrenOfAPanelTakeItsColour)
{
    auto* f = new TForm(nullptr);
    auto* p = new TPanel(f);
    p->SetParent(f);
    auto* c = new TCheckBox(f);
    c->SetParent(p);
    p->SetColor(clSilver);
    EXPECT_EQ(c->Color(), clSilver);
    c->Font().SetColor(clBlue);
    f->Show();
    HDC dc = GetDC(c->Handle());
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(p->Handle(), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(c->Handle())));
    LOGBRUSH lb{};
    GetObjectW(brush, sizeof(lb), &lb);
    EXPECT_EQ(lb.lbColor, RGB(192, 192, 192));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    ReleaseDC(c->Handle(), dc);
    f->Free();
}

TEST(Form, ClosingASecondFormHidesItOnly)
{
    TForm* main = nullptr;
    Application->CreateForm(main);
    TForm* other = nullptr;
    Application->CreateForm(other);
    EXPECT_EQ(Application->MainForm(), main);
    EXPECT_EQ(Screen->FormCount(), 2);
    other->Show();
    TCloseAction seen = caNone;
    other->OnClose = [&](TObject*, TCloseAction& a) { seen = a; };
    SendMessageW(other->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(seen, caHide);
    EXPECT_FALSE(other->Visible());
    EXPECT_FALSE(IsWindowVisible(other->Handle()));
    EXPECT_FALSE(Application->Terminated());
    other->Free();
    EXPECT_EQ(Screen->FormCount(), 1);
    Application->DestroyComponents();
    EXPECT_EQ(Screen->FormCount(), 0);
}
