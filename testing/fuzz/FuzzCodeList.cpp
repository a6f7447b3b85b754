// Code-text lists and integer texts as device description files give them: a parsed list has
// no entry, code or text that the list text does not hold.
#include <cstdlib>

#include "CodeList.h"
#include "FuzzSupport.h"
#include "SysUtils.h"

namespace {

// The strict integer grammar, checked apart from TryStrToInt: blanks, a sign, then decimal
// digits within 32 bits signed, or "$" and hex digits within 32 bits.
bool PlainInt(const std::string& s, int32_t& v)
{
    size_t i = s.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    bool neg = s[i] == '-';
    if (s[i] == '-' || s[i] == '+') ++i;
    bool hex = i < s.size() && s[i] == '$';
    if (hex) ++i;
    std::string digits = s.substr(i);
    if (digits.empty()) return false;
    if (digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) return false;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > (hex ? 8u : 10u)) return false;
    long long x = std::strtoll(digits.c_str(), nullptr, hex ? 16 : 10);
    if (hex) {
        uint32_t bits = static_cast<uint32_t>(x);
        v = static_cast<int32_t>(neg ? 0u - bits : bits);
        return true;
    }
    if (neg) x = -x;
    if (x < INT32_MIN || x > INT32_MAX) return false;
    v = static_cast<int32_t>(x);
    return true;
}

std::string Doubled(const std::string& s)
{
    std::string o;
    for (char c : s) {
        o += c;
        if (c == '"') o += '"';
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A value comes from the profile functions: at most 2047 characters, no NUL.
    TFuzzInput in(data, size);
    const std::string text = in.Text(2047);

    int32_t a = 0, b = 0;
    const bool strict = TryStrToInt(text, a);
    FUZZ_CHECK(strict == PlainInt(text, b));
    if (strict) FUZZ_CHECK(a == b);

    std::string spaced = text;
    for (char& c : spaced)
        if (c == ' ') c = '\xA0';
    const std::vector<std::string> entries = SplitDelimited(spaced);
    for (const std::string& e : entries) FUZZ_CHECK(e.size() <= spaced.size());

    std::vector<TValueStr> list;
    try {
        list = ParseValueList(text);
    } catch (const EConvertError&) {
        // Only a code that is no integer may refuse the list.
        bool bad = false;
        for (const std::string& e : entries) {
            size_t eq = e.find('=');
            int32_t v;
            if (eq != std::string::npos && !TryStrToInt(e.substr(0, eq), v)) bad = true;
        }
        FUZZ_CHECK(bad);
        return 0;
    }
    size_t withCode = 0;
    for (const std::string& e : entries) withCode += e.find('=') != std::string::npos;
    FUZZ_CHECK(list.size() == withCode);
    // Each entry's "=text" stands in the list text, in order.
    size_t at = 0;
    for (const TValueStr& v : list) {
        FUZZ_CHECK(v.Text.find(' ') == std::string::npos);
        const std::string plain = "=" + v.Text, quoted = "=" + Doubled(v.Text);
        size_t p = spaced.find(plain, at), q = spaced.find(quoted, at);
        size_t found = std::min(p, q);
        FUZZ_CHECK(found != std::string::npos);
        at = found + (found == p ? plain.size() : quoted.size());
    }
    return 0;
}
