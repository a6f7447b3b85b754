// Colours, fonts, brushes, pens and the canvas that draws with them on a device context.
// Texts are cp1251 byte strings; the canvas converts them at the GDI call.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "Cp1251.h"

// An RGB value (0x00BBGGRR) or, with the top bit set, a system colour index (0x800000nn).
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clSysBase = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSysBase | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSysBase | COLOR_BACKGROUND;
constexpr TColor clWindow = clSysBase | COLOR_WINDOW;
constexpr TColor clWindowText = clSysBase | COLOR_WINDOWTEXT;
constexpr TColor clWindowFrame = clSysBase | COLOR_WINDOWFRAME;
constexpr TColor clBtnFace = clSysBase | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSysBase | COLOR_BTNSHADOW;
constexpr TColor clBtnText = clSysBase | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = clSysBase | COLOR_BTNHIGHLIGHT;
constexpr TColor clGrayText = clSysBase | COLOR_GRAYTEXT;
constexpr TColor clHighlight = clSysBase | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSysBase | COLOR_HIGHLIGHTTEXT;
constexpr TColor cl3DDkShadow = clSysBase | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSysBase | COLOR_3DLIGHT;
constexpr TColor clInfoBk = clSysBase | COLOR_INFOBK;
constexpr TColor clInactiveCaption = clSysBase | COLOR_INACTIVECAPTION;

// The RGB value of a colour (system colours resolved now).
COLORREF ColorToRGB(TColor c);


struct TPoint {
    int X = 0, Y = 0;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    TRect() = default;
    TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
    TRect(const RECT& r) : Left(r.left), Top(r.top), Right(r.right), Bottom(r.bottom) {}
    operator RECT() const { return RECT{Left, Top, Right, Bottom}; }
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};
inline TRect Rect(int l, int t, int r, int b) { return TRect(l, t, r, b); }
inline TRect Bounds(int l, int t, int w, int h) { return TRect(l, t, l + w, t + h); }

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // or-ed TFontStyle bits

// Base of the drawing tools: a change notice for the owner (control or canvas) and a lazily
// fetched GDI object that is let go whenever a property changes. The objects come from one store
// for the program, one per look, and are counted: Windows refuses to delete an object that a
// device context holds, so one is deleted only when no tool and no canvas holds it any more.
class TGraphicsObject {
public:
    virtual ~TGraphicsObject() = default;
    std::function<void()> OnChange;

protected:
    void Changed()
    {
        if (OnChange) OnChange();
    }
};

class TFont : public TGraphicsObject {
public:
    TFont() = default;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    ~TFont() override;
    void Assign(const TFont& f);

    const std::string& Name() const { return FName; }
    void SetName(const std::string& v);
    // Height in pixels (negative: character height, as the platform stores it); Size in points.
    int Height() const { return FHeight; }
    void SetHeight(int v);
    int Size() const;
    void SetSize(int points);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles v);
    int Charset() const { return FCharset; }
    void SetCharset(int v);

    HFONT Handle() const;

private:
    void Drop();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontStyles FStyle = 0;
    int FCharset = RUSSIAN_CHARSET;
    mutable HFONT FHandle = nullptr;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
public:
    TBrush() = default;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;
    ~TBrush() override;
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle v);
    HBRUSH Handle() const;  // null for bsClear

private:
    void Drop();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    mutable HBRUSH FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TGraphicsObject {
public:
    TPen() = default;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;
    ~TPen() override;
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    int Width() const { return FWidth; }
    void SetWidth(int v);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle v);
    HPEN Handle() const;

private:
    void Drop();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    mutable HPEN FHandle = nullptr;
};

class TBitmap;

// Draws on a device context that someone else owns (a paint cycle, a memory bitmap).
// The font, brush and pen are selected into the context on each drawing call.
class TCanvas {
public:
    TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    ~TCanvas();

    HDC Handle() const { return FHandle; }
    // Attaches a context (null detaches); the previously selected objects are put back.
    void SetHandle(HDC dc);

    TFont& Font() { return FFont; }
    TBrush& Brush() { return FBrush; }
    TPen& Pen() { return FPen; }

    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void Rectangle(const TRect& r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);
    // Text clipped to r, drawn at x, y; the brush fills r first unless it is bsClear.
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    // The system's DrawText on this canvas (DT_ flags); gives the text height, and with
    // DT_CALCRECT sets r to the measured rectangle.
    int DrawText(const std::string& text, TRect& r, UINT format);
    // One pixel (GetPixel / SetPixel); reading outside the surface gives CLR_INVALID.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor c);
    // Lines through the points with the pen (the last point left out, as LineTo does).
    void Polyline(const TPoint* points, int count);
    void Ellipse(const TRect& r);
    void RoundRect(const TRect& r, int cx, int cy);
    // The bitmap at x, y; a transparent bitmap leaves its transparent colour out.
    void Draw(int x, int y, TBitmap& b);

    // Puts the current font, brush and pen into the context (done by every call above).
    void RequireTools();

private:
    void Restore();
    void Select(HGDIOBJ obj, HGDIOBJ& selected, HGDIOBJ& old);
    HDC FHandle = nullptr;
    HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
    // What the canvas put into the context, held until something else is in its place.
    HGDIOBJ FSelFont = nullptr, FSelBrush = nullptr, FSelPen = nullptr;
    TFont FFont;
    TBrush FBrush;
    TPen FPen;
};

// A memory bitmap (32 bits a pixel) with a canvas always ready on it.
class TBitmap {
public:
    TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetWidth(int v) { SetSize(v, FHeight); }
    void SetHeight(int v) { SetSize(FWidth, v); }
    // Keeps the picture in the part that stays; new area is white.
    void SetSize(int w, int h);
    TCanvas& Canvas() { return FCanvas; }
    HBITMAP Handle() const { return FBitmap; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
    // A copy of the picture, its size and its transparency.
    void Assign(const TBitmap& b);

    // Drawn with its TransparentColor left out (TCanvas::Draw).
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { FTransparent = v; }
    // The colour left out: the bottom-left pixel unless one was set.
    TColor TransparentColor();
    void SetTransparentColor(TColor c) { FTransparentColor = c; }

private:
    bool FTransparent = false;
    TColor FTransparentColor = clDefault;
    HDC FDC = nullptr;
    HBITMAP FBitmap = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
    int FWidth = 0, FHeight = 0;
    TCanvas FCanvas;
};
