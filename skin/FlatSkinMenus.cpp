// Owner-drawn menu items of a skinned form: measuring, off-screen drawing, check marks, the icon
// column, and the flat border with shadow of popup-menu windows.
#include "FlatSkinMenus.h"

#include <cmath>

#include "ImgList.h"
#include "Menus.h"
#include "SysUtils.h"

namespace {

// Round half to even, as the processor rounds by default.
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

// The image list that gives the item its icon, or null.
TCustomImageList* ItemImages(TMenuItem* Item)
{
    if (Item->ImageIndex() == -1) return nullptr;
    if (Item->Parent() && Item->Parent()->SubMenuImages()) return Item->Parent()->SubMenuImages();
    if (TMenu* m = Item->GetParentMenu(); m && m->Images()) return m->Images();
    return nullptr;
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2)
{
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

std::string Trimmed(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

bool IsBarItem(TMenuItem* Item)
{
    TMenu* m = Item->GetParentMenu();
    return m && dynamic_cast<TMainMenu*>(m) && Item->Parent() == m->Items();
}

SIZE GetItemImageSize(TFlatSkin& Skin, TMenuItem* Item, TMainMenu* BarMenu)
{
    SIZE s{0, 0};
    TCustomImageList* list = nullptr;
    if (BarMenu && BarMenu->Images() && Item->ImageIndex() != -1) list = BarMenu->Images();
    if (TCustomImageList* own = ItemImages(Item)) list = own;
    if (list) {
        s.cx = list->Width();
        s.cy = list->Height();
    } else if (Item->HasBitmap() && Item->Bitmap().Width() > 0) {
        s.cx = Item->Bitmap().Width();
        s.cy = Item->Bitmap().Height();
    }
    if (!BarMenu && s.cx < Skin.IconWidth()) s.cx = Skin.IconWidth();
    return s;
}

void MeasureMenuItem(TFlatSkin& Skin, TMenuItem* Item, TCanvas& ACanvas, int& Width, int& Height)
{
    if (!Skin.Active()) return;
    bool separator = Item->IsLine();
    std::string text = separator ? std::string() : Item->Caption();
    std::string sc = Trimmed(ShortCutToText(Item->ShortCut()));
    if (!sc.empty()) text += sc + "WWW";
    ACanvas.Font().Assign(Skin.Font());
    int w = ACanvas.TextWidth(text) + 5;
    if (text.find('&') != std::string::npos) w -= ACanvas.TextWidth("&");
    bool bar = IsBarItem(Item);
    if (!bar && Item->Count() > 0) w += 6;
    SIZE icon = GetItemImageSize(Skin, Item, bar ? static_cast<TMainMenu*>(Item->GetParentMenu()) : nullptr);
    w += icon.cx;
    Width = std::max(Width, w);
    if (separator) {
        Height = 4;
        return;
    }
    int th = ACanvas.TextHeight(text);
    int h = th + RoundEven(0.75 * th);
    if (icon.cy + 6 > h) h = icon.cy + 6;
    Height = std::max(Height, h);
}

void DrawCheckMarkBox(TFlatSkin& Skin, TMenuItem* Item, bool Selected, TRect Box, TCanvas& ACanvas,
                      bool HasIcon, bool Enabled)
{
    const int L = Box.Left, T = Box.Top, R = Box.Right, B = Box.Bottom;
    if (Enabled) {
        ACanvas.Pen().SetColor(!Item->RadioItem() && !HasIcon ? Skin.CheckMarkColor : Skin.SelectFrameColor);
        ACanvas.Brush().SetColor(Selected ? Skin.PressedFillColor : Skin.CheckedFillColor);
    } else {
        ACanvas.Pen().SetColor(Skin.DisabledTextColor);
    }
    ACanvas.Brush().SetStyle(bsSolid);
    if (!Item->Checked()) return;
    if (Item->RadioItem()) {
        if (HasIcon) {
            ACanvas.RoundRect(Box, 6, 6);
        } else {
            ACanvas.Ellipse(Box);
            TColor dot = ACanvas.Pen().Color();
            ACanvas.Brush().SetColor(dot);
            ACanvas.Ellipse(TRect(L + 2, T + 2, R - 2, B - 2));
        }
        return;
    }
    ACanvas.Rectangle(Box);
    if (HasIcon) return;
    ACanvas.Pen().SetColor(Enabled ? clBlack : Skin.DisabledTextColor);
    Line(ACanvas, L + 1, T + 5, L + 4, B - 2);
    Line(ACanvas, L + 2, T + 5, L + 4, B - 3);
    Line(ACanvas, L + 2, T + 4, L + 5, B - 3);
    Line(ACanvas, L + 4, B - 3, R + 2, T - 1);
    Line(ACanvas, L + 4, B - 2, R - 2, T + 3);
}

void FillIconColumnGradient(TFlatSkin& Skin, TCanvas& ACanvas, TRect R, bool RightToLeft)
{
    // columns straight into a memory picture when the canvas is on one with nothing in between
    // (no origin, no clipping): a brush per column costs more than all the rest of an item
    HDC dc = ACanvas.Handle();
    int stride = 0, w = 0, h = 0;
    uint32_t* bits = dc ? Pixels32(dc, stride, &w, &h) : nullptr;
    POINT vo{}, wo{};
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    if (bits && (!GetViewportOrgEx(dc, &vo) || !GetWindowOrgEx(dc, &wo) || vo.x || vo.y || wo.x || wo.y ||
                 GetClipRgn(dc, clip) != 0))
        bits = nullptr;
    DeleteObject(clip);
    if (bits) GdiFlush();
    ACanvas.Brush().SetStyle(bsSolid);
    int p = 0;
    int count = R.Width() + 1;
    for (int i = 0; i < count; ++i) {
        int x = RightToLeft ? R.Right - 1 - i : R.Left + i;
        bool steep = RightToLeft ? (R.Right - Skin.IconWidth() + 5 < x && x < R.Right)
                                 : (R.Left < x && x < R.Left + Skin.IconWidth() + 5);
        p = std::min(p + (steep ? 3 : 1), 96);
        TColor c = LightenColor(&ACanvas, Skin.IconColumnColor, p);
        if (!bits) {
            ACanvas.Brush().SetColor(c);
            ACanvas.FillRect(TRect(x, R.Top, x + 1, R.Bottom));
            continue;
        }
        if (x < 0 || x >= w) continue;
        COLORREF rgb = ColorToRGB(c);
        uint32_t v = (uint32_t(GetRValue(rgb)) << 16) | (uint32_t(GetGValue(rgb)) << 8) | GetBValue(rgb);
        for (int y = std::max(R.Top, 0); y < std::min(R.Bottom, h); ++y) bits[static_cast<ptrdiff_t>(y) * stride + x] = v;
    }
}

void DrawMenuItem(TFlatSkin& Skin, TMenuItem* Item, TCanvas& ACanvas, bool Selected, TRect A)
{
    TMenu* menu = Item->GetParentMenu();
    const bool rtl = menu && menu->IsRightToLeft();
    const bool separator = Item->IsLine();
    const bool bar = IsBarItem(Item);
    const int aw = A.Width(), ah = A.Height();

    TRect R(4, 0, aw + 4, ah);
    int destX = A.Left - 4;
    int bw = aw + 4;
    if (bar) {
        R.Left = 0;
        R.Right = aw;
        bw = aw;
        destX = A.Left;
        R.Bottom -= 1;
    }
    TBitmap& B = ItemScratch(bw, ah);
    TCanvas& c = B.Canvas();
    if (Skin.ColorsDirty) Skin.ComputeDerivedColors(c);
    c.Font().Assign(Skin.Font());
    R.Bottom += 1;
    std::string caption = " " + Item->Caption();

    // the icon, on a copy the filters may change
    TBitmap* icon = nullptr;
    if (TCustomImageList* list = ItemImages(Item)) {
        icon = &ImageListIcon(list, Item->ImageIndex());
    } else if (Item->HasBitmap() && Item->Bitmap().Width() > 0) {
        TBitmap& own = Item->Bitmap();
        icon = &IconScratch(own.Width(), own.Height());
        TBitmap& I = *icon;
        I.Canvas().Brush().SetColor(I.Canvas().Pixels(0, I.Height() - 1));
        I.Canvas().FillRect(TRect(0, 0, I.Width(), I.Height()));
        bool wasTransparent = own.Transparent();
        TColor wasColour = own.TransparentColor();
        own.SetTransparent(true);
        own.SetTransparentColor(own.Canvas().Pixels(0, own.Height() - 1));
        I.Canvas().Draw(0, 0, own);
        own.SetTransparent(wasTransparent);
        own.SetTransparentColor(wasColour);
    }
    const int iconWidth = icon ? icon->Width() : 0;
    const bool hasIcon = iconWidth > 0;

    TRect iconRect = rtl ? TRect(R.Right - Skin.IconWidth(), R.Top, R.Right, R.Bottom)
                         : TRect(R.Left, R.Top, R.Left + Skin.IconWidth(), R.Bottom);
    TRect check;
    if (hasIcon) {
        check = TRect(iconRect.Left + 1, iconRect.Top + 2, iconRect.Right - 3, iconRect.Bottom - 2);
    } else {
        check.Left = iconRect.Left + (iconRect.Width() - 10) / 2;
        check.Top = iconRect.Top + (iconRect.Height() - 10) / 2;
        check.Right = check.Left + 10;
        check.Bottom = check.Top + 10;
    }
    if (iconWidth > Skin.IconWidth()) {
        if (rtl)
            check.Left = check.Right - iconWidth;
        else
            check.Right = check.Left + iconWidth;
    }
    if (bar) check.Top -= 1;

    int left, right;
    const int side = bar ? 4 : Skin.IconWidth();
    if (rtl) {
        left = R.Left;
        right = R.Right - side;
        if (R.Right - iconWidth < right) right = R.Right - iconWidth - 8;
    } else {
        left = R.Left + side;
        if (R.Left + iconWidth > left) left = R.Left + iconWidth + 4;
        right = R.Right;
    }
    TRect textRect(left, R.Top, right, R.Bottom);
    TRect itemArea(R.Left - 4, R.Top, R.Right, R.Bottom);
    if (bar) {
        if (hasIcon) {
            if (rtl)
                textRect.Right += 5;
            else
                textRect.Left -= 5;
        } else {
            textRect = R;
        }
    }

    // background
    c.Brush().SetStyle(bsSolid);
    if (bar) {
        if (Skin.DrawMenuBar()) Skin.BarColor = Skin.MenuBarColor();
        c.Brush().SetColor(Skin.BarColor);
        c.Pen().SetColor(Skin.BarColor);
        c.FillRect(R);
    } else if (Skin.HighColor && Skin.Gradient()) {
        FillIconColumnGradient(Skin, c, TRect(R.Left, R.Top, R.Right + 2, R.Bottom), rtl);
    } else {
        c.Brush().SetColor(Skin.ItemBackColor);
        c.FillRect(itemArea);
        c.Brush().SetColor(Skin.IconColumnColor);
        c.FillRect(iconRect);
    }
    c.Font().SetColor(Item->Enabled() ? Skin.Font().Color() : Skin.DisabledColor());

    bool highlighted = false;
    if (Selected && Skin.DrawSelect()) {
        c.Brush().SetStyle(bsSolid);
        if (bar) {
            DrawMenuBarSelection(Skin, Item, c, rtl, Skin.MenuBarColor(), R);
        } else if (Item->Enabled()) {
            TRect s(R.Left, R.Top + 1, R.Right - (Skin.FlatMenu() ? 1 : 0), R.Bottom - 1);
            c.Brush().SetColor(Skin.SelectFillColor);
            c.FillRect(s);
            c.Pen().SetColor(Skin.SelectFrameColor);
            c.Brush().SetStyle(bsClear);
            c.Rectangle(s);
            c.Brush().SetStyle(bsSolid);
        }
        highlighted = true;
    } else if (Item->Enabled() && bar && Skin.IsWindowsNT) {
        // the hot look of a bar item while the mouse is over it
        auto* form = menu ? dynamic_cast<TControl*>(menu->Owner()) : nullptr;
        if (!form) form = Skin.OwnerForm;
        if (form && IsMouseOverCapturedControl(form, A)) {
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(Skin.SelectFillColor);
            c.Pen().SetColor(Skin.SelectFrameColor);
            c.Rectangle(TRect(R.Left, R.Top, R.Right - 7, R.Bottom));
            highlighted = true;
        }
    }

    if (Item->Checked() || Item->RadioItem())
        DrawCheckMarkBox(Skin, Item, Selected, check, c, hasIcon, Item->Enabled());
    if (hasIcon)
        DrawMenuItemIcon(Skin, Item, c, rtl, bar, Item->Checked(), Item->Enabled(), false,
                         Selected || highlighted, iconRect, icon);

    if (separator) {
        int x1 = rtl ? textRect.Left : textRect.Left + 7;
        int x2 = rtl ? textRect.Right - 7 : textRect.Right;
        int y = textRect.Top + RoundEven(textRect.Height() / 2.0);
        c.Pen().SetColor(Skin.SeparatorLineColor);
        Line(c, x1, y, x2, y);
    } else {
        UINT format;
        if (rtl) {
            format = DT_RIGHT | DT_RTLREADING;
            textRect.Right -= 3;
        } else {
            format = DT_LEFT;
            textRect.Left += 3;
        }
        textRect.Top += (textRect.Height() - c.TextHeight("W")) / 2;
        DrawMenuItemText(Skin, Item, caption, format, Skin.Font(), rtl, bar, Item->Default(),
                         Item->Enabled(), Selected, textRect, c, ShortCutToText(Item->ShortCut()));
    }

    BitBlt(ACanvas.Handle(), destX, A.Top, bw, ah, c.Handle(), 0, 0, SRCCOPY);

    // ask for the flat border of the popup window, once per menu
    if (!bar && Skin.FlatMenu() && !Skin.InState(csDesigning)) {
        HWND w = WindowFromDC(ACanvas.Handle());
        HWND app = Application->Handle();
        MSG waiting;
        auto pending = [&] {
            return PeekMessageW(&waiting, app, WM_SKIN_POPUPBORDER_ITEM, WM_SKIN_POPUPBORDER_WINDOW,
                                PM_NOREMOVE) != 0;
        };
        HWND ownerWindow = Skin.OwnerForm && Skin.OwnerForm->HandleAllocated() ? Skin.OwnerForm->Handle() : nullptr;
        if (!w) {
            if (app && !pending())
                PostMessageW(app, WM_SKIN_POPUPBORDER_ITEM, 0, reinterpret_cast<LPARAM>(Item));
        } else if (w != ownerWindow) {
            if (!pending())
                PostMessageW(app, WM_SKIN_POPUPBORDER_WINDOW, rtl ? 1 : 0, reinterpret_cast<LPARAM>(w));
        }
    }
}

// ---------------------------------------------------------------- the handlers

void TFlatSkin::MeasureItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)
{
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !ACanvas || !Active()) return;
    MeasureMenuItem(*this, item, *ACanvas, Width, Height);
}

void TFlatSkin::DrawItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)
{
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !ACanvas || !Active()) return;
    try {
        DrawMenuItem(*this, item, *ACanvas, Selected, ARect);
    } catch (...) {
        // the item keeps what was drawn so far
    }
}

// ---------------------------------------------------------------- popup border

namespace {

// Invalidates the window at a screen point when it is another flat popup (a parent menu that
// the closing one covered).
bool InvalidateFlatPopupAt(int x, int y)
{
    HWND w = WindowFromPoint(POINT{x, y});
    if (!w || reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)) != PopupMenuWndProc)
        return false;
    InvalidateRect(w, nullptr, FALSE);
    return true;
}

}  // namespace

LRESULT CALLBACK PopupMenuWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (Msg == WM_ERASEBKGND) return 1;
    if ((Msg == WM_SHOWWINDOW && WParam == 0) || Msg == WM_CLOSE || Msg == WM_DESTROY) {
        SetWindowRgn(Wnd, nullptr, FALSE);
        if (old) {
            SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
        }
        LRESULT r = old ? CallWindowProcW(old, Wnd, Msg, WParam, LParam)
                        : DefWindowProcW(Wnd, Msg, WParam, LParam);
        RECT wr;
        if (GetWindowRect(Wnd, &wr) && !InvalidateFlatPopupAt(wr.right + 2, wr.top + 2))
            InvalidateFlatPopupAt(wr.right + 2, wr.bottom - 2);
        return r;
    }
    return old ? CallWindowProcW(old, Wnd, Msg, WParam, LParam) : DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void TFlatSkin::DrawPopupBorder(HWND Wnd, bool RightToLeft)
{
    if (!Wnd || PopupBorderBusy) return;
    HDC dc = GetWindowDC(Wnd);
    if (!dc) return;
    PopupBorderBusy = true;
    TCanvas c;
    struct Release {
        HWND w;
        HDC dc;
        TCanvas& c;
        bool& busy;
        ~Release()
        {
            c.SetHandle(nullptr);
            ReleaseDC(w, dc);
            busy = false;
        }
    } release{Wnd, dc, c, PopupBorderBusy};
    c.SetHandle(dc);

    RECT wr;
    GetWindowRect(Wnd, &wr);
    TRect W(0, 0, wr.right - wr.left, wr.bottom - wr.top);
    const int width = W.Right, height = W.Bottom;

    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC)) != PopupMenuWndProc) {
        SetWindowLongPtrW(Wnd, GWLP_USERDATA, GetWindowLongPtrW(Wnd, GWLP_WNDPROC));
        SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PopupMenuWndProc));
    }

    if (!IsWindowsXP) {
        HRGN current = CreateRectRgn(0, 0, 0, 0);
        int kind = GetWindowRgn(Wnd, current);
        RECT box{};
        if (kind != ERROR && kind != NULLREGION) GetRgnBox(current, &box);
        DeleteObject(current);
        if (kind == ERROR || kind == NULLREGION || std::abs(box.right - W.Right) > 5 ||
            std::abs(box.bottom - W.Bottom) > 5) {
            HRGN a = CreateRectRgn(0, 0, width - 2, height - 2);
            HRGN b = CreateRectRgn(2, 2, width, height);
            HRGN shape = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(shape, a, b, RGN_OR);
            DeleteObject(a);
            DeleteObject(b);
            // the window owns the region from here on
            if (!SetWindowRgn(Wnd, shape, TRUE)) DeleteObject(shape);
        }
        W.Right -= 2;
        W.Bottom -= 2;
    }

    c.Brush().SetStyle(bsClear);
    c.Pen().SetColor(PopupBorderColor);
    c.Rectangle(W);
    c.Pen().SetColor(IconColumnColor);
    if (RightToLeft) {
        Line(c, W.Right - 3, 2, W.Right - 2, W.Bottom - 1);
    } else {
        c.Rectangle(TRect(1, 2, 3, W.Bottom - 1));
    }
    // the top inner border takes the look of the first item row
    StretchBlt(dc, 1, 1, W.Right - 1, 2, dc, 1, 3, W.Right - 1, 1, SRCCOPY);
    if (IsWindowsXP) {
        StretchBlt(dc, 1, W.Bottom - 3, W.Right - 1, 2, dc, 1, 3, W.Right - 1, 1, SRCCOPY);
        c.Pen().SetColor(ItemBackColor);
        c.Rectangle(TRect(W.Right - 3, 1, W.Right - 1, W.Bottom - 1));
    }
    W.Right += 2;
    W.Bottom += 2;
    if (!IsWindowsXP) {
        c.Pen().SetColor(PopupShadowColor);
        c.Rectangle(TRect(2, W.Bottom - 2, W.Right, W.Bottom));
        c.Rectangle(TRect(W.Right - 2, 2, W.Right, W.Bottom));
    }
}
