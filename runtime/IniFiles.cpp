#include "IniFiles.h"

#include <windows.h>

#include <vector>

namespace {
// Splits a double-NUL-terminated list as the profile functions return it.
void SplitList(const char* p, size_t n, TStringList& out)
{
    size_t i = 0;
    while (i < n && p[i]) {
        size_t j = i;
        while (j < n && p[j]) ++j;
        out.Add(std::string(p + i, j - i));
        i = j + 1;
    }
}

std::string ReadList(const char* section, const std::string& file)
{
    std::vector<char> buf(16384);
    for (;;) {
        DWORD n = section ? GetPrivateProfileStringA(section, nullptr, "", buf.data(),
                                                     static_cast<DWORD>(buf.size()), file.c_str())
                          : GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()),
                                                           file.c_str());
        if (n < buf.size() - 2) return std::string(buf.data(), n);
        buf.resize(buf.size() * 4);
    }
}
}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& def) const
{
    char buf[2048];
    DWORD n = GetPrivateProfileStringA(section.c_str(), ident.c_str(), def.c_str(), buf, sizeof buf,
                                       FFileName.c_str());
    return std::string(buf, n);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const
{
    return IniTextToInt(ReadString(section, ident, ""), def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident,
                           const std::string& value)
{
    if (!WritePrivateProfileStringA(section.c_str(), ident.c_str(), value.c_str(), FFileName.c_str()))
        throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value)
{
    WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadSection(const std::string& section, TStringList& keys) const
{
    keys.Clear();
    std::string list = ReadList(section.c_str(), FFileName);
    SplitList(list.data(), list.size(), keys);
}

void TIniFile::ReadSections(TStringList& sections) const
{
    sections.Clear();
    std::string list = ReadList(nullptr, FFileName);
    SplitList(list.data(), list.size(), sections);
}

void TIniFile::ReadSectionValues(const std::string& section, TStringList& values) const
{
    TStringList keys;
    ReadSection(section, keys);
    values.Clear();
    for (const std::string& k : keys) values.Add(k + "=" + ReadString(section, k, ""));
}

bool TIniFile::SectionExists(const std::string& section) const
{
    TStringList keys;
    ReadSection(section, keys);
    return keys.Count() > 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const
{
    TStringList keys;
    ReadSection(section, keys);
    return keys.IndexOf(ident) >= 0;
}

void TIniFile::EraseSection(const std::string& section)
{
    if (!WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, FFileName.c_str()))
        throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    WritePrivateProfileStringA(section.c_str(), ident.c_str(), nullptr, FFileName.c_str());
}
