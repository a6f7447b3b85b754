// The standard controls as the main window uses them, and the dialogs with their test hook.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"

namespace {
TForm* NewForm()
{
    auto* f = new TForm(nullptr);
    f->SetBounds(10, 10, 500, 400);
    return f;
}
}  // namespace

TEST(Form, ConstraintsBorderIconsAndCentredPlacement)
{
    auto* f = NewForm();
    f->SetBounds(0, 0, 750, 686);
    f->Constraints().SetMinWidth(750);
    f->Constraints().SetMaxWidth(750);
    f->Constraints().SetMinHeight(550);
    f->Constraints().SetMaxHeight(1024);
    f->SetBorderIcons(biSystemMenu | biMinimize);
    f->SetPosition(poDesktopCenter);
    f->SetWidth(900);
    EXPECT_EQ(f->Width(), 750);
    f->SetHeight(300);
    EXPECT_EQ(f->Height(), 550);
    f->SetHeight(686);
    f->Show();
    LONG style = GetWindowLongW(f->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT r;
    GetWindowRect(f->Handle(), &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 750) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 686) / 2);
    MINMAXINFO mm{};
    SendMessageW(f->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 750);
    EXPECT_EQ(mm.ptMaxTrackSize.x, 750);
    EXPECT_EQ(mm.ptMinTrackSize.y, 550);
    EXPECT_EQ(mm.ptMaxTrackSize.y, 1024);
    f->Free();
}

TEST(Edit, ChangeEventAndFontColour)
{
    auto* f = NewForm();
    auto* e = new TEdit(f);
    e->SetParent(f);
    int changes = 0;
    e->OnChange = [&](TObject* s) {
        EXPECT_EQ(s, e);
        ++changes;
        e->Font().SetColor(e->Text() == "12a" ? clRed : clBlack);
    };
    e->SetText("1");  // no window yet
    EXPECT_EQ(changes, 1);
    f->Show();
    e->SetText("12a");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(e->Font().Color(), clRed);
    // the colour reaches the window's drawing of its text
    HDC dc = GetDC(e->Handle());
    SendMessageW(f->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(e->Handle()));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    ReleaseDC(e->Handle(), dc);
    e->SetText("12a");  // same text: no change
    EXPECT_EQ(changes, 2);
    f->Free();
}

TEST(ComboBox, ItemsIndexAndTextWithAndWithoutWindow)
{
    auto* f = NewForm();
    auto* c = new TComboBox(f);
    c->SetParent(f);
    int changes = 0;
    c->OnChange = [&](TObject*) { ++changes; };
    for (const char* s : {"1200", "2400", "4800", "9600", "19200"}) c->Items().Add(s);
    c->SetItemIndex(4);
    EXPECT_EQ(c->Text(), "19200");
    f->Show();
    EXPECT_EQ(c->ItemIndex(), 4);
    EXPECT_EQ(c->Text(), "19200");
    EXPECT_EQ(SendMessageW(c->Handle(), CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(changes, 0);  // setting the index is no user change
    EXPECT_LT(c->Height(), 30);  // the closed box, not the window with its list
    // the user picks the second item
    SendMessageW(c->Handle(), CB_SETCURSEL, 1, 0);
    SendMessageW(f->Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(c->Handle()));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(c->Text(), "2400");
    // typed text that names no item selects none
    c->SetText("777");
    SendMessageW(f->Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(c->Handle()));
    EXPECT_EQ(c->ItemIndex(), -1);
    EXPECT_EQ(c->Text(), "777");
    c->Items().Clear();
    EXPECT_EQ(c->ItemIndex(), -1);
    EXPECT_EQ(SendMessageW(c->Handle(), CB_GETCOUNT, 0, 0), 0);

    auto* d = new TComboBox(f);
    d->SetStyle(csDropDownList);
    d->SetParent(f);
    d->Items().Add("Прибор А");
    d->Items().Add("Прибор Б");
    d->SetText("Прибор Б");
    EXPECT_EQ(d->ItemIndex(), 1);
    EXPECT_EQ(d->Text(), "Прибор Б");
    f->Free();
}

TEST(CheckBox, CheckedFiresClickAndClickToggles)
{
    auto* f = NewForm();
    auto* c = new TCheckBox(f);
    c->SetParent(f);
    c->SetCaption("Ограничение:");
    std::vector<bool> seen;
    c->OnClick = [&](TObject*) { seen.push_back(c->Checked()); };
    c->SetChecked(true);
    c->SetChecked(true);
    c->Click();
    f->Show();
    SendMessageW(c->Handle(), BM_CLICK, 0, 0);  // the user's click
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(SendMessageW(c->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    f->Free();
}

TEST(RadioGroup, ItemsColumnsAndIndex)
{
    auto* f = NewForm();
    auto* g = new TRadioGroup(f);
    g->SetParent(f);
    g->SetBounds(8, 32, 129, 33);
    g->SetCaption("Тип связи");
    g->SetColumns(2);
    g->Items().Add("232");
    g->Items().Add("485");
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };
    g->SetItemIndex(0);
    EXPECT_EQ(clicks, 1);
    f->Show();
    // two columns side by side
    EXPECT_EQ(g->Buttons(0)->Top(), g->Buttons(1)->Top());
    EXPECT_LT(g->Buttons(0)->Left(), g->Buttons(1)->Left());
    EXPECT_EQ(g->Buttons(1)->Caption(), "485");
    SendMessageW(g->Buttons(1)->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(g->ItemIndex(), 1);
    EXPECT_FALSE(g->Buttons(0)->Checked());
    EXPECT_EQ(clicks, 2);
    // new items: the index goes, the group can be given a new one
    g->Items().Clear();
    EXPECT_EQ(g->ItemIndex(), -1);
    g->Items().Add("Калибровочный журнал (100)");
    g->SetItemIndex(0);
    EXPECT_EQ(g->ItemIndex(), 0);
    EXPECT_TRUE(g->Buttons(0)->Checked());
    f->Free();
}

TEST(PageControl, ActivePageAndHiddenTabs)
{
    auto* f = NewForm();
    auto* pc = new TPageControl(f);
    pc->SetParent(f);
    pc->SetAlign(alClient);
    TTabSheet* s[3];
    const char* names[3] = {"Линейный список", "Группировка по типам", "Типы записей"};
    for (int i = 0; i < 3; ++i) {
        s[i] = new TTabSheet(f);
        s[i]->SetPageControl(pc);
        s[i]->SetCaption(names[i]);
    }
    EXPECT_EQ(pc->ActivePage(), s[0]);
    f->Show();
    EXPECT_EQ(TabCtrl_GetItemCount(pc->Handle()), 3);
    EXPECT_TRUE(IsWindowVisible(s[0]->Handle()));
    EXPECT_FALSE(IsWindowVisible(s[2]->Handle()));
    s[2]->SetTabVisible(false);
    EXPECT_EQ(TabCtrl_GetItemCount(pc->Handle()), 2);
    pc->SetActivePage(s[1]);
    s[1]->SetTabVisible(false);  // the active page's tab goes: another page takes over
    EXPECT_EQ(pc->ActivePage(), s[0]);
    s[2]->SetTabVisible(true);
    s[1]->SetTabVisible(true);
    EXPECT_EQ(s[2]->TabIndex(), 2);
    // the user picks the third tab
    int changes = 0;
    pc->OnChange = [&](TObject*) { ++changes; };
    TabCtrl_SetCurSel(pc->Handle(), 2);
    NMHDR n{pc->Handle(), 0, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(f->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    EXPECT_EQ(pc->ActivePage(), s[2]);
    EXPECT_EQ(changes, 1);
    // sheets fill the page area
    EXPECT_GT(s[2]->Width(), pc->Width() - 20);
    f->Free();
}

TEST(ProgressBar, PositionStaysInRange)
{
    auto* f = NewForm();
    auto* p = new TProgressBar(f);
    p->SetParent(f);
    p->SetSmooth(true);
    p->SetMax(10);
    p->SetPosition(3);
    f->Show();
    EXPECT_TRUE(GetWindowLongW(p->Handle(), GWL_STYLE) & PBS_SMOOTH);
    EXPECT_EQ(SendMessageW(p->Handle(), PBM_GETPOS, 0, 0), 3);
    p->StepBy(1);
    EXPECT_EQ(SendMessageW(p->Handle(), PBM_GETPOS, 0, 0), 4);
    p->SetPosition(50);
    EXPECT_EQ(p->Position(), 10);
    p->SetMax(0);
    EXPECT_EQ(p->Position(), 0);
    f->Free();
}

TEST(Dialogs, ScriptAnswersAndRecords)
{
    TDialogScript script;
    Application->SetTitle("Чтение журналов приборов");
    ShowMessage("Библиотека Ravelport.dll не найдена");
    script.Answer(IDNO);
    EXPECT_EQ(Application->MessageBox("Вопрос?", "Заголовок", MB_YESNO), IDNO);
    EXPECT_EQ(Application->MessageBox("Не выбран тип прибора.", "", MB_OK | MB_ICONINFORMATION), IDOK);
    ASSERT_EQ(script.Shown.size(), 3u);
    EXPECT_EQ(script.Shown[0].Kind, dkShowMessage);
    EXPECT_EQ(script.Shown[0].Caption, "Чтение журналов приборов");
    EXPECT_EQ(script.Shown[2].Flags, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(script.Texts()[1], "Вопрос?");

    TSaveDialog sd(nullptr);
    sd.SetFilter("Текстовый файл|*.txt|Excel|*.xls");
    sd.SetInitialDir("C:\\data");
    sd.SetFileName("Прибор");
    script.AnswerFile("C:\\data\\out", 2);
    ASSERT_TRUE(sd.Execute());
    EXPECT_EQ(sd.FileName(), "C:\\data\\out");
    EXPECT_EQ(sd.FilterIndex(), 2);
    EXPECT_EQ(script.Shown.back().Kind, dkSaveDialog);
    EXPECT_EQ(script.Shown.back().FileName, "Прибор");
    EXPECT_EQ(script.Shown.back().InitialDir, "C:\\data");
    EXPECT_EQ(script.Shown.back().Filter, "Текстовый файл|*.txt|Excel|*.xls");

    TOpenDialog od(nullptr);
    od.SetDefaultExt("jcfg");
    script.AnswerFile("C:\\a\\list");
    ASSERT_TRUE(od.Execute());
    EXPECT_EQ(od.FileName(), "C:\\a\\list.jcfg");
    EXPECT_FALSE(od.Execute());  // nothing queued: cancelled
    EXPECT_EQ(script.Shown.back().Kind, dkOpenDialog);
}

// A resize handler that throws while the label fits a new caption must not leave the label
// dropping its repaints from then on.
TEST(Label, RepaintsGoOnAfterAResizeHandlerThrew)
{
    auto* f = NewForm();
    auto* l = new TLabel(f);
    l->SetParent(f);
    l->SetCaption("a");
    f->Show();
    l->OnResize = [](TObject*) { throw Exception("resize refused"); };
    EXPECT_THROW(l->SetCaption("a longer caption"), Exception);
    l->OnResize = nullptr;
    ValidateRect(f->Handle(), nullptr);
    l->Invalidate();
    RECT r{};
    EXPECT_TRUE(GetUpdateRect(f->Handle(), &r, FALSE)) << "the repaint was dropped";
    f->Free();
}

TEST(Label, AutoSizeKeepsTheRightEdgeWhenRightAligned)
{
    auto* f = NewForm();
    auto* l = new TLabel(f);
    l->SetParent(f);
    l->SetAlignment(taRightJustify);
    l->SetCaption("Версия:");
    l->SetLeft(323);
    int right = l->Left() + l->Width();
    l->SetCaption("Версия: 1.2.3.4");
    EXPECT_EQ(l->Left() + l->Width(), right);
    EXPECT_LT(l->Left(), 323);
    EXPECT_GT(l->Height(), 0);
    f->Free();
}
