// The ini-file class with the profile functions' rules: each write goes to the file at once, and
// the contents are the file's own bytes (cp1251), whatever the system's code page; a file that
// begins with a UTF-16 or UTF-8 byte-order mark is read and written in its own encoding.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "SysUtils.h"

class EIniFileException : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EIniFileException"; }
};

// An integer key's text as the ini-file class reads it: decimal, or hexadecimal with "0x" or
// "$"; any other text gives def.
inline int32_t IniTextToInt(std::string s, int32_t def)
{
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.replace(0, 2, 1, '$');
    return StrToIntDef(s, def);
}

class TIniFile {
public:
    explicit TIniFile(std::string fileName);
    virtual ~TIniFile();
    const std::string& FileName() const { return FFileName; }

    // Values are read through a 2048-byte buffer (at most 2047 characters).
    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& def) const;
    // Decimal, or hexadecimal with "0x" or "$"; any other text gives def.
    int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
    // Failure raises EIniFileException "Unable to write to <file>".
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
    void WriteBool(const std::string& section, const std::string& ident, bool value);

    void ReadSection(const std::string& section, TStringList& keys) const;   // key names
    void ReadSections(TStringList& sections) const;
    void ReadSectionValues(const std::string& section, TStringList& values) const;  // name=value
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& ident) const;
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);

private:
    struct TContents;
    struct TEdit {
        size_t From, To;
        std::string Text;
        std::wstring Wide;  // for a Unicode file, Text as the file has it, where the two differ
    };
    const TContents& Contents() const;
    bool Store(const std::vector<TEdit>& edits);

    std::string FFileName;
    std::unique_ptr<TContents> FContents;  // the file as last read or written
};
