#include "CodeList.h"

#include <algorithm>

#include "SysUtils.h"

std::vector<std::string> SplitDelimited(const std::string& text)
{
    std::vector<std::string> out;
    auto at = [&](size_t i) -> unsigned char { return i < text.size() ? text[i] : 0; };
    auto blank = [](unsigned char c) { return c >= 1 && c <= ' '; };
    size_t p = 0;
    while (blank(at(p))) ++p;
    while (at(p) != 0) {
        std::string s;
        if (at(p) == '"') {
            ++p;
            while (at(p) != 0) {
                if (at(p) == '"') {
                    if (at(p + 1) == '"') {
                        s += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                s += static_cast<char>(at(p++));
            }
        } else {
            size_t b = p;
            while (at(p) > ' ' && at(p) != ';') ++p;
            s = text.substr(b, p - b);
        }
        out.push_back(s);
        while (blank(at(p))) ++p;
        if (at(p) == ';') {
            if (at(p + 1) == 0) out.push_back(std::string());
            do
                ++p;
            while (blank(at(p)));
        }
    }
    return out;
}

std::vector<TValueStr> ParseValueList(const std::string& listText)
{
    std::string text = listText;
    // Blanks inside the texts must survive the splitting.
    std::replace(text.begin(), text.end(), ' ', '\xA0');
    std::vector<TValueStr> values;
    for (const std::string& entry : SplitDelimited(text)) {
        size_t eq = entry.find('=');
        if (eq == std::string::npos) continue;
        TValueStr v;
        v.Code = StrToInt(entry.substr(0, eq));
        v.Text = entry.substr(eq + 1);
        values.push_back(std::move(v));
    }
    return values;
}
