// Draws one popup menu item and one tool button many times, as the skin does while a menu
// opens or a tool bar repaints, and prints the time per item. Run under a display.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "FlatSkin.h"
#include "FlatSkinMenus.h"
#include "Forms.h"
#include "ImgList.h"
#include "Menus.h"
#include "ToolWin.h"

namespace {
double Now()
{
    static LARGE_INTEGER f{};
    if (!f.QuadPart) QueryPerformanceFrequency(&f);
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

template <class F> double PerCall(int n, F f)
{
    f();  // warm: fonts, brushes
    double t0 = Now();
    for (int i = 0; i < n; ++i) f();
    return (Now() - t0) / n;
}
}  // namespace

int main()
{
    const int n = 2000;
    Application->Initialize();
    auto* form = new TForm(nullptr);
    form->SetBounds(0, 0, 400, 300);
    auto* images = new TImageList(form);
    TBitmap pic;
    pic.SetSize(16, 16);
    pic.Canvas().Brush().SetColor(0xFF00FF);
    pic.Canvas().FillRect(TRect(0, 0, 16, 16));
    pic.Canvas().Brush().SetColor(0x3060E0);
    pic.Canvas().Ellipse(TRect(1, 1, 15, 15));
    images->AddMasked(pic, 0xFF00FF);
    auto* skin = new TFlatSkin(form);
    skin->SetActive(true);
    auto* popup = new TPopupMenu(form);
    popup->SetImages(images);
    auto* item = new TMenuItem(form);
    item->SetCaption("Сохранить как...");
    item->SetShortCut(ShortCut('S', ssCtrl | ssShift));
    item->SetImageIndex(0);
    popup->Items()->Add(item);
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    bar->SetImages(images);
    bar->SetShowCaptions(true);
    bar->SetList(true);
    bar->SetButtonWidth(80);
    auto* button = new TToolButton(form);
    button->SetParent(bar);
    button->SetCaption("Открыть");
    button->SetImageIndex(0);
    form->Show();
    Application->ProcessMessages();

    TBitmap dest;
    dest.SetSize(300, 40);
    const TRect A(4, 0, 204, 23);
    struct Row {
        const char* what;
        double ms;
    } rows[] = {
        {"popup item", PerCall(n, [&] { DrawMenuItem(*skin, item, dest.Canvas(), false, A); })},
        {"popup item, selected", PerCall(n, [&] { DrawMenuItem(*skin, item, dest.Canvas(), true, A); })},
        {"popup item, gradient", PerCall(n, [&] {
             skin->SetGradient(true);
             DrawMenuItem(*skin, item, dest.Canvas(), false, A);
             skin->SetGradient(false);
         })},
        {"tool button", PerCall(n, [&] {
             bar->Canvas().SetHandle(dest.Canvas().Handle());
             bool def = true;
             skin->ToolBarCustomDrawButton(bar, button, 0, def);
             bar->Canvas().SetHandle(nullptr);
         })},
        {"tool button, hot", PerCall(n, [&] {
             bar->Canvas().SetHandle(dest.Canvas().Handle());
             bool def = true;
             skin->ToolBarCustomDrawButton(bar, button, CDIS_HOT, def);
             bar->Canvas().SetHandle(nullptr);
         })},
    };
    std::printf("MenusBench: %d draws each (target: under 0.2 ms a draw)\n", n);
    for (const Row& r : rows) std::printf("  %-22s %8.4f ms\n", r.what, r.ms);
    form->Free();
    return 0;
}
