#include "SysUtils.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

bool TryStrToInt(const std::string& s, int32_t& value)
{
    size_t i = 0, n = s.size();
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && s[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= n) return false;
    uint64_t acc = 0;
    for (; i < n; ++i) {
        int d;
        char c = s[i];
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        acc = acc * base + d;
        if (acc > 0xFFFFFFFFull) return false;
    }
    if (base == 16) {
        // Hexadecimal covers the whole 32-bit pattern ($FFFFFFFF is -1).
        uint32_t bits = static_cast<uint32_t>(acc);
        int32_t v = static_cast<int32_t>(bits);
        value = neg ? static_cast<int32_t>(0u - bits) : v;
        return true;
    }
    if (neg) {
        if (acc > 0x80000000ull) return false;
        value = static_cast<int32_t>(-static_cast<int64_t>(acc));
    } else {
        if (acc > 0x7FFFFFFFull) return false;
        value = static_cast<int32_t>(acc);
    }
    return true;
}

int32_t StrToInt(const std::string& s)
{
    int32_t v;
    if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

int32_t StrToIntDef(const std::string& s, int32_t def)
{
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::string UpperCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string LowerCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string Format(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}
