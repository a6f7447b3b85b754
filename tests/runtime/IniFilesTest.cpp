#include <gtest/gtest.h>
#include <windows.h>

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
