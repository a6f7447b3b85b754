#include <gtest/gtest.h>

#include "SafeFile.h"
#include "TestSupport.h"

using namespace testsupport;

TEST(SafeFile, WritesNewAndReplacesOldFilesWholly)
{
    TWorkDir dir("safefile_replace");
    WriteWholeFile(dir.Win("a.txt"), "first\r\n");
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), "first\r\n");
    WriteWholeFile(dir.Win("a.txt"), "2");
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), "2");
    std::string big(3 << 20, 'x');
    big[12345] = '\0';
    WriteWholeFile(dir.Win("a.txt"), big);
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), big);
    WriteWholeFile(dir.Win("a.txt"), "");
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), "");
    EXPECT_EQ(dir.Listing(), "a.txt");
}

TEST(SafeFile, FolderThatCannotBeWrittenGivesTheIoErrorAndNoFile)
{
    TWorkDir dir("safefile_nofolder");
    try {
        WriteWholeFile(dir.Win("missing\\a.txt"), "data");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(e.Message(), "Invalid filename");
    }
    EXPECT_EQ(dir.Listing(), "");
}

TEST(SafeFile, TargetThatCannotBeReplacedKeepsItsContentsAndNoTemporaryStays)
{
    TWorkDir dir("safefile_locked");
    WriteFileBytes(dir.Unix("good.txt"), "good contents");
    // Another program holds the file open without letting it be replaced.
    HANDLE h = CreateFileA(dir.Win("good.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_THROW(WriteWholeFile(dir.Win("good.txt"), "half"), EInOutError);
    CloseHandle(h);
    EXPECT_EQ(ReadFileBytes(dir.Unix("good.txt")), "good contents");
    EXPECT_EQ(dir.Listing(), "good.txt");

    // A folder in the way of the name: nothing is left beside it either.
    CreateDirectoryA(dir.Win("sub.txt").c_str(), nullptr);
    EXPECT_THROW(WriteWholeFile(dir.Win("sub.txt"), "data"), EInOutError);
    EXPECT_EQ(dir.Listing(), "good.txt sub.txt");
}

TEST(SafeFile, RenameRefusedForAMomentIsRetriedAndTheTargetKeepsItsAttributes)
{
    TWorkDir dir("safefile_busy");
    WriteFileBytes(dir.Unix("busy.txt"), "old");
    const std::string target = dir.Win("busy.txt");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    // A scanner has the new file open, without letting it be replaced, for a few hundred ms.
    HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE closer = CreateThread(
        nullptr, 0,
        [](LPVOID p) WINAPI -> DWORD {
            Sleep(300);
            CloseHandle(static_cast<HANDLE>(p));
            return 0;
        },
        h, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    WriteWholeFile(target, "new");
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_EQ(ReadFileBytes(dir.Unix("busy.txt")), "new");
    EXPECT_EQ(dir.Listing(), "busy.txt");
    DWORD a = GetFileAttributesA(target.c_str());
    EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_HIDDEN)) << a;
}

TEST(SafeFile, MessagesAreThePlatformsInputOutputTexts)
{
    EXPECT_EQ(InOutErrorMessage(ERROR_ACCESS_DENIED), "File access denied");
    EXPECT_EQ(InOutErrorMessage(ERROR_FILE_NOT_FOUND), "File not found");
    EXPECT_EQ(InOutErrorMessage(ERROR_DISK_FULL), "Disk full");
    EXPECT_EQ(InOutErrorMessage(32), "I/O error 32");
}
