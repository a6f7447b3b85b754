// The main window's read through the automation server: the stand-in server in its own process
// does the line work on the simulated instrument; the rows must be those of the direct read.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../testing/win/TestInstrument.h"
#include "../srvlink/SrvTestSupport.h"
#include "FormatSettingsSupport.h"
#include "MainFormTestSupport.h"
#include "MainFormU.h"

using tovik::testing::TestInstrument;

namespace {

const char* const Params =
    "[s0]\r\nID=1\r\nname=Давление\r\ntype=4\r\n"
    "[s1]\r\nID=2\r\nname=Температура\r\ntype=2\r\n"
    "[s2]\r\nID=3\r\nname=Счётчик\r\ntype=19\r\n";

const char* const Records =
    "archive 1\n"
    "rec 2026-01-01T00:00:00 1 f:1.5\n"
    "rec 2026-01-01T00:10:00 2 -7\n"
    "rec 2026-01-01T00:20:00 3 123456\n";

class ServerPathTest : public srvtest::SrvTest {
protected:
    void SetUp() override
    {
        srvtest::SrvTest::SetUp();
        Work = TestInstrument::MakeWorkDir();
        ASSERT_FALSE(Work.empty());
        WinDir = TestInstrument::Wine(Work) + "\\";
        SetUserFormatSettings(tt::RussianFormats());
    }
    void TearDown() override
    {
        if (Form) Form->Free();
        Form = nullptr;
        Inst.reset();
        Ports.reset();
        srvtest::SrvTest::TearDown();
    }
    void Write(const std::string& name, const std::string& content)
    {
        ASSERT_TRUE(TestInstrument::WriteFile(WinDir + name, content)) << name;
    }
    // The instrument with one archive (its keys as given) and the window on its port.
    void Start(const std::string& archive, const std::string& records, const std::string& extra = "")
    {
        Write("dev.ini", "[settings]\r\nname=Прибор\r\narchtypecount=1\r\n" + archive + "\r\n" + Params);
        Write("records.txt", records);
        Inst = std::make_unique<TestInstrument>("--device " + Work + "/dev.ini --records " + Work + "/records.txt " +
                                                extra);
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        std::string port = Inst->PortName();
        Write("main.ini", "[Settings]\r\nlastcomport=" + port +
                              "\r\nlastcomspeed=4\r\nlastaddr=1\r\nRetries=1\r\nlastlink=0\r\nLastDev=0\r\n"
                              "[Main]\r\nCountDev=1\r\nDev1=dev.ini\r\n");
        Ports = std::make_unique<tt::PortRegistry>(std::vector<std::string>{port});
        Form = new TForm1(Application, WinDir);
        Form->AfterConstruction();
        // The port list is read at start; COM's own registry must be the machine's again.
        Ports.reset();
        ASSERT_NE(Form->FDevice, nullptr);
        Form->rgTypeJ->SetItemIndex(0);
        for (TButton* b : {Form->btnConnect, Form->btnRead, Form->btnStop, Form->BtnDisconnect}) b->SetVisible(true);
    }
    void Connect()
    {
        ASSERT_TRUE(Form->btnConnect->Enabled());
        Form->btnConnect->Click();
        EXPECT_FALSE(Form->btnConnect->Enabled());
        ASSERT_TRUE(srvtest::PumpUntil([&] { return Form->btnRead->Enabled(); }));
        EXPECT_TRUE(Form->BtnDisconnect->Enabled());
    }
    void Disconnect()
    {
        Form->BtnDisconnect->Click();
        ASSERT_TRUE(srvtest::PumpUntil([&] { return Form->btnConnect->Enabled(); }));
        EXPECT_FALSE(Form->btnRead->Enabled());
        EXPECT_FALSE(Form->BtnDisconnect->Enabled());
    }
    // A click as the window makes it: an escaping error goes to the general handler.
    void Click(TButton* b)
    {
        try {
            b->Click();
        } catch (const std::exception& e) {
            Escaped.push_back(e.what());
        }
    }
    void ExpectNotConnected()
    {
        EXPECT_TRUE(Form->btnConnect->Enabled());
        EXPECT_FALSE(Form->btnRead->Enabled());
        EXPECT_FALSE(Form->BtnDisconnect->Enabled());
    }
    // Record k of the made-up archive (fault count) in row k + 1: its number and its value.
    void ExpectMadeUpRows(int count)
    {
        ASSERT_EQ(Form->sg->RowCount(), count + 1);
        for (int k = 0; k < count; ++k)
            if (Form->sg->Cells(0, k + 1) != std::to_string(k) || Form->sg->Cells(4, k + 1) != std::to_string(k))
                FAIL() << "row " << k + 1 << ": " << Form->sg->Cells(0, k + 1) << " " << Form->sg->Cells(4, k + 1);
    }
    // "Считать (srv)" and the answers until the read gives the buttons back.
    void ReadThrough()
    {
        Form->btnRead->Click();
        ASSERT_TRUE(srvtest::PumpUntil([&] { return Form->btnRead->Enabled(); }));
    }
    std::vector<std::string> Queries()
    {
        std::vector<std::string> out;
        for (const std::string& c : srvtest::Calls('M'))
            if (c.rfind("SendQuery ", 0) == 0) out.push_back(c.substr(10));
        return out;
    }
    std::vector<std::string> Settings(char kind)
    {
        std::vector<std::string> out;
        for (const std::string& c : srvtest::Calls(kind))
            if (c.rfind("SetSettings ", 0) == 0) out.push_back(c.substr(12));
        return out;
    }
    // Time, parameter and new value of the list's rows.
    std::vector<std::string> Rows()
    {
        std::vector<std::string> out;
        for (int r = 1; r < Form->sg->RowCount(); ++r)
            out.push_back(Form->sg->Cells(0, r) + "|" + Form->sg->Cells(1, r) + "|" + Form->sg->Cells(2, r) + "|" +
                          Form->sg->Cells(4, r));
        return out;
    }
    static std::string Archive(int reg = 300001, int count = 100)
    {
        return "ArchName1=Архив\r\nArchCountRec1=" + std::to_string(count) + "\r\narchnum1=1\r\nArchReg1=" +
               std::to_string(reg) + "\r\nStartTime1=1970\r\n";
    }
    std::string Work, WinDir;
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<tt::PortRegistry> Ports;
    TDialogScript Dialogs;
    TForm1* Form = nullptr;
};

const std::string Rec(int qid, int index)
{
    return "[ui1 9, i4 " + std::to_string(qid) + ", i4 1, i4 1, i4 " + std::to_string(index) +
           ", [i4 19, i4 18, i4 19]]";
}

}  // namespace

TEST_F(ServerPathTest, ReadsTheWholeArchiveAsTheDirectReadShowsIt)
{
    Start(Archive(), Records);
    Connect();
    EXPECT_EQ(Settings('T'), std::vector<std::string>{"[ui1 0, str \"" + Inst->PortName() +
                                                      "\", ui4 4, ui4 0, i4 500, i4 10, i4 10]"});
    EXPECT_EQ(Settings('M'), std::vector<std::string>{"[ui1 0, i4 1, ui1 0, ui1 0, i4 10, bool true, bool false]"});
    ReadThrough();
    EXPECT_EQ(Queries(), (std::vector<std::string>{"[ui1 4, i4 1000, i4 0, i4 0, i4 18, i4 1]", Rec(1, 0), Rec(2, 1),
                                                    Rec(3, 2)}));
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 3");
    EXPECT_FALSE(Form->btnStop->Enabled());
    EXPECT_TRUE(Form->rgTypeJ->Enabled());
    std::vector<std::string> server = Rows();
    std::string groups = Form->sgGr->Cells(0, 0);
    ASSERT_EQ(server.size(), 3u);
    Disconnect();

    Form->btnRead2->Click();
    EXPECT_TRUE(Dialogs.Texts().empty()) << Dialogs.Texts().front();
    EXPECT_EQ(Rows(), server);
    EXPECT_EQ(Form->sgGr->Cells(0, 0), groups);
    EXPECT_TRUE(Escaped.empty());
}

TEST_F(ServerPathTest, CountRegisterOfEitherKind)
{
    struct Case {
        int reg;
        const char* query;
    };
    Start(Archive(), Records);
    Connect();
    for (Case c : std::vector<Case>{{300005, "[ui1 4, i4 1000, i4 0, i4 4, i4 18, i4 1]"},
                                    {400001, "[ui1 2, i4 1000, i4 0, i4 0, i4 18, i4 1]"},
                                    {400000, "[ui1 2, i4 1000, i4 0, i4 -1, i4 18, i4 1]"}}) {
        SCOPED_TRACE(c.reg);
        ASSERT_EQ(srvtest::Srv("reset <pid>"), "OK");
        ASSERT_EQ(srvtest::Srv("fault <pid> result 2"), "OK");  // the count fails: buttons back at once
        Form->FDevice->Archive(1).ArchReg = c.reg;
        ReadThrough();
        EXPECT_EQ(Queries(), std::vector<std::string>{c.query});
        EXPECT_FALSE(Form->btnStop->Enabled());
    }
}

TEST_F(ServerPathTest, FailedRecordLeavesAnErrorRowAndWaitsForTheStop)
{
    // The count register says 3, the instrument holds one record: index 1 gets an exception.
    Start(Archive(), "archive 1\nrec 2026-01-01T00:00:00 1 f:1.5\n", "--reg i:0=3");
    Connect();
    Form->btnRead->Click();
    ASSERT_TRUE(srvtest::PumpUntil([&] { return Form->sg->Cells(1, 2).rfind("Ошибка", 0) == 0; }));
    srvtest::Pump(300);
    EXPECT_EQ(Form->sg->Cells(0, 2), "2");
    EXPECT_EQ(Form->sg->Cells(1, 2), "Ошибка:12");
    EXPECT_EQ(Queries().size(), 3u) << "no request with id 3";
    EXPECT_TRUE(Form->FReading);
    EXPECT_TRUE(Form->btnStop->Enabled());
    Form->btnStop->Click();
    EXPECT_TRUE(Form->btnRead->Enabled());
}

TEST_F(ServerPathTest, StopDuringTheReadShowsTheAnswerInFlightOnly)
{
    Start(Archive(), "archive 1\ngen 20\n");
    Connect();
    ASSERT_EQ(srvtest::Srv("fault <pid> events delay 300"), "OK");
    Form->btnRead->Click();
    ASSERT_TRUE(srvtest::PumpUntil([&] { return !Form->sg->Cells(1, 1).empty(); }));
    Form->btnStop->Click();
    EXPECT_TRUE(Form->btnRead->Enabled());
    ASSERT_TRUE(srvtest::PumpUntil([&] { return !Form->sg->Cells(1, 2).empty(); }));
    srvtest::Pump(700);
    EXPECT_EQ(Queries().size(), 3u) << "count, record 1 and the one in flight";
    EXPECT_TRUE(Form->sg->Cells(1, 3).empty());
    EXPECT_TRUE(Form->btnRead->Enabled());
}

// Every way a connect can leave the channel closed leaves "Подключиться (srv)" usable for another
// try, and a failure is still shown. In this order: the server cannot be reached; it refuses the
// open inside the call; it refuses the settings sent before the open (the transport then keeps its
// object); it fails the open; it refuses the speed, which now goes to that object at once.
TEST_F(ServerPathTest, EveryConnectThatLeavesTheChannelClosedLeavesConnectUsable)
{
    struct Case {
        const char* what;
        const char* fault;
        size_t shown;
    };
    Start(Archive(), Records);
    for (const Case& c : std::vector<Case>{{"unreachable", nullptr, 0},
                                           {"open refused", "refuse-open", 0},
                                           {"settings refused", "refuse-settings", 1},
                                           {"open failed", "fail-open", 1},
                                           {"speed refused", "refuse-settings", 1}}) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(srvtest::Srv("reset <pid>"), "OK");
        if (c.fault) {
            ASSERT_EQ(srvtest::Srv(std::string("fault <pid> ") + c.fault), "OK");
        }
        bool remote = !c.fault;
        Form->RS232->SetRemoteMachineName(remote ? "NO-SUCH-MACHINE-HERE" : "");
        Form->RS232->SetUseDCOM(remote);
        Escaped.clear();
        Click(Form->btnConnect);
        ExpectNotConnected();
        EXPECT_EQ(Escaped.size(), c.shown);
        if (std::string(c.what) == "speed refused") {
            EXPECT_EQ(Settings('T').size(), 1u) << "refused at the speed, before the port and the open";
        }
    }
    ASSERT_EQ(srvtest::Srv("reset <pid>"), "OK");
    Escaped.clear();
    Connect();
    EXPECT_TRUE(Escaped.empty());
}

// The label shows the server's count; the record ids stay below the count request's 1000.
TEST_F(ServerPathTest, LongerArchiveShowsItsCountAndReadsItsFirst999Records)
{
    Start(Archive(), Records);
    Connect();
    ASSERT_EQ(srvtest::Srv("fault <pid> count 1005"), "OK");
    ReadThrough();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 1005");
    ExpectMadeUpRows(999);
    std::vector<std::string> q = Queries();
    ASSERT_EQ(q.size(), 1000u);
    for (int i = 1; i < 1000; ++i) ASSERT_EQ(q[size_t(i)], Rec(i, i - 1));
}

// Each reply comes inside the request that asked for it: the read neither nests nor stalls.
TEST_F(ServerPathTest, RepliesInsideTheRequestsReadAllRecordsInOrder)
{
    Start(Archive(), Records);
    Connect();
    ASSERT_EQ(srvtest::Srv("fault <pid> count 999"), "OK");
    ASSERT_EQ(srvtest::Srv("fault <pid> events inside"), "OK");
    ReadThrough();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 999");
    ExpectMadeUpRows(999);
    EXPECT_TRUE(Escaped.empty());
}

TEST_F(ServerPathTest, AddressEditSetsTheMastersDeviceAddressWhenGood)
{
    Start(Archive(), Records);
    EXPECT_EQ(Form->MBM->Transport(), Form->RS232);
    EXPECT_EQ(Form->DlgManager1->Master(), Form->MBM);
    ASSERT_EQ(Form->DlgManager1->TransportCount(), 1);
    EXPECT_EQ(Form->RS232->Port(), "COM2");
    EXPECT_EQ(Form->RS232->AnswerDelay(), 500);
    EXPECT_FALSE(Form->RS232->LiveChannel());
    Form->EdtAddr->SetText("7");
    EXPECT_EQ(Form->MBM->DeviceAddress(), 7);
    Form->EdtAddr->SetText("7x");
    EXPECT_EQ(Form->MBM->DeviceAddress(), 7);
    EXPECT_EQ(Form->FAddr, 1);
}

// The shared stand-in ends itself here, so no other test may run meanwhile (see server.cmake).
class ServerPathAloneTest : public ServerPathTest {};

// The server process ends during the read: "Отключиться (srv)" finds it gone and says so once, the
// buttons come back, and the next connect reads from the new server.
TEST_F(ServerPathAloneTest, ServerLostMidReadLeavesTheWindowReadyForANewServer)
{
    Start(Archive(), "archive 1\ngen 20\n");
    Connect();
    ASSERT_EQ(srvtest::Srv("fault <pid> die-at 3"), "OK");
    Form->btnRead->Click();
    ASSERT_TRUE(srvtest::PumpUntil([] { return srvtest::Srv("objects").rfind("ERR", 0) == 0; }));
    Click(Form->btnStop);
    Click(Form->BtnDisconnect);
    ExpectNotConnected();
    EXPECT_EQ(Escaped.size(), 1u);
    EXPECT_EQ(Form->RS232->Proxy(), nullptr);
    EXPECT_EQ(Form->MBM->Proxy(), nullptr);
    EXPECT_EQ(Form->MBM->ChannelID(), -1);

    ASSERT_TRUE(srvtest::AwaitSuccessor());
    ASSERT_EQ(srvtest::Srv("reset <pid>"), "OK");
    Connect();
    ReadThrough();
    EXPECT_EQ(Form->lblMaxRec->Caption(), "Количество записей: 20");
    EXPECT_EQ(Rows().size(), 20u);
    EXPECT_EQ(Escaped.size(), 1u);
}
