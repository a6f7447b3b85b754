// The serial port's settings in ini sections and registry keys, and the texts of their values.
#include <gtest/gtest.h>

#include <windows.h>

#include "IniFiles.h"
#include "Registry.h"
#include "SerialPort.h"

namespace {

std::string Lines(const TStringList& l)
{
    std::string s;
    for (const std::string& x : l)
        s += x + "\n";
    return s;
}

// ---- text conversions ------------------------------------------------------------------------

TEST(SerialSettingTexts, EveryNameParsesBackToItsValueWhateverItsCase)
{
    for (int i = brCustom; i <= br256000; ++i) {
        auto v = static_cast<TBaudRate>(i);
        EXPECT_EQ(v, ParseBaudRate(BaudRateText(v)));
        EXPECT_EQ(v, ParseBaudRate(LowerCase(BaudRateText(v))));
    }
    for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i)
        EXPECT_EQ(i, ParseStopBits(StopBitsText(static_cast<TStopBits>(i))));
    for (int i = dbFive; i <= dbEight; ++i)
        EXPECT_EQ(i, ParseDataBits(DataBitsText(static_cast<TDataBits>(i))));
    for (int i = prNone; i <= prSpace; ++i)
        EXPECT_EQ(i, ParseParity(UpperCase(ParityText(static_cast<TParityBits>(i)))));
    for (int i = fcHardware; i <= fcCustom; ++i)
        EXPECT_EQ(i, ParseFlowControl(FlowControlText(static_cast<TFlowControl>(i))));
    for (int i = dtrDisable; i <= dtrHandshake; ++i)
        EXPECT_EQ(i, ParseDTR(LowerCase(DTRText(static_cast<TDTRFlowControl>(i)))));
    for (int i = rtsDisable; i <= rtsToggle; ++i)
        EXPECT_EQ(i, ParseRTS(RTSText(static_cast<TRTSFlowControl>(i))));
    EXPECT_EQ("Custom", BaudRateText(brCustom));
    EXPECT_EQ("1.5", StopBitsText(sbOne5StopBits));
    EXPECT_EQ("Handshake", RTSText(rtsHandshake));
}

TEST(SerialSettingTexts, UnknownTextsFallBack)
{
    EXPECT_EQ(brCustom, ParseBaudRate("custom"));
    EXPECT_EQ(br9600, ParseBaudRate("4800 "));  // no trimming
    EXPECT_EQ(br9600, ParseBaudRate(""));
    EXPECT_EQ(sbOneStopBit, ParseStopBits("1.50"));
    EXPECT_EQ(dbEight, ParseDataBits("9"));
    EXPECT_EQ(prNone, ParseParity("NONE"));
    EXPECT_EQ(prNone, ParseParity("evenly"));
    EXPECT_EQ(fcCustom, ParseFlowControl("RTS/CTS"));
    EXPECT_EQ(dtrDisable, ParseDTR("on"));
    EXPECT_EQ(rtsDisable, ParseRTS(""));
}

TEST(SerialSettingTexts, YesNo)
{
    EXPECT_EQ("Yes", YesNoText(true));
    EXPECT_EQ("No", YesNoText(false));
    for (const char* t : {"yes", "Yes", "YES"})
        EXPECT_TRUE(ParseYesNo(t)) << t;
    for (const char* t : {"Y", "True", "1", "", " yes", "No"})
        EXPECT_FALSE(ParseYesNo(t)) << t;
}

TEST(SerialSettingTexts, Characters)
{
    EXPECT_EQ("#17", CharText(17));
    EXPECT_EQ("A", CharText(65));
    EXPECT_EQ("#32", CharText(32));
    EXPECT_EQ("!", CharText(33));
    EXPECT_EQ("\x7F", CharText(127));
    EXPECT_EQ("#128", CharText(128));
    EXPECT_EQ("#0", CharText(0));
    EXPECT_EQ("#255", CharText(255));
    EXPECT_EQ(0, ParseChar(""));
    EXPECT_EQ('#', ParseChar("#"));
    EXPECT_EQ(0, ParseChar("#x"));
    EXPECT_EQ('A', ParseChar("AB"));
    EXPECT_EQ(44, ParseChar("#300"));
    EXPECT_EQ(255, ParseChar("#-1"));
    EXPECT_EQ(17, ParseChar("#17"));
    EXPECT_EQ(0x1F, ParseChar("#$1F"));
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(c, ParseChar(CharText(static_cast<uint8_t>(c))));
}

// ---- ini files -------------------------------------------------------------------------------

class SerialIniStorage : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int n = 0;
        std::string unix = std::string(TOVIK_BINARY_DIR) + "/serialstorage-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++n) + ".ini";
        path = "Z:" + unix;
        for (char& c : path)
            if (c == '/') c = '\\';
        DeleteFileA(path.c_str());
        ini = std::make_unique<TIniFile>(path);
        port.SetName("Line");
    }
    void TearDown() override { DeleteFileA(path.c_str()); }
    std::string Section()
    {
        TStringList values;
        ini->ReadSectionValues("Line", values);
        return Lines(values);
    }

    std::string path;
    std::unique_ptr<TIniFile> ini;
    TSerialPort port{nullptr};
};

TEST_F(SerialIniStorage, ADefaultPortWritesSixKeys)
{
    port.WriteIniSettings(*ini);
    EXPECT_EQ("Port=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n",
              Section());
}

TEST_F(SerialIniStorage, NoGroupsWriteAndReadNothing)
{
    port.SetSettingGroups({});
    port.WriteIniSettings(*ini);
    EXPECT_FALSE(ini->SectionExists("Line"));
    ini->WriteString("Line", "Port", "COM7");
    port.ReadIniSettings(*ini);
    EXPECT_EQ("COM1", port.Port());
}

TEST_F(SerialIniStorage, EveryGroupWritesItsKeysInStorageOrder)
{
    port.SetSettingGroups({sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras});
    port.WriteIniSettings(*ini);
    EXPECT_EQ("Port=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n"
              "EventChar=#0\nDiscardNull=No\n"
              "Parity.Check=No\nParity.Replace=No\nParity.ReplaceChar=#0\n"
              "Buffer.OutputSize=1024\nBuffer.InputSize=1024\n"
              "Timeouts.ReadInterval=-1\nTimeouts.ReadTotalConstant=0\n"
              "Timeouts.ReadTotalMultiplier=0\nTimeouts.WriteTotalConstant=1000\n"
              "Timeouts.WriteTotalMultiplier=100\n"
              "FlowControl.ControlRTS=Disable\nFlowControl.ControlDTR=Disable\n"
              "FlowControl.DSRSensitivity=No\nFlowControl.OutCTSFlow=No\nFlowControl.OutDSRFlow=No\n"
              "FlowControl.TxContinueOnXoff=No\nFlowControl.XonXoffIn=No\nFlowControl.XonXoffOut=No\n"
              "FlowControl.XoffChar=#19\nFlowControl.XonChar=#17\n",
              Section());
}

TEST_F(SerialIniStorage, EverySettingSurvivesARoundTrip)
{
    TSettingGroups all{sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras};
    port.SetSettingGroups(all);
    port.SetPort("COM12");
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbSeven);
    port.SetEventChar(' ');
    port.SetDiscardNull(true);
    port.Parity()->SetBits(prMark);
    port.Parity()->SetCheck(true);
    port.Parity()->SetReplaceChar('?');
    port.Buffer()->SetInputSize(4096);
    port.Buffer()->SetOutputSize(512);
    port.Timeouts()->SetReadInterval(-2);
    port.Timeouts()->SetWriteTotalConstant(77);
    TSerialFlowControl* f = port.FlowControl();
    f->SetControlRTS(rtsToggle);
    f->SetControlDTR(dtrHandshake);
    f->SetOutDSRFlow(true);
    f->SetXonXoffIn(true);
    f->SetXonChar(200);
    port.WriteIniSettings(*ini);
    EXPECT_NE(std::string::npos, Section().find("FlowControl=Custom\n"));
    EXPECT_NE(std::string::npos, Section().find("EventChar=#32\n"));

    TSerialPort back(nullptr);
    back.SetName("Line");
    back.SetSettingGroups(all);
    back.ReadIniSettings(*ini);
    EXPECT_EQ("COM12", back.Port());
    EXPECT_EQ(br57600, back.BaudRate());
    EXPECT_EQ(sbTwoStopBits, back.StopBits());
    EXPECT_EQ(dbSeven, back.DataBits());
    EXPECT_EQ(' ', back.EventChar());
    EXPECT_TRUE(back.DiscardNull());
    EXPECT_EQ(prMark, back.Parity()->Bits());
    EXPECT_TRUE(back.Parity()->Check());
    EXPECT_FALSE(back.Parity()->Replace());
    EXPECT_EQ('?', back.Parity()->ReplaceChar());
    EXPECT_EQ(4096, back.Buffer()->InputSize());
    EXPECT_EQ(512, back.Buffer()->OutputSize());
    EXPECT_EQ(-2, back.Timeouts()->ReadInterval());
    EXPECT_EQ(77, back.Timeouts()->WriteTotalConstant());
    EXPECT_EQ(100, back.Timeouts()->WriteTotalMultiplier());
    EXPECT_EQ(rtsToggle, back.FlowControl()->ControlRTS());
    EXPECT_EQ(dtrHandshake, back.FlowControl()->ControlDTR());
    EXPECT_TRUE(back.FlowControl()->OutDSRFlow());
    EXPECT_TRUE(back.FlowControl()->XonXoffIn());
    EXPECT_FALSE(back.FlowControl()->XonXoffOut());
    EXPECT_EQ(200, back.FlowControl()->XonChar());
    EXPECT_EQ(19, back.FlowControl()->XoffChar());

    // With the basic group alone, "Custom" changes no flow field.
    TSerialPort basic(nullptr);
    basic.SetName("Line");
    basic.FlowControl()->SetFlowControl(fcHardware);
    basic.ReadIniSettings(*ini);
    EXPECT_EQ(fcHardware, basic.FlowControl()->FlowControl());
}

TEST_F(SerialIniStorage, ACustomBaudRateWritesAndReadsItsNumber)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.WriteIniSettings(*ini);
    EXPECT_EQ("Port=COM1\nBaudRate=Custom\nCustomBaudRate=31250\nStopBits=1\nDataBits=8\n"
              "Parity=None\nFlowControl=None\n",
              Section());

    TSerialPort back(nullptr);
    back.SetName("Line");
    ini->WriteString("Line", "BaudRate", "custom");
    back.ReadIniSettings(*ini);
    EXPECT_EQ(brCustom, back.BaudRate());
    EXPECT_EQ(31250, back.CustomBaudRate());

    // No stored number: 9600, whatever the port had.
    ini->DeleteKey("Line", "CustomBaudRate");
    back.SetCustomBaudRate(4);
    back.ReadIniSettings(*ini);
    EXPECT_EQ(9600, back.CustomBaudRate());

    // Not custom: the number is neither written nor read; an old one stays.
    ini->WriteString("Line", "CustomBaudRate", "555");
    port.SetBaudRate(br4800);
    port.WriteIniSettings(*ini);
    EXPECT_EQ("555", ini->ReadString("Line", "CustomBaudRate", ""));
    back.ReadIniSettings(*ini);
    EXPECT_EQ(br4800, back.BaudRate());
    EXPECT_EQ(9600, back.CustomBaudRate());
}

TEST_F(SerialIniStorage, MissingKeysLeaveTheirPropertiesAlone)
{
    port.SetSettingGroups({sgBasic, sgBuffer, sgParityDetails});
    port.SetStopBits(sbTwoStopBits);
    port.Buffer()->SetInputSize(2048);
    port.Parity()->SetReplaceChar('x');
    ini->WriteString("Line", "DataBits", "7");
    ini->WriteString("Line", "Buffer.OutputSize", "256");
    ini->WriteString("Line", "Parity.Check", "yes");
    ini->WriteString("Line", "Buffer.InputSize", "lots");  // not a number: the current value
    port.ReadIniSettings(*ini);
    EXPECT_EQ(dbSeven, port.DataBits());
    EXPECT_EQ(256, port.Buffer()->OutputSize());
    EXPECT_TRUE(port.Parity()->Check());
    EXPECT_EQ("COM1", port.Port());
    EXPECT_EQ(sbTwoStopBits, port.StopBits());
    EXPECT_EQ(2048, port.Buffer()->InputSize());
    EXPECT_EQ('x', port.Parity()->ReplaceChar());
}

// ---- registry --------------------------------------------------------------------------------

class SerialRegistryStorage : public ::testing::Test {
protected:
    void SetUp() override
    {
        key = "Software\\TovikTests\\SerialStorage" + std::to_string(GetCurrentProcessId());
        reg.SetRootKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(key, true));
    }
    void TearDown() override
    {
        reg.CloseKey();
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    }
    DWORD Kind(const char* name)
    {
        DWORD type = 0;
        RegQueryValueExA(reg.CurrentKey(), name, nullptr, &type, nullptr, nullptr);
        return type;
    }

    std::string key;
    TRegistry reg;
    TSerialPort port{nullptr};
};

TEST_F(SerialRegistryStorage, ValuesGoDirectlyIntoTheOpenKeyAndComeBack)
{
    TSettingGroups all{sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras};
    port.SetSettingGroups(all);
    port.SetPort("COM3");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.FlowControl()->SetFlowControl(fcSoftware);
    port.Timeouts()->SetReadTotalMultiplier(5);
    port.WriteRegistrySettings(reg);

    TStringList names;
    reg.GetValueNames(names);
    EXPECT_EQ(29, names.Count());
    TStringList subkeys;
    reg.GetKeyNames(subkeys);
    EXPECT_EQ(0, subkeys.Count());
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Kind("BaudRate"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), Kind("Timeouts.ReadInterval"));
    EXPECT_EQ(-1, reg.ReadInteger("Timeouts.ReadInterval"));
    EXPECT_EQ("Software", reg.ReadString("FlowControl"));
    EXPECT_EQ("#19", reg.ReadString("FlowControl.XoffChar"));

    TSerialPort back(nullptr);
    back.SetSettingGroups(all);
    back.ReadRegistrySettings(reg);
    EXPECT_EQ("COM3", back.Port());
    EXPECT_EQ(brCustom, back.BaudRate());
    EXPECT_EQ(250000, back.CustomBaudRate());
    EXPECT_EQ(fcSoftware, back.FlowControl()->FlowControl());
    EXPECT_EQ(5, back.Timeouts()->ReadTotalMultiplier());
    EXPECT_EQ(-1, back.Timeouts()->ReadInterval());
}

TEST_F(SerialRegistryStorage, MissingTextsReadAsEmpty)
{
    port.SetSettingGroups({sgBasic, sgExtras, sgParityDetails});
    port.SetBaudRate(br1200);
    port.SetEventChar('E');
    port.Parity()->SetCheck(true);
    reg.WriteString("DataBits", "6");
    port.ReadRegistrySettings(reg);
    EXPECT_EQ("", port.Port());
    EXPECT_EQ(br9600, port.BaudRate());
    EXPECT_EQ(dbSix, port.DataBits());
    EXPECT_EQ(0, port.EventChar());
    EXPECT_FALSE(port.Parity()->Check());
}

TEST_F(SerialRegistryStorage, AMissingIntegerStopsTheReadAtItsKey)
{
    TSettingGroups all{sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras};
    TSerialPort source(nullptr);
    source.SetSettingGroups(all);
    source.SetPort("COM9");
    source.SetDiscardNull(true);
    source.Parity()->SetReplace(true);
    source.Buffer()->SetInputSize(64);
    source.Timeouts()->SetWriteTotalConstant(5);
    source.FlowControl()->SetXonXoffOut(true);
    source.WriteRegistrySettings(reg);
    reg.DeleteValue("Buffer.OutputSize");

    port.SetSettingGroups(all);
    EXPECT_THROW(port.ReadRegistrySettings(reg), ERegistryException);
    // The groups before the buffer sizes are read ...
    EXPECT_EQ("COM9", port.Port());
    EXPECT_TRUE(port.DiscardNull());
    EXPECT_TRUE(port.Parity()->Replace());
    // ... and nothing from the failing key on.
    EXPECT_EQ(1024, port.Buffer()->InputSize());
    EXPECT_EQ(1000, port.Timeouts()->WriteTotalConstant());
    EXPECT_FALSE(port.FlowControl()->XonXoffOut());

    // A text where an integer belongs is an error as well.
    reg.WriteString("Buffer.OutputSize", "1024");
    EXPECT_THROW(port.ReadRegistrySettings(reg), ERegistryException);
}

}  // namespace
