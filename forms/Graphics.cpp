#include "Graphics.h"

#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <unordered_map>

COLORREF ColorToRGB(TColor c)
{
    if (c & clSysBase) return GetSysColor(c & 0xFF);
    return static_cast<COLORREF>(c) & 0xFFFFFF;
}

// ---- the store of pens, brushes and fonts

namespace {

// One GDI object per look (kind, colour, width, face ...), shared by every tool that asks for
// that look and counted by its holders: the tools that use it and the canvases that have it
// selected. An object nobody holds waits among the idle ones, so that the next paint in the same
// colours makes nothing new; only the longest idle beyond a bound is deleted, and since nothing
// holds it then, no context has it selected.
class TToolStore {
public:
    template <class Make> HGDIOBJ Acquire(const std::string& key, Make make)
    {
        std::lock_guard<std::mutex> lock(FLock);
        auto it = FByKey.find(key);
        if (it == FByKey.end()) {
            HGDIOBJ h = make();
            if (!h) return nullptr;
            // Windows answers some looks with a stock object (a clear pen, whatever its width and
            // colour), the same one for every such look; it is the system's, never counted or
            // deleted here.
            if (IsStock(h)) return h;
            int refs = 0;
            auto same = FByHandle.find(h);
            if (same != FByHandle.end()) {
                // Someone else deleted an object of the store and the system gave its handle to
                // this one. The dead look is forgotten; its holders still let go of the handle
                // once each, so their counts go over to the new object.
                TEntry& dead = *same->second;
                refs = dead.Refs;
                if (dead.Idle != FIdle.end()) FIdle.erase(dead.Idle);
                FByHandle.erase(same);
                const std::string deadKey = dead.Key;
                FByKey.erase(deadKey);
            }
            it = FByKey.emplace(key, TEntry{h, refs, key, FIdle.end()}).first;
            FByHandle.emplace(h, &it->second);
        }
        TEntry& e = it->second;
        Hold(e);
        return e.Handle;
    }
    // Another holder of an object of the store (objects from elsewhere are left alone).
    void AddRef(HGDIOBJ h)
    {
        std::lock_guard<std::mutex> lock(FLock);
        auto it = FByHandle.find(h);
        if (it != FByHandle.end()) Hold(*it->second);
    }
    void Release(HGDIOBJ h)
    {
        std::lock_guard<std::mutex> lock(FLock);
        auto it = FByHandle.find(h);
        if (it == FByHandle.end()) return;
        TEntry& e = *it->second;
        if (--e.Refs > 0) return;
        e.Idle = FIdle.insert(FIdle.end(), &e);
        while (FIdle.size() > kIdleKept) {
            TEntry* old = FIdle.front();
            FIdle.pop_front();
            DeleteObject(old->Handle);
            FByHandle.erase(old->Handle);
            FByKey.erase(old->Key);
        }
    }

private:
    struct TEntry {
        HGDIOBJ Handle;
        int Refs;
        std::string Key;
        std::list<TEntry*>::iterator Idle;  // FIdle.end() while held
    };
    static bool IsStock(HGDIOBJ h)
    {
        for (int i = WHITE_BRUSH; i <= DC_PEN; ++i)
            if (GetStockObject(i) == h) return true;
        return false;
    }
    void Hold(TEntry& e)
    {
        if (e.Refs++ == 0 && e.Idle != FIdle.end()) {
            FIdle.erase(e.Idle);
            e.Idle = FIdle.end();
        }
    }
    // Enough for the colours and faces of a skinned window and its grids.
    static constexpr size_t kIdleKept = 64;
    std::mutex FLock;
    std::unordered_map<std::string, TEntry> FByKey;
    std::unordered_map<HGDIOBJ, TEntry*> FByHandle;
    std::list<TEntry*> FIdle;  // the longest idle first
};

// Never destroyed: tools that live in static objects let go of their objects at exit.
TToolStore& Store()
{
    static TToolStore* store = new TToolStore;
    return *store;
}

template <class T> void AppendBytes(std::string& key, const T& v)
{
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

// ---- TFont

TFont::~TFont() { Drop(); }

void TFont::Drop()
{
    if (FHandle) Store().Release(FHandle);
    FHandle = nullptr;
}

void TFont::Assign(const TFont& f)
{
    if (&f == this) return;
    bool sameFace = FName == f.FName && FHeight == f.FHeight && FStyle == f.FStyle && FCharset == f.FCharset;
    if (sameFace && FColor == f.FColor) return;
    FColor = f.FColor;
    if (!sameFace) {
        // a new GDI font only when the face changes: grids assign the font for every cell
        FName = f.FName;
        FHeight = f.FHeight;
        FStyle = f.FStyle;
        FCharset = f.FCharset;
        Drop();
    }
    Changed();
}

void TFont::SetName(const std::string& v)
{
    if (v == FName) return;
    FName = v;
    Drop();
    Changed();
}

void TFont::SetHeight(int v)
{
    if (v == FHeight) return;
    FHeight = v;
    Drop();
    Changed();
}

static int ScreenPPI()
{
    HDC dc = GetDC(nullptr);
    int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : 96;
}

int TFont::Size() const { return MulDiv(-FHeight, 72, ScreenPPI()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPPI(), 72)); }

void TFont::SetColor(TColor v)
{
    if (v == FColor) return;
    FColor = v;
    Changed();
}

void TFont::SetStyle(TFontStyles v)
{
    if (v == FStyle) return;
    FStyle = v;
    Drop();
    Changed();
}

void TFont::SetCharset(int v)
{
    if (v == FCharset) return;
    FCharset = v;
    Drop();
    Changed();
}

HFONT TFont::Handle() const
{
    if (!FHandle) {
        LOGFONTW lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) != 0;
        lf.lfUnderline = (FStyle & fsUnderline) != 0;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
        lf.lfCharSet = static_cast<BYTE>(FCharset);
        lf.lfQuality = DEFAULT_QUALITY;
        std::wstring n = ToWide(FName);
        wcsncpy(lf.lfFaceName, n.c_str(), LF_FACESIZE - 1);
        std::string key = "F";
        AppendBytes(key, lf.lfHeight);
        AppendBytes(key, lf.lfWeight);
        key += static_cast<char>(lf.lfItalic | lf.lfUnderline << 1 | lf.lfStrikeOut << 2);
        key += static_cast<char>(lf.lfCharSet);
        key.append(reinterpret_cast<const char*>(lf.lfFaceName), wcslen(lf.lfFaceName) * sizeof(wchar_t));
        FHandle = static_cast<HFONT>(Store().Acquire(key, [&] { return CreateFontIndirectW(&lf); }));
    }
    return FHandle;
}

// ---- TBrush

TBrush::~TBrush() { Drop(); }

void TBrush::Drop()
{
    if (FHandle) Store().Release(FHandle);
    FHandle = nullptr;
}

void TBrush::SetColor(TColor v)
{
    if (v == FColor && FStyle == bsSolid) return;
    FColor = v;
    FStyle = bsSolid;  // as the platform: giving a colour makes the brush solid
    Drop();
    Changed();
}

void TBrush::SetStyle(TBrushStyle v)
{
    if (v == FStyle) return;
    FStyle = v;
    Drop();
    Changed();
}

HBRUSH TBrush::Handle() const
{
    if (FStyle == bsClear) return nullptr;
    if (!FHandle) {
        COLORREF rgb = ColorToRGB(FColor);
        std::string key = "B";
        AppendBytes(key, rgb);
        FHandle = static_cast<HBRUSH>(Store().Acquire(key, [&] { return CreateSolidBrush(rgb); }));
    }
    return FHandle;
}

// ---- TPen

TPen::~TPen() { Drop(); }

void TPen::Drop()
{
    if (FHandle) Store().Release(FHandle);
    FHandle = nullptr;
}

void TPen::SetColor(TColor v)
{
    if (v == FColor) return;
    FColor = v;
    Drop();
    Changed();
}

void TPen::SetWidth(int v)
{
    if (v == FWidth) return;
    FWidth = v;
    Drop();
    Changed();
}

void TPen::SetStyle(TPenStyle v)
{
    if (v == FStyle) return;
    FStyle = v;
    Drop();
    Changed();
}

HPEN TPen::Handle() const
{
    if (!FHandle) {
        int st = FStyle == psDash ? PS_DASH : FStyle == psDot ? PS_DOT : FStyle == psClear ? PS_NULL : PS_SOLID;
        COLORREF rgb = ColorToRGB(FColor);
        std::string key = "P";
        AppendBytes(key, st);
        AppendBytes(key, FWidth);
        AppendBytes(key, rgb);
        FHandle = static_cast<HPEN>(Store().Acquire(key, [&] { return CreatePen(st, FWidth, rgb); }));
    }
    return FHandle;
}

// ---- TCanvas

TCanvas::~TCanvas() { Restore(); }

void TCanvas::Restore()
{
    if (!FHandle) return;
    // the context's own objects go back in first; only then are ours free to go
    if (FOldFont) SelectObject(FHandle, FOldFont);
    if (FOldBrush) SelectObject(FHandle, FOldBrush);
    if (FOldPen) SelectObject(FHandle, FOldPen);
    FOldFont = FOldBrush = FOldPen = nullptr;
    for (HGDIOBJ* h : {&FSelFont, &FSelBrush, &FSelPen}) {
        if (*h) Store().Release(*h);
        *h = nullptr;
    }
}

void TCanvas::Select(HGDIOBJ obj, HGDIOBJ& selected, HGDIOBJ& old)
{
    HGDIOBJ o = SelectObject(FHandle, obj);
    if (!old) old = o;
    if (obj == selected) return;
    // held while the context has it: a tool that changes meanwhile lets go of it, not deletes it
    Store().AddRef(obj);
    if (selected) Store().Release(selected);
    selected = obj;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == FHandle) return;
    Restore();
    FHandle = dc;
}

void TCanvas::RequireTools()
{
    if (!FHandle) return;
    Select(FFont.Handle(), FSelFont, FOldFont);
    HBRUSH b = FBrush.Handle();
    Select(b ? static_cast<HGDIOBJ>(b) : GetStockObject(NULL_BRUSH), FSelBrush, FOldBrush);
    Select(FPen.Handle(), FSelPen, FOldPen);
    SetTextColor(FHandle, ColorToRGB(FFont.Color()));
    if (FBrush.Style() == bsClear) {
        SetBkMode(FHandle, TRANSPARENT);
    } else {
        SetBkMode(FHandle, OPAQUE);
        SetBkColor(FHandle, ColorToRGB(FBrush.Color()));
    }
}

void TCanvas::FillRect(const TRect& r)
{
    if (!FHandle) return;
    RequireTools();
    RECT rc = r;
    if (HBRUSH b = FBrush.Handle()) ::FillRect(FHandle, &rc, b);
}

void TCanvas::FrameRect(const TRect& r)
{
    if (!FHandle) return;
    RequireTools();
    RECT rc = r;
    if (HBRUSH b = FBrush.Handle()) ::FrameRect(FHandle, &rc, b);
}

void TCanvas::Rectangle(const TRect& r)
{
    if (!FHandle) return;
    RequireTools();
    ::Rectangle(FHandle, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::MoveTo(int x, int y)
{
    if (!FHandle) return;
    RequireTools();
    MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    if (!FHandle) return;
    RequireTools();
    ::LineTo(FHandle, x, y);
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    if (!FHandle) return;
    RequireTools();
    std::wstring w = ToWide(text);
    TextOutW(FHandle, x, y, w.data(), static_cast<int>(w.size()));
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text)
{
    if (!FHandle) return;
    RequireTools();
    std::wstring w = ToWide(text);
    RECT rc = r;
    UINT opts = ETO_CLIPPED | (FBrush.Style() != bsClear ? ETO_OPAQUE : 0);
    ExtTextOutW(FHandle, x, y, opts, &rc, w.data(), static_cast<UINT>(w.size()), nullptr);
}

int TCanvas::TextWidth(const std::string& text)
{
    if (!FHandle) return 0;
    RequireTools();
    std::wstring w = ToWide(text);
    SIZE sz{};
    GetTextExtentPoint32W(FHandle, w.data(), static_cast<int>(w.size()), &sz);
    return sz.cx;
}

int TCanvas::TextHeight(const std::string& text)
{
    if (!FHandle) return 0;
    RequireTools();
    std::wstring w = ToWide(text.empty() ? std::string("W") : text);
    SIZE sz{};
    GetTextExtentPoint32W(FHandle, w.data(), static_cast<int>(w.size()), &sz);
    return sz.cy;
}

int TCanvas::DrawText(const std::string& text, TRect& r, UINT format)
{
    if (!FHandle) return 0;
    RequireTools();
    std::wstring w = ToWide(text);
    RECT rc = r;
    int h = DrawTextW(FHandle, w.data(), static_cast<int>(w.size()), &rc, format);
    if (format & DT_CALCRECT) r = TRect(rc);
    return h;
}

TColor TCanvas::Pixels(int x, int y) const
{
    if (!FHandle) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(GetPixel(FHandle, x, y));
}

void TCanvas::SetPixels(int x, int y, TColor c)
{
    if (!FHandle) return;
    SetPixelV(FHandle, x, y, ColorToRGB(c));
}

void TCanvas::Polyline(const TPoint* points, int count)
{
    if (!FHandle || count < 1) return;
    RequireTools();
    MoveToEx(FHandle, points[0].X, points[0].Y, nullptr);
    for (int i = 1; i < count; ++i) ::LineTo(FHandle, points[i].X, points[i].Y);
}

// ---- TBitmap

TBitmap::TBitmap()
{
    FDC = CreateCompatibleDC(nullptr);
    FCanvas.SetHandle(FDC);
}

TBitmap::~TBitmap()
{
    FCanvas.SetHandle(nullptr);
    if (FOldBitmap) SelectObject(FDC, FOldBitmap);
    if (FBitmap) DeleteObject(FBitmap);
    DeleteDC(FDC);
}

void TBitmap::SetSize(int w, int h)
{
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    if (w == FWidth && h == FHeight) return;
    HBITMAP bmp = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    if (w > 0 && h > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;  // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bmp) throw std::runtime_error("Out of system resources");
        std::memset(bits, 0xFF, static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
        if (FBitmap) BitBlt(dc, 0, 0, FWidth, FHeight, FDC, 0, 0, SRCCOPY);
    }
    // The canvas lets go of its tools before the old bitmap leaves the context.
    FCanvas.SetHandle(nullptr);
    if (FOldBitmap) SelectObject(FDC, FOldBitmap);
    FOldBitmap = nullptr;
    if (FBitmap) DeleteObject(FBitmap);
    FBitmap = bmp;
    if (dc) {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (FBitmap) FOldBitmap = SelectObject(FDC, FBitmap);
    FWidth = FBitmap ? w : 0;
    FHeight = FBitmap ? h : 0;
    FCanvas.SetHandle(FDC);
}

void TBitmap::Assign(const TBitmap& b)
{
    if (&b == this) return;
    SetSize(0, 0);
    SetSize(b.FWidth, b.FHeight);
    if (FBitmap) BitBlt(FDC, 0, 0, FWidth, FHeight, b.FDC, 0, 0, SRCCOPY);
    FTransparent = b.FTransparent;
    FTransparentColor = b.FTransparentColor;
}

TColor TBitmap::TransparentColor()
{
    if (FTransparentColor != clDefault) return FTransparentColor;
    if (Empty()) return clNone;
    return FCanvas.Pixels(0, FHeight - 1);
}

void TCanvas::Ellipse(const TRect& r)
{
    if (!FHandle) return;
    RequireTools();
    ::Ellipse(FHandle, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::RoundRect(const TRect& r, int cx, int cy)
{
    if (!FHandle) return;
    RequireTools();
    ::RoundRect(FHandle, r.Left, r.Top, r.Right, r.Bottom, cx, cy);
}

void TCanvas::Draw(int x, int y, TBitmap& b)
{
    if (!FHandle || b.Empty()) return;
    HDC src = b.Canvas().Handle();
    if (b.Transparent())
        TransparentBlt(FHandle, x, y, b.Width(), b.Height(), src, 0, 0, b.Width(), b.Height(),
                       ColorToRGB(b.TransparentColor()));
    else
        BitBlt(FHandle, x, y, b.Width(), b.Height(), src, 0, 0, SRCCOPY);
}
