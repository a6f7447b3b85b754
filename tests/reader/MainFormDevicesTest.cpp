// Device description files: the device list of main.ini, archives, parameters, value types,
// code-text lists, and what a broken file does to start-up.
#include "MainFormTestSupport.h"

using tt::FormTest;

namespace {

class DevicesTest : public FormTest {
protected:
    // main.ini naming the given files as Dev1..DevN.
    void DeviceList(const std::vector<std::string>& files, int count = -1)
    {
        std::string s = "[Main]\r\nCountDev=" +
                        std::to_string(count < 0 ? static_cast<int>(files.size()) : count) + "\r\n";
        for (size_t i = 0; i < files.size(); ++i)
            if (!files[i].empty()) s += "Dev" + std::to_string(i + 1) + "=" + files[i] + "\r\n";
        Dir.Write("main.ini", s);
    }
    // One device whose [settings] and parameter sections are given.
    const TDevInfo& OneDevice(const std::string& content)
    {
        Dir.Write("dev.ini", content);
        DeviceList({"dev.ini"});
        Start();
        EXPECT_EQ(Form->FDevices.size(), 1u);
        return *Form->FDevices.at(0);
    }
};

std::vector<TValueStr> ListOf(const std::string& text)
{
    std::vector<std::unique_ptr<TRecType>> list;
    TForm1::AddListParam(list, 7, "p", text);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->ValType, 256);
    EXPECT_NE(list[0]->Values, nullptr);
    return list[0]->Values ? *list[0]->Values : std::vector<TValueStr>{};
}

}  // namespace

TEST_F(DevicesTest, DevicesFollowMainIniUntilTheFirstGap)
{
    Dir.Write("a.ini", "[settings]\r\nname=Первый\r\n");
    Dir.Write("c.ini", "[settings]\r\nname=Третий\r\n");
    DeviceList({"a.ini", "", "c.ini"});
    Start();
    ASSERT_EQ(Form->FDevices.size(), 1u);
    EXPECT_EQ(Form->FDevices[0]->name, "Первый");
    ASSERT_EQ(Form->cbxDev->Items().Count(), 1);
    EXPECT_EQ(Form->cbxDev->Items().Strings(0), "Первый");
}

TEST_F(DevicesTest, MissingFileGivesADeviceWithDefaults)
{
    DeviceList({"nosuch.ini"});
    Start();
    ASSERT_EQ(Form->FDevices.size(), 1u);
    const TDevInfo& d = *Form->FDevices[0];
    EXPECT_EQ(d.name, "прибор");
    EXPECT_EQ(d.archtypecount, 0);
    EXPECT_TRUE(d.Params.empty());
    EXPECT_EQ(Form->cbxDev->Items().Strings(0), "прибор");
    EXPECT_TRUE(Dialogs.Texts().empty());
}

TEST_F(DevicesTest, ArchivesAndVersionParts)
{
    const TDevInfo& d = OneDevice(
        "[settings]\r\nname=Прибор-1\r\narchtypecount=2\r\nveraa=1\r\nverbb=2\r\nvercc=3\r\n"
        "verdd=0x10\r\n"
        "ArchCountRec1=1000\r\narchnum1=3\r\nArchReg1=300010\r\nArchName1=Калибровочный журнал\r\n"
        "StartTime1=1970\r\nArchCycle1=1\r\nArchIsWorkTime1=1\r\nArchRegOverFlow1=400020\r\n"
        "ArchStandart1=259\r\n"
        "ArchName2=Второй\r\n");
    EXPECT_EQ(d.name, "Прибор-1");
    EXPECT_EQ(d.veraa, 1);
    EXPECT_EQ(d.verbb, 2);
    EXPECT_EQ(d.vercc, 3);
    EXPECT_EQ(d.verdd, 16);
    ASSERT_EQ(d.archtypecount, 2);
    const TJournalInfo& a = d.Archive(1);
    EXPECT_EQ(a.ArchCountRec, 1000);
    EXPECT_EQ(a.archnum, 3);
    EXPECT_EQ(a.ArchReg, 300010);
    EXPECT_EQ(a.ArchName, "Калибровочный журнал");
    EXPECT_TRUE(a.ArchAbsTime);
    EXPECT_TRUE(a.ArchCycle);
    EXPECT_TRUE(a.ArchIsWorkTime);
    EXPECT_EQ(a.ArchRegOverFlow, 400020);
    EXPECT_EQ(a.ArchStandart, 3) << "only the low 8 bits are kept";
    // Keys left out take their defaults.
    const TJournalInfo& b = d.Archive(2);
    EXPECT_EQ(b.ArchName, "Второй");
    EXPECT_EQ(b.ArchCountRec, -1);
    EXPECT_EQ(b.archnum, -1);
    EXPECT_EQ(b.ArchReg, -1);
    EXPECT_FALSE(b.ArchAbsTime);
    EXPECT_FALSE(b.ArchCycle);
    EXPECT_FALSE(b.ArchIsWorkTime);
    EXPECT_EQ(b.ArchRegOverFlow, 0);
    EXPECT_EQ(b.ArchStandart, 0);
}

TEST_F(DevicesTest, OnlyTheYear1970MakesAbsoluteTimeAndAnyNonZeroCycleIsARing)
{
    const TDevInfo& d = OneDevice(
        "[settings]\r\narchtypecount=3\r\n"
        "StartTime1=1969\r\nArchCycle1=5\r\n"
        "StartTime2=2000\r\nArchCycle2=true\r\n"
        "StartTime3=1970\r\nArchCycle3=0\r\n");
    EXPECT_FALSE(d.Archive(1).ArchAbsTime);
    EXPECT_TRUE(d.Archive(1).ArchCycle);
    EXPECT_FALSE(d.Archive(2).ArchAbsTime);
    EXPECT_FALSE(d.Archive(2).ArchCycle) << "a word is no integer: the default";
    EXPECT_TRUE(d.Archive(3).ArchAbsTime);
    EXPECT_FALSE(d.Archive(3).ArchCycle);
}

TEST_F(DevicesTest, MoreThanSixArchivesKeepsTheFirstSixAndSaysSo)
{
    std::string s = "[settings]\r\nname=Много\r\narchtypecount=8\r\n";
    for (int j = 1; j <= 8; ++j) s += "ArchName" + std::to_string(j) + "=A" + std::to_string(j) + "\r\n";
    const TDevInfo& d = OneDevice(s);
    EXPECT_EQ(d.archtypecount, 6);
    EXPECT_EQ(d.Archive(6).ArchName, "A6");
    std::vector<std::string> shown = Dialogs.Texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Файл " + Dir / "dev.ini" + " описывает архивов: 8. Загружены первые 6.");
}

TEST_F(DevicesTest, NoArchivesWhenTheCountIsNotPositive)
{
    const TDevInfo& d = OneDevice("[settings]\r\narchtypecount=-2\r\nArchName1=X\r\n");
    EXPECT_LE(d.archtypecount, 0);
    EXPECT_EQ(d.Archive(1).ArchName, "???");
}

TEST_F(DevicesTest, ParametersInFileOrderWithTheirTypes)
{
    tt::DebugOutput debug;
    const TDevInfo& d = OneDevice(
        "[settings]\r\nname=P\r\n"
        "[s0]\r\nID=10\r\nname=Давление\r\ntype=4\r\n"
        "[s1]\r\nID=$11\r\nname=Без типа\r\n"
        "[s2]\r\nID=12\r\ntype=5\r\n"
        "[s3]\r\nID=13\r\nname=Слово\r\ntype=ubyte\r\n"
        "[s4]\r\nID=0x0E\r\nname=Клапан\r\ntype=0=закрыт;1=открыт\r\n"
        "[s6]\r\nID=99\r\nname=after the gap\r\n");
    ASSERT_EQ(d.Params.size(), 5u);
    const TRecType& p0 = *d.Params[0];
    EXPECT_EQ(p0.ID, 10);
    EXPECT_EQ(p0.Name, "Давление");
    EXPECT_EQ(p0.ValType, 4);
    EXPECT_EQ(p0.Values, nullptr);
    EXPECT_TRUE(p0.Events.empty());
    EXPECT_EQ(d.Params[1]->ID, 17);
    EXPECT_EQ(d.Params[1]->ValType, 18) << "no type key: unsigned 16-bit";
    EXPECT_EQ(d.Params[2]->Name, "???");
    EXPECT_EQ(d.Params[2]->ValType, 5);
    EXPECT_EQ(d.Params[2]->Values, nullptr);
    // A misspelt type is a list without entries.
    EXPECT_EQ(d.Params[3]->ValType, 256);
    ASSERT_NE(d.Params[3]->Values, nullptr);
    EXPECT_TRUE(d.Params[3]->Values->empty());
    const TRecType& p4 = *d.Params[4];
    EXPECT_EQ(p4.ID, 14);
    EXPECT_EQ(p4.ValType, 256);
    ASSERT_NE(p4.Values, nullptr);
    ASSERT_EQ(p4.Values->size(), 2u);
    EXPECT_EQ((*p4.Values)[0].Code, 0);
    EXPECT_EQ((*p4.Values)[0].Text, "закрыт");
    EXPECT_EQ((*p4.Values)[1].Code, 1);
    EXPECT_EQ((*p4.Values)[1].Text, "открыт");
    // Each section tried is told to the debugger, the one that ends the list too.
    EXPECT_EQ(debug.Lines, (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
}

TEST_F(DevicesTest, NoIdInTheFirstSectionMeansNoParameters)
{
    tt::DebugOutput debug;
    const TDevInfo& d = OneDevice("[settings]\r\nname=P\r\n[s0]\r\nname=x\r\n[s1]\r\nID=1\r\n");
    EXPECT_TRUE(d.Params.empty());
    EXPECT_EQ(debug.Lines, (std::vector<std::string>{"0"}));
}

TEST_F(DevicesTest, ListWithBlanksKeepsThemAsNoBreakSpaces)
{
    const TDevInfo& d = OneDevice("[settings]\r\n[s0]\r\nID=1\r\ntype=0=нет связи;1=есть связь\r\n");
    ASSERT_EQ(d.Params.size(), 1u);
    ASSERT_EQ(d.Params[0]->Values->size(), 2u);
    EXPECT_EQ((*d.Params[0]->Values)[0].Text, "нет\xA0связи");
    EXPECT_EQ((*d.Params[0]->Values)[1].Text, "есть\xA0связь");
}

TEST(CodeTextList, TrailingSemicolonAddsNothingUsable)
{
    std::vector<TValueStr> v = ListOf("0=нет;1=да;");
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].Text, "нет");
    EXPECT_EQ(v[1].Text, "да");
}

TEST(CodeTextList, TextKeepsFurtherEqualsSigns)
{
    std::vector<TValueStr> v = ListOf("2=a=b;3=");
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].Code, 2);
    EXPECT_EQ(v[0].Text, "a=b");
    EXPECT_EQ(v[1].Code, 3);
    EXPECT_EQ(v[1].Text, "");
}

TEST(CodeTextList, QuotedEntriesMayHoldSemicolonsAndQuotes)
{
    std::vector<TValueStr> v = ListOf("\"1=a;b\";\"2=say \"\"hi\"\"\";3=c");
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].Code, 1);
    EXPECT_EQ(v[0].Text, "a;b");
    EXPECT_EQ(v[1].Code, 2);
    EXPECT_EQ(v[1].Text, "say\xA0\"hi\"");
    EXPECT_EQ(v[2].Text, "c");
}

TEST(CodeTextList, ControlCharactersSeparateEntries)
{
    std::vector<TValueStr> v = ListOf("\t0=a\t1=b ;\r\n2=c");
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].Text, "a");
    EXPECT_EQ(v[1].Text, "b\xA0");
    EXPECT_EQ(v[2].Code, 2);
}

TEST(CodeTextList, EntriesWithoutEqualsAreSkipped)
{
    EXPECT_TRUE(ListOf("").empty());
    EXPECT_TRUE(ListOf("ubyte").empty());
    std::vector<TValueStr> v = ListOf("x;5=пять;;y");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].Code, 5);
}

TEST(CodeTextList, CodesTakeHexadecimal)
{
    std::vector<TValueStr> v = ListOf("$FF=все;-1=нет");
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].Code, 255);
    EXPECT_EQ(v[1].Code, -1);
}

TEST(CodeTextList, CodeThatIsNoIntegerIsAFormatError)
{
    std::vector<std::unique_ptr<TRecType>> list;
    for (const char* bad : {"=x", "a=b", "0=a; 1=b", "1 =b"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(TForm1::AddListParam(list, 1, "p", bad), EConvertError);
    }
    EXPECT_TRUE(list.empty()) << "nothing half-made is appended";
}

TEST_F(DevicesTest, BrokenListNamesFileAndSectionAndStartUpGoesOn)
{
    Dir.Write("a.ini", "[settings]\r\nname=Хороший\r\n[s0]\r\nID=1\r\n");
    Dir.Write("b.ini", "[settings]\r\nname=Плохой\r\n[s0]\r\nID=1\r\n[s1]\r\nID=2\r\ntype=0=a; 1=b\r\n");
    Dir.Write("c.ini", "[settings]\r\nname=Третий\r\n");
    Dir.Write("main.ini", "[Settings]\r\nLastDev=0\r\nlastaddr=7\r\n"
                          "[Main]\r\nCountDev=3\r\nDev1=a.ini\r\nDev2=b.ini\r\nDev3=c.ini\r\n");
    Start();
    std::vector<std::string> shown = Dialogs.Texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(Dir / "b.ini"), std::string::npos) << shown[0];
    EXPECT_NE(shown[0].find("s1"), std::string::npos) << shown[0];
    // The devices before it stay; the broken one is not offered half-read.
    ASSERT_EQ(Form->FDevices.size(), 1u);
    EXPECT_EQ(Form->FDevices[0]->name, "Хороший");
    ASSERT_EQ(Form->cbxDev->Items().Count(), 1);
    EXPECT_EQ(Form->cbxDev->ItemIndex(), -1);
    // The rest of start-up ran: the window is usable.
    EXPECT_EQ(Form->sg->Cells(0, 0), "№");
    EXPECT_EQ(Form->sgGr->Cells(0, 0), "Название");
    EXPECT_EQ(Form->FAddr, 7);
    Form->cbxDev->SetItemIndex(0);
    Stop();
    EXPECT_EQ(Ini("Settings", "LastDev"), "0");
}
