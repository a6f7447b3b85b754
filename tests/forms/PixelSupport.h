// Reading back what a shown window put on screen: its messages are run (unless Settle is false:
// then the screen is taken as it is now), then its client area (or the whole window, border
// included) is copied into a 32-bit bitmap whose pixels a test reads.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"
#include "Forms.h"

class TPixels {
public:
    // The client area of h, origin at the client's top-left.
    static TPixels Client(HWND h, bool Settle = true) { return Grab(h, false, Settle); }
    // The whole window of h, origin at the window's top-left.
    static TPixels Window(HWND h, bool Settle = true) { return Grab(h, true, Settle); }
    // The rectangle a window-less control covers on its parent, origin at the control.
    static TPixels Of(TControl& c, bool Settle = true)
    {
        TPixels p = Client(c.Parent()->Handle(), Settle);
        return p.Part(c.BoundsRect());
    }

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The pixel as RGB (0x00BBGGRR, as GetPixel gives it); out of range: CLR_INVALID.
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return CLR_INVALID;
        DWORD v = FBits[static_cast<size_t>(y) * FWidth + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // How many pixels of r have colour c.
    int Count(const TRect& r, COLORREF c) const
    {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += At(x, y) == c;
        return n;
    }
    TPixels Part(const TRect& r) const
    {
        TPixels p;
        p.FWidth = r.Width();
        p.FHeight = r.Height();
        p.FBits.resize(static_cast<size_t>(p.FWidth) * p.FHeight);
        for (int y = 0; y < p.FHeight; ++y)
            for (int x = 0; x < p.FWidth; ++x) {
                int sx = r.Left + x, sy = r.Top + y;
                bool in = sx >= 0 && sy >= 0 && sx < FWidth && sy < FHeight;
                p.FBits[static_cast<size_t>(y) * p.FWidth + x] = in ? FBits[static_cast<size_t>(sy) * FWidth + sx] : 0;
            }
        return p;
    }
    // Text picture of a region, one letter per pixel by the legend, '.' for the rest: shown when
    // a comparison fails.
    std::string Picture(const TRect& r, const std::vector<std::pair<COLORREF, char>>& legend) const
    {
        std::string s;
        for (int y = r.Top; y < r.Bottom; ++y) {
            for (int x = r.Left; x < r.Right; ++x) {
                char ch = '.';
                for (auto& [c, l] : legend)
                    if (At(x, y) == c) {
                        ch = l;
                        break;
                    }
                s += ch;
            }
            s += '\n';
        }
        return s;
    }

    // Writes the pixels as a 24-bit BMP file (a picture for people to look at).
    bool SaveBmp(const std::string& file) const
    {
        DWORD stride = (static_cast<DWORD>(FWidth) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(FHeight);
        std::vector<BYTE> rows(size, 0);
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                COLORREF c = At(x, FHeight - 1 - y);  // bottom-up rows
                BYTE* px = &rows[y * stride + x * 3];
                px[0] = GetBValue(c);
                px[1] = GetGValue(c);
                px[2] = GetRValue(c);
            }
        BITMAPINFOHEADER bh{};
        bh.biSize = sizeof bh;
        bh.biWidth = FWidth;
        bh.biHeight = FHeight;
        bh.biPlanes = 1;
        bh.biBitCount = 24;
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bh;
        fh.bfSize = fh.bfOffBits + size;
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD done;
        bool ok = WriteFile(h, &fh, sizeof fh, &done, nullptr) && WriteFile(h, &bh, sizeof bh, &done, nullptr) &&
                  WriteFile(h, rows.data(), size, &done, nullptr);
        CloseHandle(h);
        return ok;
    }

private:
    static TPixels Grab(HWND h, bool whole, bool settle)
    {
        if (settle) {
            Application->ProcessMessages();
            UpdateWindow(h);
            Application->ProcessMessages();
        }
        TPixels p;
        RECT r;
        if (whole) {
            GetWindowRect(h, &r);
            OffsetRect(&r, -r.left, -r.top);
        } else {
            GetClientRect(h, &r);
        }
        p.FWidth = r.right;
        p.FHeight = r.bottom;
        if (p.FWidth <= 0 || p.FHeight <= 0) return p;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = p.FWidth;
        bi.bmiHeader.biHeight = -p.FHeight;  // top-down rows
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC src = whole ? GetWindowDC(h) : GetDC(h);
        HDC mem = CreateCompatibleDC(src);
        HBITMAP bmp = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, p.FWidth, p.FHeight, src, 0, 0, SRCCOPY);
        GdiFlush();
        auto* words = static_cast<const DWORD*>(bits);
        p.FBits.assign(words, words + static_cast<size_t>(p.FWidth) * p.FHeight);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(h, src);
        return p;
    }
    int FWidth = 0, FHeight = 0;
    std::vector<DWORD> FBits;
};
