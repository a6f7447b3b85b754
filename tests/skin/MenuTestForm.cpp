// A test form with menus, a tool bar and a control bar, skinned by a TFlatSkin, that leaves
// pictures of itself for people to look at (scripts/screenshot-menus): the menu bar with an item
// selected, a popup menu with a sub-menu open with FlatMenu on and off, tool buttons hot,
// pressed, checked and disabled. Usage: MenuTestForm <folder for the .bmp files>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ExtCtrls.h"
#include "FlatSkin.h"
#include "Forms.h"
#include "ImgList.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "ToolWin.h"

namespace {

std::string gFolder = ".";
constexpr TColor kMask = 0xFF00FF;  // left out of the icons
int gFailures = 0;

// A screen rectangle as a 24-bit BMP.
bool SaveScreenRect(RECT r, const std::string& name)
{
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::string file = gFolder + "\\" + name + ".bmp";
    bool ok = false;
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
             std::fwrite(bits, size, 1, f) == 1;
        std::fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    std::printf("%s %s\n", ok ? "saved" : "could not save", file.c_str());
    if (!ok) ++gFailures;
    return ok;
}

void Settle(int ms)
{
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (GetTickCount() < end) {
        Application->ProcessMessages();
        Sleep(20);
    }
}

// Small pictures for the image list: a coloured shape on the mask colour.
void Icon(TImageList* list, TColor colour, int shape)
{
    TBitmap b;
    b.SetSize(16, 16);
    b.Canvas().Brush().SetColor(kMask);
    b.Canvas().FillRect(TRect(0, 0, 16, 16));
    b.Canvas().Brush().SetColor(colour);
    b.Canvas().Pen().SetColor(clBlack);
    if (shape == 0) b.Canvas().Rectangle(TRect(2, 2, 14, 14));
    if (shape == 1) b.Canvas().Ellipse(TRect(1, 1, 15, 15));
    if (shape == 2) b.Canvas().Rectangle(TRect(1, 5, 15, 11));
    list->AddMasked(b, kMask);
}

class TMenuTestForm : public TForm {
public:
    explicit TMenuTestForm(TComponent* AOwner) : TForm(AOwner)
    {
        SetCaption("Меню и панели");
        SetBounds(40, 40, 520, 300);
        Images = new TImageList(this);
        Icon(Images, 0x00C0FF, 0);
        Icon(Images, 0x3060E0, 1);
        Icon(Images, 0x40A040, 2);

        MainMenu1 = new TMainMenu(this);
        MainMenu1->SetImages(Images);
        TMenuItem* file = Add(MainMenu1->Items(), "&Файл");
        Add(file, "&Открыть...", ShortCut('O', ssCtrl), 0);
        Add(file, "&Сохранить", ShortCut('S', ssCtrl), 1);
        Add(file, "-");
        Add(file, "Выход")->SetDefault(true);
        TMenuItem* edit = Add(MainMenu1->Items(), "&Правка");
        Add(edit, "Вырезать", ShortCut('X', ssCtrl))->SetEnabled(false);
        Add(edit, "Копировать", ShortCut('C', ssCtrl), 2);
        Add(MainMenu1->Items(), "&Справка");
        SetMenu(MainMenu1);

        PopupMenu1 = new TPopupMenu(this);
        PopupMenu1->SetImages(Images);
        TMenuItem* view = Add(PopupMenu1->Items(), "Вид");
        TMenuItem* big = Add(view, "Крупно");
        big->SetRadioItem(true);
        big->SetChecked(true);
        Add(view, "Мелко")->SetRadioItem(true);
        Add(view, "Списком", 0, 2);
        Add(PopupMenu1->Items(), "Обновить", ShortCut(VK_F5, 0), 0);
        Add(PopupMenu1->Items(), "-");
        Add(PopupMenu1->Items(), "Строка состояния")->SetChecked(true);
        TMenuItem* checkedIcon = Add(PopupMenu1->Items(), "Панель", 0, 1);
        checkedIcon->SetChecked(true);
        Add(PopupMenu1->Items(), "Удалить", ShortCut(VK_DELETE, 0))->SetEnabled(false);
        Add(PopupMenu1->Items(), "-");
        Add(PopupMenu1->Items(), "Свойства", ShortCut(VK_RETURN, ssAlt));

        ToolBar1 = new TToolBar(this);
        ToolBar1->SetParent(this);
        ToolBar1->SetImages(Images);
        ToolBar1->SetShowCaptions(true);
        ToolBar1->SetList(true);
        ToolBar1->SetButtonWidth(70);
        ToolBar1->SetHeight(30);
        struct B {
            const char* caption;
            TToolButtonStyle style;
            int image;
        } buttons[] = {{"Обычная", tbsButton, 0}, {"Нажата", tbsButton, 1}, {"", tbsSeparator, -1},
                       {"Выбрана", tbsCheck, 2},  {"Список", tbsDropDown, 0}, {"", tbsDivider, -1},
                       {"Нельзя", tbsButton, 1}};
        for (const B& b : buttons) {
            auto* t = new TToolButton(this);
            t->SetParent(ToolBar1);
            t->SetStyle(b.style);
            t->SetCaption(b.caption);
            t->SetImageIndex(b.image);
            Buttons.push_back(t);
        }
        Buttons[2]->SetTag(1);
        Buttons[3]->SetDown(true);
        Buttons[4]->SetDropdownMenu(PopupMenu1);
        Buttons[6]->SetEnabled(false);

        ControlBar1 = new TControlBar(this);
        ControlBar1->SetParent(this);
        ControlBar1->SetTop(40);
        ControlBar1->SetHeight(34);
        auto* e = new TEdit(this);
        e->SetParent(ControlBar1);
        e->SetBounds(14, 6, 150, 22);
        e->SetText("Полоса 1");
        auto* p = new TPanel(this);
        p->SetParent(ControlBar1);
        p->SetBounds(190, 6, 120, 22);
        p->SetCaption("Полоса 2");

        FlatSkin1 = new TFlatSkin(this);
        FlatSkin1->BeginLoading();
        FlatSkin1->SetActive(true);
        FlatSkin1->EndLoading();
        HookUnhooked(MainMenu1->Items());
        HookUnhooked(PopupMenu1->Items());
        MainMenu1->SetOwnerDraw(true);
        PopupMenu1->SetOwnerDraw(true);
        if (!ToolBar1->OnCustomDrawButton)
            ToolBar1->OnCustomDrawButton = [this](TToolBar* s, TToolButton* b, UINT st, bool& d) {
                FlatSkin1->ToolBarCustomDrawButton(s, b, st, d);
            };
        if (!ControlBar1->OnBandPaint)
            ControlBar1->OnBandPaint = [this](TObject* s, TControl* c, TCanvas* cv, TRect& r, unsigned& o) {
                FlatSkin1->ControlBarBandPaint(s, c, cv, r, o);
            };
        ToolBar1->SetFlat(true);
    }

    TImageList* Images;
    TMainMenu* MainMenu1;
    TPopupMenu* PopupMenu1;
    TToolBar* ToolBar1;
    TControlBar* ControlBar1;
    TFlatSkin* FlatSkin1;
    std::vector<TToolButton*> Buttons;

private:
    TMenuItem* Add(TMenuItem* parent, const std::string& caption, TShortCut sc = 0, int image = -1)
    {
        auto* i = new TMenuItem(this);
        i->SetCaption(caption);
        i->SetShortCut(sc);
        i->SetImageIndex(image);
        parent->Add(i);
        return i;
    }
    // The skin's own walk puts its handlers on the items; where it has not, they go on here.
    void HookUnhooked(TMenuItem* item)
    {
        for (int k = 0; k < item->Count(); ++k) {
            TMenuItem* i = item->Items(k);
            if (!i->OnMeasureItem)
                i->OnMeasureItem = [this](TObject* s, TCanvas* c, int& w, int& h) { FlatSkin1->MeasureItem(s, c, w, h); };
            if (!i->OnDrawItem)
                i->OnDrawItem = [this](TObject* s, TCanvas* c, TRect r, bool sel) { FlatSkin1->DrawItem(s, c, r, sel); };
            HookUnhooked(i);
        }
    }
};

TMenuTestForm* gForm = nullptr;
int gStep = 0;
std::string gPopupName;

// Runs inside the popup menu's own loop: opens the sub-menu, takes the picture, closes.
void CALLBACK PopupStep(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    switch (gStep++) {
    case 0:
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        break;
    case 1:
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_RIGHT, 0);
        break;
    case 2:
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        break;
    case 3: {
        RECT all{100, 100, 560, 420};
        SaveScreenRect(all, gPopupName);
        KillTimer(nullptr, id);
        EndMenu();
        break;
    }
    default:
        KillTimer(nullptr, id);
        EndMenu();
        break;
    }
}

void PopupPicture(bool flat, const std::string& name)
{
    gForm->FlatSkin1->SetFlatMenu(flat);
    gStep = 0;
    gPopupName = name;
    SetTimer(nullptr, 0, 350, PopupStep);
    gForm->PopupMenu1->Popup(110, 110);
    Settle(300);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) gFolder = argv[1];
    CreateDirectoryA(gFolder.c_str(), nullptr);
    Application->Initialize();
    Application->CreateForm(gForm);
    gForm->Show();
    Settle(800);
    HWND h = gForm->Handle();

    // the tool buttons: hot, checked and disabled at once
    HWND tb = gForm->ToolBar1->Handle();
    SendMessageW(tb, TB_SETHOTITEM, 0, 0);
    // the menu bar with its second item selected
    HiliteMenuItem(h, gForm->MainMenu1->Handle(), 1, MF_BYPOSITION | MF_HILITE);
    Settle(500);
    RECT r;
    GetWindowRect(h, &r);
    SaveScreenRect(r, "menus-form");
    HiliteMenuItem(h, gForm->MainMenu1->Handle(), 1, MF_BYPOSITION | MF_UNHILITE);
    // a button being pressed (under the mouse)
    SendMessageW(tb, TB_SETHOTITEM, 1, 0);
    SendMessageW(tb, TB_PRESSBUTTON, 2, TRUE);
    Settle(300);
    GetWindowRect(tb, &r);
    SaveScreenRect(r, "menus-toolbar-pressed");
    SendMessageW(tb, TB_PRESSBUTTON, 2, FALSE);

    PopupPicture(true, "menus-popup-flat");
    PopupPicture(false, "menus-popup-plain");

    Application->DestroyComponents();
    return gFailures ? 1 : 0;
}
