// The painters that draw a skinned control flat over what the control drew itself. Each takes
// the control's subclass object (its state flags and its skin's derived colours) and keeps
// nothing between calls; which control reaches which painter is the dispatch table of
// TControlSubClass::PaintSkinnedControl.
#pragma once
#include <windows.h>

#include "FlatSkin.h"

void PaintComboBox(TControlSubClass& Sub);
void PaintLookupComboBox(TControlSubClass& Sub);
void PaintEdit(TControlSubClass& Sub);
void PaintRichEdit(TControlSubClass& Sub);
void PaintListFrame(TControlSubClass& Sub);
void PaintProgressBar(TControlSubClass& Sub);
void PaintHotKey(TControlSubClass& Sub);
void PaintCheckBox(TControlSubClass& Sub);
void PaintRadioButton(TControlSubClass& Sub);
void PaintUpDown(TControlSubClass& Sub);
// One half of an up-down control: Direction 0 up, 1 down.
void PaintUpDownButton(TControlSubClass& Sub, TCanvas& Canvas, const TRect& R, int Direction, bool Hot);
void PaintGroupBox(TControlSubClass& Sub);
void PaintPanel(TControlSubClass& Sub);
void PaintButton(TControlSubClass& Sub);
void PaintBitBtn(TControlSubClass& Sub);
void PaintSpeedButton(TControlSubClass& Sub);

namespace FlatPaint {

// A canvas on a control for the length of one painter. Client: the client area of a windowed
// control, or a window-less control's rectangle on its parent (origin and clip moved there).
// Window: the whole window, border included (GetWindowDC). The context goes back in every case.
class TSurface {
public:
    enum TKind { Client, Window };
    TSurface(TControl& Control, TKind Kind);
    // The parent's client area (frames drawn just outside a control).
    explicit TSurface(TWinControl& Parent);
    ~TSurface();
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;
    TCanvas& Canvas() { return FCanvas; }
    HDC Handle() const { return FDC; }
    // Draws only within Region (client coordinates) from now on.
    void ClipTo(HRGN Region);

private:
    HWND FWnd = nullptr;
    HDC FDC = nullptr;
    int FSaved = 0;
    TCanvas FCanvas;
};

// The colour of the parent's background (the control's own colour when it has no parent).
TColor ParentColor(const TControl& Control);
// The control is laid out right to left (mirrored).
bool Mirrored(const TControl& Control);
// The system runs a right-to-left locale and the control reads right to left.
bool RightToLeftReading(const TControl& Control);
// GetSystemMetrics(SM_CXHTHUMB): drop-down button width, check box and radio glyph size.
int ThumbSize();

// Drawing operations in the platform's rectangle rules (right and bottom edges excluded).
void Frame(TCanvas& C, const TRect& R, TColor Colour);
void Fill(TCanvas& C, const TRect& R, TColor Colour);
// Outline with a pen and a clear brush.
void Outline(TCanvas& C, const TRect& R, TColor Pen);
void Line(TCanvas& C, int X1, int Y1, int X2, int Y2, TColor Pen);
// Top and left lines in TopLeft, right and bottom ones in BottomRight, Width times inwards;
// R shrinks by Width on every side.
void SingleColourFrame(TCanvas& C, TRect& R, TColor TopLeft, TColor BottomRight, int Width);
TRect Inflate(TRect R, int Dx, int Dy);

}  // namespace FlatPaint
