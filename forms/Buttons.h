// Buttons with glyphs: the bitmap button (a windowed push button that draws its own face) and
// the window-less speed button with its groups.
#pragma once
#include "StdCtrls.h"

// Where the glyph sits beside the caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The glyph strip of a button: up to four cells side by side (up, disabled, clicked, down), the
// bottom-left pixel's colour showing through.
class TButtonGlyph {
public:
    TButtonGlyph();
    // Drawing on Glyph().Canvas() directly shows at the next paint; SetGlyph repaints at once.
    TBitmap& Glyph() { return FGlyph; }
    void SetGlyph(TBitmap& v);
    bool Empty() const { return FGlyph.Width() <= 0 || FGlyph.Height() <= 0; }
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int v);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout v) { FLayout = v; Changed(); }
    int Spacing() const { return FSpacing; }
    void SetSpacing(int v) { FSpacing = v; Changed(); }
    int Margin() const { return FMargin; }
    void SetMargin(int v) { FMargin = v; Changed(); }
    // Width of one cell (0 without a glyph).
    int CellWidth() const;
    // Places glyph and caption in Client: with Margin -1 the pair is centred, else the glyph
    // keeps Margin pixels from its edge; Spacing lies between them (none without a caption).
    void Arrange(const TRect& Client, int TextWidth, int TextHeight, TRect& GlyphRect, TRect& TextRect) const;
    // Draws cell (0-based, falls back to the first when the strip has fewer) at x, y.
    void DrawCell(HDC dc, int x, int y, int cell);
    std::function<void()> OnChange;

private:
    void Changed()
    {
        if (OnChange) OnChange();
    }
    TBitmap FGlyph;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    int FSpacing = 4;
    int FMargin = -1;
};

class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    const char* ClassName() const override { return "TBitBtn"; }
    TBitmap& Glyph() { return FGlyph.Glyph(); }
    void SetGlyph(TBitmap& v) { FGlyph.SetGlyph(v); }
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int v) { FGlyph.SetNumGlyphs(v); }
    TButtonLayout Layout() const { return FGlyph.Layout(); }
    void SetLayout(TButtonLayout v) { FGlyph.SetLayout(v); }
    int Spacing() const { return FGlyph.Spacing(); }
    void SetSpacing(int v) { FGlyph.SetSpacing(v); }
    int Margin() const { return FGlyph.Margin(); }
    void SetMargin(int v) { FGlyph.SetMargin(v); }
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    // Draws the face, glyph and caption (the window is owner-drawn).
    void DrawItem(const DRAWITEMSTRUCT& Item);

private:
    TButtonGlyph FGlyph;
};

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    const char* ClassName() const override { return "TSpeedButton"; }
    bool Flat() const { return FFlat; }
    void SetFlat(bool v);
    // Only a grouped button stays down; setting it down lets the others of its group up, and
    // without AllowAllUp a down button stays down until another of the group goes down.
    bool Down() const { return FDown; }
    void SetDown(bool v);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int v);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    TBitmap& Glyph() { return FGlyph.Glyph(); }
    void SetGlyph(TBitmap& v) { FGlyph.SetGlyph(v); }
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int v) { FGlyph.SetNumGlyphs(v); }
    TButtonLayout Layout() const { return FGlyph.Layout(); }
    void SetLayout(TButtonLayout v) { FGlyph.SetLayout(v); }
    int Spacing() const { return FGlyph.Spacing(); }
    void SetSpacing(int v) { FGlyph.SetSpacing(v); }
    int Margin() const { return FGlyph.Margin(); }
    void SetMargin(int v) { FGlyph.SetMargin(v); }
    // The mouse is over the button (a flat button shows its edge then).
    bool MouseInControl() const { return FMouseInControl; }
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;

private:
    void UpdateExclusive();
    TButtonGlyph FGlyph;
    bool FFlat = false;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FTransparent = true;
    bool FMouseInControl = false;
    bool FPressed = false;  // the left button went down on it and the mouse is still over it
};
