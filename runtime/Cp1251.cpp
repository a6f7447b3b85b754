#include "Cp1251.h"

#include <windows.h>

#include <cwchar>

std::wstring ToWide(const std::string& s)
{
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(1251, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(1251, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string FromWide(const wchar_t* w, int len)
{
    if (!w) return std::string();
    if (len < 0) len = static_cast<int>(wcslen(w));
    if (len == 0) return std::string();
    int n = WideCharToMultiByte(1251, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(1251, 0, w, len, s.data(), n, nullptr, nullptr);
    return s;
}

bool FromWideExact(const std::wstring& w, std::string& out)
{
    out.clear();
    if (w.empty()) return true;
    BOOL lost = FALSE;
    const int len = static_cast<int>(w.size());
    int n = WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, w.data(), len, nullptr, 0, nullptr, &lost);
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, w.data(), len, out.data(), n, nullptr, &lost);
    return !lost;
}

std::string FromWide(const std::wstring& w) { return FromWide(w.data(), static_cast<int>(w.size())); }

int AnsiCompareText(const std::string& a, const std::string& b)
{
    const std::wstring wa = ToWide(a), wb = ToWide(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(), -1, wb.c_str(), -1) - CSTR_EQUAL;
}

bool ShortPathName(const std::wstring& path, std::wstring& out)
{
    std::wstring buf(path.size() + 1, L'\0');
    for (;;) {
        DWORD n = GetShortPathNameW(path.c_str(), &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return false;
        if (n < buf.size()) {
            out.assign(buf, 0, n);
            return true;
        }
        buf.assign(n, L'\0');
    }
}
