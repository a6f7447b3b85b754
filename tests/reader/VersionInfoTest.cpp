// Version resources read back from real files, the file-flag texts, and the long path name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "MyFileUtils.h"
#include "VersionInfo.h"

namespace {

std::string Self()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n);
}

std::string Flags(DWORD mask, DWORD flags)
{
    TStringList l;
    TVersionResource::CollectFileFlags(mask, flags, l);
    std::string s;
    for (const std::string& f : l) s += f + ";";
    return s;
}

// A folder tree with long names under the temp path, removed afterwards.
class LongTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        Root = GetLongFileName(tmp) + "tovik long " + std::to_string(GetCurrentProcessId());
        Dir = Root + "\\Second Long Folder";
        File = Dir + "\\A File With A Long Name.txt";
        CreateDirectoryA(Root.c_str(), nullptr);
        CreateDirectoryA(Dir.c_str(), nullptr);
        HANDLE h = CreateFileA(File.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    void TearDown() override
    {
        DeleteFileA(File.c_str());
        RemoveDirectoryA(Dir.c_str());
        RemoveDirectoryA(Root.c_str());
    }
    std::string Short(const std::string& p)
    {
        char buf[MAX_PATH];
        DWORD n = GetShortPathNameA(p.c_str(), buf, MAX_PATH);
        return std::string(buf, n);
    }
    std::string Root, Dir, File;
};

}  // namespace

TEST(VersionResource, ReadsTheKeysOfItsFirstTranslation)
{
    // This test program carries MainFormTest.rc.
    TVersionResource v(Self());
    EXPECT_EQ(v.GetKeyString(vkFileVersion), "7.6.5.4");
    EXPECT_EQ(v.GetKeyString(vkProductName), "Test program");
    EXPECT_EQ(v.GetKeyString(vkComments), "") << "a key the resource lacks is no error";
    EXPECT_EQ(v.GetKeyString(200), "");
    EXPECT_EQ(v.FileName(), Self());
    ASSERT_NE(v.FixedInfo(), nullptr);
    EXPECT_EQ(v.FixedInfo()->dwFileVersionMS, 0x00070006u);
    EXPECT_EQ(Flags(0, 0), "");
    EXPECT_EQ(v.FileFlags().Count(), 3);
    EXPECT_EQ(v.FileFlags().Strings(0), "Pre-release");
    EXPECT_EQ(v.FileFlags().Strings(1), "Special build");
    EXPECT_EQ(v.FileFlags().Strings(2), "Debug");
}

TEST(VersionResource, TheProgramCarriesItsFileVersion)
{
    std::string exe = std::string(TOVIK_BINARY_DIR) + "/reader/Tovik.exe";
    for (char& c : exe)
        if (c == '/') c = '\\';
    TVersionResource v("Z:" + exe);
    EXPECT_FALSE(v.GetKeyString(vkFileVersion).empty());
    EXPECT_EQ(v.GetKeyString(vkOriginalFilename), "Tovik.exe");
    EXPECT_EQ(v.FileFlags().Count(), 0);
}

TEST(VersionResource, FailuresCarryTheirMessages)
{
    try {
        TVersionResource v("C:\\windows\\win.ini");
        FAIL() << "a text file has no version resource";
    } catch (const ENoVersionInfoError& e) {
        EXPECT_EQ(e.Message(), "No Version Info Available.");
    }
    EXPECT_THROW(TVersionResource("C:\\no\\such\\file.exe"), ENoVersionInfoError);
}

TEST(VersionResource, FileFlagsNeedMaskAndFlagAndKeepTheirOrder)
{
    EXPECT_EQ(Flags(0x3F, 0x23), "Pre-release;Special build;Debug;");
    EXPECT_EQ(Flags(0x01, 0x00), "");
    EXPECT_EQ(Flags(0x00, 0x3F), "");
    EXPECT_EQ(Flags(0x3F, 0x0A), "Pre-release;Private build;");
    EXPECT_EQ(Flags(0x37, 0x3F), "Pre-release;Special build;Debug;");
    EXPECT_EQ(Flags(0xFFFFFFFF, 0x04 | 0x10), "");
}

TEST_F(LongTree, ShortPathComesBackLong)
{
    std::string s = Short(File);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(GetLongFileName(s), File);
}

TEST_F(LongTree, FallbackWalkReplacesEveryComponent)
{
    std::string s = Short(File);
    ASSERT_NE(s, File) << "the prefix gives these folders short names";
    EXPECT_EQ(LongFileNameByWalk(s), File);
    EXPECT_EQ(LongFileNameByWalk(Short(Dir)), Dir);
}

TEST_F(LongTree, FallbackWalkOnAMissingFileGivesTheDriveOnly)
{
    EXPECT_EQ(LongFileNameByWalk(Short(Dir) + "\\missing.txt"), File.substr(0, 2));
    EXPECT_EQ(LongFileNameByWalk("C:\\no such folder\\x.exe"), "C:");
}
