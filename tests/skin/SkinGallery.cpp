// A form with one of each skinned control kind in its states (normal, hot, focused, pressed,
// checked, disabled), saved as <build>/screenshots/skin-gallery.bmp for people to look at
// (scripts/screenshot-main turns it into a PNG).
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../forms/PixelSupport.h"
#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FlatSkinPaint.h"
#include "Forms.h"
#include "StdCtrls.h"

namespace {

struct Look {
    bool Hot = false, Focused = false, MouseDown = false, SpaceDown = false;
};

class TGallery {
public:
    TForm* Form = new TForm(nullptr);
    TFlatSkin* Skin = new TFlatSkin(Form);

    TGallery()
    {
        Form->SetBounds(0, 0, 660, 470);
        Form->SetCaption("Skin gallery");
    }
    ~TGallery() { Form->Free(); }

    template <class T> T* Add(TWinControl* parent, int left, int top, int width, int height, const char* caption = nullptr)
    {
        auto* c = new T(Form);
        c->SetParent(parent);
        c->SetBounds(left, top, width, height);
        if (caption) c->SetCaption(caption);
        return c;
    }
    TControlSubClass* Sub(TControl* c)
    {
        for (int i = 0; i < Skin->ComponentCount(); ++i)
            if (auto* s = dynamic_cast<TControlSubClass*>(Skin->Components(i)); s && s->Control == c) return s;
        return nullptr;
    }
    // Paints the control in a look that needs the mouse or the keyboard; painter draws it focused.
    void Show(TControl* c, Look l, void (*painter)(TControlSubClass&) = nullptr)
    {
        TControlSubClass* s = Sub(c);
        if (!s) return;
        s->Hot = l.Hot;
        s->MouseDown = l.MouseDown;
        s->SpaceDown = l.SpaceDown;
        s->LastMessage = WM_PAINT;
        if (painter) {
            s->Focused = l.Focused;
            painter(*s);
        } else {
            s->PaintSkinnedControl();
        }
    }
};

}  // namespace

TEST(SkinGallery, EveryControlKindInItsStates)
{
    TGallery g;
    TForm* f = g.Form;
    std::vector<std::pair<TControl*, Look>> looks;
    std::vector<std::tuple<TControl*, Look, void (*)(TControlSubClass&)>> focused;
    const Look hot{true}, pressed{true, false, true}, focus{false, true};

    // combo boxes: normal, hot, focused, disabled, mirrored
    for (int i = 0; i < 5; ++i) {
        auto* c = g.Add<TComboBox>(f, 10 + i * 125, 10, 115, 21);
        c->Items().Add("Пункт");
        c->SetItemIndex(0);
        if (i == 1) looks.push_back({c, hot});
        if (i == 2) focused.push_back({c, focus, PaintComboBox});
        if (i == 3) c->SetEnabled(false);
        if (i == 4) c->SetBiDiMode(bdRightToLeft);
    }
    // edits: normal, hot, focused, disabled, borderless hot
    for (int i = 0; i < 5; ++i) {
        auto* e = g.Add<TEdit>(f, 10 + i * 125, 42, 115, 21);
        e->SetText(i == 3 ? "Недоступно" : "Текст");
        if (i == 1) looks.push_back({e, hot});
        if (i == 2) focused.push_back({e, focus, PaintEdit});
        if (i == 3) e->SetEnabled(false);
        if (i == 4) {
            e->SetBorderStyle(bsNone);
            looks.push_back({e, hot});
        }
    }
    // check boxes: normal, hot, pressed, checked, grayed, disabled and checked
    const char* checks[] = {"Обычный", "Под мышью", "Нажат", "Отмечен", "Серый", "Недоступен"};
    for (int i = 0; i < 6; ++i) {
        auto* b = g.Add<TCheckBox>(f, 10 + i * 105, 74, 100, 17, checks[i]);
        if (i == 1) looks.push_back({b, hot});
        if (i == 2) looks.push_back({b, pressed});
        if (i == 3 || i == 5) b->SetChecked(true);
        if (i == 4) b->SetState(cbGrayed);
        if (i == 5) b->SetEnabled(false);
    }
    // radio buttons: normal, hot, checked, focused, disabled and checked
    const char* radios[] = {"Обычная", "Под мышью", "Выбрана", "С фокусом", "Недоступна"};
    for (int i = 0; i < 5; ++i) {
        auto* p = g.Add<TPanel>(f, 10 + i * 125, 98, 120, 20);  // each radio in its own group
        p->SetBevelOuter(bvNone);
        auto* r = g.Add<TRadioButton>(p, 0, 1, 118, 17, radios[i]);
        if (i == 1) looks.push_back({r, hot});
        if (i == 2 || i == 4) r->SetChecked(true);
        if (i == 3) focused.push_back({r, focus, PaintRadioButton});
        if (i == 4) r->SetEnabled(false);
    }
    // push buttons: normal, hot, pressed, focused, disabled, and Tag 1000 on a coloured panel
    const char* buttons[] = {"Обычная", "Под мышью", "Нажата", "С фокусом", "Недоступна"};
    for (int i = 0; i < 5; ++i) {
        auto* b = g.Add<TButton>(f, 10 + i * 105, 128, 95, 25, buttons[i]);
        if (i == 1) looks.push_back({b, hot});
        if (i == 2) looks.push_back({b, pressed});
        if (i == 3) focused.push_back({b, focus, PaintButton});
        if (i == 4) b->SetEnabled(false);
    }
    auto* tinted = g.Add<TPanel>(f, 535, 122, 115, 37);
    tinted->SetColor(0x90B0D0);
    auto* tb = g.Add<TButton>(tinted, 10, 6, 95, 25, "Tag 1000");
    tb->SetTag(1000);
    // bitmap buttons with a glyph: normal, hot, pressed, borderless (1001), caption at the left (1002)
    TBitmap glyph;
    glyph.SetSize(16, 16);
    FlatPaint::Fill(glyph.Canvas(), Rect(0, 0, 16, 16), 0xFF00FF);
    FlatPaint::Fill(glyph.Canvas(), Rect(3, 3, 13, 13), 0x2080E0);
    FlatPaint::Fill(glyph.Canvas(), Rect(6, 6, 10, 10), 0xFFFFFF);
    const char* bits[] = {"Обычная", "Под мышью", "Нажата", "1001", "1002"};
    for (int i = 0; i < 5; ++i) {
        auto* b = g.Add<TBitBtn>(f, 10 + i * 125, 166, 115, 28, bits[i]);
        b->SetGlyph(glyph);
        if (i == 1) looks.push_back({b, hot});
        if (i == 2) looks.push_back({b, pressed});
        if (i == 3) b->SetTag(1001);
        if (i == 4) b->SetTag(1002);
    }
    // speed buttons: normal, down, down under the mouse, flat, flat hot, disabled; an up-down
    TBitmap strip;
    strip.SetSize(64, 16);
    FlatPaint::Fill(strip.Canvas(), Rect(0, 0, 64, 16), 0xFF00FF);
    for (int i = 0; i < 4; ++i) FlatPaint::Fill(strip.Canvas(), Rect(16 * i + 3, 3, 16 * i + 13, 13), 0x208020 + i * 0x300000);
    TSpeedButton* flatHot = nullptr;
    for (int i = 0; i < 6; ++i) {
        auto* b = g.Add<TSpeedButton>(f, 10 + i * 40, 204, 34, 28);
        b->SetGlyph(strip);
        b->SetNumGlyphs(4);
        b->SetTransparent(false);
        b->SetGroupIndex(i + 1);
        b->SetAllowAllUp(true);
        if (i == 1 || i == 2) b->SetDown(true);
        if (i == 2) looks.push_back({b, hot});
        if (i == 3 || i == 4) b->SetFlat(true);
        if (i == 4) flatHot = b;
        if (i == 5) b->SetEnabled(false);
    }
    auto* ud = g.Add<TUpDown>(f, 250, 204, 17, 28);
    auto* udHot = g.Add<TUpDown>(f, 275, 204, 17, 28);
    looks.push_back({udHot, hot});
    // containers and bars: group box, panels, progress bar, hot key
    auto* gb = g.Add<TGroupBox>(f, 300, 200, 160, 60, "Группа");
    g.Add<TCheckBox>(gb, 10, 22, 120, 17, "Внутри группы");
    auto* raised = g.Add<TPanel>(f, 470, 204, 85, 28, "Панель");
    auto* lowered = g.Add<TPanel>(f, 565, 204, 85, 28, "Вдавлена");
    lowered->SetBevelOuter(bvLowered);
    auto* bar = g.Add<TProgressBar>(f, 10, 244, 280, 16);
    bar->SetPosition(60);
    auto* hk = g.Add<THotKey>(f, 470, 240, 180, 21);
    (void)ud;
    (void)raised;
    (void)hk;
    // lists: list box (hot), memo, rich edit, tree view, list view
    auto* lb = g.Add<TListBox>(f, 10, 272, 120, 90);
    for (const char* s : {"Первый", "Второй", "Третий"}) lb->Items().Add(s);
    looks.push_back({lb, hot});
    auto* memo = g.Add<TMemo>(f, 140, 272, 120, 90);
    memo->SetText("Многострочный\r\nтекст");
    auto* rich = g.Add<TRichEdit>(f, 272, 274, 116, 86);
    rich->SetText("Форматированный текст");
    auto* tree = g.Add<TTreeView>(f, 400, 272, 120, 90);
    TTreeNode* root = tree->Items().Add("Корень");
    tree->Items().AddChild(root, "Ветвь");
    auto* lv = g.Add<TListView>(f, 530, 272, 120, 90);
    (void)lv;
    auto* disabledList = g.Add<TListBox>(f, 10, 372, 120, 60);
    disabledList->Items().Add("Недоступен");
    disabledList->SetEnabled(false);

    g.Skin->SetActive(true);
    f->Show();
    for (int i = 0; i < 3; ++i) {
        Application->ProcessMessages();
        RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    Application->ProcessMessages();
    // the looks that need a mouse or a keyboard, drawn last so that nothing paints over them
    for (auto& [c, l] : looks) g.Show(c, l);
    for (auto& [c, l, painter] : focused) g.Show(c, l, painter);
    TPoint p = flatHot->ClientToScreen({10, 10});
    SetCursorPos(p.X, p.Y);
    g.Show(flatHot, hot);
    GdiFlush();

    TPixels shot = TPixels::Window(f->Handle(), false);
    std::string dir = std::string(TOVIK_BINARY_DIR) + "/screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    EXPECT_TRUE(shot.SaveBmp(dir + "/skin-gallery.bmp"));
    // every control was skinned: the flat combo frame shows the parent colour at its corner
    EXPECT_EQ(TPixels::Client(f->Handle(), false).At(10, 10), ColorToRGB(f->Color()));
}
