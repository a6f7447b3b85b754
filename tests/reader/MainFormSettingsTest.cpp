// main.ini: defaults, the round trip of every key, values out of range, a file that cannot be
// written; and the serial port list taken from the registry.
#include "MainFormTestSupport.h"

using tt::FormTest;

namespace {

class SettingsTest : public FormTest {
protected:
    // Two devices, so that LastDev has something to choose.
    void TwoDevices(const std::string& settings)
    {
        Dir.Write("a.ini", "[settings]\r\nname=Первый\r\n");
        Dir.Write("b.ini", "[settings]\r\nname=Второй\r\n");
        Dir.Write("main.ini", settings + "[Main]\r\nCountDev=2\r\nDev1=a.ini\r\nDev2=b.ini\r\n");
    }
};

}  // namespace

TEST_F(SettingsTest, DefaultsWithoutMainIni)
{
    tt::PortRegistry ports({"COM3", "COM1"});
    ASSERT_TRUE(ports.Works);
    Start();
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 0);
    EXPECT_EQ(Form->cbxSpeed->ItemIndex(), 0) << "the file's default, not the window's 19200";
    EXPECT_EQ(Form->EdtAddr->Text(), "1");
    EXPECT_EQ(Form->FAddr, 1);
    EXPECT_EQ(Form->FRetries, 5);
    EXPECT_EQ(Form->rgrRsType->ItemIndex(), 0);
    EXPECT_EQ(Form->cbxDev->Items().Count(), 0);
    EXPECT_TRUE(Form->FDevices.empty());
    EXPECT_EQ(Form->FDevice, nullptr);
    EXPECT_TRUE(Dialogs.Texts().empty());
    Stop();

    EXPECT_EQ(Ini("Settings", "lastcomport"), "COM1");
    EXPECT_EQ(Ini("Settings", "lastcomspeed"), "0");
    EXPECT_EQ(Ini("Settings", "lastaddr"), "1");
    EXPECT_EQ(Ini("Settings", "LastDev"), "-1");
    EXPECT_EQ(Ini("Settings", "lastlink"), "0");
    // Kept by hand, never written.
    EXPECT_EQ(Ini("Settings", "Retries"), "<none>");
    EXPECT_EQ(Ini("Main", "CountDev"), "<none>");
}

TEST_F(SettingsTest, KeysAreWrittenInTheirOrder)
{
    tt::PortRegistry ports({"COM4"});
    ASSERT_TRUE(ports.Works);
    Start();
    Stop();
    // A new file keeps the keys in the order they were written.
    HANDLE h = CreateFileA((Dir / "main.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[1024];
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf, &n, nullptr);
    CloseHandle(h);
    std::string text(buf, n);
    std::vector<size_t> at;
    for (const char* key : {"[Settings]", "lastcomport=COM4", "lastcomspeed=0", "lastaddr=1",
                            "LastDev=-1", "lastlink=0"}) {
        at.push_back(text.find(key));
        ASSERT_NE(at.back(), std::string::npos) << key << " in " << text;
    }
    for (size_t i = 1; i < at.size(); ++i) EXPECT_LT(at[i - 1], at[i]) << text;
    EXPECT_EQ(text.find("Retries"), std::string::npos);
    EXPECT_EQ(text.find("[Main]"), std::string::npos);
}

TEST_F(SettingsTest, EveryKeyRoundTrips)
{
    tt::PortRegistry ports({"COM1", "COM2", "COM7"});
    ASSERT_TRUE(ports.Works);
    TwoDevices("[Settings]\r\nlastcomport=COM7\r\nlastcomspeed=2\r\nlastaddr=17\r\nRetries=9\r\n"
               "lastlink=1\r\nLastDev=1\r\n");
    Start();
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 2);
    EXPECT_EQ(Form->cbxSpeed->ItemIndex(), 2);
    EXPECT_EQ(Form->EdtAddr->Text(), "17");
    EXPECT_EQ(Form->FAddr, 17);
    EXPECT_EQ(Form->FRetries, 9);
    EXPECT_EQ(Form->rgrRsType->ItemIndex(), 1);
    EXPECT_EQ(Form->cbxDev->ItemIndex(), 1);

    Form->cbxPort->SetItemIndex(1);
    Form->cbxSpeed->SetItemIndex(4);
    Form->EdtAddr->SetText("42");
    Form->rgrRsType->SetItemIndex(0);
    Form->cbxDev->SetItemIndex(0);
    Stop();

    EXPECT_EQ(Ini("Settings", "lastcomport"), "COM2");
    EXPECT_EQ(Ini("Settings", "lastcomspeed"), "4");
    EXPECT_EQ(Ini("Settings", "lastaddr"), "42");
    EXPECT_EQ(Ini("Settings", "LastDev"), "0");
    EXPECT_EQ(Ini("Settings", "lastlink"), "0");
    EXPECT_EQ(Ini("Settings", "Retries"), "9");
    EXPECT_EQ(Ini("Main", "CountDev"), "2");
    EXPECT_EQ(Ini("Main", "Dev2"), "b.ini");

    // What was written comes back the same.
    Start();
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 1);
    EXPECT_EQ(Form->cbxSpeed->ItemIndex(), 4);
    EXPECT_EQ(Form->FAddr, 42);
    EXPECT_EQ(Form->rgrRsType->ItemIndex(), 0);
    EXPECT_EQ(Form->cbxDev->ItemIndex(), 0);
}

TEST_F(SettingsTest, LinkTypeOutsideTheTwoBecomes232)
{
    for (const char* v : {"2", "-1", "x"}) {
        SCOPED_TRACE(v);
        Dir.Write("main.ini", std::string("[Settings]\r\nlastlink=") + v + "\r\n");
        Start();
        EXPECT_EQ(Form->rgrRsType->ItemIndex(), 0);
        Stop();
        EXPECT_EQ(Ini("Settings", "lastlink"), "0");
    }
}

TEST_F(SettingsTest, DeviceIndexOutsideTheListSelectsNone)
{
    TwoDevices("[Settings]\r\nLastDev=2\r\n");
    Start();
    EXPECT_EQ(Form->cbxDev->Items().Count(), 2);
    EXPECT_EQ(Form->cbxDev->ItemIndex(), -1);
    Stop();
    EXPECT_EQ(Ini("Settings", "LastDev"), "-1");
}

TEST_F(SettingsTest, SpeedOutsideTheListSelectsNone)
{
    Dir.Write("main.ini", "[Settings]\r\nlastcomspeed=5\r\n");
    Start();
    EXPECT_EQ(Form->cbxSpeed->ItemIndex(), -1);
    Stop();
    EXPECT_EQ(Ini("Settings", "lastcomspeed"), "-1");
}

TEST_F(SettingsTest, AddressThatIsNoIntegerLeavesTheKeyAndTheRestIsWritten)
{
    TwoDevices("[Settings]\r\nlastaddr=5\r\nLastDev=0\r\n");
    Start();
    Form->EdtAddr->SetText("12a");
    Form->cbxDev->SetItemIndex(1);
    Form->rgrRsType->SetItemIndex(1);
    Stop();
    EXPECT_EQ(Ini("Settings", "lastaddr"), "5");
    EXPECT_EQ(Ini("Settings", "LastDev"), "1");
    EXPECT_EQ(Ini("Settings", "lastlink"), "1");
}

TEST_F(SettingsTest, UnwritableSettingsFileIsReportedAndNothingElseBreaks)
{
    // main.ini is a folder here: reading gives the defaults, writing fails.
    ASSERT_TRUE(CreateDirectoryA((Dir / "main.ini").c_str(), nullptr));
    Start();
    EXPECT_EQ(Form->FRetries, 5);
    Stop();
    std::vector<std::string> shown = Dialogs.Texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Unable to write to " + Dir / "main.ini");
}

TEST_F(SettingsTest, LastPortIsMatchedExactly)
{
    tt::PortRegistry ports({"COM2", "COM10", "COM1"});
    ASSERT_TRUE(ports.Works);
    Dir.Write("main.ini", "[Settings]\r\nlastcomport=com2\r\n");
    Start();
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 0) << "case differs: the first entry stays";
    Stop();
    EXPECT_EQ(Ini("Settings", "lastcomport"), "COM1");

    Dir.Write("main.ini", "[Settings]\r\nlastcomport=COM2\r\n");
    Start();
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 2);
}

TEST_F(SettingsTest, PortsAreSortedAsTextWithTheirNumbers)
{
    tt::PortRegistry ports({"COM2", "COM10", "COM1"});
    ASSERT_TRUE(ports.Works);
    Start();
    ASSERT_EQ(Form->cbxPort->Items().Count(), 3);
    EXPECT_EQ(Form->cbxPort->Items().Strings(0), "COM1");
    EXPECT_EQ(Form->cbxPort->Items().Strings(1), "COM10");
    EXPECT_EQ(Form->cbxPort->Items().Strings(2), "COM2");
    EXPECT_EQ(Form->FPorts, (std::vector<int32_t>{1, 10, 2}));
    EXPECT_EQ(Form->cbxPort->ItemIndex(), 0);
}

TEST_F(SettingsTest, SortIgnoresLetterCase)
{
    tt::PortRegistry ports({"com3", "COM20", "Com1"});
    ASSERT_TRUE(ports.Works);
    Start();
    ASSERT_EQ(Form->cbxPort->Items().Count(), 3);
    EXPECT_EQ(Form->cbxPort->Items().Strings(0), "Com1");
    EXPECT_EQ(Form->cbxPort->Items().Strings(1), "COM20");
    EXPECT_EQ(Form->cbxPort->Items().Strings(2), "com3");
    EXPECT_EQ(Form->FPorts, (std::vector<int32_t>{1, 20, 3}));
}

TEST_F(SettingsTest, NoPortKeyLeavesAnEmptyList)
{
    tt::PortRegistry ports({}, false);
    ASSERT_TRUE(ports.Works);
    Dir.Write("main.ini", "[Settings]\r\nlastcomport=COM4\r\n");
    Start();
    EXPECT_EQ(Form->cbxPort->Items().Count(), 0);
    EXPECT_TRUE(Form->FPorts.empty());
    EXPECT_EQ(Form->cbxPort->ItemIndex(), -1);
    // The box is cleared, its stored placeholder text with it.
    EXPECT_EQ(Form->cbxPort->Text(), "");
    Stop();
    EXPECT_EQ(Ini("Settings", "lastcomport"), "");
}

// main.ini and a device file saved as Unicode (Notepad's "Unicode" and "UTF-8" among them): read
// in their encoding, the byte-order mark no part of the first section's name, and main.ini
// written back on the way out in its encoding with every other line as it was, letters cp1251
// lacks included.
TEST_F(SettingsTest, UnicodeFilesAreReadAndWrittenBackInTheirEncoding)
{
    tt::PortRegistry ports({"COM3"});
    ASSERT_TRUE(ports.Works);
    // Written back: lastaddr changed, LastDev added after the section's last key.
    auto ini = [](const wchar_t* addr, const wchar_t* added) {
        return L"[Settings]\r\nlastcomport=COM3\r\nlastcomspeed=2\r\nlastaddr=" + std::wstring(addr) +
               L"\r\nlastlink=1\r\n" + added + L"; заметка café 中文\r\n"
               L"[Приборы]\r\nОбщий=да\r\n"
               L"[Main]\r\nCountDev=1\r\nDev1=dev.ini";
    };
    for (const auto& e : tovik::testing::kUnicodeEncodings) {
        SCOPED_TRACE(e.name);
        Dir.Write("dev.ini", e.bytes(L"[settings]\r\nname=Регистратор\r\n"));
        Dir.Write("main.ini", e.bytes(ini(L"17", L"")));
        Start();
        EXPECT_EQ(Form->EdtAddr->Text(), "17");
        EXPECT_EQ(Form->rgrRsType->ItemIndex(), 1);
        ASSERT_EQ(Form->cbxDev->Items().Count(), 1);
        EXPECT_EQ(Form->cbxDev->Items().Strings(0), "Регистратор");
        Form->EdtAddr->SetText("42");
        Stop();
        HANDLE h = CreateFileA((Dir / "main.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buf[4096];
        DWORD n = 0;
        ReadFile(h, buf, sizeof buf, &n, nullptr);
        CloseHandle(h);
        EXPECT_EQ(std::string(buf, n), e.bytes(ini(L"42", L"LastDev=-1\r\n")));
    }
}

TEST(PortNumberFromName, NumberAfterTheThirdCharacter)
{
    EXPECT_EQ(TForm1::PortNumberFromName("COM1"), 1);
    EXPECT_EQ(TForm1::PortNumberFromName("COM10"), 10);
    EXPECT_EQ(TForm1::PortNumberFromName("COM255"), 255);
    EXPECT_EQ(TForm1::PortNumberFromName("COM$1F"), 31);
    // One byte: higher numbers keep their low 8 bits.
    EXPECT_EQ(TForm1::PortNumberFromName("COM300"), 44);
    // Too short or no number: port 1.
    EXPECT_EQ(TForm1::PortNumberFromName("COM"), 1);
    EXPECT_EQ(TForm1::PortNumberFromName("CO"), 1);
    EXPECT_EQ(TForm1::PortNumberFromName(""), 1);
    EXPECT_EQ(TForm1::PortNumberFromName("COMA"), 1);
    EXPECT_EQ(TForm1::PortNumberFromName("COM5x"), 1);
}
