#include <gtest/gtest.h>
#include <windows.h>

#include "../../testing/win/TestFiles.h"
#include "Cp1251.h"
#include "IniFiles.h"

namespace {
std::string TempIni(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string p = std::string(dir) + name;
    DeleteFileA(p.c_str());
    return p;
}
}  // namespace

TEST(IniFile, MissingFileGivesDefaultsAndWritesCreateIt)
{
    std::string path = TempIni("tovik_ini_a.ini");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Settings", "Port", "COM1"), "COM1");
    EXPECT_EQ(ini.ReadInteger("Settings", "Speed", 3), 3);
    ini.WriteInteger("Settings", "Speed", 4);
    ini.WriteString("Settings", "Name", "Прибор");
    TIniFile again(path);
    EXPECT_EQ(again.ReadInteger("settings", "SPEED", 0), 4);
    EXPECT_EQ(again.ReadString("Settings", "Name", ""), "Прибор");
    DeleteFileA(path.c_str());
}

TEST(IniFile, IntegerKeysTakeDecimalOrHexAndDefaultOtherwise)
{
    std::string path = TempIni("tovik_ini_b.ini");
    TIniFile ini(path);
    ini.WriteString("s", "a", "0x10");
    ini.WriteString("s", "b", "$10");
    ini.WriteString("s", "c", "12a");
    ini.WriteString("s", "d", "-3");
    EXPECT_EQ(ini.ReadInteger("s", "a", 0), 16);
    EXPECT_EQ(ini.ReadInteger("s", "b", 0), 16);
    EXPECT_EQ(ini.ReadInteger("s", "c", 7), 7);
    EXPECT_EQ(ini.ReadInteger("s", "d", 0), -3);
    EXPECT_TRUE(ini.ReadBool("s", "d", false));
    TStringList keys;
    ini.ReadSection("s", keys);
    EXPECT_EQ(keys.Count(), 4);
    EXPECT_TRUE(ini.ValueExists("S", "C"));
    EXPECT_FALSE(ini.SectionExists("t"));
    DeleteFileA(path.c_str());
}

TEST(IniFile, ValuesAreCutAt2047Characters)
{
    std::string path = TempIni("tovik_ini_c.ini");
    TIniFile ini(path);
    ini.WriteString("s", "long", std::string(3000, 'x'));
    EXPECT_EQ(ini.ReadString("s", "long", "").size(), 2047u);
    DeleteFileA(path.c_str());
}

namespace {
std::string Bytes(const std::string& path)
{
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<none>";
    char buf[4096];
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf, &n, nullptr);
    CloseHandle(h);
    return std::string(buf, n);
}
void Put(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}
}  // namespace

// The tests run with a system code page other than 1251: names and contents must not pass
// through it. A write changes its own line only.
TEST(IniFile, CyrillicNamesAndContentsStayCp1251AndWritesKeepTheRestOfTheFile)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::string dir = FromWide(tmp) + "Настройки ini\\";
    const std::string path = dir + "главный.ini";
    DeleteFileW(ToWide(path).c_str());
    CreateDirectoryW(ToWide(dir).c_str(), nullptr);
    const std::string before =
        "; заметка\r\n[Settings]\r\n  Name = \"Прибор 1\" \r\nlastaddr=5\r\n\r\n"
        "[Приборы]\r\nкол=2\r\nлишний=1\r\n[Main]\r\nDev1=дев.ini";
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, before.data(), static_cast<DWORD>(before.size()), &n, nullptr);
    CloseHandle(h);

    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("settings", "NAME", ""), "Прибор 1");
    EXPECT_EQ(ini.ReadString("ПРИБОРЫ", "Кол", ""), "2");
    EXPECT_EQ(ini.ReadString("Main", "dev1", ""), "дев.ini");
    EXPECT_EQ(ini.ReadString("Main", "Dev2", "нет"), "нет");
    ini.WriteInteger("Settings", "LASTADDR", 7);
    ini.WriteString("Main", "Dev2", "второй.ini");
    ini.WriteString("Новая", "ключ", "значение");
    ini.DeleteKey("приборы", "ЛИШНИЙ");
    EXPECT_EQ(Bytes(path),
              "; заметка\r\n[Settings]\r\n  Name = \"Прибор 1\" \r\nlastaddr=7\r\n\r\n"
              "[Приборы]\r\nкол=2\r\n[Main]\r\nDev1=дев.ini\r\nDev2=второй.ini\r\n"
              "[Новая]\r\nключ=значение\r\n");
    ini.EraseSection("ПРИБОРЫ");
    TIniFile again(path);
    EXPECT_EQ(again.ReadString("Новая", "Ключ", ""), "значение");
    EXPECT_FALSE(again.SectionExists("Приборы"));
    TStringList sections;
    again.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 3);
    DeleteFileW(ToWide(path).c_str());
    RemoveDirectoryW(ToWide(dir).c_str());
}

// A Unicode file rewritten for changed values keeps a key name's letters that cp1251 lacks (the
// program knows the name only with "?" for them), and a UTF-16 file keeps its odd last byte.
TEST(IniFile, UnicodeFileKeepsKeyNamesCp1251LacksAndAnOddLastByte)
{
    const std::string path = TempIni("tovik_ini_unicode.ini");
    for (const auto& e : tovik::testing::kUnicodeEncodings) {
        SCOPED_TRACE(e.name);
        const std::string odd = std::string(e.name).rfind("UTF-16", 0) == 0 ? "\x7F" : "";
        Put(path, e.bytes(L"[s]\r\n  caf\u00e9 = 1\r\n\u03c0=2\r\n") + odd);
        TIniFile ini(path);
        TStringList keys;
        ini.ReadSection("s", keys);
        ASSERT_EQ(keys.Count(), 2);
        for (const std::string& k : keys) ini.WriteString("s", k, "9");
        EXPECT_EQ(Bytes(path), e.bytes(L"[s]\r\ncaf\u00e9=9\r\n\u03c0=9\r\n") + odd);
    }
    DeleteFileA(path.c_str());
}
