// Tool buttons drawn completely by the skin, and the bands of control bars.
#include <cmath>

#include "FlatSkinMenus.h"
#include "ImgList.h"
#include "Menus.h"
#include "ToolWin.h"

namespace {

bool HasImage(TCustomImageList* list, int index)
{
    return list && index != -1 && index <= list->Count() - 1;
}

}  // namespace

void DrawHotFrame(TFlatSkin& Skin, TCanvas& ACanvas, TToolButton* Button, TRect B)
{
    TRect F(B.Left, B.Top + 1, B.Right - 1, B.Bottom - 1);
    auto frame = [&](TRect r) {
        ACanvas.MoveTo(r.Left, r.Top);
        ACanvas.LineTo(r.Right, r.Top);
        ACanvas.LineTo(r.Right, r.Bottom);
        ACanvas.LineTo(r.Left, r.Bottom);
        ACanvas.LineTo(r.Left, r.Top);
    };
    ACanvas.Pen().SetColor(Skin.SelectFrameColor);
    if (Button->Style() == tbsDropDown) {
        frame(TRect(F.Left, F.Top, F.Right - 13, F.Bottom));
        frame(TRect(F.Right - 13, F.Top, F.Right, F.Bottom));
    } else {
        frame(F);
    }
}

void TFlatSkin::ToolBarCustomDrawButton(TToolBar* Sender, TToolButton* Button, UINT State,
                                        bool& DefaultDraw)
{
    if (!Sender || !Button) return;
    const bool pressed = State & CDIS_SELECTED;
    const bool disabled = State & CDIS_DISABLED;
    const bool checked = State & CDIS_CHECKED;
    const bool hot = State & CDIS_HOT;
    const bool indeterminate = State & CDIS_INDETERMINATE;
    const int index = Button->ImageIndex();
    const bool hotImage = HasImage(Sender->HotImages(), index);
    const bool disabledImage = HasImage(Sender->DisabledImages(), index);
    const bool image = HasImage(Sender->Images(), index);
    const bool transparent = Sender->Transparent();
    const bool rtl = Button->BiDiMode() != bdLeftToRight;
    TCanvas& c = Sender->Canvas();
    if (ColorsDirty) ComputeDerivedColors(c);

    const TColor barColor = Sender->Color();
    const TColor hotColor = HighColor && !UseSystemColors() ? LightenColor(&c, SelectColor(), 68)
                                                              : SelectFillColor;
    const TColor background = HighColor ? LightenColor(&c, barColor, 16) : barColor;
    const TRect B = Button->BoundsRect();
    TRect R = B;

    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(background);
    if (!transparent) c.FillRect(R);

    bool fill = false, frame = false;
    if (hot) {
        c.Brush().SetColor(checked || Button->Down() || pressed ? PressedFillColor : hotColor);
        fill = frame = true;
    }
    if (checked && !hot) {
        c.Brush().SetColor(CheckedFillColor);
        fill = frame = true;
    }
    if (indeterminate && !hot) {
        c.Brush().SetColor(hotColor);
        fill = true;
    }
    if (Button->MenuItem() && State == 0) {
        c.Brush().SetColor(barColor);
        if (!transparent) fill = true;
    }
    R.Top += 1;
    if (fill) c.FillRect(R);
    if (frame) DrawHotFrame(*this, c, Button, B);
    if ((Button->MenuItem() || Button->DropdownMenu()) && pressed)
        DrawMenuBarSelection(*this, Button, c, false, barColor, R);
    R = B;
    DefaultDraw = false;

    if (Button->Style() == tbsDropDown) {
        c.Pen().SetColor(clBlack);
        DrawSubmenuArrow(c, R.Right - 10, R.Top + (R.Height() - 3) / 2 + 1);
    }

    TCustomImageList* list = nullptr;
    if (hot && hotImage)
        list = Sender->HotImages();
    else if (disabled && disabledImage)
        list = Sender->DisabledImages();
    else if (image)
        list = Sender->Images();
    int imageWidth = 0;
    if (list) {
        TBitmap& bmp = ImageListIcon(list, index);
        imageWidth = bmp.Width();
        if (Button->Style() == tbsDropDown) R.Right -= 12;
        if (Sender->List()) {
            if (rtl) {
                R.Right -= 3;
                R.Left = R.Right - imageWidth;
            } else {
                R.Left += 3;
                R.Right = R.Left + imageWidth;
            }
        } else {
            R.Left = static_cast<int>(std::nearbyint((R.Width() - imageWidth) / 2.0 + R.Left));
        }
        R.Top += 2;
        R.Bottom = R.Top + bmp.Height() + 6;
        DrawMenuItemIcon(*this, Button, c, false, false, checked, Button->Enabled(), pressed, hot, R,
                         &bmp);
    }
    R = B;

    if (Sender->ShowCaptions()) {
        UINT format;
        if (Button->Style() == tbsDropDown) R.Right -= 12;
        if (!Sender->List()) {
            format = DT_CENTER;
            R.Top = R.Bottom - c.TextHeight(Button->Caption()) - 6;
        } else {
            format = DT_VCENTER;
            if (rtl) {
                format |= DT_RIGHT;
                R.Right -= imageWidth + 7;
            } else if (imageWidth > 0) {
                R.Left += imageWidth + 6;
            }
        }
        if (Button->MenuItem()) format = DT_CENTER;
        if (rtl) format |= DT_RTLREADING;
        if (Button->Down() && !Button->Enabled()) R = TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
        R.Top += (R.Height() - c.TextHeight("W")) / 2;
        DrawMenuItemText(*this, Button, Button->Caption(), format, Font(), rtl,
                         Button->MenuItem() != nullptr, false, Button->Enabled(), pressed, R, c, "");
        R = B;
    }

    // the separator in front of the button is painted with it
    int i = Button->Index();
    if (i > 0) {
        TToolButton* prev = Sender->Buttons(i - 1);
        if (prev->Style() == tbsSeparator || prev->Style() == tbsDivider) {
            R = prev->BoundsRect();
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(background);
            if (!transparent) c.FillRect(R);
            if (prev->Tag() > 0) {
                R.Top += 2;
                R.Bottom -= 1;
                c.Pen().SetColor(ShadeColor(&c, barColor, 30));
                int x = R.Left + R.Width() / 2;
                c.MoveTo(x, R.Top);
                c.LineTo(x, R.Bottom);
            }
            R = B;
        }
    }
    DefaultDraw = false;
}

void TFlatSkin::ControlBarBandPaint(TObject* Sender, TControl*, TCanvas* ACanvas, TRect& ARect,
                                    unsigned& Options)
{
    auto* bar = dynamic_cast<TControl*>(Sender);
    if (!ACanvas) return;
    TCanvas& c = *ACanvas;
    if (ColorsDirty) ComputeDerivedColors(c);
    Options = 0;
    TColor barColor = bar ? bar->Color() : clBtnFace;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(HighColor ? LightenColor(&c, barColor, 6) : barColor);
    c.FillRect(ARect);
    // the grip: short lines on the even rows, each a step darker
    int n = 30;
    for (int y = ARect.Top + 5; y <= ARect.Bottom - 5; ++y) {
        c.Pen().SetColor(ShadeColor(&c, barColor, n));
        if (y % 2 == 0) {
            c.MoveTo(ARect.Left + 3, y);
            c.LineTo(ARect.Left + 6, y);
            n += 7;
        }
    }
}
