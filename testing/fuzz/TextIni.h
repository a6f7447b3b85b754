// Profile-file reading over a text in memory, in place of the Windows profile functions for the
// native build: sections and keys match without regard to letter case (the first one counts),
// values are trimmed and lose one pair of enclosing quotes, at most 2047 characters are read.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "IniFiles.h"
#include "SysUtils.h"

class TTextIni {
public:
    explicit TTextIni(const std::string& text)
    {
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string::npos) end = text.size();
            Line(text.substr(at, end - at));
            at = end + 1;
        }
    }
    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const
    {
        for (const TSection& s : FSections) {
            if (!Same(s.Name, section)) continue;
            for (const auto& [key, value] : s.Keys)
                if (Same(key, ident)) return value.substr(0, 2047);
            return def;
        }
        return def;
    }
    int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const
    {
        return IniTextToInt(ReadString(section, ident, ""), def);
    }
    bool ReadBool(const std::string& section, const std::string& ident, bool def) const
    {
        return ReadInteger(section, ident, def ? 1 : 0) != 0;
    }
    bool HasSection(const std::string& section) const
    {
        for (const TSection& s : FSections)
            if (Same(s.Name, section)) return true;
        return false;
    }

private:
    struct TSection {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Keys;
    };
    static bool Same(const std::string& a, const std::string& b) { return LowerCase(a) == LowerCase(b); }
    void Line(const std::string& raw)
    {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';') return;
        if (line[0] == '[') {
            size_t close = line.find(']');
            FSections.push_back({Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            return;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || FSections.empty()) return;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        FSections.back().Keys.emplace_back(Trim(line.substr(0, eq)), value);
    }
    std::vector<TSection> FSections;
};
