// Whole start-ups of Tovik.exe: without the link library, with one that lacks an export, with
// the sample configuration, with a settings file that cannot be written and a broken device file.
#include "StartupTestDriver.h"

namespace {

const char* const NotFound = "Библиотека Ravelport.dll не найдена";
const char* const CannotGoOn = "Проблемы при подключении к библиотеке\rДальнейшая работа невозможна";

// The picture of a window as the screen shows it, as a 24-bit BMP.
bool SaveWindowPicture(HWND w, const std::string& file)
{
    RECT r;
    if (!GetWindowRect(w, &r)) return false;
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    bool ok = false;
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD done;
        ok = WriteFile(h, &fh, sizeof fh, &done, nullptr) &&
             WriteFile(h, &bi.bmiHeader, sizeof bi.bmiHeader, &done, nullptr) &&
             WriteFile(h, bits, size, &done, nullptr);
        CloseHandle(h);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

TEST(Startup, WithoutLinkLibraryTellsTwiceEndsAndStillWritesSettings)
{
    tt::ProgramFolder dir("nolib");
    tt::TovikProcess p(dir.Path());
    ASSERT_TRUE(p.Started);
    ASSERT_TRUE(p.WaitExit()) << "the program must end by itself";
    EXPECT_EQ(p.Messages, (std::vector<std::string>{NotFound, CannotGoOn}));
    EXPECT_EQ(p.ExitCode(), 0u);
    ASSERT_TRUE(dir.Exists("main.ini"));
    EXPECT_EQ(dir.Ini("Settings", "lastcomspeed"), "0");
    EXPECT_EQ(dir.Ini("Settings", "lastaddr"), "1");
    EXPECT_EQ(dir.Ini("Settings", "LastDev"), "-1");
    EXPECT_EQ(dir.Ini("Settings", "lastlink"), "0");
    EXPECT_NE(dir.Ini("Settings", "lastcomport"), "<none>");
}

TEST(Startup, LibraryLackingOneExportGivesOnlyTheSecondMessage)
{
    tt::ProgramFolder dir("noretries");
    dir.Copy(tt::BuildFile("tests/system/noretries/Ravelport.dll"), "Ravelport.dll");
    dir.Write("main.ini", "[Settings]\r\nlastaddr=23\r\nlastlink=1\r\n");
    tt::TovikProcess p(dir.Path());
    ASSERT_TRUE(p.Started);
    ASSERT_TRUE(p.WaitExit());
    EXPECT_EQ(p.Messages, (std::vector<std::string>{CannotGoOn}));
    // The rest of start-up ran: the settings were loaded and are written back.
    EXPECT_EQ(dir.Ini("Settings", "lastaddr"), "23");
    EXPECT_EQ(dir.Ini("Settings", "lastlink"), "1");
}

TEST(Startup, SampleConfigurationShowsTheWindowAndKeepsTheChoices)
{
    tt::ProgramFolder dir("sample");
    dir.AddLinkLibrary();
    for (const char* f : {"rs20.ini", "kt3.ini", "vr5.ini"}) dir.Copy(tt::SourceFile(std::string("config/") + f), f);
    dir.Write("main.ini",
              "[Settings]\r\nlastcomspeed=3\r\nlastaddr=5\r\nlastlink=1\r\nLastDev=1\r\n"
              "[Main]\r\nCountDev=3\r\nDev1=rs20.ini\r\nDev2=kt3.ini\r\nDev3=vr5.ini\r\n");
    tt::TovikProcess p(dir.Path());
    ASSERT_TRUE(p.Started);
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr) << "messages: " << p.Messages.size();
    EXPECT_TRUE(p.Messages.empty()) << p.Messages[0];
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 750);
    EXPECT_EQ(r.bottom - r.top, 686);
    LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    // A picture for people to look at (scripts/screenshot-main turns it into a PNG).
    Sleep(1500);
    std::string shots = tt::BuildFile("screenshots");
    CreateDirectoryA(shots.c_str(), nullptr);
    EXPECT_TRUE(SaveWindowPicture(w, shots + "\\main-window.bmp"));

    p.Close();
    ASSERT_TRUE(p.WaitExit());
    EXPECT_TRUE(p.Messages.empty());
    EXPECT_EQ(dir.Ini("Settings", "lastcomspeed"), "3");
    EXPECT_EQ(dir.Ini("Settings", "lastaddr"), "5");
    EXPECT_EQ(dir.Ini("Settings", "lastlink"), "1");
    EXPECT_EQ(dir.Ini("Settings", "LastDev"), "1");
}

TEST(Startup, UnwritableSettingsAreReportedOnTheWayOut)
{
    tt::ProgramFolder dir("readonly");
    dir.AddLinkLibrary();
    // A folder in the place of main.ini: it reads as missing and cannot be written.
    ASSERT_TRUE(CreateDirectoryA((dir / "main.ini").c_str(), nullptr));
    tt::TovikProcess p(dir.Path());
    ASSERT_TRUE(p.Started);
    ASSERT_NE(p.WaitMainWindow(), nullptr);
    p.Close();
    ASSERT_TRUE(p.WaitExit());
    EXPECT_EQ(p.Messages, (std::vector<std::string>{"Unable to write to " + dir / "main.ini"}));
    EXPECT_EQ(p.ExitCode(), 0u);
}

TEST(Startup, BrokenDeviceFileIsNamedAndTheProgramGoesOn)
{
    tt::ProgramFolder dir("broken");
    dir.AddLinkLibrary();
    dir.Write("good.ini", "[settings]\r\nname=Исправный\r\n[s0]\r\nID=1\r\n");
    dir.Write("bad.ini", "[settings]\r\nname=Сломанный\r\n[s0]\r\nID=1\r\ntype=0=да;x=нет\r\n");
    dir.Write("main.ini", "[Settings]\r\nlastaddr=9\r\n[Main]\r\nCountDev=2\r\nDev1=good.ini\r\nDev2=bad.ini\r\n");
    tt::TovikProcess p(dir.Path());
    ASSERT_TRUE(p.Started);
    ASSERT_NE(p.WaitMainWindow(), nullptr);
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_NE(p.Messages[0].find(dir / "bad.ini"), std::string::npos) << p.Messages[0];
    EXPECT_NE(p.Messages[0].find("[s0]"), std::string::npos) << p.Messages[0];
    p.Close();
    ASSERT_TRUE(p.WaitExit());
    EXPECT_EQ(dir.Ini("Settings", "lastaddr"), "9");
}
