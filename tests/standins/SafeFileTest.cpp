#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "../../testing/win/ImportPatch.h"
#include "SafeFile.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

// Closes `h` after 300 ms on a thread of its own (a scanner letting go of a file); the thread's handle.
HANDLE CloseLater(HANDLE h)
{
    return CreateThread(
        nullptr, 0,
        [](LPVOID p) WINAPI -> DWORD {
            Sleep(300);
            CloseHandle(static_cast<HANDLE>(p));
            return 0;
        },
        h, 0, nullptr);
}

// The file calls of the code linked into this program, seen through its import table: logged in
// order, failed on request, and held to the path limit of Windows (Wine has none): a path of
// MAX_PATH characters or more fails as it does there.
class FileCalls {
public:
    FileCalls()
    {
        Current() = this;
        FCreate = Patch("CreateFileW", reinterpret_cast<void*>(&FileCalls::Create));
        FFlush = Patch("FlushFileBuffers", reinterpret_cast<void*>(&FileCalls::Flush));
        FMove = Patch("MoveFileExW", reinterpret_cast<void*>(&FileCalls::Move));
        FDelete = Patch("DeleteFileW", reinterpret_cast<void*>(&FileCalls::Delete));
    }
    ~FileCalls()
    {
        Patch("CreateFileW", FCreate);
        Patch("FlushFileBuffers", FFlush);
        Patch("MoveFileExW", FMove);
        Patch("DeleteFileW", FDelete);
        Current() = nullptr;
    }
    // (A program that never flushes imports no FlushFileBuffers: the log shows it.)
    bool Hooked() const { return FCreate && FMove && FDelete; }

    std::vector<std::string> Log;  // "create", "flush", "move", "delete"
    DWORD FlushError = 0, MoveError = 0;  // the call fails with this error
    DWORD FirstCreateError = 0;           // the first create fails with this error
    std::function<void(const wchar_t* from)> OnMove;

private:
    static FileCalls*& Current()
    {
        static FileCalls* c = nullptr;
        return c;
    }
    static void* Patch(const char* name, void* with) { return tovik::testing::PatchImport("kernel32.dll", name, with); }
    static bool TooLong(const wchar_t* path)
    {
        if (wcslen(path) < MAX_PATH) return false;
        SetLastError(ERROR_PATH_NOT_FOUND);
        return true;
    }
    static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD how,
                                DWORD flags, HANDLE templ)
    {
        FileCalls* c = Current();
        c->Log.push_back("create");
        if (TooLong(name)) return INVALID_HANDLE_VALUE;
        if (DWORD err = std::exchange(c->FirstCreateError, 0)) {
            SetLastError(err);
            return INVALID_HANDLE_VALUE;
        }
        return reinterpret_cast<decltype(&CreateFileW)>(c->FCreate)(name, access, share, sa, how, flags, templ);
    }
    static BOOL WINAPI Flush(HANDLE h)
    {
        FileCalls* c = Current();
        c->Log.push_back("flush");
        if (c->FlushError) {
            SetLastError(c->FlushError);
            return FALSE;
        }
        return reinterpret_cast<decltype(&FlushFileBuffers)>(c->FFlush)(h);
    }
    static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags)
    {
        FileCalls* c = Current();
        c->Log.push_back("move");
        if (c->OnMove) c->OnMove(from);
        if (c->MoveError) {
            SetLastError(c->MoveError);
            return FALSE;
        }
        if (TooLong(from) || TooLong(to)) return FALSE;
        return reinterpret_cast<decltype(&MoveFileExW)>(c->FMove)(from, to, flags);
    }
    static BOOL WINAPI Delete(LPCWSTR name)
    {
        FileCalls* c = Current();
        c->Log.push_back("delete");
        if (TooLong(name)) return FALSE;
        return reinterpret_cast<decltype(&DeleteFileW)>(c->FDelete)(name);
    }
    void *FCreate = nullptr, *FFlush = nullptr, *FMove = nullptr, *FDelete = nullptr;
};

}  // namespace

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
    HANDLE closer = CloseLater(h);
    ASSERT_NE(closer, nullptr);
    WriteWholeFile(target, "new");
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_EQ(ReadFileBytes(dir.Unix("busy.txt")), "new");
    EXPECT_EQ(dir.Listing(), "busy.txt");
    DWORD a = GetFileAttributesA(target.c_str());
    EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_HIDDEN)) << a;
}

// A file system with nothing to flush says so, and the save goes on; any other flush failure
// fails it, with the target as it was and no temporary file left.
TEST(SafeFile, DataIsFlushedBeforeTheRenameAndOnlyAFailedFlushFailsTheSave)
{
    TWorkDir dir("safefile_flush");
    WriteFileBytes(dir.Unix("a.txt"), "old");
    const struct {
        DWORD error;
        bool saved;
    } cases[] = {{0, true}, {ERROR_INVALID_FUNCTION, true}, {ERROR_NOT_SUPPORTED, true}, {ERROR_DISK_FULL, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const std::string was = ReadFileBytes(dir.Unix("a.txt")), now = was + "+";
        FileCalls calls;
        ASSERT_TRUE(calls.Hooked());
        calls.FlushError = c.error;
        try {
            WriteWholeFile(dir.Win("a.txt"), now);
            EXPECT_TRUE(c.saved) << "no error";
        } catch (const EInOutError& e) {
            EXPECT_FALSE(c.saved) << e.Message();
            EXPECT_EQ(e.ErrorCode, static_cast<uint32_t>(c.error));
        }
        EXPECT_EQ(calls.Log, (std::vector<std::string>{"create", "flush", c.saved ? "move" : "delete"}));
        EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), c.saved ? now : was);
        EXPECT_EQ(dir.Listing(), "a.txt");
    }
}

// A leftover temporary file that is pending deletion refuses to be made anew with "access
// denied" (Wine has no such state: the first create is made to answer so): the next name is taken.
TEST(SafeFile, TemporaryNamePendingDeletionIsPassedOver)
{
    TWorkDir dir("safefile_pending");
    FileCalls calls;
    ASSERT_TRUE(calls.Hooked());
    calls.FirstCreateError = ERROR_ACCESS_DENIED;
    WriteWholeFile(dir.Win("a.txt"), "new");
    EXPECT_EQ(calls.Log, (std::vector<std::string>{"create", "create", "flush", "move"}));
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), "new");
    EXPECT_EQ(dir.Listing(), "a.txt");
}

TEST(SafeFile, TargetWhoseFullNameIsNearThePathLimitIsWritten)
{
    TWorkDir dir("safefile_long");
    // A folder of 200 characters, and a name that brings the whole to MAX_PATH - 1.
    ASSERT_LT(dir.Win().size(), 190u) << "the build tree lies too deep for this test";
    const std::string folder = std::string(200 - dir.Win().size() - 1, 'f');
    ASSERT_TRUE(CreateDirectoryA(dir.Win(folder).c_str(), nullptr));
    const std::string file = folder + "/" + std::string(MAX_PATH - 1 - 200 - 1 - 4, 'r') + ".txt";
    const std::string target = dir.Win(file);
    ASSERT_EQ(target.size(), static_cast<size_t>(MAX_PATH - 1));
    WriteFileBytes(dir.Unix(file), "old");
    FileCalls calls;
    ASSERT_TRUE(calls.Hooked());
    WriteWholeFile(target, "near the limit");
    EXPECT_EQ(ReadFileBytes(dir.Unix(file)), "near the limit");
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir.Win(folder) + "\\*.*").c_str(), &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        if (fd.cFileName[0] != '.') names.push_back(fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    EXPECT_EQ(names, std::vector<std::string>{file.substr(folder.size() + 1)}) << "no temporary file stays";
}

TEST(SafeFile, TemporaryFileHeldWhenTheRenameFailsIsStillRemoved)
{
    TWorkDir dir("safefile_heldtmp");
    WriteFileBytes(dir.Unix("a.txt"), "old");
    FileCalls calls;
    ASSERT_TRUE(calls.Hooked());
    // A scanner opens the new file as the rename comes, without letting it be deleted, for a moment;
    // the rename fails for good.
    calls.MoveError = ERROR_WRITE_PROTECT;
    HANDLE closer = nullptr;
    calls.OnMove = [&](const wchar_t* from) {
        HANDLE h = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        closer = CloseLater(h);
    };
    EXPECT_THROW(WriteWholeFile(dir.Win("a.txt"), "new"), EInOutError);
    ASSERT_NE(closer, nullptr);
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_EQ(ReadFileBytes(dir.Unix("a.txt")), "old");
    EXPECT_EQ(dir.Listing(), "a.txt");
}

TEST(SafeFile, MessagesAreThePlatformsInputOutputTexts)
{
    EXPECT_EQ(InOutErrorMessage(ERROR_ACCESS_DENIED), "File access denied");
    EXPECT_EQ(InOutErrorMessage(ERROR_FILE_NOT_FOUND), "File not found");
    EXPECT_EQ(InOutErrorMessage(ERROR_DISK_FULL), "Disk full");
    EXPECT_EQ(InOutErrorMessage(32), "I/O error 32");
}
